// The page parameters dialog (102) driven by script.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/dialogkit/dlgscript.h"
#include "platform/messages.h"
#include "print/marpel32.h"
#include "print/pagedlg.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/testsupport.h"

using plat::DialogScript;

namespace {

struct Owner : plat::IMessageTarget {
  Owner() : id(plat::RegisterTarget(this)) {}
  ~Owner() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
  plat::WindowId id;
};

PAGEPARAMS A4() {
  PAGEPARAMS p{};
  p.topMargin = {MARPL_UNIT_MM, 10};
  p.oddSideMargin = {MARPL_UNIT_MM, 12.345f};
  p.evenSideMargin = {MARPL_UNIT_CM, 1.5f};
  p.headHeight = {MARPL_UNIT_PT, 12};
  p.headSep = {MARPL_UNIT_IN, 0.25f};
  p.topSkip = {MARPL_UNIT_DEVICE, 40};
  p.footHeight = {MARPL_UNIT_MM, 5};
  p.footSkip = {MARPL_UNIT_MM, 8};
  p.textHeight = {MARPL_UNIT_MM, 270};
  p.textWidth = {MARPL_UNIT_MM, 180};
  p.pageHeight = {MARPL_UNIT_MM, 297};
  p.pageWidth = {MARPL_UNIT_MM, 210};
  return p;
}

class PageDialog : public ::testing::Test {
 protected:
  void SetUp() override { testapp::App(); }
  Owner owner;
};

}  // namespace

TEST_F(PageDialog, ShowsTheMeasuresAndPreselectsTheirPageSize) {
  testsupport::GermanLocale german;
  ASSERT_TRUE(german.Active());
  PAGEPARAMS p = A4();
  DialogScript script;
  std::map<int, std::string> shown;
  std::string selected;
  bool boxEnabled = false;
  int count = 0;
  script.When(plat::dlg::kPrint, 102).Do([&](plat::Dialog& d) {
    for (const auto& f : marpel::kPageFieldTable) shown[f.control] = d.GetItemText(f.control);
    selected = d.GetLBText(1003, d.GetCurSel(1003));
    boxEnabled = d.IsItemEnabled(1003);
    count = d.GetCount(1003);
  }).Press(plat::IDCANCEL);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, owner.id), 0);
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].caption, "Seitenma\xDF" "e einrichten");
  EXPECT_EQ(shown[1021], "210.00 mm");
  EXPECT_EQ(shown[1023], "297.00 mm");
  EXPECT_EQ(shown[1001], "10.00 mm");
  EXPECT_EQ(shown[1005], "12.35 mm");
  EXPECT_EQ(shown[1007], "1.50 cm");
  EXPECT_EQ(shown[1009], "12.00 pt");
  EXPECT_EQ(shown[1011], "0.25 in");
  EXPECT_EQ(shown[1013], "");  // device units
  EXPECT_EQ(selected, "dina 4");
  EXPECT_TRUE(boxEnabled);
  EXPECT_EQ(count, 7);
}

TEST_F(PageDialog, APageSizeWritesItsMeasures) {
  PAGEPARAMS p = A4();
  DialogScript script;
  std::string w, h, userW = "x";
  script.When(plat::dlg::kPrint, 102)
      .SelectText(1003, "user defined")
      .Do([&](plat::Dialog& d) { userW = d.GetItemText(1021); })
      .SelectText(1003, "dina 5 oblong")
      .Do([&](plat::Dialog& d) {
        w = d.GetItemText(1021);
        h = d.GetItemText(1023);
      })
      .Press(plat::IDOK);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, owner.id), 1);
  EXPECT_EQ(userW, "");
  EXPECT_EQ(w, "210.00 mm");
  EXPECT_EQ(h, "148.00 mm");
  EXPECT_EQ(p.pageWidth.unit, MARPL_UNIT_MM);
  EXPECT_FLOAT_EQ(p.pageWidth.value, 210);
  EXPECT_FLOAT_EQ(p.pageHeight.value, 148);
}

TEST_F(PageDialog, OkStoresOnlyTheEnabledFieldsItCanRead) {
  PAGEPARAMS p = A4();
  p.flags = MARPL_PP_TOPMARGIN | MARPL_PP_TEXTWIDTH | MARPL_PP_NOPAGESIZE;
  const PAGEPARAMS before = p;
  DialogScript script;
  bool setDisabled = true, boxEnabled = true;
  script.When(plat::dlg::kPrint, 102)
      .Do([&](plat::Dialog& d) {
        setDisabled = d.UserSetText(1001, "99 mm");
        boxEnabled = d.IsItemEnabled(1003);
      })
      .Set(1007, "2,5 cm")
      .Set(1009, "abc")
      .Set(1015, "7.25")
      .Set(1025, "")
      .Press(plat::IDOK);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, owner.id), 1);
  EXPECT_FALSE(setDisabled);
  EXPECT_FALSE(boxEnabled);
  EXPECT_EQ(std::memcmp(&p.topMargin, &before.topMargin, 8), 0);
  EXPECT_EQ(std::memcmp(&p.textWidth, &before.textWidth, 8), 0);
  // Unchanged: exactly as it was, not read back from two decimals.
  EXPECT_FLOAT_EQ(p.oddSideMargin.value, 12.345f);
  EXPECT_EQ(p.evenSideMargin.unit, MARPL_UNIT_CM);
  EXPECT_FLOAT_EQ(p.evenSideMargin.value, 2.5f);
  EXPECT_EQ(std::memcmp(&p.headHeight, &before.headHeight, 8), 0);  // no number
  EXPECT_EQ(std::memcmp(&p.footSkip, &before.footSkip, 8), 0);      // emptied
  EXPECT_EQ(p.footHeight.unit, MARPL_UNIT_DEVICE);
  EXPECT_FLOAT_EQ(p.footHeight.value, 7.25f);
  EXPECT_EQ(std::memcmp(&p.topSkip, &before.topSkip, 8), 0);  // shown empty, left so
  EXPECT_EQ(p.flags, before.flags);
}

TEST_F(PageDialog, CancelLeavesTheBlockAsItWas) {
  PAGEPARAMS p = A4();
  std::memset(&p.flags, 0xA5, 4);
  p.flags &= ~0x1FFFu;
  const PAGEPARAMS before = p;
  DialogScript script;
  script.When(plat::dlg::kPrint, 102).Set(1001, "1 in").SelectText(1003, "dina 3").Press(plat::IDCANCEL);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, owner.id), 0);
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
  script.When(plat::dlg::kPrint, 102).Set(1001, "1 in").Key(Qt::Key_Escape);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, owner.id), 0);
  EXPECT_EQ(std::memcmp(&p, &before, sizeof p), 0);
}

TEST_F(PageDialog, RefusesABlockOrOwnerThatIsNotThere) {
  PAGEPARAMS p = A4();
  DialogScript script;
  EXPECT_EQ(MARPLAPIConfigPageParams(nullptr, owner.id), 0);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, 0), 0);
  EXPECT_EQ(MARPLAPIConfigPageParams(&p, 0x7FFFFFF0), 0);
  EXPECT_TRUE(script.opened.empty());
}

TEST(PageFields, ReadBackAndShown) {
  struct Case {
    const char* text;
    bool ok;
    std::uint32_t unit;
    float value;
  } cases[] = {{"210.00 mm", true, 0, 210}, {"2,5cm", true, 1, 2.5f}, {"12pt", true, 2, 12},
               {"1 in", true, 3, 1},        {"33", true, 4, 33},       {"mm", false, 0, 0},
               {"", false, 0, 0},           {"  -4.5 mm", true, 0, -4.5f}};
  for (const Case& c : cases) {
    MARPLMEASURE m{77, 77};
    EXPECT_EQ(marpel::ReadField(c.text, &m), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(m.unit, c.unit) << c.text;
      EXPECT_FLOAT_EQ(m.value, c.value) << c.text;
    }
  }
  EXPECT_EQ(marpel::FieldText({MARPL_UNIT_DEVICE, 5}), "");
  EXPECT_EQ(marpel::FieldText({9, 5}), "");
  EXPECT_EQ(marpel::FieldText({MARPL_UNIT_IN, 0.006f}), "0.01 in");
}
