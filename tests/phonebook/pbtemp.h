// A fresh folder per test, removed afterwards.
#pragma once
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>

namespace pbtest {

class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    static std::atomic<int> n{0};
    path_ = std::filesystem::temp_directory_path() /
            (tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(n++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Str() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace pbtest
