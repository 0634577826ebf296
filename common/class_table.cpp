#include "common/class_table.h"

#include <array>

namespace mirvale {

namespace {

// Indexed by ClassId - 1.
constexpr std::array<ClassInfo, kClassCount> kClasses{{
    {"CMapStringToOb", 0},
    {"CDbItem", 1},
    {"CDbQuery", 1},
    {"CPoolItem", 1},
    {"CQueryItem", 1},
    {"CScanDbItem", 1},
    {"CDeviceItem", 1},
    {"CActionItem", 1},
    {"CRestoreItem", 1},
    {"CAutoScanItem", 1},
}};

}  // namespace

const ClassInfo& GetClassInfo(ClassId id) { return kClasses[static_cast<size_t>(id) - 1]; }

std::optional<ClassId> FindClassByName(std::string_view name) {
  for (size_t i = 0; i < kClasses.size(); ++i) {
    if (kClasses[i].name == name) return static_cast<ClassId>(i + 1);
  }
  return std::nullopt;
}

}  // namespace mirvale
