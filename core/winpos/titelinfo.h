// The salutation pairs of the language file (text group 44): the title a
// user picks and the form used in a letter's salutation.
#pragma once
#include <cstddef>
#include <string>

class CTitelInfo {
 public:
  static constexpr int kCount = 4;

  // Reads the pairs through the text source; a missing text reads as "".
  CTitelInfo();

  int GetCount() const { return kCount; }
  // First text of pair n (0 to 3), else "".
  const char* GetTitle(int n) const;
  // Second text of the first pair whose first text equals text exactly;
  // any other text comes back as the very same pointer.
  const char* TranslateTitle(const char* text) const;

 private:
  struct Pair {
    std::string first, second;
  };
  Pair pairs_[kCount];
};
