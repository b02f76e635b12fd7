// The display control's exports without a window: parameters, numbers,
// handles and ids, and the box that must wait for the loop.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "plugins/display/displayitems.h"
#include "plugins/display/tarquel.h"

using tarquel::CDisplayItem;
using tarquel::GlobalParams;

namespace {

class Api : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetMessageBoxImpl(&boxes);
    ASSERT_EQ(TARQAPICreate(4711, 37, 0), DLLIFC_OK);
  }
  void TearDown() override {
    TARQAPIClose();
    loop.RunUntilIdle();
    plat::SetMessageBoxImpl(nullptr);
  }
  static const GlobalParams& G() { return tarquel::Items()->globals(); }
  static DLLIFC_ITEM Add(DLLIFC_ITEM parent, int* result = nullptr) {
    DLLIFC_ITEM h = 12345;
    const int r = TARQAPIAddItem(parent, &h, 0);
    if (result) *result = r;
    return h;
  }
  static CDisplayItem& ItemOf(DLLIFC_ITEM h) { return *tarquel::Items()->Find(h); }

  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
};

TEST_F(Api, NameVersionAndTheEntriesThatDoNothing) {
  char text[DLLIFC_TEXT_SIZE] = {};
  std::uint16_t major = 0, minor = 9;
  EXPECT_EQ(TARQAPIGetName(text), 0);
  EXPECT_STREQ(text, "tarquel 1.0");
  EXPECT_EQ(TARQAPIGetVersion(&major, &minor), 0);
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 0);
  const std::vector<std::pair<const char*, int>> zero = {
      {"CSTAMessageHandlerProc", TARQAPICSTAMessageHandlerProc(nullptr)},
      {"LoadCountrySpecificData", TARQAPILoadCountrySpecificData(1, 2)},
      {"GetNumberOfParams", TARQAPIGetNumberOfParams(0)},
      {"SetParentMessageHandlerProc", TARQAPISetParentMessageHandlerProc(99)},
      {"ItemGetNumberOfParams", TARQAPIItemGetNumberOfParams(1, 0)},
      {"ItemGetParamName", TARQAPIItemGetParamName(1, 0, text, 0)},
      {"ItemGetParamAsString", TARQAPIItemGetParamAsString(1, "Label", text)},
  };
  for (auto& [name, result] : zero) EXPECT_EQ(result, 0) << name;
  EXPECT_EQ(TARQAPIGetParamName(0, text), 0);
  EXPECT_STREQ(text, "WNDPosition");
  std::snprintf(text, sizeof text, "untouched");
  EXPECT_EQ(TARQAPIGetParamName(1, text), 1);
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(TARQAPIGetParamAsString("Label", text), 1);  // only the position reads back
}

TEST_F(Api, GlobalDefaults) {
  const GlobalParams& g = G();
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(g.fktMessage[i], 0) << i;
    EXPECT_EQ(g.genFktMessage[i], 0) << i;
    EXPECT_EQ(g.fktDescription[i], "") << i;
    EXPECT_EQ(g.genFktDescription[i], "") << i;
  }
  EXPECT_EQ(g.parentWindow, 4711u);  // the parent given to Create
  EXPECT_EQ(g.maxColumns, 3);
  EXPECT_EQ(g.maxRows, 4);
  EXPECT_EQ(g.showOverview, 1);
  EXPECT_EQ(g.label, "");
  EXPECT_EQ(g.labelOverview, "\xdc" "bersicht...");
  EXPECT_EQ(g.state1Blink, 1);
  EXPECT_EQ(g.backgroundColor, 49087);
  EXPECT_EQ(g.textColor, 0);
}

TEST_F(Api, EveryGlobalBySetParamAndByHandleZero) {
  struct Case {
    const char* name;
    const char* value;
    bool (*check)(const GlobalParams&);
  };
  const Case cases[] = {
      {"Fkt1.Message", "1095", [](const GlobalParams& g) { return g.fktMessage[0] == 1095; }},
      {"Fkt5.Message", "7", [](const GlobalParams& g) { return g.fktMessage[4] == 7; }},
      {"Fkt3.Description", "Info", [](const GlobalParams& g) { return g.fktDescription[2] == "Info"; }},
      {"GenFkt4.Message", "1103", [](const GlobalParams& g) { return g.genFktMessage[3] == 1103; }},
      {"GenFkt2.Description", "Summen l\xf6schen", [](const GlobalParams& g) { return g.genFktDescription[1] == "Summen l\xf6schen"; }},
      {"ParentWindow", "99", [](const GlobalParams& g) { return g.parentWindow == 99u; }},
      {"MaxColumns", " +5", [](const GlobalParams& g) { return g.maxColumns == 5; }},
      {"MaxRows", "x5", [](const GlobalParams& g) { return g.maxRows == 0; }},
      {"ShowOverview", "0", [](const GlobalParams& g) { return g.showOverview == 0; }},
      {"Label", "Zimmer", [](const GlobalParams& g) { return g.label == "Zimmer"; }},
      {"LabelOverview", "Alle", [](const GlobalParams& g) { return g.labelOverview == "Alle"; }},
      {"State1.Blink", "0", [](const GlobalParams& g) { return g.state1Blink == 0; }},
      {"BackgroundColor", "255", [](const GlobalParams& g) { return g.backgroundColor == 255; }},
      {"TextColor", "65280", [](const GlobalParams& g) { return g.textColor == 65280; }},
  };
  for (const Case& c : cases) {
    TARQAPIClose();
    ASSERT_EQ(TARQAPICreate(1, 37, 0), 0);
    EXPECT_EQ(TARQAPISetParamAsString(c.name, c.value), 0) << c.name;
    EXPECT_TRUE(c.check(G())) << c.name << " by SetParamAsString";
    TARQAPIClose();
    ASSERT_EQ(TARQAPICreate(1, 37, 0), 0);
    EXPECT_EQ(TARQAPIItemSetParamAsString(0, c.name, c.value), 0) << c.name;
    EXPECT_TRUE(c.check(G())) << c.name << " by handle 0";
  }
}

TEST_F(Api, UnknownNamesAreIgnoredAndReturnZero) {
  const DLLIFC_ITEM group = Add(0);
  const DLLIFC_ITEM device = Add(group);
  for (const char* name : {"Fkt6.Message", "Fkt0.Message", "Fkt1.Messages", "fkt1.message", "GenFkt1", "", "Nix"}) {
    EXPECT_EQ(TARQAPISetParamAsString(name, "5"), 0) << name;
    EXPECT_EQ(TARQAPIItemSetParamAsString(0, name, "5"), 0) << name;
    EXPECT_EQ(TARQAPIItemSetParamAsString(device, name, "5"), 0) << name;
  }
  EXPECT_EQ(TARQAPISetParamAsString(nullptr, "5"), 0);
  EXPECT_EQ(TARQAPIItemSetParamAsString(device, nullptr, nullptr), 0);
  EXPECT_EQ(G().fktMessage, (std::array<std::int32_t, 5>{}));
  EXPECT_EQ(G().maxColumns, 3);
  EXPECT_EQ(ItemOf(device).label, "");
}

TEST(Numbers, DecimalTextSaturatesAtThirtyTwoBits) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {" +5", 5},           {"5", 5},           {"  -12x", -12},      {"x5", 0},
      {"", 0},              {"+", 0},           {"- 5", 0},           {"\t7", 7},
      {"007", 7},           {"12 34", 12},      {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"99999999999999999999999", INT32_MAX},
      {"-99999999999999999999", INT32_MIN}, {"4294967295", INT32_MAX},
  };
  for (auto& [text, want] : cases) EXPECT_EQ(tarquel::ReadNumber(text), want) << '"' << text << '"';
  EXPECT_EQ(tarquel::ReadNumber(nullptr), 0);
}

TEST_F(Api, CreateCloseAndHandles) {
  EXPECT_EQ(TARQAPICreate(1, 37, 0), DLLIFC_NO_RESOURCE);  // the first stays
  EXPECT_EQ(G().parentWindow, 4711u);
  int r = -1;
  const DLLIFC_ITEM group = Add(0, &r);
  EXPECT_EQ(r, 0);
  EXPECT_GT(group, 0);
  const DLLIFC_ITEM device = Add(group, &r);
  EXPECT_EQ(r, 0);
  EXPECT_NE(device, group);

  struct Case {
    DLLIFC_ITEM parent;
    const char* what;
  };
  for (const Case& c : {Case{device, "a device as parent"}, Case{-1, "-1"}, Case{device + 1000, "unknown"},
                        Case{INT32_MIN, "INT32_MIN"}, Case{INT32_MAX, "INT32_MAX"}}) {
    EXPECT_EQ(Add(c.parent, &r), -1) << c.what;
    EXPECT_EQ(r, DLLIFC_BAD_ITEM) << c.what;
  }
  for (DLLIFC_ITEM bad : {-1, device + 1, -7, INT32_MAX})
    EXPECT_EQ(TARQAPIItemSetParamAsString(bad, "Label", "x"), DLLIFC_BAD_ITEM) << bad;
  EXPECT_EQ(TARQAPIItemSetParamAsString(device, "Label", "x"), 0);

  // After Close no handle names anything, not even after the next Create.
  EXPECT_EQ(TARQAPIClose(), 0);
  EXPECT_EQ(TARQAPIItemSetParamAsString(group, "Label", "x"), DLLIFC_BAD_ITEM);
  EXPECT_EQ(TARQAPIItemSetParamAsString(device, "Label", "x"), DLLIFC_BAD_ITEM);
  EXPECT_EQ(TARQAPIItemSetParamAsString(0, "Label", "x"), DLLIFC_FAILED);
  EXPECT_EQ(TARQAPISetParamAsString("Label", "x"), DLLIFC_FAILED);
  EXPECT_EQ(TARQAPISetParamAsString("WNDPosition", "1,2,3,4"), DLLIFC_FAILED);
  EXPECT_EQ(Add(0, &r), -1);
  EXPECT_EQ(r, DLLIFC_NO_RESOURCE);
  EXPECT_EQ(TARQAPIClose(), 0);  // twice is harmless
  ASSERT_EQ(TARQAPICreate(1, 37, 0), 0);
  EXPECT_EQ(TARQAPIItemSetParamAsString(group, "Label", "x"), DLLIFC_BAD_ITEM);
  EXPECT_EQ(TARQAPIItemSetParamAsString(device, "Label", "x"), DLLIFC_BAD_ITEM);
  const DLLIFC_ITEM fresh = Add(0, &r);
  EXPECT_EQ(r, 0);
  EXPECT_GT(fresh, device);
}

TEST_F(Api, GroupAndDeviceIdsCountFromZero) {
  const DLLIFC_ITEM g0 = Add(0);
  const DLLIFC_ITEM a = Add(g0), b = Add(g0);
  const DLLIFC_ITEM g1 = Add(0);
  const DLLIFC_ITEM c = Add(g1);
  const DLLIFC_ITEM d = Add(g0);
  const std::pair<DLLIFC_ITEM, std::uint16_t> ids[] = {{g0, 0}, {a, 0}, {b, 1}, {g1, 1}, {c, 0}, {d, 2}};
  for (auto& [h, id] : ids) EXPECT_EQ(ItemOf(h).id(), id) << h;
  EXPECT_TRUE(ItemOf(g1).IsGroup());
  EXPECT_EQ(ItemOf(d).group(), &ItemOf(g0));
  ASSERT_EQ(ItemOf(g0).children().size(), 3u);
  EXPECT_EQ(ItemOf(g0).children()[2], &ItemOf(d));
}

TEST_F(Api, DevicesKeepTheGlobalsOfTheirAdding) {
  TARQAPISetParamAsString("Fkt1.Message", "1095");
  TARQAPISetParamAsString("Fkt1.Description", "Auslesen");
  const DLLIFC_ITEM group = Add(0);
  const DLLIFC_ITEM early = Add(group);
  TARQAPISetParamAsString("Fkt2.Message", "1096");
  TARQAPISetParamAsString("ParentWindow", "55");
  const DLLIFC_ITEM late = Add(group);
  EXPECT_EQ(ItemOf(early).fktMessage[0], 1095);
  EXPECT_EQ(ItemOf(early).fktMessage[1], 0);  // set after it was added
  EXPECT_EQ(ItemOf(early).fktDescription[0], "Auslesen");
  EXPECT_EQ(ItemOf(early).parentWindow, 4711u);
  EXPECT_EQ(ItemOf(late).fktMessage[1], 1096);
  EXPECT_EQ(ItemOf(late).parentWindow, 55u);
}

TEST_F(Api, ItemParameters) {
  const DLLIFC_ITEM group = Add(0);
  const DLLIFC_ITEM d = Add(group);
  struct Case {
    const char* name;
    const char* value;
    bool (*check)(const CDisplayItem&);
  };
  const Case cases[] = {
      {"Label", "Zimmer: 21", [](const CDisplayItem& i) { return i.label == "Zimmer: 21"; }},
      {"SmallLabel", "05.03.26", [](const CDisplayItem& i) { return i.smallLabel == "05.03.26"; }},
      {"SmallLabel.BackgroundColor", "8553215", [](const CDisplayItem& i) { return i.smallLabelBackground == 8553215; }},
      {"Contents", "EUR  1.20", [](const CDisplayItem& i) { return i.contents == "EUR  1.20"; }},
      {"Description", "eins", [](const CDisplayItem& i) { return i.description == "eins"; }},
      {"ToolTip", "zwei", [](const CDisplayItem& i) { return i.description == "zwei"; }},  // the same field
      {"Token", "T7", [](const CDisplayItem& i) { return i.token == "T7"; }},
      {"UniqueID", " -3", [](const CDisplayItem& i) { return i.uniqueId == -3; }},
      {"State1", "1", [](const CDisplayItem& i) { return i.state1 == 1; }},
      {"State2", "9", [](const CDisplayItem& i) { return i.state2 == 9; }},
      {"Label", nullptr, [](const CDisplayItem& i) { return i.label.empty(); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TARQAPIItemSetParamAsString(d, c.name, c.value), 0) << c.name;
    EXPECT_TRUE(c.check(ItemOf(d))) << c.name;
  }
}

TEST_F(Api, StateOfAnItemWithoutSinkIsABoxLaterNotInsideTheCall) {
  const DLLIFC_ITEM group = Add(0);  // groups get no sink
  const DLLIFC_ITEM device = Add(group);
  EXPECT_EQ(TARQAPIItemSetParamAsString(group, "State1", "1"), 0);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(TARQAPIItemSetParamAsString(device, "State1", "1"), 0);  // a device has one
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No valid OnSignal:DEVSTATECHANGE_STATE_1");
}

TEST_F(Api, GroupIdsRunOutAtSixteenBits) {
  int r = -1;
  DLLIFC_ITEM last = 0;
  for (int i = 0; i < 0x10000; ++i) {
    last = Add(0, &r);
    ASSERT_EQ(r, 0) << i;
  }
  EXPECT_EQ(ItemOf(last).id(), 0xFFFF);
  EXPECT_EQ(Add(0, &r), -1);
  EXPECT_EQ(r, DLLIFC_NO_RESOURCE);
  // Devices of a group have ids of their own.
  const DLLIFC_ITEM device = Add(last, &r);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(ItemOf(device).id(), 0);
}

TEST_F(Api, DeviceIdsRunOutAtSixteenBitsPerGroup) {
  const DLLIFC_ITEM full = Add(0), other = Add(0);
  int r = -1;
  for (int i = 0; i < 0x10000; ++i) {
    Add(full, &r);
    ASSERT_EQ(r, 0) << i;
  }
  EXPECT_EQ(Add(full, &r), -1);
  EXPECT_EQ(r, DLLIFC_NO_RESOURCE);
  EXPECT_GT(Add(other, &r), 0);
  EXPECT_EQ(r, 0);
}

TEST_F(Api, PositionIsStoredWithoutAWindow) {
  char text[DLLIFC_TEXT_SIZE] = {};
  EXPECT_EQ(TARQAPISetParamAsString("WNDPosition", "10,20,110,220"), 0);
  EXPECT_EQ(TARQAPIGetParamAsString("WNDPosition", text), 0);
  EXPECT_STREQ(text, "10,20,110,220");
  EXPECT_EQ(TARQAPISetParamAsString("WNDPosition", "5"), 0);  // only the top changes
  EXPECT_EQ(TARQAPIGetParamAsString("WNDPosition", text), 0);
  EXPECT_STREQ(text, "5,20,110,220");
  EXPECT_EQ(TARQAPISetParamAsString("WNDPosition", nullptr), 1);
}

}  // namespace
