// Lets code that does not link texolan32 get texts by plat::TextId: the
// program installs one open session as the platform's text source.
#pragma once
#include "libs/texts/veskoapi.h"

namespace texolan {

// From now on plat::GetText reads from session; VESKO_NO_SESSION removes the
// hook. An empty or unknown text reads as missing (nullptr).
void InstallTextSource(VESKOSESSION session);
VESKOSESSION InstalledTextSession();

}  // namespace texolan
