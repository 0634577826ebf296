#include "service/scanning/snmp_session.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <net-snmp/library/large_fd_set.h>

#include "service/scanning/snmp_value_text.h"

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
  session.securityLevel = encrypt        ? SNMP_SEC_LEVEL_AUTHPRIV
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

SnmpSession::~SnmpSession() {
  snmp_sess_close(handle_);
  if (answer_.response) snmp_free_pdu(answer_.response);
}

namespace {

// How often an exchange that can be stopped looks whether it is to stop.
constexpr long kStopCheckMicroseconds = 50000;

int TakeAsyncAnswer(int operation, netsnmp_session*, int, netsnmp_pdu* pdu, void* magic) {
  auto* answer = static_cast<SnmpSession::AsyncAnswer*>(magic);
  answer->done = true;
  if (operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE && pdu && !answer->response)
    answer->response = snmp_clone_pdu(pdu);
  return 1;
}

}  // namespace

SnmpPdu SnmpSession::ExchangeUntilStopped(SnmpPdu request, const std::function<bool()>& stopped) {
  answer_ = {};
  if (snmp_sess_async_send(handle_, request.get(), &TakeAsyncAnswer, &answer_) == 0) return nullptr;
  request.release();  // sent: the library frees it
  netsnmp_large_fd_set readable;
  netsnmp_large_fd_set_init(&readable, FD_SETSIZE);
  while (!answer_.done && !stopped()) {
    int count = 0;
    // Sleeps until the answer, the next retransmission or the next stop check, whichever comes
    // first: the library only shortens a wait it is given (block 0), never lengthens it.
    int block = 0;
    timeval wait{0, kStopCheckMicroseconds};
    NETSNMP_LARGE_FD_ZERO(&readable);
    snmp_sess_select_info2(handle_, &count, &readable, &wait, &block);
    int ready = netsnmp_large_fd_set_select(count, &readable, nullptr, nullptr, &wait);
    if (ready > 0)
      snmp_sess_read2(handle_, &readable);
    else if (ready == 0)
      snmp_sess_timeout(handle_);  // retransmits, or gives up once the time-out has passed
    else if (errno != EINTR)
      break;
  }
  netsnmp_large_fd_set_cleanup(&readable);
  SnmpPdu answer(answer_.response);
  answer_.response = nullptr;
  return answer;
}

SnmpPdu SnmpSession::Exchange(SnmpPdu request, const std::function<bool()>& stopped) {
  if (stopped) return ExchangeUntilStopped(std::move(request), stopped);
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
