// The program's own folder and the mapping of stored Windows-style names.
#include "platform/paths.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace plat {
namespace {

std::mutex& RootMutex() {
  static std::mutex m;
  return m;
}
std::string& RootOverride() {
  static std::string s;
  return s;
}

std::string WithoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string Slashes(std::string s) {
  for (char& c : s)
    if (c == '\\') c = '/';
  return s;
}

}  // namespace

std::string ExePath() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return std::string();
  buf.resize(static_cast<std::size_t>(n));
  return buf;
}

std::string ExeDir() {
  std::string p = ExePath();
  std::size_t slash = p.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : p.substr(0, slash);
}

void SetDriveRoot(const std::string& dir) {
  std::lock_guard<std::mutex> lk(RootMutex());
  RootOverride() = WithoutTrailingSlash(dir);
}

// A set root (or $PALOMIR_DRIVE_ROOT) serves every drive letter; only
// without one does each letter get a folder of its own, in the program's
// home.
std::string DriveRoot(char letter) {
  {
    std::lock_guard<std::mutex> lk(RootMutex());
    if (!RootOverride().empty()) return RootOverride();
  }
  if (const char* env = std::getenv("PALOMIR_DRIVE_ROOT"); env && *env) return WithoutTrailingSlash(env);
  std::string base;
  if (const char* home = std::getenv("PALOMIR_HOME"); home && *home) {
    base = WithoutTrailingSlash(home);
  } else {
    const char* user = std::getenv("HOME");
    base = ((user && *user) ? WithoutTrailingSlash(user) : std::string("/tmp")) + "/.palomir";
  }
  if (base == "/") base.clear();
  const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  return base + "/drive_" + std::string(1, l);
}

std::string MapPath(const std::string& stored) {
  if (stored.empty() || stored.front() == '/') return stored;
  const bool drive = stored.size() >= 2 && stored[1] == ':' && std::isalpha(static_cast<unsigned char>(stored[0]));
  if (drive || stored.front() == '\\') {
    // "c:\a\b", "c:a\b" and "\a\b" all land below the drive's root.
    std::string rest = Slashes(stored.substr(drive ? 2 : 0));
    std::size_t skip = rest.find_first_not_of('/');
    rest = skip == std::string::npos ? std::string() : rest.substr(skip);
    std::string root = DriveRoot(drive ? stored[0] : 'c');
    return rest.empty() ? root : (root == "/" ? "/" + rest : root + "/" + rest);
  }
  return Slashes(stored);
}

bool MakeParentFolders(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) return true;
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  if (!ec && std::filesystem::is_directory(parent, ec)) return true;
  errno = ec ? ec.value() : ENOTDIR;
  return false;
}

}  // namespace plat
