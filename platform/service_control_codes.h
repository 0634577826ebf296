#pragma once
// The numbers both programs agree on when the desktop program drives the service: the service's
// name, the standard and user-defined control codes, the states and the start types.
#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr std::string_view kMirvaleServiceName = "Oskavel Mirvale";

// Standard control codes.
inline constexpr uint32_t kControlStop = 1;
inline constexpr uint32_t kControlPause = 2;
inline constexpr uint32_t kControlContinue = 3;
inline constexpr uint32_t kControlInterrogate = 4;
inline constexpr uint32_t kControlShutdown = 5;

// User-defined control codes; the request's data travel in the settings file.
enum ServiceControlCode : uint32_t {
  ControlPruneDatabase = 133,
  ControlReloadSettings = 134,
  ControlStartScan = 136,
  ControlStopScan = 137,
  ControlStartRestore = 144,
  ControlSendTestMail = 145,
};

// The status the service answers for every control it carried out.
inline constexpr uint32_t kControlDone = 0;
// A control that failed with an error.
inline constexpr uint32_t kControlFailed = 1;
// A control the caller may not send (the service manager's access-denied error).
inline constexpr uint32_t kControlAccessDenied = 5;

enum class ServiceState : uint32_t { Stopped = 1, StartPending = 2, StopPending = 3, Running = 4 };

enum class StartType : uint32_t { Automatic = 2, OnDemand = 3 };

}  // namespace platform
