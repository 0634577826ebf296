#pragma once
// Starts the loopback SMTP sink (peers/smtp_sink.py) for one test and stops it at scope end.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/atomic_file.h"
#include "tests/support/scoped_env.h"

namespace email_testing {

struct ReceivedMail {
  std::string envelope;  // mail_from=, rcpt_to= and login= lines
  std::string content;   // DATA as the sink received it, dot-stuffing undone
};

class SmtpSinkProcess {
 public:
  // Optional AUTH LOGIN credentials the sink will require.
  explicit SmtpSinkProcess(const std::vector<std::string>& credentials = {}) {
    std::vector<std::string> args = {"/usr/bin/python3",
                                     std::string(MIRVALE_SOURCE_DIR) + "/tests/service/peers/smtp_sink.py",
                                     "--out", folder_.path()};
    if (credentials.size() == 2) {
      args.insert(args.end(), {"--user", credentials[0], "--password", credentials[1]});
    }
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(toChild[0], 0);
      dup2(fromChild[1], 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    stdin_ = toChild[1];
    std::string line;
    char c;
    while (read(fromChild[0], &c, 1) == 1 && c != '\n') line += c;
    close(fromChild[0]);
    if (line.rfind("PORT ", 0) == 0) port_ = std::stoi(line.substr(5));
  }

  ~SmtpSinkProcess() {
    if (stdin_ >= 0) close(stdin_);
    if (pid_ <= 0) return;
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

  SmtpSinkProcess(const SmtpSinkProcess&) = delete;
  SmtpSinkProcess& operator=(const SmtpSinkProcess&) = delete;

  int port() const { return port_; }

  // Messages stored so far, in arrival order.
  std::vector<ReceivedMail> Messages() const {
    std::vector<std::string> names;
    for (auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      if (entry.path().extension() == ".env") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<ReceivedMail> mails;
    for (auto& name : names) {
      mails.push_back({platform::ReadWholeFile(folder_ / (name + ".env")).value_or(""),
                       platform::ReadWholeFile(folder_ / (name + ".eml")).value_or("")});
    }
    return mails;
  }

 private:
  testing_support::TempFolder folder_;
  pid_t pid_ = -1;
  int stdin_ = -1;
  int port_ = 0;
};

}  // namespace email_testing
