#include "desktop/shell/email_test_page.h"

#include "desktop/shell/await_without_freezing.h"
#include "desktop/shell/mirvale_app.h"
#include "platform/service_control.h"

namespace mirvale {

CConfigurationToolsActionsTest::CConfigurationToolsActionsTest(const PaneContext& context, QWidget* parent)
    : EntryListPage(Kind::TestRecipients, QStringLiteral("Email Test"), QString(), parent), context_(context) {}

void CConfigurationToolsActionsTest::Confirmed() {
  const std::string recipients = Text().toStdString();
  context_.app.WithDocument([&](CMirvaleDoc& doc) { doc.m_strTestRecipients = recipients; });
  if (!context_.app.CommitSettings(this)) return;
  const auto timeout = context_.app.Options().controlTimeout;
  AwaitWithoutFreezing(
      [timeout] {
        return platform::SendServiceControl(platform::ControlSendTestMail, platform::ControlSocketPath(), timeout);
      },
      {window()});
}

}  // namespace mirvale
