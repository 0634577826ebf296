#include "service/shell_session/shell_session_limits.h"

#include <charconv>

#include "platform/folders.h"

namespace mirvale {

ShellSessionLimits ServiceShellSessionLimits() {
  ShellSessionLimits limits;
  if (auto text = platform::GetEnv("MIRVALE_SHELL_READ_SECONDS")) {
    long seconds = 0;
    auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), seconds);
    if (error == std::errc() && end == text->data() + text->size() && seconds > 0 &&
        seconds < limits.readWindow.count())
      limits.readWindow = std::chrono::seconds(seconds);
  }
  return limits;
}

}  // namespace mirvale
