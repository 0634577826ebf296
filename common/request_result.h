#pragma once
// A set or restore request's result beyond "Successful" and "Failed": a failed result may say why
// ("Failed: the device rejected "bogus line""). The service writes it, the desktop shows it.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mirvale {

inline constexpr std::string_view kRequestFailedBecause = "Failed: ";

// The result of a shell request whose texts the device refused, naming them (the first few,
// each cut to a bound, so the settings and the message stay small).
inline std::string RejectedRequestResult(const std::vector<std::string>& rejected) {
  constexpr size_t kNamed = 5;
  constexpr size_t kTextLimit = 200;
  std::string result = std::string(kRequestFailedBecause) + "the device rejected ";
  for (size_t i = 0; i < rejected.size() && i < kNamed; ++i)
    result += (i ? ", \"" : "\"") + rejected[i].substr(0, kTextLimit) + "\"";
  if (rejected.size() > kNamed) result += " and " + std::to_string(rejected.size() - kNamed) + " more";
  return result;
}

// The result of a request that the service's stop kept from being carried out.
inline std::string StoppedRequestResult() {
  return std::string(kRequestFailedBecause) + "the service stopped before carrying it out";
}

// What a failed result says after "Failed: "; empty when it says nothing more.
inline std::string_view RequestFailureReason(std::string_view result) {
  return result.substr(0, kRequestFailedBecause.size()) == kRequestFailedBecause
             ? result.substr(kRequestFailedBecause.size())
             : std::string_view();
}

}  // namespace mirvale
