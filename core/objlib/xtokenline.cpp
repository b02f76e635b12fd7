#include "core/objlib/xtokenline.h"

#include <algorithm>
#include <cstring>

int XTokenLine::SetSeparator(const char* separator) {
  if (!separator) {
    separator_.assign(1, '\t');  // assign(1, c): GCC 12 warns falsely on a literal here
    return 0;
  }
  separator_ = separator;
  return 1;
}

int XTokenLine::Parse(const char* text) {
  tokens_.Clear();
  count_ = 0;
  parsed_ = true;
  if (!text || !*text) return 0;

  auto add = [this](const char* from, std::size_t n) {
    auto* token = new XString();
    token->SetText(from, std::min(n, kMaxTokenChars));
    tokens_.Add(token);
    ++count_;
  };

  const std::size_t sepLen = separator_.size();
  const char* cur = text;
  if (sepLen > 0) {
    while (const char* hit = std::strstr(cur, separator_.c_str())) {
      add(cur, static_cast<std::size_t>(hit - cur));
      cur = hit + sepLen;
    }
  }
  if (*cur) add(cur, std::strlen(cur));
  return static_cast<int>(count_);
}

const char* XTokenLine::GetTokenAt(std::size_t index) {
  if (!parsed_) return nullptr;
  const auto* s = dynamic_cast<const XString*>(tokens_.GetAt(index));
  return s ? s->GetText() : nullptr;
}

const char* XTokenLine::GetToken(std::size_t position) {
  if (!parsed_) return nullptr;
  XObject* o = tokens_.First();
  for (std::size_t i = 0; o && i < position; ++i) o = tokens_.Next();
  const auto* s = dynamic_cast<const XString*>(o);
  return s ? s->GetText() : nullptr;
}
