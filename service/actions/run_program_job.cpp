#include "service/actions/run_program_job.h"

#include "service/actions/run_program_thread.h"

namespace mirvale {

void RunProgramAction(const RunActionRequest& request) {
  CConfigurationRunThread(request.program, request.arguments, request.user, request.domain, request.password).Run();
}

}  // namespace mirvale
