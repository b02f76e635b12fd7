// Every export of a plug-in runs its body through Guarded: no exception
// crosses into the program. An allocation failure answers 12, any other
// failure 1.
#pragma once
#include <cstdint>
#include <new>

#include "plugins/dllifc.h"

namespace pluginkit {

template <class F>
std::int32_t Guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return DLLIFC_NO_RESOURCE;
  } catch (...) {
    return DLLIFC_FAILED;
  }
}

}  // namespace pluginkit
