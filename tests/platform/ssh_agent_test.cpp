// The agent client against a scripted agent on a Unix socket: what it answers, and how
// malformed, oversized or missing answers come back as no reply.
#include "platform/ssh_agent.h"

#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/unix_socket.h"
#include "tests/support/scoped_env.h"

namespace {

using testing_support::ScopedEnv;
using testing_support::TempFolder;

// Accepts one connection, reads the request's length field and body, then sends `answer`
// (or nothing, keeping the connection open until the test ends).
class ScriptedAgent {
 public:
  explicit ScriptedAgent(std::string answer, bool silent = false) : answer_(std::move(answer)) {
    listener_ = platform::ListenUnixStream(path(), 0600, 1);
    thread_ = std::thread([this, silent] {
      // Connections that send nothing (a presence check) are passed over.
      while (!done_) {
        platform::UniqueFd client(accept(listener_.get(), nullptr, nullptr));
        unsigned char head[4];
        if (!client) return;
        if (!platform::ReceiveExactly(client.get(), head, 4, 5000)) continue;
        std::string body(static_cast<size_t>(head[3]), '\0');
        if (!platform::ReceiveExactly(client.get(), body.data(), body.size(), 5000)) continue;
        request_ = body;
        if (!silent) platform::SendAll(client.get(), answer_.data(), answer_.size());
        while (!done_) usleep(1000);
      }
    });
  }
  ~ScriptedAgent() {
    done_ = true;
    shutdown(listener_.get(), SHUT_RDWR);
    thread_.join();
  }
  std::string path() const { return folder_ / "agent.sock"; }
  std::string request() const { return request_; }

 private:
  TempFolder folder_;
  std::string answer_;
  std::string request_;
  std::atomic<bool> done_{false};
  platform::UniqueFd listener_;
  std::thread thread_;
};

std::string Query(const std::string& request, int timeout_ms = kAgentTimeoutMs) {
  void* reply = nullptr;
  int length = -1;
  agent_query_within(request.data(), static_cast<int>(request.size()), &reply, &length, timeout_ms);
  std::string text(static_cast<const char*>(reply), reply != nullptr ? static_cast<size_t>(length) : 0);
  if (reply == nullptr) {
    EXPECT_EQ(length, 0);
  }
  agent_free_reply(reply, length);
  return text;
}

const std::string kIdentities("\0\0\0\1\x0b", 5);

TEST(SshAgent, AnswersComeWholeAndEverythingElseIsNoReply) {
  {
    ScopedEnv none("SSH_AUTH_SOCK", "");
    EXPECT_EQ(agent_exists(), 0);
    void* reply = &reply;
    int length = -1;
    EXPECT_EQ(agent_query(kIdentities.data(), 5, &reply, &length, nullptr, nullptr), 1);
    EXPECT_EQ(reply, nullptr);
    EXPECT_EQ(length, 0);
  }
  {
    ScriptedAgent agent(std::string("\0\0\0\5\x0c\0\0\0\0", 9));
    ScopedEnv socket("SSH_AUTH_SOCK", agent.path());
    EXPECT_EQ(Query(kIdentities), std::string("\0\0\0\5\x0c\0\0\0\0", 9));
    EXPECT_EQ(agent.request(), "\x0b");
  }
  {
    ScriptedAgent agent(std::string("\0\0\0\0", 4));  // a zero length field: four bytes
    ScopedEnv socket("SSH_AUTH_SOCK", agent.path());
    EXPECT_EQ(Query(kIdentities), std::string("\0\0\0\0", 4));
  }
  {
    ScriptedAgent agent(std::string("\x7f\xff\xff\xff\x0c", 5));  // announces 2 GiB
    ScopedEnv socket("SSH_AUTH_SOCK", agent.path());
    EXPECT_EQ(Query(kIdentities), "");
  }
  {
    ScriptedAgent agent(std::string("\0\0\0\x10\x0c", 5));  // shorter than announced, then closed
    ScopedEnv socket("SSH_AUTH_SOCK", agent.path());
    EXPECT_EQ(Query(kIdentities, 300), "");
  }
}

TEST(SshAgent, AnAgentThatNeverAnswersIsGivenUpAfterTheTimeOut) {
  ScriptedAgent agent("", true);
  ScopedEnv socket("SSH_AUTH_SOCK", agent.path());
  EXPECT_EQ(agent_exists(), 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Query(kIdentities, 300), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

}  // namespace
