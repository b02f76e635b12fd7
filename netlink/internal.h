// Access to the objects behind an open handle, for the library's tests.
#pragma once
#include <cstdint>
#include <memory>

#include "netlink/handler.h"
#include "netlink/netwindow.h"

namespace netlink {
std::shared_ptr<CNetworkHandler> HandlerOf(std::uint32_t handle);
CNetMainWindow* WindowOf(std::uint32_t handle);
}  // namespace netlink
