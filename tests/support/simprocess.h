// The pbxsim program as a child process: its pseudo-terminal reached
// through a link in a folder of the test's, commands written to its
// standard input, its output (the traffic both ways, the answers to
// commands) kept in a file there. Every wait is bounded in real time.
#pragma once
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/childprocess.h"

namespace simprocess {

class SimProcess : public childprocess::ChildProcess {
 public:
  // port: the COM number the link stands for (the tests' link opens COM5).
  explicit SimProcess(const std::filesystem::path& dir, int port = 5)
      : SimProcess(dir, port, (dir / ("pbx-com" + std::to_string(port))).string()) {}

  // The line is up and its link is there.
  bool Started(int timeoutMs = 10000) const {
    return WaitUntil([&] { return Says("start the program with") && std::filesystem::exists(link_); }, timeoutMs);
  }
  const std::string& Link() const { return link_; }
  // Every command written before has been done.
  bool Sync(int timeoutMs = 10000) {
    const std::string mark = "sync-mark-" + std::to_string(++marks_);
    Command("echo " + mark);
    return WaitUntil([&] { return Says(mark); }, timeoutMs);
  }
  void Kill() { Stop(); }

 private:
  SimProcess(const std::filesystem::path& dir, int port, const std::string& link)
      : ChildProcess("pbxsim", {"--link", link, "--port", std::to_string(port)},
                     {.out = (dir / "pbxsim.out").string(), .errorsToo = true}),
        link_(link) {}

  template <class Pred>
  static bool WaitUntil(Pred pred, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
  }

  std::string link_;
  int marks_ = 0;
};

}  // namespace simprocess
