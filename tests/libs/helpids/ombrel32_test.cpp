#include <gtest/gtest.h>

#include "libs/helpids/raskelonapi.h"
#include "platform/msgbox.h"

namespace {

TEST(HelpIds, OldestEntryOfAKeyWins) {
  const plat::WindowId w = 4711, other = 4712;
  EXPECT_EQ(RASKELONGetHelpID(w), -1);
  EXPECT_EQ(RASKELONDeleteHelpID(w), -1);
  ASSERT_EQ(RASKELONAddHelpID(w, 37), 0);
  ASSERT_EQ(RASKELONAddHelpID(other, 99), 0);
  ASSERT_EQ(RASKELONAddHelpID(w, 51), 0);
  EXPECT_EQ(RASKELONGetHelpID(w), 37);
  EXPECT_EQ(RASKELONDeleteHelpID(w), 0);
  EXPECT_EQ(RASKELONGetHelpID(w), 51);
  EXPECT_EQ(RASKELONGetHelpID(other), 99);
  EXPECT_EQ(RASKELONDeleteHelpID(w), 0);
  EXPECT_EQ(RASKELONGetHelpID(w), -1);
  EXPECT_EQ(RASKELONDeleteHelpID(w), -1);
  EXPECT_EQ(RASKELONGetHelpID(other), 99);
  EXPECT_EQ(RASKELONDeleteHelpID(other), 0);
  // A stored id of -1 is indistinguishable from none, as callers expect.
  ASSERT_EQ(RASKELONAddHelpID(0, -1), 0);
  EXPECT_EQ(RASKELONGetHelpID(0), -1);
  EXPECT_EQ(RASKELONDeleteHelpID(0), 0);
}

TEST(HelpIds, VersionAndInformationBox) {
  plat::ScriptedMessageBox box;
  plat::SetMessageBoxImpl(&box);
  EXPECT_STREQ(RASKELONGetVersion(3), "RASKELON Version 1.0");
  EXPECT_TRUE(box.shown.empty());
  EXPECT_STREQ(RASKELONGetVersion(1), "");
  EXPECT_STREQ(RASKELONGetVersion(2), "RASKELON Version 1.0");
  plat::SetMessageBoxImpl(nullptr);
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_NE(box.shown[0].text.find("RASKELON Version 1.0"), std::string::npos);
}

}  // namespace
