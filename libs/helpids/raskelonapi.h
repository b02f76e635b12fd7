// ombrel32: the process-wide table from a window to the context id of its
// help page. Keys are the platform layer's window ids.
#pragma once
#include <cstdint>

#include "platform/win32types.h"

#define RASKELON_EXPORT __attribute__((visibility("default")))

extern "C" {

// 0; -1 when no memory. A key added twice keeps both entries.
RASKELON_EXPORT std::int32_t RASKELONAddHelpID(plat::WindowId key, std::int32_t helpId);
// Removes the oldest entry with key: 0; -1 when there is none.
RASKELON_EXPORT std::int32_t RASKELONDeleteHelpID(plat::WindowId key);
// The help id of the oldest entry with key; -1 when there is none.
RASKELON_EXPORT std::int32_t RASKELONGetHelpID(plat::WindowId key);
// Mode 1: information box, empty text; mode 2: box and version text;
// otherwise the version text only.
RASKELON_EXPORT const char* RASKELONGetVersion(std::int32_t mode);

}  // extern "C"
