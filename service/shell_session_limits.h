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
};

}  // namespace mirvale
