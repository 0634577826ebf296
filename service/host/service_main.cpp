// The program entry of MirvaleSrv: a command-line word registers or unregisters the program;
// without one it runs the service in the foreground.
#include "service/host/command_line.h"
#include "service/host/service_host.h"
#include "service/host/service_registration.h"

int MirvaleServiceMain(int argc, char** argv) {
  using mirvale::CommandWord;
  switch (mirvale::FindCommandWord(mirvale::JoinArguments(argc, argv))) {
    case CommandWord::UnregServer: return mirvale::UnregisterServer();
    case CommandWord::RegServer: return mirvale::RegisterServer(false);
    case CommandWord::Service: return mirvale::RegisterServer(true);
    case CommandWord::None: break;
  }
  static mirvale::CServiceHost host;
  return host.Run(mirvale::RegisteredAsService());
}
