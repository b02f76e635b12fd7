// The phone book's value record and id list, shared by the phone book, the
// call model and the connection viewer plug-in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

// Results of the phone book's abstract interfaces.
enum : int {
  PBS_DONE = 0,           // done
  PBS_NOTHING = 1,        // nothing there
  PBS_NO_DATA = 4,        // value block: no data given
  PBS_FOUND = 5,          // found, or yes
  PBS_NOT_FOUND = 6,      // not found, or no
  PBS_NOT_SUPPORTED = 11, // not supported
  PBS_NO_MEMORY = 12,     // value block: out of memory
};

// Search kinds and parameter ids of a phone book record.
enum : std::uint32_t {
  PBP_NUMBER = 0x10000000,          // phone number (field 9)
  PBP_COMPANY = 0x10000004,         // company (field 1)
  PBP_TITLE_AND_NAME = 0x10000005,  // get: title, blank, name; set: name
  PBP_FLAG_WORD = 0x1000100B,       // the 16-bit value 1
  PBP_SET_COMPANY = 0x10001028,
  PBP_SET_NAME = 0x1000102A,
  PBP_SET_STREET = 0x1000102B,
  PBP_SET_POSTCODE = 0x1000102C,
  PBP_SET_TOWN = 0x1000102D,
  PBP_SET_COUNTRY = 0x1000102E,
  PBP_DEFLECT_NUMBER = 0x10001065,  // target of the individual call treatment
};

// Value codes of a parameter block.
enum : std::uint32_t {
  PBV_TEXT0 = 0x4000,
  PBV_TEXT = 0x4001,
  PBV_WORD = 0x4004,
  PBV_EMPTY = 0x4099,
};

// One value: a code, its length in bytes and an owned copy of the data.
class CDataBaseParam {
 public:
  CDataBaseParam() = default;
  CDataBaseParam(const CDataBaseParam& o) { *this = o; }
  CDataBaseParam& operator=(const CDataBaseParam& o) {
    if (this != &o) {
      if (o.IsEmpty()) Clear();
      else Set(o.code_, o.data_, static_cast<std::int32_t>(o.length_));
    }
    return *this;
  }
  ~CDataBaseParam() { Clear(); }

  // Size that belongs to a code: -1 text (length from the value), -3 a
  // special length the caller must give, 0 unknown.
  static int GetSizeOfCode(std::uint32_t code) {
    switch (code) {
      case 0x4000: case 0x4001: return -1;
      case 0x4002: case 0x4003: return 1;
      case 0x4004: case 0x4005: case 0x4012: case 0x4025: return 2;
      case 0x4006: case 0x4007: case 0x4008: case 0x4010: case 0x4011:
      case 0x4020: case 0x4021: return 4;
      case 0x4009: return 8;
      case 0x4013: return 32;
      case 0x4014: return 64;
      case 0x4015: return 128;
      case 0x4016: return 256;
      case 0x4017: return 512;
      case 0x4018: return 1024;
      case 0x4019: return 2048;
      case 0x4022: case 0x4023: case 0x4024: return -3;
      default: return 0;
    }
  }

  // length -2 takes the code's size; a size or length of -1 means a text of
  // strlen + 1 bytes. Returns PBS_DONE, PBS_NO_DATA or PBS_NO_MEMORY.
  int Set(std::uint32_t code, const void* data, std::int32_t length) {
    Clear();
    if (!data) return PBS_NO_DATA;
    std::int32_t n = length;
    if (n == -2) n = GetSizeOfCode(code);
    if (n == -1)
      n = static_cast<std::int32_t>(std::strlen(static_cast<const char*>(data)) + 1);
    if (n <= 0) return PBS_NO_DATA;
    auto* copy = new (std::nothrow) std::uint8_t[static_cast<std::size_t>(n)];
    if (!copy) return PBS_NO_MEMORY;
    std::memcpy(copy, data, static_cast<std::size_t>(n));
    data_ = copy;
    length_ = static_cast<std::uint32_t>(n);
    code_ = code;
    return PBS_DONE;
  }
  int SetText(const std::string& text) { return Set(PBV_TEXT, text.c_str(), -1); }
  int SetWord(std::int16_t v) { return Set(PBV_WORD, &v, 2); }

  void Clear() {
    delete[] data_;
    data_ = nullptr;
    length_ = 0;
    code_ = PBV_EMPTY;
  }

  bool IsEmpty() const { return code_ == PBV_EMPTY || !data_; }
  std::uint32_t Code() const { return code_; }
  std::uint32_t Length() const { return length_; }
  const std::uint8_t* Data() const { return data_; }

  // The value as a text: at most length - 1 characters, up to the first
  // zero byte; "" for an empty block.
  std::string Text() const {
    if (IsEmpty() || length_ == 0) return {};
    const char* p = reinterpret_cast<const char*>(data_);
    std::size_t max = length_ - 1;
    std::size_t n = 0;
    while (n < max && p[n] != '\0') ++n;
    return std::string(p, n);
  }
  // A 16-bit value; false when the block holds fewer than two bytes.
  bool Word(std::int16_t* out) const {
    if (IsEmpty() || length_ < 2 || !out) return false;
    std::memcpy(out, data_, 2);
    return true;
  }

 private:
  std::uint32_t code_ = PBV_EMPTY;
  std::uint32_t length_ = 0;
  std::uint8_t* data_ = nullptr;
};

// A list of 32-bit ids (sub-field selectors of a parameter).
class CDataBaseIdList {
 public:
  CDataBaseIdList() = default;
  CDataBaseIdList(const CDataBaseIdList&) = delete;
  CDataBaseIdList& operator=(const CDataBaseIdList&) = delete;
  ~CDataBaseIdList() { delete[] ids_; }

  // 0, or PBS_NO_MEMORY.
  int Allocate(std::uint32_t n) {
    delete[] ids_;
    ids_ = nullptr;
    count_ = 0;
    if (n == 0) return 0;
    ids_ = new (std::nothrow) std::uint32_t[n]();
    if (!ids_) return PBS_NO_MEMORY;
    count_ = n;
    return 0;
  }
  // 0, or 1 when there is no such entry.
  int SetAt(std::uint32_t i, std::uint32_t value) {
    if (!ids_ || i >= count_) return 1;
    ids_[i] = value;
    return 0;
  }
  std::uint32_t Count() const { return count_; }
  std::uint32_t At(std::uint32_t i) const { return (ids_ && i < count_) ? ids_[i] : 0; }

 private:
  std::uint32_t count_ = 0;
  std::uint32_t* ids_ = nullptr;
};
