// The start-up, assistant and customer information settings: what each
// shows of the configuration, what OK stores and cancel leaves, radio
// values without a button, and the file dialog behind "Durchsuchen".
#include <map>

#include "app/dialogs/settingsdlgs.h"
#include "dialogs_support.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/filedlg.h"

using callwintest::CallWinTest;
using plat::DialogScript;

namespace {

using Settings = CallWinTest;

TEST_F(Settings, StartupAfterAFreshStartShowsAllUncheckedAndOkStoresTheChecks) {
  CGlobalConfig fresh;
  std::map<int, int> shown;
  DialogScript script;
  script.When(144)
      .Do([&](plat::Dialog& d) {
        for (int id : {1136, 1137, 1138, 1139, 1164, 1420, 1421}) shown[id] = d.IsChecked(id);
      })
      .Check(CStartupDlg::IDC_KEYPAD)
      .Check(CStartupDlg::IDC_DATABASE)
      .Check(CStartupDlg::IDC_SUMS)
      .Press(plat::IDOK);
  EXPECT_EQ(RunStartupDlg(fresh, 0), plat::IDOK);
  for (auto& [id, on] : shown) EXPECT_EQ(on, 0) << id;
  EXPECT_EQ(fresh.ASCA, 0);
  EXPECT_EQ(fresh.ASDB, 1);
  EXPECT_EQ(fresh.ASMV, 0);
  EXPECT_EQ(fresh.ASOW, 0);
  EXPECT_EQ(fresh.ASDABA, 1);
  EXPECT_EQ(fresh.ASSUCP, 0);  // the charge windows are not stored here
  EXPECT_EQ(fresh.ASSCCP, 0);

  script.When(144)
      .Do([&](plat::Dialog& d) {
        for (int id : {1136, 1137, 1138, 1139, 1164}) shown[id] = d.IsChecked(id);
      })
      .Check(CStartupDlg::IDC_ASSISTANT)
      .Press(plat::IDCANCEL);
  EXPECT_EQ(RunStartupDlg(fresh, 0), plat::IDCANCEL);
  EXPECT_EQ(shown[1137], 1);
  EXPECT_EQ(shown[1164], 1);
  EXPECT_EQ(fresh.ASCA, 0);
}

TEST_F(Settings, AssistantSetupRoundTripAndStyleFiveIsKept) {
  struct Case {
    int style;
    int pressStyle;  // radio to press, 0 none
    int wantStyle;
  } cases[] = {{0, 1297 + 3, 3}, {4, 1297, 0}, {5, 0, 5}, {2, 0, 2}};
  for (const Case& c : cases) {
    CGlobalConfig cfg;
    cfg.CAPUW = 1;
    cfg.CAPDW = 0;
    cfg.VSCW = c.style;
    cfg.EXPRO1 = "/usr/bin/a";
    std::map<int, std::string> shown;
    int styleShown = -2;
    DialogScript script;
    auto& steps = script.When(181).Do([&](plat::Dialog& d) {
      shown[1] = d.GetItemText(CAssistantSetupDlg::IDC_PROGRAM1);
      styleShown = d.GetRadioIndex(CAssistantSetupDlg::IDC_STYLEFRAME);
      shown[2] = std::to_string(d.GetRadioIndex(CAssistantSetupDlg::IDC_OPENDIALLED));
    });
    if (c.pressStyle) steps.Press(c.pressStyle);
    steps.Press(CAssistantSetupDlg::IDC_CLOSEUSER + 1).Set(CAssistantSetupDlg::IDC_PROGRAM2, "/opt/b %RemoteNumber%");
    steps.Press(plat::IDOK);
    EXPECT_EQ(RunAssistantSetupDlg(cfg, 0), plat::IDOK);
    EXPECT_TRUE(script.errors.empty());
    EXPECT_EQ(shown[1], "/usr/bin/a");
    EXPECT_EQ(shown[2], "1");
    EXPECT_EQ(styleShown, c.style < 5 ? c.style : -1);
    EXPECT_EQ(cfg.VSCW, c.wantStyle) << c.style;
    EXPECT_EQ(cfg.CAPUW, 1);
    EXPECT_EQ(cfg.CAPDW, 1);
    EXPECT_EQ(cfg.EXPRO1, "/usr/bin/a");
    EXPECT_EQ(cfg.EXPRO2, "/opt/b %RemoteNumber%");
  }
}

TEST_F(Settings, BrowsePutsTheChosenPathAndACancelLeavesTheEdit) {
  plat::ScriptedFileDialog files;
  plat::SetFileDialogImpl(&files);
  files.answers = {"/usr/local/bin/crm", ""};
  CGlobalConfig cfg;
  cfg.EXPRO1 = "alt";
  cfg.EXPRO2 = "bleibt";
  DialogScript script;
  script.When(181)
      .Press(CAssistantSetupDlg::IDC_BROWSE1)
      .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
      .Press(CAssistantSetupDlg::IDC_BROWSE2)
      .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
      .Press(plat::IDOK);
  EXPECT_EQ(RunAssistantSetupDlg(cfg, 0), plat::IDOK);
  plat::SetFileDialogImpl(nullptr);
  EXPECT_EQ(cfg.EXPRO1, "/usr/local/bin/crm");
  EXPECT_EQ(cfg.EXPRO2, "bleibt");
  ASSERT_EQ(files.requests.size(), 2u);
  EXPECT_FALSE(files.requests[0].save);
  EXPECT_EQ(files.requests[0].title, "T33.21");
  EXPECT_EQ(files.requests[0].fileName, "alt");
}

TEST_F(Settings, FilterTextsBecomeLabelAndPatternPairs) {
  using P = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* text;
    P want;
  } cases[] = {
      {"Programme (*.*)|*.*||", {{"Programme (*.*)", "*.*"}}},
      {"A|*.a|B|*.b;*.c||", {{"A", "*.a"}, {"B", "*.b;*.c"}}},
      {"", {}},
      {"nur ein Teil", {}},
      {"A|*.a|B", {{"A", "*.a"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(CAssistantSetupDlg::ParseFilter(c.text), c.want) << c.text;
}

TEST_F(Settings, CustomerInfoRoundTripAndCancel) {
  CGlobalConfig cfg;  // BCPW 1, ECPW 0, AWNNCI 1
  int begin = -2, end = -2, ask = -2;
  DialogScript script;
  script.When(157)
      .Do([&](plat::Dialog& d) {
        begin = d.GetRadioIndex(CCustomerInfoDlg::IDC_BEGINOPEN);
        end = d.GetRadioIndex(CCustomerInfoDlg::IDC_ENDVANISH);
        ask = d.IsChecked(CCustomerInfoDlg::IDC_ASKNEW);
      })
      .Press(CCustomerInfoDlg::IDC_BEGINOPEN)
      .Press(1230)
      .Check(CCustomerInfoDlg::IDC_ASKNEW, 0)
      .Press(plat::IDOK);
  EXPECT_EQ(RunCustomerInfoDlg(cfg, 0), plat::IDOK);
  EXPECT_EQ(begin, 1);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(ask, 1);
  EXPECT_EQ(cfg.BCPW, 0);
  EXPECT_EQ(cfg.ECPW, 1);
  EXPECT_EQ(cfg.AWNNCI, 0);
  script.When(157).Press(1223).Check(CCustomerInfoDlg::IDC_ASKNEW, 1).Press(plat::IDCANCEL);
  EXPECT_EQ(RunCustomerInfoDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_EQ(cfg.BCPW, 0);
  EXPECT_EQ(cfg.AWNNCI, 0);
}

}  // namespace
