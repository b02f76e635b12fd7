// INI files read and written by hand: QSettings would reorder keys, change
// their case and quote values, and the files are shared with other objects
// and kept by the user.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fileio.h"
#include "platform/text.h"

namespace plat {
namespace {

// Whole-file writes are read-modify-write: two threads writing the same
// file must not lose each other's change.
std::mutex& WriteMutex() {
  static std::mutex m;
  return m;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

struct Line {
  std::size_t start = 0, len = 0, eolLen = 0;  // content, then its line end
  enum Kind { Other, Section, Key } kind = Other;
  std::string_view name, value;
};

struct IniFile {
  std::string raw;
  std::vector<Line> lines;

  void Parse() {
    lines.clear();
    std::size_t pos = 0;
    while (pos < raw.size()) {
      Line l;
      l.start = pos;
      std::size_t nl = raw.find('\n', pos);
      std::size_t end = nl == std::string::npos ? raw.size() : nl;
      l.eolLen = nl == std::string::npos ? 0 : 1;
      if (nl != std::string::npos && end > pos && raw[end - 1] == '\r') {
        --end;
        ++l.eolLen;
      }
      l.len = end - pos;
      Classify(l);
      lines.push_back(l);
      pos = end + l.eolLen;
    }
  }

  void Classify(Line& l) const {
    std::string_view t = Trim(std::string_view(raw).substr(l.start, l.len));
    if (t.empty() || t.front() == ';') return;
    if (t.front() == '[') {
      t.remove_prefix(1);
      std::size_t close = t.find(']');
      l.kind = Line::Section;
      l.name = CText(close == std::string_view::npos ? t : t.substr(0, close));
      return;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return;
    l.kind = Line::Key;
    l.name = CText(t.substr(0, eq));
    l.value = CText(t.substr(eq + 1));
  }

  // Callers hand names and values over as C strings, so a NUL in the file
  // ends them: what is read can be written back as it was read.
  static std::string_view CText(std::string_view s) { return Trim(s.substr(0, s.find('\0'))); }

  // Index of the first header of the section, or -1.
  long FindSection(std::string_view name) const {
    name = Trim(name);
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == Line::Section && SameName(lines[i].name, name)) return static_cast<long>(i);
    return -1;
  }

  // One past the last line of the section whose header is at index h.
  std::size_t SectionEnd(std::size_t h) const {
    std::size_t i = h + 1;
    while (i < lines.size() && lines[i].kind != Line::Section) ++i;
    return i;
  }

  long FindKey(std::size_t h, std::string_view key) const {
    key = Trim(key);
    for (std::size_t i = h + 1, e = SectionEnd(h); i < e; ++i)
      if (lines[i].kind == Line::Key && SameName(lines[i].name, key)) return static_cast<long>(i);
    return -1;
  }

  std::string_view Eol(std::size_t i) const { return std::string_view(raw).substr(lines[i].start + lines[i].len, lines[i].eolLen); }

  // Line end for new lines: that of the line before, else the file's first,
  // else the platform's own.
  std::string NewEol(long before) const {
    if (before >= 0 && lines[before].eolLen) return std::string(Eol(before));
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].eolLen) return std::string(Eol(i));
    return "\r\n";
  }
};

// What reading the file found: no file at all, its whole content, or a file
// that is there but could not be read (which a write must never replace).
enum class ReadResult { Missing, Read, Failed };

ReadResult ReadWhole(const char* file, std::string* out) {
  out->clear();
  int fd = ::open(file, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  char buf[65536];
  ReadResult result = ReadResult::Read;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) result = ReadResult::Failed;
    if (n <= 0) break;
    out->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  if (result == ReadResult::Failed) out->clear();
  return result;
}

ReadResult Load(const char* file, IniFile* ini) {
  ReadResult r = (file && *file) ? ReadWhole(file, &ini->raw) : ReadResult::Missing;
  ini->Parse();
  return r;
}

}  // namespace

struct ProfileReadScope::Snapshot {
  std::string file;
  bool loaded = false;
  IniFile ini;
  Snapshot* outer = nullptr;
};

namespace {

thread_local ProfileReadScope::Snapshot* t_scope = nullptr;

ProfileReadScope::Snapshot* ScopeOf(const char* file) {
  if (!file || !*file) return nullptr;
  for (ProfileReadScope::Snapshot* s = t_scope; s; s = s->outer)
    if (s->file == file) return s;
  return nullptr;
}

// The parsed file: this thread's snapshot when a scope holds it, else a
// fresh read into scratch.
const IniFile& Read(const char* file, IniFile* scratch) {
  if (ProfileReadScope::Snapshot* s = ScopeOf(file)) {
    if (!s->loaded) {
      Load(file, &s->ini);
      s->loaded = true;
    }
    return s->ini;
  }
  Load(file, scratch);
  return *scratch;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A name list as the enumerating reads give it: each name terminated, the
// list ended by a second terminator, cut to the buffer.
DWORD CopyList(const std::vector<std::string_view>& names, char* buf, DWORD size) {
  if (size < 2) {
    buf[0] = '\0';
    return 0;
  }
  std::size_t pos = 0;
  for (std::string_view n : names) {
    if (pos + n.size() + 1 > size - 1) {
      std::size_t room = pos < size - 2 ? size - 2 - pos : 0;
      if (room) std::memcpy(buf + pos, n.data(), std::min(room, n.size()));
      buf[size - 2] = '\0';
      buf[size - 1] = '\0';
      return size - 2;
    }
    std::memcpy(buf + pos, n.data(), n.size());
    pos += n.size();
    buf[pos++] = '\0';
  }
  buf[pos] = '\0';
  return static_cast<DWORD>(pos == 0 ? 0 : pos);
}

}  // namespace

DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, DWORD size,
                              const char* file) {
  if (!buf || size == 0) return 0;
  IniFile scratch;
  const IniFile& ini = Read(file, &scratch);
  if (!section) {
    std::vector<std::string_view> names;
    for (const Line& l : ini.lines)
      if (l.kind == Line::Section) names.push_back(l.name);
    return CopyList(names, buf, size);
  }
  long h = ini.FindSection(section);
  if (!key) {
    std::vector<std::string_view> names;
    if (h >= 0)
      for (std::size_t i = h + 1, e = ini.SectionEnd(h); i < e; ++i)
        if (ini.lines[i].kind == Line::Key) names.push_back(ini.lines[i].name);
    return CopyList(names, buf, size);
  }
  std::string_view value;
  long k = h >= 0 ? ini.FindKey(h, key) : -1;
  if (k >= 0) {
    value = ini.lines[k].value;
  } else {
    value = def ? std::string_view(def) : std::string_view();
    while (!value.empty() && IsBlank(value.back())) value.remove_suffix(1);
  }
  std::size_t n = std::min<std::size_t>(value.size(), size - 1);
  // A cut inside the value ends where the file could: a read trims blanks
  // at a value's end, so what is read writes back as it was read.
  while (n > 0 && IsBlank(value[n - 1])) --n;
  if (n) std::memcpy(buf, value.data(), n);
  buf[n] = '\0';
  return static_cast<DWORD>(n);
}

std::string GetProfileText(const char* section, const char* key, const char* def, const std::string& file,
                           std::size_t size) {
  if (size == 0) return std::string();
  if (size > UINT32_MAX) size = UINT32_MAX;
  std::vector<char> buf(size);
  DWORD n = GetPrivateProfileString(section, key, def, buf.data(), static_cast<DWORD>(size), file.c_str());
  return std::string(buf.data(), n);
}

UINT GetPrivateProfileInt(const char* section, const char* key, int def, const char* file) {
  if (!section || !key) return static_cast<UINT>(def);
  IniFile scratch;
  const IniFile& ini = Read(file, &scratch);
  long h = ini.FindSection(section);
  long k = h >= 0 ? ini.FindKey(h, key) : -1;
  if (k < 0) return static_cast<UINT>(def);
  std::string value(ini.lines[k].value);
  return static_cast<UINT>(AtoiC(value.c_str()));
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (!file || !*file) return 0;
  if (!section) return key || value ? 0 : 1;  // nothing is cached, so a flush has nothing to do
  ProfileBatch one(file);
  if (!one.Write(section, key, value)) return 0;
  return one.Commit() ? 1 : 0;
}

// --- batches ---

namespace {

// The file as lines grouped by section, edited in place: one op costs the
// size of its section, not of the file, and the bytes come out exactly as
// the same writes done one by one through a fresh read each would leave.
struct IniDoc {
  struct L {
    std::string text;  // without its line end
    std::string eol;   // "", "\n" or "\r\n"
    Line::Kind kind = Line::Other;
    std::string name;  // section or key name as the file spells it (trimmed)
  };
  struct Sec {
    std::vector<L> lines;  // lines[0] is the header
  };
  std::vector<L> preamble;  // lines before the first header
  std::vector<Sec> secs;
  std::unordered_map<std::string, std::size_t> index;  // lower-cased name -> first section
  bool indexValid = false;

  static std::string LowerName(std::string_view n) {
    std::string s(n);
    for (char& c : s) c = Lower(c);
    return s;
  }

  void Parse(const std::string& raw) {
    IniFile ini;
    ini.raw = raw;
    ini.Parse();
    for (const Line& l : ini.lines) {
      L x;
      x.text = raw.substr(l.start, l.len);
      x.eol = std::string(ini.Eol(&l - ini.lines.data()));
      x.kind = l.kind;
      x.name = std::string(l.name);
      if (l.kind == Line::Section) secs.emplace_back();
      (secs.empty() ? preamble : secs.back().lines).push_back(std::move(x));
    }
  }

  std::string Serialise() const {
    std::size_t n = 0;
    auto count = [&n](const std::vector<L>& ls) {
      for (const L& l : ls) n += l.text.size() + l.eol.size();
    };
    count(preamble);
    for (const Sec& s : secs) count(s.lines);
    std::string out;
    out.reserve(n);
    auto put = [&out](const std::vector<L>& ls) {
      for (const L& l : ls) out.append(l.text).append(l.eol);
    };
    put(preamble);
    for (const Sec& s : secs) put(s.lines);
    return out;
  }

  long Find(std::string_view name) {
    if (!indexValid) {
      index.clear();
      for (std::size_t i = 0; i < secs.size(); ++i) index.emplace(LowerName(secs[i].lines[0].name), i);
      indexValid = true;
    }
    auto it = index.find(LowerName(Trim(name)));
    return it == index.end() ? -1 : static_cast<long>(it->second);
  }

  // The line end of the first line that has one, else the platform's own.
  std::string FirstEol() const {
    for (const L& l : preamble)
      if (!l.eol.empty()) return l.eol;
    for (const Sec& s : secs)
      for (const L& l : s.lines)
        if (!l.eol.empty()) return l.eol;
    return "\r\n";
  }
  std::string NewEol(const L* before) const { return before && !before->eol.empty() ? before->eol : FirstEol(); }

  const L* LastLine() const {
    for (auto s = secs.rbegin(); s != secs.rend(); ++s)
      if (!s->lines.empty()) return &s->lines.back();
    return preamble.empty() ? nullptr : &preamble.back();
  }
  L* LastLineMutable() { return const_cast<L*>(LastLine()); }

  // Ends a line that has no end yet. A CR at the end of its text and the LF
  // given make a CR LF end, as the next read of the file sees them: the
  // lines written after it then end as they would after that read.
  static void EndLine(L& l, std::string eol) {
    if (!l.eol.empty()) return;
    if (eol == "\n" && !l.text.empty() && l.text.back() == '\r') {
      l.text.pop_back();
      eol = "\r\n";
    }
    l.eol = std::move(eol);
  }

  static L KeyLine(std::string_view k, std::string_view v, std::string eol) {
    L l;
    l.text.reserve(k.size() + 1 + v.size());
    l.text.append(k).append("=").append(v);
    l.eol = std::move(eol);
    l.kind = Line::Key;
    l.name = std::string(k);
    return l;
  }

  void RemoveSection(std::string_view sec) {
    long h = Find(sec);
    if (h < 0) return;
    secs.erase(secs.begin() + h);
    indexValid = false;
  }

  void RemoveKey(std::string_view sec, std::string_view k) {
    long h = Find(sec);
    if (h < 0) return;
    auto& ls = secs[h].lines;
    for (std::size_t i = 1; i < ls.size(); ++i)
      if (ls[i].kind == Line::Key && SameName(ls[i].name, k)) {
        ls.erase(ls.begin() + static_cast<long>(i));
        return;
      }
  }

  void Set(std::string_view sec, std::string_view k, std::string_view v) {
    long h = Find(sec);
    if (h < 0) {  // new section at the end of the file
      std::string eol = NewEol(LastLine());
      if (L* last = LastLineMutable()) EndLine(*last, eol);
      Sec s;
      L head;
      head.text.append("[").append(sec).append("]");
      head.eol = eol;
      head.kind = Line::Section;
      head.name = std::string(sec);
      s.lines.push_back(std::move(head));
      s.lines.push_back(KeyLine(k, v, eol));
      if (indexValid) index.emplace(LowerName(sec), secs.size());
      secs.push_back(std::move(s));
      return;
    }
    auto& ls = secs[h].lines;
    std::size_t after = 0;
    for (std::size_t i = 1; i < ls.size(); ++i) {
      if (ls[i].kind != Line::Key) continue;
      if (SameName(ls[i].name, k)) {  // replace the value, keep the key as the file spells it
        L& l = ls[i];
        std::size_t indent = l.text.find_first_not_of(" \t");
        std::string text = l.text.substr(0, indent == std::string::npos ? 0 : indent);
        text.append(l.name).append("=").append(v);
        l.text = std::move(text);
        return;
      }
      after = i;
    }
    // new key after the section's last key
    std::string eol = NewEol(&ls[after]);
    EndLine(ls[after], eol);
    ls.insert(ls.begin() + static_cast<long>(after) + 1, KeyLine(k, v, eol));
  }
};

}  // namespace

struct ProfileBatch::Op {
  std::string section, key, value;
  bool hasKey = false, hasValue = false;
};

ProfileBatch::ProfileBatch(std::string file) : file_(std::move(file)) {}
ProfileBatch::~ProfileBatch() = default;

bool ProfileBatch::Write(const char* section, const char* key, const char* value) {
  if (!section) return false;
  std::string_view sec = Trim(section);
  if (HasLineBreak(sec) || sec.find(']') != std::string_view::npos) return false;
  std::string_view k = key ? Trim(key) : std::string_view();
  if (key && (HasLineBreak(k) || k.find('=') != std::string_view::npos || k.empty() || k.front() == '[' ||
              k.front() == ';'))
    return false;
  // A line feed inside a value would turn its rest into lines of its own;
  // a lone CR does not end a line, so the value keeps it.
  std::string_view v = value ? std::string_view(value) : std::string_view();
  // A CR at its end would join the line end and turn an LF line into a
  // CR LF one; a read trims it anyway.
  v = v.substr(0, v.find('\n'));
  while (!v.empty() && v.back() == '\r') v.remove_suffix(1);
  Op op;
  op.section = std::string(sec);
  op.hasKey = key != nullptr;
  op.key = std::string(k);
  op.hasValue = value != nullptr;
  op.value = std::string(v);
  ops_.push_back(std::move(op));
  return true;
}

bool ProfileBatch::RemoveSection(const char* section) { return Write(section, nullptr, nullptr); }
std::size_t ProfileBatch::Pending() const { return ops_.size(); }

bool ProfileBatch::Commit() {
  if (file_.empty()) return false;
  if (ProfileReadScope::Snapshot* s = ScopeOf(file_.c_str())) s->loaded = false;  // read again after this
  std::lock_guard<std::mutex> lk(WriteMutex());
  std::string raw;
  const ReadResult read = ReadWhole(file_.c_str(), &raw);
  if (read == ReadResult::Failed) return false;
  IniDoc doc;
  doc.Parse(raw);
  bool created = false;  // the first write of a key creates a missing file
  for (const Op& op : ops_) {
    if (!op.hasKey) {
      doc.RemoveSection(op.section);
    } else if (!op.hasValue) {
      doc.RemoveKey(op.section, op.key);
    } else {
      doc.Set(op.section, op.key, op.value);
      created = true;
    }
  }
  ops_.clear();
  std::string out = doc.Serialise();
  // Nothing to change still clears what killed writers left beside it.
  if (read == ReadResult::Read && out == raw) {
    io::RemoveStaleTemporaries(file_);
    return true;
  }
  if (read == ReadResult::Missing && !created) return true;  // removals from no file
  return io::ReplaceFile(file_, out);
}

ProfileReadScope::ProfileReadScope(const std::string& file) : snapshot_(new Snapshot) {
  snapshot_->file = file;
  snapshot_->outer = t_scope;
  t_scope = snapshot_;
}

ProfileReadScope::~ProfileReadScope() {
  // Scopes end in the reverse order of their start on one thread.
  t_scope = snapshot_->outer;
  delete snapshot_;
}

}  // namespace plat
