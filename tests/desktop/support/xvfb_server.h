#pragma once
// A private X server for screenshots: Xvfb on the first free display (it reports the number
// through -displayfd), no TCP listener, 1280 x 800 in 24-bit colour; ended with the object.
#include <string>

#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

class XvfbServer {
 public:
  XvfbServer();
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool Running() const { return !display_.empty(); }
  const std::string& DisplayName() const { return display_; }  // ":N"

 private:
  pid_t pid_ = -1;
  std::string display_;
};

inline XvfbServer::XvfbServer() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    close(pipeFds[0]);
    const std::string fd = std::to_string(pipeFds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  std::string number;
  pollfd reading{pipeFds[0], POLLIN, 0};
  char digit;
  while (pid_ > 0 && poll(&reading, 1, 20000) == 1 && read(pipeFds[0], &digit, 1) == 1 && digit != '\n')
    number += digit;
  close(pipeFds[0]);
  if (!number.empty()) display_ = ":" + number;
}

inline XvfbServer::~XvfbServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace testing_support
