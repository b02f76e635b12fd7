// The language text file: groups of numbered texts. Parsing works on the
// raw bytes (Windows-1252); nothing is converted.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace texolan {

struct TextEntry {
  std::int32_t number = 0;
  std::string description;
  std::string text;
};

struct TextGroup {
  std::int32_t number = 0;
  std::string description;
  std::vector<TextEntry> entries;
};

// Results of parsing; 3 to 13 are the file's own errors.
enum ParseResult : int {
  kParseOk = 0,
  kNoFile = 1,
  kNoMemory = 2,
  kEntryOutsideGroup = 3,
  kGroupInGroup = 4,
  kBadGroupNumber = 5,
  kBadGroupDescription = 6,
  kEndWithoutGroup = 7,
  kEndNumberMismatch = 8,
  kTextAfterEnd = 9,
  kOpenGroupAtEnd = 10,
  kBadEntryLine = 11,
  kBadEntryDescription = 12,
  kEmptyEntryText = 13,
};

// A word is a number when every character but its last is a decimal digit;
// the value is that of its leading digits (0 without any). Values beyond the
// 32-bit range saturate.
bool IsNumberWord(std::string_view word, std::int32_t* value);

// Parses a whole file image. On success fills groups (in file order) and
// returns 0; on failure returns the error code and leaves groups empty.
int ParseLanguageText(std::string_view data, std::vector<TextGroup>& groups);

// Reads and parses a file; 1 when it cannot be read.
int ParseLanguageFile(const std::string& path, std::vector<TextGroup>& groups);

// First group / entry with the number, or nullptr.
const TextGroup* FindGroup(const std::vector<TextGroup>& groups, std::int32_t number);
const TextEntry* FindEntry(const TextGroup& group, std::int32_t number);

}  // namespace texolan
