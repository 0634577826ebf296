#pragma once
// Records of a pool in the settings document: the pool with its protocol settings (CPoolItem),
// its SNMP queries (CQueryItem) and its networks and devices (CDeviceItem). VisitFields lists
// the fields in their stored order, which is binding for both programs.
#include <cstdint>
#include <string>

#include "common/class_table.h"
#include "common/record_map.h"

namespace mirvale {

// One SNMP query of a pool; kept in the pool's m_pQueries under m_strOid.
struct CQueryItem {
  static constexpr ClassId kClassId = ClassId::QueryItem;

  std::string m_strOid;  // object identifier without instance
  std::string m_strName;  // without dots
  std::string m_strDescription;

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strOid", r.m_strOid);
    v.Field("m_strName", r.m_strName);
    v.Field("m_strDescription", r.m_strDescription);
  }
  bool operator==(const CQueryItem&) const = default;
};

// One network or device of a pool; kept in the pool's m_pDevices under its address text.
struct CDeviceItem {
  static constexpr ClassId kClassId = ClassId::DeviceItem;

  std::string m_strAddress;  // network address, single address or host name
  std::string m_strMask;     // dotted mask; "255.255.255.255" for a single device

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_strAddress", r.m_strAddress);
    v.Field("m_strMask", r.m_strMask);
  }
  bool operator==(const CDeviceItem&) const = default;
};

// One pool; kept in the settings' pool map under its name.
struct CPoolItem {
  static constexpr ClassId kClassId = ClassId::PoolItem;

  uint32_t m_bTelnet = 0;
  uint32_t m_bSsh = 0;
  uint32_t m_bSnmpV1 = 0;  // SNMP version 1/2c
  uint32_t m_bSnmpV3 = 0;
  uint32_t m_bAllQueries = 0;  // 1: collect the whole tree, the pool keeps no query list
  uint32_t m_nRetries = 0;     // shell and SNMP alike
  uint32_t m_nTimeout = 0;     // seconds, shell and SNMP alike
  uint32_t m_nShellPort = 0;
  std::string m_strShellUser;
  std::string m_strShellPassword;
  std::string m_strPrivilegedCommand;
  std::string m_strPrivilegedPassword;
  std::string m_strBackupCommand;
  std::string m_strRestoreStart;
  std::string m_strRestoreEnd;
  std::string m_strRestoreSave;
  uint32_t m_nSecurityModel = 0;    // 3: user-based
  uint32_t m_nSecurityLevel = 0;    // 1 none, 2 authentication, 3 authentication and privacy
  uint32_t m_nAuthProtocol = 0;     // 1 "None", 2 "MD5", 3 "SHA"
  uint32_t m_nPrivacyProtocol = 0;  // 1 "None", 2 "DES", 3 "3DES"
  std::string m_strReadCommunity;
  std::string m_strWriteCommunity;
  std::string m_strContextName;
  std::string m_strSecurityName;
  std::string m_strPrivacyPassword;
  std::string m_strAuthPassword;
  std::string m_strContextEngineId;
  RecordMap<CQueryItem> m_pQueries;
  RecordMap<CDeviceItem> m_pDevices;

  template <typename Visitor, typename Self>
  static void VisitFields(Visitor& v, Self& r) {
    v.Field("m_bTelnet", r.m_bTelnet);
    v.Field("m_bSsh", r.m_bSsh);
    v.Field("m_bSnmpV1", r.m_bSnmpV1);
    v.Field("m_bSnmpV3", r.m_bSnmpV3);
    v.Field("m_bAllQueries", r.m_bAllQueries);
    v.Field("m_nRetries", r.m_nRetries);
    v.Field("m_nTimeout", r.m_nTimeout);
    v.Field("m_nShellPort", r.m_nShellPort);
    v.Field("m_strShellUser", r.m_strShellUser);
    v.Field("m_strShellPassword", r.m_strShellPassword);
    v.Field("m_strPrivilegedCommand", r.m_strPrivilegedCommand);
    v.Field("m_strPrivilegedPassword", r.m_strPrivilegedPassword);
    v.Field("m_strBackupCommand", r.m_strBackupCommand);
    v.Field("m_strRestoreStart", r.m_strRestoreStart);
    v.Field("m_strRestoreEnd", r.m_strRestoreEnd);
    v.Field("m_strRestoreSave", r.m_strRestoreSave);
    v.Field("m_nSecurityModel", r.m_nSecurityModel);
    v.Field("m_nSecurityLevel", r.m_nSecurityLevel);
    v.Field("m_nAuthProtocol", r.m_nAuthProtocol);
    v.Field("m_nPrivacyProtocol", r.m_nPrivacyProtocol);
    v.Field("m_strReadCommunity", r.m_strReadCommunity);
    v.Field("m_strWriteCommunity", r.m_strWriteCommunity);
    v.Field("m_strContextName", r.m_strContextName);
    v.Field("m_strSecurityName", r.m_strSecurityName);
    v.Field("m_strPrivacyPassword", r.m_strPrivacyPassword);
    v.Field("m_strAuthPassword", r.m_strAuthPassword);
    v.Field("m_strContextEngineId", r.m_strContextEngineId);
    v.Field("m_pQueries", r.m_pQueries);
    v.Field("m_pDevices", r.m_pDevices);
  }
  bool operator==(const CPoolItem&) const = default;

  bool IsShellPool() const { return m_bTelnet != 0 || m_bSsh != 0; }
  bool IsSnmpPool() const { return m_bSnmpV1 != 0 || m_bSnmpV3 != 0; }
};

}  // namespace mirvale
