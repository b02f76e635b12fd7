#include "charges/calldata/calldatareader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/fileio.h"

namespace {
constexpr std::size_t kChunk = 64 * 1024;
}

bool CallDataLineReader::Open(const std::string& path) {
  Close();
  fd_ = plat::io::Open(path.c_str(), O_RDONLY | O_CLOEXEC);
  error_ = fd_ < 0 ? errno : 0;
  return fd_ >= 0;
}

void CallDataLineReader::Close() {
  if (fd_ >= 0) plat::io::Close(fd_);
  fd_ = -1;
  eof_ = false;
  buf_.clear();
  pos_ = 0;
}

bool CallDataLineReader::Fill() {
  if (fd_ < 0 || eof_) return false;
  if (pos_ > 0) {
    buf_.erase(0, pos_);
    pos_ = 0;
  }
  const std::size_t had = buf_.size();
  buf_.resize(had + kChunk);
  ssize_t n;
  do {
    n = ::read(fd_, &buf_[had], kChunk);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    error_ = errno;
    n = 0;
  }
  buf_.resize(had + static_cast<std::size_t>(n));
  if (n == 0) eof_ = true;
  return n > 0;
}

bool CallDataLineReader::Next(std::string* line) {
  line->clear();
  if (fd_ < 0) return false;
  bool cut = false;
  for (;;) {
    const std::size_t nl = buf_.find('\n', pos_);
    if (nl != std::string::npos) {
      if (!cut) {
        std::size_t end = nl;
        if (end > pos_ && buf_[end - 1] == '\r') --end;
        line->assign(buf_, pos_, std::min(end - pos_, kMaxLine));
      }
      pos_ = nl + 1;
      return true;
    }
    if (!cut && buf_.size() - pos_ > kMaxLine) {
      // Keep the head of the line and drop the rest as it comes.
      line->assign(buf_, pos_, kMaxLine);
      cut = true;
    }
    if (cut) pos_ = buf_.size();
    if (!Fill()) break;
  }
  if (cut) return true;
  if (pos_ >= buf_.size()) return false;
  std::size_t end = buf_.size();
  if (buf_[end - 1] == '\r') --end;
  line->assign(buf_, pos_, std::min(end - pos_, kMaxLine));
  pos_ = buf_.size();
  return true;
}
