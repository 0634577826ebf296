#pragma once
// One request slot: an object identifier as dotted text and its value as text. Strings rather
// than fixed buffers, so an agent's long value cannot overflow a slot.
#include <string>

namespace mirvale {

struct SnmpValueSlot {
  std::string oid;
  std::string value;
};

}  // namespace mirvale
