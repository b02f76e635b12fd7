#include "phonebook/dialogs/importreader.h"

#include "platform/text.h"
#include "platform/text_tables.h"

namespace pb {

namespace {

// Length of the valid UTF-8 sequence at i, 0 when it is not one.
std::size_t Utf8SequenceAt(const std::string& s, std::size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  std::size_t n;
  char32_t min;
  char32_t cp;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) n = 2, min = 0x80, cp = b & 0x1F;
  else if ((b & 0xF0) == 0xE0) n = 3, min = 0x800, cp = b & 0x0F;
  else if ((b & 0xF8) == 0xF0) n = 4, min = 0x10000, cp = b & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

bool IsValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = Utf8SequenceAt(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::string* out) {
  out->clear();
  out->reserve(bytes.size() / 2);
  const std::size_t n = bytes.size() / 2;
  auto unit = [&](std::size_t k) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[2 * k]);
    const auto b = static_cast<unsigned char>(bytes[2 * k + 1]);
    return bigEndian ? (static_cast<char32_t>(a) << 8 | b) : (static_cast<char32_t>(b) << 8 | a);
  };
  for (std::size_t k = 1; k < n; ++k) {  // unit 0 is the BOM
    char32_t u = unit(k);
    if (u == 0) return false;
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < n) {
      const char32_t lo = unit(k + 1);
      if (lo >= 0xDC00 && lo <= 0xDFFF) {
        u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
        ++k;
      }
    }
    *out += static_cast<char>(plat::detail::UnicodeToCp1252(u));
  }
  return true;
}

}  // namespace

bool DecodeImportText(const std::string& bytes, std::string* text, TextEncoding* encoding) {
  TextEncoding enc = TextEncoding::kCp1252;
  bool ok = true;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    enc = TextEncoding::kUtf16Le;
    ok = DecodeUtf16(bytes, false, text);
  } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF) {
    enc = TextEncoding::kUtf16Be;
    ok = DecodeUtf16(bytes, true, text);
  } else if (bytes.find('\0') != std::string::npos) {
    ok = false;
  } else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    enc = TextEncoding::kUtf8Bom;
    *text = plat::Utf8ToCp1252(bytes.substr(3));
  } else if (IsValidUtf8(bytes)) {
    enc = TextEncoding::kUtf8;
    *text = plat::Utf8ToCp1252(bytes);
  } else {
    *text = bytes;
  }
  if (!ok) text->clear();
  if (encoding) *encoding = enc;
  return ok;
}

void ImportLines::Reset(std::string text, char separator) {
  text_ = std::move(text);
  separator_ = separator;
  Rewind();
}

void ImportLines::Rewind() {
  pos_ = 0;
  line_ = 1;
  physical_ = 0;
  skipped_ = 0;
}

std::size_t ImportLines::ClosingQuote(std::size_t open) const {
  const std::size_t size = text_.size();
  for (std::size_t i = open + 1; i < size; ++i) {
    if (text_[i] != '"') continue;
    if (i + 1 < size && text_[i + 1] == '"') {
      ++i;
      continue;
    }
    // A spreadsheet closes a column right before its end: anything else
    // after the quote means the quote at open was a character.
    if (i + 1 == size || text_[i + 1] == separator_ || text_[i + 1] == '\r' || text_[i + 1] == '\n') return i;
    return std::string::npos;
  }
  return std::string::npos;
}

bool ImportLines::Next(std::vector<std::string>* columns) {
  const std::size_t size = text_.size();
  while (pos_ < size) {
    const std::size_t start = pos_;
    physical_ = line_;
    columns->clear();
    columns->emplace_back();
    bool tooLong = false;
    bool atColumnStart = true;
    std::size_t i = pos_;
    // One record: up to a line end outside quotes.
    for (; i < size; ++i) {
      const char c = text_[i];
      if (i - start > kMaxLine) tooLong = true;
      if (c == '\r' || c == '\n') break;
      if (c == separator_) {
        if (!tooLong) columns->emplace_back();
        atColumnStart = true;
        continue;
      }
      const bool opens = c == '"' && atColumnStart;
      atColumnStart = false;
      const std::size_t close = opens ? ClosingQuote(i) : std::string::npos;
      if (close == std::string::npos) {
        if (!tooLong) columns->back() += c;
        continue;
      }
      // A quoted column, breaks and separators in it included.
      for (++i; i < close; ++i) {
        const char q = text_[i];
        if (i - start > kMaxLine) tooLong = true;
        if (q == '"') {
          ++i;  // the first of two
          if (!tooLong) columns->back() += '"';
        } else if (q == '\r' || q == '\n') {
          if (q == '\r' && i + 1 < close && text_[i + 1] == '\n') ++i;
          ++line_;
          if (!tooLong) columns->back() += "\r\n";
        } else if (!tooLong) {
          columns->back() += q;
        }
      }
    }
    // Past the line end.
    const bool empty = i == start;
    if (i < size) {
      if (text_[i] == '\r' && i + 1 < size && text_[i + 1] == '\n') ++i;
      ++i;
      ++line_;
    }
    pos_ = i;
    if (empty) continue;
    if (tooLong) {
      ++skipped_;
      continue;
    }
    return true;
  }
  columns->clear();
  return false;
}

bool HasNonZeroLeadingDigits(const std::string& number) {
  for (char c : number) {
    if (c < '0' || c > '9') return false;
    if (c != '0') return true;
  }
  return false;
}

}  // namespace pb
