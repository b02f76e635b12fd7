// The text-source hook.
#include "platform/textid.h"

#include <atomic>

namespace plat {
namespace {
std::atomic<TextSourceFn> g_source{nullptr};
}

void SetTextSource(TextSourceFn fn) { g_source.store(fn); }

const char* GetText(TextId id) {
  TextSourceFn fn = g_source.load();
  return fn ? fn(id.group, id.entry) : nullptr;
}

const char* GetTextOr(TextId id, const char* fallback) {
  const char* t = GetText(id);
  return t ? t : fallback;
}

}  // namespace plat
