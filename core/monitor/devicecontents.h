// The watched extensions as the connection viewer plug-in reads them.
#pragma once
#include <cstddef>
#include <string>

class CDeviceContentsInterface {
 public:
  static constexpr std::size_t kFieldBufferSize = 128;
  enum { kOk = 0, kUnknown = 4 };

  virtual ~CDeviceContentsInterface() = default;

  // Number of entries shown.
  virtual int GetCount() = 0;
  // how: 0 first, 1 next, 2 previous, 3 last; returns that entry's number.
  virtual std::string Navigate(int how) = 0;
  // "" outside 0..count-1.
  virtual std::string GetNumberAt(int index) = 0;
  // Field 1 number, 2 title, 3 name, 4 title and name, 5 watch mode,
  // 7 cross-reference id, 14 the current call; others "". The text is cut
  // to size - 1. kUnknown for an unknown number or a field above 16.
  virtual int GetField(const char* number, int field, char* buffer, std::size_t size, int reserved) = 0;
  // Field 5 sets the watch mode; others are ignored.
  virtual int SetField(const char* number, int field, const char* text) = 0;
  virtual int IsReady() = 0;
};
