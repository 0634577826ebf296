#include "service/scanning/snmp_client.h"

#include <chrono>
#include <cstring>
#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/reverse_lookup.h"
#include "service/scanning/snmp_boot_counter.h"
#include "service/scanning/snmp_library.h"
#include "service/scanning/snmp_session.h"
#include "service/scanning/snmp_value_text.h"
#include "service/scanning/snmp_walk_rule.h"

namespace mirvale {

namespace {

constexpr int kAgentPort = 161;
constexpr int kTrapPort = 162;
const oid kTrapEnterprise[] = {1, 3, 6, 1, 3};

bool IsException(u_char type) {
  return type == SNMP_NOSUCHOBJECT || type == SNMP_NOSUCHINSTANCE || type == SNMP_ENDOFMIBVIEW;
}

// The address of this host as the manager will see it: the kernel's choice of source address
// toward it (connecting a datagram socket sends nothing).
in_addr LocalAddressToward(const std::string& ipv4) {
  in_addr local{};
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return local;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(kTrapPort);
  sockaddr_in own{};
  socklen_t ownLength = sizeof(own);
  if (inet_pton(AF_INET, ipv4.c_str(), &peer.sin_addr) == 1 &&
      connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&own), &ownLength) == 0)
    local = own.sin_addr;
  close(fd);
  return local;
}

u_long UptimeCentiseconds() {
  static const auto start = std::chrono::steady_clock::now();
  auto elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<u_long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 10);
}

// Adds one binding per slot; false when an identifier is not a dotted number.
bool AddBindings(netsnmp_pdu* pdu, std::span<const SnmpValueSlot> slots, bool withTextValues) {
  for (const auto& slot : slots) {
    auto arcs = snmp_text::ParseOid(slot.oid);
    if (!arcs) return false;
    if (withTextValues)
      snmp_pdu_add_variable(pdu, arcs->data(), arcs->size(), ASN_OCTET_STR, slot.value.data(), slot.value.size());
    else
      snmp_add_null_var(pdu, arcs->data(), arcs->size());
  }
  return true;
}

SnmpPdu BuildTrap(const std::string& ipv4, std::span<const SnmpValueSlot> slots) {
  auto notify = slots.empty() ? std::nullopt : snmp_text::ParseOid(slots.front().oid);
  if (!notify) return nullptr;
  SnmpPdu pdu(snmp_pdu_create(SNMP_MSG_TRAP));
  pdu->enterprise = snmp_duplicate_objid(kTrapEnterprise, OID_LENGTH(kTrapEnterprise));
  pdu->enterprise_length = OID_LENGTH(kTrapEnterprise);
  pdu->trap_type = SNMP_TRAP_ENTERPRISESPECIFIC;
  pdu->specific_type = static_cast<long>(notify->back());
  pdu->time = UptimeCentiseconds();
  in_addr agent = LocalAddressToward(ipv4);
  std::memcpy(pdu->agent_addr, &agent, sizeof(pdu->agent_addr));
  if (!AddBindings(pdu.get(), slots, true)) return nullptr;
  return pdu;
}

// Writes an answer into the slots; false when it is no usable answer for every slot.
bool TakeAnswer(SnmpRequestMode mode, const netsnmp_pdu& answer, std::span<SnmpValueSlot> slots, int prefixArcs) {
  if (answer.command == SNMP_MSG_REPORT || answer.errstat != SNMP_ERR_NOERROR) return false;
  bool result = true;
  const netsnmp_variable_list* variable = answer.variables;
  for (auto& slot : slots) {
    if (!variable) return false;
    std::span<const oid> answered(variable->name, variable->name_length);
    bool usable = !IsException(variable->type);
    if (usable && mode == SnmpRequestMode::GetNext) {
      auto requested = snmp_text::ParseOid(slot.oid);
      usable = requested && IsWalkStepWithin(*requested, answered, prefixArcs);
    }
    if (usable) {
      slot.value = snmp_text::PrintableValue(*variable);
      slot.oid = snmp_text::DottedOid(variable->name, variable->name_length);
    } else {
      result = false;
    }
    variable = variable->next_variable;
  }
  return result;
}

}  // namespace

CSnmpClient::CSnmpClient() : CSnmpClient(platform::JoinPath(platform::ProgramFolder(), snmp_boot_counter::kFileName)) {}

CSnmpClient::CSnmpClient(std::string bootCounterPath) : bootCounterPath_(std::move(bootCounterPath)) {
  snmp_library::Initialise();
}

bool CSnmpClient::AdvanceBootCounter() {
  // Our engine's boots are not sent with requests (the agent is authoritative); the count is
  // kept as the record of SNMPv3 use. An unreadable counter file stops the request, since no
  // user would be registered for it.
  return snmp_boot_counter::Advance(bootCounterPath_, kEngineIdentity).has_value();
}

bool CSnmpClient::Request(SnmpRequestMode mode, const std::string& address, const SnmpSettings& settings,
                          std::span<SnmpValueSlot> slots, int prefixArcs, const std::function<bool()>& stopped) {
  if (slots.empty()) return false;
  if (!settings.m_bSnmpV3) return Exchange(mode, address, settings, slots, prefixArcs, stopped);
  // Traps go out as SNMPv1 only.
  if (mode == SnmpRequestMode::Trap) return false;
  std::lock_guard lock(version3Lock_);
  bool result = AdvanceBootCounter() && Exchange(mode, address, settings, slots, prefixArcs, stopped);
  snmp_library::ForgetUsmUsers();
  return result;
}

bool CSnmpClient::Exchange(SnmpRequestMode mode, const std::string& address, const SnmpSettings& settings,
                           std::span<SnmpValueSlot> slots, int prefixArcs, const std::function<bool()>& stopped) {
  auto ipv4 = platform::ResolveIpv4(address);
  if (!ipv4) return false;
  auto session = SnmpSession::Open(*ipv4, mode == SnmpRequestMode::Trap ? kTrapPort : kAgentPort, settings);
  if (!session) return false;

  if (mode == SnmpRequestMode::Trap) {
    auto trap = BuildTrap(*ipv4, slots);
    return trap && session->Send(std::move(trap));
  }
  SnmpPdu request(snmp_pdu_create(mode == SnmpRequestMode::Get ? SNMP_MSG_GET : SNMP_MSG_GETNEXT));
  if (!AddBindings(request.get(), slots, false)) return false;
  auto answer = session->Exchange(std::move(request), stopped);
  return answer && TakeAnswer(mode, *answer, slots, prefixArcs);
}

bool CSnmpClient::SetValue(const std::string& address, const SnmpSettings& settings, const SnmpValueSlot& slot) {
  if (!settings.m_bSnmpV3) return ExchangeSet(address, settings, slot);
  std::lock_guard lock(version3Lock_);
  bool result = AdvanceBootCounter() && ExchangeSet(address, settings, slot);
  snmp_library::ForgetUsmUsers();
  return result;
}

bool CSnmpClient::ExchangeSet(const std::string& address, const SnmpSettings& settings, const SnmpValueSlot& slot) {
  auto ipv4 = platform::ResolveIpv4(address);
  auto arcs = snmp_text::ParseOid(slot.oid);
  if (!ipv4 || !arcs) return false;
  auto session = SnmpSession::Open(*ipv4, kAgentPort, settings);
  if (!session) return false;

  SnmpPdu get(snmp_pdu_create(SNMP_MSG_GET));
  snmp_add_null_var(get.get(), arcs->data(), arcs->size());
  auto current = session->Exchange(std::move(get));
  if (!current || current->command == SNMP_MSG_REPORT || current->errstat != SNMP_ERR_NOERROR || !current->variables ||
      IsException(current->variables->type))
    return false;

  auto value = snmp_text::EncodeValue(current->variables->type, slot.value);
  if (!value) return false;
  SnmpPdu set(snmp_pdu_create(SNMP_MSG_SET));
  if (!session->IsVersion3()) {
    set->community = reinterpret_cast<u_char*>(strdup(settings.m_strWriteCommunity.c_str()));
    set->community_len = settings.m_strWriteCommunity.size();
  }
  snmp_pdu_add_variable(set.get(), arcs->data(), arcs->size(), value->type, value->bytes.data(), value->bytes.size());
  auto answer = session->Exchange(std::move(set));
  return answer && answer->command != SNMP_MSG_REPORT && answer->errstat == SNMP_ERR_NOERROR;
}

}  // namespace mirvale
