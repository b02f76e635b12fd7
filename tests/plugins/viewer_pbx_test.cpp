// The connection viewer in the assembled program: the document and the
// view with the real link object on the simulated PBX's pseudo-terminal,
// the real dorvane.so bound by the view, its tree read back offscreen after
// every step of a call's life.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/plugins/viewertree.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;
using viewertree::Item;
using viewertree::Lines;
using viewertree::Shown;

class ViewerOnPbx : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    const auto sdfn = r->globals.dir / "montab.ini";
    {
      std::ofstream f(sdfn);
      f << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n";
      for (const char* n : {"21", "22", "23"})
        f << "[MONTAB-" << n << "]\r\nINTNUMBER=" << n << "\r\nMONON=1\r\nMONSTAT=2\r\n";
    }
    CGlobalConfig& c = GlobalConfig();
    c.SDFN = sdfn.string();
    c.CPID = 4;  // COM5
    c.IO1008 = 0;
    ASSERT_TRUE(sim.Start());
    ::setenv("PALOMIR_COM5", sim.SlavePath().c_str(), 1);
    CPlugInBinding::SetFolder("");  // the program's folder: the real viewer
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
  }
  void TearDown() override {
    r->view.reset();
    r->doc.reset();
    sim.Stop();
    ::unsetenv("PALOMIR_COM5");
    r.reset();
  }
  // Real time for the line, the loop's clock moving along.
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 10000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      r->loop.RunUntilIdle();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      r->loop.Advance(2);
    }
    r->loop.RunUntilIdle();
    return pred();
  }
  bool Running() {
    return Pump([&] {
      return r->view->Link().Object()->GetLinkState() == linkstate::kRunning &&
             r->doc->Filter().JobState() == jobstate::kFree && sim.Monitored().size() == 3;
    });
  }

  pbxsim::PbxSim sim;
  std::unique_ptr<viewrig::Rig> r;
};

TEST_F(ViewerOnPbx, ACallsLifeFromRingingThroughTransferToClearIsTheTree) {
  ASSERT_TRUE(r->view->Viewer().IsLoaded());
  ASSERT_TRUE(Running());
  ASSERT_NE(viewertree::Window(), nullptr);
  ASSERT_TRUE(r->view->RunCommand(CBrimlowView::ID_CONNECTION_VIEWER));
  ASSERT_TRUE(viewertree::Window()->isVisible());
  EXPECT_TRUE(Shown().empty());

  std::uint32_t first = 0, second = 0;
  struct Step {
    const char* what;
    std::function<void()> act;
    Lines tree;
    std::function<void()> more = {};
  };
  // The first time a call shows: time, call id, partner, own device.
  const auto ringingChildren = [&] {
    const Item ringing = viewertree::Items()[0];
    EXPECT_EQ(ringing.image, 3);
    ASSERT_EQ(ringing.children.size(), 4u);
    EXPECT_TRUE(std::regex_match(ringing.children[0], std::regex("[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")))
        << ringing.children[0];
    EXPECT_EQ(ringing.children[1], std::to_string(first));
    EXPECT_EQ(ringing.children[2], "0301234567");
    EXPECT_EQ(ringing.children[3], "21");
    EXPECT_EQ(ringing.childImages, (std::vector<int>{10, 9, 13, 12}));
  };
  const auto consultationChildren = [&] {
    const std::vector<Item> items = viewertree::Items();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].image, 5) << "held";
    EXPECT_EQ(items[1].image, 4) << "connected";
    // The dialling side: partner the called one, itself the own party;
    // the children were made once, when the call first showed.
    ASSERT_EQ(items[1].children.size(), 4u);
    EXPECT_EQ(items[1].children, (Lines{items[1].children[0], std::to_string(second), "22", "21"}));
    EXPECT_EQ(items[1].childImages, (std::vector<int>{10, 9, 12, 13}));
    EXPECT_EQ(items[2].childImages, (std::vector<int>{10, 9, 13, 12}));
  };
  const Step steps[] = {
      {"incoming", [&] { first = sim.IncomingCall("0301234567", "21"); }, {"21 (Ringing) - 0301234567"}, ringingChildren},
      {"answered", [&] { sim.Answer(first); }, {"21 (Connected) - 0301234567"}},
      {"held", [&] { sim.Hold(first, "21"); }, {"21 (Held) - 0301234567"}},
      {"retrieved", [&] { sim.Retrieve(first, "21"); }, {"21 (Connected) - 0301234567"}},
      {"held for a consultation", [&] { sim.Hold(first, "21"); }, {"21 (Held) - 0301234567"}},
      // Both watched ends of the consultation show: the own side dials.
      {"consultation call", [&] { second = sim.OutgoingCall("21", "22"); },
       {"21 (Held) - 0301234567", "21 (Dialing) - 22", "22 (Ringing) - 21"}},
      {"consultation answered", [&] { sim.Answer(second); },
       {"21 (Held) - 0301234567", "21 (Connected) - 22", "22 (Connected) - 21"}, consultationChildren},
      // 21 leaves both calls; 22 keeps the resulting connection.
      {"transferred", [&] { sim.Transfer(first, second, "21"); }, {"22 (Connected) - 21"}},
      {"cleared", [&] { sim.Clear(second, "22"); }, {}},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_TRUE(Pump([&] { return Shown() == s.tree; })) << s.what;
    ASSERT_EQ(Shown(), s.tree) << s.what;
    if (s.more) s.more();
  }
}

}  // namespace
