#include "platform/dialogkit/dlgtemplate.h"

#include <QFile>
#include <QDir>
#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "platform/text.h"

namespace plat::dlg {
namespace {

struct Token {
  std::string text;
  bool quoted = false;
};

bool Tokenize(const std::string& line, std::vector<Token>* out, std::string* why) {
  std::size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
    if (c == '#') break;
    Token t;
    if (c == '"') {
      t.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char d = line[i++];
        if (d == '\\' && i < line.size()) {
          char e = line[i++];
          t.text += e == 't' ? '\t' : e == 'n' ? '\n' : e;
        } else if (d == '"') {
          closed = true;
          break;
        } else {
          t.text += d;
        }
      }
      if (!closed) { *why = "unterminated text"; return false; }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"')
        t.text += line[i++];
    }
    out->push_back(std::move(t));
  }
  return true;
}

bool ParseInt(const std::string& s, int* v) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  *v = plat::AtoiC(s.c_str());
  return true;
}

bool ParseTextId(const std::string& s, int* g, int* e) {
  if (s.size() < 4 || s[0] != '@') return false;
  auto dot = s.find('.');
  if (dot == std::string::npos) return false;
  return ParseInt(s.substr(1, dot - 1), g) && ParseInt(s.substr(dot + 1), e);
}

const std::map<std::string, Kind>& ControlWords() {
  static const std::map<std::string, Kind> m = {
      {"button", Kind::Button}, {"default", Kind::DefButton}, {"check", Kind::Check},
      {"radio", Kind::Radio},   {"edit", Kind::Edit},         {"multiedit", Kind::MultiEdit},
      {"static", Kind::Static}, {"list", Kind::List},         {"tablist", Kind::TabList},
      {"combo", Kind::Combo},   {"droplist", Kind::DropList}, {"icon", Kind::Icon},
      {"progress", Kind::Progress}, {"group", Kind::Group}, {"tree", Kind::Tree},
      {"tabs", Kind::Tabs}};
  return m;
}

// Options after the id, text id and text. Returns "" or the complaint.
std::string ApplyOption(Node* n, const std::string& opt) {
  auto eq = opt.find('=');
  std::string key = opt.substr(0, eq);
  std::string val = eq == std::string::npos ? "" : opt.substr(eq + 1);
  bool hasVal = eq != std::string::npos;
  auto number = [&](int* dst) -> std::string {
    if (!hasVal || !ParseInt(val, dst)) return "option " + key + " needs a number";
    return "";
  };
  if (!hasVal) {
    if (key == "hidden") n->hidden = true;
    else if (key == "disabled") n->disabled = true;
    else if (key == "first") n->first = true;
    else if (key == "readonly") n->readOnly = true;
    else if (key == "number") n->number = true;
    else if (key == "wantreturn") n->wantReturn = true;
    else if (key == "vscroll") n->vscroll = true;
    else if (key == "sort") n->sort = true;
    else if (key == "bold") n->bold = true;
    else if (key == "wrap") n->wrap = true;
    else if (key == "right") n->right = true;
    else if (n->kind == Kind::Group && key == "row") n->layout = Kind::Row;
    else if (n->kind == Kind::Group && key == "column") n->layout = Kind::Column;
    else if (n->kind == Kind::Group && key == "grid") n->layout = Kind::Grid;
    else return "unknown option " + key;
    return "";
  }
  if (key == "width") return number(&n->width);
  if (key == "lines") return number(&n->lines);
  if (key == "max") return number(&n->maxLength);
  if (key == "span") {
    std::string r = number(&n->span);
    return r.empty() && n->span < 1 ? "span must be at least 1" : r;
  }
  if (key == "cols") {
    std::string r = number(&n->columns);
    return r.empty() && n->columns < 1 ? "cols must be at least 1" : r;
  }
  auto numbers = [&](std::vector<int>* out) -> std::string {
    std::size_t p = 0;
    while (p <= val.size()) {
      auto comma = val.find(',', p);
      std::string part = val.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
      int v = 0;
      if (!ParseInt(part, &v)) return key + " needs numbers separated by commas";
      out->push_back(v);
      if (comma == std::string::npos) break;
      p = comma + 1;
    }
    return "";
  };
  if (key == "tabs") {
    std::string r = numbers(&n->tabs);
    for (std::size_t i = 1; r.empty() && i < n->tabs.size(); ++i)
      if (n->tabs[i] <= n->tabs[i - 1]) r = "tab stops must rise";
    return r;
  }
  if (key == "heads") return numbers(&n->heads);
  if (key == "fields") return numbers(&n->fields);
  return "unknown option " + key;
}

void Walk(const Node& n, const std::function<void(const Node&)>& fn) {
  for (const Node& c : n.children) {
    if (!c.IsContainer() || c.kind == Kind::Group) fn(c);
    Walk(c, fn);
  }
}

}  // namespace

void Template::ForEachControl(const std::function<void(const Node&)>& fn) const { Walk(root, fn); }

const Node* Template::Find(int controlId) const {
  const Node* found = nullptr;
  ForEachControl([&](const Node& n) {
    if (!found && n.id == controlId && controlId >= 0) found = &n;
  });
  return found;
}

bool ParseTemplate(const std::string& utf8, Template* out, std::string* error) {
  Template t;
  t.root.kind = Kind::Column;
  std::vector<Node*> stack{&t.root};
  bool haveHeader = false;
  std::set<int> ids;
  int lineNo = 0;
  std::size_t pos = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = plat::StrFormatC("line %d", lineNo) + ": " + why;
    return false;
  };
  while (pos < utf8.size()) {
    auto nl = utf8.find('\n', pos);
    std::string line = utf8.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? utf8.size() : nl + 1;
    ++lineNo;
    std::vector<Token> tok;
    std::string why;
    if (!Tokenize(line, &tok, &why)) return fail(why);
    if (tok.empty()) continue;
    if (tok[0].quoted) return fail("a line must start with a word");
    const std::string& word = tok[0].text;

    if (!haveHeader) {
      if (word != "dialog") return fail("the first line must be: dialog <id> ...");
      if (tok.size() < 2 || !ParseInt(tok[1].text, &t.id)) return fail("dialog needs a numeric id");
      for (std::size_t i = 2; i < tok.size(); ++i) {
        if (tok[i].quoted) t.caption = plat::Utf8ToCp1252(tok[i].text);
        else if (ParseTextId(tok[i].text, &t.captionGroup, &t.captionEntry)) {}
        else if (tok[i].text.rfind("help=", 0) == 0) {
          if (!ParseInt(tok[i].text.substr(5), &t.help)) return fail("help needs a number");
        } else return fail("unexpected " + tok[i].text);
      }
      haveHeader = true;
      continue;
    }
    if (word == "dialog") return fail("a second dialog line");
    if (word == "end") {
      if (stack.size() == 1) return fail("end without an open container");
      stack.pop_back();
      continue;
    }
    Node n;
    n.line = lineNo;
    std::size_t i = 1;
    if (word == "row" || word == "column" || word == "grid" || word == "scroll" || word == "stretch") {
      n.kind = word == "row" ? Kind::Row : word == "column" ? Kind::Column
             : word == "grid" ? Kind::Grid : word == "scroll" ? Kind::Scroll : Kind::Stretch;
    } else {
      auto k = ControlWords().find(word);
      if (k == ControlWords().end()) return fail("unknown kind " + word);
      n.kind = k->second;
      if (tok.size() < 2 || tok[1].quoted) return fail(word + " needs an id (or -)");
      if (tok[1].text != "-") {
        if (!ParseInt(tok[1].text, &n.id)) return fail("bad id " + tok[1].text);
        if (!ids.insert(n.id).second) return fail("id " + tok[1].text + " used twice");
      }
      i = 2;
      if (i < tok.size() && !tok[i].quoted && ParseTextId(tok[i].text, &n.group, &n.entry)) ++i;
      else if (i < tok.size() && !tok[i].quoted && tok[i].text[0] == '@') return fail("bad text id " + tok[i].text);
      if (i < tok.size() && tok[i].quoted) n.text = plat::Utf8ToCp1252(tok[i++].text);
    }
    for (; i < tok.size(); ++i) {
      if (tok[i].quoted) return fail("unexpected text");
      std::string r = ApplyOption(&n, tok[i].text);
      if (!r.empty()) return fail(r);
    }
    if (n.kind == Kind::TabList && n.tabs.empty()) return fail("tablist needs tabs=");
    if ((!n.heads.empty() || !n.fields.empty()) && n.kind != Kind::TabList) return fail("heads= and fields= are a tablist's");
    const std::size_t columns = n.tabs.size() + 1;
    if (!n.heads.empty() && n.heads.size() != columns) return fail("heads= needs one id per column");
    if (!n.fields.empty() && n.fields.size() != columns) return fail("fields= needs one field per column");
    for (int h : n.heads)
      if (!ids.count(h)) return fail(plat::StrFormatC("head %d is not a control above the list", h));
    bool opens = n.kind == Kind::Row || n.kind == Kind::Column || n.kind == Kind::Grid || n.kind == Kind::Scroll ||
                 n.kind == Kind::Group;
    stack.back()->children.push_back(std::move(n));
    if (opens) stack.push_back(&stack.back()->children.back());
  }
  if (!haveHeader) { lineNo = 0; return fail("empty template"); }
  if (stack.size() != 1) {
    lineNo = stack.back()->line;
    return fail("container not closed with end");
  }
  *out = std::move(t);
  return true;
}

std::string ShippedTemplateText(const std::string& deliverable, int resourceId) {
  QFile f(QStringLiteral(":/dialogs/%1/%2.dlg").arg(QString::fromStdString(deliverable)).arg(resourceId));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray b = f.readAll();
  return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

bool LoadTemplate(const std::string& deliverable, int resourceId, Template* out,
                  std::string* error) {
  std::string text = ShippedTemplateText(deliverable, resourceId);
  if (text.empty()) {
    if (error) *error = plat::StrFormatC("no template for dialog %s/%d", deliverable.c_str(), resourceId);
    return false;
  }
  std::string why;
  if (!ParseTemplate(text, out, &why)) {
    if (error) *error = plat::StrFormatC("dialog %s/%d: ", deliverable.c_str(), resourceId) + why;
    return false;
  }
  if (out->id != resourceId) {
    if (error)
      *error = plat::StrFormatC("template file %s/%d names dialog %d", deliverable.c_str(),
                                resourceId, out->id);
    return false;
  }
  return true;
}

std::vector<int> ShippedTemplateIds(const std::string& deliverable) {
  std::vector<int> ids;
  QDir dir(QStringLiteral(":/dialogs/") + QString::fromStdString(deliverable));
  for (const QString& name : dir.entryList({QStringLiteral("*.dlg")}, QDir::Files)) {
    bool ok = false;
    int id = name.chopped(4).toInt(&ok);
    if (ok) ids.push_back(id);
  }
  std::sort(ids.begin(), ids.end());
  return ids;
}

std::vector<std::string> ShippedDeliverables() {
  std::vector<std::string> names;
  QDir dir(QStringLiteral(":/dialogs"));
  for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) names.push_back(name.toStdString());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> DeliverablesWithTemplate(int resourceId) {
  std::vector<std::string> out;
  for (const std::string& d : ShippedDeliverables())
    if (!ShippedTemplateText(d, resourceId).empty()) out.push_back(d);
  return out;
}

}  // namespace plat::dlg
