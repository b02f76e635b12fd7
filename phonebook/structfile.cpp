#include "phonebook/structfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fileio.h"

CStructFile::~CStructFile() { Close(); }

int CStructFile::Init() {
  path_.clear();
  hasHeader_ = 0;
  headerSize_ = 0;
  recordSize_ = 0;
  lastOffset_ = 0;
  position_ = 0;
  beginFlag_ = 1;
  endFlag_ = 0;
  lastOk_ = true;
  return 1;
}

int CStructFile::OpenOrCreate(const std::string& path) {
  Close();
  path_ = path;
  readOnly_ = false;
  position_ = 0;
  lastOffset_ = 0;
  // Create only what is missing: a file that cannot be opened for another
  // reason (rights, a lock, a dead share) must never be emptied.
  for (int attempt = 0; attempt < 3; ++attempt) {
    fd_ = plat::io::Open(path.c_str(), O_RDWR);
    if (fd_ >= 0) break;
    if (errno == EACCES || errno == EROFS || errno == EPERM) {
      fd_ = plat::io::Open(path.c_str(), O_RDONLY);
      if (fd_ >= 0) {
        readOnly_ = true;
        break;
      }
    }
    if (errno != ENOENT) break;
    fd_ = plat::io::Open(path.c_str(), O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd_ >= 0) {
      lastOk_ = true;
      return 1;
    }
    if (errno != EEXIST) break;  // made by someone else meanwhile: open it
  }
  lastOk_ = fd_ >= 0;
  return fd_ >= 0 ? 0 : -1;
}

bool CStructFile::Close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  return plat::io::Close(fd) == 0;
}

std::uint64_t CStructFile::FileSize() const {
  if (fd_ < 0) return 0;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t CStructFile::OffsetOf(std::uint32_t n) const {
  std::uint64_t off = DataStart();
  if (n > 0) off += static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(recordSize_);
  return off;
}

std::uint64_t CStructFile::NumberedOffset(std::int32_t n) const {
  // Without a header the count runs from the present position.
  std::uint64_t off = hasHeader_ ? static_cast<std::uint64_t>(headerSize_) : position_;
  if (n > 0) off += static_cast<std::uint64_t>(n - 1) * static_cast<std::uint64_t>(recordSize_);
  return off;
}

std::uint32_t CStructFile::Landed(std::uint64_t off) {
  lastOffset_ = static_cast<std::uint32_t>(off);
  position_ = static_cast<std::uint32_t>(off + static_cast<std::uint64_t>(recordSize_));
  lastOk_ = true;
  return lastOffset_;
}

long long CStructFile::ReadBlock(std::uint64_t offset, void* buffer, std::size_t len) const {
  if (fd_ < 0) return -1;
  char* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = ::pread(fd_, p + done, len - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<long long>(done);
}

bool CStructFile::ReadWhole(std::uint64_t offset, void* buffer) {
  if (recordSize_ <= 0 || offset > 0xFFFFFFFFull) return false;
  // A partial record is no record: the caller's buffer stays as it was.
  if (FileSize() < offset + static_cast<std::uint64_t>(recordSize_)) return false;
  long long n = ReadBlock(offset, buffer, static_cast<std::size_t>(recordSize_));
  return n == recordSize_;
}

bool CStructFile::WriteWhole(std::uint64_t offset, const void* buffer, std::size_t len) {
  if (fd_ < 0 || readOnly_ || len == 0) {
    errno = fd_ < 0 ? EBADF : EACCES;
    return false;
  }
  return plat::io::PWrite(fd_, buffer, len, static_cast<off_t>(offset));
}

bool CStructFile::IsWholeRecordAt(std::uint64_t offset, std::uint64_t size) const {
  if (recordSize_ <= 0 || offset < DataStart()) return false;
  if ((offset - DataStart()) % static_cast<std::uint64_t>(recordSize_) != 0) return false;
  return offset + static_cast<std::uint64_t>(recordSize_) <= size;
}

std::uint32_t CStructFile::ReadHeader(void* buffer) {
  lastOk_ = false;
  if (!hasHeader_ || headerSize_ <= 0) return 0;
  if (ReadBlock(0, buffer, static_cast<std::size_t>(headerSize_)) != headerSize_) return 0;
  std::uint32_t before = position_;
  position_ = static_cast<std::uint32_t>(headerSize_);
  lastOk_ = true;
  return before;
}

std::uint32_t CStructFile::ReadNext(void* buffer) {
  lastOk_ = false;
  std::uint64_t pos = position_;
  if (pos < DataStart()) pos = DataStart();  // never hand out header bytes as a record
  if (FileSize() <= pos) {
    endFlag_ = 1;
    return lastOffset_;
  }
  endFlag_ = 0;
  if (!ReadWhole(pos, buffer)) {
    endFlag_ = 1;
    return 0;
  }
  return Landed(pos);
}

std::uint32_t CStructFile::ReadPrevious(void* buffer) {
  lastOk_ = false;
  beginFlag_ = 1;
  std::uint64_t rec = recordSize_ > 0 ? static_cast<std::uint64_t>(recordSize_) : 0;
  if (rec == 0 || position_ < DataStart() + 2 * rec) return position_;
  std::uint64_t off = position_ - 2 * rec;
  if (!ReadWhole(off, buffer)) return position_;
  endFlag_ = 0;
  return Landed(off);
}

std::uint32_t CStructFile::ReadRecord(std::int32_t n, void* buffer) {
  lastOk_ = false;
  const std::uint64_t off = NumberedOffset(n);
  if (recordSize_ <= 0 || FileSize() < off + static_cast<std::uint64_t>(recordSize_) || !ReadWhole(off, buffer)) {
    beginFlag_ = 0;
    endFlag_ = 1;
    return 0;
  }
  return Landed(off);
}

std::uint32_t CStructFile::ReadAt(std::uint32_t offset, void* buffer) {
  lastOk_ = false;
  beginFlag_ = 0;
  if (!ReadWhole(offset, buffer)) {
    endFlag_ = 1;
    return 0;
  }
  endFlag_ = 0;
  return Landed(offset);
}

std::uint32_t CStructFile::ReadFirst(void* buffer) {
  lastOk_ = false;
  std::uint64_t off = DataStart();
  if (!ReadWhole(off, buffer)) {
    endFlag_ = 1;
    return 0;
  }
  beginFlag_ = 1;
  endFlag_ = 0;
  return Landed(off);
}

std::uint32_t CStructFile::ReadLast(void* buffer) {
  lastOk_ = false;
  std::uint32_t count = GetRecordCount();
  if (count == 0) return 0;
  std::uint64_t off = OffsetOf(count);
  if (!ReadWhole(off, buffer)) return 0;
  beginFlag_ = 0;
  endFlag_ = 1;
  return Landed(off);
}

std::uint32_t CStructFile::WriteNext(const void* buffer) {
  lastOk_ = false;
  lastOffset_ = position_;
  if (!IsWholeRecordAt(position_, FileSize())) return 0;
  if (!WriteWhole(position_, buffer, static_cast<std::size_t>(recordSize_))) return 0;
  std::uint32_t off = position_;
  position_ += static_cast<std::uint32_t>(recordSize_);
  lastOk_ = true;
  return off;
}

std::uint32_t CStructFile::Append(const void* buffer) {
  lastOk_ = false;
  if (recordSize_ <= 0) return 0;
  // Behind the last whole record: a torn tail is overwritten, not extended.
  std::uint64_t off = OffsetOf(GetRecordCount() + 1);
  if (off + static_cast<std::uint64_t>(recordSize_) > 0xFFFFFFFFull) {
    errno = EFBIG;
    return 0;
  }
  if (!WriteWhole(off, buffer, static_cast<std::size_t>(recordSize_))) return 0;
  beginFlag_ = 0;
  endFlag_ = 1;
  return Landed(off);
}

std::uint32_t CStructFile::WriteRecord(std::int32_t n, const void* buffer) {
  lastOk_ = false;
  const std::uint64_t off = NumberedOffset(n);
  if (recordSize_ <= 0 || FileSize() < off + static_cast<std::uint64_t>(recordSize_)) {
    beginFlag_ = 0;
    endFlag_ = 1;
    return 0;
  }
  if (!WriteWhole(off, buffer, static_cast<std::size_t>(recordSize_))) return 0;
  beginFlag_ = 0;
  endFlag_ = 0;
  return Landed(off);
}

std::uint32_t CStructFile::WriteAt(std::uint32_t offset, const void* buffer) {
  lastOk_ = false;
  if (!IsWholeRecordAt(offset, FileSize())) {
    errno = EINVAL;
    return 0;
  }
  if (!WriteWhole(offset, buffer, static_cast<std::size_t>(recordSize_))) return 0;
  return Landed(offset);
}

int CStructFile::WriteHeader(const void* buffer) {
  lastOk_ = headerSize_ > 0 && WriteWhole(0, buffer, static_cast<std::size_t>(headerSize_));
  return lastOk_ ? 0 : -1;
}

bool CStructFile::WriteHeaderBytes(std::uint32_t offset, const void* data, std::size_t len) {
  lastOk_ = static_cast<std::uint64_t>(offset) + len <= static_cast<std::uint64_t>(headerSize_ > 0 ? headerSize_ : 0) &&
            WriteWhole(offset, data, len);
  return lastOk_;
}

int CStructFile::SetHeaderSize(std::int32_t size) {
  headerSize_ = size;
  if (size > 0) hasHeader_ = 1;
  return 1;
}

int CStructFile::SetRecordSize(std::int32_t size) {
  if (size > 0) recordSize_ = size;
  return 0;
}

std::uint32_t CStructFile::GetRecordCount() {
  std::uint64_t size = FileSize();
  std::uint64_t start = DataStart();
  if (recordSize_ <= 0 || size <= start) return 0;
  std::uint64_t data = size - start;
  std::uint64_t rec = static_cast<std::uint64_t>(recordSize_);
  if (data % rec != 0) OnPartialRecord();
  return static_cast<std::uint32_t>(data / rec);
}

bool CStructFile::Sync() {
  lastOk_ = fd_ >= 0 && !readOnly_ && plat::io::Fdatasync(fd_) == 0;
  return lastOk_;
}

bool CStructFile::TruncateTo(std::uint32_t records) {
  lastOk_ = false;
  if (fd_ < 0 || readOnly_ || recordSize_ <= 0) return false;
  std::uint64_t len = DataStart() + static_cast<std::uint64_t>(records) * static_cast<std::uint64_t>(recordSize_);
  lastOk_ = plat::io::Ftruncate(fd_, static_cast<off_t>(len)) == 0;
  return lastOk_;
}
