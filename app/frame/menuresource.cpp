#include "app/frame/menuresource.h"

#include <QFile>
#include <cctype>
#include <set>

#include "platform/text.h"

namespace {

struct Cursor {
  const std::string& s;
  std::size_t i = 0;
  void Blanks() {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  }
  bool End() {
    Blanks();
    return i >= s.size() || s[i] == '#';
  }
  std::string Word() {
    Blanks();
    std::size_t b = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '"') ++i;
    return s.substr(b, i - b);
  }
  bool Quoted(std::string* out) {
    Blanks();
    if (i >= s.size() || s[i] != '"') return false;
    ++i;
    out->clear();
    while (i < s.size() && s[i] != '"') {
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      out->push_back(s[i++]);
    }
    if (i >= s.size()) return false;
    ++i;
    return true;
  }
};

bool Number(const std::string& w, long max, long* v) {
  if (w.empty() || w.size() > 6) return false;
  for (char c : w)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  *v = plat::AtolC(w.c_str());
  return *v <= max;
}

// "[@g.e] "text"" of an item or popup.
bool TextRef(Cursor& c, int* group, int* entry, std::string* text) {
  c.Blanks();
  if (c.i < c.s.size() && c.s[c.i] == '@') {
    ++c.i;
    std::string ref = c.Word();
    auto dot = ref.find('.');
    long g = 0, e = 0;
    if (dot == std::string::npos || !Number(ref.substr(0, dot), 65535, &g) || !Number(ref.substr(dot + 1), 65535, &e))
      return false;
    *group = static_cast<int>(g);
    *entry = static_cast<int>(e);
  }
  std::string utf8;
  if (!c.Quoted(&utf8)) return false;
  *text = plat::Utf8ToCp1252(utf8);
  return c.End();
}

}  // namespace

bool ParseMenu(const std::string& utf8, MenuDef* out, std::string* error) {
  MenuDef def;
  MenuPopupDef* open = nullptr;
  std::set<plat::UINT> seen;
  std::size_t pos = 0;
  int lineNo = 0;
  auto fail = [&](const char* what) {
    if (error) *error = "line " + std::to_string(lineNo) + ": " + what;
    return false;
  };
  while (pos < utf8.size()) {
    std::size_t nl = utf8.find('\n', pos);
    std::string line = utf8.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? utf8.size() : nl + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Cursor c{line};
    if (c.End()) continue;
    const std::string kind = c.Word();
    if (kind == "popup") {
      if (open) return fail("popup inside a popup");
      def.popups.emplace_back();
      open = &def.popups.back();
      if (!TextRef(c, &open->group, &open->entry, &open->text)) return fail("popup needs [@group.entry] \"text\"");
    } else if (kind == "item") {
      if (!open) return fail("item outside a popup");
      long id = 0;
      if (!Number(c.Word(), 65535, &id) || id == 0) return fail("item needs a command id");
      if (!seen.insert(static_cast<plat::UINT>(id)).second) return fail("command id used twice");
      MenuItemDef item;
      item.command = static_cast<plat::UINT>(id);
      if (!TextRef(c, &item.group, &item.entry, &item.text)) return fail("item needs [@group.entry] \"text\"");
      open->items.push_back(std::move(item));
    } else if (kind == "separator") {
      if (!open) return fail("separator outside a popup");
      if (!c.End()) return fail("text after separator");
      open->items.emplace_back();
    } else if (kind == "end") {
      if (!open) return fail("end without popup");
      if (!c.End()) return fail("text after end");
      open = nullptr;
    } else {
      return fail("unknown statement");
    }
  }
  if (open) return fail("popup without end");
  if (def.popups.empty()) return fail("no popup");
  *out = std::move(def);
  return true;
}

bool LoadMenu(const std::string& deliverable, int id, MenuDef* out, std::string* error) {
  QFile f(QStringLiteral(":/menus/%1/%2.menu").arg(QString::fromStdString(deliverable)).arg(id));
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = "no menu " + deliverable + "/" + std::to_string(id);
    return false;
  }
  const QByteArray all = f.readAll();
  return ParseMenu(std::string(all.constData(), static_cast<std::size_t>(all.size())), out, error);
}
