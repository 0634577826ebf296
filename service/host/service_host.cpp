#include "service/host/service_host.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <thread>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/folders.h"
#include "platform/operator_group.h"
#include "platform/service_control.h"
#include "platform/service_control_server.h"
#include "service/host/control_access.h"
#include "service/host/service_log.h"

namespace mirvale {

namespace {

// How long a stopping service waits for scan, device, action and export threads.
constexpr std::chrono::milliseconds kWorkerGrace{1500};

sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

}  // namespace

void CServiceHost::PostQuit() {
  uint64_t one = 1;
  while (write(quitFd_.get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void CServiceHost::WaitForQuit(int signalFd) {
  for (;;) {
    // The service reports running once the worker has loaded what requests work on.
    bool starting = state_ == platform::ServiceState::StartPending;
    if (starting && worker_->Loaded()) {
      platform::ServiceState expected = platform::ServiceState::StartPending;
      state_.compare_exchange_strong(expected, platform::ServiceState::Running);
      starting = false;
    }
    pollfd waiting[2] = {{quitFd_.get(), POLLIN, 0}, {signalFd, POLLIN, 0}};
    if (poll(waiting, 2, starting ? 10 : -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (waiting[0].revents != 0 || waiting[1].revents != 0) return;
  }
}

uint32_t CServiceHost::HandleControl(uint32_t code, const platform::ControlCaller& caller) {
  if (!ControlAllowed(code, caller)) {
    LogServiceWarning("Refused service request " + std::to_string(code) + " from uid " + std::to_string(caller.uid));
    return platform::kControlAccessDenied;
  }
  switch (code) {
    case platform::kControlStop:
      state_ = platform::ServiceState::StopPending;
      PostQuit();
      return platform::kControlDone;
    case platform::kControlInterrogate:
      return static_cast<uint32_t>(state_.load());
    case platform::kControlPause:
    case platform::kControlContinue:
    case platform::kControlShutdown:
      return platform::kControlDone;
    case platform::ControlPruneDatabase:
    case platform::ControlReloadSettings:
    case platform::ControlStartScan:
    case platform::ControlStopScan:
    case platform::ControlStartRestore:
    case platform::ControlSendTestMail:
      break;
    default:
      LogServiceMessage("Bad service request");
      return platform::kControlDone;
  }
  if (!worker_->WaitUntilLoaded()) return platform::kControlDone;
  switch (code) {
    case platform::ControlPruneDatabase: worker_->PruneDatabase(); break;
    case platform::ControlReloadSettings: worker_->ReloadSettings(caller.uid); break;
    case platform::ControlStartScan: {
      auto settings = worker_->Settings();
      worker_->StartScan(false, settings->m_strScanPool, settings->m_strScanUser);
      break;
    }
    case platform::ControlStopScan: worker_->StopScan(); break;
    case platform::ControlStartRestore: worker_->StartRestore(); break;
    case platform::ControlSendTestMail: worker_->SendTestMail(); break;
    default: break;
  }
  return platform::kControlDone;
}

int CServiceHost::Run(bool serviceMode) {
  // Stop signals are taken by this thread only; every thread made from here inherits the mask.
  sigset_t signals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  platform::UniqueFd signalFd(signalfd(-1, &signals, SFD_CLOEXEC));
  quitFd_ = platform::UniqueFd(eventfd(0, EFD_CLOEXEC));
  SetServiceLogToEventLog(serviceMode);

  auto serviceStop = std::make_shared<ManualEvent>();
  // The operators' group shares the data folder and the run folder with the control socket;
  // other accounts get nothing. A folder left unshared costs the operators their access: logged.
  for (const std::string& problem : platform::ShareOperatorFolders()) LogServiceWarning(problem);
  const std::string dataFolder = platform::DataFolder(true);
  worker_ = std::make_unique<CMirvaleFrm>(platform::ProgramFolder(), dataFolder, serviceStop, DefaultServiceJobs());
  auto handler = platform::ControlSocketServer::Listen(
      platform::ControlSocketPath(),
      [this](uint32_t code, const platform::ControlCaller& caller) { return HandleControl(code, caller); });
  if (!handler || !signalFd || !quitFd_) {
    LogServiceMessage("Handler not installed");
    return 1;
  }

  LogServiceMessage("Service started");
  std::thread mainWorker([this] {
    try {
      worker_->Run();
    } catch (const std::exception& error) {
      LogServiceWarning(std::string("The main worker ended: ") + error.what());
    }
  });
  WaitForQuit(signalFd.get());

  state_ = platform::ServiceState::StopPending;
  // No request may start new work from here on; a handler still running is waited for.
  handler.reset();
  serviceStop->Set();
  mainWorker.join();
  bool allEnded = worker_->Threads().WaitForAll(kWorkerGrace);
  // Devices that finished after the worker's last flush have their audit lines queued too.
  worker_->FlushAuditLogAtStop();
  state_ = platform::ServiceState::Stopped;
  LogServiceMessage("Service stopped");
  if (!allEnded) {
    // Threads still inside a device or a mail server must not run into the process's exit.
    std::fflush(nullptr);
    _exit(0);
  }
  worker_.reset();
  return 0;
}

}  // namespace mirvale
