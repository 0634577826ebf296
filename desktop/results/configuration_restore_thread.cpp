#include "desktop/results/configuration_restore_thread.h"

#include "common/settings_file.h"
#include "common/status_texts.h"
#include "desktop/shell/mirvale_app.h"

namespace mirvale {

bool AnyRequestPending(const CMirvaleDoc& doc, const std::set<std::string>& keys) {
  for (const auto& key : keys) {
    const CRestoreItem* request = doc.m_mapRestore.Find(key);
    if (request && request->m_strResult.empty()) return true;
  }
  return false;
}

bool RequestSucceeded(const CMirvaleDoc& doc, const std::string& key) {
  const CRestoreItem* request = doc.m_mapRestore.Find(key);
  return request && request->m_strResult == kRequestSuccessful;
}

CConfigurationRestoreThread::CConfigurationRestoreThread(CMirvaleApp& app, std::set<std::string> keys,
                                                         std::chrono::milliseconds pause, QObject* parent)
    : QThread(parent), app_(app), keys_(std::move(keys)), pause_(pause) {}

CConfigurationRestoreThread::~CConfigurationRestoreThread() { wait(); }

void CConfigurationRestoreThread::run() {
  // The results the caller reads are those of a read made after the last poll that found
  // nothing pending.
  bool pending = true;
  for (;;) {
    CMirvaleDoc fresh;
    if (!DesktopLoadSettings(fresh, app_.ProgramFolder(), app_.Options().fileRetry)) {
      settingsRead_ = false;
      break;
    }
    latest_ = std::move(fresh);
    if (!pending) break;
    QThread::msleep(static_cast<unsigned long>(pause_.count()));
    pending = AnyRequestPending(*latest_, keys_);
  }
  app_.Store().LoadDatabase();
  emit followingEnded();
}

}  // namespace mirvale
