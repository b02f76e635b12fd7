// The extension information behind a tile's third button, in the real
// manager: what it shows, the check-in time through the common time dialog,
// and what OK and cancel leave in the record, on the tile and on disk.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "charges/dialogs/extensioninfodlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/charges/counter/counter_support.h"
#include "tests/support/testsupport.h"

namespace {

using plat::DialogScript;
using D = CExtensionInfoDlg;
constexpr int kTimeDialog = 112, kDate = 1091, kTime = 1092;

class ExtensionInfo : public countertest::CounterTest {
 protected:
  void SetUp() override {
    tzBefore_ = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    CounterTest::SetUp();
    reset = static_cast<std::int32_t>(testsupport::LocalTime(2023, 11, 14, 23, 13, 20));
    chosen = static_cast<std::int32_t>(testsupport::LocalTime(2024, 2, 1, 8, 30, 0));
  }
  void TearDown() override {
    CounterTest::TearDown();
    if (tzBefore_.empty()) ::unsetenv("TZ");
    else ::setenv("TZ", tzBefore_.c_str(), 1);
    ::tzset();
  }
  // Extension 21 with a name, a note and a reset, saved; the real dialog
  // behind the tiles.
  SumChargeExtension& Prepare(int watchMode = 2, int showCheckIn = 0) {
    Watch(21, 1);
    CMonitorEntry* me = core->table.FindByNumber("21");
    me->name = "Empfang";
    me->watchMode = static_cast<std::uint32_t>(watchMode);
    CSumChargeHandler& m = Make();
    window = CExtensionInfoWindow(&core->table);
    m.SetExtensionInfoWindow(&window);
    SumChargeExtension& e = *m.FindExtension(0, "21");
    e.name = "Alt";
    e.SetComment("erste Zeile\r\nzweite");
    e.lastReset = reset;
    e.showCheckIn = showCheckIn;
    EXPECT_TRUE(e.Save(Ini()));
    return e;
  }
  // "Setzen" posts the time dialog; a script step runs it.
  std::function<void(plat::Dialog&)> Settle() {
    return [this](plat::Dialog&) { loop.RunUntilIdle(); };
  }
  CExtensionInfoWindow window{nullptr};
  std::int32_t reset = 0, chosen = 0;
  std::string tzBefore_;
};

TEST_F(ExtensionInfo, OpensWithTheRecordAndTheMonitorTable) {
  struct Case {
    int watchMode, showCheckIn;
    int csta;
  } cases[] = {{2, 0, 1}, {0, 1, 0}};
  for (const Case& c : cases) {
    SumChargeExtension& e = Prepare(c.watchMode, c.showCheckIn);
    DialogScript script;
    std::string shown[5];
    int csta = -1, checkIn = -1;
    script.When(D::kResourceId).Do([&](plat::Dialog& d) {
      int i = 0;
      for (int id : {D::IDC_DESCRIPTION, D::IDC_NAME, D::IDC_CHECKIN, D::IDC_CHECKOUT, D::IDC_NOTE})
        shown[i++] = d.GetItemText(id);
      csta = d.IsChecked(D::IDC_CSTA);
      checkIn = d.IsChecked(D::IDC_SHOW_CHECKIN);
    });
    Press(CSumChargeHandler::kInfo, "21");
    ASSERT_EQ(script.opened.size(), 1u) << c.watchMode;
    EXPECT_EQ(script.opened[0].caption, "Nebenstelleninformation");
    EXPECT_EQ(shown[0], "Empfang");
    EXPECT_EQ(shown[1], "Alt");
    EXPECT_EQ(shown[2], "14.11.23, 23:13:20");
    EXPECT_EQ(shown[3], "");
    EXPECT_EQ(shown[4], "erste Zeile\r\nzweite");
    EXPECT_EQ(csta, c.csta) << c.watchMode;
    EXPECT_EQ(checkIn, c.showCheckIn);
    EXPECT_EQ(e.lastReset, reset);  // left by the script: cancelled
    Drop();
    std::remove(Ini().c_str());
  }
}

TEST_F(ExtensionInfo, TheTimeDialogGetsTheCheckInAndItsFlags) {
  Prepare();
  DialogScript script;
  std::string date, time, caption;
  bool dateBox = false, timeBox = false;
  script.When(D::kResourceId).Press(D::IDC_SET_CHECKIN).Do(Settle());
  script.When(kTimeDialog).Do([&](plat::Dialog& d) {
    caption = d.GetWindowText();
    date = d.GetItemText(kDate);
    time = d.GetItemText(kTime);
    dateBox = d.IsItemEnabled(1094);
    timeBox = d.IsItemEnabled(1096);
  });
  Press(CSumChargeHandler::kInfo, "21");
  ASSERT_EQ(script.opened.size(), 2u);
  EXPECT_EQ(script.opened[0].resourceId, kTimeDialog);  // a block of another size is refused
  EXPECT_EQ(script.opened[0].deliverable, "kestrum");
  EXPECT_EQ(caption, "Checkin");
  EXPECT_EQ(date, "14.11.2023");
  EXPECT_EQ(time, "23:13:20");
  EXPECT_TRUE(dateBox);
  EXPECT_TRUE(timeBox);
  EXPECT_TRUE(script.errors.empty()) << script.errors[0];
}

TEST_F(ExtensionInfo, OkAndCancelOfBothDialogs) {
  struct Case {
    const char* what;
    bool timeOk;            // the time dialog confirmed
    bool emptyDate;         // ... with the date field cleared first
    bool infoOk;            // dialog 227 confirmed
    std::int32_t* wantReset;
    const char* wantText;   // the check-in field when 227 closes
  } cases[] = {
      {"time ok, info cancel", true, false, false, &reset, "1.02.24, 8:30:00"},
      {"time ok, info ok", true, false, true, &chosen, "1.02.24, 8:30:00"},
      {"time cancel, info ok", false, false, true, &reset, "14.11.23, 23:13:20"},
      {"empty date stays open", true, true, true, &reset, "14.11.23, 23:13:20"},
  };
  for (const Case& c : cases) {
    SumChargeExtension& e = Prepare();
    const std::string before = countertest::ReadFile(Ini());
    DialogScript script;
    std::string text, name;
    script.When(D::kResourceId).Set(D::IDC_NAME, "Neu").Press(D::IDC_SET_CHECKIN).Do(Settle()).Do([&](plat::Dialog& d) {
      text = d.GetItemText(D::IDC_CHECKIN);
      name = d.GetItemText(D::IDC_NAME);
      if (c.infoOk) d.UserPress(1);
    });
    auto& t = script.When(kTimeDialog).Set(kDate, c.emptyDate ? "" : "1.02.2024").Set(kTime, "8:30:00");
    if (c.timeOk) t.Press(1);
    else t.Press(2);
    Press(CSumChargeHandler::kInfo, "21");
    EXPECT_EQ(text, c.wantText) << c.what;
    EXPECT_EQ(name, "Neu") << c.what;  // the time leaves typed fields alone
    EXPECT_EQ(e.lastReset, *c.wantReset) << c.what;
    EXPECT_EQ(e.name, c.infoOk ? "Neu" : "Alt") << c.what;
    if (!c.infoOk) EXPECT_EQ(countertest::ReadFile(Ini()), before) << c.what;
    SumChargeExtension disk("21");
    ASSERT_EQ(disk.Load(Ini()), 1);
    EXPECT_EQ(disk.lastReset, *c.wantReset) << c.what;
    Drop();
    std::remove(Ini().c_str());
  }
}

TEST_F(ExtensionInfo, OkWithShowCheckInLabelsTheTile) {
  struct Case {
    int check;
    const char* label;
  } cases[] = {{1, "Neu 1.02.24"}, {0, "Neu"}};
  for (const Case& c : cases) {
    SumChargeExtension& e = Prepare(2, 1 - c.check);
    const std::int32_t tile = e.item;
    DialogScript script;
    script.When(D::kResourceId)
        .Set(D::IDC_NAME, "Neu")
        .Set(D::IDC_NOTE, "Notiz\tneu")
        .Check(D::IDC_SHOW_CHECKIN, c.check)
        .Press(D::IDC_SET_CHECKIN).Do(Settle())
        .Do([](plat::Dialog& d) { d.UserPress(1); });
    script.When(kTimeDialog).Set(kDate, "1.02.2024").Set(kTime, "8:30:00").Press(1);
    Press(CSumChargeHandler::kInfo, "21");
    EXPECT_EQ(display.Last(tile, "Label"), c.label);
    EXPECT_EQ(e.showCheckIn, c.check);
    SumChargeExtension disk("21");
    ASSERT_EQ(disk.Load(Ini()), 1);
    EXPECT_EQ(disk.comment, "Notiz\tneu");
    EXPECT_EQ(disk.showCheckIn, c.check);
    EXPECT_EQ(disk.name, "Neu");
    Drop();
    std::remove(Ini().c_str());
  }
}

}  // namespace
