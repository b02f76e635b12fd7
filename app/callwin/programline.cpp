#include "app/callwin/programline.h"

#include <cstring>

bool IsDialString(const std::string& number) {
  if (number.empty()) return false;
  for (char c : number)
    if (!((c >= '0' && c <= '9') || c == '+' || c == '*' || c == '#')) return false;
  return true;
}

namespace {

std::vector<std::string> SplitWords(const std::string& s) {
  std::vector<std::string> words;
  std::string cur;
  bool quoted = false, inWord = false;
  for (char c : s) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;  // "" is an empty argument of its own
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
      if (inWord) words.push_back(cur);
      cur.clear();
      inWord = false;
    } else {
      cur += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(cur);
  return words;
}

}  // namespace

bool BuildProgramCommand(const std::string& setting, const std::string& number, ProgramCommand* out) {
  *out = ProgramCommand{};
  std::vector<std::string> words = SplitWords(setting);
  if (words.empty() || words.front().empty()) return false;
  out->program = words.front();
  out->args.assign(words.begin() + 1, words.end());
  const std::size_t tokenLen = std::strlen(kRemoteNumberToken);
  for (std::string& a : out->args) {
    std::size_t at = a.find(kRemoteNumberToken);
    if (at == std::string::npos) continue;
    const bool good = IsDialString(number);
    out->numberRefused = !good && !number.empty();
    a.replace(at, tokenLen, good ? number : std::string());
    break;
  }
  return true;
}
