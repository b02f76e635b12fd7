#include "core/base/textlogfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

// The file-error causes the close message is chosen by (0 none .. 14 end of
// file), from the error the system reported.
int CloseFailureCause(int err) {
  switch (err) {
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

void ReportCloseFailure(int err) {
  const int cause = CloseFailureCause(err);
  const char* text = plat::GetTextOr(plat::TextId(53, 14 - cause), "");
  const char* caption = plat::GetTextOr(plat::TextId(0, 0), "");
  plat::MessageBox(0, text, caption, plat::MB_OK | plat::MB_ICONERROR);
}

std::string Bounded(const char* s, std::size_t chars) {
  if (!s) return {};
  return std::string(s, strnlen(s, chars));
}

}  // namespace

CTextLogFile::CTextLogFile() = default;

CTextLogFile::~CTextLogFile() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked();
}

void CTextLogFile::StoreName(const char* name) { name_ = Bounded(name, kNameChars); }

int CTextLogFile::SetFileName(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  StoreName(name);
  return 0;
}

int CTextLogFile::CreateIfMissing(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked();
  StoreName(name);
  if (name_.empty()) return 0;
  const int probe = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC);
  if (probe >= 0) {
    ::close(probe);
    return 0;
  }
  // Exclusive, so a file that exists but cannot be read is never emptied.
  fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  return fd_ >= 0 ? 1 : 0;
}

int CTextLogFile::Create(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked();
  StoreName(name);
  if (name_.empty()) return 0;
  fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return fd_ >= 0 ? 1 : 0;
}

int CTextLogFile::OpenAppend(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked();
  StoreName(name);
  if (name_.empty()) return 0;
  // Every write lands at the end of the file as it is then: another object
  // appending to the same file (traces may share one) is never overwritten.
  fd_ = ::open(name_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  return fd_ >= 0 ? 1 : 0;
}

int CTextLogFile::OpenRead() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CloseLocked();
  if (name_.empty()) return 0;
  const int fd = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size < 0) {
    ::close(fd);
    return 0;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  std::unique_ptr<char[]> buf(new (std::nothrow) char[size + 1]);
  if (!buf) {
    ::close(fd);
    return 0;
  }
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(fd, buf.get() + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return 0;
    }
    if (n == 0) break;  // shrank while we read
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  buf[got] = '\0';
  readBuf_ = std::move(buf);
  readSize_ = got;
  cursor_ = 0;
  return 1;
}

int CTextLogFile::CloseLocked() {
  readBuf_.reset();
  readSize_ = 0;
  cursor_ = 0;
  if (fd_ < 0) return 0;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ReportCloseFailure(errno);
  return 1;
}

int CTextLogFile::Close() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return CloseLocked();
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
  while (n > 0) {
    const ssize_t w = ::write(fd_, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return 0;
    data += w;
    n -= static_cast<std::size_t>(w);
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
  WriteText(text);
  WriteLocked(separator_.data(), separator_.size());
  return 0;
}

int CTextLogFile::WriteTimeStamp() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (fd_ < 0) return 0;
  timeStamp_ = MakeTimeStamp(plat::WallTime()).substr(0, kTimeStampChars);
  return WriteLocked(timeStamp_.data(), timeStamp_.size());
}

int CTextLogFile::WriteTimeStampedLine(const char* text) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  WriteTimeStamp();
  WriteLine(text);
  return 0;
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
