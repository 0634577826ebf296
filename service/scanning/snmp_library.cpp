#include "service/scanning/snmp_library.h"

#include <cstdlib>
#include <mutex>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace mirvale {

namespace snmp_library {

void Initialise() {
  static std::once_flag once;
  std::call_once(once, [] {
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_LOAD_HOST_FILES, 1);
    // Identifiers are numeric throughout: no module list and a folder that cannot exist keep
    // every MIB unloaded. This runs before the service starts its threads.
    setenv("MIBS", "", 1);
    netsnmp_set_mib_directory("/dev/null/no-mibs");
    // The library's messages go nowhere: failures reach callers as results.
    snmp_disable_log();
    netsnmp_register_loghandler(NETSNMP_LOGHANDLER_NONE, LOG_EMERG);
    init_snmp("MirvaleSrv");
    static const char engine[] = "Mirvale";
    set_exact_engineID(reinterpret_cast<const u_char*>(engine), sizeof(engine) - 1);
  });
}

void ForgetUsmUsers() {
  while (usmUser* user = usm_get_userList()) {
    usm_remove_user(user);
    usm_free_user(user);
  }
}

}  // namespace snmp_library

}  // namespace mirvale
