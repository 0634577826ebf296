// Placeholder entry until the service host lands: creates the data folder and reports.
#include <cstdio>

#include "platform/folders.h"

int MirvaleServiceMain(int, char**) {
  std::string folder = platform::DataFolder(true);
  std::printf("MirvaleSrv: data folder %s\n", folder.c_str());
  return 0;
}
