#include "core/objlib/xstring.h"

#include <cstring>
#include <new>

namespace {
const char* OrEmpty(const char* s) { return s ? s : ""; }
}  // namespace

XString::XString(const char* text) {
  const char* t = OrEmpty(text);
  Assign(t, std::strlen(t));
}

XString::XString(const XString& other) : XObject(other) {
  if (other.text_ && other.length_ > 0) {
    text_ = new (std::nothrow) char[other.length_];
    if (text_) {
      std::memcpy(text_, other.text_, other.length_);
      length_ = other.length_;
    }
  }
}

XString& XString::operator=(const XString& other) {
  if (this == &other) return *this;
  if (!other.text_ || other.length_ == 0) {
    delete[] text_;
    text_ = nullptr;
    length_ = 0;
    return *this;
  }
  if (length_ != other.length_ || !text_) {
    delete[] text_;
    text_ = new (std::nothrow) char[other.length_];
    length_ = text_ ? other.length_ : 0;
  }
  if (text_) std::memcpy(text_, other.text_, other.length_);
  return *this;
}

XString::~XString() { delete[] text_; }

void XString::Assign(const char* text, std::size_t n) {
  if (n > kMaxChars) n = kMaxChars;
  const auto newLength = static_cast<std::uint16_t>(n + 1);
  // text may point into our own buffer (a string cut to its own prefix), so
  // it is measured and copied before the old buffer goes.
  const std::size_t have = text ? strnlen(text, n) : 0;
  char* buf = text_;
  if (newLength != length_ || !text_) {
    buf = new (std::nothrow) char[newLength];
    if (!buf) {
      delete[] text_;
      text_ = nullptr;
      length_ = 0;
      return;
    }
  }
  if (have) std::memmove(buf, text, have);
  std::memset(buf + have, 0, newLength - have);
  if (buf != text_) {
    delete[] text_;
    text_ = buf;
    length_ = newLength;
  }
}

void XString::SetText(const char* text, std::size_t n) { Assign(text, n); }

int XString::CopyText(char* buffer, std::size_t size) const {
  if (!buffer) return 0;
  if (size == 0) return 1;
  std::size_t n = 0;
  if (text_) {
    n = strnlen(text_, length_);
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, text_, n);
  }
  buffer[n] = '\0';
  return 1;
}

std::uint32_t XString::GetHash() const {
  std::uint32_t h = 0;
  if (!text_) return h;
  for (std::size_t i = 0; i < length_; ++i) {
    const std::uint32_t v = (h & 0xFFFFu) ^ static_cast<unsigned char>(text_[i]);
    h = (v << 1) | (v >> 31);
  }
  return h;
}

int XString::IsEqual(const XObject& other) const {
  const std::uint16_t type = other.GetTypeCode();
  const auto* s = dynamic_cast<const XString*>(&other);
  if (!s) return 0;
  if (type == kXTypeString) {
    if (length_ != s->length_) return 0;
    if (length_ == 0) return 1;
    if (!text_ || !s->text_) return text_ == s->text_;
    return std::memcmp(text_, s->text_, length_) == 0 ? 1 : 0;
  }
  if (type == kXTypeText267 || type == kXTypeText268)
    return std::strcmp(OrEmpty(text_), OrEmpty(s->GetText())) == 0 ? 1 : 0;
  return 0;
}

int XString::IsLess(const XObject& other) const {
  if (other.GetTypeCode() != GetTypeCode()) return 0;
  const auto* s = dynamic_cast<const XString*>(&other);
  if (!s) return 0;
  // strcmp orders by unsigned byte value.
  return std::strcmp(OrEmpty(text_), OrEmpty(s->GetText())) < 0 ? 1 : 0;
}
