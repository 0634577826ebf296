#include "platform/unforeseeable_name.h"

#include <cstdint>
#include <cstdio>

#include <sys/random.h>

namespace platform {

std::optional<std::string> UnforeseeableSuffix() {
  uint64_t value = 0;
  if (getrandom(&value, sizeof value, 0) != sizeof value) return std::nullopt;
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

}  // namespace platform
