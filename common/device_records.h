#pragma once
// Records of the two database files: a device's stored results (CDbItem with its CDbQuery
// values) and an address's line in the scan status (CScanDbItem). VisitFields lists the fields
// in their stored order, which is binding for both programs.
#include <cstdint>
#include <string>

#include "common/class_table.h"
#include "common/record_map.h"

namespace mirvale {

// One stored value of one device; kept in its device's m_pQueries under m_strKey.
struct CDbQuery {
  static constexpr ClassId kClassId = ClassId::DbQuery;

  std::string m_strName;       // query name (plus instance); empty for a shell line
  std::string m_strQueryOid;   // the pool query's object identifier; empty for a shell line
  std::string m_strKey;        // returned object identifier, or shell line number "1", "2", ...
  std::string m_strValue;      // current value
  std::string m_strTime;       // time of the current value, decimal seconds
  std::string m_strPrevValue;  // value before the last change
  std::string m_strPrevTime;   // time of the previous value

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strName", r.m_strName);
    v.Field("m_strQueryOid", r.m_strQueryOid);
    v.Field("m_strKey", r.m_strKey);
    v.Field("m_strValue", r.m_strValue);
    v.Field("m_strTime", r.m_strTime);
    v.Field("m_strPrevValue", r.m_strPrevValue);
    v.Field("m_strPrevTime", r.m_strPrevTime);
  }
  bool operator==(const CDbQuery&) const = default;
};

// One device's stored results; kept in the device database under pool "/" address.
struct CDbItem {
  static constexpr ClassId kClassId = ClassId::DbItem;

  std::string m_strPool;
  std::string m_strAddress;     // dotted
  std::string m_strName;        // host name or SNMP system name, else the address
  std::string m_strScanTime;    // start of the last scan that reached the device, decimal seconds
  std::string m_strStatus;      // final status of that scan
  std::string m_strInterfaces;  // interface indexes, each followed by ";"
  std::string m_strAddresses;   // address "/" interface index ";" for each entry
  RecordMap<CDbQuery> m_pQueries;

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strPool", r.m_strPool);
    v.Field("m_strAddress", r.m_strAddress);
    v.Field("m_strName", r.m_strName);
    v.Field("m_strScanTime", r.m_strScanTime);
    v.Field("m_strStatus", r.m_strStatus);
    v.Field("m_strInterfaces", r.m_strInterfaces);
    v.Field("m_strAddresses", r.m_strAddresses);
    v.Field("m_pQueries", r.m_pQueries);
  }
  bool operator==(const CDbItem&) const = default;
};

// One address's line in the scan status; kept in the scan database under pool "/" address.
struct CScanDbItem {
  static constexpr ClassId kClassId = ClassId::ScanDbItem;

  std::string m_strPool;
  std::string m_strAddress;
  std::string m_strName;    // device name
  std::string m_strStatus;  // progress while the scan runs, then its final status

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strPool", r.m_strPool);
    v.Field("m_strAddress", r.m_strAddress);
    v.Field("m_strName", r.m_strName);
    v.Field("m_strStatus", r.m_strStatus);
  }
  bool operator==(const CScanDbItem&) const = default;
};

// The key of a device or scan line: pool name, "/", address.
inline std::string DeviceKey(const std::string& pool, const std::string& address) {
  return pool + "/" + address;
}

}  // namespace mirvale
