#pragma once
// Test peers for SNMP, run inside a network namespace of the test's own so that every packet
// stays on its private loopback: snmpd, snmptrapd and a small Python agent with odd answers.
// All of them need root; EnterPrivateNetwork() returns false otherwise (tests then skip).
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scoped_env.h"

namespace testing_support {

// Moves this process into a fresh network namespace with its loopback up (once per process;
// later calls report the first result). Call from the main thread before starting threads.
bool EnterPrivateNetwork();

// A child process, ended (SIGTERM, then SIGKILL) and reaped when the object goes.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool Running() const;

 private:
  pid_t pid_ = -1;
};

// True once a UDP socket of this namespace is bound to the port (polls up to the time limit).
bool WaitForUdpPort(int port, std::chrono::milliseconds limit = std::chrono::seconds(10));

// snmpd reading only the given configuration lines, with its persistent files in a private
// folder. Listens on listenSpec (default: all loopback addresses, port 161).
class SnmpAgent {
 public:
  explicit SnmpAgent(const std::vector<std::string>& configLines, const std::string& listenSpec = "udp:161");
  bool Ready() const { return ready_; }
  std::string LogText() const;

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

// snmptrapd accepting every trap and logging one line per trap:
// "TRAP <transport> enterprise <oid> generic <n> specific <n> vars <bindings>".
class TrapReceiver {
 public:
  explicit TrapReceiver(const std::string& listenSpec = "udp:127.0.0.1:162,udp:127.0.0.2:162");
  bool Ready() const { return ready_; }
  std::string LogText() const;
  // Waits until the log holds at least count lines containing needle.
  bool WaitForLines(const std::string& needle, int count, std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

 private:
  TempFolder folder_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

// The Python agent of tests/support/snmp_odd_agent.py on address:port.
class OddSnmpAgent {
 public:
  OddSnmpAgent(const std::string& address = "127.0.0.1", int port = 161);
  bool Ready() const { return ready_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

}  // namespace testing_support
