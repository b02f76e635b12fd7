// Dialog 226 on its own: presets, the check box that goes with "none", what
// OK and cancel leave; and the preset the manager picks for an index and a
// count.
#include "charges/counter/readoutquestiondlg.h"
#include "charges/counter/sumchargehandler.h"
#include "counter_support.h"

using plat::DialogScript;

namespace {

using Question = countertest::CounterTest;

TEST_F(Question, PresetOfIndexAndCount) {
  struct Case {
    int index, count, choice, marker;
  } cases[] = {{0, 5, 0, 0}, {3, 5, 1, 0}, {5, 5, 2, 0}, {7, 5, 0, 1}, {0, 0, 2, 0}, {1, 0, 0, 1}};
  for (const Case& c : cases) {
    int marker = -1;
    EXPECT_EQ(CSumChargeHandler::PresetChoice(c.index, c.count, &marker), c.choice) << c.index << "/" << c.count;
    EXPECT_EQ(marker, c.marker) << c.index << "/" << c.count;
  }
}

TEST_F(Question, ShownPresetAndTheCheckBoxFollowTheChoice) {
  struct Case {
    int preset;
    int deleteSet;
    int shownRadio;
    bool boxEnabled;
  } cases[] = {{0, 1, 0, true}, {1, 0, 1, true}, {2, 1, 2, false}, {7, 0, -1, true}};
  for (const Case& c : cases) {
    CReadOutQuestionDlg dlg;
    dlg.SetChoice(c.preset);
    dlg.SetDeleteAfterwards(c.deleteSet);
    int radio = -2, checked = -1;
    bool enabled = false;
    DialogScript script;
    script.When(226)
        .Do([&](plat::Dialog& d) {
          radio = d.GetRadioIndex(CReadOutQuestionDlg::IDC_ALL);
          checked = d.IsChecked(CReadOutQuestionDlg::IDC_DELETE);
          enabled = d.IsItemEnabled(CReadOutQuestionDlg::IDC_DELETE);
        })
        .Press(plat::IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), plat::IDCANCEL);
    EXPECT_EQ(radio, c.shownRadio) << c.preset;
    EXPECT_EQ(checked, c.deleteSet) << c.preset;
    EXPECT_EQ(enabled, c.boxEnabled) << c.preset;
    EXPECT_EQ(dlg.GetChoice(), c.preset);  // cancel stores nothing
  }
}

TEST_F(Question, OkTakesTheChoiceAndNoneNeverDeletes) {
  struct Case {
    int press;  // radio pressed before OK
    int want;
    int deletes;
  } cases[] = {{CReadOutQuestionDlg::IDC_ALL, 0, 1}, {CReadOutQuestionDlg::IDC_NEWONLY, 1, 1},
               {CReadOutQuestionDlg::IDC_NONE, 2, 0}};
  for (const Case& c : cases) {
    CReadOutQuestionDlg dlg;
    dlg.SetDeleteAfterwards(1);
    bool enabledAfter = true;
    DialogScript script;
    script.When(226)
        .Press(c.press)
        .Do([&](plat::Dialog& d) { enabledAfter = d.IsItemEnabled(CReadOutQuestionDlg::IDC_DELETE); })
        .Press(plat::IDOK);
    EXPECT_EQ(dlg.DoModal(), plat::IDOK);
    EXPECT_EQ(dlg.GetChoice(), c.want);
    EXPECT_EQ(dlg.GetDeleteAfterwards(), c.deletes) << c.press;
    EXPECT_EQ(enabledAfter, c.press != CReadOutQuestionDlg::IDC_NONE);
  }
  // Choice 2 with the box set, never shown.
  CReadOutQuestionDlg none;
  none.SetChoice(2);
  none.SetDeleteAfterwards(1);
  EXPECT_EQ(none.GetDeleteAfterwards(), 0);
  CReadOutQuestionDlg fresh;
  fresh.SetDeleteAfterwards(1);
  EXPECT_EQ(fresh.GetDeleteAfterwards(), 0);  // nothing chosen yet
}

TEST_F(Question, MinusOneIsRefusedAndKeepsTheChoice) {
  CReadOutQuestionDlg dlg;
  EXPECT_EQ(dlg.SetChoice(1), 1);
  EXPECT_EQ(dlg.SetChoice(-1), 0);
  EXPECT_EQ(dlg.GetChoice(), 1);
}

}  // namespace
