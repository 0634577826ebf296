// Network tests that need root: privileged source ports, and a host name with several
// addresses (a hosts file in a private mount and network namespace).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "base/memory.h"
#include "remoteshell/net/net_socket_record.h"
#include "tests/support/snmp_agent.h"
#include "tests/remoteshell/net_test_support.h"
#include "tests/support/scoped_env.h"

namespace {

using namespace net_testing;

int bound_socket(const char* address, int port, bool listening) {
  int handle = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address, &local.sin_addr);
  if (bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || (listening && listen(handle, 8) != 0)) {
    close(handle);
    return -1;
  }
  return handle;
}

int local_port(int handle, bool peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (peer) getpeername(handle, reinterpret_cast<sockaddr*>(&address), &length);
  else getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

class NetworkAsRoot : public testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    net_startup();
  }
  void TearDown() override { net_shutdown(); }
};

TEST_F(NetworkAsRoot, PrivilegedSourcePortSkipsPortsInUse) {
  // A network of its own: other tests' privileged connections leave these ports in TIME_WAIT.
  ASSERT_TRUE(testing_support::EnterPrivateNetwork());
  int taken_1023 = bound_socket("0.0.0.0", 1023, false);
  int taken_1022 = bound_socket("0.0.0.0", 1022, false);
  int probe_1021 = bound_socket("0.0.0.0", 1021, false);
  ASSERT_GE(taken_1023, 0);
  ASSERT_GE(taken_1022, 0);
  ASSERT_GE(probe_1021, 0);
  close(probe_1021);

  Peer peer;
  Owner owner;
  SocketOwner sink = owner.as_owner();
  owner.socket = net_new_connection(loopback_address(), peer.port(), 1, 0, 1, 0, &sink);
  ASSERT_EQ(socket_last_error(owner.socket), nullptr);
  int far = peer.accept_one();
  ASSERT_GE(far, 0);
  EXPECT_EQ(local_port(far, true), 1021);
  close(far);
  socket_close(owner.socket);
  close(taken_1023);
  close(taken_1022);
}

// Runs in a child process with its own network and mount namespaces: "multi.test" has three
// loopback addresses and only the last one tried listens. Returns a code for the parent.
int try_addresses_in_turn(const std::string& hosts_file) {
  if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) return 10;
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 11;
  if (mount(hosts_file.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0) return 12;
  int control = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ifreq request{};
  std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
  request.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
  if (ioctl(control, SIOCSIFFLAGS, &request) != 0) return 13;
  close(control);

  net_startup();
  char* canonical = nullptr;
  NetAddress* address = net_lookup_host("multi.test", &canonical, 1);
  checked_free(canonical);
  if (address->error != nullptr) return 20;
  std::vector<std::string> order;
  do {
    char text[64];
    net_address_text(address, text, sizeof text);
    order.push_back(text);
  } while (net_next_address(address));
  net_address_free(address);
  if (order.size() != 3) return 21;

  int port = 4321;
  int listener = bound_socket(order.back().c_str(), port, true);
  if (listener < 0) return 22;
  Owner owner;
  SocketOwner sink = owner.as_owner();
  address = net_lookup_host("multi.test", &canonical, 1);
  checked_free(canonical);
  owner.socket = net_new_connection(address, port, 0, 0, 1, 0, &sink);
  if (socket_last_error(owner.socket) != nullptr) return 23;
  auto* socket = static_cast<NetSocket*>(owner.socket);
  if (!run_until([&] { return socket->connected || owner.closed_seen; })) return 24;
  if (!socket->connected) return 25;
  if (owner.count("log0") != 3 || owner.count("log1") != 2) return 26;
  for (const auto& event : owner.events)
    if (event.kind == "log1" && event.text != "Network error: Connection refused") return 27;
  int far = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (far < 0) return 28;
  socket_close(owner.socket);
  net_shutdown();
  return 0;
}

TEST_F(NetworkAsRoot, HostWithSeveralAddressesIsTriedInTurn) {
  testing_support::TempFolder folder;
  std::string hosts = folder / "hosts";
  ASSERT_TRUE(platform::WriteFileAtomically(
      hosts, "127.0.0.1 multi.test\n127.0.0.2 multi.test\n127.0.0.3 multi.test\n", 0644));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(try_addresses_in_turn(hosts));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  int code = WEXITSTATUS(status);
  if (code >= 10 && code <= 13) GTEST_SKIP() << "no private namespaces here (step " << code << ")";
  EXPECT_EQ(code, 0);
}

}  // namespace
