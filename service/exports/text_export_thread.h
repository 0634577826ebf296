#pragma once
// The text export: the device database as Mirvale.txt (tab form) or Mirvale.csv (comma form)
// in the export folder. The file is written under a temporary name and renamed into place, so a
// reader never sees half a file and a failed export leaves the previous one whole. It is written
// with the rights of the service's unprivileged account and created 0640 in the operators' group.
#include <optional>
#include <string>
#include <vector>

#include "common/mirvale_doc.h"
#include "service/exports/database_export_rows.h"
#include "service/exports/text_export_format.h"

namespace mirvale {

struct TextExportSettings {
  bool tabForm = false;    // m_bExportText
  bool commaForm = false;  // m_bExportCsv; wins when both are on
  std::string folder;      // m_strExportFolder
};

TextExportSettings TextExportSettingsFrom(const CMirvaleDoc& settings);

struct TextExportTarget {
  std::string path;
  TextExportForm form;
};

// The file to write, or nullopt when neither switch is on.
std::optional<TextExportTarget> ChooseTextExportTarget(const TextExportSettings& settings);

class CConfigurationExportText {
 public:
  // rows: copied from the device database under the data-store lock (CollectExportRows).
  CConfigurationExportText(TextExportSettings settings, std::vector<ExportValueRow> rows);

  // Writes the file; false (after an event-log warning) when it could not be written.
  bool Run() const;

 private:
  TextExportSettings settings_;
  std::vector<ExportValueRow> rows_;
};

}  // namespace mirvale
