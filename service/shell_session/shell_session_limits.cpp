#include "service/shell_session/shell_session_limits.h"

#include "platform/folders.h"

namespace mirvale {

ShellSessionLimits ServiceShellSessionLimits() {
  ShellSessionLimits limits;
  limits.readWindow = platform::ShortenedSeconds("MIRVALE_SHELL_READ_SECONDS", limits.readWindow);
  return limits;
}

}  // namespace mirvale
