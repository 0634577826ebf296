#include "service/host/update_notice.h"

#include "platform/notice_socket.h"

namespace mirvale {

void SendUpdateNotice() { platform::SendNotice(kUpdateDatabaseNotice); }

}  // namespace mirvale
