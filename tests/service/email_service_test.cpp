// Control code 145 through the real MirvaleSrv: the test e-mail reaches a loopback SMTP sink.
#include <gtest/gtest.h>

#include "common/settings_file.h"
#include "platform/atomic_file.h"
#include "platform/service_control_codes.h"
#include "tests/service/email_sink_process.h"
#include "tests/support/service_process.h"

using namespace std::chrono_literals;
using email_testing::SmtpSinkProcess;
using testing_support::ServiceProcess;

TEST(EmailService, TestMailControlDeliversThroughTheService) {
  SmtpSinkProcess sink;
  ASSERT_GT(sink.port(), 0);
  ServiceProcess service;
  mirvale::CMirvaleDoc settings;
  mirvale::ApplyServiceDefaults(settings);
  settings.m_strSmtpServer = "127.0.0.1";
  settings.m_strSmtpPort = std::to_string(sink.port());
  settings.m_strMailFrom = "mirvale@example.org";
  settings.m_strTestRecipients = "admin@example.org;";
  ASSERT_TRUE(platform::WriteFileAtomically(service.ProgramFile("Mirvale.ini"),
                                            mirvale::EncodeSettings(settings)));
  ASSERT_TRUE(service.Start());
  EXPECT_EQ(service.Control(platform::ControlSendTestMail), platform::kControlDone);

  auto deadline = std::chrono::steady_clock::now() + 30s;
  while (sink.Messages().empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(20ms);
  }
  auto mails = sink.Messages();
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].envelope, "mail_from=mirvale@example.org\nrcpt_to=admin@example.org\nlogin=\n");
  const std::string& content = mails[0].content;
  EXPECT_EQ(content.rfind("from:<mirvale@example.org>\r\nto:<admin@example.org>\r\n"
                          "subject: Oskavel Mirvale message from 127.0.0.1\r\n\r\n"
                          "Pool: N/A\r\nAction: N/A\r\nDevice: 127.0.0.1\r\nName: localhost\r\nDate: ",
                          0),
            0u)
      << content;
  EXPECT_TRUE(service.Stop());
}
