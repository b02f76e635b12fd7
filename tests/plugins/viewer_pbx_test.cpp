// The connection viewer in the assembled program: the document and the
// view with the real link object on the simulated PBX's pseudo-terminal,
// the real dorvane.so bound by the view, its tree read back offscreen after
// every step of a call's life.
#include <gtest/gtest.h>

#include <regex>

#include "tests/app/view/ptyfixture.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/plugins/viewertree.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using viewertree::Item;
using viewertree::Lines;
using viewertree::Shown;

class ViewerOnPbx : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    pumpMs = 10000;
    WriteMonTab("21", {"21", "22", "23"});
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;  // COM5
    c.IO1008 = 0;
    ASSERT_TRUE(StartSim());
    CPlugInBinding::SetFolder("");  // the program's folder: the real viewer
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
  }
  bool Running() { return LinkRunning(3); }
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
      {"incoming", [&] { first = sim->IncomingCall("0301234567", "21"); }, {"21 (Ringing) - 0301234567"}, ringingChildren},
      {"answered", [&] { sim->Answer(first); }, {"21 (Connected) - 0301234567"}},
      {"held", [&] { sim->Hold(first, "21"); }, {"21 (Held) - 0301234567"}},
      {"retrieved", [&] { sim->Retrieve(first, "21"); }, {"21 (Connected) - 0301234567"}},
      {"held for a consultation", [&] { sim->Hold(first, "21"); }, {"21 (Held) - 0301234567"}},
      // Both watched ends of the consultation show: the own side dials.
      {"consultation call", [&] { second = sim->OutgoingCall("21", "22"); },
       {"21 (Held) - 0301234567", "21 (Dialing) - 22", "22 (Ringing) - 21"}},
      {"consultation answered", [&] { sim->Answer(second); },
       {"21 (Held) - 0301234567", "21 (Connected) - 22", "22 (Connected) - 21"}, consultationChildren},
      // 21 leaves both calls; 22 keeps the resulting connection.
      {"transferred", [&] { sim->Transfer(first, second, "21"); }, {"22 (Connected) - 21"}},
      {"cleared", [&] { sim->Clear(second, "22"); }, {}},
  };
  for (const Step& s : steps) {
    s.act();
    EXPECT_TRUE(Pump([&] { return Shown() == s.tree; })) << s.what;
    ASSERT_EQ(Shown(), s.tree) << s.what;
    if (s.more) s.more();
  }
}

}  // namespace
