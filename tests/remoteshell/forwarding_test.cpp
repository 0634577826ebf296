// The byte parsing of forwarding: SOCKS 4/4A/5 requests, X11 display names and the invented
// X11 authorisation check, "PortForwardings" entries, the terminal-mode encoding and the
// assembly of forwarded agent requests.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "crypto/des.h"
#include "crypto/random_pool.h"
#include "remoteshell/net/socks_request.h"
#include "remoteshell/net/x11_forward.h"
#include "remoteshell/ssh/ssh_session.h"
#include "tests/support/scoped_env.h"

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

SocksResult Take(SocksRequest& socks, const std::string& bytes) {
  return socks_take(socks, bytes.data(), static_cast<int>(bytes.size()));
}

TEST(Socks, Version4And4A) {
  SocksRequest v4;
  // Fed one byte at a time: nothing happens until the user id's zero byte.
  std::string request = Bytes({4, 1, 0, 80, 10, 0, 0, 1, 'u', 0});
  for (size_t i = 0; i + 1 < request.size(); ++i) EXPECT_EQ(Take(v4, request.substr(i, 1)).action, kSocksMore);
  SocksResult done = Take(v4, request.substr(request.size() - 1));
  EXPECT_EQ(done.action, kSocksConnect);
  EXPECT_EQ(done.reply, Bytes({0, 0x5A, 0, 80, 10, 0, 0, 1}));
  EXPECT_EQ(done.host, "10.0.0.1");
  EXPECT_EQ(done.port, 80);

  // 4A: the host name follows the user id; bytes behind the request are left to the caller.
  SocksRequest v4a;
  SocksResult named =
      Take(v4a, Bytes({4, 1, 0x1F, 0x90, 0, 0, 0, 1}) + "me" + Bytes({0}) + "example.test" + Bytes({0}) + "GET /");
  EXPECT_EQ(named.action, kSocksConnect);
  EXPECT_EQ(named.host, "example.test");
  EXPECT_EQ(named.port, 8080);
  EXPECT_EQ(named.used, 8 + 3 + 13);

  SocksRequest bind;
  SocksResult refused = Take(bind, Bytes({4, 2, 0, 80, 10, 0, 0, 1, 0}));
  EXPECT_EQ(refused.action, kSocksReplyThenClose);
  EXPECT_EQ(refused.reply, Bytes({0, 0x5B, 0, 0, 0, 0, 0, 0}));

  SocksRequest other;
  EXPECT_EQ(Take(other, Bytes({3})).action, kSocksReplyThenClose);
}

TEST(Socks, Version5) {
  SocksRequest only_password;
  SocksResult methods = Take(only_password, Bytes({5, 1, 2}));
  EXPECT_EQ(methods.action, kSocksReply);
  EXPECT_EQ(methods.reply, Bytes({5, 0xFF}));

  SocksRequest socks;
  EXPECT_EQ(Take(socks, Bytes({5, 2, 2, 0})).reply, Bytes({5, 0}));
  SocksResult named = Take(socks, Bytes({5, 1, 0, 3, 4}) + "host" + Bytes({0, 22}));
  EXPECT_EQ(named.action, kSocksConnect);
  EXPECT_EQ(named.reply, Bytes({5, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(named.host, "host");
  EXPECT_EQ(named.port, 22);

  SocksRequest v6;
  Take(v6, Bytes({5, 1, 0}));
  SocksResult ipv6 = Take(v6, Bytes({5, 1, 0, 4}) + std::string(16, '\0') + Bytes({0, 80}));
  EXPECT_EQ(ipv6.action, kSocksReplyThenClose);
  EXPECT_EQ(ipv6.reply, Bytes({5, 8, 0, 1, 0, 0, 0, 0, 0, 0}));

  SocksRequest udp;
  Take(udp, Bytes({5, 1, 0}));
  SocksResult associate = Take(udp, Bytes({5, 3, 0, 1, 127, 0, 0, 1, 0, 80}));
  EXPECT_EQ(associate.action, kSocksReplyThenClose);
  EXPECT_EQ(associate.reply, Bytes({5, 1, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(Socks, OverlongRequestsEndTheConnectionWithoutOverrunningTheBuffer) {
  SocksRequest user_id;
  SocksResult refused = Take(user_id, Bytes({4, 1, 0, 80, 10, 0, 0, 1}) + std::string(400, 'u'));
  EXPECT_EQ(refused.action, kSocksReplyThenClose);
  EXPECT_EQ(refused.reply, Bytes({0, 0x5B, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(refused.used, kSocksRequestLimit + 1);

  SocksRequest host_name;
  SocksResult too_long = Take(host_name, Bytes({4, 1, 0, 80, 0, 0, 0, 9, 0}) + std::string(300, 'h'));
  EXPECT_EQ(too_long.action, kSocksReplyThenClose);

  SocksRequest many_methods;
  EXPECT_EQ(Take(many_methods, Bytes({5, 255}) + std::string(255, 1)).reply, Bytes({5, 0xFF}));
}

TEST(X11Display, NamesScreensAndPorts) {
  EXPECT_EQ(x11_display_name(":1.0"), "localhost:1.0");
  EXPECT_EQ(x11_display_name("unix:0"), "unix:0");
  // The screen follows the last ":": dots in the host are not the screen separator.
  EXPECT_EQ(x11_screen_number("10.0.0.5:1.2"), 2);
  EXPECT_EQ(x11_screen_number("localhost:10"), 0);
  EXPECT_EQ(x11_screen_number("nohost"), 0);

  std::string host;
  int number = -1;
  ASSERT_TRUE(x11_parse_display("localhost:1.0", &host, &number));
  EXPECT_EQ(host, "localhost");
  EXPECT_EQ(number, 1);
  ASSERT_TRUE(x11_parse_display("::1:3", &host, &number));
  EXPECT_EQ(host, "::1");
  EXPECT_EQ(number, 3);
  EXPECT_TRUE(x11_parse_display("h:59535", &host, &number));
  EXPECT_FALSE(x11_parse_display("h:59536", &host, &number));  // port 65536
  EXPECT_FALSE(x11_parse_display("h:99999999999999999999", &host, &number));
  EXPECT_FALSE(x11_parse_display("h:", &host, &number));
  EXPECT_FALSE(x11_parse_display("h:-1", &host, &number));
}

class X11Auths : public testing::Test {
 protected:
  X11Auths() { random_acquire(); }
  ~X11Auths() override { random_release(); }
  // The random pool's seed file goes to $HOME.
  testing_support::TempFolder home_;
  testing_support::ScopedEnv home_env_{"HOME", home_.path()};

  // XDM-AUTHORIZATION-1 data as a client builds it for the invented key.
  static std::string XdmData(const X11Auth* auth, uint32_t address, int port, uint32_t stamp) {
    unsigned char block[24] = {};
    std::memcpy(block, auth->fake_data, 8);
    for (int i = 0; i < 4; ++i) block[8 + i] = static_cast<unsigned char>(address >> (24 - 8 * i));
    block[12] = static_cast<unsigned char>(port >> 8);
    block[13] = static_cast<unsigned char>(port);
    for (int i = 0; i < 4; ++i) block[14 + i] = static_cast<unsigned char>(stamp >> (24 - 8 * i));
    uint64_t bits = 0;
    for (int i = 9; i < 16; ++i) bits = bits << 8 | auth->fake_data[i];
    unsigned char key[8];
    for (int i = 0; i < 8; ++i) key[i] = static_cast<unsigned char>(((bits >> (49 - 7 * i)) & 0x7f) << 1);
    DesContext des;
    des_key_setup(&des, key);
    des_cbc_encrypt(&des, block, sizeof block);
    return std::string(reinterpret_cast<char*>(block), sizeof block);
  }
};

TEST_F(X11Auths, MitCookie) {
  char name[32], hex[40];
  X11Auth* auth = x11_invent_auth(name, sizeof name, hex, sizeof hex, 1);
  EXPECT_STREQ(name, "MIT-MAGIC-COOKIE-1");
  ASSERT_EQ(std::strlen(hex), 32u);
  EXPECT_EQ(std::strspn(hex, "0123456789abcdef"), 32u);
  const unsigned char* cookie = auth->fake_data;
  unsigned char wrong[16] = {};
  EXPECT_EQ(x11_verify(0, -1, auth, "MIT-MAGIC-COOKIE-1", cookie, 16, 0), nullptr);
  EXPECT_STREQ(x11_verify(0, -1, auth, "XDM-AUTHORIZATION-1", cookie, 16, 0),
               "wrong authentication protocol attempted");
  EXPECT_STREQ(x11_verify(0, -1, auth, "MIT-MAGIC-COOKIE-1", cookie, 15, 0),
               "MIT-MAGIC-COOKIE-1 data was wrong length");
  EXPECT_STREQ(x11_verify(0, -1, auth, "MIT-MAGIC-COOKIE-1", wrong, 16, 0), "MIT-MAGIC-COOKIE-1 data did not match");
  x11_auth_free(auth);
}

TEST_F(X11Auths, XdmAuthorisationChecksAddressTimeAndReplay) {
  char name[32], hex[40];
  X11Auth* auth = x11_invent_auth(name, sizeof name, hex, sizeof hex, 2);
  EXPECT_STREQ(name, "XDM-AUTHORIZATION-1");
  EXPECT_EQ(auth->fake_data[8], 0);
  const uint32_t address = 0x7F000001;
  const std::time_t now = 1800000000;
  auto data = [&](uint32_t from, int port, std::time_t stamp) {
    return XdmData(auth, from, port, static_cast<uint32_t>(stamp));
  };
  auto verify = [&](const std::string& bytes, int port, std::time_t at) {
    const char* result =
        x11_verify(address, port, auth, "XDM-AUTHORIZATION-1", reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<int>(bytes.size()), at);
    return std::string(result != nullptr ? result : "ok");
  };
  EXPECT_EQ(verify(data(address, 5000, now), 5000, now), "ok");
  EXPECT_EQ(verify(data(address, 5000, now), 5000, now + 10), "XDM-AUTHORIZATION-1 data replayed");
  EXPECT_EQ(verify(data(address, 5001, now - 1200), 5001, now), "ok");
  EXPECT_EQ(verify(data(address, 5002, now - 1201), 5002, now), "XDM-AUTHORIZATION-1 time stamp was too far out");
  EXPECT_EQ(verify(data(address + 1, 5003, now), 5003, now), "XDM-AUTHORIZATION-1 data failed check");
  EXPECT_EQ(verify(data(address, 5004, now), -1, now), "cannot do XDM-AUTHORIZATION-1 without remote address data");
  EXPECT_EQ(verify(data(address, 5004, now).substr(0, 16), 5004, now), "XDM-AUTHORIZATION-1 data was wrong length");
  x11_auth_free(auth);
}

void SetList(char* list, size_t capacity, std::initializer_list<std::string> entries) {
  std::memset(list, 0, capacity);
  size_t at = 0;
  for (const std::string& entry : entries) {
    std::memcpy(list + at, entry.c_str(), entry.size() + 1);
    at += entry.size() + 1;
  }
}

TEST(SshSettingsLists, TerminalModesAreEncodedByKind) {
  SessionConfig config{};
  SetList(config.terminal_modes, sizeof config.terminal_modes,
          {"INTR\tV^C", "QUIT\tA", "ERASE\tV", "EOF\tVd", "ECHO\tVoff", "ICRNL\tV1", "ISIG\tVyes", "BOGUS\tV1"});
  WireBuffer ssh2;
  ssh_encode_terminal_modes(config, true, ssh2);
  EXPECT_EQ(std::string(ssh2.bytes().begin(), ssh2.bytes().end()),
            Bytes({1, 0, 0, 0, 3, 3, 0, 0, 0, 255, 5, 0, 0, 0, 'd', 53, 0, 0, 0, 0, 36, 0, 0, 0, 1, 50, 0, 0, 0, 1}));
  WireBuffer ssh1;
  ssh_encode_terminal_modes(config, false, ssh1);
  EXPECT_EQ(std::string(ssh1.bytes().begin(), ssh1.bytes().end()), Bytes({1, 3, 3, 255, 5, 'd', 53, 0, 36, 1, 50, 1}));
}

TEST(SshSettingsLists, PortForwardingEntries) {
  SshSession ssh;
  ssh.version = 2;
  SshPortForward remote;
  ASSERT_TRUE(ssh_parse_port_forward(&ssh, "4R127.0.0.2:8022", "device.test:telnet", &remote));
  EXPECT_EQ(remote.type, 'R');
  EXPECT_EQ(remote.family, 1);
  EXPECT_EQ(remote.source_address, "127.0.0.2");
  EXPECT_EQ(remote.source_port, 8022);
  EXPECT_EQ(remote.source_text, "127.0.0.2:8022");
  EXPECT_EQ(remote.destination_host, "device.test");
  EXPECT_EQ(remote.destination_port, 23);

  SshPortForward local;
  ASSERT_TRUE(ssh_parse_port_forward(&ssh, "8080", "web:80", &local));
  EXPECT_EQ(local.type, 'L');
  SshPortForward dynamic;
  ASSERT_TRUE(ssh_parse_port_forward(&ssh, "6D1080", "", &dynamic));
  EXPECT_EQ(dynamic.family, 2);
  EXPECT_TRUE(dynamic.SameAs(dynamic));
  EXPECT_FALSE(dynamic.SameAs(local));

  SshPortForward unknown;
  EXPECT_FALSE(ssh_parse_port_forward(&ssh, "Lno-such-service-name", "web:80", &unknown));
  EXPECT_FALSE(ssh_parse_port_forward(&ssh, "L8080", "web:no-such-service-name", &unknown));
}

}  // namespace

namespace {

std::vector<std::string>* events = nullptr;

// A session channel that is open, with no socket under it: what the channel layer sends goes
// nowhere, what it keeps queued stays visible.
class SshChannels : public testing::Test {
 protected:
  SshChannels() {
    events = &events_;
    backend_set_event_sink([](void*, const char* text) { events->push_back(text); });
    ssh_.version = 2;
    ssh_.state = kSshSession;
    ssh_.kex.first_done = true;
    ssh_.channel.ssh = &ssh_;
    ssh_.channel.step = kChannelOpen;
    ssh_.channel.remote_id = 7;
  }
  ~SshChannels() override {
    backend_set_event_sink(nullptr);
    events = nullptr;
  }
  bool Packet(std::initializer_list<int> head, uint32_t channel, uint32_t value) {
    WireBuffer packet;
    for (int byte : head) packet.put_byte(static_cast<uint8_t>(byte));
    packet.put_uint32(channel);
    packet.put_uint32(value);
    return ssh2_connection_packet(&ssh_, packet.bytes().data(), packet.bytes().size());
  }

  std::vector<std::string> events_;
  SshSession ssh_;
};

TEST_F(SshChannels, WindowsPacketSizesAndUnknownChannels) {
  // A server allowing packets of no size gets nothing (and the send returns).
  ssh_.channel.remote_window = 100;
  ssh_.channel.remote_max_packet = 0;
  EXPECT_EQ(ssh2_channel_send(&ssh_, "show running-config\r", 20), 20);
  ssh_.channel.remote_max_packet = 8;
  EXPECT_EQ(ssh2_channel_send(&ssh_, "", 0), 0);
  EXPECT_EQ(ssh_.channel.remote_window, 80u);

  // WINDOW_ADJUST saturates at 2^32-1.
  EXPECT_TRUE(Packet({kMsgWindowAdjust}, 256, 0xFFFFFFF0u));
  EXPECT_EQ(ssh_.channel.remote_window, 0xFFFFFFFFu);

  // Window, data and confirmation messages for channels we do not hold are logged and ignored.
  for (int type : {kMsgWindowAdjust, kMsgChannelData, kMsgOpenConfirmation})
    EXPECT_TRUE(Packet({type}, 999, 0));
  EXPECT_EQ(events_.size(), 3u);
  EXPECT_EQ(events_.front(), "Ignored message type 93 for unknown channel 999");
  EXPECT_EQ(ssh_.state, kSshSession);
  EXPECT_EQ(ssh_.channel.step, kChannelOpen);

  // A close for one means the server lost track of the connection: it ends.
  EXPECT_TRUE(Packet({kMsgChannelClose}, 999, 0));
  EXPECT_EQ(ssh_.state, kSshClosed);
}

TEST_F(SshChannels, AgentChannelsAnswerEachRequestAndRefuseOversizedLengths) {
  testing_support::ScopedEnv no_agent("SSH_AUTH_SOCK", "");
  auto open_agent_channel = [&](uint32_t sender) {
    WireBuffer open;
    open.put_byte(kMsgChannelOpen);
    open.put_string("auth-agent@openssh.com");
    open.put_uint32(sender);
    open.put_uint32(0);  // no remote window: the answers stay queued where the test sees them
    open.put_uint32(16384);
    ssh2_connection_packet(&ssh_, open.bytes().data(), open.bytes().size());
    return ssh_.channels.empty() ? nullptr : std::prev(ssh_.channels.end())->second.get();
  };
  auto data = [&](SshChannel* channel, const std::string& bytes) {
    WireBuffer packet;
    packet.put_byte(kMsgChannelData);
    packet.put_uint32(channel->local_id);
    packet.put_string(bytes.data(), bytes.size());
    ssh2_connection_packet(&ssh_, packet.bytes().data(), packet.bytes().size());
  };
  EXPECT_EQ(open_agent_channel(1), nullptr);
  EXPECT_EQ(events_.back(), "Rejected channel open: Agent forwarding is not enabled");

  ssh_.agent_forwarding = true;
  SshChannel* channel = open_agent_channel(2);
  ASSERT_NE(channel, nullptr);
  // A request split over packets is answered once whole; with no agent, by the failure message.
  data(channel, Bytes({0, 0}));
  data(channel, Bytes({0, 1}));
  EXPECT_TRUE(channel->outgoing.empty());
  data(channel, Bytes({11}));
  EXPECT_EQ(channel->outgoing, Bytes({0, 0, 0, 1, 5}));

  // A length beyond the limit closes the channel before any body is stored.
  data(channel, Bytes({0, 0x10, 0, 1}) + std::string(100, 'x'));
  EXPECT_TRUE(channel->close_sent);
  EXPECT_TRUE(channel->agent_message.empty());
  EXPECT_EQ(events_.back(), "Agent request of 1048577 bytes refused: longer than 262144");
  EXPECT_EQ(channel->outgoing, Bytes({0, 0, 0, 1, 5}));
}

}  // namespace
