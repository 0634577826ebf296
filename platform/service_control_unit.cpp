#include "platform/service_control_unit.h"

#include <cctype>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/operator_group.h"
#include "platform/polkit_rule.h"

namespace platform {

namespace {

constexpr const char* kWantedBy = "multi-user.target";

std::string SystemdFolder() { return GetEnv("MIRVALE_SYSTEMD_DIR").value_or("/etc/systemd/system"); }

// The accounts travel too: the service gives its files to the group the polkit rule names and
// uses the unprivileged account that registration created.
constexpr const char* kCarriedVariables[] = {
    "MIRVALE_PROGRAM_FOLDER", "MIRVALE_COMMON_APPDATA", "MIRVALE_RUN_DIR",    "MIRVALE_REGISTRY_ROOT",
    "MIRVALE_EVENTLOG",       "MIRVALE_OPERATOR_GROUP", "MIRVALE_RUN_ACCOUNT"};

// What the service's work leaves room to take away: it runs as root for PAM logons (reading
// the shadow file), run actions and settings-chosen files under another account's ids, raw ICMP,
// privileged source ports for rlogin, its files' group and reading what operators leave in the
// data folder; programs of run actions must not gain privileges of their own. The system folders
// stay read-only; home folders, /tmp and devices stay visible because run actions, key files and
// X11 forwarding may use them (ProtectClock would hide the devices too; without CAP_SYS_TIME the
// clock is safe anyway).
constexpr const char* kHardening =
    "NoNewPrivileges=yes\n"
    "CapabilityBoundingSet=CAP_NET_RAW CAP_NET_BIND_SERVICE CAP_SETUID CAP_SETGID CAP_CHOWN CAP_FOWNER "
    "CAP_DAC_OVERRIDE CAP_DAC_READ_SEARCH CAP_AUDIT_WRITE\n"
    "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK\n"
    "RestrictNamespaces=yes\n"
    "RestrictRealtime=yes\n"
    "RestrictSUIDSGID=yes\n"
    "LockPersonality=yes\n"
    "SystemCallArchitectures=native\n"
    "ProtectKernelTunables=yes\n"
    "ProtectKernelModules=yes\n"
    "ProtectKernelLogs=yes\n"
    "ProtectControlGroups=yes\n"
    "ProtectHostname=yes\n"
    "ProtectSystem=full\n";

// systemd's quoting: double quotes, with backslash and quote escaped and "%" doubled; "$" is
// doubled only on a command line, the one place where systemd expands variables.
std::string Quoted(std::string_view text, bool commandLine = false) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '%') out += '%';
    if (c == '$' && commandLine) out += '$';
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
  return JoinPath(SystemdFolder(), SystemdUnitName(serviceName));
}

std::string SystemdUnitText(const ServiceRegistration& registration) {
  std::string text = "[Unit]\nDescription=" + SingleLine(registration.description) + "\n";
  text += "After=network-online.target\nWants=network-online.target\n\n[Service]\nType=simple\n";
  // systemd expands "$" in the arguments only, never in the program's path: the path goes as it
  // is, with argv[0] given apart ("@") so that nothing is expanded.
  text += "ExecStart=@" + Quoted(registration.programPath) + " MirvaleSrv\n";
  // The sandbox below refuses set-group-id modes: the data folder is shared with full privileges
  // ("+") before each start, as registration shares it; the service logs what stays unshared.
  text += "ExecStartPre=-+/usr/bin/install -d -m " + OctalMode(kSharedDataFolderMode) + " -g " +
          Quoted(OperatorGroupName(), /*commandLine=*/true) + " " + Quoted(DataFolder(), /*commandLine=*/true) + "\n";
  for (const char* variable : kCarriedVariables) {
    if (auto value = GetEnv(variable)) text += "Environment=" + Quoted(std::string(variable) + "=" + *value) + "\n";
  }
  text += "KillSignal=SIGTERM\nTimeoutStopSec=30\n";
  text += kHardening;
  // The service writes its settings and databases beside the program, its data and run files in
  // their folders, its settings store in its own; "-" lets a folder that does not exist yet pass.
  const std::string programFolder =
      GetEnv("MIRVALE_PROGRAM_FOLDER")
          .value_or(registration.programPath.substr(0, registration.programPath.rfind('/')));
  for (const std::string& folder : {programFolder, DataFolder(), RunFolder(), RegistryRoot()})
    if (!folder.empty()) text += "ReadWritePaths=" + Quoted("-" + folder) + "\n";
  text += "\n[Install]\nWantedBy=" + std::string(kWantedBy) + "\n";
  return text;
}

bool WriteSystemdUnit(const ServiceRegistration& registration) {
  std::string path = SystemdUnitPath(registration.name);
  std::string folder = path.substr(0, path.rfind('/'));
  if (!folder.empty() && !CreateFolderLevels(folder)) return false;
  return WriteFileAtomically(path, SystemdUnitText(registration), 0644);
}

bool RemoveSystemdUnit(std::string_view serviceName) {
  if (unlink(SystemdUnitPath(serviceName).c_str()) != 0 && errno != ENOENT) return false;
  // The link an enablement made stays when the unit file went first (deleted by hand), and
  // systemctl cannot disable what it no longer finds.
  const std::string link = JoinPath(SystemdFolder(), std::string(kWantedBy) + ".wants/" + SystemdUnitName(serviceName));
  struct stat info {};
  if (lstat(link.c_str(), &info) == 0 && S_ISLNK(info.st_mode) && unlink(link.c_str()) != 0) return false;
  return true;
}

ServiceCallResult InstallServiceUnit(const ServiceRegistration& registration) {
  const std::string& name = registration.name;
  if (!WriteSystemdUnit(registration)) return ServiceCallResult::Failed();
  // The rule is for systemd's own requests: where systemd does not run, none is written.
  if (!ServiceControlUsesSystemd()) return ServiceCallResult::Done();
  if (!WritePolkitRule(name)) {
    RemoveSystemdUnit(name);
    return ServiceCallResult::Failed();
  }
  const std::string unit = SystemdUnitName(name);
  ServiceCallResult result = CallSystemctl({"daemon-reload"});
  if (result) result = CallSystemctl({registration.startType == StartType::Automatic ? "enable" : "disable", unit});
  if (!result) {
    RemovePolkitRule(name);
    RemoveSystemdUnit(name);
    CallSystemctl({"daemon-reload"});
  }
  return result;
}

ServiceCallResult RemoveServiceUnit(std::string_view serviceName) {
  const bool systemd = ServiceControlUsesSystemd();
  if (systemd && FileExists(SystemdUnitPath(serviceName))) {
    if (auto disabled = CallSystemctl({"disable", SystemdUnitName(serviceName)}); !disabled) return disabled;
  }
  if (!RemoveSystemdUnit(serviceName) || !RemovePolkitRule(serviceName)) return ServiceCallResult::Failed();
  return systemd ? CallSystemctl({"daemon-reload"}) : ServiceCallResult::Done();
}

}  // namespace platform
