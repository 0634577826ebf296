#pragma once
// A window manager (openbox) on a private X display, as a user's desktop has one: it decorates,
// places and focuses the program's windows. Link the test with xcb.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace testing_support {

inline xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::char_traits<char>::length(name)), name),
      nullptr);
  const xcb_atom_t atom = reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

class WindowManager {
 public:
  explicit WindowManager(const std::string& display) {
    pid_ = fork();
    if (pid_ == 0) {
      setenv("DISPLAY", display.c_str(), 1);
      execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      _exit(127);
    }
    // Managing once it names itself on the root window.
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t check = InternAtom(connection, "_NET_SUPPORTING_WM_CHECK");
    for (int tries = 0; tries < 200 && !running_; ++tries) {
      xcb_get_property_reply_t* reply = xcb_get_property_reply(
          connection, xcb_get_property(connection, 0, root, check, XCB_ATOM_WINDOW, 0, 1), nullptr);
      running_ = reply && xcb_get_property_value_length(reply) > 0;
      std::free(reply);
      if (!running_) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    xcb_disconnect(connection);
  }
  ~WindowManager() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  bool Running() const { return running_; }

 private:
  pid_t pid_ = -1;
  bool running_ = false;
};

}  // namespace testing_support
