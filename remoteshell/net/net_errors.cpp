#include "remoteshell/net/net_errors.h"

#include <cerrno>

const char* net_error_text(int code) {
  switch (code) {
    case EINTR: return "Network error: Interrupted function call";
    case EACCES:
    case EPERM: return "Network error: Permission denied";
    case EFAULT: return "Network error: Bad address";
    case EINVAL: return "Network error: Invalid argument";
    case EMFILE:
    case ENFILE: return "Network error: Too many open files";
    case EAGAIN: return "Network error: Resource temporarily unavailable";
    case EINPROGRESS: return "Network error: Operation now in progress";
    case EALREADY: return "Network error: Operation already in progress";
    case ENOTSOCK:
    case EBADF: return "Network error: Socket operation on non-socket";
    case EDESTADDRREQ: return "Network error: Destination address required";
    case EMSGSIZE: return "Network error: Message too long";
    case EPROTOTYPE: return "Network error: Protocol wrong type for socket";
    case ENOPROTOOPT: return "Network error: Bad protocol option";
    case EPROTONOSUPPORT: return "Network error: Protocol not supported";
    case ESOCKTNOSUPPORT: return "Network error: Socket type not supported";
    case EOPNOTSUPP: return "Network error: Operation not supported";
    case EPFNOSUPPORT: return "Network error: Protocol family not supported";
    case EAFNOSUPPORT: return "Network error: Address family not supported by protocol family";
    case EADDRINUSE: return "Network error: Address already in use";
    case EADDRNOTAVAIL: return "Network error: Cannot assign requested address";
    case ENETDOWN: return "Network error: Network is down";
    case ENETUNREACH: return "Network error: Network is unreachable";
    case ENETRESET: return "Network error: Network dropped connection on reset";
    case ECONNABORTED: return "Network error: Software caused connection abort";
    case ECONNRESET:
    case EPIPE: return "Network error: Connection reset by peer";
    case ENOBUFS:
    case ENOMEM: return "Network error: No buffer space available";
    case EISCONN: return "Network error: Socket is already connected";
    case ENOTCONN: return "Network error: Socket is not connected";
    case ESHUTDOWN: return "Network error: Cannot send after socket shutdown";
    case ETIMEDOUT: return "Network error: Connection timed out";
    case ECONNREFUSED: return "Network error: Connection refused";
    case EHOSTDOWN: return "Network error: Host is down";
    case EHOSTUNREACH: return "Network error: No route to host";
    default: return "Unknown network error";
  }
}
