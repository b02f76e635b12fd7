// Where a fuzz target keeps the files it writes for each input: a folder of
// its own process in memory (/dev/shm) where the machine has one, so that
// the syncs of the user's-file paths cost nothing and no crowded /tmp is
// scanned for stale temporaries; else below TMPDIR or /tmp. It goes at exit.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzscratch {

inline const std::string& Dir() {
  // Never destroyed: the exit handler that removes the folder runs after
  // the static destructors.
  static const std::string* dir = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : (tmp && *tmp ? tmp : "/tmp");
    auto* d = new std::string(base + "/brimlow_fuzz_" + std::to_string(::getpid()));
    ::mkdir(d->c_str(), 0700);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Dir(), ec);  // memory, when it is /dev/shm
    });
    return d;
  }();
  return *dir;
}

// A file name in that folder.
inline std::string File(const std::string& name) { return Dir() + "/" + name; }

}  // namespace fuzzscratch
