#include "service/scanning/snmp_pool_settings.h"

namespace mirvale {

SnmpSettings SnmpSettingsFromPool(const CPoolItem& pool) {
  SnmpSettings settings;
  settings.m_bSnmpV1 = static_cast<int>(pool.m_bSnmpV1);
  settings.m_bSnmpV3 = static_cast<int>(pool.m_bSnmpV3);
  settings.m_bAllQueries = static_cast<int>(pool.m_bAllQueries);
  settings.m_nRetries = static_cast<int>(pool.m_nRetries);
  settings.m_nTimeout = static_cast<int>(pool.m_nTimeout);
  settings.m_nSecurityModel = static_cast<int>(pool.m_nSecurityModel);
  settings.m_nSecurityLevel = static_cast<int>(pool.m_nSecurityLevel);
  settings.m_nAuthProtocol = static_cast<int>(pool.m_nAuthProtocol);
  settings.m_nPrivacyProtocol = static_cast<int>(pool.m_nPrivacyProtocol);
  settings.m_strReadCommunity = pool.m_strReadCommunity;
  settings.m_strWriteCommunity = pool.m_strWriteCommunity;
  settings.m_strContextName = pool.m_strContextName;
  settings.m_strSecurityName = pool.m_strSecurityName;
  settings.m_strPrivacyPassword = pool.m_strPrivacyPassword;
  settings.m_strAuthPassword = pool.m_strAuthPassword;
  settings.m_strContextEngineId = pool.m_strContextEngineId;
  return settings;
}

}  // namespace mirvale
