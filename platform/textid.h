// A text of the language file, named by (group, entry). Every literal text
// id in code is written as TextId(group, entry) so that a test can check
// that the shipped language file holds each one.
#pragma once

namespace plat {

struct TextId {
  int group;
  int entry;
  constexpr TextId(int g, int e) : group(g), entry(e) {}
};

// The program's text source: set once the language file is open. Returns
// the text (Windows-1252) or nullptr when the file lacks it. Library code
// that must not link the text library asks through this hook.
using TextSourceFn = const char* (*)(int group, int entry);
void SetTextSource(TextSourceFn fn);
const char* GetText(TextId id);                       // nullptr when none
const char* GetTextOr(TextId id, const char* fallback);

}  // namespace plat
