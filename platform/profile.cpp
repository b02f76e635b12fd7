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
#include <vector>

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
      l.name = Trim(close == std::string_view::npos ? t : t.substr(0, close));
      return;
    }
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return;
    l.kind = Line::Key;
    l.name = Trim(t.substr(0, eq));
    l.value = Trim(t.substr(eq + 1));
  }

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

bool WriteAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Temporary file beside the target, flushed, then renamed over it: the file
// is never seen half written or truncated.
bool ReplaceFile(const std::string& target, const std::string& data) {
  std::string path = target;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
      path = real;
      std::free(real);
    }
  }
  const bool existed = ::stat(path.c_str(), &st) == 0;
  static std::atomic<unsigned> counter{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = path + StrFormatC(".tmp%ld_%u", static_cast<long>(::getpid()), counter++);
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  if (ok && existed) ::fchmod(fd, st.st_mode & 07777);
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmp.c_str());
    return false;
  }
  std::string dir = path.substr(0, path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/'));
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
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
  IniFile ini;
  Load(file, &ini);
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
  IniFile ini;
  Load(file, &ini);
  long h = ini.FindSection(section);
  long k = h >= 0 ? ini.FindKey(h, key) : -1;
  if (k < 0) return static_cast<UINT>(def);
  std::string value(ini.lines[k].value);
  return static_cast<UINT>(AtoiC(value.c_str()));
}

BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file) {
  if (!file || !*file) return 0;
  if (!section) return key || value ? 0 : 1;  // nothing is cached, so a flush has nothing to do
  std::string_view sec = Trim(section);
  if (HasLineBreak(sec) || sec.find(']') != std::string_view::npos) return 0;
  std::string_view k = key ? Trim(key) : std::string_view();
  if (key && (HasLineBreak(k) || k.find('=') != std::string_view::npos || k.empty() || k.front() == '[' ||
              k.front() == ';'))
    return 0;
  // A line break inside a value would turn its rest into lines of its own.
  std::string_view v = value ? std::string_view(value) : std::string_view();
  v = v.substr(0, v.find_first_of("\r\n"));

  std::lock_guard<std::mutex> lk(WriteMutex());
  IniFile ini;
  const ReadResult read = Load(file, &ini);
  if (read == ReadResult::Failed) return 0;
  const bool existed = read == ReadResult::Read;
  const std::string& raw = ini.raw;
  std::string out;
  long h = ini.FindSection(sec);

  if (!key) {  // remove the section
    if (h < 0) return 1;
    std::size_t e = ini.SectionEnd(h);
    std::size_t from = ini.lines[h].start;
    std::size_t to = e < ini.lines.size() ? ini.lines[e].start : raw.size();
    out = raw.substr(0, from) + raw.substr(to);
  } else if (!value) {  // remove the key
    long kl = h >= 0 ? ini.FindKey(h, k) : -1;
    if (kl < 0) return 1;
    const Line& l = ini.lines[kl];
    out = raw.substr(0, l.start) + raw.substr(l.start + l.len + l.eolLen);
  } else if (h < 0) {  // new section at the end of the file
    long last = ini.lines.empty() ? -1 : static_cast<long>(ini.lines.size()) - 1;
    std::string eol = ini.NewEol(last);
    out = raw;
    if (last >= 0 && ini.lines[last].eolLen == 0) out += eol;
    out.append("[").append(sec).append("]").append(eol);
    out.append(k).append("=").append(v).append(eol);
  } else {
    long kl = ini.FindKey(h, k);
    if (kl >= 0) {  // replace the value, keep the key as the file spells it
      const Line& l = ini.lines[kl];
      std::string_view lineText = std::string_view(raw).substr(l.start, l.len);
      std::size_t indent = lineText.find_first_not_of(" \t");
      out = raw.substr(0, l.start);
      out.append(lineText.substr(0, indent == std::string_view::npos ? 0 : indent));
      out.append(l.name).append("=").append(v);
      out.append(raw, l.start + l.len, std::string::npos);
    } else {  // new key after the section's last key
      std::size_t after = static_cast<std::size_t>(h);
      for (std::size_t i = h + 1, e = ini.SectionEnd(h); i < e; ++i)
        if (ini.lines[i].kind == Line::Key) after = i;
      const Line& l = ini.lines[after];
      std::string eol = ini.NewEol(static_cast<long>(after));
      std::size_t cut = l.start + l.len + l.eolLen;
      out = raw.substr(0, cut);
      if (l.eolLen == 0) out += eol;
      out.append(k).append("=").append(v).append(eol);
      out.append(raw, cut, std::string::npos);
    }
  }
  if (existed && out == raw) return 1;
  return ReplaceFile(file, out) ? 1 : 0;
}

}  // namespace plat
