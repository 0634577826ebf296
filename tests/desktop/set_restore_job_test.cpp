// The set and restore job against a real MirvaleSrv and snmpd with a read-write community, inside
// the test's own network namespace: the wait dialog refuses Esc and Enter, closes once the
// service answered, and the caller finds the results; a service that stops, or the user's close,
// ends the wait saying so.
#include "desktop/results/set_restore_job.h"

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <functional>
#include <memory>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "desktop/results/configuration_restore_thread.h"
#include "desktop/results/configuration_wait.h"
#include "platform/atomic_file.h"
#include "platform/service_control.h"
#include "tests/desktop/support/desktop_harness.h"
#include "tests/desktop/support/qt_environment.h"
#include "tests/desktop/support/recording_prompter.h"
#include "tests/support/lab_pools.h"
#include "tests/support/snmp_agent.h"

namespace mirvale {
namespace {

using testing_support::RecordingPrompter;
using testing_support::ServiceProcess;

static auto* const qt = testing_support::UseQtApplication();

constexpr char kSysLocation[] = "1.3.6.1.2.1.1.6.0";

CMirvaleDoc LabSettings() {
  CMirvaleDoc doc;
  ApplyServiceDefaults(doc);
  testing_support::AddSnmpV1Pool(doc, "lab").m_nRetries = 0;
  return doc;
}

RestoreRequest Request(const std::string& address, const std::string& value, const std::string& pool = "lab") {
  return {address + "/" + kSysLocation,
          CRestoreItem{pool, address, "agent", "sysLocation", kSysLocation, value, "", "admin"}};
}

TEST(PendingRequests, OnlyTheJobsOwnKeysAndOnlyExactSuccessCount) {
  CMirvaleDoc doc;
  doc.m_mapRestore.Set("mine", CRestoreItem{"p", "a", "n", "q", "o", "v", "Successful", "u"});
  doc.m_mapRestore.Set("other", CRestoreItem{"p", "a", "n", "q", "o", "v", "", "u"});
  doc.m_mapRestore.Set("empty", CRestoreItem{"p", "a", "n", "q", "o", "v", "", "u"});
  doc.m_mapRestore.Set("lower", CRestoreItem{"p", "a", "n", "q", "o", "v", "successful", "u"});
  EXPECT_FALSE(AnyRequestPending(doc, {"mine"})) << "another job's empty result kept it waiting";
  EXPECT_TRUE(AnyRequestPending(doc, {"mine", "empty"}));
  EXPECT_FALSE(AnyRequestPending(doc, {"gone"}));
  EXPECT_TRUE(RequestSucceeded(doc, "mine"));
  EXPECT_FALSE(RequestSucceeded(doc, "empty"));
  EXPECT_FALSE(RequestSucceeded(doc, "lower"));
  EXPECT_FALSE(RequestSucceeded(doc, "gone"));

  // What the service said of a failure follows the caller's message, by address.
  doc.m_mapRestore.Set("refused", CRestoreItem{"p", "10.0.0.1", "n", "q", "", "v",
                                               "Failed: the device rejected \"bogus line\"", "u"});
  doc.m_mapRestore.Set("failed", CRestoreItem{"p", "10.0.0.2", "n", "q", "", "v", "Failed", "u"});
  EXPECT_EQ(WithFailureReasons("Restore failed.", doc, {"mine", "failed", "refused", "gone"}),
            "Restore failed.\n10.0.0.1: the device rejected \"bogus line\"");
}

// A real service with the lab pool in the test's own network namespace, and the desktop's
// application object on its folders.
class SetRestoreJobRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing_support::EnterPrivateNetwork()) << "needs root for a private network namespace";
    ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"), EncodeSettings(LabSettings())));
    ASSERT_TRUE(service.Start());
    app = std::make_unique<CMirvaleApp>(testing_support::QuickAppOptions());
  }
  ServiceProcess service;
  testing_support::ServiceFolders folders{service};
  std::unique_ptr<CMirvaleApp> app;
  RecordingPrompter prompter;
};

TEST_F(SetRestoreJobRun, WaitsUntilTheServiceAnsweredEveryRequestAndRefusesStrayKeys) {
  testing_support::SnmpAgent agent({"rocommunity public default", "rwcommunity private default"}, "udp:127.0.0.1:161");
  ASSERT_TRUE(agent.Ready()) << agent.LogText();
  CMirvaleApp& app = *this->app;

  // 127.0.0.2 answers nothing: the service spends two seconds on it, time enough to try Esc,
  // Enter and closing the dialog.
  int tries = 0;
  bool stayedOpen = true;
  std::function<void()> poke = [&] {
    auto* wait = qobject_cast<CConfigurationWait*>(QApplication::activeModalWidget());
    if (!wait) {
      if (++tries < 100) QTimer::singleShot(20, poke);
      return;
    }
    QTest::keyClick(wait, Qt::Key_Escape);
    QTest::keyClick(wait, Qt::Key_Return);
    wait->reject();
    stayedOpen = wait->isVisible();
  };
  QTimer::singleShot(0, poke);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(SetRestoreJob(app, nullptr, {Request("127.0.0.1", "Set by the job"), Request("127.0.0.2", "silent")}));
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_TRUE(stayedOpen) << "the wait dialog was dismissed";
  EXPECT_TRUE(prompter.Texts().isEmpty()) << prompter.Texts().join("|").toStdString();
  EXPECT_TRUE(RequestSucceeded(app.Document(), std::string("127.0.0.1/") + kSysLocation));
  EXPECT_EQ(app.Document().m_mapRestore.Find(std::string("127.0.0.2/") + kSysLocation)->m_strResult, "Failed");

  // A job whose map holds no request ends after one reload and one pause.
  ASSERT_TRUE(SetRestoreJob(app, nullptr, {}));
  EXPECT_TRUE(app.Document().m_mapRestore.empty());

  // With the service gone the job stops before waiting, with the commit's message.
  service.Control(platform::kControlStop);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return platform::QueryServiceState(service.ControlSocket()) == platform::ServiceState::Stopped; }, 20000));
  EXPECT_FALSE(SetRestoreJob(app, nullptr, {Request("127.0.0.1", "never")}));
  ASSERT_FALSE(prompter.Texts().isEmpty());
  EXPECT_EQ(prompter.Texts().back(), "Settings failed, please check your access permissions. The service is not running.");
}

// Calls act once the wait dialog shows and pause has passed.
void WhenTheWaitShows(std::chrono::milliseconds pause, std::function<void(CConfigurationWait&)> act) {
  auto look = std::make_shared<std::function<void(int)>>();
  *look = [=](int tries) {
    auto* wait = qobject_cast<CConfigurationWait*>(QApplication::activeModalWidget());
    if (!wait && tries < 500) QTimer::singleShot(20, [=] { (*look)(tries + 1); });
    if (wait) QTimer::singleShot(pause, wait, [=] { act(*wait); });
  };
  QTimer::singleShot(0, [=] { (*look)(0); });
}

TEST_F(SetRestoreJobRun, AServiceThatDiesOrTheUsersCloseEndsTheWaitSayingSo) {
  CMirvaleApp& app = *this->app;
  // Addresses that answer nothing: the service is busy with them for many seconds.
  std::vector<RestoreRequest> silent;
  for (int host = 2; host < 12; ++host) silent.push_back(Request("127.0.0." + std::to_string(host), "silent"));

  // Killed mid-run, it writes nothing more: nothing listens at its socket any more.
  WhenTheWaitShows(std::chrono::milliseconds(400), [&](CConfigurationWait&) {
    kill(service.Pid(), SIGKILL);
    waitpid(service.Pid(), nullptr, 0);
  });
  EXPECT_FALSE(SetRestoreJob(app, nullptr, silent));
  ASSERT_FALSE(prompter.Texts().isEmpty());
  EXPECT_EQ(prompter.Texts().back(),
            "The service stopped before every request had its result: the requests without one were not carried out, "
            "or only in part.");

  // The window's close stops waiting, and says what that means.
  ASSERT_TRUE(service.Start());
  bool closed = false;
  WhenTheWaitShows(std::chrono::milliseconds(400), [&](CConfigurationWait& wait) {
    wait.close();
    closed = !wait.isVisible();
  });
  EXPECT_FALSE(SetRestoreJob(app, nullptr, silent));
  EXPECT_TRUE(closed) << "the close was refused";
  EXPECT_EQ(prompter.Texts().back(),
            "Stopped waiting for the results: the requests without one may still be carried out by the service.");
}

}  // namespace
}  // namespace mirvale
