// A window position (show state and rectangle) and its two text forms:
// "%d:%d,%d,%d,%d" with the show state, "%d,%d,%d,%d" without.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class CWndPosition {
 public:
  enum { kWithShowState = 0, kRectOnly = 1 };

  std::int16_t showState = 0;  // 1 to 10, the platform's show commands
  std::int16_t left = 0;
  std::int16_t top = 0;
  std::int16_t right = 0;
  std::int16_t bottom = 0;

  // Mode 1 writes the rectangle, any other mode show state and rectangle.
  // At most size characters, always ended within the buffer. Returns 1.
  int ToText(char* buffer, std::size_t size, int mode) const;
  std::string ToText(int mode) const;
  // Reads what the text supplies; the rest keeps its value. A show state
  // outside 1 to 10 is not taken. Each number lands in its 16-bit field
  // (cut to the low 16 bits like a plain int-to-short store). Returns 1.
  int FromText(const char* text, int mode);
};
