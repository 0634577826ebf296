#include "platform/service_control.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/registry.h"
#include "platform/service_control_unit.h"
#include "platform/trusted_path.h"
#include "platform/unix_socket.h"

namespace platform {

namespace {

constexpr const char* kServicesKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services";

std::string JoinDependencies(const std::vector<std::string>& names) {
  std::string joined;
  for (const auto& name : names) joined += name + ";";
  return joined;
}

std::vector<std::string> SplitDependencies(const std::string& joined) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start < joined.size()) {
    size_t end = joined.find(';', start);
    if (end == std::string::npos) end = joined.size();
    if (end > start) names.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

std::string ServiceRegistryKeyPath(std::string_view name) {
  return std::string(kServicesKey) + "\\" + std::string(name);
}

std::string ControlSocketPath() { return JoinPath(RunFolder(), "control"); }

bool IsServiceInstalled(std::string_view name) {
  if (name.empty()) return false;
  auto key = RegistryKey::Open(ServiceRegistryKeyPath(name));
  return key && key->GetString("ImagePath").has_value();
}

std::optional<ServiceRegistration> QueryServiceRegistration(std::string_view name) {
  if (name.empty()) return std::nullopt;
  auto key = RegistryKey::Open(ServiceRegistryKeyPath(name));
  if (!key) return std::nullopt;
  auto program = key->GetString("ImagePath");
  if (!program) return std::nullopt;
  ServiceRegistration registration;
  registration.name = std::string(name);
  registration.programPath = *program;
  registration.displayName = key->GetString("DisplayName").value_or(registration.name);
  registration.description = key->GetString("Description").value_or("");
  registration.startType =
      key->GetDword("Start").value_or(0) == static_cast<uint32_t>(StartType::OnDemand) ? StartType::OnDemand
                                                                                      : StartType::Automatic;
  registration.dependencies = SplitDependencies(key->GetString("DependOnService").value_or(""));
  return registration;
}

bool CreateServiceEntry(const ServiceRegistration& registration) {
  if (registration.name.empty() || registration.programPath.empty() || IsServiceInstalled(registration.name))
    return false;
  auto key = RegistryKey::Open(ServiceRegistryKeyPath(registration.name), true);
  if (!key) return false;
  // ImagePath goes last: it is what marks the entry as installed.
  bool ok = key->SetString("DisplayName", registration.displayName) &&
            key->SetString("Description", registration.description) &&
            key->SetDword("Start", static_cast<uint32_t>(registration.startType)) &&
            key->SetString("DependOnService", JoinDependencies(registration.dependencies)) &&
            key->SetString("ImagePath", registration.programPath);
  if (!ok) DeleteRegistryKey(ServiceRegistryKeyPath(registration.name));
  return ok;
}

bool DeleteServiceEntry(std::string_view name) {
  if (name.empty()) return false;
  if (!RegistryKey::Open(ServiceRegistryKeyPath(name))) return true;
  return DeleteRegistryKey(ServiceRegistryKeyPath(name));
}

std::optional<StartType> QueryServiceStartType(std::string_view name) {
  if (!ServiceControlUsesSystemd()) {
    auto registration = QueryServiceRegistration(name);
    return registration ? std::optional(registration->startType) : std::nullopt;
  }
  // is-enabled answers with the state word on its first line; anything else is an error text.
  SystemctlOutput output = RunSystemctl({"is-enabled", SystemdUnitName(name)});
  const std::string state = output.text.substr(0, output.text.find('\n'));
  if (state == "enabled" || state == "enabled-runtime") return StartType::Automatic;
  for (const char* other : {"disabled", "static", "indirect", "generated", "transient", "linked", "linked-runtime",
                            "masked", "masked-runtime", "alias"})
    if (state == other) return StartType::OnDemand;
  return std::nullopt;
}

ServiceCallResult ChangeServiceStartType(std::string_view name, StartType type) {
  if (ServiceControlUsesSystemd()) {
    ServiceCallResult result =
        CallSystemctl({type == StartType::Automatic ? "enable" : "disable", SystemdUnitName(name)});
    // The entry only follows systemd; an operator who may not write it changes nothing that counts.
    if (result)
      if (auto key = RegistryKey::Open(ServiceRegistryKeyPath(name)))
        key->SetDword("Start", static_cast<uint32_t>(type));
    return result;
  }
  if (!IsServiceInstalled(name)) return ServiceCallResult::Failed();
  auto key = RegistryKey::Open(ServiceRegistryKeyPath(name));
  return key && key->SetDword("Start", static_cast<uint32_t>(type)) ? ServiceCallResult::Done()
                                                                    : ServiceCallResult::Failed();
}

namespace {

using Clock = std::chrono::steady_clock;

// How long QueryServiceState waits, for the connection and then for the answer.
constexpr std::chrono::milliseconds kStateWait{5000};

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

// The run folder is shared with the operators: a socket another account listens on at the control
// socket's name is not the service, and nothing is sent to it. The listener is asked, not the
// name's owner, which could change between a look at the name and the connection. A service
// whose backlog stays full (it is hung) is waited for until the deadline, errno EAGAIN then.
UniqueFd ConnectToService(const std::string& socketPath, Clock::time_point deadline) {
  UniqueFd fd = ConnectUnixStream(socketPath, std::chrono::milliseconds(MillisecondsLeft(deadline)));
  if (!fd) return fd;
  auto listener = PeerAccount(fd.get());
  if (listener && IsTrustedOwner(*listener)) return fd;
  errno = EACCES;
  return {};
}

std::optional<uint32_t> Answer(const UniqueFd& fd, Clock::time_point deadline) {
  unsigned char answer[4];
  if (!ReceiveExactly(fd.get(), answer, sizeof answer, MillisecondsLeft(deadline))) return std::nullopt;
  return DecodeLittleEndian32(answer);
}

}  // namespace

std::optional<uint32_t> SendServiceControl(uint32_t code, const std::string& socketPath,
                                           std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + (timeout.count() > 0 ? timeout : kDefaultControlWait);
  UniqueFd fd = ConnectToService(socketPath, deadline);
  if (!fd) return std::nullopt;
  unsigned char request[4];
  EncodeLittleEndian32(code, request);
  if (!SendAll(fd.get(), request, sizeof request)) return std::nullopt;
  return Answer(fd, deadline);
}

ServiceState QueryServiceState(const std::string& socketPath) {
  UniqueFd fd = ConnectToService(socketPath, Clock::now() + kStateWait);
  // A backlog that stays full is a listening service that takes nobody in: it runs, hung or busy.
  if (!fd) return errno == EAGAIN ? ServiceState::Running : ServiceState::Stopped;
  // The service answers one request at a time: no answer in time means it is busy with a
  // long one (a prune, a settings reload), so it runs.
  unsigned char request[4];
  EncodeLittleEndian32(kControlInterrogate, request);
  if (!SendAll(fd.get(), request, sizeof request)) return ServiceState::Stopped;
  pollfd waiting{fd.get(), POLLIN, 0};
  int ready;
  do {
    ready = poll(&waiting, 1, static_cast<int>(kStateWait.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready == 0) return ServiceState::Running;
  auto answer = Answer(fd, Clock::now() + kStateWait);
  if (!answer || *answer < 1 || *answer > 4) return ServiceState::Stopped;
  return static_cast<ServiceState>(*answer);
}

namespace {

bool LaunchDetached(std::string_view name) {
  auto registration = QueryServiceRegistration(name);
  if (!registration || access(registration->programPath.c_str(), X_OK) != 0) return false;
  const std::string& program = registration->programPath;
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // Double fork: the service belongs to no session of ours and is never our zombie.
    setsid();
    if (fork() != 0) _exit(0);
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      dup2(null, 2);
      if (null > 2) close(null);
    }
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    execv(program.c_str(), argv);
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

ServiceCallResult StartInstalledService(std::string_view name) {
  if (ServiceControlUsesSystemd()) return CallSystemctl({"start", SystemdUnitName(name)});
  return LaunchDetached(name) ? ServiceCallResult::Done() : ServiceCallResult::Failed();
}

ServiceCallResult StopInstalledService(std::string_view name) {
  // A unit systemd has not loaded (its file deleted by hand, or never read) runs nothing, so it
  // is stopped; unregistration can then clear what is left of it.
  if (ServiceControlUsesSystemd()) return CallSystemctl({"stop", SystemdUnitName(name)}, {kSystemctlUnitNotLoaded});
  SendServiceControl(kControlStop, ControlSocketPath(), std::chrono::seconds(30));
  return ServiceCallResult::Done();
}

}  // namespace platform
