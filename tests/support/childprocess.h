// A program of the build as a child process: commands written to its
// standard input, its output kept in a file the test reads. The tests' peers
// (the simulated PBX, the network peer) run through it.
#pragma once
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace childprocess {

struct Options {
  // The file the output goes to; empty: one of its own in /tmp, removed
  // with the process.
  std::string out;
  bool errorsToo = false;  // its standard error into the same file
  int stopSignal = SIGKILL;
};

class ChildProcess {
 public:
  // program: the name of a program in the build's bin folder.
  ChildProcess(const std::string& program, const std::vector<std::string>& args, Options options = {})
      : out_(options.out), ownsOut_(options.out.empty()), stopSignal_(options.stopSignal) {
    int out = -1;
    if (ownsOut_) {
      std::string tmpl = "/tmp/" + program + "-XXXXXX";
      out = ::mkostemp(tmpl.data(), O_CLOEXEC);
      out_ = tmpl;
    } else {
      out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    }
    int in[2];
    if (out < 0 || ::pipe2(in, O_CLOEXEC) != 0) {
      if (out >= 0) ::close(out);
      return;
    }
    std::vector<std::string> a = {std::string(BRIMLOW_BINARY_DIR) + "/bin/" + program};
    a.insert(a.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : a) argv.push_back(s.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out, 1);
      if (options.errorsToo) ::dup2(out, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out);
    in_ = in[1];
  }
  ~ChildProcess() {
    Stop();
    if (ownsOut_ && !out_.empty()) ::unlink(out_.c_str());
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  // One line to its standard input; false when it could not be written.
  bool Command(const std::string& line) {
    const std::string l = line + "\n";
    return in_ >= 0 && ::write(in_, l.data(), l.size()) == static_cast<ssize_t>(l.size());
  }
  // The stop signal, waited for; then its input closed.
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, stopSignal_);
      while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
    }
    if (in_ >= 0) ::close(in_);
    in_ = -1;
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

 private:
  std::string out_;
  bool ownsOut_;
  int stopSignal_;
  pid_t pid_ = -1;
  int in_ = -1;
};

}  // namespace childprocess
