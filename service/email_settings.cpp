#include "service/email_settings.h"

#include <cstdlib>

std::chrono::seconds SmtpTimeoutFromMinutes(const std::string& minutesText) {
  long minutes = std::strtol(minutesText.c_str(), nullptr, 10);
  if (minutes < 0) minutes = 0;
  if (minutes > 24 * 60) minutes = 24 * 60;  // keeps the multiplication far from overflow
  return std::chrono::seconds(minutes * 60);
}
