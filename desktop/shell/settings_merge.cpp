#include "desktop/shell/settings_merge.h"

#include <algorithm>
#include <set>
#include <string_view>

namespace mirvale {
namespace {

struct MergeContext {
  std::vector<std::string> conflicts;
  void Conflict(std::string what) {
    if (std::find(conflicts.begin(), conflicts.end(), what) == conflicts.end()) conflicts.push_back(std::move(what));
  }
};

// A map field of one record, merged by a function that knows its record type.
using MapMerge = void (*)(const void* base, const void* mine, const void* theirs, void* out, MergeContext& context,
                          std::string_view mapName, const std::string& owner);

// One field of a record, as VisitFields lists it.
struct FieldRef {
  std::string_view name;
  const std::string* text = nullptr;
  const uint32_t* number = nullptr;
  const void* map = nullptr;
  MapMerge mergeMap = nullptr;

  bool SameScalar(const FieldRef& other) const { return text ? *text == *other.text : *number == *other.number; }
  // Only the merged copy, which the merge owns, is ever written through a reference.
  void AssignScalar(const FieldRef& from) const {
    if (text) *const_cast<std::string*>(text) = *from.text;
    else *const_cast<uint32_t*>(number) = *from.number;
  }
};

template <typename Record>
void MergeMap(const void* base, const void* mine, const void* theirs, void* out, MergeContext& context,
              std::string_view mapName, const std::string& owner);

// Collects the fields of one record in their stored order.
class FieldRefs {
 public:
  template <typename Record>
  static std::vector<FieldRef> Of(const Record& record) {
    FieldRefs refs;
    Record::VisitFields(refs, record);
    return std::move(refs.refs_);
  }
  void Field(std::string_view name, const std::string& text) { refs_.push_back({name, &text}); }
  void Field(std::string_view name, const uint32_t& number) { refs_.push_back({name, nullptr, &number}); }
  template <typename Record>
  void Field(std::string_view name, const RecordMap<Record>& map) {
    refs_.push_back({name, nullptr, nullptr, &map, &MergeMap<Record>});
  }
  template <typename Record>
  void BareMap(std::string_view name, const RecordMap<Record>& map) {
    Field(name, map);
  }

 private:
  std::vector<FieldRef> refs_;
};

// What the user is told a record or an option is.
std::string RecordWord(std::string_view mapName) {
  if (mapName == "m_mapPools") return "pool";
  if (mapName == "m_pDevices") return "device";
  if (mapName == "m_pQueries") return "query";
  if (mapName == "m_mapRestore") return "set or restore request";
  if (mapName == "m_mapAutoScan") return "automatic scan";
  if (mapName == "m_mapActions") return "action";
  return std::string(mapName);
}

std::string OptionWords(std::string_view field) {
  auto starts = [&](std::string_view prefix) { return field.substr(0, prefix.size()) == prefix; };
  if (field == "m_bAutoScan") return "the automatic scanning switch";
  if (starts("m_strScan")) return "the manual scan request";
  if (starts("m_strSmtp") || starts("m_strMail") || field == "m_strTestRecipients") return "the e-mail settings";
  if (starts("m_bExport") || starts("m_strExport")) return "the export settings";
  if (field == "m_strDocName") return "the settings' version";
  return "the audit log settings";
}

bool SameScalars(const std::vector<FieldRef>& one, const std::vector<FieldRef>& other) {
  for (size_t i = 0; i < one.size(); ++i)
    if (!one[i].map && !one[i].SameScalar(other[i])) return false;
  return true;
}

// A record both sides kept and changed: its own fields as one part, its maps key by key.
template <typename Record>
void MergeRecord(const Record& base, const Record& mine, const Record& theirs, Record& out, MergeContext& context,
                 const std::string& what) {
  const auto b = FieldRefs::Of(base), m = FieldRefs::Of(mine), t = FieldRefs::Of(theirs), o = FieldRefs::Of(out);
  const bool mineChanged = !SameScalars(b, m);
  if (!mineChanged) {
    for (size_t i = 0; i < o.size(); ++i)
      if (!o[i].map) o[i].AssignScalar(t[i]);
  } else if (!SameScalars(b, t) && !SameScalars(m, t)) {
    context.Conflict(what);
  }
  for (size_t i = 0; i < o.size(); ++i)
    if (o[i].map) o[i].mergeMap(b[i].map, m[i].map, t[i].map, const_cast<void*>(o[i].map), context, o[i].name, what);
}

template <typename Record>
bool SameRecord(const Record* one, const Record* other) {
  return (!one && !other) || (one && other && *one == *other);
}

template <typename Record>
void MergeMap(const void* baseMap, const void* mineMap, const void* theirsMap, void* outMap, MergeContext& context,
              std::string_view mapName, const std::string& owner) {
  const auto& base = *static_cast<const RecordMap<Record>*>(baseMap);
  const auto& mine = *static_cast<const RecordMap<Record>*>(mineMap);
  const auto& theirs = *static_cast<const RecordMap<Record>*>(theirsMap);
  std::set<std::string, std::less<>> keys;
  for (const auto* map : {&base, &mine, &theirs})
    for (const auto& entry : *map) keys.insert(entry.first);
  RecordMap<Record> merged;
  for (const std::string& key : keys) {
    const Record* b = base.Find(key);
    const Record* m = mine.Find(key);
    const Record* t = theirs.Find(key);
    if (SameRecord(m, b)) {
      if (t) merged.Set(key, *t);
      continue;
    }
    if (SameRecord(t, b) || SameRecord(m, t)) {
      if (m) merged.Set(key, *m);
      continue;
    }
    const std::string what = RecordWord(mapName) + " " + key + (owner.empty() ? "" : " of " + owner);
    if (m && t) {
      // Both kept it (or both added it): its parts merge in turn.
      Record& out = merged.Set(key, *m);
      MergeRecord(b ? *b : Record{}, *m, *t, out, context, what);
    } else {
      context.Conflict(what);  // one side removed what the other changed: mine stands
      if (m) merged.Set(key, *m);
    }
  }
  *static_cast<RecordMap<Record>*>(outMap) = std::move(merged);
}

}  // namespace

SettingsMerge MergeSettings(const CMirvaleDoc& base, const CMirvaleDoc& mine, const CMirvaleDoc& theirs) {
  SettingsMerge result{mine, {}};
  MergeContext context;
  const auto b = FieldRefs::Of(base), m = FieldRefs::Of(mine), t = FieldRefs::Of(theirs),
             o = FieldRefs::Of(result.merged);
  for (size_t i = 0; i < o.size(); ++i) {
    if (o[i].map) {
      o[i].mergeMap(b[i].map, m[i].map, t[i].map, const_cast<void*>(o[i].map), context, o[i].name, "");
    } else if (m[i].SameScalar(b[i])) {
      o[i].AssignScalar(t[i]);
    } else if (!t[i].SameScalar(b[i]) && !t[i].SameScalar(m[i])) {
      context.Conflict(OptionWords(o[i].name));
    }
  }
  result.conflicts = std::move(context.conflicts);
  return result;
}

}  // namespace mirvale
