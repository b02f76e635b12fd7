#include "platform/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/text.h"

namespace plat::io {
namespace {

std::atomic<Hook*> g_hook{nullptr};

// Asks the hook; true when the operation is to fail (errno set).
bool Refused(Op op, const char* path) {
  Hook* h = g_hook.load(std::memory_order_acquire);
  if (!h) return false;
  int err = h->Before(op, path ? path : "");
  if (err == 0) return false;
  errno = err;
  return true;
}

std::string Folder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "<base>.tmp<pid>_<n>": the pid, or -1 when the name is not one of ours.
long TemporaryPid(const std::string& name, const std::string& base) {
  std::string prefix = base + ".tmp";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  std::size_t i = prefix.size();
  long pid = 0;
  std::size_t digits = 0;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9' && digits < 10) {
    pid = pid * 10 + (name[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0 || i >= name.size() || name[i] != '_') return -1;
  ++i;
  if (i >= name.size()) return -1;
  for (; i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return -1;
  return pid;
}

}  // namespace

const char* OpName(Op op) {
  switch (op) {
    case Op::Open: return "open";
    case Op::Write: return "write";
    case Op::PWrite: return "pwrite";
    case Op::Fsync: return "fsync";
    case Op::Fdatasync: return "fdatasync";
    case Op::Rename: return "rename";
    case Op::Close: return "close";
    case Op::Unlink: return "unlink";
    case Op::Truncate: return "truncate";
  }
  return "?";
}

void SetHook(Hook* hook) { g_hook.store(hook, std::memory_order_release); }
Hook* CurrentHook() { return g_hook.load(std::memory_order_acquire); }

int Open(const char* path, int flags, mode_t mode) {
  if (Refused(Op::Open, path)) return -1;
  int fd;
  do fd = ::open(path, flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

namespace {

// All len bytes through writeSome(from, count, done), again after an
// interruption; a write that takes nothing is a full disk.
template <class WriteSome>
bool WriteWhole(const void* data, std::size_t len, WriteSome writeSome) {
  const char* p = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = writeSome(p + done, len - done, done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool Write(int fd, const void* data, std::size_t len) {
  if (Refused(Op::Write, nullptr)) return false;
  return WriteWhole(data, len, [fd](const char* p, std::size_t n, std::size_t) { return ::write(fd, p, n); });
}

bool PWrite(int fd, const void* data, std::size_t len, off_t offset) {
  if (Refused(Op::PWrite, nullptr)) return false;
  return WriteWhole(data, len, [fd, offset](const char* p, std::size_t n, std::size_t done) {
    return ::pwrite(fd, p, n, offset + static_cast<off_t>(done));
  });
}

int Fsync(int fd) {
  if (Refused(Op::Fsync, nullptr)) return -1;
  return ::fsync(fd);
}

int Fdatasync(int fd) {
  if (Refused(Op::Fdatasync, nullptr)) return -1;
  return ::fdatasync(fd);
}

int Close(int fd) {
  if (Refused(Op::Close, nullptr)) {
    int e = errno;
    ::close(fd);  // the descriptor is gone either way, as after a real failed close
    errno = e;
    return -1;
  }
  return ::close(fd);
}

int Rename(const char* from, const char* to) {
  if (Refused(Op::Rename, to)) return -1;
  return ::rename(from, to);
}

int Unlink(const char* path) {
  if (Refused(Op::Unlink, path)) return -1;
  return ::unlink(path);
}

int Ftruncate(int fd, off_t len) {
  if (Refused(Op::Truncate, nullptr)) return -1;
  int r;
  do r = ::ftruncate(fd, len);
  while (r < 0 && errno == EINTR);
  return r;
}

bool SyncParentDir(const std::string& path) {
  int dfd = ::open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return false;
  // Some file systems refuse fsync on a folder (EINVAL): nothing more can be done there.
  bool ok = Fsync(dfd) == 0 || errno == EINVAL;
  ::close(dfd);
  return ok;
}

int RemoveStaleTemporaries(const std::string& file) {
  std::string base = BaseName(file);
  std::string dir = Folder(file);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return 0;
  int removed = 0;
  const long self = static_cast<long>(::getpid());
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    long pid = TemporaryPid(name, base);
    if (pid <= 0 || pid == self) continue;
    // A process that still runs may be writing it; kill(0) only asks.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    std::string path = dir == "/" ? "/" + name : dir + "/" + name;
    if (::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

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
  RemoveStaleTemporaries(path);
  static std::atomic<unsigned> counter{0};
  std::string tmp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    tmp = path + StrFormatC(".tmp%ld_%u", static_cast<long>(::getpid()), counter++);
    fd = Open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = Write(fd, data.data(), data.size());
  if (ok && existed) ::fchmod(fd, st.st_mode & 07777);
  ok = ok && Fsync(fd) == 0;
  int saved = errno;
  ok = (Close(fd) == 0) && ok;
  if (!ok && saved) errno = saved;
  ok = ok && Rename(tmp.c_str(), path.c_str()) == 0;
  if (!ok) {
    saved = errno;
    ::unlink(tmp.c_str());
    errno = saved;
    return false;
  }
  SyncParentDir(path);
  return true;
}

namespace {

std::string ResolvedPath(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path p = fs::absolute(path, ec);
  if (ec) return path;
  for (int hops = 0; hops < 40; ++hops) {
    if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec) break;
    const fs::path target = fs::read_symlink(p, ec);
    if (ec) break;
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  const fs::path r = fs::weakly_canonical(p, ec);
  return ec ? p.lexically_normal().string() : r.string();
}

}  // namespace

bool IsFileOrTemporaryOf(const std::string& path, const std::string& own) {
  if (path.empty() || own.empty()) return false;
  struct stat a {}, b {};
  if (::stat(path.c_str(), &a) == 0 && ::stat(own.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino)
    return true;
  const std::string p = ResolvedPath(path);
  const std::string o = ResolvedPath(own);
  if (p == o) return true;
  auto temporaryOf = [&p](const std::string& file) {
    return Folder(p) == Folder(file) && TemporaryPid(BaseName(p), BaseName(file)) >= 0;
  };
  // Temporaries lie beside the name the owner writes through, a link or not.
  std::error_code ec;
  const std::string given = std::filesystem::absolute(own, ec).lexically_normal().string();
  return temporaryOf(o) || (!ec && temporaryOf(given));
}

}  // namespace plat::io
