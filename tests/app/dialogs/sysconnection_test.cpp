// The system connection dialog: the stored server address into four edits
// and back, the error that keeps it open, the enable rule and what OK
// stores in the configuration.
#include <map>

#include "app/dialogs/systemconnectiondlg.h"
#include "dialogs_support.h"
#include "platform/dialogkit/dlgscript.h"

using callwintest::CallWinTest;
using plat::DialogScript;
using S = CSystemConnectionDlg;

namespace {

using SysConnection = CallWinTest;

TEST_F(SysConnection, SplitsAStoredAddressIntoTheFourEdits) {
  struct Case {
    const char* stored;
    sysconn::AddressParts want;
  } cases[] = {
      {"192.168.001.010", {"192", "168", "001", "010"}},
      {"10.0.0.1", {"10", "0", "0", "1"}},
      {"192.168.1.10", {"192", "168", "1", "10"}},
      {"pbx-server.firm", {"0", "0", "0", "0"}},  // 15 characters, no quad: the converter
      {"1a2.168.001.010", {"0", "0", "0", "0"}},
      {"", {"0", "0", "0", "0"}},
      {"300.1.1.1", {"0", "0", "0", "0"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sysconn::SplitServerAddress(c.stored), c.want) << c.stored;
    std::map<int, std::string> shown;
    CGlobalConfig cfg;
    cfg.NSLA = c.stored;
    DialogScript script;
    script.When(168).Do([&](plat::Dialog& d) {
      for (int i = 0; i < 4; ++i) shown[i] = d.GetItemText(S::IDC_ADDRESS1 + i);
    });
    RunSystemConnectionDlg(cfg, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(shown[i], c.want[i]) << c.stored << " " << i;
  }
}

TEST_F(SysConnection, JoinsOnlyFourNumbersUpTo255) {
  struct Case {
    sysconn::AddressParts parts;
    bool ok;
    const char* want;
  } cases[] = {
      {{"192", "168", "001", "010"}, true, "192.168.1.10"},
      {{"0", "0", "0", "0"}, true, "0.0.0.0"},
      {{"255", "255", "255", "255"}, true, "255.255.255.255"},
      {{"1000", "0", "0", "1"}, false, ""},
      {{"300", "0", "0", "1"}, false, ""},  // not 44
      {{"", "0", "0", "1"}, false, ""},
      {{"a1", "0", "0", "1"}, false, ""},
      {{"1", "2", "3", "-4"}, false, ""},
      {{"1", "2", "3", " 4"}, false, ""},
  };
  for (const Case& c : cases) {
    std::string got = "unchanged";
    EXPECT_EQ(sysconn::JoinServerAddress(c.parts, &got), c.ok) << c.parts[0];
    if (c.ok) EXPECT_EQ(got, c.want);
    else EXPECT_EQ(got, "unchanged");
  }
}

TEST_F(SysConnection, AWrongAddressKeepsItOpenWithTheErrorText) {
  for (const char* bad : {"1000", "300", "", "a1"}) {
    CGlobalConfig cfg;
    cfg.CPID = 6;
    cfg.NSLA = "10.0.0.1";
    boxes.shown.clear();
    bool stillOpen = false;
    DialogScript script;
    script.When(168)
        .Set(S::IDC_ADDRESS1 + 2, bad)
        .Press(plat::IDOK)
        .Do([&](plat::Dialog& d) { stillOpen = !d.Ended(); })
        .Set(S::IDC_ADDRESS1 + 2, "7")
        .Press(plat::IDOK);
    EXPECT_EQ(RunSystemConnectionDlg(cfg, 0), plat::IDOK) << bad;
    EXPECT_TRUE(stillOpen) << bad;
    ASSERT_EQ(boxes.shown.size(), 1u) << bad;
    EXPECT_EQ(boxes.shown[0].text, "T31.23");
    EXPECT_EQ(cfg.NSLA, "10.0.7.1");
  }
}

TEST_F(SysConnection, OkStoresPortDriverAddressAndSwitch) {
  CGlobalConfig cfg;
  cfg.CPID = 2;
  cfg.NSLA = "10.0.0.1";
  DialogScript script;
  script.When(168)
      .Press(S::IDC_LAN)
      .Set(S::IDC_ADDRESS1, "127")
      .Set(S::IDC_ADDRESS1 + 1, "0")
      .Set(S::IDC_ADDRESS1 + 2, "0")
      .Set(S::IDC_ADDRESS1 + 3, "1")
      .Press(S::IDC_CSTA + 2)
      .Check(S::IDC_TAVIK)
      .Press(plat::IDOK);
  EXPECT_EQ(RunSystemConnectionDlg(cfg, 0), plat::IDOK);
  EXPECT_TRUE(script.errors.empty());
  EXPECT_EQ(cfg.CPID, 6);
  EXPECT_EQ(cfg.NSLA, "127.0.0.1");
  EXPECT_EQ(cfg.SYSCON, 2);
  EXPECT_EQ(cfg.IO1008, 1);
}

TEST_F(SysConnection, AComPortKeepsTheOldAddressUncheckedAndCancelStoresNothing) {
  CGlobalConfig cfg;
  cfg.CPID = 6;
  cfg.NSLA = "10.0.0.1";
  DialogScript script;
  script.When(168).Press(S::IDC_COM1 + 2).Set(S::IDC_ADDRESS1, "999").Press(plat::IDOK);
  EXPECT_EQ(RunSystemConnectionDlg(cfg, 0), plat::IDOK);
  EXPECT_EQ(cfg.CPID, 2);
  EXPECT_EQ(cfg.NSLA, "10.0.0.1");
  EXPECT_TRUE(boxes.shown.empty());
  script.When(168).Press(S::IDC_LAN).Press(S::IDC_CSTA + 3).Press(plat::IDCANCEL);
  EXPECT_EQ(RunSystemConnectionDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_EQ(cfg.CPID, 2);
  EXPECT_EQ(cfg.SYSCON, 0);
}

TEST_F(SysConnection, TheAddressIsEnabledOnlyForTheNetwork) {
  struct Case {
    int stored;
    int press;  // 0 none
    bool enabled;
  } cases[] = {{6, 0, true}, {2, 0, false}, {2, S::IDC_LAN, true}, {6, S::IDC_COM1, false},
               {6, S::IDC_COM6, false}, {9, 0, false}};
  for (const Case& c : cases) {
    CGlobalConfig cfg;
    cfg.CPID = c.stored;
    std::map<int, bool> enabled;
    DialogScript script;
    auto& steps = script.When(168);
    if (c.press) steps.Press(c.press);
    steps.Do([&](plat::Dialog& d) {
      for (int id : {1560, 1561, 1562, 1563, 1564}) enabled[id] = d.IsItemEnabled(id);
    });
    RunSystemConnectionDlg(cfg, 0);
    for (auto& [id, on] : enabled) EXPECT_EQ(on, c.enabled) << c.stored << "/" << c.press << " " << id;
  }
}

TEST_F(SysConnection, UntouchedGroupsOfValuesWithoutAButtonKeepThem) {
  CGlobalConfig cfg;
  cfg.CPID = 7;
  cfg.SYSCON = 9;
  int port = -2, driver = -2;
  DialogScript script;
  script.When(168)
      .Do([&](plat::Dialog& d) {
        port = d.GetRadioIndex(S::IDC_COM1);
        driver = d.GetRadioIndex(S::IDC_CSTA);
      })
      .Press(plat::IDOK);
  EXPECT_EQ(RunSystemConnectionDlg(cfg, 0), plat::IDOK);
  EXPECT_EQ(port, -1);
  EXPECT_EQ(driver, -1);
  EXPECT_EQ(cfg.CPID, 7);
  EXPECT_EQ(cfg.SYSCON, 9);
}

}  // namespace
