#include "service/exports/text_export_thread.h"

#include "platform/folders.h"
#include "platform/run_account.h"
#include "service/host/service_log.h"

namespace mirvale {

TextExportSettings TextExportSettingsFrom(const CMirvaleDoc& settings) {
  return {settings.m_bExportText != 0, settings.m_bExportCsv != 0, settings.m_strExportFolder};
}

std::optional<TextExportTarget> ChooseTextExportTarget(const TextExportSettings& settings) {
  if (settings.commaForm) return TextExportTarget{platform::JoinPath(settings.folder, "Mirvale.csv"), TextExportForm::Comma};
  if (settings.tabForm) return TextExportTarget{platform::JoinPath(settings.folder, "Mirvale.txt"), TextExportForm::Tab};
  return std::nullopt;
}

CConfigurationExportText::CConfigurationExportText(TextExportSettings settings, std::vector<ExportValueRow> rows)
    : settings_(std::move(settings)), rows_(std::move(rows)) {}

bool CConfigurationExportText::Run() const {
  auto target = ChooseTextExportTarget(settings_);
  if (!target) return false;
  if (settings_.folder.empty()) {
    // Not the service's working folder: without a folder there is nowhere meant to write.
    LogServiceWarning("Text export skipped: no export folder is set");
    return false;
  }
  // The folder comes from the settings, which operators write: the file is written with the
  // unprivileged account's rights only, readable by the operators.
  std::string reason;
  if (platform::ReplaceAsRunAccount(target->path, FormatTextExport(rows_, target->form), 0640, reason)) return true;
  LogServiceWarning("Text export to " + target->path + " failed (" + reason + ")");
  return false;
}

}  // namespace mirvale
