#include "libs/texts/texts_source.h"

#include <atomic>

#include "platform/textid.h"

namespace texolan {
namespace {

// Read by the incoming-call worker too.
std::atomic<VESKOSESSION> g_session{VESKO_NO_SESSION};

const char* ReadText(int group, int entry) {
  const char* t = VESKOAPIGetTextParameter(g_session.load(), group, entry, 0);
  return (t && *t) ? t : nullptr;
}

}  // namespace

void InstallTextSource(VESKOSESSION session) {
  g_session.store(session);
  plat::SetTextSource(session == VESKO_NO_SESSION ? nullptr : &ReadText);
}

VESKOSESSION InstalledTextSession() { return g_session.load(); }

}  // namespace texolan
