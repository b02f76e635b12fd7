// brimlow on a fresh machine: a new PALOMIR_HOME with only the starter
// files, the call data file named under c:\. The drive folder is made in
// that home when the files are first written: five answered calls give five
// lines, the charge file is there, nothing lands in $HOME/.palomir.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "programrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using namespace programrig;
using testsupport::FileBytes;
using testsupport::PutFile;

// The starter settings with one more key in GLOBCONF.
std::string StarterSettings(const std::string& key) {
  std::string ini = FileBytes(std::string(BRIMLOW_SOURCE_DIR) + "/resources/starter/brimlow.ini");
  const std::size_t at = ini.find("[GLOBCONF]\n");
  if (at == std::string::npos) return {};
  ini.insert(at + 11, key + "\n");
  return ini;
}

std::size_t LineCount(const fs::path& file) {
  const std::string bytes = FileBytes(file.string());
  return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

bool Watching(const pbxsim::PbxSim& sim) {
  int n = 0;
  for (const auto& d : sim.Monitored()) n += d == "21" || d == "22" || d == "23";
  return n == 3;
}

struct FreshHome : ::testing::Test {
  Folder folder{"fresh_home"};
  fs::path home = folder.root / "palomir";
  fs::path user = folder.root / "user";
  pbxsim::PbxSim sim;
  Child child;

  void SetUp() override {
    fs::create_directories(home);
    fs::create_directories(user);
    // What scripts/launch copies on the first start.
    fs::copy_file(fs::path(BRIMLOW_SOURCE_DIR) / "resources/starter/montab.ini", home / "montab.ini");
    ASSERT_TRUE(sim.Start());
  }
  void Run(const std::string& key) {
    PutFile(folder.Ini(), StarterSettings(key));
    auto env = ProgramEnv();
    env["PALOMIR_HOME"] = home.string();
    env["HOME"] = user.string();
    env["PALOMIR_COM3"] = sim.SlavePath();
    ASSERT_TRUE(Start(child, (folder.bin / "brimlow").string(), home.string(), env));
    ASSERT_TRUE(child.WaitShown(20000)) << "no start-up probe";
    ASSERT_TRUE(WaitUntil([&] { return Watching(sim); }, 20000)) << "not watching 21, 22, 23";
  }
  void Calls(int n) {
    for (int i = 0; i < n; ++i) {
      const std::uint32_t id = sim.IncomingCall("030123456" + std::to_string(i), "21");
      sim.Answer(id);
      sim.Clear(id, "21");
    }
  }
  int Stop() {
    ::kill(child.pid, SIGTERM);
    return child.Wait(10000);
  }
};

}  // namespace

TEST_F(FreshHome, TheCallDataAndChargeFilesAreWrittenBelowTheHome) {
  Run("CINFLFN=c:\\callinfo.txt");
  const fs::path drive = home / "drive_c";
  Calls(5);
  EXPECT_TRUE(WaitUntil([&] { return LineCount(drive / "callinfo.txt") >= 5; }, 20000));
  EXPECT_EQ(Stop(), 0);
  EXPECT_EQ(LineCount(drive / "callinfo.txt"), 5u) << FileBytes((drive / "callinfo.txt").string());
  // The starter's charge file (c:\charproc.log) with its header.
  ASSERT_TRUE(fs::exists(drive / "charproc.log"));
  EXPECT_GE(fs::file_size(drive / "charproc.log"), 256u);
  EXPECT_FALSE(fs::exists(user / ".palomir"));
}
