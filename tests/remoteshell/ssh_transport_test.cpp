// The SSH back end's identification exchange and packet bounds against a loopback server
// played by the test.
#include <gtest/gtest.h>

#include "crypto/random_pool.h"
#include "crypto/ssh1_attack_detector.h"
#include "remoteshell/core/frontend.h"
#include "remoteshell/ssh/ssh_backend.h"
#include "remoteshell/ssh/ssh_session.h"
#include "tests/remoteshell/backend_test_support.h"
#include "tests/support/scoped_env.h"

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
  testing_support::TempFolder folder_;
  testing_support::ScopedEnv home_{"HOME", folder_.path()};  // the random pool's seed file
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

// An SSH-1 server of version 1.3 is answered in 1.3; a first packet that is not a whole public
// key packet ends the conversation.
TEST_F(SshTransport, Ssh1PublicKeyPacketIsCheckedFirst) {
  random_acquire();
  struct Case {
    uint8_t type;
    std::string body;
    const char* fatal;
  } cases[] = {
      {15, "", "Public key packet not received"},
      {2, "abc", "SSH-1 public key packet stopped before random cookie"},
      {2, std::string(8, 'c') + std::string("\0\0\0\x08\0\x02\x03", 7),
       "Failed to read SSH-1 public keys from public key packet"},
  };
  for (const Case& item : cases) {
    fatal_message.clear();
    Connection c(ssh_backend, Config(1));
    c.Write("SSH-1.3-old\n");
    EXPECT_EQ(c.Read(), "SSH-1.3-Oskavel:_May_24_2012_11:06:10\n");
    Ssh1PacketLayer plain;
    std::vector<unsigned char> packet =
        ssh1_build_packet(plain, item.type, reinterpret_cast<const unsigned char*>(item.body.data()), item.body.size());
    c.Write(std::string(packet.begin(), packet.end()));
    EXPECT_EQ(fatal_message, item.fatal);
  }
  random_release();
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

class Ssh1Framing : public SshTransport {
 protected:
  void SetUp() override { random_acquire(); }
  void TearDown() override {
    ssh1_packet_layer_free(reader_);
    random_release();
  }
  int Read(const std::vector<unsigned char>& bytes) {
    return ssh1_read_packet(reader_, bytes.data(), bytes.size(), &packet_, &error_);
  }
  Ssh1PacketLayer writer_, reader_;
  std::vector<unsigned char> packet_;
  std::string error_;
};

std::vector<unsigned char> LengthOnly(uint32_t length) {
  return {static_cast<unsigned char>(length >> 24), static_cast<unsigned char>(length >> 16),
          static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length)};
}

TEST_F(Ssh1Framing, PacketsRoundTripPlainEncryptedAndCompressed) {
  const unsigned char payload[] = "session data";
  std::vector<unsigned char> bytes = ssh1_build_packet(writer_, 17, payload, sizeof payload);
  EXPECT_EQ(bytes.size() % 8, 4u);  // length field, then whole 8-byte blocks
  // Fed in two parts: nothing until the packet is whole.
  EXPECT_EQ(Read({bytes.begin(), bytes.begin() + 7}), 0);
  EXPECT_EQ(ssh1_read_packet(reader_, bytes.data() + 7, bytes.size() - 7, &packet_, &error_), 1);
  EXPECT_EQ(packet_, std::vector<unsigned char>({17, 's', 'e', 's', 's', 'i', 'o', 'n', ' ', 'd', 'a', 't', 'a', 0}));

  unsigned char key[32] = {1, 2, 3};
  writer_.cipher = reader_.cipher = &ssh1_3des;
  writer_.cipher_ctx = ssh1_3des.new_context();
  reader_.cipher_ctx = ssh1_3des.new_context();
  ssh1_3des.set_session_key(writer_.cipher_ctx, key);
  ssh1_3des.set_session_key(reader_.cipher_ctx, key);
  writer_.compression = reader_.compression = &ssh_zlib;
  writer_.compress_ctx = ssh_zlib.compress_new();
  reader_.decompress_ctx = ssh_zlib.decompress_new();
  for (int round = 0; round < 3; ++round) {
    std::vector<unsigned char> text(3000, static_cast<unsigned char>('a' + round));
    EXPECT_EQ(Read(ssh1_build_packet(writer_, 16, text.data(), text.size())), 1) << error_;
    ASSERT_EQ(packet_.size(), 3001u);
    EXPECT_EQ(packet_[3000], 'a' + round);
  }
  // The longest packet allowed passes the attack detector, whose table stays bounded by it.
  writer_.compression = reader_.compression = nullptr;
  std::vector<unsigned char> longest(kSsh1MaxPacketLength - 5, 'x');
  for (size_t i = 0; i < longest.size(); ++i) longest[i] = static_cast<unsigned char>(i * 7 + i / 256);
  EXPECT_EQ(Read(ssh1_build_packet(writer_, 16, longest.data(), longest.size())), 1) << error_;
  ASSERT_NE(reader_.detector, nullptr);
  EXPECT_EQ(reader_.detector->size, 65536u);
  ssh1_3des.free_context(writer_.cipher_ctx);
  ssh1_3des.free_context(reader_.cipher_ctx);
  ssh_zlib.compress_free(writer_.compress_ctx);
  ssh_zlib.decompress_free(reader_.decompress_ctx);
}

TEST_F(Ssh1Framing, LengthBoundsAndCrcAreChecked) {
  EXPECT_EQ(Read(LengthOnly(4)), -1);
  EXPECT_EQ(error_, "Incoming packet is too short to hold a type and a CRC");
  Ssh1PacketLayer fresh;
  EXPECT_EQ(ssh1_read_packet(fresh, LengthOnly(262145).data(), 4, &packet_, &error_), -1);
  EXPECT_EQ(error_, "Extremely large packet length from server suggests data stream corruption");
  ssh1_packet_layer_free(fresh);
  // The largest length is taken (it waits for the rest).
  EXPECT_EQ(ssh1_read_packet(fresh, LengthOnly(262144).data(), 4, &packet_, &error_), 0);
  ssh1_packet_layer_free(fresh);

  const unsigned char payload[] = {1, 2, 3};
  std::vector<unsigned char> bytes = ssh1_build_packet(writer_, 5, payload, 3);
  bytes[bytes.size() - 6] ^= 1;
  ssh1_packet_layer_free(reader_);  // a refused packet ends the session: start anew
  EXPECT_EQ(Read(bytes), -1);
  EXPECT_EQ(error_, "Incorrect CRC received on packet");
}

}  // namespace
