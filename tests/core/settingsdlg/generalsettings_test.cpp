#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>

#include "core/base/globalconfig.h"
#include "core/settingsdlg/generalsettingsdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/textid.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "tests/platform/dialogkit/testapp.h"

using plat::DialogScript;
using D = CGeneralSettingsDlg;

namespace {

class GeneralSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    plat::SetTraceBackend(&trace_);
  }
  void TearDown() override {
    plat::SetTraceBackend(nullptr);
    plat::SetTextSource(nullptr);
  }
  int Opens() const { return Count(plat::TraceEvent::Open); }
  int Closes() const { return Count(plat::TraceEvent::Close); }
  int Count(plat::TraceEvent::Op op) const {
    int n = 0;
    for (const auto& e : trace_.Events())
      if (e.channel == plat::TraceEvent::Csta && e.op == op) ++n;
    return n;
  }
  plat::RecordingTraceBackend trace_;
};

}  // namespace

TEST_F(GeneralSettings, ShowsTheConfigurationsValues) {
  CGlobalConfig cfg;
  cfg.OFFNUM = "9";
  cfg.OffnumDigit = '9';
  cfg.PPCU = 0.23f;
  cfg.CAUN = "EUR";
  cfg.MCTO = 12;
  cfg.GDOH = 1;
  cfg.WOIPBXT = 0;
  cfg.CUTOFFLEADINGDIGIT = 0;
  cfg.DialOfficeDigits = 1;
  cfg.TOLECSTALOGDLL = 1;
  std::map<int, std::string> text;
  std::map<int, int> checks;
  DialogScript script;
  script.When(172).Do([&](plat::Dialog& d) {
    for (int id : {D::IDC_OFFICEDIGIT, D::IDC_PRICE, D::IDC_CURRENCY, D::IDC_CURRENCYSHOWN, D::IDC_LOGONTIMEOUT})
      text[id] = d.GetItemText(id);
    for (int id : {D::IDC_DIALONHOOK, D::IDC_WARNTIMEDIFF, D::IDC_CUTOFFLEADINGDIGIT, D::IDC_DIALOFFICEDIGITS, D::IDC_CSTATRACE})
      checks[id] = d.IsChecked(id);
  }).Press(plat::IDCANCEL);
  EXPECT_EQ(RunGeneralSettingsDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_EQ(text[D::IDC_OFFICEDIGIT], "9");
  EXPECT_EQ(text[D::IDC_PRICE], "0.23");
  EXPECT_EQ(text[D::IDC_CURRENCY], "EUR");
  EXPECT_EQ(text[D::IDC_CURRENCYSHOWN], "EUR");
  EXPECT_EQ(text[D::IDC_LOGONTIMEOUT], "12");
  EXPECT_EQ(checks[D::IDC_DIALONHOOK], 1);
  EXPECT_EQ(checks[D::IDC_WARNTIMEDIFF], 0);
  EXPECT_EQ(checks[D::IDC_CUTOFFLEADINGDIGIT], 0);
  EXPECT_EQ(checks[D::IDC_DIALOFFICEDIGITS], 1);
  EXPECT_EQ(checks[D::IDC_CSTATRACE], 1);
  EXPECT_EQ(script.opened[0].caption, "Allgemeine Einstellungen");
}

TEST_F(GeneralSettings, OkStoresTheValuesAndAPriceWithAComma) {
  QTemporaryDir dir;
  std::string ini = dir.path().toStdString() + "/brimlow.ini";
  CGlobalConfig cfg;
  DialogScript script;
  script.When(172)
      .Set(D::IDC_OFFICEDIGIT, "7")
      .Set(D::IDC_PRICE, "0,15")
      .Set(D::IDC_CURRENCY, "\x80")
      .Set(D::IDC_LOGONTIMEOUT, "30")
      .Check(D::IDC_DIALONHOOK, 1)
      .Check(D::IDC_WARNTIMEDIFF, 0)
      .Check(D::IDC_CUTOFFLEADINGDIGIT, 0)
      .Check(D::IDC_DIALOFFICEDIGITS, 0)
      .Press(plat::IDOK);
  EXPECT_EQ(RunGeneralSettingsDlg(cfg, 0), plat::IDOK);
  EXPECT_TRUE(script.errors.empty());
  EXPECT_FLOAT_EQ(cfg.PPCU, 0.15f);
  EXPECT_EQ(cfg.OffnumDigit, '7');
  EXPECT_EQ(cfg.OFFNUM, "7");
  EXPECT_EQ(cfg.CAUN, "\x80");
  EXPECT_EQ(cfg.MCTO, 30);
  EXPECT_EQ(cfg.GDOH, 1);
  EXPECT_EQ(cfg.WOIPBXT, 0);
  EXPECT_EQ(cfg.CUTOFFLEADINGDIGIT, 0);
  EXPECT_EQ(cfg.DialOfficeDigits, 0);
  cfg.Save(ini);
  EXPECT_EQ(plat::GetProfileText("GLOBCONF", "PPCU", "", ini), "0.15");
  EXPECT_EQ(plat::GetProfileText("GLOBCONF", "MCTO", "", ini), "30");

  // An empty trunk digit keeps the old one; a point works as well.
  script.When(172).Set(D::IDC_OFFICEDIGIT, "").Set(D::IDC_PRICE, "1.5").Press(plat::IDOK);
  RunGeneralSettingsDlg(cfg, 0);
  EXPECT_EQ(cfg.OffnumDigit, '7');
  EXPECT_FLOAT_EQ(cfg.PPCU, 1.5f);
  EXPECT_DOUBLE_EQ(D::ParsePrice("0,12"), 0.12);
  EXPECT_DOUBLE_EQ(D::ParsePrice("12"), 12.0);
}

TEST_F(GeneralSettings, CancelStoresNothing) {
  CGlobalConfig cfg, before;
  DialogScript script;
  script.When(172).Set(D::IDC_PRICE, "9,99").Set(D::IDC_OFFICEDIGIT, "5").Check(D::IDC_CSTATRACE, 1).Press(plat::IDCANCEL);
  script.When(172).Set(D::IDC_PRICE, "9,99").Key(Qt::Key_Escape);
  EXPECT_EQ(RunGeneralSettingsDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_EQ(RunGeneralSettingsDlg(cfg, 0), plat::IDCANCEL);
  EXPECT_EQ(cfg.PPCU, before.PPCU);
  EXPECT_EQ(cfg.OffnumDigit, before.OffnumDigit);
  EXPECT_EQ(cfg.TOLECSTALOGDLL, 0);
  EXPECT_EQ(Opens() + Closes(), 0);
}

TEST_F(GeneralSettings, TraceSwitchOpensAndClosesTheWindowOnceEach) {
  CGlobalConfig cfg;
  DialogScript script;
  script.When(172).Check(D::IDC_CSTATRACE, 1).Press(plat::IDOK);
  script.When(172).Press(plat::IDOK);  // unchanged: nothing
  script.When(172).Check(D::IDC_CSTATRACE, 0).Press(plat::IDOK);
  RunGeneralSettingsDlg(cfg, 0);
  EXPECT_EQ(cfg.TOLECSTALOGDLL, 1);
  EXPECT_EQ(Opens(), 1);
  EXPECT_EQ(Closes(), 0);
  RunGeneralSettingsDlg(cfg, 0);
  EXPECT_EQ(Opens(), 1);
  RunGeneralSettingsDlg(cfg, 0);
  EXPECT_EQ(cfg.TOLECSTALOGDLL, 0);
  EXPECT_EQ(Opens(), 1);
  EXPECT_EQ(Closes(), 1);
}

TEST_F(GeneralSettings, ATimeoutThatIsNoNumberKeepsTheDialogOpen) {
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  CGlobalConfig cfg;
  DialogScript script;
  bool stillOpen = false;
  script.When(172)
      .Do([](plat::Dialog& d) { d.SetItemText(D::IDC_LOGONTIMEOUT, "x"); })
      .Press(plat::IDOK)
      .Do([&](plat::Dialog& d) { stillOpen = !d.Ended(); })
      .Set(D::IDC_LOGONTIMEOUT, "4")
      .Press(plat::IDOK);
  EXPECT_EQ(RunGeneralSettingsDlg(cfg, 0), plat::IDOK);
  plat::SetMessageBoxImpl(nullptr);
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(cfg.MCTO, 4);
}

TEST_F(GeneralSettings, CurrencyChoiceIsShownBesideThePriceAndTextsComeFromGroup20) {
  plat::SetTextSource([](int g, int e) -> const char* {
    if (g == 20 && e == 0) return "Allgemeines";
    if (g == 20 && e == 18) return "Preis je Einheit:";
    return nullptr;
  });
  CGlobalConfig cfg;
  DialogScript script;
  std::string shown, label, help;
  script.When(172).SelectText(D::IDC_CURRENCY, "CHF").Do([&](plat::Dialog& d) {
    shown = d.GetItemText(D::IDC_CURRENCYSHOWN);
    label = d.GetItemText(1228);
    help = plat::StrFormatC("%d", plat::dlg::GetHelpId(d.Id()));
  }).Press(plat::IDOK);
  RunGeneralSettingsDlg(cfg, 0);
  EXPECT_EQ(shown, "CHF");
  EXPECT_EQ(label, "Preis je Einheit:");
  EXPECT_EQ(help, "172");
  EXPECT_EQ(script.opened[0].caption, "Allgemeines");
  EXPECT_EQ(cfg.CAUN, "CHF");
}
