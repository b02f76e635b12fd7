// A heap text with a 16-bit length that counts the terminating zero.
#pragma once
#include <cstddef>
#include <cstdint>

#include "core/objlib/xobject.h"

class XString : public XObject {
 public:
  // The 16-bit length holds at most this many characters plus the zero.
  static constexpr std::size_t kMaxChars = 0xFFFE;

  explicit XString(const char* text = nullptr);  // null counts as ""
  XString(const XString& other);
  XString& operator=(const XString& other);
  ~XString() override;

  int IsEqual(const XObject& other) const override;
  int IsLess(const XObject& other) const override;
  std::uint16_t GetTypeCode() const override { return kXTypeString; }
  const char* GetClassName() const override { return "XString"; }

  virtual std::uint32_t GetHash() const;
  // Null only when memory ran out.
  virtual const char* GetText() const { return text_; }
  // The stored length (with the zero) when greater than 1, else 0.
  virtual std::uint16_t GetLength() const { return length_ > 1 ? length_ : 0; }
  // Takes n characters of text (fewer when text ends earlier; the rest is
  // zero); longer texts are cut to kMaxChars.
  virtual void SetText(const char* text, std::size_t n);
  // At most size bytes, ended at size - 1; 0 for a null buffer, else 1.
  virtual int CopyText(char* buffer, std::size_t size) const;

  // The stored length including the terminating zero (1 for "").
  std::uint16_t RawLength() const { return length_; }

 private:
  void Assign(const char* text, std::size_t n);

  std::uint16_t length_ = 0;
  char* text_ = nullptr;
};
