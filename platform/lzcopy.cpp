// The configuration's file copy: the target appears whole or not at all.
#include "platform/lzcopy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/text.h"

namespace plat {

int CopyFileLZ(const char* source, const char* target) {
  if (!source || !target || !*source || !*target) return 0;
  int in = ::open(source, O_RDONLY | O_CLOEXEC);
  if (in < 0) return 0;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return 0;
  }
  const std::string tmp = std::string(target) + StrFormatC(".tmp%ld", static_cast<long>(::getpid()));
  int out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    ::close(in);
    return 0;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && ok;) {
      ssize_t w = ::write(out, buf + done, static_cast<std::size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) ok = false;
      else done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  ok = ok && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  ok = ok && ::rename(tmp.c_str(), target) == 0;
  if (!ok) ::unlink(tmp.c_str());
  return ok ? 1 : 0;
}

}  // namespace plat
