#pragma once
// The fields of the three protocol dialogs (shell, SNMP v1/v2c, SNMPv3): what each shows for a
// pool image, what its OK refuses, and what it writes back. OK leaves exactly one protocol flag.
#include <cstdint>
#include <optional>
#include <string>

#include "common/pool_records.h"

namespace mirvale {

struct ShellForm {
  uint32_t timeout = 3;
  uint32_t retries = 1;
  bool ssh = false;
  std::string port = "23";
  std::string user, password, privilegedCommand, privilegedPassword;
  std::string backup = "show running-config\\r";
  std::string restoreStart = "config terminal\\r";
  std::string restoreEnd = "CNTL/Z";
  bool restoreSaveOn = true;
  std::string restoreSave = "write memory\\r";

  static ShellForm FromPool(const CPoolItem& pool);
  std::optional<std::string> Refuse() const;
  void Store(CPoolItem& pool) const;
};

struct SnmpV1Form {
  uint32_t timeout = 1;
  uint32_t retries = 1;
  std::string readCommunity, writeCommunity;

  static SnmpV1Form FromPool(const CPoolItem& pool);
  std::optional<std::string> Refuse() const;
  void Store(CPoolItem& pool) const;
};

struct SnmpV3Form {
  uint32_t timeout = 1;
  uint32_t retries = 1;
  std::string securityName, contextName, contextEngineId, authPassword, privacyPassword;
  uint32_t authProtocol = 1;     // 1 "None", 2 "MD5", 3 "SHA"
  uint32_t privacyProtocol = 1;  // 1 "None", 2 "DES", 3 "3DES"

  static SnmpV3Form FromPool(const CPoolItem& pool);
  std::optional<std::string> Refuse() const;
  void Store(CPoolItem& pool) const;
};

// Up-down positions: 1 to 999.
uint32_t ClampSpin(uint32_t value);

}  // namespace mirvale
