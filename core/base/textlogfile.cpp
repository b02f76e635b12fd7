#include "core/base/textlogfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "platform/eventloop.h"
#include "platform/fileio.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

void ReportCloseFailure(int err) {
  const int cause = CTextLogFile::FileErrorCause(err);
  const char* text = plat::GetTextOr(plat::TextId(53, 14 - cause), "");
  const char* caption = plat::GetTextOr(plat::TextId(0, 0), "");
  plat::MessageBox(0, text, caption, plat::MB_OK | plat::MB_ICONERROR);
}

std::string Bounded(const char* s, std::size_t chars) {
  if (!s) return {};
  return std::string(s, strnlen(s, chars));
}

}  // namespace

// The file-error causes the messages are chosen by (0 none .. 14 end of
// file), from the error the system reported.
int CTextLogFile::FileErrorCause(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: return 5;
    case EBADF: return 6;
    case EIO: return 10;
    case ENOLCK: return 12;
    case ENOSPC: case EDQUOT: return 13;
    default: return 1;
  }
}

CTextLogFile::CTextLogFile() = default;

CTextLogFile::~CTextLogFile() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked(true);
}

int CTextLogFile::OpenLocked(int flags) {
  fd_ = plat::io::Open(name_.c_str(), flags, 0666);
  lastError_ = fd_ >= 0 ? 0 : errno;
  return fd_ >= 0 ? 1 : 0;
}

void CTextLogFile::StoreName(const char* name) { name_ = Bounded(name, kNameChars); }

int CTextLogFile::SetFileName(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  StoreName(name);
  return 0;
}

int CTextLogFile::CreateIfMissing(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked(true);
  StoreName(name);
  if (name_.empty()) return 0;
  const int probe = plat::io::Open(name_.c_str(), O_RDONLY);
  if (probe >= 0) {
    plat::io::Close(probe);
    lastError_ = 0;
    return 0;
  }
  // Exclusive, so a file that exists but cannot be read is never emptied.
  return OpenLocked(O_WRONLY | O_CREAT | O_EXCL);
}

int CTextLogFile::Create(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked(true);
  StoreName(name);
  if (name_.empty()) return 0;
  return OpenLocked(O_WRONLY | O_CREAT | O_TRUNC);
}

int CTextLogFile::OpenAppend(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked(true);
  StoreName(name);
  if (name_.empty()) return 0;
  // Every write lands at the end of the file as it is then: another object
  // appending to the same file (traces may share one) is never overwritten.
  if (!OpenLocked(O_RDWR | O_APPEND)) return 0;
  EndTornLine();
  return 1;
}

// A writer killed inside a line's write can leave part of it when the line
// crosses a page of the file (the kernel stops between pages): end that part
// with the separator, so the lines written now stay whole and nothing of
// what is there is lost. A bare line feed (the file was edited elsewhere)
// ends a line as well: a separator behind it would be an empty line.
void CTextLogFile::EndTornLine() {
  if (separator_.empty()) return;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || st.st_size <= 0) return;
  const std::size_t n = separator_.size();
  char tail[kSeparatorChars + 1] = {};
  const off_t from = st.st_size >= static_cast<off_t>(n) ? st.st_size - static_cast<off_t>(n) : 0;
  const ssize_t got = ::pread(fd_, tail, n, from);
  if (got == static_cast<ssize_t>(n) && std::string_view(tail, n) == separator_) return;
  if (separator_.back() == '\n' && got > 0 && tail[got - 1] == '\n') return;
  if (!plat::io::Write(fd_, separator_.data(), n)) lastError_ = errno;
}

int CTextLogFile::OpenRead() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked(true);
  if (name_.empty()) return 0;
  const int fd = plat::io::Open(name_.c_str(), O_RDONLY);
  if (fd < 0) {
    lastError_ = errno;
    return 0;
  }
  auto fail = [&] {
    lastError_ = errno;
    plat::io::Close(fd);
    return 0;
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 0) return fail();
  const auto size = static_cast<std::size_t>(st.st_size);
  std::unique_ptr<char[]> buf(new (std::nothrow) char[size + 1]);
  if (!buf) {
    errno = ENOMEM;
    return fail();
  }
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buf.get() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail();
    if (n == 0) break;  // shrank while we read
    got += static_cast<std::size_t>(n);
  }
  plat::io::Close(fd);
  lastError_ = 0;
  buf[got] = '\0';
  readBuf_ = std::move(buf);
  readSize_ = got;
  cursor_ = 0;
  return 1;
}

int CTextLogFile::CloseLocked(bool report) {
  readBuf_.reset();
  readSize_ = 0;
  cursor_ = 0;
  lastCloseFailed_ = false;
  if (fd_ < 0) return 0;
  const int fd = fd_;
  fd_ = -1;
  if (plat::io::Close(fd) != 0) {
    lastError_ = errno;
    lastCloseFailed_ = true;
    if (report) ReportCloseFailure(lastError_);
  }
  return 1;
}

int CTextLogFile::Close() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return CloseLocked(true);
}

bool CTextLogFile::CloseChecked() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) {
    lastError_ = EBADF;
    CloseLocked(false);
    return false;
  }
  CloseLocked(false);
  return !lastCloseFailed_;
}

int CTextLogFile::Sync() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  if (plat::io::Fdatasync(fd_) != 0) {
    lastError_ = errno;
    return 0;
  }
  return 1;
}

int CTextLogFile::LastError() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return lastError_;
}

int CTextLogFile::NextTokenLocked(std::string& out) {
  out.clear();
  if (!readBuf_ || cursor_ >= readSize_) return 0;
  const std::string_view rest(readBuf_.get() + cursor_, readSize_ - cursor_);
  const std::size_t hit = separator_.empty() ? std::string_view::npos : rest.find(separator_);
  if (hit == std::string_view::npos) {
    out.assign(rest);
    cursor_ = readSize_;
  } else {
    out.assign(rest.substr(0, hit));
    cursor_ += hit + separator_.size();
  }
  return 1;
}

int CTextLogFile::FirstToken(std::string& out) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  cursor_ = 0;
  return NextTokenLocked(out);
}

int CTextLogFile::NextToken(std::string& out) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return NextTokenLocked(out);
}

int CTextLogFile::FirstToken(char* out, std::size_t size) {
  std::string token;
  const int r = FirstToken(token);
  if (out) plat::CopyBounded(out, size, token.c_str());
  return r;
}

int CTextLogFile::NextToken(char* out, std::size_t size) {
  std::string token;
  const int r = NextToken(token);
  if (out) plat::CopyBounded(out, size, token.c_str());
  return r;
}

int CTextLogFile::WriteLocked(const char* data, std::size_t n) {
  if (fd_ < 0) return 0;
  // A full disk may take part of the bytes: what was there before is put
  // back, so no half line stays behind.
  struct stat st {};
  const bool sized = ::fstat(fd_, &st) == 0;
  if (!plat::io::Write(fd_, data, n)) {
    lastError_ = errno;
    if (sized) CutBack(st.st_size);
    return 0;
  }
  return 1;
}

void CTextLogFile::CutBack(off_t size) {
  struct stat now {};
  if (::fstat(fd_, &now) != 0 || now.st_size <= size) return;
  const int err = lastError_;
  plat::io::Ftruncate(fd_, size);
  ::lseek(fd_, size, SEEK_SET);
  lastError_ = err;
}

int CTextLogFile::WriteLineDurably(const char* text) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  struct stat st {};
  const bool sized = ::fstat(fd_, &st) == 0;
  if (!WriteLine(text)) return 0;
  if (plat::io::Fdatasync(fd_) != 0) {
    lastError_ = errno;
    if (sized) CutBack(st.st_size);
    return 0;
  }
  return 1;
}

int CTextLogFile::WriteText(const char* text) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!text) return fd_ >= 0 ? 1 : 0;
  return WriteLocked(text, std::strlen(text));
}

int CTextLogFile::WriteLine(const char* text) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  line_.assign(text ? text : "");
  line_ += separator_;
  return WriteLocked(line_.data(), line_.size());
}

int CTextLogFile::WriteTimeStamp() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  timeStamp_ = MakeTimeStamp(plat::WallTime()).substr(0, kTimeStampChars);
  return WriteLocked(timeStamp_.data(), timeStamp_.size());
}

int CTextLogFile::WriteTimeStampedLine(const char* text) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  timeStamp_ = MakeTimeStamp(plat::WallTime()).substr(0, kTimeStampChars);
  line_.assign(timeStamp_);
  line_ += text ? text : "";
  line_ += separator_;
  return WriteLocked(line_.data(), line_.size());
}

int CTextLogFile::SetSeparator(const char* separator) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  separator_ = Bounded(separator, kSeparatorChars);
  return 0;
}

std::string CTextLogFile::GetSeparator() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return separator_;
}

std::string CTextLogFile::GetFileName() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return name_;
}

bool CTextLogFile::IsOpen() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return fd_ >= 0;
}

std::string CTextLogFile::MakeTimeStamp(std::time_t t) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  if (!localtime_r(&t, &tm) || tm.tm_mon < 0 || tm.tm_mon > 11) return {};
  return plat::StrFormatC("%d. %s %d, %02d:%02d:%02d: ", tm.tm_mday, kMonths[tm.tm_mon],
                          tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
}
