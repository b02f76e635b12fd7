// The program as a process: a folder of its own (a copy of the binary,
// links to the libraries, plug-ins and the language and help files), a
// working folder, and the child started offscreen with a start-up probe.
#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/filefaults.h"

namespace programrig {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline fs::path BinDir() { return fs::path(BRIMLOW_BINARY_DIR) / "bin"; }

struct Folder {
  fs::path root, bin, home;
  explicit Folder(const std::string& name) {
    root = fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
    fs::remove_all(root);
    bin = root / "bin";
    home = root / "home";
    fs::create_directories(bin);
    fs::create_directories(home);
    fs::copy_file(BinDir() / "brimlow", bin / "brimlow");
    for (const auto& e : fs::directory_iterator(BinDir())) {
      const std::string n = e.path().filename().string();
      const bool wanted = e.path().extension() == ".so" || n == "velt_ger.lng" || n == "velt_ger.hlp" || n == "pbxsim";
      if (wanted) fs::create_symlink(e.path(), bin / n);
    }
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  std::string Ini() const { return (bin / "brimlow.ini").string(); }
};

// A running child with its probe pipe (and, when asked for, its control
// socket).
struct Child {
  pid_t pid = -1;
  int probe = -1;    // reading end
  int control = -1;  // the test's end of PALOMIR_TEST_CONTROL
  ~Child() {
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    if (probe >= 0) ::close(probe);
    if (control >= 0) ::close(control);
  }
  // One request to the program's control and its one-line answer ("" when
  // none came in time).
  std::string Ask(const std::string& request, int timeoutMs = 5000) {
    if (control < 0) return {};
    const std::string line = request + "\n";
    if (::send(control, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) return {};
    std::string got;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      pollfd p{control, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0) continue;
      char c;
      if (::read(control, &c, 1) != 1) return {};
      if (c == '\n') return got;
      got += c;
    }
    return {};
  }
  // Waits for the probe's line; pump runs between polls.
  bool WaitShown(int timeoutMs, const std::function<void()>& pump = {}) {
    std::string got;
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      pollfd p{probe, POLLIN, 0};
      if (::poll(&p, 1, 5) > 0) {
        char buf[32];
        const ssize_t n = ::read(probe, buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<std::size_t>(n));
        if (got.find("shown\n") != std::string::npos) return true;
      }
      if (pump) pump();
    }
    return false;
  }
  // The exit status, or -1 when it did not end in time (or died by a signal).
  int Wait(int timeoutMs, const std::function<void()>& pump = {}) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      int status = 0;
      const pid_t r = ::waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      if (pump) pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
  }
};

// Starts program with the environment's additions (an empty value unsets)
// in folder cwd (also its PALOMIR_HOME unless env says), offscreen, with the
// probe on a pipe. With control, the program also gets a control socket, and
// a process group of its own, so that what it leaves behind can be found.
inline bool Start(Child& c, const std::string& program, const std::string& cwd,
                  const std::map<std::string, std::string>& env, bool control = false) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  int sockets[2] = {-1, -1};
  if (control && ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) return false;

  // Everything the child needs is made before the fork: the test's own
  // threads (the simulated PBX) may hold the allocator's lock at that
  // instant, and a child that allocates would then never reach exec.
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    const std::string one(*e);
    const auto eq = one.find('=');
    if (eq != std::string::npos) vars[one.substr(0, eq)] = one.substr(eq + 1);
  }
  vars["QT_QPA_PLATFORM"] = "offscreen";
  vars["PALOMIR_STARTUP_PROBE"] = std::to_string(fds[1]);
  if (control) vars["PALOMIR_TEST_CONTROL"] = std::to_string(sockets[1]);
  // The program's home is its working folder, as scripts/launch runs it:
  // its drive folders land there, never in the user's.
  vars["PALOMIR_HOME"] = cwd;
  for (const auto& [k, v] : env) {
    if (v.empty())
      vars.erase(k);
    else
      vars[k] = v;
  }
  std::vector<std::string> lines;
  for (const auto& [k, v] : vars) lines.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& l : lines) envp.push_back(l.data());
  envp.push_back(nullptr);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};

  const pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    // The probe and the control end stay open across exec.
    ::fcntl(fds[1], F_SETFD, 0);
    if (control) {
      ::setpgid(0, 0);
      ::fcntl(sockets[1], F_SETFD, 0);
    }
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execve(path.c_str(), argv, envp.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (control) {
    ::setpgid(pid, pid);  // either side may come first
    ::close(sockets[1]);
    c.control = sockets[0];
  }
  c.pid = pid;
  c.probe = fds[0];
  return true;
}

// True when no process of the group is left (the group of a child started
// with control is its pid).
inline bool GroupGone(pid_t group) { return ::kill(-group, 0) != 0 && errno == ESRCH; }

// Polls pred (pump between polls) until it holds or the time is up.
template <class Pred>
bool WaitUntil(Pred pred, int ms, const std::function<void()>& pump = {}) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    if (pump) pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

// The child's environment: the sanitizers' suppressions, no drive root.
inline std::map<std::string, std::string> ProgramEnv() {
  return {{"LSAN_OPTIONS", std::string("suppressions=") + BRIMLOW_SOURCE_DIR + "/tests/lsan.supp:print_suppressions=0"},
          {"PALOMIR_DRIVE_ROOT", ""}};
}

}  // namespace programrig
