#include "remoteshell/core/settings.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "base/client_registry_paths.h"
#include "platform/atomic_file.h"
#include "remoteshell/core/host_key_cache.h"
#include "tests/remoteshell/config_dump.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;

class Settings : public testing::Test {
 protected:
  platform::RegistryKey defaults() {
    return *platform::RegistryKey::Open(std::string(kSessionsRegistryPath) + "\\Default%20Settings", true);
  }
  SessionConfig load() {
    auto config = std::make_unique<SessionConfig>();
    settings_load_defaults("", config.get(), ProtocolDefaults{.protocol = 1, .port = 23});
    return *config;
  }
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
};

TEST_F(Settings, EmptyStoreGivesEveryDefault) {
  auto golden = platform::ReadWholeFile(std::string(MIRVALE_SOURCE_DIR) + "/tests/remoteshell/golden/default_settings.txt");
  ASSERT_TRUE(golden);
  EXPECT_EQ(dump_session_config(load()), *golden);
}

TEST_F(Settings, DefaultsSectionIsReadButNotItsHost) {
  auto key = defaults();
  key.SetString("HostName", "router1");
  key.SetString("Protocol", "telnet");
  key.SetDword("PortNumber", 2323);
  key.SetDword("CloseOnExit", 2);
  key.SetDword("PingInterval", 2);
  key.SetDword("PingIntervalSecs", 5);
  SessionConfig config = load();
  EXPECT_STREQ(config.host, "");
  EXPECT_EQ(config.protocol, 1);
  EXPECT_EQ(config.port, 2323);
  EXPECT_EQ(config.close_on_exit, 0);
  EXPECT_EQ(config.ping_interval, 125);

  auto named = platform::RegistryKey::Open(std::string(kSessionsRegistryPath) + "\\core/switch", true);  // a folder name with the slash escaped
  named->SetString("HostName", "router1");
  named->SetString("Protocol", "bogus");
  named->SetDword("PortNumber", 2323);
  auto config2 = std::make_unique<SessionConfig>();
  settings_load_defaults("core/switch", config2.get(), ProtocolDefaults{.protocol = 1, .port = 23});
  EXPECT_STREQ(config2->host, "router1");
  EXPECT_EQ(config2->protocol, 1);
  EXPECT_EQ(config2->port, 23);  // an unknown protocol name leaves the port unread
  EXPECT_TRUE(platform::FileExists(folder_ / "registry/Software/Hollerin/Mirsh/Sessions/core%2Fswitch"));
}

TEST_F(Settings, NegativeNumbersAreBroughtIntoRange) {
  auto key = defaults();
  key.SetString("Protocol", "telnet");
  key.SetDword("PortNumber", 0xFFFFFFFFu);  // -1 as stored
  key.SetDword("TermWidth", 0xFFFFFFFBu);
  key.SetDword("PingIntervalSecs", 0xFFFFFFFFu);
  key.SetDword("AddressFamily", 0xFFFFFFFEu);
  SessionConfig config = load();
  EXPECT_EQ(config.port, 23);
  EXPECT_EQ(config.terminal_width, 80);
  EXPECT_EQ(config.ping_interval, 0);
  EXPECT_EQ(config.address_family, 0);
}

TEST_F(Settings, PreferenceListsKeepNamedOrderThenTheRest) {
  auto key = defaults();
  key.SetString("Cipher", "des,aes,des,bogus");
  key.SetDword("BugDHGEx2", 2);
  SessionConfig config = load();
  const int ciphers[] = {4, 3, 2, 1, 0, 5};
  EXPECT_EQ(std::memcmp(config.cipher_list, ciphers, sizeof ciphers), 0);
  const int kex[] = {2, 1, 0, 3};  // the group-exchange quirk moves group exchange last
  EXPECT_EQ(std::memcmp(config.kex_list, kex, sizeof kex), 0);
  EXPECT_EQ(config.bug_dh_gex2, 0);
}

TEST_F(Settings, WrongTypesCountAsMissingAndConversionsApply) {
  auto key = defaults();
  key.SetDword("TerminalType", 5);
  key.SetString("TermWidth", "132");
  key.SetDword("ProxyType", 2);
  key.SetDword("ProxySOCKSVersion", 4);
  key.SetDword("BuggyMAC", 1);
  key.SetString("Colour3", "1,2");
  key.SetString("Colour4", "10,20,30");
  key.SetString("Font", "Fixed");
  key.SetDword("FontIsBold", 1);
  SessionConfig config = load();
  EXPECT_STREQ(config.terminal_type, "xterm");
  EXPECT_EQ(config.terminal_width, 80);
  EXPECT_EQ(config.proxy_method, 1);
  EXPECT_EQ(config.bug_hmac2, 0);
  EXPECT_EQ(config.colours[3][0], 85);
  EXPECT_EQ(config.colours[4][2], 30);
  EXPECT_STREQ(config.font.name, "Courier New");  // a font with missing parts is the default
}

TEST_F(Settings, TextsLongerThanTheirCapacityAreNotTaken) {
  auto key = defaults();
  key.SetString("UserName", std::string(99, 'u'));
  key.SetString("LocalUserName", std::string(100, 'l'));
  SessionConfig config = load();
  EXPECT_EQ(std::string(config.user_name), std::string(99, 'u'));
  EXPECT_STREQ(config.local_user_name, "");
}

TEST_F(Settings, ListsAreSplitQuotedAndKeptWithinCapacity) {
  auto key = defaults();
  key.SetString("Environment", "TERM=vt100,PATH=/a\\,b,X\\=Y=z");
  SessionConfig config = load();
  const char expected[] = "TERM\tvt100\0PATH\t/a,b\0X=Y\tz\0";
  EXPECT_EQ(std::memcmp(config.environment, expected, sizeof expected), 0);

  std::string huge;
  for (int i = 0; i < 150; ++i) huge += "NAME" + std::to_string(i) + "=v,";
  ASSERT_LT(huge.size(), 2u * sizeof config.port_forwardings);
  ASSERT_GT(huge.size(), sizeof config.port_forwardings);
  key.SetString("PortForwardings", huge);
  config = load();
  // The list ends with an empty entry inside its capacity.
  const char* end = config.port_forwardings + sizeof config.port_forwardings;
  const char* p = config.port_forwardings;
  while (*p != '\0') {
    p += std::strlen(p) + 1;
    ASSERT_LT(p, end);
  }
  EXPECT_EQ(config.stamp_utmp, 1);  // the fields behind it are untouched
}

TEST(RegistryNameEscape, LeadingDotBlanksAndSpecials) {
  char buffer[64];
  registry_name_escape(".x y", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "%2Ex%20y");
  registry_name_escape("a.b*c?d%e\\f\x7f\xc3", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "a.b%2Ac%3Fd%25e%5Cf%7F%C3");
  registry_name_escape("abcdef", buffer, 4);
  EXPECT_STREQ(buffer, "abc");
}

class HostKeys : public testing::Test {
 protected:
  TempFolder folder_;
  ScopedEnv registry_{"MIRVALE_REGISTRY_ROOT", folder_ / "registry"};
};

TEST_F(HostKeys, StoreAndLookUp) {
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0xabc"), 1);
  host_key_cache_store("router1", 22, "rsa2", "0x23,0xabc");
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0xabc"), 0);
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0xabd"), 2);
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa2", "0x23,0xab"), 2);  // the cached one is longer
  EXPECT_EQ(host_key_cache_lookup("router1", 2222, "rsa2", "0x23,0xabc"), 1);
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath);
  EXPECT_EQ(cache->GetString("rsa2@22:router1"), "0x23,0xabc");
  host_key_cache_store("odd host/../x", 22, "dss", "k");
  EXPECT_EQ(cache->GetString("dss@22:odd%20host/../x"), "k");
  EXPECT_EQ(host_key_cache_lookup("odd host/../x", 22, "dss", "k"), 0);
}

// Hosts with the largest RSA keys a server may offer fill the cache's bytes long before its
// count of hosts: a new one takes the place of as many as it needs, and the file stays within
// the bound.
TEST_F(HostKeys, LargeKeysMakeRoomByTheCachesBytes) {
  ASSERT_TRUE(platform::RegistryKey::Open(kHostKeysRegistryPath, true));
  const std::string key = "0x10001,0x" + std::string(4096, 'f');
  std::string cache;
  for (int host = 0; host < 3052; ++host) cache += "S rsa2@22:h" + std::to_string(host) + "\t" + key + "\n";
  const std::string file = folder_ / "registry/Software/Hollerin/Mirsh/SshHostKeys/.values";
  ASSERT_TRUE(platform::WriteFileAtomically(file, cache, 0600));
  std::vector<std::string> evicted;
  EXPECT_TRUE(host_key_cache_store("h3052", 22, "rsa2", (key + "0").c_str(), nullptr, &evicted));
  EXPECT_EQ(evicted, std::vector<std::string>{"h0 port 22 (no use recorded)"});
  EXPECT_LE(platform::ReadWholeFile(file)->size(), 12582912u);
  EXPECT_EQ(host_key_cache_lookup("h0", 22, "rsa2", key.c_str()), 1);
  EXPECT_EQ(host_key_cache_lookup("h7", 22, "rsa2", key.c_str()), 0);
  EXPECT_EQ(host_key_cache_lookup("h3052", 22, "rsa2", (key + "0").c_str()), 0);
}

// A full cache of 10,000 hosts: each new host takes the place of the lowest-ranked one. A host
// without a record goes first, then the longest unused, where a host used again after the day
// it was stored counts 30 days younger; a new host seen once gives way before hosts in steady
// use. A changed key stays refused, and without the hosts' use nothing is dropped.
class FullHostKeyCache : public HostKeys {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::RegistryKey::Open(kHostKeysRegistryPath, true));
    ASSERT_TRUE(platform::RegistryKey::Open(kHostKeyUseRegistryPath, true));
    std::string cache, uses;
    const uint32_t today = static_cast<uint32_t>(time(nullptr) / 86400);
    for (int host = 0; host < 10000; ++host) {
      cache += "S rsa2@22:h" + std::to_string(host) + "\tk" + std::to_string(host) + "\n";
      const std::string use = host == 5   ? std::to_string(today - 200) + "," + std::to_string(today - 100)
                              : host == 6 ? std::to_string(today - 2) + "," + std::to_string(today - 2)
                                          : std::to_string(today - 10) + "," + std::to_string(today - 1);
      if (host != 7) uses += "S 22:h" + std::to_string(host) + "\t" + use + "\n";
    }
    ASSERT_TRUE(platform::WriteFileAtomically(cacheFile_, cache, 0600));
    ASSERT_TRUE(platform::WriteFileAtomically(useFile_, uses, 0600));
  }
  // The hosts that gave way to the stored one.
  std::vector<std::string> Store(const char* host) {
    std::vector<std::string> evicted;
    EXPECT_TRUE(host_key_cache_store(host, 22, "rsa2", "new", nullptr, &evicted)) << host;
    return evicted;
  }
  const std::string cacheFile_ = folder_ / "registry/Software/Hollerin/Mirsh/SshHostKeys/.values";
  const std::string useFile_ = folder_ / "registry/Software/Hollerin/Mirsh/SshHostKeyUse/.values";
};

TEST_F(FullHostKeyCache, NewHostsTakeTheLowestRankedPlaces) {
  EXPECT_EQ(Store("n1"), std::vector<std::string>{"h7 port 22 (no use recorded)"});
  const time_t hundredDaysAgo = (time(nullptr) / 86400 - 100) * 86400;
  char date[16];
  std::strftime(date, sizeof date, "%Y-%m-%d", std::gmtime(&hundredDaysAgo));
  EXPECT_EQ(Store("n2"), std::vector<std::string>{"h5 port 22 (last used " + std::string(date) + ")"});
  EXPECT_EQ(Store("n3").size(), 1u);
  EXPECT_EQ(host_key_cache_lookup("h6", 22, "rsa2", "k6"), 1);
  EXPECT_EQ(Store("n4").at(0).substr(0, 11), "n1 port 22 ");  // the flood gives way to itself
  EXPECT_EQ(host_key_cache_lookup("h8", 22, "rsa2", "k8"), 0);
  EXPECT_EQ(host_key_cache_lookup("h8", 22, "rsa2", "k9"), 2);
  EXPECT_EQ(host_key_cache_lookup("n4", 22, "rsa2", "new"), 0);
  EXPECT_EQ(platform::RegistryKey::Open(kHostKeysRegistryPath)->ValueNames().size(), 10000u);
  // Records go with their hosts: none is kept for a host no longer cached.
  auto uses = platform::RegistryKey::Open(kHostKeyUseRegistryPath);
  EXPECT_FALSE(uses->GetString("22:h7"));
  EXPECT_FALSE(uses->GetString("22:n1"));
  EXPECT_TRUE(uses->GetString("22:n4"));
  EXPECT_EQ(uses->ValueNames().size(), 10000u);
}

TEST_F(FullHostKeyCache, AUseRecordedTodayRaisesTheHostsRank) {
  EXPECT_EQ(host_key_cache_lookup("h7", 22, "rsa2", "k7"), 0);
  EXPECT_EQ(Store("n1").at(0).substr(0, 11), "h5 port 22 ");
}

TEST_F(FullHostKeyCache, WithoutTheHostsUseNothingIsDropped) {
  ASSERT_EQ(chown(useFile_.c_str(), 65534, 0), 0);
  const auto before = platform::ReadWholeFile(cacheFile_);
  std::string reason;
  EXPECT_FALSE(host_key_cache_store("n1", 22, "rsa2", "new", &reason));
  EXPECT_TRUE(reason.starts_with("the host-key cache is full and its hosts' use cannot be read (")) << reason;
  EXPECT_EQ(platform::ReadWholeFile(cacheFile_), before);
}

TEST_F(HostKeys, OlderFormIsConvertedAndRewritten) {
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath, true);
  // Exponent 0x10001 and modulus 0x1234abcd5678, least significant word first.
  cache->SetString("router1", "00010001/5678abcd1234");
  EXPECT_EQ(host_key_cache_lookup("router1", 22, "rsa", "0x10001,0x1234abcd5678"), 0);
  EXPECT_EQ(cache->GetString("rsa@22:router1"), "0x10001,0x1234abcd5678");
  EXPECT_EQ(host_key_cache_lookup("router1", 23, "rsa", "0x10001,0x99"), 2);
}

TEST_F(HostKeys, MalformedOlderFormNeverMatches) {
  auto cache = platform::RegistryKey::Open(kHostKeysRegistryPath, true);
  for (const char* bad : {"0001/", "/5678", "001/5678", "00010001", "0001/56/78", "zz01/5678", ""}) {
    cache->SetString("router2", bad);
    EXPECT_EQ(host_key_cache_lookup("router2", 22, "rsa", "0x1,0x5678"), 2) << bad;
    EXPECT_FALSE(cache->GetString("rsa@22:router2")) << bad;
  }
}

}  // namespace
