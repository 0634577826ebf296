#pragma once
// A settings file that holds as many records of each class as the service keeps: 65,536 pools
// with four devices and four queries each, 262,144 restore requests, 65,536 actions and 65,536
// automatic scans, every text empty but the keys (about 21 MiB).
#include <string>

#include "common/settings_file.h"

namespace archive_test {

inline std::string SettingsAtEveryCap() {
  mirvale::CMirvaleDoc doc;
  mirvale::ApplyServiceDefaults(doc);
  for (int i = 0; i < 65536; ++i) {
    const std::string name = std::to_string(i);
    mirvale::CPoolItem& pool = doc.m_mapPools.FindOrAdd(name);
    for (int j = 0; j < 4; ++j) {
      pool.m_pDevices.FindOrAdd(std::to_string(j));
      pool.m_pQueries.FindOrAdd(std::to_string(j));
      doc.m_mapRestore.FindOrAdd(std::to_string(i * 4 + j));
    }
    doc.m_mapActions.FindOrAdd(name);
    doc.m_mapAutoScan.FindOrAdd(name);
  }
  return mirvale::EncodeSettings(doc);
}

}  // namespace archive_test
