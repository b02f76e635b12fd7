// Where windows go, as rectangles: a title bar that must stay on a screen,
// a stored place put back onto one, dialogs over their owner and clear of
// the main window, new windows beside it.
#include <gtest/gtest.h>

#include "platform/winplace.h"

namespace {

using plat::place::Rect;

const Rect kScreen{0, 0, 1024, 768};

TEST(WindowPlace, ATitleBarOffEveryScreenIsPutBackOntoOne) {
  struct Case {
    const char* name;
    Rect stored;
    Rect expected;
  };
  const Rect right{1024, 0, 2048, 768};
  const Case cases[] = {
      {"on the screen", {100, 50, 600, 130}, {100, 50, 600, 130}},
      {"bottom off, title bar on", {100, 740, 580, 900}, {100, 740, 580, 900}},
      {"title bar above", {100, -5, 600, 75}, {100, 0, 600, 80}},
      {"below", {10, 5000, 490, 5073}, {10, 695, 490, 768}},
      {"left of it, a sliver showing", {-470, 10, 10, 83}, {0, 10, 480, 83}},
      {"beyond the right", {3000, 100, 3400, 300}, {1648, 100, 2048, 300}},  // the nearer screen
      {"larger than the screen", {-10, -10, 1100, 900}, {0, 0, 1024, 768}},
      {"on the second screen", {1100, 50, 1500, 400}, {1100, 50, 1500, 400}},
      {"across both, title bar on the first", {900, 700, 1200, 800}, {900, 700, 1200, 800}},
      {"title bar on neither: onto the screen it overlaps most", {1000, 760, 1300, 900}, {1024, 628, 1324, 768}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(plat::place::OntoScreen(c.stored, {kScreen, right}), c.expected) << c.name;
    EXPECT_TRUE(plat::place::Reachable(plat::place::OntoScreen(c.stored, {kScreen, right}), {kScreen, right})) << c.name;
  }
  EXPECT_EQ(plat::place::OntoScreen({5, 5, 50, 50}, {}), (Rect{5, 5, 50, 50}));
}

TEST(WindowPlace, DialogsCentreOverTheirOwnerClearOfTheMainWindow) {
  struct Case {
    const char* name;
    int w, h;
    Rect owner, clear;
    Rect expected;
  };
  const Rect bar{0, 0, 480, 73};
  const Case cases[] = {
      {"over the bar: below it", 300, 200, bar, bar, {90, 73, 390, 273}},
      {"wider than the bar", 600, 200, bar, bar, {0, 73, 600, 273}},
      {"over another dialog", 200, 100, {300, 300, 700, 600}, bar, {400, 400, 600, 500}},
      {"no room below: above", 300, 400, {100, 600, 580, 768}, {100, 600, 580, 768}, {190, 200, 490, 600}},
      {"no room either way: centred", 300, 700, {0, 300, 480, 400}, {0, 300, 480, 400}, {90, 0, 390, 700}},
      {"off the right edge", 400, 100, {900, 300, 1024, 400}, Rect{}, {624, 300, 1024, 400}},
      {"larger than the screen", 1200, 900, bar, bar, {0, 0, 1024, 768}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::place::CentredOver(c.w, c.h, c.owner, kScreen, c.clear), c.expected) << c.name;
}

TEST(WindowPlace, NewWindowsGoBesideTheMainWindowEachOnACornerOfItsOwn) {
  struct Case {
    const char* name;
    int w, h;
    Rect anchor;
    std::vector<Rect> taken;
    Rect expected;
  };
  const Rect bar{0, 0, 480, 73};
  const Case cases[] = {
      {"to its right", 300, 200, bar, {}, {480, 0, 780, 200}},
      {"too wide for its right: below", 600, 200, bar, {}, {0, 73, 600, 273}},
      {"a second one steps on", 300, 200, bar, {{480, 0, 780, 200}}, {504, 24, 804, 224}},
      {"and a third", 300, 200, bar, {{480, 0, 780, 200}, {504, 24, 804, 224}}, {528, 48, 828, 248}},
      {"a corner elsewhere does not count", 300, 200, bar, {{600, 300, 700, 400}}, {480, 0, 780, 200}},
      {"no room right or below: left of it", 300, 200, {700, 400, 1024, 768}, {}, {400, 400, 700, 600}},
      {"main window low on the screen: above it", 801, 311, {299, 480, 779, 553}, {}, {223, 169, 1024, 480}},
      {"right of it, slid up onto the screen", 300, 200, {100, 700, 480, 768}, {}, {480, 568, 780, 768}},
      {"nothing fits: below, on the screen", 1000, 700, {0, 0, 1024, 200}, {}, {0, 68, 1000, 768}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::place::Beside(c.w, c.h, c.anchor, kScreen, c.taken), c.expected) << c.name;
}

}  // namespace
