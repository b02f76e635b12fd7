// The pbxsim program as a child process: its pseudo-terminal reached
// through a link in a folder of the test's, commands written to its
// standard input, its output (the traffic both ways, the answers to
// commands) kept in a file there. Every wait is bounded in real time.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace simprocess {

class SimProcess {
 public:
  // port: the COM number the link stands for (the tests' link opens COM5).
  explicit SimProcess(const std::filesystem::path& dir, int port = 5)
      : link_((dir / ("pbx-com" + std::to_string(port))).string()), out_((dir / "pbxsim.out").string()) {
    const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int in[2];
    if (out < 0 || ::pipe2(in, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out, 1);
      ::dup2(out, 2);
      const std::string bin = std::string(BRIMLOW_BINARY_DIR) + "/bin/pbxsim";
      const std::string p = std::to_string(port);
      ::execl(bin.c_str(), bin.c_str(), "--link", link_.c_str(), "--port", p.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out);
    in_ = in[1];
  }
  ~SimProcess() { Kill(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The line is up and its link is there.
  bool Started(int timeoutMs = 10000) const {
    return WaitUntil([&] { return Says("start the program with") && std::filesystem::exists(link_); }, timeoutMs);
  }
  const std::string& Link() const { return link_; }
  void Command(const std::string& line) {
    const std::string l = line + "\n";
    if (in_ >= 0) [[maybe_unused]] ssize_t w = ::write(in_, l.data(), l.size());
  }
  // Every command written before has been done.
  bool Sync(int timeoutMs = 10000) {
    const std::string mark = "sync-mark-" + std::to_string(++marks_);
    Command("echo " + mark);
    return WaitUntil([&] { return Says(mark); }, timeoutMs);
  }
  std::string Output() const {
    std::ifstream f(out_, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  bool Says(const std::string& text) const { return Output().find(text) != std::string::npos; }
  // Lines of the output that hold text.
  int Count(const std::string& text) const {
    std::istringstream in(Output());
    int n = 0;
    for (std::string l; std::getline(in, l);) n += l.find(text) != std::string::npos;
    return n;
  }
  void Kill() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
    }
  }

 private:
  template <class Pred>
  static bool WaitUntil(Pred pred, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
  }

  std::string link_, out_;
  pid_t pid_ = -1;
  int in_ = -1;
  int marks_ = 0;
};

}  // namespace simprocess
