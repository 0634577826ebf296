#include "service/actions/email_settings.h"

#include <cstdlib>

namespace mirvale {

std::chrono::seconds SmtpTimeoutFromMinutes(const std::string& minutesText) {
  long minutes = std::strtol(minutesText.c_str(), nullptr, 10);
  if (minutes < 0) minutes = 0;
  if (minutes > 24 * 60) minutes = 24 * 60;  // keeps the multiplication far from overflow
  return std::chrono::seconds(minutes * 60);
}

EmailServerSettings EmailServerSettingsFrom(const CMirvaleDoc& settings) {
  EmailServerSettings server;
  server.server = settings.m_strSmtpServer;
  // The port is decimal text; read it as a number so " 25" or "25 " still works.
  server.port = std::to_string(std::strtol(settings.m_strSmtpPort.c_str(), nullptr, 10));
  server.sender = settings.m_strMailFrom;
  server.timeout = SmtpTimeoutFromMinutes(settings.m_strSmtpTimeout);
  server.user = settings.m_strSmtpUser;
  server.password = settings.m_strSmtpPassword;
  return server;
}

}  // namespace mirvale
