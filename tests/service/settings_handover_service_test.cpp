// The real MirvaleSrv as root with two members of a temporary operators' group handing settings
// over in the shared, sticky data folder: a file one member left waiting, and a file of more
// records than the service keeps. The group and the accounts are removed after each test.
#include <algorithm>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/common/empty_restore_requests.h"
#include "tests/support/aside_copies.h"
#include "tests/support/operators_group.h"
#include "tests/support/service_process.h"
#include "tests/support/wait_for.h"

namespace mirvale {
namespace {

using namespace std::chrono_literals;
using testing_support::As;
using testing_support::ServiceProcess;

constexpr uint32_t kReload = 134;

CMirvaleDoc SettingsNaming(const std::string& server) {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  doc.m_strSmtpServer = server;
  return doc;
}

// The desktop's Save: the file written into the data folder, then code 134; one attempt.
bool Save(const ServiceProcess& service, const CMirvaleDoc& doc) {
  platform::RetryPolicy once;
  once.attempts = 1;
  return DesktopSaveSettings(
      doc, service.DataFolder(),
      [&] { return platform::SendServiceControl(kReload, service.ControlSocket()) == 0u; }, once);
}

// The SMTP server of the settings the service keeps in its program folder.
std::string RunningServer(const ServiceProcess& service) {
  auto bytes = platform::ReadWholeFile(service.ProgramFile("Mirvale.ini"));
  return bytes ? DecodeSettings(*bytes).m_strSmtpServer : "";
}

bool Logged(const ServiceProcess& service, const std::string& text) {
  auto lines = service.EventLines();
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

class SettingsHandoverService : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(geteuid(), 0u) << "makes accounts";
    ASSERT_TRUE(members.Made());
    members.Prepare(service);
    ASSERT_TRUE(service.Register());  // its messages go to the event log
    // A first run shares the data folder with the group, as an installed service's has been.
    ASSERT_TRUE(service.Start());
    ASSERT_TRUE(service.Stop());
  }
  testing_support::OperatorsGroup members{2};
  ServiceProcess service;
};

}  // namespace

TEST_F(SettingsHandoverService, AMembersWaitingFileIsTakenSoAnotherMembersSaveSucceeds) {
  const std::string waiting = service.DataFile("Mirvale.ini");
  // Member A saves while the service is stopped: her file waits, hers alone to replace.
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a.example")), 0640) ? 0 : 1; }),
            0);
  ASSERT_TRUE(service.Start());
  EXPECT_TRUE(service.WaitForEventLine("Took over the settings that waited in " + waiting));
  EXPECT_EQ(RunningServer(service), "a.example");
  EXPECT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b.example");

  // A file whose request never came is taken by the main loop's next tick.
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(waiting, EncodeSettings(SettingsNaming("a2.example")), 0640) ? 0 : 1; }),
            0);
  EXPECT_TRUE(testing_support::WaitFor([&] { return RunningServer(service) == "a2.example"; }, 30s, 100ms));
  EXPECT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b2.example")) ? 0 : 1; }), 0);
  EXPECT_EQ(RunningServer(service), "b2.example");
  ASSERT_TRUE(service.Stop());
}

TEST_F(SettingsHandoverService, AFileOfMoreRestoreRequestsThanTheServiceKeepsIsSetAside) {
  ASSERT_TRUE(service.Start());
  ASSERT_EQ(As(members.Member(1), [&] { return Save(service, SettingsNaming("b.example")) ? 0 : 1; }), 0);
  const std::string hostile = archive_test::SettingsWithEmptyRestoreRequests(262145);
  ASSERT_EQ(As(members.Member(0),
               [&] { return platform::WriteFileAtomically(service.DataFile("Mirvale.ini"), hostile, 0640) ? 0 : 1; }),
            0);
  EXPECT_EQ(service.Control(kReload), 0u);
  EXPECT_EQ(RunningServer(service), "b.example");
  EXPECT_EQ(testing_support::AsideCopies(service.DataFolder(), "Mirvale.ini").size(), 1u);
  EXPECT_TRUE(Logged(service, "more than 262144 records of class CRestoreItem"));
  ASSERT_TRUE(service.Stop());
}

}  // namespace mirvale
