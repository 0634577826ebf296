#pragma once
// Bounds that keep one device from holding a shell conversation for ever.
#include <chrono>
#include <cstddef>

namespace mirvale {

struct ShellSessionLimits {
  // One ReadLines call ends, and the conversation with it, when output has not paused for this long.
  std::chrono::seconds readWindow{120};
  // Output of one command beyond this much text ends the conversation.
  size_t heldTextLimit = 16u << 20;
  // Once the output stopped at the device's prompt or a pager prompt, a read ends when this
  // long passed without more. Longer than the pauses TCP itself makes inside one burst of a
  // device's answer (Linux holds a delayed acknowledgement up to 40 ms, and a sender's Nagle
  // rule may hold the burst's tail for as long), short beside the human-scale time-out.
  std::chrono::milliseconds settle{50};
};

// The service's limits: the defaults, with a shorter read window when MIRVALE_SHELL_READ_SECONDS
// asks for one (tests of devices that never pause).
ShellSessionLimits ServiceShellSessionLimits();

}  // namespace mirvale
