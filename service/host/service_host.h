#pragma once
// The service host: the program run without a command-line word. It listens on the control
// socket (the control handler), reports its state, runs the main worker CMirvaleFrm and waits
// for a stop: control code 1, SIGTERM or SIGINT. It runs in the foreground, as the systemd unit
// starts it; registered with "-Service" its messages go to the event log, else to standard
// output.
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/service_control_codes.h"
#include "platform/service_control_server.h"
#include "platform/unix_socket.h"
#include "service/host/mirvale_frm.h"

namespace mirvale {

class CServiceHost {
 public:
  // Runs until stopped; returns the exit code.
  int Run(bool serviceMode);

  // The control handler: carries out one code that the caller may send and returns the status
  // to answer; a refused code is logged with the caller's uid and answered access denied.
  uint32_t HandleControl(uint32_t code, const platform::ControlCaller& caller);

 private:
  void PostQuit();
  void WaitForQuit(int signalFd);

  std::atomic<platform::ServiceState> state_{platform::ServiceState::StartPending};
  platform::UniqueFd quitFd_;
  std::unique_ptr<CMirvaleFrm> worker_;
};

}  // namespace mirvale
