// Reading the text files users import: the encodings spreadsheet and mail
// programs write (UTF-8 with or without BOM, UTF-16 with BOM, Windows-1252),
// any line end, and columns split at the separator outside double quotes.
// Everything comes out in Windows-1252. No widgets, no database.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pb {

enum class TextEncoding { kCp1252, kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be };

// The file's bytes as Windows-1252 (characters it lacks become "?").
// False for a binary file: a NUL byte outside UTF-16 (or a NUL character).
bool DecodeImportText(const std::string& bytes, std::string* text, TextEncoding* encoding = nullptr);

// The lines of a decoded text, each split into columns. A column that
// begins with a double quote runs to its closing quote ("" is one quote),
// which is followed by a separator, a line end or the end of the text;
// separators and line breaks inside it belong to it, a quoted break comes
// out as CR LF. A quote that does not close so is a character, and its
// column ends at the next separator or line end like any other: one broken
// line never swallows the lines after it. Empty lines are no records. A
// line longer than kMaxLine is skipped and counted.
class ImportLines {
 public:
  static constexpr std::size_t kMaxLine = 1024 * 1024;

  ImportLines() = default;
  ImportLines(std::string text, char separator) { Reset(std::move(text), separator); }
  void Reset(std::string text, char separator);
  void SetSeparator(char separator) { separator_ = separator; }
  char Separator() const { return separator_; }

  void Rewind();
  // The next line that holds a record; false at the end.
  bool Next(std::vector<std::string>* columns);
  // Lines skipped for their length since the last Rewind.
  std::size_t Skipped() const { return skipped_; }
  // The physical line (from 1) where the last record began.
  std::size_t PhysicalLine() const { return physical_; }

 private:
  // The closing quote of a column opened by the quote at open; npos when
  // it never closes as a spreadsheet closes one.
  std::size_t ClosingQuote(std::size_t open) const;

  std::string text_;
  char separator_ = '\t';
  std::size_t pos_ = 0;
  std::size_t line_ = 1;      // physical line at pos_
  std::size_t physical_ = 0;
  std::size_t skipped_ = 0;
};

// The leading digits of a number hold one that is not 0 (a number of any
// length; no overflow).
bool HasNonZeroLeadingDigits(const std::string& number);

}  // namespace pb
