// The host-key cache through the real MirvaleSrv and sshd on loopback. A cache that cannot be
// read vouches for no key, and a full one takes no changed key: either way the conversation is
// abandoned before the password is sent, the event log names the device and says why, and the
// cache file stays as it was. A full cache takes a new device in the place of its longest
// unused host, and the log names the host that gave way.
#include <algorithm>
#include <ctime>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/registry.h"
#include "tests/service/shell_scan_support.h"
#include "tests/support/fake_device.h"
#include "tests/support/service_process.h"
#include "tests/support/ssh_device.h"

namespace mirvale {
namespace {

using namespace shell_scan_testing;

// Hosts 10.x.y.z on port 22, each with a 2048-bit RSA key (545 bytes a line, as in the field).
std::string CachedHosts(size_t count) {
  const std::string key = "0x10001,0x" + std::string(512, 'c');
  std::string lines;
  for (size_t i = 0; i < count; ++i)
    lines += "S rsa2@22:10." + std::to_string(i >> 16) + "." + std::to_string(i >> 8 & 255) + "." +
             std::to_string(i & 255) + "\t" + key + "\n";
  return lines;
}

struct BadCache {
  const char* name;
  size_t hosts;        // other hosts in the cache
  bool changedKey;     // the cache holds other keys for the server
  uid_t owner;         // of the cache file
  const char* reason;  // how the event line goes on after "<device>: "; {file}: the cache file
};

void PrintTo(const BadCache& cache, std::ostream* out) { *out << cache.name; }

// An sshd device and the service with a pool of it, whose store's keys the test fills.
class HostKeyCacheScan : public ::testing::Test {
 protected:
  // The values file of the store's key under Software\Hollerin\Mirsh, the key made.
  std::string KeyFile(const std::string& key) {
    testing_support::ScopedEnv store("MIRVALE_REGISTRY_ROOT", service.Root() + "/registry");
    EXPECT_TRUE(platform::RegistryKey::Open("Software\\Hollerin\\Mirsh\\" + key, true));
    return service.Root() + "/registry/Software/Hollerin/Mirsh/" + key + "/.values";
  }
  // One scan of the pool, the service started and stopped around it.
  void Scan() {
    ASSERT_TRUE(sshd.ready());
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                              EncodeSettings(SshPoolDoc(sshd, testing_support::kSshPassword))));
    ASSERT_TRUE(service.Start());
    ASSERT_EQ(service.Control(kStartScan), 0u);
    ASSERT_TRUE(WaitForFinishedScan(service, ""));
    ASSERT_TRUE(service.Stop());
  }
  testing_support::FakeDevice device{testing_support::FakeDeviceOptions{.mode = "ssh", .page = 10}};
  testing_support::SshDeviceServer sshd{device.Command()};
  ServiceProcess service;
};

class HostKeyCacheService : public HostKeyCacheScan, public ::testing::WithParamInterface<BadCache> {};

TEST_P(HostKeyCacheService, NoPasswordGoesToAServerTheCacheCannotVouchFor) {
  const BadCache& bad = GetParam();
  const std::string file = KeyFile("SshHostKeys");
  std::string cache = CachedHosts(bad.hosts);
  if (bad.changedKey) {
    const std::string port = std::to_string(sshd.port());
    cache += "S dss@" + port + ":127.0.0.1\t0x5,0x7,0x3,0x9\nS rsa2@" + port + ":127.0.0.1\t0x10001,0xdead\n";
  }
  ASSERT_TRUE(platform::WriteFileAtomically(file, cache, 0600));
  ASSERT_EQ(chown(file.c_str(), bad.owner, 0), 0);
  Scan();

  std::string expected = "127.0.0.1:" + std::to_string(sshd.port()) + ": " + bad.reason;
  if (size_t at = expected.find("{file}"); at != std::string::npos) expected.replace(at, 6, file);
  std::string events;
  bool found = false;
  for (const auto& line : service.EventLines()) {
    events += line + "\n";
    found = found || line.starts_with(expected);
  }
  EXPECT_TRUE(found) << events;
  EXPECT_NE(events.find("Connection abandoned."), std::string::npos) << events;
  EXPECT_EQ(sshd.Log().find("method password"), std::string::npos) << sshd.Log();
  EXPECT_EQ(platform::ReadWholeFile(file), cache) << "the cache file was rewritten";
}

INSTANTIATE_TEST_SUITE_P(
    Caches, HostKeyCacheService,
    ::testing::Values(
        BadCache{"OverItsByteBound", 31000, true, 0,
                 "The server's rsa2 host key cannot be checked: the host-key cache cannot be read (The settings store file "
                 "{file} is not used: it is larger than 16777216 bytes)."},
        BadCache{"OfAnotherAccount", 3, true, 65534,
                 "The server's rsa2 host key cannot be checked: the host-key cache cannot be read (The settings store file "
                 "{file} is not used: it belongs to uid 65534)."},
        BadCache{"FullWithAChangedKey", 9999, true, 0, "WARNING - POTENTIAL SECURITY BREACH!"}),
    [](const auto& info) { return std::string(info.param.name); });

using HostKeyCacheServiceFull = HostKeyCacheScan;

TEST_F(HostKeyCacheServiceFull, ANewDeviceIsScannedInTheLongestUnusedHostsPlace) {
  const std::string file = KeyFile("SshHostKeys");
  // Every host was used yesterday, after the day it was stored, but 10.0.0.5, of no recorded use.
  const std::string cache = CachedHosts(10000);
  const uint32_t today = static_cast<uint32_t>(time(nullptr) / 86400);
  std::string uses;
  for (size_t i = 0; i < 10000; ++i)
    if (i != 5)
      uses += "S 22:10." + std::to_string(i >> 16) + "." + std::to_string(i >> 8 & 255) + "." +
              std::to_string(i & 255) + "\t" + std::to_string(today - 10) + "," + std::to_string(today - 1) + "\n";
  ASSERT_TRUE(platform::WriteFileAtomically(file, cache, 0600));
  ASSERT_TRUE(platform::WriteFileAtomically(KeyFile("SshHostKeyUse"), uses, 0600));
  Scan();

  const std::string device_name = "127.0.0.1:" + std::to_string(sshd.port());
  EXPECT_TRUE(service.WaitForEventLine(device_name + ": The host-key cache was full: the keys of 10.0.0.5 port 22 (no "
                                       "use recorded) gave way to the server's rsa2 key.", 0s))
      << ::testing::PrintToString(service.EventLines());
  EXPECT_NE(sshd.Log().find("method password"), std::string::npos) << sshd.Log();
  const std::string after = platform::ReadWholeFile(file).value_or("");
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 10000);
  EXPECT_EQ(after.find("S rsa2@22:10.0.0.5\t"), std::string::npos);
  EXPECT_NE(after.find("S rsa2@" + std::to_string(sshd.port()) + ":127.0.0.1\t"), std::string::npos);
}

}  // namespace
}  // namespace mirvale
