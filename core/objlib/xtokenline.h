// A text line split into column tokens at a separator text: the form in
// which report lines and column templates reach the print library.
#pragma once
#include <cstddef>
#include <string>

#include "core/objlib/xcontainers.h"

class XTokenLine {
 public:
  // Each token keeps at most this many characters.
  static constexpr std::size_t kMaxTokenChars = 127;

  XTokenLine() = default;
  virtual ~XTokenLine() = default;
  XTokenLine(const XTokenLine&) = delete;
  XTokenLine& operator=(const XTokenLine&) = delete;

  // Null selects TAB and returns 0; else 1.
  virtual int SetSeparator(const char* separator);
  // Discards an earlier parse and returns the number of tokens. A text
  // without the separator (or with an empty separator) is one token; an
  // empty text none; a separator at the very end adds no empty token.
  virtual int Parse(const char* text);
  // Token text by index, null when not parsed or missing.
  virtual const char* GetTokenAt(std::size_t index);
  // The same token found by walking the list to that position.
  virtual const char* GetToken(std::size_t position);

  std::size_t GetTokenCount() const { return count_; }
  const std::string& GetSeparator() const { return separator_; }

 private:
  std::string separator_ = "\t";
  XList tokens_{"Tokens"};
  std::size_t count_ = 0;
  bool parsed_ = false;
};
