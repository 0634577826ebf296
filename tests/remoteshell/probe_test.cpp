// Runs the probe program against a loopback echo server written in Python.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/atomic_file.h"
#include "tests/support/scoped_env.h"

extern char** environ;

namespace {

std::string run_and_read(const std::string& command, int* status) {
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[256];
  while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  *status = pipe != nullptr ? pclose(pipe) : -1;
  return output;
}

TEST(Probe, EchoesThroughTheNetworkLayerAndLogsTheConnection) {
  testing_support::TempFolder folder;
  testing_support::ScopedEnv runAccount{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the log
  int to_test[2];
  ASSERT_EQ(pipe(to_test), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_test[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, to_test[0]);
  std::string script = std::string(MIRVALE_SOURCE_DIR) + "/tests/remoteshell/probe/echo_server.py";
  char* arguments[] = {const_cast<char*>("/usr/bin/python3"), script.data(), nullptr};
  pid_t server = 0;
  ASSERT_EQ(posix_spawn(&server, "/usr/bin/python3", &actions, nullptr, arguments, environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(to_test[1]);
  FILE* server_output = fdopen(to_test[0], "r");
  char port_line[32] = {};
  ASSERT_NE(std::fgets(port_line, sizeof port_line, server_output), nullptr);
  int port = std::atoi(port_line);
  ASSERT_GT(port, 0);

  std::string log = folder / "probe.log";
  std::string probe = std::string(MIRVALE_BINARY_DIR) + "/bin/remoteshell_probe";
  int status = 0;
  std::string output =
      run_and_read(probe + " 127.0.0.1 " + std::to_string(port) + " 'show running-config' " + log, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "show running-config\n");

  int server_status = 0;
  if (waitpid(server, &server_status, WNOHANG) == 0) {
    kill(server, SIGTERM);
    waitpid(server, &server_status, 0);
  }
  std::fclose(server_output);

  std::string text = platform::ReadWholeFile(log).value_or("");
  EXPECT_NE(text.find("Event Log: Looking up host \"127.0.0.1\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Event Log: Connecting to 127.0.0.1 port " + std::to_string(port) + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("Event Log: Received "), std::string::npos);
  EXPECT_NE(text.find("Event Log: Echo complete\r\n"), std::string::npos);
}

TEST(Probe, RefusedPortIsLoggedAndFails) {
  testing_support::TempFolder folder;
  testing_support::ScopedEnv runAccount{"MIRVALE_RUN_ACCOUNT", "root"};  // whose rights write the log
  std::string log = folder / "refused.log";
  std::string probe = std::string(MIRVALE_BINARY_DIR) + "/bin/remoteshell_probe";
  // Port 9 (discard) on 127.0.0.3: nothing listens there in a test machine's loopback.
  int status = 0;
  run_and_read(probe + " 127.0.0.3 9 hello " + log, &status);
  EXPECT_NE(status, 0);
  std::string text = platform::ReadWholeFile(log).value_or("");
  EXPECT_NE(text.find("Network error: Connection refused"), std::string::npos) << text;
}

}  // namespace
