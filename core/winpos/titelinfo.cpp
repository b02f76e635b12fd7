#include "core/winpos/titelinfo.h"

#include "platform/textid.h"

namespace {
std::string TextOf(plat::TextId id) {
  const char* s = plat::GetText(id);
  return s ? s : "";
}
}  // namespace

// Copied, so the pairs outlive the text session they came from.
CTitelInfo::CTitelInfo()
    : pairs_{{TextOf(plat::TextId(44, 1)), TextOf(plat::TextId(44, 0))},
             {TextOf(plat::TextId(44, 3)), TextOf(plat::TextId(44, 2))},
             {TextOf(plat::TextId(44, 5)), TextOf(plat::TextId(44, 4))},
             {TextOf(plat::TextId(44, 7)), TextOf(plat::TextId(44, 6))}} {}

const char* CTitelInfo::GetTitle(int n) const {
  if (n < 0 || n >= kCount) return "";
  return pairs_[n].first.c_str();
}

const char* CTitelInfo::TranslateTitle(const char* text) const {
  if (!text) return text;
  for (const Pair& p : pairs_)
    if (p.first == text) return p.second.c_str();
  return text;
}
