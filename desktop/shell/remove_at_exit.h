#pragma once
// Names this process made and must not leave behind when it ends by exit() without unwinding its
// objects: the toolkit ends the program that way when its display goes away (a logout), so a
// destructor that removes a socket never runs.
#include <string>

namespace mirvale {

// From now on, exit() removes path (unless Forget came first).
void RemoveAtExit(const std::string& path);
// The owner removed path itself, or it belongs to it no longer.
void ForgetAtExit(const std::string& path);

}  // namespace mirvale
