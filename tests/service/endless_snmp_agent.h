#pragma once
// The agent of peers/endless_snmp_agent.py on port 161 of an address, returned once it answers
// a get. Runs inside the test's network namespace.
#include <memory>
#include <string>
#include <vector>

#include "service/scanning/snmp_client.h"
#include "tests/support/snmp_agent.h"
#include "tests/support/wait_for.h"

namespace testing_support {

inline std::unique_ptr<ChildProcess> StartEndlessSnmpAgent(mirvale::CSnmpClient& client, const std::string& address,
                                                           const std::vector<std::string>& options = {}) {
  std::vector<std::string> argv{"/usr/bin/python3",
                                std::string(MIRVALE_SOURCE_DIR) + "/tests/service/peers/endless_snmp_agent.py", address,
                                "161"};
  argv.insert(argv.end(), options.begin(), options.end());
  auto agent = std::make_unique<ChildProcess>(argv);
  mirvale::SnmpSettings probe;
  probe.m_bSnmpV1 = 1;
  probe.m_strReadCommunity = "public";
  bool answers = WaitFor([&] {
    mirvale::SnmpValueSlot name{"1.3.6.1.2.1.1.5.0", ""};
    return client.Request(mirvale::SnmpRequestMode::Get, address, probe, std::span(&name, 1));
  });
  return answers ? std::move(agent) : nullptr;
}

}  // namespace testing_support
