#pragma once
// Records of the settings document besides pools: automatic actions (CActionItem), pending set
// and restore requests (CRestoreItem) and automatic scans (CAutoScanItem). VisitFields lists
// the fields in their stored order, which is binding for both programs.
#include <cstdint>
#include <string>

#include "common/class_table.h"

namespace mirvale {

// One automatic action; kept in the settings' action map under the action's name.
struct CActionItem {
  static constexpr ClassId kClassId = ClassId::ActionItem;

  uint32_t m_bEnabled = 0;
  std::string m_strPool;
  std::string m_strAddress;   // first address of the address condition, dotted
  std::string m_strMaskBits;  // prefix length 0 to 32, decimal
  std::string m_strQuery;     // wildcard pattern
  std::string m_strValue;     // wildcard pattern
  uint32_t m_bChangesOnly = 0;
  std::string m_strRunCommand;      // program;domain;password;user;parameters; - empty: none
  std::string m_strMailRecipients;  // separated by ";" - empty: none
  std::string m_strTrapManagers;    // empty: none

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_bEnabled", r.m_bEnabled);
    v.Field("m_strPool", r.m_strPool);
    v.Field("m_strAddress", r.m_strAddress);
    v.Field("m_strMaskBits", r.m_strMaskBits);
    v.Field("m_strQuery", r.m_strQuery);
    v.Field("m_strValue", r.m_strValue);
    v.Field("m_bChangesOnly", r.m_bChangesOnly);
    v.Field("m_strRunCommand", r.m_strRunCommand);
    v.Field("m_strMailRecipients", r.m_strMailRecipients);
    v.Field("m_strTrapManagers", r.m_strTrapManagers);
  }
  bool operator==(const CActionItem&) const = default;
};

// One pending set or restore request; kept in the settings' request map.
struct CRestoreItem {
  static constexpr ClassId kClassId = ClassId::RestoreItem;

  std::string m_strPool;
  std::string m_strAddress;
  std::string m_strName;    // device name
  std::string m_strQuery;   // query name, or the command of a shell request
  std::string m_strOid;     // empty for a shell request
  std::string m_strValue;   // new value, or the command's parameters (CR LF separated lines)
  std::string m_strResult;  // empty while pending, then "Successful" or "Failed"
  std::string m_strUser;    // who asked

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strPool", r.m_strPool);
    v.Field("m_strAddress", r.m_strAddress);
    v.Field("m_strName", r.m_strName);
    v.Field("m_strQuery", r.m_strQuery);
    v.Field("m_strOid", r.m_strOid);
    v.Field("m_strValue", r.m_strValue);
    v.Field("m_strResult", r.m_strResult);
    v.Field("m_strUser", r.m_strUser);
  }
  bool operator==(const CRestoreItem&) const = default;
};

// One automatic scan; kept in the settings' automatic-scan map under the pool name.
struct CAutoScanItem {
  static constexpr ClassId kClassId = ClassId::AutoScanItem;

  uint32_t m_bEnabled = 0;
  std::string m_strPool;
  uint32_t m_nHour = 0;  // 0 to 23
  uint32_t m_nDay = 0;   // 0 every day, 1 Monday to 7 Sunday

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_bEnabled", r.m_bEnabled);
    v.Field("m_strPool", r.m_strPool);
    v.Field("m_nHour", r.m_nHour);
    v.Field("m_nDay", r.m_nDay);
  }
  bool operator==(const CAutoScanItem&) const = default;
};

}  // namespace mirvale
