// scripts/launch offscreen in a home of its own: the simulated PBX and the
// program start and the link runs; Ctrl-C (SIGINT to the group) ends both
// and leaves no simulator, link or FIFO; a second run keeps the user's files.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>

#include "programrig.h"

namespace {

using namespace programrig;
using testsupport::FileBytes;
using testsupport::PutFile;

// Processes whose command line names the home (the simulator's --link).
int ProcessesNaming(const std::string& part) {
  int n = 0;
  DIR* d = ::opendir("/proc");
  while (dirent* e = d ? ::readdir(d) : nullptr) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/cmdline", std::ios::binary);
    std::string cmd((std::istreambuf_iterator<char>(f)), {});
    if (cmd.find(part) != std::string::npos && cmd.find("pbxsim") != std::string::npos) ++n;
  }
  if (d) ::closedir(d);
  return n;
}

struct Launch {
  pid_t pid = -1;
  ~Launch() {
    if (pid > 0) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  bool Start(const Folder& f) {
    pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
      ::setpgid(0, 0);  // a group of its own, as a terminal's job
      ::setenv("PALOMIR_HOME", f.home.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      ::unsetenv("PALOMIR_COM3");
      ::setenv("LSAN_OPTIONS",
               (std::string("suppressions=") + BRIMLOW_SOURCE_DIR + "/tests/lsan.supp:print_suppressions=0").c_str(), 1);
      const std::string log = (f.root / "launch.out").string();
      std::freopen(log.c_str(), "a", stdout);
      std::freopen(log.c_str(), "a", stderr);
      const std::string script = std::string(BRIMLOW_SOURCE_DIR) + "/scripts/launch";
      ::execl("/bin/bash", "bash", script.c_str(), f.bin.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::setpgid(pid, pid);
    return true;
  }
  int Wait(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
};

bool WaitFor(const std::function<bool()>& pred, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pred();
}

int Count(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
  return n;
}

TEST(LaunchScript, StartsSimulatorAndProgramAndCtrlCEndsBoth) {
  Folder f("launch_test");
  const std::string simLog = (f.home / "pbxsim.log").string();
  std::string userMontab;
  for (int run = 0; run < 2; ++run) {
    fs::remove(simLog);
    Launch l;
    ASSERT_TRUE(l.Start(f));
    // The link runs: the program watches the starter's three extensions.
    ASSERT_TRUE(WaitFor([&] { return Count(FileBytes(simLog), "CSTA_SNAPSHOT_DEVICE_CONF") >= 3; }, 30000))
        << FileBytes((f.root / "launch.out").string());
    EXPECT_TRUE(fs::exists(f.home / "pbx-com3"));
    EXPECT_TRUE(fs::exists(f.home / "pbxsim.in"));
    ::kill(-l.pid, SIGINT);
    EXPECT_EQ(l.Wait(15000), 0) << FileBytes((f.root / "launch.out").string());
    EXPECT_GE(Count(FileBytes(simLog), "CSTA_MONITOR_STOP_CONF"), 3) << FileBytes(simLog);
    EXPECT_EQ(ProcessesNaming(f.home.string()), 0);
    EXPECT_FALSE(fs::exists(f.home / "pbx-com3"));
    EXPECT_FALSE(fs::exists(f.home / "pbxsim.in"));
    if (run == 0) {
      // The user changes the settings and the table between the runs.
      EXPECT_TRUE(fs::exists(f.bin / "brimlow.ini"));
      std::ofstream(f.bin / "brimlow.ini", std::ios::app) << "[USER]\r\nMINE=1\r\n";
      userMontab = FileBytes((f.home / "montab.ini").string());
      ASSERT_NE(userMontab.find("NAME=Nebenstelle 22"), std::string::npos);
      PutFile((f.home / "montab.ini").string(),
              userMontab.replace(userMontab.find("NAME=Nebenstelle 22"), 19, "NAME=Empfang"));
      userMontab = FileBytes((f.home / "montab.ini").string());
    }
  }
  EXPECT_NE(FileBytes((f.bin / "brimlow.ini").string()).find("MINE=1"), std::string::npos);
  EXPECT_NE(FileBytes((f.home / "montab.ini").string()).find("NAME=Empfang"), std::string::npos);
}

TEST(LaunchScript, WithoutDisplaySaysSoAndEnds1) {
  Folder f("launch_nodisplay");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::unsetenv("QT_QPA_PLATFORM");
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::setenv("PALOMIR_HOME", f.home.c_str(), 1);
    const std::string log = (f.root / "launch.out").string();
    std::freopen(log.c_str(), "w", stderr);
    const std::string script = std::string(BRIMLOW_SOURCE_DIR) + "/scripts/launch";
    ::execl("/bin/bash", "bash", script.c_str(), f.bin.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_NE(FileBytes((f.root / "launch.out").string()).find("no display"), std::string::npos);
  EXPECT_FALSE(fs::exists(f.bin / "brimlow.ini"));
}

}  // namespace
