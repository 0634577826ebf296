#include "platform/service_control_unit.h"

#include <cctype>
#include <cerrno>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"

namespace platform {

namespace {

constexpr const char* kCarriedVariables[] = {"MIRVALE_PROGRAM_FOLDER", "MIRVALE_COMMON_APPDATA", "MIRVALE_RUN_DIR",
                                             "MIRVALE_REGISTRY_ROOT", "MIRVALE_EVENTLOG"};

// systemd's quoting: double quotes, with backslash, quote, "%" and "$" escaped.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '%') out += '%';
    if (c == '$') out += '$';
    if (c == '\n' || c == '\r') c = ' ';
    out += c;
  }
  return out + "\"";
}

std::string SingleLine(std::string_view text) {
  std::string out;
  for (char c : text) out += (c == '\n' || c == '\r') ? ' ' : c;
  return out;
}

}  // namespace

std::string SystemdUnitName(std::string_view serviceName) {
  std::string name;
  for (unsigned char c : serviceName) {
    char mapped = std::isalnum(c) ? static_cast<char>(std::tolower(c)) : '-';
    if (mapped == '-' && (name.empty() || name.back() == '-')) continue;
    name += mapped;
  }
  while (!name.empty() && name.back() == '-') name.pop_back();
  if (name.empty()) name = "service";
  return name + ".service";
}

std::string SystemdUnitPath(std::string_view serviceName) {
  std::string folder = GetEnv("MIRVALE_SYSTEMD_DIR").value_or("/etc/systemd/system");
  return JoinPath(folder, SystemdUnitName(serviceName));
}

std::string SystemdUnitText(const ServiceRegistration& registration) {
  std::string text = "[Unit]\nDescription=" + SingleLine(registration.description) + "\n";
  text += "After=network-online.target\nWants=network-online.target\n\n[Service]\nType=simple\n";
  text += "ExecStart=" + Quoted(registration.programPath) + "\n";
  for (const char* variable : kCarriedVariables) {
    if (auto value = GetEnv(variable)) text += "Environment=" + Quoted(std::string(variable) + "=" + *value) + "\n";
  }
  text += "KillSignal=SIGTERM\nTimeoutStopSec=30\n\n[Install]\nWantedBy=multi-user.target\n";
  return text;
}

bool WriteSystemdUnit(const ServiceRegistration& registration) {
  std::string path = SystemdUnitPath(registration.name);
  std::string folder = path.substr(0, path.rfind('/'));
  if (!folder.empty() && !CreateFolderLevels(folder)) return false;
  return WriteFileAtomically(path, SystemdUnitText(registration), 0644);
}

bool RemoveSystemdUnit(std::string_view serviceName) {
  return unlink(SystemdUnitPath(serviceName).c_str()) == 0 || errno == ENOENT;
}

}  // namespace platform
