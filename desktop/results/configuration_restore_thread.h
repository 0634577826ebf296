#pragma once
// CConfigurationRestoreThread: follows a set or restore job. It re-reads the settings file once a
// second, each time into a fresh document of its own, until none of the job's own requests waits
// for its result (or the file can no longer be read), reloads the device database, and then says
// so through a queued signal. While requests wait it asks the service's state each time: a
// service that stopped, or that answers nothing for the silence bound, ends the wait, and so does
// the user's Stop. It never touches a widget or the application's document: whoever waits
// connects followingEnded to what closes the wait and then takes the last document read.
#include <QThread>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"

namespace mirvale {

class CMirvaleApp;

// True when a request under one of keys still has no result. A request that is no longer in the
// map waits for nothing (its caller reports it as failed).
bool AnyRequestPending(const CMirvaleDoc& doc, const std::set<std::string>& keys);

// True only when the request under key carries exactly "Successful".
bool RequestSucceeded(const CMirvaleDoc& doc, const std::string& key);

// message, followed by what the service said of each failed request under keys, one per line
// ("127.0.0.1: the device rejected "bogus line""); message alone when it said nothing more.
std::string WithFailureReasons(const std::string& message, const CMirvaleDoc& doc,
                               const std::vector<std::string>& keys);

// How the wait ended while requests still waited for their results.
enum class FollowingEnd {
  Answered,         // every request has its result (or the settings could not be read)
  ServiceStopped,   // nothing listens any more, or the service said it stops
  ServiceSilent,    // the service answered nothing for the silence bound
  Stopped,          // the user stopped waiting
};

class CConfigurationRestoreThread : public QThread {
  Q_OBJECT
 public:
  CConfigurationRestoreThread(CMirvaleApp& app, std::set<std::string> keys,
                              std::chrono::milliseconds pause = std::chrono::milliseconds(1000),
                              QObject* parent = nullptr);
  ~CConfigurationRestoreThread() override;  // waits for the run to end

  // Asks the run to end at its next step (any thread); it still says so through followingEnded.
  void Stop();

  // False when the wait ended because the settings file could not be read.
  bool SettingsRead() const { return settingsRead_; }
  FollowingEnd End() const { return end_; }
  // The last settings read whole (after the run has ended); nothing when none was.
  std::optional<CMirvaleDoc> TakeDocument() { return std::move(latest_); }

 signals:
  void followingEnded();

 protected:
  void run() override;

 private:
  // Sleeps the pause; false when Stop came meanwhile.
  bool Pause();
  // Whether the service is still there to write the results.
  FollowingEnd AskService();

  CMirvaleApp& app_;
  const std::set<std::string> keys_;
  const std::chrono::milliseconds pause_;
  bool settingsRead_ = true;
  FollowingEnd end_ = FollowingEnd::Answered;
  std::optional<CMirvaleDoc> latest_;
  std::chrono::steady_clock::time_point lastAnswer_;
  std::mutex stopLock_;
  std::condition_variable stopAsked_;
  bool stop_ = false;
};

}  // namespace mirvale
