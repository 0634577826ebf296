#pragma once
// The process-wide state of Net-SNMP: initialised once, reading no configuration, MIB or
// persistent file of its own, logging nothing.
#include <string>

namespace mirvale {

namespace snmp_library {

// Initialises the library on the first call; later calls return at once. Call it before
// starting threads that use SNMP.
void Initialise();

// Removes every user from the library's (process-wide) USM table, so the next SNMPv3 request
// derives its keys from the passwords it is given. Call with the SNMPv3 lock held.
void ForgetUsmUsers();

}  // namespace snmp_library

}  // namespace mirvale
