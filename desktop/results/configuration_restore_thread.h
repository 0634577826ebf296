#pragma once
// CConfigurationRestoreThread: follows a set or restore job. It re-reads the settings file once a
// second, each time into a fresh document of its own, until none of the job's own requests waits
// for its result (or the file can no longer be read), reloads the device database, and then says
// so through a queued signal. It never touches a widget or the application's document: whoever
// waits connects followingEnded to what closes the wait and then takes the last document read.
#include <QThread>
#include <chrono>
#include <optional>
#include <set>
#include <string>

#include "common/mirvale_doc.h"

namespace mirvale {

class CMirvaleApp;

// True when a request under one of keys still has no result. A request that is no longer in the
// map waits for nothing (its caller reports it as failed).
bool AnyRequestPending(const CMirvaleDoc& doc, const std::set<std::string>& keys);

// True only when the request under key carries exactly "Successful".
bool RequestSucceeded(const CMirvaleDoc& doc, const std::string& key);

class CConfigurationRestoreThread : public QThread {
  Q_OBJECT
 public:
  CConfigurationRestoreThread(CMirvaleApp& app, std::set<std::string> keys,
                              std::chrono::milliseconds pause = std::chrono::milliseconds(1000),
                              QObject* parent = nullptr);
  ~CConfigurationRestoreThread() override;  // waits for the run to end

  // False when the wait ended because the settings file could not be read.
  bool SettingsRead() const { return settingsRead_; }
  // The last settings read whole (after the run has ended); nothing when none was.
  std::optional<CMirvaleDoc> TakeDocument() { return std::move(latest_); }

 signals:
  void followingEnded();

 protected:
  void run() override;

 private:
  CMirvaleApp& app_;
  const std::set<std::string> keys_;
  const std::chrono::milliseconds pause_;
  bool settingsRead_ = true;
  std::optional<CMirvaleDoc> latest_;
};

}  // namespace mirvale
