// The connection viewer in brimlow itself, a probe in the display
// control's place doing what the user would: a run opens the viewer through
// its menu command and moves it, the program ends on SIGTERM, and the
// settings and the next run have the viewer where it was moved to; the
// calls of a watched extension show in its tree as the PBX reports them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
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

std::vector<std::string> Lines(const fs::path& file) {
  std::vector<std::string> out;
  std::ifstream f(file);
  for (std::string line; std::getline(f, line);) out.push_back(line);
  return out;
}

// The probe's places so far.
std::vector<Place> Places(const fs::path& file) {
  std::vector<Place> out;
  for (const std::string& line : Lines(file)) {
    std::istringstream s(line);
    Place p;
    if (line.rfind("tree ", 0) != 0 && s >> p.state >> p.x >> p.y >> p.w >> p.h) out.push_back(p);
  }
  return out;
}

// What the tree showed last: its top items joined by "|".
std::string LastTree(const fs::path& file) {
  std::string tree = "<none>";
  for (const std::string& line : Lines(file))
    if (line.rfind("tree ", 0) == 0) tree = line.substr(5);
  return tree;
}

class ViewerInTheProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    // The probe answers for the display control in this folder.
    const fs::path display = folder.bin / "tarquel.so";
    std::error_code ec;
    fs::remove(display, ec);
    fs::create_symlink(BinDir() / "testplugins" / "viewerprobe.so", display);
    ASSERT_TRUE(fs::exists(folder.bin / "dorvane.so"));
    ASSERT_TRUE(sim.Start());
    PutFile(folder.Ini(),
            "[GLOBCONF]\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nGLO=1\r\nGLFN=program.log\r\nCPID=2\r\n"
            "[WPOSITIONS]\r\nWndPos06=40,50,300,400\r\n");
    PutFile((folder.home / "montab.ini").string(),
            "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\n");
  }
  // One run: up until the probe has noted `lines` places and `during` has
  // run on the running program, then SIGTERM.
  std::vector<Place> Run(const std::string& move, std::size_t lines, const std::function<void()>& during = {}) {
    fs::remove(probe);
    std::map<std::string, std::string> env{
        {"LSAN_OPTIONS", std::string("suppressions=") + BRIMLOW_SOURCE_DIR + "/tests/lsan.supp:print_suppressions=0"},
        {"PALOMIR_DRIVE_ROOT", ""},
        {"PALOMIR_COM3", sim.SlavePath()},
        {"BRIMLOW_VIEWER_PROBE", probe.string()},
        {"BRIMLOW_VIEWER_PROBE_MOVE", move}};
    Child c;
    EXPECT_TRUE(Start(c, (folder.bin / "brimlow").string(), folder.home.string(), env));
    EXPECT_TRUE(c.WaitShown(20000)) << "no start-up probe";
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (Places(probe).size() < lines && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(sim.WaitForCount(CSTA_MONITOR_DEVICE, 1, 10000));
    if (during) during();
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(c.Wait(10000), 0);
    return Places(probe);
  }
  bool TreeBecomes(const std::string& tree) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (LastTree(probe) != tree && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return LastTree(probe) == tree;
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

// Without either plug-in the program runs and ends as usual, says why in
// its log, and the viewer's stored place is kept for when it is back.
TEST_F(ViewerInTheProgram, WithoutThePlugInsTheProgramRunsAndKeepsTheViewersPlace) {
  for (const char* file : {"dorvane.so", "tarquel.so"}) fs::remove(folder.bin / file);
  EXPECT_TRUE(Run("", 0).empty());
  // The settings were written at the end, the place among them as it was.
  EXPECT_NE(plat::GetProfileText("GLOBCONF", "LLOT", "", folder.Ini()), "");
  EXPECT_EQ(Stored(), "40,50,300,400");
  std::ifstream log(folder.home / "program.log");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_NE(text.str().find("plug-in dorvane.dll not loaded: "), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("plug-in tarquel.dll not loaded: "), std::string::npos);
}

TEST_F(ViewerInTheProgram, TheRunningProgramFeedsTheViewerEveryCallOfAWatchedExtension) {
  const auto monitored = [&] {
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (sim.CrossRefIdOf("21") == 0 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return sim.CrossRefIdOf("21") != 0;
  };
  Run("", 1, [&] {
    ASSERT_TRUE(monitored());
    ASSERT_TRUE(TreeBecomes(""));
    const struct {
      const char* what;
      std::function<void()> act;
      const char* tree;
    } steps[] = {
        {"incoming", [&] { sim.IncomingCall("0301234567", "21"); }, "21 (Ringing) - 0301234567"},
        {"answered", [&] { sim.Answer(sim.LastCallId()); }, "21 (Connected) - 0301234567"},
        {"held", [&] { sim.Hold(sim.LastCallId(), "21"); }, "21 (Held) - 0301234567"},
        {"a second call rings", [&] { sim.IncomingCall("0407777", "21"); },
         "21 (Held) - 0301234567|21 (Ringing) - 0407777"},
        {"the first one ends", [&] { sim.Clear(sim.LastCallId() - 1, "21"); }, "21 (Ringing) - 0407777"},
        {"the second one ends", [&] { sim.Clear(sim.LastCallId(), "21"); }, ""},
    };
    for (const auto& s : steps) {
      s.act();
      EXPECT_TRUE(TreeBecomes(s.tree)) << s.what << ": " << LastTree(probe);
    }
  });
}

}  // namespace
