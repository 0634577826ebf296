#include "remoteshell/net/network.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>

#include "base/memory.h"
#include "remoteshell/net/net_errors.h"
#include "remoteshell/net/net_socket_record.h"
#include "tests/remoteshell/net_test_support.h"

namespace {

using namespace net_testing;

class Network : public testing::Test {
 protected:
  void SetUp() override { net_startup(); }
  void TearDown() override {
    for (Socket* socket : open_) socket_close(socket);
    net_shutdown();
  }
  Socket* connect_to(int port, Owner& owner, int oob_inline = 0) {
    SocketOwner sink = owner.as_owner();
    owner.socket = net_new_connection(loopback_address(), port, 0, oob_inline, 1, 0, &sink);
    return owner.socket;
  }
  // Connects and waits for the connection; returns the peer's end.
  int connected_pair(Owner& owner, Peer& peer, int oob_inline = 0) {
    Socket* socket = connect_to(peer.port(), owner, oob_inline);
    EXPECT_EQ(socket_last_error(socket), nullptr);
    open_.push_back(socket);
    int far = peer.accept_one();
    EXPECT_GE(far, 0);
    run_until([&] { return connected(socket); });
    return far;
  }
  static bool connected(Socket* socket) { return static_cast<NetSocket*>(socket)->connected; }
  std::vector<Socket*> open_;
};

TEST_F(Network, RefusedPortGivesTheConnectionRefusedText) {
  Owner owner;
  Socket* socket = connect_to(unused_port(), owner);
  std::string refused = "Network error: Connection refused";
  if (socket_last_error(socket) == nullptr) {
    ASSERT_TRUE(run_until([&] { return owner.closed_seen; }));
    EXPECT_EQ(owner.events.back().text, refused);
    EXPECT_EQ(owner.events.back().code, ECONNREFUSED);
  } else {
    EXPECT_EQ(socket_last_error(socket), refused);
  }
  EXPECT_EQ(owner.count("log0"), 1);
  EXPECT_EQ(owner.count("log1"), 1);
  socket_close(socket);
}

TEST_F(Network, UnknownHandleChangesNothing) {
  EXPECT_EQ(net_dispatch_event(987654, net_event_code(kNetEventRead, 0)), 1);
  int cursor = 0;
  EXPECT_EQ(net_first_socket(&cursor), -1);
}

TEST_F(Network, LookupErrorsAndAddressTexts) {
  char* canonical = nullptr;
  NetAddress* address = net_lookup_host("127.0.0.1", &canonical, 0);
  EXPECT_EQ(address->error, nullptr);
  EXPECT_STREQ(canonical, "127.0.0.1");
  char text[64];
  net_address_text(address, text, sizeof text);
  EXPECT_STREQ(text, "127.0.0.1");
  EXPECT_EQ(net_address_type(address), kNetAddressIpv4);
  EXPECT_TRUE(net_address_is_local(address));
  EXPECT_EQ(net_next_address(address), 0);
  net_address_free(address);
  checked_free(canonical);

  address = net_lookup_host("no-such-host.invalid", &canonical, 1);
  EXPECT_NE(address->error, nullptr);
  net_address_free(address);
  checked_free(canonical);

  address = net_unresolved_address("router1.example");
  EXPECT_EQ(net_address_type(address), kNetAddressName);
  net_address_text(address, text, sizeof text);
  EXPECT_STREQ(text, "router1.example");
  net_address_free(address);
  EXPECT_TRUE(net_is_localhost_name("localhost"));
  EXPECT_FALSE(net_is_localhost_name("localhost2"));
}

// 100 KB each way: towards a peer that does not read at first (the output queue holds what the
// kernel does not take) and from a peer while the socket is frozen, then thawed.
TEST_F(Network, HundredKilobytesThroughAFrozenSocketArriveIntact) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer);
  std::string data(100 * 1024, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);

  int small = 8192;  // a send buffer this small cannot take 100 KB at once
  setsockopt(static_cast<NetSocket*>(owner.socket)->handle, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  int backlog = socket_write(owner.socket, data.data(), static_cast<int>(data.size()));
  std::string got;
  fcntl(far, F_SETFL, O_NONBLOCK);
  ASSERT_TRUE(run_until([&] {
    char buffer[8192];
    ssize_t n;
    while ((n = recv(far, buffer, sizeof buffer, 0)) > 0) got.append(buffer, static_cast<size_t>(n));
    return got.size() == data.size();
  }));
  EXPECT_EQ(got, data);
  EXPECT_GT(backlog, 0);
  EXPECT_GT(owner.count("sent"), 0);
  EXPECT_EQ(owner.events.back().kind, "sent");
  EXPECT_EQ(owner.events.back().code, 0);

  owner.on_receive = [](Owner& self, int, const std::string&) {
    net_set_frozen(self.socket, 1);
    return 1;
  };
  fcntl(far, F_SETFL, 0);
  ASSERT_EQ(send(far, data.data(), data.size(), 0), static_cast<ssize_t>(data.size()));
  ASSERT_TRUE(run_until([&] { return !owner.received.empty(); }));
  size_t while_frozen = owner.received.size();
  for (int turn = 0; turn < 20; ++turn) net_run_once(5);
  EXPECT_EQ(owner.received.size(), while_frozen);
  owner.on_receive = nullptr;
  net_set_frozen(owner.socket, 0);
  ASSERT_TRUE(run_until([&] { return owner.received.size() == data.size(); }));
  EXPECT_EQ(owner.received, data);
  close(far);
}

TEST_F(Network, PeerCloseReachesClosingAfterTheData) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer);
  send(far, "last words", 10, 0);
  close(far);
  ASSERT_TRUE(run_until([&] { return owner.closed_seen; }));
  EXPECT_EQ(owner.received, "last words");
  EXPECT_EQ(owner.events.back().text, "");
  EXPECT_EQ(owner.count("closing"), 1);
  for (int turn = 0; turn < 5; ++turn) net_run_once(1);
  EXPECT_EQ(owner.count("closing"), 1);
}

// The owner closes its socket from inside its own receive and closing callbacks; the layer must
// not touch the released socket afterwards (the sanitizer build checks).
TEST_F(Network, SocketClosedInsideItsOwnCallbackIsSafe) {
  for (bool in_closing : {false, true}) {
    Owner owner;
    Peer peer;
    Socket* socket = connect_to(peer.port(), owner);
    int far = peer.accept_one();
    ASSERT_TRUE(run_until([&] { return connected(socket); }));
    auto close_now = [](Owner& self) {
      socket_close(self.socket);
      self.socket = nullptr;
      return 0;
    };
    if (in_closing) owner.on_closing = [&](Owner& self, const char*, int) { return close_now(self); };
    else owner.on_receive = [&](Owner& self, int, const std::string&) { return close_now(self); };
    send(far, "data", 4, 0);
    close(far);  // read and close arrive together
    int alive = 1;
    for (int turn = 0; turn < 100 && owner.socket != nullptr; ++turn) alive &= net_run_once(10);
    EXPECT_EQ(owner.socket, nullptr);
    EXPECT_EQ(alive, 0);
    int cursor = 0;
    EXPECT_EQ(net_first_socket(&cursor), -1);
  }
}

TEST_F(Network, UrgentDataInlineFollowsTheMark) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer, 1);
  send(far, "plain", 5, 0);
  ASSERT_TRUE(run_until([&] { return owner.received.size() == 5; }));
  EXPECT_EQ(owner.urgent_received, "");  // no urgent data: nothing is flagged

  send(far, "flush", 5, 0);
  send(far, "!", 1, MSG_OOB);
  send(far, "after", 5, 0);
  ASSERT_TRUE(run_until([&] { return owner.received.size() == 16; }));
  EXPECT_EQ(owner.received, "plainflush!after");
  EXPECT_EQ(owner.urgent_received, "flush");  // only what came before the mark
  EXPECT_EQ(owner.out_of_band, "");
  close(far);
}

TEST_F(Network, UrgentDataOutOfBandComesAlone) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer, 0);
  send(far, "ab", 2, 0);
  send(far, "!", 1, MSG_OOB);
  send(far, "cd", 2, 0);
  ASSERT_TRUE(run_until([&] { return owner.received.size() == 4 && owner.out_of_band.size() == 1; }));
  EXPECT_EQ(owner.received, "abcd");
  EXPECT_EQ(owner.out_of_band, "!");
  // With everything before the mark already read, the urgent byte and the data after it arrive
  // together: a plain read would step over the byte and lose it.
  send(far, "?", 1, MSG_OOB);
  send(far, "ef", 2, 0);
  ASSERT_TRUE(run_until([&] { return owner.received.size() == 6; }));
  EXPECT_EQ(owner.received, "abcdef");
  EXPECT_EQ(owner.out_of_band, "!?");
  close(far);
}

TEST_F(Network, WriteUrgentReplacesTheQueueAndSendsItsBytesInOrder) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer);
  socket_write(owner.socket, "queued", 6);
  socket_write_urgent(owner.socket, "\xF2tail", 5);
  int on = 1;
  setsockopt(far, SOL_SOCKET, SO_OOBINLINE, &on, sizeof on);
  std::string got;
  ASSERT_TRUE(run_until([&] {
    char buffer[64];
    ssize_t n = recv(far, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) got.append(buffer, static_cast<size_t>(n));
    return got.size() >= 11 || (got.size() >= 5 && got.find("tail") != std::string::npos);
  }));
  EXPECT_EQ(got.substr(got.size() - 5), "\xF2tail");
  close(far);
}

TEST_F(Network, SendFailureEndsOnlyTheConversation) {
  Owner owner;
  Peer peer;
  int far = connected_pair(owner, peer);
  linger reset{1, 0};
  setsockopt(far, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(far);  // the peer resets the connection
  std::string chunk(65536, 'x');
  ASSERT_TRUE(run_until([&] {
    if (!owner.closed_seen && owner.socket != nullptr) socket_write(owner.socket, chunk.data(), static_cast<int>(chunk.size()));
    return owner.closed_seen;
  }));
  EXPECT_EQ(owner.events.back().kind, "closing");
  EXPECT_NE(owner.events.back().text, "");
}

// The owner wraps the accepted handle, closes it again and refuses: the handle number may now
// belong to another file, which the layer must leave alone.
TEST_F(Network, RefusedAcceptClosesEachHandleOnce) {
  Owner owner;
  SocketOwner sink = owner.as_owner();
  Socket* listener = net_new_listener("127.0.0.1", 0, &sink, 0, 1);
  ASSERT_EQ(socket_last_error(listener), nullptr);
  open_.push_back(listener);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(static_cast<NetSocket*>(listener)->handle, reinterpret_cast<sockaddr*>(&address), &length);

  int pipe_ends[2] = {-1, -1};
  owner.on_accepting = [&](Owner&, int handle) {
    Owner child;
    SocketOwner child_sink = child.as_owner();
    socket_close(net_wrap_accepted(handle, &child_sink));
    EXPECT_EQ(pipe2(pipe_ends, O_CLOEXEC), 0);  // likely takes the handle's number
    return 1;
  };
  int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(run_until([&] { return owner.count("accepting") == 1; }));
  EXPECT_NE(fcntl(pipe_ends[0], F_GETFD), -1);
  EXPECT_NE(fcntl(pipe_ends[1], F_GETFD), -1);
  close(pipe_ends[0]);
  close(pipe_ends[1]);
  close(client);
}

TEST_F(Network, AcceptedConnectionCarriesData) {
  Owner owner;
  Owner served;
  SocketOwner sink = owner.as_owner();
  Socket* listener = net_new_listener(nullptr, 0, &sink, 1, 0);
  ASSERT_EQ(socket_last_error(listener), nullptr);
  open_.push_back(listener);
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(static_cast<NetSocket*>(listener)->handle, reinterpret_cast<sockaddr*>(&address), &length);
  owner.on_accepting = [&](Owner&, int handle) {
    SocketOwner served_sink = served.as_owner();
    served.socket = net_wrap_accepted(handle, &served_sink);
    open_.push_back(served.socket);
    return 0;
  };
  int client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  send(client, "hello", 5, 0);
  ASSERT_TRUE(run_until([&] { return served.received == "hello"; }));
  close(client);
}

TEST(NetErrorText, KnownAndUnknownCodes) {
  EXPECT_STREQ(net_error_text(ECONNREFUSED), "Network error: Connection refused");
  EXPECT_STREQ(net_error_text(ETIMEDOUT), "Network error: Connection timed out");
  EXPECT_STREQ(net_error_text(0), "Unknown network error");
}

}  // namespace
