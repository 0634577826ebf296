#pragma once
// The classes that may be tagged in a stored file, with the schema number each is stored under.
// A class name outside this table, or a schema other than the table's, makes a file unreadable.
#include <cstdint>
#include <optional>
#include <string_view>

namespace mirvale {

enum class ClassId : uint8_t {
  MapStringToOb = 1,
  DbItem,
  DbQuery,
  PoolItem,
  QueryItem,
  ScanDbItem,
  DeviceItem,
  ActionItem,
  RestoreItem,
  AutoScanItem,
};

inline constexpr int kClassCount = 10;

struct ClassInfo {
  std::string_view name;
  uint16_t schema;
};

const ClassInfo& GetClassInfo(ClassId id);

// The class of a stored class name, or nullopt when it is not in the table.
std::optional<ClassId> FindClassByName(std::string_view name);

}  // namespace mirvale
