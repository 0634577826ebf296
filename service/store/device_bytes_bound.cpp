#include "service/store/device_bytes_bound.h"

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

namespace mirvale {

namespace {

size_t RecordBytes(const std::string& key, const CDbQuery& value) {
  return key.size() + value.m_strName.size() + value.m_strQueryOid.size() + value.m_strKey.size() +
         value.m_strValue.size() + value.m_strTime.size() + value.m_strPrevValue.size() + value.m_strPrevTime.size();
}

long Seconds(const std::string& text) {
  long seconds = 0;
  std::from_chars(text.data(), text.data() + text.size(), seconds);
  return seconds;
}

}  // namespace

size_t StoredBytes(const CDbItem& device) {
  size_t bytes = device.m_strPool.size() + device.m_strAddress.size() + device.m_strName.size() +
                 device.m_strScanTime.size() + device.m_strStatus.size() + device.m_strInterfaces.size() +
                 device.m_strAddresses.size();
  for (const auto& [key, value] : device.m_pQueries) bytes += RecordBytes(key, *value);
  return bytes;
}

DeviceTrim KeepWithinBound(CDbItem& device, const std::string& scanTime, size_t bound) {
  DeviceTrim trim;
  size_t bytes = StoredBytes(device);
  if (bytes <= bound) return trim;

  std::vector<std::pair<long, std::string>> stale;
  for (const auto& [key, value] : device.m_pQueries)
    if (value->m_strTime != scanTime) stale.emplace_back(Seconds(value->m_strTime), key);
  std::sort(stale.begin(), stale.end());
  for (const auto& [time, key] : stale) {
    if (bytes <= bound) return trim;
    bytes -= RecordBytes(key, *device.m_pQueries.Find(key));
    device.m_pQueries.Remove(key);
    ++trim.staleValues;
  }
  for (auto& [key, value] : device.m_pQueries) {
    if (bytes <= bound) break;
    if (value->m_strPrevValue.empty() && value->m_strPrevTime.empty()) continue;
    bytes -= value->m_strPrevValue.size() + value->m_strPrevTime.size();
    value->m_strPrevValue.clear();
    value->m_strPrevTime.clear();
    ++trim.previousValues;
  }
  return trim;
}

}  // namespace mirvale
