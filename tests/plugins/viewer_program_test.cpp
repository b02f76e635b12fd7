// The connection viewer's place in brimlow itself: a run opens the viewer
// through its menu command and moves it (a probe in the display control's
// place does what the user would), the program ends on SIGTERM, and the
// settings and the next run have the viewer where it was moved to.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/profile.h"
#include "tests/app/program/programrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using namespace programrig;
using testsupport::PutFile;

struct Place {
  std::string state;
  int x = 0, y = 0, w = 0, h = 0;
};

// The probe's lines so far.
std::vector<Place> Places(const fs::path& file) {
  std::vector<Place> out;
  std::ifstream f(file);
  for (std::string line; std::getline(f, line);) {
    std::istringstream s(line);
    Place p;
    if (s >> p.state >> p.x >> p.y >> p.w >> p.h) out.push_back(p);
  }
  return out;
}

class ViewerInTheProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // The probe answers for the display control in this folder.
    const fs::path display = folder.bin / "tarquel.so";
    std::error_code ec;
    fs::remove(display, ec);
    fs::create_symlink(BinDir() / "testplugins" / "positionprobe.so", display);
    ASSERT_TRUE(fs::exists(folder.bin / "dorvane.so"));
    ASSERT_TRUE(sim.Start());
    PutFile(folder.Ini(),
            "[GLOBCONF]\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nGLO=1\r\nGLFN=program.log\r\nCPID=2\r\n"
            "[WPOSITIONS]\r\nWndPos06=40,50,300,400\r\n");
    PutFile((folder.home / "montab.ini").string(),
            "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\n");
  }
  // One run: up until the probe has noted `lines` lines, then SIGTERM.
  std::vector<Place> Run(const std::string& move, std::size_t lines) {
    fs::remove(probe);
    std::map<std::string, std::string> env{
        {"LSAN_OPTIONS", std::string("suppressions=") + BRIMLOW_SOURCE_DIR + "/tests/lsan.supp:print_suppressions=0"},
        {"PALOMIR_DRIVE_ROOT", ""},
        {"PALOMIR_COM3", sim.SlavePath()},
        {"BRIMLOW_POSITION_PROBE", probe.string()},
        {"BRIMLOW_POSITION_PROBE_MOVE", move}};
    Child c;
    EXPECT_TRUE(Start(c, (folder.bin / "brimlow").string(), folder.home.string(), env));
    EXPECT_TRUE(c.WaitShown(20000)) << "no start-up probe";
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (Places(probe).size() < lines && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(sim.WaitForCount(CSTA_MONITOR_DEVICE, 1, 10000));
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(c.Wait(10000), 0);
    return Places(probe);
  }
  std::string Stored() const { return plat::GetProfileText("WPOSITIONS", "WndPos06", "", folder.Ini()); }

  Folder folder{"viewer_program"};
  fs::path probe = folder.home / "probe.txt";
  pbxsim::PbxSim sim;
};

TEST_F(ViewerInTheProgram, AMovedViewerIsStoredAtExitAndShownThereAfterARestart) {
  // The stored text is top, left, bottom, right.
  const std::vector<Place> first = Run("321,123", 2);
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[0].state, "shown");
  EXPECT_EQ(first[0].x, 50);
  EXPECT_EQ(first[0].y, 40);
  EXPECT_EQ(first[1].state, "moved");
  EXPECT_EQ(first[1].x, 321);
  EXPECT_EQ(first[1].y, 123);
  const Place& m = first[1];
  char expected[64];
  std::snprintf(expected, sizeof expected, "%d,%d,%d,%d", m.y, m.x, m.y + m.h, m.x + m.w);
  EXPECT_EQ(Stored(), expected);

  sim.ClearLog();
  const std::vector<Place> second = Run("", 1);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].state, "shown");
  EXPECT_EQ(second[0].x, 321);
  EXPECT_EQ(second[0].y, 123);
  EXPECT_EQ(second[0].w, m.w);
  EXPECT_EQ(second[0].h, m.h);
  // Not moved this time: the same place is kept.
  EXPECT_EQ(Stored(), expected);
}

}  // namespace
