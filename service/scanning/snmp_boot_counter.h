#pragma once
// The SNMPv3 engine boot counter, kept in a small text file of "<engine identity> <count>"
// lines. Every SNMPv3 request raises the count of the service's engine by one.
#include <cstdint>
#include <optional>
#include <string>

namespace mirvale {

namespace snmp_boot_counter {

// The file's name in the program folder.
inline constexpr const char* kFileName = "snmpv3_boot_counter";

// The stored count of an engine: 0 when the file or the entry is missing, nullopt when the
// file exists but cannot be read or is malformed.
std::optional<uint32_t> Read(const std::string& path, const std::string& engine);

// Stores a count for an engine, keeping the other entries; false when it cannot be written.
bool Save(const std::string& path, const std::string& engine, uint32_t count);

// Reads, adds one and saves; the new count, or nullopt when reading or saving failed.
std::optional<uint32_t> Advance(const std::string& path, const std::string& engine);

}  // namespace snmp_boot_counter

}  // namespace mirvale
