// The pool dialog's two imports over a user's file: MIB modules (the first byte's low bit
// picks writable-only) and device lists. Every query found has a well-formed identifier and a
// name without dots. Names are never resolved here: only numeric addresses are looked up.
#include <dlfcn.h>
#include <netdb.h>

#include "desktop/pools/device_list_import.h"
#include "desktop/pools/mib_import.h"
#include "tests/fuzz/fuzz_file.h"

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
  using Real = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getaddrinfo"));
  addrinfo numeric = hints != nullptr ? *hints : addrinfo{};
  numeric.ai_flags |= AI_NUMERICHOST;
  return real(node, service, &numeric, result);
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  if (size < 1) return 0;
  using namespace mirvale;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  MibImport import;
  import.ReadText(text);
  for (const CQueryItem& query : import.Resolve(data[0] & 1)) {
    if (query.m_strOid.rfind("1.3.6.1.", 0) != 0 || query.m_strOid.back() == '.') __builtin_trap();
    if (query.m_strName.empty() || query.m_strName.find('.') != std::string::npos) __builtin_trap();
  }
  DottedNamesMessage(import.RefusedNames());

  fuzz_support::InputFile file(data + 1, size - 1);
  auto added = ReadDeviceList(file.path(), {});
  if (added)
    for (const std::string& address : *added)
      if (address.empty() || address.find_first_of("\t\r\n;, ") != std::string::npos) __builtin_trap();
  return 0;
}
