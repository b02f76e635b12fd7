// File faults for tests of the files the user keeps: a full disk or a dead
// device at one chosen operation, and a real SIGKILL of a real child
// process while it writes, at a random instant or at exactly one fsync or
// rename.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/fileio.h"

namespace testsupport {

// The bytes of a file ("" when it cannot be read), a file written with
// exactly these bytes, and the names in a folder, sorted.
inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}
inline std::vector<std::string> NamesIn(const std::string& dir) {
  std::vector<std::string> n;
  for (const auto& e : std::filesystem::directory_iterator(dir)) n.push_back(e.path().filename().string());
  std::sort(n.begin(), n.end());
  return n;
}

// Counts the file operations and fails the n-th (from 1) of one kind with
// the given errno; n 0 fails none. Installed for its scope.
class FileFault : public plat::io::Hook {
 public:
  FileFault(plat::io::Op op = plat::io::Op::Write, int nth = 0, int err = ENOSPC)
      : op_(op), nth_(nth), err_(err), previous_(plat::io::CurrentHook()) {
    plat::io::SetHook(this);
  }
  ~FileFault() override { plat::io::SetHook(previous_); }
  FileFault(const FileFault&) = delete;
  FileFault& operator=(const FileFault&) = delete;

  int Before(plat::io::Op op, const char*) override {
    int k = ++counts_[static_cast<int>(op)];
    if (op == op_ && nth_ > 0 && k == nth_) {
      ++failed_;
      return err_;
    }
    return 0;
  }
  int Count(plat::io::Op op) const { return counts_[static_cast<int>(op)]; }
  int Failed() const { return failed_; }

 private:
  plat::io::Op op_;
  int nth_;
  int err_;
  plat::io::Hook* previous_;
  std::atomic<int> counts_[16] = {};
  int failed_ = 0;
};

// In a child: kills the process itself just before the n-th (from 1)
// operation of the kinds given (fsync, fdatasync and rename by default),
// so a test can stop a writer at every such point in turn.
class KillAtOp : public plat::io::Hook {
 public:
  explicit KillAtOp(int nth, std::vector<plat::io::Op> ops = {plat::io::Op::Fsync, plat::io::Op::Fdatasync,
                                                              plat::io::Op::Rename})
      : nth_(nth), ops_(std::move(ops)) {
    plat::io::SetHook(this);
  }
  ~KillAtOp() override { plat::io::SetHook(nullptr); }
  int Before(plat::io::Op op, const char*) override {
    for (plat::io::Op o : ops_)
      if (o == op && ++seen_ == nth_) ::kill(::getpid(), SIGKILL);
    return 0;
  }

 private:
  int nth_;
  int seen_ = 0;
  std::vector<plat::io::Op> ops_;
};

// Runs body in a forked child. With killAfterUs > 0 the parent sends
// SIGKILL after that many microseconds (the child may have finished: then
// it exits 0). Returns how the child ended: true when it was killed.
// The child never returns into the test: it ends with _exit.
inline bool RunChild(const std::function<void()>& body, long killAfterUs, int* exitCode = nullptr) {
  pid_t pid = ::fork();
  if (pid < 0) return false;
  if (pid == 0) {
    body();
    ::_exit(0);
  }
  if (killAfterUs > 0) {
    // Waits on the child itself, so one that ends first costs no more time.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
      pollfd p{pidfd, POLLIN, 0};
      const timespec wait{killAfterUs / 1000000, (killAfterUs % 1000000) * 1000};
      while (::ppoll(&p, 1, &wait, nullptr) < 0 && errno == EINTR) {
      }
      ::close(pidfd);
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(killAfterUs));
    }
    ::kill(pid, SIGKILL);  // a child that ended is a zombie until reaped: no other process gets it
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// A seeded generator for kill instants, so a failing run can be repeated
// (the seed is printed by the test on failure).
inline std::mt19937& KillRandom(std::uint32_t seed = 0) {
  static std::mt19937 rng(seed ? seed : static_cast<std::uint32_t>(::getpid()));
  return rng;
}

// How long a loop of killed children goes on: until enough of them were
// killed in the middle of their work or the time is up, whichever comes
// first (and never past maxRuns). At least one run is always made. What a
// test asserts must not depend on how far the loop got: a slow or busy
// machine makes fewer runs, never a failure.
struct KillBudget {
  int enough = 40;
  std::chrono::milliseconds time{4000};
  int maxRuns = 400;
};

struct KillTally {
  int runs = 0;
  int killed = 0;  // ended by the kill
  int midway = 0;  // ... in the middle of the work, as the check said
};

// Runs writer in a child again and again, each time killed with SIGKILL at
// a random instant between 50 us and maxUs; a writer that ends by itself
// first exits normally, and the time it took bounds the next instants (so
// the kills land inside the work at any speed). After each run
// check(run, killed) looks at the files and answers whether the kill
// landed in the middle of the work.
inline KillTally KillAtRandomInstants(const KillBudget& budget, long maxUs, const std::function<void()>& writer,
                                      const std::function<bool(int run, bool killed)>& check) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + budget.time;
  KillTally t;
  long upTo = std::max(100L, maxUs);
  while (t.runs < budget.maxRuns && t.midway < budget.enough && (t.runs == 0 || Clock::now() < end) &&
         !::testing::Test::HasFailure()) {
    const long us = std::uniform_int_distribution<long>(50, upTo)(KillRandom());
    const auto t0 = Clock::now();
    const bool killed = RunChild(writer, us);
    if (!killed) {
      const long took = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count());
      upTo = std::max(100L, std::min(upTo, took));
    }
    t.killed += killed;
    t.midway += check(t.runs, killed) && killed;
    ++t.runs;
  }
  return t;
}

// The same for a writer that never ends by itself: every run is killed,
// every kill is in the middle; runs bounded as above.
inline KillTally KillEndlessWriter(const KillBudget& budget, long maxUs, const std::function<void()>& writer,
                                   const std::function<void(int run)>& check) {
  return KillAtRandomInstants(budget, maxUs, writer, [&](int run, bool) {
    check(run);
    return true;
  });
}

// Sets a limit on the size of the files this process writes, as a nearly
// full disk would: a write past it takes what fits and then fails (EFBIG).
// For a child process only; SIGXFSZ is ignored so the write just fails.
inline void LimitFileSize(off_t bytes) {
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit r{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
  ::setrlimit(RLIMIT_FSIZE, &r);
}

}  // namespace testsupport
