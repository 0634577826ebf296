#pragma once
// The one message the service sends the desktop program: "Update Database" and its zero byte.
#include <string>
#include <string_view>

namespace mirvale {

inline constexpr std::string_view kUpdateDatabaseNotice{"Update Database\0", 16};

// Tells a listening desktop program to reload the databases; nobody listening is no error.
void SendUpdateNotice();

}  // namespace mirvale
