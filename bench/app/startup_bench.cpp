// Start-up of brimlow: exec to "shown" (the start-up probe), against a bare
// Qt window shown offscreen in the same run as the yardstick; then the time
// to running with three watched extensions on the simulated PBX, and from
// SIGTERM to exit. startup_bench [runs]
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bound.h"
#include "bench/app/programfolder.h"
#include "platform/paths.h"
#include "tools/pbxsim/pbxsim.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The yardstick: this program again, showing one empty window.
int Yardstick() {
  const int fd = std::atoi(std::getenv("PALOMIR_STARTUP_PROBE") ? std::getenv("PALOMIR_STARTUP_PROBE") : "-1");
  int argc = 1;
  char name[] = "yardstick";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QWidget w;
  w.resize(480, 73);
  w.show();
  QTimer::singleShot(0, [fd] {
    (void)!::write(fd, "shown\n", 6);
    QCoreApplication::quit();
  });
  return app.exec();
}

struct Child {
  pid_t pid = -1;
  int probe = -1;
};

Child Spawn(const std::vector<std::string>& argv, const std::string& cwd, const std::vector<std::string>& env) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) std::exit(2);
  Child c;
  c.pid = ::fork();
  if (c.pid == 0) {
    const int probe = ::dup(fds[1]);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("PALOMIR_STARTUP_PROBE", std::to_string(probe).c_str(), 1);
    for (const auto& e : env) ::putenv(const_cast<char*>(e.c_str()));
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  c.probe = fds[0];
  return c;
}

bool WaitLine(int fd, int ms) {
  std::string got;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1) > 0) {
      char b[16];
      const ssize_t n = ::read(fd, b, sizeof b);
      if (n <= 0) return false;
      got.append(b, static_cast<std::size_t>(n));
      if (got.find('\n') != std::string::npos) return true;
    }
  }
  return false;
}

int Reap(Child& c) {
  int st = 0;
  ::waitpid(c.pid, &st, 0);
  ::close(c.probe);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--yardstick") == 0) return Yardstick();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const fs::path bin = plat::ExeDir();
  const fs::path home = fs::temp_directory_path() / ("startup_bench_" + std::to_string(::getpid()));
  const fs::path dir = home / "bin";
  benchprogram::MakeFolder(bin, home, "[GLOBCONF]\r\nCPID=2\r\nSDFN=montab.ini\r\n");

  std::vector<double> yard, shown, running, term;
  for (int i = 0; i < runs; ++i) {
    {
      const auto t0 = Clock::now();
      Child y = Spawn({(bin / "startup_bench").string(), "--yardstick"}, home.string(), {});
      if (!WaitLine(y.probe, 10000)) std::fprintf(stderr, "yardstick: no line\n");
      yard.push_back(Ms(Clock::now() - t0));
      Reap(y);
    }
    pbxsim::PbxSim sim;
    if (!sim.Start()) return 2;
    static std::string com, palomirHome;
    com = "PALOMIR_COM3=" + sim.SlavePath();
    palomirHome = "PALOMIR_HOME=" + home.string();  // its drive folder is made there
    const auto t0 = Clock::now();
    Child c = Spawn({(dir / "brimlow").string()}, home.string(), {com, palomirHome});
    if (!WaitLine(c.probe, 20000)) std::fprintf(stderr, "brimlow: no probe\n");
    shown.push_back(Ms(Clock::now() - t0));
    while (sim.ReceivedCount(CSTA_SNAPSHOT_DEVICE) < 3 && Clock::now() - t0 < std::chrono::seconds(20))
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    running.push_back(Ms(Clock::now() - t0));
    const auto t1 = Clock::now();
    ::kill(c.pid, SIGTERM);
    const int status = Reap(c);
    term.push_back(Ms(Clock::now() - t1));
    if (status != 0) std::fprintf(stderr, "brimlow ended with %d\n", status);
  }
  fs::remove_all(home);
  const double y = Median(yard), s = Median(shown);
  std::printf("runs: %d (medians)\n", runs);
  std::printf("bare Qt window, exec to shown:     %8.1f ms\n", y);
  std::printf("brimlow, exec to shown:            %8.1f ms\n", s);
  std::printf("brimlow, exec to running (3 ext.): %8.1f ms\n", Median(running));
  std::printf("brimlow, SIGTERM to exit:          %8.1f ms\n", Median(term));
  const bool inTime = benchbound::Report("brimlow, exec to shown", s, true, 500, "ms");
  const bool asBare = benchbound::Report("brimlow, exec to shown / the bare window", s / y, true, 4);
  return inTime && asBare ? 0 : 1;
}
