#include "service/host/service_registration.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include <unistd.h>

#include "platform/operator_group.h"
#include "platform/registry.h"
#include "platform/run_account.h"
#include "platform/service_control.h"
#include "platform/service_control_unit.h"

namespace mirvale {

namespace {

constexpr const char* kAppId = "{6F1C2B7E-3A94-4D5B-8E21-9C0D4A7B5E36}";
constexpr const char* kModuleName = "MirvaleSrv";
const std::string kAppIdRoot = "HKEY_CLASSES_ROOT\\AppID";

std::string AppIdKeyPath() { return kAppIdRoot + "\\" + kAppId; }
std::string ModuleKeyPath() { return kAppIdRoot + "\\" + kModuleName + ".EXE"; }

// The text, and below it the service manager's own words when it gave any.
void Complain(const char* text, const std::string& managerSaid = {}) {
  std::fprintf(stderr, "%s: %s\n", std::string(platform::kMirvaleServiceName).c_str(), text);
  if (!managerSaid.empty()) std::fprintf(stderr, "%s\n", managerSaid.c_str());
}

std::string ThisProgram() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

bool RegistryWritable() {
  return platform::RegistryKey::Open("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services", true).has_value();
}

// Whether this caller may change the store, asked before anything is changed: its folder, or
// the nearest level of it that exists, must be writable. A caller that may not even look
// (a non-root account before a root-only folder) may not.
bool MayOpenServiceManager() {
  std::string level = platform::RegistryRoot();
  for (;;) {
    if (access(level.c_str(), W_OK | X_OK) == 0) return true;
    if (errno != ENOENT) return false;
    const size_t slash = level.rfind('/');
    if (slash == std::string::npos) return access(".", W_OK | X_OK) == 0;
    level = slash == 0 ? std::string("/") : level.substr(0, slash);
  }
}

}  // namespace

bool RegisteredAsService() {
  auto key = platform::RegistryKey::Open(AppIdKeyPath());
  return key && key->GetString("LocalService").has_value();
}

bool InstallService() {
  const std::string name(platform::kMirvaleServiceName);
  if (platform::IsServiceInstalled(name)) return true;
  if (!RegistryWritable()) {
    Complain("Couldn't open service manager");
    return false;
  }
  platform::ServiceRegistration registration{name, name, kServiceDescription, ThisProgram(),
                                             platform::StartType::Automatic, {}};
  if (registration.programPath.empty() || !platform::CreateServiceEntry(registration)) {
    Complain("Couldn't create service");
    return false;
  }
  if (auto unit = platform::InstallServiceUnit(registration); !unit) {
    platform::DeleteServiceEntry(name);
    Complain("Couldn't create service", unit.message);
    return false;
  }
  return true;
}

bool RemoveService() {
  const std::string name(platform::kMirvaleServiceName);
  if (!platform::IsServiceInstalled(name)) return true;
  if (!RegistryWritable()) {
    Complain("Couldn't open service manager");
    return false;
  }
  if (auto stopped = platform::StopInstalledService(name); !stopped) {
    Complain("Service could not be deleted", stopped.message);
    return false;
  }
  if (auto unit = platform::RemoveServiceUnit(name); !unit) {
    Complain("Service could not be deleted", unit.message);
    return false;
  }
  if (!platform::DeleteServiceEntry(name)) {
    Complain("Service could not be deleted");
    return false;
  }
  return true;
}

int RegisterServer(bool asService) {
  if (!MayOpenServiceManager()) {
    Complain("Couldn't open service manager");
    return 1;
  }
  // A new registration points at this program file.
  if (!RemoveService()) return 1;
  // The accounts that may drive the service and read what it stores join this group, and find
  // its folders open to them before the service first starts.
  if (!platform::EnsureOperatorGroup()) Complain("Couldn't create the group of the service's operators");
  for (const std::string& problem : platform::ShareOperatorFolders()) Complain(problem.c_str());
  // Run actions without credentials and files at paths the settings choose use this account.
  if (!platform::EnsureRunAccount()) Complain("Couldn't create the service's unprivileged account");
  auto appId = platform::RegistryKey::Open(AppIdKeyPath(), true);
  auto module = platform::RegistryKey::Open(ModuleKeyPath(), true);
  if (!appId || !module || !appId->SetString("", kModuleName) || !module->SetString("AppID", kAppId)) {
    Complain("Couldn't open service manager");
    return 1;
  }
  appId->DeleteValue("LocalService");
  appId->DeleteValue("ServiceParameters");
  if (!asService) return 0;
  if (!appId->SetString("LocalService", kModuleName) || !appId->SetString("ServiceParameters", "-Service"))
    return 1;
  return InstallService() ? 0 : 1;
}

int UnregisterServer() {
  if (!MayOpenServiceManager()) {
    Complain("Couldn't open service manager");
    return 1;
  }
  RemoveService();
  platform::DeleteRegistryKey(AppIdKeyPath());
  platform::DeleteRegistryKey(ModuleKeyPath());
  return 0;
}

}  // namespace mirvale
