#include "core/calls/calldeps.h"

#include "core/winpos/datetimeformat.h"
#include "core/winpos/titelinfo.h"
#include "core/base/globalconfig.h"

namespace calls_detail {

double PricePerUnit() { return GlobalConfig().PPCU; }
std::string Currency() { return GlobalConfig().CAUN; }
int InternalNumberLength() { return GlobalConfig().IntPhnNumLength; }

std::string TranslateTitle(const std::string& title) {
  // The salutations come from the language file, which may be opened after
  // the first record exists: read them when asked.
  CTitelInfo titles;
  const char* t = titles.TranslateTitle(title.c_str());
  return t ? t : "";
}

std::string FormatTime(std::time_t t, const char* pattern) {
  char buf[128];
  if (!FormatDateTime(t, pattern, buf, sizeof buf)) return {};
  return buf;
}

}  // namespace calls_detail
