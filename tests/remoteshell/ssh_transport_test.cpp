// The SSH back end's identification exchange and packet bounds against a loopback server
// played by the test.
#include <gtest/gtest.h>

#include "remoteshell/core/frontend.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/ssh/ssh_session.h"
#include "tests/remoteshell/backend_test_support.h"

namespace {

using backend_testing::Connection;

std::string fatal_message;

SessionConfig Config(int protocol = 2) {
  SessionConfig config = backend_testing::test_config();
  config.ssh_protocol = protocol;
  const int ciphers[kCipherCount] = {3, 2, 1, 0, 5, 4};
  std::memcpy(config.cipher_list, ciphers, sizeof ciphers);
  const int kexes[kKexCount] = {3, 2, 1, 0};
  std::memcpy(config.kex_list, kexes, sizeof kexes);
  for (int SessionConfig::*quirk :
       {&SessionConfig::bug_ignore1, &SessionConfig::bug_plain_password1, &SessionConfig::bug_rsa1,
        &SessionConfig::bug_hmac2, &SessionConfig::bug_derive_key2, &SessionConfig::bug_rsa_pad2,
        &SessionConfig::bug_pk_session_id2, &SessionConfig::bug_rekey2})
    config.*quirk = 2;
  return config;
}

class SshTransport : public testing::Test {
 protected:
  void SetUp() override {
    fatal_message.clear();
    set_connection_fatal_handler([](void*, const char* message) { fatal_message = message; });
  }
  void TearDown() override { set_connection_fatal_handler(nullptr); }
};

std::string Packet(uint32_t length, uint8_t padding, const std::string& rest) {
  std::string bytes = {static_cast<char>(length >> 24), static_cast<char>(length >> 16), static_cast<char>(length >> 8),
                       static_cast<char>(length), static_cast<char>(padding)};
  return bytes + rest;
}

TEST_F(SshTransport, BannerLinesAreSkippedAndOurLineHasNoBlanks) {
  Connection c(ssh_backend, Config());
  c.Write("Welcome\r\nSSH is not here: SSH-1.5-x\r\nSSH-1.99-OpenSSH_3.1p1\r\n");
  std::string sent = c.Read();
  EXPECT_EQ(sent.substr(0, 39), "SSH-2.0-Oskavel:_May_24_2012_11:06:10\r\n");
  EXPECT_EQ(sent[39 + 4 + 1], 20) << "KEXINIT follows at once";
  EXPECT_TRUE(c.Logged("Server version: SSH-1.99-OpenSSH_3.1p1"));
  EXPECT_TRUE(c.Logged("We believe remote version has SSH-2 RSA padding bug"));
  EXPECT_FALSE(c.Logged("We believe remote version has SSH-2 rekey bug"));
}

TEST_F(SshTransport, ProtocolChoiceFollowsTheSetting) {
  Connection only2(ssh_backend, Config(3));
  only2.Write("SSH-1.5-old\n");
  EXPECT_EQ(fatal_message, "SSH protocol version 2 required by user but not provided by server");
  Connection only1(ssh_backend, Config(0));
  only1.Write("SSH-2.0-new\n");
  EXPECT_EQ(fatal_message, "SSH protocol version 1 required by user but not provided by server");
}

TEST_F(SshTransport, ForcedQuirkIsSetForAnyServer) {
  SessionConfig config = Config();
  config.bug_rekey2 = 0;
  config.bug_hmac2 = 1;
  Connection c(ssh_backend, config);
  c.Write("SSH-2.0-2.0.13 VShell\n");
  EXPECT_TRUE(c.Logged("We believe remote version has SSH-2 rekey bug"));
  EXPECT_FALSE(c.Logged("We believe remote version has SSH-2 HMAC bug"));
  EXPECT_EQ(static_cast<SshSession*>(c.handle_)->quirks, unsigned{kQuirkRekey2});
}

TEST_F(SshTransport, VersionLineAndBannerAreBounded) {
  Connection long_line(ssh_backend, Config());
  long_line.Write("SSH-2.0-" + std::string(300, 'x') + "\n");
  EXPECT_EQ(fatal_message, "Server version line is too long");
  fatal_message.clear();
  Connection chatty(ssh_backend, Config());
  std::string banner;
  while (banner.size() <= 70000) banner += "just text, no version here\r\n";
  chatty.Write(banner);
  EXPECT_EQ(fatal_message, "Server sent too much text before its version line");
}

TEST_F(SshTransport, PacketLengthPaddingAndPayloadAreChecked) {
  struct Case {
    std::string bytes;
    const char* what;
  };
  // 35000 + 4 is a multiple of 8 only for lengths 8k + 4; 35004 stands for "too long".
  std::vector<Case> cases = {
      {Packet(35004, 4, std::string(3, '\0')), "too long"},
      {Packet(12, 3, std::string(12, '\0')), "padding below 4"},
      {Packet(12, 11, std::string(12, '\0')), "empty payload"},
      {Packet(13, 4, std::string(13, '\0')), "length + 4 not a multiple of 8"},
  };
  for (const auto& item : cases) {
    fatal_message.clear();
    Connection c(ssh_backend, Config());
    c.Write("SSH-2.0-test\r\n" + item.bytes);
    EXPECT_EQ(fatal_message, "Incoming packet was garbled on decryption") << item.what;
  }
  // A long but allowed packet is read whole: here a DEBUG message the session logs.
  fatal_message.clear();
  Connection c(ssh_backend, Config());
  std::string text(34980, 'd');
  std::string payload =
      std::string("\x04\x00\x00\x00", 4) + static_cast<char>(text.size() >> 8) + static_cast<char>(text.size()) + text;
  size_t padding = 4;
  while ((5 + payload.size() + padding) % 8 != 0) ++padding;
  c.Write("SSH-2.0-test\r\n" + Packet(static_cast<uint32_t>(1 + payload.size() + padding),
                                      static_cast<uint8_t>(padding), payload + std::string(padding, '\0')));
  EXPECT_EQ(fatal_message, "");
  EXPECT_TRUE(c.Logged("Remote debug message: " + text));
}

}  // namespace
