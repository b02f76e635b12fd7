// Dialog 188 on a real handler: the sums read-out it starts, the device
// number that a reset sends, what closing leaves behind, and its print.
#include "charges/dialogs/totalchargesdlg.h"
#include "chargedlg_support.h"
#include "platform/dialogkit/dlgscript.h"

using plat::DialogScript;
using T = CTotalChargesDlg;

namespace {

class Totals : public chargedlgtest::ChargeDlgTest {
 protected:
  void SetUp() override {
    ChargeDlgTest::SetUp();
    handler->ProcessChargeMessage(chargewire::DeviceReply(19, "3"));
    dlg = std::make_unique<T>(handler.get(), &printer);
  }
  void TearDown() override {
    dlg.reset();
    ChargeDlgTest::TearDown();
  }
  // The PBX's answer to a sums read-out: devices 10 to 12, then the end.
  void AnswerSums() {
    handler->ProcessChargeMessage(chargewire::UnitsReply("10", 7, "21"));
    handler->ProcessChargeMessage(chargewire::UnitsReply("11", 3, "22"));
    handler->ProcessChargeMessage(chargewire::UnitsReply("12", 0, "23"));
    handler->ProcessChargeMessage(chargewire::UnitsReply("13", 0, ""));
  }
  std::vector<std::string> Shown(plat::Dialog& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.GetCount(T::IDC_LIST); ++i) out.push_back(d.GetLBText(T::IDC_LIST, i));
    return out;
  }
  std::unique_ptr<T> dlg;
};

TEST_F(Totals, OpeningReadsTheSumsAndListsThemWhenTheyCome) {
  struct Case {
    const char* name;
    bool lockBusy;
    std::vector<std::string> first;
    std::vector<std::string> sent;
  } cases[] = {{"free", false, {"T38.19"}, {"12 10", "12 11", "12 12", "12 13"}},
               {"lock held", true, {"T38.20", "T38.21"}, {}}};
  for (const Case& c : cases) {
    requests.sent.clear();
    requests.busy = c.lockBusy;
    std::vector<std::string> first, after;
    DialogScript script;
    script.When(188).Do([&](plat::Dialog& d) {
      first = Shown(d);
      if (!c.lockBusy) AnswerSums();
      after = Shown(d);
    });
    T d(handler.get(), &printer);
    d.DoModal(0);
    EXPECT_EQ(first, c.first) << c.name;
    EXPECT_EQ(requests.sent, c.sent) << c.name;
    if (!c.lockBusy) EXPECT_EQ(after, HandlerLines(0, 0)) << c.name;
    loop.RunUntilIdle();
  }
}

TEST_F(Totals, ResetSendsTheDeviceNumberAndReselectsTheLine) {
  int remembered = -2, selAfter = -2;
  std::vector<std::string> sent;
  DialogScript script;
  script.When(188)
      .Do([&](plat::Dialog&) { AnswerSums(); })
      .Select(T::IDC_LIST, 1)
      .Do([&](plat::Dialog&) { requests.sent.clear(); })
      .Press(T::IDC_DELETE)
      .Do([&](plat::Dialog& d) {
        sent = requests.sent;
        remembered = static_cast<T&>(d).RememberedLine();
        d.SetCurSel(T::IDC_LIST, -1);
        handler->ProcessChargeMessage(chargewire::DeviceReply(11, "11"));
        selAfter = d.GetCurSel(T::IDC_LIST);
      })
      .Do([&](plat::Dialog&) { requests.sent.clear(); })
      .Press(T::IDC_DELETE_ALL)
      .Do([&](plat::Dialog& d) {
        sent.insert(sent.end(), requests.sent.begin(), requests.sent.end());
        remembered = remembered * 10 + static_cast<T&>(d).RememberedLine();
      });
  dlg->DoModal(0);
  // Line 1 begins with the name "22"; the PBX knows it as device 11.
  EXPECT_EQ(sent, (std::vector<std::string>{"10 11", "10 *"}));
  EXPECT_EQ(remembered, 1 * 10 - 1);
  EXPECT_EQ(selAfter, 1);
}

TEST_F(Totals, FirstLineIsDeviceTenOfExtensionTwentyOne) {
  std::vector<std::string> sent;
  DialogScript script;
  script.When(188)
      .Do([&](plat::Dialog&) { AnswerSums(); requests.sent.clear(); })
      .Select(T::IDC_LIST, 0)
      .Press(T::IDC_DELETE)
      .Do([&](plat::Dialog& d) {
        sent = requests.sent;
        EXPECT_EQ(d.GetLBText(T::IDC_LIST, 0).substr(0, 3), "21\t");
      });
  dlg->DoModal(0);
  EXPECT_EQ(sent, std::vector<std::string>{"10 10"});
}

TEST_F(Totals, ClosingDetachesCancelsAndForgetsTheLine) {
  struct Case {
    const char* name;
    bool answerFirst;
    int key;
  } cases[] = {{"esc during the read-out", false, Qt::Key_Escape},
               {"ok after a reset", true, Qt::Key_Return}};
  for (const Case& c : cases) {
    DialogScript script;
    auto& s = script.When(188);
    if (c.answerFirst) s.Do([&](plat::Dialog&) { AnswerSums(); }).Select(T::IDC_LIST, 2).Press(T::IDC_DELETE);
    s.Key(c.key);
    dlg->DoModal(0);
    EXPECT_EQ(dlg->RememberedLine(), -1) << c.name;
    if (!c.answerFirst) EXPECT_EQ(handler->Job(), CChargeAndLogHandler::kJobNone) << c.name;
    // Nothing reaches the closed dialog: the handler has no sums window.
    const std::size_t before = requests.sent.size();
    handler->ProcessChargeMessage(chargewire::DeviceReply(11, "12"));
    EXPECT_EQ(handler->SetSumsWindow(nullptr), 0) << c.name;
    EXPECT_EQ(requests.sent.size(), before) << c.name;
  }
  // Used again: it reads out and lists anew.
  std::vector<std::string> shown;
  DialogScript script;
  script.When(188).Do([&](plat::Dialog& d) {
    AnswerSums();
    shown = Shown(d);
  });
  dlg->DoModal(0);
  EXPECT_EQ(shown, HandlerLines(0, 0));
}

TEST_F(Totals, PrintedSums) {
  DialogScript script;
  script.When(188).Do([&](plat::Dialog&) { AnswerSums(); }).Press(T::IDC_PRINT).Do([&](plat::Dialog&) {
    loop.RunUntilIdle();
  });
  dlg->DoModal(0);
  const std::vector<std::string> rows = HandlerLines(0, 0);
  ASSERT_EQ(rows.size(), 3u);
  std::vector<std::string> want = {
      "create CSumChargeOfPhones.log 4 2", "config 3", "seq 3 1 0 5 CSumChargeOfPhones.log",
      "latex 3 \\documentstyle[10pt,german,dina4]{article}", "latex 3 \\rm", "latex 3 \\oddsidemargin{}",
      "latex 3 \\columnsep{4 mm}", "latex 3 \\textwidth{180 mm}", "latex 3 \\textheight{270 mm}",
      "seq 3 9 23 5 T38.14", "latex 3 \\rm{12pt}", "latex 3 \\vspace{4mm}", "seq 3 12 22 5 T38.14",
      "seq 3 12 22 5 T38.6\t" + handler->GetReadOutTimeText(0), "latex 3 \\vspace{4mm}",
      "seq 3 6 19 5 l{Nebenstellen},r{Einheiten},r{Xxxxxxxxxxxx},l{Wer auch immer das sein mag}",
      "seq 3 8 21 5 T38.10\tT38.11\tT38.12\tT38.13", "seq 3 33 0 0"};
  for (const std::string& r : rows) want.push_back("seq 3 32 22 5 " + r);
  for (const char* s : {"seq 3 33 0 0", "seq 3 33 0 0", "seq 3 7 0 0", "latex 3 \\vspace{4mm}", "latex 3 \\bf"})
    want.push_back(s);
  want.push_back("seq 3 12 22 5 T38.9\t" + handler->GetSummaryText(6, 3));
  want.push_back("seq 3 2 0 0");
  want.push_back("release 3");
  EXPECT_EQ(printer.calls, want);
}

}  // namespace
