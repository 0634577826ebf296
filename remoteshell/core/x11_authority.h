#pragma once
// The local X display's own authorisation, which the X11 proxy puts in place of the invented
// one: read from the X authority file ($XAUTHORITY, else ~/.Xauthority).
#include <string>

struct X11Authority {
  std::string name;  // empty when none was found
  std::string data;
};

// The entry for display number `display` on host (empty, "localhost", "unix" or a loopback
// address mean this machine); the first matching entry wins.
X11Authority platform_x11_authority(const std::string& host, int display);
