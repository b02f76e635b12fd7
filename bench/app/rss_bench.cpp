// brimlow's resident memory over a long run of calls: the program started
// as a process against the simulated PBX, 10,000 answered calls (incoming
// and outgoing at the own extension, and between two watched extensions),
// the RSS read from /proc after every 1,000. The growth per 1,000 calls
// after the first 1,000 is what a working week adds. rss_bench [calls]
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/programfolder.h"
#include "bench/bound.h"
#include "platform/paths.h"
#include "tools/pbxsim/pbxsim.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr long kLimitKbPer1000 = 50;

pid_t Spawn(const std::string& program, const std::string& cwd, const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::unsetenv("PALOMIR_DRIVE_ROOT");
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// VmRSS of the process in kB, -1 when it cannot be read.
long RssKb(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(f, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Counts the lines of the call data file as it grows.
class LineCounter {
 public:
  explicit LineCounter(fs::path file) : file_(std::move(file)) {}
  std::size_t Count() {
    std::ifstream f(file_, std::ios::binary);
    if (!f) return lines_;
    f.seekg(static_cast<std::streamoff>(offset_));
    char buf[4096];
    while (f.read(buf, sizeof buf) || f.gcount() > 0) {
      const std::streamsize n = f.gcount();
      lines_ += static_cast<std::size_t>(std::count(buf, buf + n, '\n'));
      offset_ += static_cast<std::size_t>(n);
    }
    return lines_;
  }

 private:
  fs::path file_;
  std::size_t offset_ = 0;
  std::size_t lines_ = 0;
};

bool WaitUntil(const std::function<bool()>& pred, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  return pred();
}

}  // namespace

int main(int argc, char** argv) {
  const int calls = argc > 1 ? std::max(2000, std::atoi(argv[1])) : 10000;
  const fs::path bin = plat::ExeDir();
  const fs::path home = fs::temp_directory_path() / ("rss_bench_" + std::to_string(::getpid()));
  const fs::path dir = home / "bin";
  // The call data file in the working folder: its lines pace the run.
  benchprogram::MakeFolder(bin, home,
                           "[GLOBCONF]\r\nCPID=2\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\n"
                           "CINFLFN=callinfo.txt\r\nCHLO=0\r\nGLO=0\r\n");

  pbxsim::Options options;
  options.keep = 64;
  pbxsim::PbxSim sim(options);
  if (!sim.Start()) return 2;
  sim.SetChargeMax(64);
  const std::string com = "PALOMIR_COM3=" + sim.SlavePath();
  const std::string palomirHome = "PALOMIR_HOME=" + home.string();
  const std::string userHome = "HOME=" + home.string();
  const pid_t pid = Spawn((dir / "brimlow").string(), home.string(), {com, palomirHome, userHome});
  auto monitored = [&] {
    int n = 0;
    for (const auto& d : sim.Monitored()) n += d == "21" || d == "22" || d == "23";
    return n == 3;
  };
  if (!WaitUntil(monitored, 30000)) {
    std::fprintf(stderr, "brimlow did not start watching 21, 22 and 23\n");
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    fs::remove_all(home);
    return 2;
  }

  LineCounter lines(home / "callinfo.txt");
  std::size_t expected = 0;
  std::vector<long> rss{RssKb(pid)};
  const auto t0 = Clock::now();
  bool lost = false;
  for (int i = 1; i <= calls && !lost; ++i) {
    const std::string outside = "030" + std::to_string(1000000 + i % 9973);
    switch (i % 4) {
      case 0: {  // from outside to the own extension
        const std::uint32_t id = sim.IncomingCall(outside, "21");
        sim.Answer(id);
        sim.Clear(id, "21");
        ++expected;
        break;
      }
      case 1: {  // the own extension dials out
        const std::uint32_t id = sim.OutgoingCall("21", outside);
        sim.Answer(id);
        sim.Clear(id, outside);
        ++expected;
        break;
      }
      case 2: {  // a colleague calls the own extension
        const std::uint32_t id = sim.IncomingCall("22", "21");
        sim.Answer(id);
        sim.Clear(id, "22");
        ++expected;
        break;
      }
      default: {  // between two watched extensions
        const std::uint32_t id = sim.IncomingCall("22", "23");
        sim.Answer(id);
        sim.Clear(id, "23");
        break;
      }
    }
    // The program keeps pace: every call at the own extension is a line.
    if (i % 4 == 0 && !WaitUntil([&] { return lines.Count() >= expected; }, 20000)) {
      std::fprintf(stderr, "after %d calls: %zu of %zu lines\n", i, lines.Count(), expected);
      lost = true;
    }
    if (i % 1000 == 0) rss.push_back(RssKb(pid));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();

  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  sim.Stop();
  fs::remove_all(home);
  if (lost || rss.size() < 3) return 2;

  std::printf("brimlow RSS over %d calls through pbxsim (%.1f s, %zu call data lines)\n", calls, seconds, expected);
  std::printf("  calls    RSS kB   growth kB\n");
  for (std::size_t k = 0; k < rss.size(); ++k)
    std::printf("  %6zu  %8ld  %+9ld\n", k * 1000, rss[k], k ? rss[k] - rss[k - 1] : 0L);
  const long after = (rss.back() - rss[1]) / static_cast<long>(rss.size() - 2);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "brimlow ended with status %d\n", status);
  const bool met = benchbound::Report("RSS growth per 1,000 calls after the first 1,000", static_cast<double>(after), true,
                                      static_cast<double>(kLimitKbPer1000), "kB");
  return met ? 0 : 1;
}
