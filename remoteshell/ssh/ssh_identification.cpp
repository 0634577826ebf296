// The identification exchange that chooses SSH-1 or SSH-2, and the server quirks read from
// the server's version text.
#include <cstdlib>
#include <cstring>

#include "remoteshell/core/version_pattern.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/ssh/ssh_session.h"

namespace {

constexpr const char* kBuildText = "Oskavel: May 24 2012 11:06:10";

bool matches_any(const std::string& text, std::initializer_list<const char*> patterns) {
  for (const char* pattern : patterns)
    if (version_pattern_match(pattern, text.c_str()) == 1) return true;
  return false;
}

bool equals_any(const std::string& text, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (text == name) return true;
  return false;
}

struct QuirkRule {
  unsigned bit;
  int SessionConfig::*setting;
  bool (*automatic)(const std::string& software);
  const char* line;
};

const QuirkRule kQuirkRules[] = {
    {kQuirkIgnore1, &SessionConfig::bug_ignore1,
     [](const std::string& s) {
       return equals_any(
           s, {"1.2.18", "1.2.19", "1.2.20", "1.2.21", "1.2.22", "Cisco-1.25", "OSU_1.4alpha3", "OSU_1.5alpha4"});
     },
     "We believe remote version has SSH-1 ignore bug"},
    {kQuirkPlainPassword1, &SessionConfig::bug_plain_password1,
     [](const std::string& s) {
       return equals_any(s, {"Cisco-1.25", "OSU_1.4alpha3"});
     },
     "We believe remote version needs a plain SSH-1 password"},
    {kQuirkRsa1, &SessionConfig::bug_rsa1, [](const std::string& s) { return s == "Cisco-1.25"; },
     "We believe remote version can't handle SSH-1 RSA authentication"},
    {kQuirkHmac2, &SessionConfig::bug_hmac2,
     [](const std::string& s) {
       return !matches_any(s, {"* VShell"}) && matches_any(s, {"2.1.0*", "2.0.*", "2.2.0*", "2.3.0*", "2.1 *"});
     },
     "We believe remote version has SSH-2 HMAC bug"},
    {kQuirkDeriveKey2, &SessionConfig::bug_derive_key2,
     [](const std::string& s) {
       return !matches_any(s, {"* VShell"}) && matches_any(s, {"2.0.0*", "2.0.10*"});
     },
     "We believe remote version has SSH-2 key-derivation bug"},
    {kQuirkRsaPad2, &SessionConfig::bug_rsa_pad2,
     [](const std::string& s) {
       return matches_any(s, {"OpenSSH_2.[5-9]*", "OpenSSH_3.[0-2]*"});
     },
     "We believe remote version has SSH-2 RSA padding bug"},
    {kQuirkPkSessionId2, &SessionConfig::bug_pk_session_id2,
     [](const std::string& s) { return matches_any(s, {"OpenSSH_2.[0-2]*"}); },
     "We believe remote version has SSH-2 public-key-session-ID bug"},
    {kQuirkRekey2, &SessionConfig::bug_rekey2,
     [](const std::string& s) {
       return matches_any(
           s, {"DigiSSH_2.0", "OpenSSH_2.[0-4]*", "OpenSSH_2.5.[0-3]*", "Sun_SSH_1.0", "Sun_SSH_1.0.1", "WeOnlyDo-*"});
     },
     "We believe remote version has SSH-2 rekey bug"},
};

// Major number, then minor number, each decimal up to a '.'.
void split_version(const std::string& text, long* major, long* minor) {
  const char* dot = std::strchr(text.c_str(), '.');
  *major = std::strtol(text.c_str(), nullptr, 10);
  *minor = dot != nullptr ? std::strtol(dot + 1, nullptr, 10) : 0;
}

// The protocol version: the characters after "SSH-" up to the next '-', at most 9.
std::string protocol_version(const std::string& line) {
  size_t end = line.find('-', 4);
  std::string version = line.substr(4, end == std::string::npos ? std::string::npos : end - 4);
  return version.substr(0, 9);
}

std::string client_identification(int protocol, const std::string& server_version) {
  std::string line;
  if (protocol == 2)
    line = std::string("SSH-2.0-") + kBuildText;
  else
    line = "SSH-" + (ssh_version_compare(server_version, "1.5") <= 0 ? server_version : std::string("1.5")) + "-" +
           kBuildText;
  // Blanks and '-' in the software text would break the peer's parsing of our line.
  for (size_t i = line.find('-', 4) + 1; i < line.size(); ++i)
    if (line[i] == ' ' || line[i] == '-') line[i] = '_';
  return line;
}

// The line is complete: choose the protocol and answer.
void finish_exchange(SshSession* ssh) {
  std::string line = ssh->ident_line;
  size_t cut = line.find_first_of("\r\n");
  if (cut != std::string::npos) line.resize(cut);
  ssh_event(ssh, "Server version: %s", line.c_str());
  ssh->quirks = ssh_detect_quirks(ssh, line);

  std::string version = protocol_version(line);
  bool has_ssh1 = ssh_version_compare(version, "2.0") < 0;
  bool has_ssh2 = ssh_version_compare(version, "1.99") >= 0;
  int wanted = ssh->config.ssh_protocol;
  if (wanted == 0 && !has_ssh1) {
    ssh_fatal(ssh, "SSH protocol version 1 required by user but not provided by server");
    return;
  }
  if (wanted == 3 && !has_ssh2) {
    ssh_fatal(ssh, "SSH protocol version 2 required by user but not provided by server");
    return;
  }
  ssh->version = has_ssh2 && (wanted >= 2 || !has_ssh1) ? 2 : 1;
  std::string ours = client_identification(ssh->version, version);
  ssh_event(ssh, "We claim version: %s", ours.c_str());
  if (ssh->version == 1) {
    ours += "\n";
    ssh->backlog = socket_write(ssh->socket, ours.data(), static_cast<int>(ours.size()));
    ssh1_start(ssh);
  } else {
    ssh->client_ident = ours;
    ssh->server_ident = line;
    ours += "\r\n";
    ssh->backlog = socket_write(ssh->socket, ours.data(), static_cast<int>(ours.size()));
    ssh2_kex_start(ssh);
  }
  if (ssh->state == kSshClosed) return;
  ssh_event(ssh, "Using SSH protocol version %d", ssh->version);
  ssh->state = kSshBeforeSize;
  ssh->pinger = keepalive_new(&ssh->config, &ssh_backend, ssh);
}

}  // namespace

int ssh_version_compare(const std::string& a, const std::string& b) {
  long a_major, a_minor, b_major, b_minor;
  split_version(a, &a_major, &a_minor);
  split_version(b, &b_major, &b_minor);
  if (a_major != b_major) return a_major < b_major ? -1 : 1;
  if (a_minor != b_minor) return a_minor < b_minor ? -1 : 1;
  return 0;
}

unsigned ssh_detect_quirks(SshSession* ssh, const std::string& server_line) {
  size_t first = server_line.find('-');
  size_t second = first == std::string::npos ? std::string::npos : server_line.find('-', first + 1);
  std::string software = second == std::string::npos ? std::string() : server_line.substr(second + 1);
  unsigned quirks = 0;
  for (const QuirkRule& rule : kQuirkRules) {
    int setting = ssh->config.*rule.setting;
    if (setting == 0 || (setting == 2 && rule.automatic(software))) {
      quirks |= rule.bit;
      ssh_event(ssh, "%s", rule.line);
    }
  }
  return quirks;
}

size_t ssh_identification_receive(SshSession* ssh, const unsigned char* data, size_t length) {
  static constexpr char kPrefix[] = "SSH-";
  for (size_t i = 0; i < length; ++i) {
    char c = static_cast<char>(data[i]);
    if (ssh->ident_phase != 2 && ++ssh->pre_banner > kSshPreBannerLimit) {
      ssh_fatal(ssh, "Server sent too much text before its version line");
      return i + 1;
    }
    if (ssh->ident_phase == 1) {  // skipping a line that is not the version line
      if (c == '\n') {
        ssh->ident_phase = 0;
        ssh->ident_line.clear();
      }
      continue;
    }
    ssh->ident_line += c;
    if (ssh->ident_phase == 0) {
      size_t at = ssh->ident_line.size() - 1;
      if (c != kPrefix[at]) {
        ssh->ident_phase = c == '\n' ? 0 : 1;
        ssh->ident_line.clear();
      } else if (at == 3) {
        ssh->ident_phase = 2;
      }
      continue;
    }
    if (ssh->ident_line.size() > kSshVersionLineLimit) {
      ssh_fatal(ssh, "Server version line is too long");
      return i + 1;
    }
    // A line feed ends the line only once the protocol version's '-' has passed.
    if (c == '\n' && ssh->ident_line.find('-', 4) != std::string::npos) {
      finish_exchange(ssh);
      return i + 1;
    }
  }
  return length;
}
