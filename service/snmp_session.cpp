#include "service/snmp_session.h"

#include <algorithm>
#include <vector>

#include "service/snmp_value_text.h"

namespace mirvale {

namespace {

constexpr long kMicrosecondsPerSecond = 1000000;

// Keys derived from passwords for one session; cleared when done.
struct DerivedKeys {
  u_char auth[USM_AUTH_KU_LEN] = {};
  size_t authLength = sizeof(auth);
  u_char priv[USM_PRIV_KU_LEN] = {};
  size_t privLength = sizeof(priv);
  ~DerivedKeys() {
    std::fill(std::begin(auth), std::end(auth), u_char{0});
    std::fill(std::begin(priv), std::end(priv), u_char{0});
  }
};

bool DeriveKey(const oid* protocol, size_t protocolLength, const std::string& password, u_char* key,
               size_t* keyLength) {
  if (password.size() < USM_LENGTH_P_MIN) return false;
  std::vector<u_char> bytes(password.begin(), password.end());
  int status = generate_Ku(protocol, static_cast<u_int>(protocolLength), bytes.data(), bytes.size(), key, keyLength);
  std::fill(bytes.begin(), bytes.end(), u_char{0});
  return status == SNMPERR_SUCCESS;
}

// Fills the SNMPv3 fields; false when the settings ask for what cannot be done.
bool ConfigureUsm(netsnmp_session& session, const SnmpSettings& settings, DerivedKeys& keys,
                  std::vector<u_char>& contextEngineId) {
  session.version = SNMP_VERSION_3;
  session.securityModel = SNMP_SEC_MODEL_USM;
  session.securityName = const_cast<char*>(settings.m_strSecurityName.c_str());
  session.securityNameLen = settings.m_strSecurityName.size();
  session.contextName = const_cast<char*>(settings.m_strContextName.c_str());
  session.contextNameLen = settings.m_strContextName.size();
  if (!settings.m_strContextEngineId.empty()) {
    auto bytes = snmp_text::ParseHex(settings.m_strContextEngineId);
    if (!bytes) return false;
    contextEngineId = std::move(*bytes);
    session.contextEngineID = contextEngineId.data();
    session.contextEngineIDLen = contextEngineId.size();
  }

  bool authenticate = settings.m_nSecurityLevel >= 2;
  bool encrypt = settings.m_nSecurityLevel >= 3;
  session.securityLevel = encrypt ? SNMP_SEC_LEVEL_AUTHPRIV
                          : authenticate ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                         : SNMP_SEC_LEVEL_NOAUTH;
  if (!authenticate) return true;

  const oid* authProtocol = nullptr;
  size_t authProtocolLength = 0;
  if (settings.m_nAuthProtocol == 2) {
    authProtocol = usmHMACMD5AuthProtocol;
    authProtocolLength = OID_LENGTH(usmHMACMD5AuthProtocol);
  } else if (settings.m_nAuthProtocol == 3) {
    authProtocol = usmHMACSHA1AuthProtocol;
    authProtocolLength = OID_LENGTH(usmHMACSHA1AuthProtocol);
  } else {
    return false;
  }
  session.securityAuthProto = const_cast<oid*>(authProtocol);
  session.securityAuthProtoLen = authProtocolLength;
  if (!DeriveKey(authProtocol, authProtocolLength, settings.m_strAuthPassword, keys.auth, &keys.authLength))
    return false;
  std::copy_n(keys.auth, keys.authLength, session.securityAuthKey);
  session.securityAuthKeyLen = keys.authLength;
  if (!encrypt) return true;

  // Only single DES is offered; triple DES (3) and "none" at this level are refused.
  if (settings.m_nPrivacyProtocol != 2) return false;
  session.securityPrivProto = const_cast<oid*>(usmDESPrivProtocol);
  session.securityPrivProtoLen = OID_LENGTH(usmDESPrivProtocol);
  if (!DeriveKey(authProtocol, authProtocolLength, settings.m_strPrivacyPassword, keys.priv, &keys.privLength))
    return false;
  std::copy_n(keys.priv, keys.privLength, session.securityPrivKey);
  session.securityPrivKeyLen = keys.privLength;
  return true;
}

}  // namespace

std::unique_ptr<SnmpSession> SnmpSession::Open(const std::string& ipv4, int port, const SnmpSettings& settings) {
  netsnmp_session session;
  snmp_sess_init(&session);
  std::string peer = "udp:" + ipv4 + ":" + std::to_string(port);
  session.peername = peer.data();
  session.retries = std::max(0, settings.m_nRetries);
  session.timeout = std::max(1, settings.m_nTimeout) * kMicrosecondsPerSecond;

  DerivedKeys keys;
  std::vector<u_char> contextEngineId;
  bool version3 = settings.m_bSnmpV3 != 0;
  if (version3) {
    if (!ConfigureUsm(session, settings, keys, contextEngineId)) return nullptr;
  } else {
    // Community requests always go out as SNMPv1.
    session.version = SNMP_VERSION_1;
    session.community = reinterpret_cast<u_char*>(const_cast<char*>(settings.m_strReadCommunity.c_str()));
    session.community_len = settings.m_strReadCommunity.size();
  }
  void* handle = snmp_sess_open(&session);
  std::fill(std::begin(session.securityAuthKey), std::end(session.securityAuthKey), u_char{0});
  std::fill(std::begin(session.securityPrivKey), std::end(session.securityPrivKey), u_char{0});
  if (!handle) return nullptr;
  return std::unique_ptr<SnmpSession>(new SnmpSession(handle, version3));
}

SnmpSession::~SnmpSession() { snmp_sess_close(handle_); }

SnmpPdu SnmpSession::Exchange(SnmpPdu request) {
  netsnmp_pdu* response = nullptr;
  // The library takes the request in every case.
  int status = snmp_sess_synch_response(handle_, request.release(), &response);
  SnmpPdu answer(response);
  if (status != STAT_SUCCESS) return nullptr;
  return answer;
}

bool SnmpSession::Send(SnmpPdu message) {
  if (snmp_sess_send(handle_, message.get()) == 0) return false;
  message.release();  // sent: the library frees it
  return true;
}

}  // namespace mirvale
