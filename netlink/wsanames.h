#pragma once

namespace netlink {
// The WinSock name of an error code, "unknown error" for any other code.
const char* WsaErrorName(int code);
}  // namespace netlink
