#pragma once
// One Net-SNMP single-session handle (its own socket), so requests of many threads run in
// parallel. SNMPv3 sessions add a user to the library's global USM table: open and use them
// only under the client's SNMPv3 lock.
#include <functional>
#include <memory>
#include <string>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include "service/scanning/snmp_settings.h"

namespace mirvale {

struct SnmpPduDeleter {
  void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using SnmpPdu = std::unique_ptr<netsnmp_pdu, SnmpPduDeleter>;

class SnmpSession {
 public:
  // Opens a session to a dotted IPv4 address and UDP port. nullptr when the settings cannot be
  // honoured (triple-DES privacy, a password too short for the key derivation, inconsistent
  // security choices) or the session cannot be opened (SNMPv3 engine discovery failed).
  static std::unique_ptr<SnmpSession> Open(const std::string& ipv4, int port, const SnmpSettings& settings);

  ~SnmpSession();
  SnmpSession(const SnmpSession&) = delete;
  SnmpSession& operator=(const SnmpSession&) = delete;

  bool IsVersion3() const { return version3_; }

  // Sends a request and waits for its answer (the session's time-out and retries); nullptr on
  // time-out or send failure, and as soon as stopped, when given, says so.
  SnmpPdu Exchange(SnmpPdu request, const std::function<bool()>& stopped = {});

  // What an exchange that can be stopped receives; kept with the session, which may still call
  // back into it until it is closed.
  struct AsyncAnswer {
    netsnmp_pdu* response = nullptr;
    bool done = false;
  };

  // Sends a message that has no answer (a trap).
  bool Send(SnmpPdu message);

 private:
  SnmpSession(void* handle, bool version3) : handle_(handle), version3_(version3) {}
  SnmpPdu ExchangeUntilStopped(SnmpPdu request, const std::function<bool()>& stopped);

  void* handle_;
  bool version3_;
  AsyncAnswer answer_;
};

}  // namespace mirvale
