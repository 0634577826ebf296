#pragma once
// A pool's SNMP settings, copied for one run so that a settings reload during a scan cannot
// change them under the threads that use them.
#include <string>

namespace mirvale {

struct SnmpSettings {
  int m_bSnmpV1 = 0;
  int m_bSnmpV3 = 0;
  int m_bAllQueries = 0;
  int m_nRetries = 1;
  int m_nTimeout = 1;          // seconds
  int m_nSecurityModel = 3;    // user-based
  int m_nSecurityLevel = 3;    // 1 none, 2 authentication only, 3 authentication and privacy
  int m_nAuthProtocol = 1;     // 1 none, 2 HMAC-MD5, 3 HMAC-SHA
  int m_nPrivacyProtocol = 1;  // 1 none, 2 DES, 3 triple DES
  std::string m_strReadCommunity;
  std::string m_strWriteCommunity;
  std::string m_strContextName;
  std::string m_strSecurityName;
  std::string m_strPrivacyPassword;
  std::string m_strAuthPassword;
  std::string m_strContextEngineId;  // hexadecimal text
};

}  // namespace mirvale
