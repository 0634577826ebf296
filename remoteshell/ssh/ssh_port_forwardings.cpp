// "PortForwardings": parsing, and starting, keeping and cancelling the forwardings at session
// start and on reconfigure (local and dynamic listeners here, remote ones by global request).
#include <cstdlib>
#include <cstring>

#include "remoteshell/net/net_address.h"
#include "remoteshell/net/port_forward.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

// A port number, or a service name looked up; 0 when neither (or beyond 65535).
int port_of(const std::string& text) {
  if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos)
    return text.size() <= 5 && std::atoi(text.c_str()) <= 65535 ? std::atoi(text.c_str()) : 0;
  return text.empty() ? 0 : net_service_port(text.c_str());
}

const char* family_text(int family) { return family == 1 ? "IPv4 " : family == 2 ? "IPv6 " : ""; }

std::string destination_text(const SshPortForward& f) {
  return f.destination_host + ":" + std::to_string(f.destination_port);
}

const char* remote_bind_address(const SshSession* ssh, const SshPortForward& f) {
  if (!f.source_address.empty()) return f.source_address.c_str();
  return ssh->config.remote_ports_accept_all ? "0.0.0.0" : "127.0.0.1";
}

// "tcpip-forward" (reply wanted) or "cancel-tcpip-forward" (none) for a remote forwarding.
void send_global_request(SshSession* ssh, const char* name, bool want_reply, const SshPortForward& f) {
  WireBuffer request;
  request.put_byte(kMsgGlobalRequest);
  request.put_string(name);
  request.put_bool(want_reply);
  request.put_string(remote_bind_address(ssh, f));
  request.put_uint32(static_cast<uint32_t>(f.source_port));
  ssh2_send(ssh, request);
}

void cancel(SshSession* ssh, SshPortForward& f) {
  std::string what = std::string(f.type == 'L'   ? "local"
                                 : f.type == 'R' ? "remote"
                                                 : "dynamic") +
                     " port forwarding from " + (f.source_address.empty() ? "" : f.source_address + ":") +
                     std::to_string(f.source_port);
  if (f.type != 'D') what += " to " + destination_text(f);
  ssh_event(ssh, "Cancelling %s", what.c_str());
  if (f.type == 'R' && ssh->version == 2 && f.remote_enabled)
    send_global_request(ssh, "cancel-tcpip-forward", false, f);
  if (f.listener != nullptr) forward_terminate(f.listener);
  f.listener = nullptr;
  for (auto& pending : ssh->remote_replies)
    if (pending == &f) pending = nullptr;
}

void start(SshSession* ssh, SshPortForward& f) {
  const char* family = family_text(f.family);
  if (f.type == 'L' || f.type == 'D') {
    ForwardBackend backend{&ssh2_forward_channel_ops, ssh};
    const char* error = forward_add_listener(f.type == 'L' ? f.destination_host.c_str() : nullptr, f.destination_port,
                                             f.source_address.empty() ? nullptr : f.source_address.c_str(),
                                             f.source_port, backend, ssh->config, f.family, &f.listener);
    if (f.type == 'L')
      ssh_event(ssh, "Local %sport %s forwarding to %s%s%s", family, f.source_text.c_str(), destination_text(f).c_str(),
                error != nullptr ? " failed: " : "", error != nullptr ? error : "");
    else
      ssh_event(ssh, "Local %sport %s SOCKS dynamic forwarding%s%s", family, f.source_text.c_str(),
                error != nullptr ? " failed: " : "", error != nullptr ? error : "");
    return;
  }
  for (const auto& other : ssh->forwardings) {
    if (other.get() != &f && other->type == 'R' && other->status != kForwardRemove &&
        other->source_port == f.source_port && other->remote_enabled) {
      ssh_event(ssh, "Duplicate remote port forwarding to %s", destination_text(f).c_str());
      f.status = kForwardRemove;
      return;
    }
  }
  ssh_event(ssh, "Requesting remote port %s forward to %s", f.source_text.c_str(), destination_text(f).c_str());
  if (ssh->version == 1) {
    WireBuffer request;
    request.put_uint32(static_cast<uint32_t>(f.source_port));
    request.put_string(f.destination_host);
    request.put_uint32(static_cast<uint32_t>(f.destination_port));
    ssh1_send(ssh, kSsh1PortForwardRequest, request);
  } else {
    send_global_request(ssh, "tcpip-forward", true, f);
  }
  f.remote_enabled = true;  // held until the reply says otherwise, so a duplicate is caught
  ssh->remote_replies.push_back(&f);
}

}  // namespace

bool SshPortForward::SameAs(const SshPortForward& o) const {
  if (type != o.type || family != o.family || source_address != o.source_address || source_port != o.source_port)
    return false;
  return type == 'D' || (destination_host == o.destination_host && destination_port == o.destination_port);
}

bool ssh_parse_port_forward(SshSession* ssh, const char* name, const char* value, SshPortForward* out) {
  const char* p = name;
  if (*p == '4' || *p == '6') out->family = *p++ == '4' ? 1 : 2;
  if (*p == 'L' || *p == 'R' || *p == 'D') out->type = *p++;
  std::string source(p);
  size_t colon = source.rfind(':');
  std::string port_text = colon == std::string::npos ? source : source.substr(colon + 1);
  if (colon != std::string::npos) out->source_address = source.substr(0, colon);
  if (out->type == 'R' && ssh->version == 1 && !out->source_address.empty()) {
    ssh_event(ssh, "SSH-1 cannot handle remote source address spec \"%s\"; ignoring", source.c_str());
    out->source_address.clear();
  }
  out->source_text = (out->source_address.empty() ? "" : out->source_address + ":") + port_text;
  out->source_port = port_of(port_text);
  if (out->source_port == 0) {
    ssh_event(ssh, "Service lookup failed for source port \"%s\"", port_text.c_str());
    return false;
  }
  if (out->type == 'D') return true;
  std::string destination(value);
  size_t at = destination.rfind(':');
  std::string destination_port = at == std::string::npos ? "" : destination.substr(at + 1);
  out->destination_host = destination.substr(0, at == std::string::npos ? destination.size() : at);
  out->destination_port = port_of(destination_port);
  if (out->destination_port == 0) {
    ssh_event(ssh, "Service lookup failed for destination port \"%s\"", destination_port.c_str());
    return false;
  }
  return true;
}

void ssh_setup_port_forwardings(SshSession* ssh) {
  for (auto& f : ssh->forwardings) f->status = kForwardRemove;
  for (const auto& [name, value] :
       ssh_list_entries(ssh->config.port_forwardings, sizeof ssh->config.port_forwardings)) {
    auto parsed = std::make_unique<SshPortForward>();
    if (!ssh_parse_port_forward(ssh, name.c_str(), value.c_str(), parsed.get())) continue;
    bool known = false;
    for (auto& f : ssh->forwardings) {
      if (f->SameAs(*parsed)) {
        f->status = kForwardKeep;
        known = true;
        break;
      }
    }
    if (!known) ssh->forwardings.push_back(std::move(parsed));
  }
  for (auto& f : ssh->forwardings)
    if (f->status == kForwardRemove) cancel(ssh, *f);
  for (auto& f : ssh->forwardings) {
    if (f->status != kForwardNew) continue;
    f->status = kForwardKeep;
    start(ssh, *f);
  }
  std::erase_if(ssh->forwardings, [](const auto& f) { return f->status == kForwardRemove; });
}

void ssh2_take_remote_forward_reply(SshSession* ssh, bool success) {
  if (ssh->remote_replies.empty()) return;
  SshPortForward* f = ssh->remote_replies.front();
  ssh->remote_replies.pop_front();
  if (f == nullptr) return;  // cancelled meanwhile
  ssh_event(ssh, success ? "Remote port forwarding from %s enabled" : "Remote port forwarding from %s refused",
            f->source_text.c_str());
  if (success) return;
  f->remote_enabled = false;
  std::erase_if(ssh->forwardings, [f](const auto& entry) { return entry.get() == f; });
}

SshPortForward* ssh_find_remote_forward(SshSession* ssh, int port) {
  for (auto& f : ssh->forwardings)
    if (f->type == 'R' && f->remote_enabled && f->source_port == port) return f.get();
  return nullptr;
}
