#include "platform/service_control.h"

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "platform/service_control_server.h"
#include "platform/service_control_unit.h"
#include "platform/unix_socket.h"
#include "tests/support/scoped_env.h"

using testing_support::ScopedEnv;
using testing_support::TempFolder;

namespace {

class ServiceControl : public ::testing::Test {
 protected:
  TempFolder temp;
  ScopedEnv root{"MIRVALE_REGISTRY_ROOT", temp / "registry"};
  ScopedEnv run{"MIRVALE_RUN_DIR", temp.path()};
  ScopedEnv systemd{"MIRVALE_SYSTEMD_DIR", temp / "units"};
  ScopedEnv polkit{"MIRVALE_POLKIT_RULES_DIR", temp / "polkit"};
  ScopedEnv noSystemd{"MIRVALE_SYSTEMD_MARKER", temp / "no-systemd"};

  platform::ServiceRegistration Registration(const std::string& program = "/usr/bin/true") {
    return {"Oskavel Mirvale",
            "Oskavel Mirvale",
            "Network devices configuration monitor.",
            program,
            platform::StartType::Automatic,
            {"network"}};
  }
};

}  // namespace

TEST_F(ServiceControl, EntriesAreCreatedOnceQueriedChangedAndDeleted) {
  EXPECT_FALSE(platform::IsServiceInstalled("Oskavel Mirvale"));
  ASSERT_TRUE(platform::CreateServiceEntry(Registration()));
  EXPECT_FALSE(platform::CreateServiceEntry(Registration("/other"))) << "a second entry of one name";
  auto stored = platform::QueryServiceRegistration("Oskavel Mirvale");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->programPath, "/usr/bin/true");
  EXPECT_EQ(stored->description, "Network devices configuration monitor.");
  EXPECT_EQ(stored->startType, platform::StartType::Automatic);
  EXPECT_EQ(stored->dependencies, std::vector<std::string>{"network"});

  EXPECT_TRUE(platform::ChangeServiceStartType("Oskavel Mirvale", platform::StartType::OnDemand));
  EXPECT_EQ(platform::QueryServiceRegistration("Oskavel Mirvale")->startType, platform::StartType::OnDemand);
  EXPECT_FALSE(platform::ChangeServiceStartType("Other", platform::StartType::OnDemand));

  EXPECT_TRUE(platform::DeleteServiceEntry("Oskavel Mirvale"));
  EXPECT_FALSE(platform::IsServiceInstalled("Oskavel Mirvale"));
  EXPECT_TRUE(platform::DeleteServiceEntry("Oskavel Mirvale")) << "deleting what is absent succeeds";
}

TEST_F(ServiceControl, CodesTravelToTheHandlerAndStatusesBack) {
  std::atomic<uint32_t> last{0};
  auto server = platform::ControlSocketServer::Listen(
      platform::ControlSocketPath(), [&](uint32_t code, const platform::ControlCaller&) {
        last = code;
        return code == platform::kControlInterrogate ? static_cast<uint32_t>(platform::ServiceState::Running)
                                                     : code + 1;
      });
  ASSERT_TRUE(server);
  EXPECT_EQ(platform::SendServiceControl(133), 134u);
  EXPECT_EQ(last.load(), 133u);
  EXPECT_EQ(platform::SendServiceControl(0x12345678), 0x12345679u);
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Running);

  // A second service cannot take over a socket that answers.
  EXPECT_FALSE(platform::ControlSocketServer::Listen(platform::ControlSocketPath(),
                                                     [](uint32_t, const platform::ControlCaller&) { return 0u; }));
  server.reset();
  EXPECT_FALSE(platform::FileExists(platform::ControlSocketPath()));
  EXPECT_FALSE(platform::SendServiceControl(133)) << "nothing listens";
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Stopped);
}

TEST_F(ServiceControl, StaleSocketIsReplacedAndOpenToTheOperatorsOnly) {
  {
    // A socket file nobody listens on, as a killed service leaves it.
    platform::UniqueFd stale = platform::ListenUnixStream(platform::ControlSocketPath(), 0600, 1);
    ASSERT_TRUE(stale);
  }
  ASSERT_TRUE(platform::FileExists(platform::ControlSocketPath()));
  auto server = platform::ControlSocketServer::Listen(platform::ControlSocketPath(),
                                                      [](uint32_t, const platform::ControlCaller&) { return 7u; });
  ASSERT_TRUE(server);
  struct stat info {};
  ASSERT_EQ(stat(platform::ControlSocketPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0660u) << "the operators only";
  EXPECT_EQ(platform::SendServiceControl(1), 7u);
}

// Clients that connect and send nothing: beyond 64 the one waiting longest is closed, the others
// after 5 s, and a code meanwhile is answered at once.
TEST_F(ServiceControl, SilentClientsBeyondTheCapAndPastTheirTimeAreClosed) {
  using namespace std::chrono_literals;
  auto server = platform::ControlSocketServer::Listen(platform::ControlSocketPath(),
                                                      [](uint32_t, const platform::ControlCaller&) { return 4u; });
  ASSERT_TRUE(server);
  std::vector<platform::UniqueFd> silent;
  for (int i = 0; i < 72; ++i) {
    silent.push_back(platform::ConnectUnixStream(platform::ControlSocketPath(), false));
    ASSERT_TRUE(silent.back());
  }
  auto closedBy = [](const platform::UniqueFd& client, std::chrono::milliseconds wait) {
    pollfd readable{client.get(), POLLIN, 0};
    char byte = 0;
    return poll(&readable, 1, static_cast<int>(wait.count())) == 1 && recv(client.get(), &byte, 1, 0) == 0;
  };
  auto asked = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Running);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 2s);
  // Accepted in the order they came, the question last: the 8 + 1 longest waiting made room.
  for (size_t i = 0; i < 9; ++i) EXPECT_TRUE(closedBy(silent[i], 0ms)) << "client " << i;
  EXPECT_FALSE(closedBy(silent[9], 0ms));
  EXPECT_TRUE(closedBy(silent.back(), 15s)) << "a silent client was kept past its time";
}

TEST_F(ServiceControl, StartLaunchesTheRegisteredProgramDetached) {
  std::string marker = temp / "started";
  std::string script = temp / "service.sh";
  ASSERT_TRUE(platform::WriteFileAtomically(script, "#!/bin/sh\necho $$ > '" + marker + "'\n", 0755));
  EXPECT_FALSE(platform::StartInstalledService("Oskavel Mirvale")) << "not installed";
  ASSERT_TRUE(platform::CreateServiceEntry(Registration(script)));
  ASSERT_TRUE(platform::StartInstalledService("Oskavel Mirvale"));
  for (int i = 0; i < 500 && !platform::FileExists(marker); ++i) usleep(10000);
  EXPECT_TRUE(platform::FileExists(marker));
}

TEST_F(ServiceControl, UnitFileRunsTheProgramAndCarriesFolderOverrides) {
  ScopedEnv data("MIRVALE_COMMON_APPDATA", "/srv/mirvale data");
  auto registration = Registration("/opt/mirvale/bin/MirvaleSrv");
  EXPECT_EQ(platform::SystemdUnitName("Oskavel Mirvale"), "oskavel-mirvale.service");
  ASSERT_TRUE(platform::WriteSystemdUnit(registration));
  auto text = platform::ReadWholeFile(temp / "units/oskavel-mirvale.service");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("ExecStart=@\"/opt/mirvale/bin/MirvaleSrv\" MirvaleSrv\n"), std::string::npos);
  EXPECT_NE(text->find("Environment=\"MIRVALE_COMMON_APPDATA=/srv/mirvale data\"\n"), std::string::npos);
  EXPECT_NE(text->find("Description=Network devices configuration monitor.\n"), std::string::npos);
  EXPECT_EQ(text->find("MIRVALE_SYSTEMD_DIR"), std::string::npos);
  EXPECT_TRUE(platform::RemoveSystemdUnit("Oskavel Mirvale"));
  EXPECT_FALSE(platform::FileExists(temp / "units/oskavel-mirvale.service"));
}

TEST_F(ServiceControl, ABusyServiceStillCountsAsRunning) {
  std::atomic<bool> release{false};
  auto server = platform::ControlSocketServer::Listen(platform::ControlSocketPath(),
                                                      [&](uint32_t code, const platform::ControlCaller&) {
                                                        while (code == 133 && !release) usleep(1000);
                                                        return code == platform::kControlInterrogate ? 4u : 0u;
                                                      });
  ASSERT_TRUE(server);
  std::thread prune([] { EXPECT_EQ(platform::SendServiceControl(133), 0u); });
  usleep(50000);
  auto started = std::chrono::steady_clock::now();
  std::thread releaser([&] {
    usleep(200000);
    release = true;
  });
  EXPECT_EQ(platform::QueryServiceState(), platform::ServiceState::Running);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150)) << "answered after the prune";
  prune.join();
  releaser.join();
}

TEST_F(ServiceControl, AHandlerThatThrowsIsAnsweredAsFailedAndTheServerGoesOn) {
  auto server = platform::ControlSocketServer::Listen(platform::ControlSocketPath(),
                                                      [](uint32_t code, const platform::ControlCaller&) -> uint32_t {
                                                        if (code == 133) throw std::runtime_error("disk gone");
                                                        return 0;
                                                      });
  ASSERT_TRUE(server);
  EXPECT_EQ(platform::SendServiceControl(133), 1u);
  EXPECT_EQ(platform::SendServiceControl(134), 0u);
}

// A hung service takes nobody in: once its backlog is full, a request and a state question still
// end within their time (a generous bound here: without one they would wait for ever).
TEST_F(ServiceControl, RequestToAServiceWhoseQueueIsFullEndsInItsTime) {
  using namespace std::chrono_literals;
  platform::UniqueFd hung = platform::ListenUnixStream(platform::ControlSocketPath(), 0660, 16);
  ASSERT_TRUE(hung);
  std::vector<platform::UniqueFd> queued;
  for (int i = 0; i < 64; ++i) {
    platform::UniqueFd client = platform::ConnectUnixStream(platform::ControlSocketPath(), /*nonBlocking=*/true);
    if (!client) break;
    queued.push_back(std::move(client));
  }
  ASSERT_GE(queued.size(), 16u);
  ASSERT_LT(queued.size(), 64u) << "the backlog never filled";
  // Without its bound a waiting connect ends only when the listener goes.
  auto endsInTime = [&hung](auto& pending) {
    const bool ended = pending.wait_for(30s) == std::future_status::ready;
    if (!ended) hung.Reset();
    return ended;
  };
  auto request = std::async(std::launch::async, [] {
    return platform::SendServiceControl(134, platform::ControlSocketPath(), 1s);
  });
  EXPECT_TRUE(endsInTime(request)) << "the request waited past its time";
  EXPECT_EQ(request.get(), std::nullopt);
  auto state = std::async(std::launch::async, [] { return platform::QueryServiceState(); });
  EXPECT_TRUE(endsInTime(state)) << "the state question waited for ever";
  EXPECT_EQ(state.get(), platform::ServiceState::Running) << "something listens";
}
