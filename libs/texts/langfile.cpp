#include "libs/texts/langfile.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <new>

namespace texolan {
namespace {

constexpr std::string_view kBeginGroup = "BEGIN_GROUP";
constexpr std::string_view kEndGroup = "END_GROUP";
constexpr std::string_view kAssign = "::=";

bool IsSeparator(char c) { return c == ' ' || c == '\t'; }

std::string_view SkipSeparators(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsSeparator(s[i])) ++i;
  return s.substr(i);
}

// Splits s into its first word and what follows the separators after it.
void SplitWord(std::string_view s, std::string_view& word, std::string_view& rest) {
  std::size_t i = 0;
  while (i < s.size() && !IsSeparator(s[i])) ++i;
  word = s.substr(0, i);
  rest = SkipSeparators(s.substr(i));
}

// Braces are stripped by dropping the first and last character, whatever
// they are: stored files were written against exactly that rule.
std::string StripEnds(std::string_view s) {
  if (s.size() < 2) return std::string();
  return std::string(s.substr(1, s.size() - 2));
}

struct Parser {
  std::vector<TextGroup>& groups;
  TextGroup* open = nullptr;

  int GroupLine(std::string_view rest) {
    if (open) return kGroupInGroup;
    std::string_view n, part;
    SplitWord(rest, n, part);
    const std::size_t close = part.find('}');
    if (close != std::string_view::npos && close + 1 < part.size()) return kBadGroupDescription;
    std::string description;
    if (!part.empty()) {
      if (part.front() != '{' && part.back() != '}') return kBadGroupDescription;
      description = StripEnds(part);
    }
    std::int32_t value = 0;
    if (!IsNumberWord(n, &value)) return kBadGroupNumber;
    groups.push_back(TextGroup{value, std::move(description), {}});
    open = &groups.back();
    return kParseOk;
  }

  int EndLine(std::string_view rest) {
    if (!open) return kEndWithoutGroup;
    std::string_view n, after;
    SplitWord(rest, n, after);
    std::int32_t value = 0;
    if (!IsNumberWord(n, &value) || value != open->number) return kEndNumberMismatch;
    if (!after.empty()) return kTextAfterEnd;
    open = nullptr;
    return kParseOk;
  }

  int EntryLine(std::string_view first, std::string_view rest) {
    if (!open) return kEntryOutsideGroup;
    std::int32_t value = 0;
    if (!IsNumberWord(first, &value) || rest.find(kAssign) == std::string_view::npos) return kBadEntryLine;
    const std::size_t close = rest.find('}');
    std::string_view d = rest, t;
    if (close != std::string_view::npos) {
      d = rest.substr(0, close + 1);
      t = rest.substr(close + 1);
    }
    TextEntry entry;
    entry.number = value;
    if (t.empty()) {
      if (d.front() == '{' && d.back() != '}') return kBadEntryDescription;
      const std::size_t at = d.find(kAssign);
      // Only a "}" can end d without the whole remainder being d, and then t
      // would not be empty: so the "::=" the remainder holds lies in d.
      entry.text = std::string(d.substr(at + kAssign.size()));
      if (entry.text.empty()) return kEmptyEntryText;
    } else {
      if (d.front() != '{') return kBadEntryDescription;
      entry.description = StripEnds(d);
      t = SkipSeparators(t);
      const std::size_t at = t.find(kAssign);
      if (at != std::string_view::npos) entry.text = std::string(t.substr(at + kAssign.size()));
    }
    open->entries.push_back(std::move(entry));
    return kParseOk;
  }

  int Line(std::string_view line) {
    std::string_view first, rest;
    SplitWord(SkipSeparators(line), first, rest);
    if (first.empty()) return kParseOk;
    if (first == kBeginGroup) return GroupLine(rest);
    if (first == kEndGroup) return EndLine(rest);
    return EntryLine(first, rest);
  }
};

}  // namespace

bool IsNumberWord(std::string_view word, std::int32_t* value) {
  for (std::size_t i = 0; i + 1 < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
  }
  std::int64_t v = 0;
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  for (char c : word) {
    if (c < '0' || c > '9') break;
    v = v * 10 + (c - '0');
    if (v > kMax) v = kMax;
  }
  if (value) *value = static_cast<std::int32_t>(v);
  return true;
}

int ParseLanguageText(std::string_view data, std::vector<TextGroup>& groups) {
  groups.clear();
  int result = kParseOk;
  try {
    Parser p{groups};
    std::size_t pos = 0;
    while (pos < data.size() && result == kParseOk) {
      std::size_t nl = data.find('\n', pos);
      std::string_view line;
      if (nl == std::string_view::npos) {
        line = data.substr(pos);
        pos = data.size();
      } else {
        line = data.substr(pos, nl - pos);
        pos = nl + 1;
        // Files written on Windows end their lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      }
      result = p.Line(line);
    }
    if (result == kParseOk && p.open) result = kOpenGroupAtEnd;
  } catch (const std::bad_alloc&) {
    result = kNoMemory;
  }
  if (result != kParseOk) std::vector<TextGroup>().swap(groups);
  return result;
}

int ParseLanguageFile(const std::string& path, std::vector<TextGroup>& groups) {
  groups.clear();
  std::string data;
  try {
    std::ifstream in(path, std::ios::binary);
    if (!in) return kNoFile;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return kNoFile;
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  return ParseLanguageText(data, groups);
}

const TextGroup* FindGroup(const std::vector<TextGroup>& groups, std::int32_t number) {
  for (const TextGroup& g : groups) {
    if (g.number == number) return &g;
  }
  return nullptr;
}

const TextEntry* FindEntry(const TextGroup& group, std::int32_t number) {
  for (const TextEntry& e : group.entries) {
    if (e.number == number) return &e;
  }
  return nullptr;
}

}  // namespace texolan
