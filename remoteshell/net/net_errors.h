#pragma once
// Message texts of socket error codes (errno values), worded as the client has always shown
// them.

const char* net_error_text(int code);
