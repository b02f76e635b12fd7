#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

#include "libs/dialogs/datetimefmt.h"
#include "libs/dialogs/kestrum.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "tests/platform/dialogkit/testapp.h"

using plat::DialogScript;

namespace {

// Central European time without the zone database.
void UseCet() {
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
  tzset();
}

std::time_t Local(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900; tm.tm_mon = mo - 1; tm.tm_mday = d;
  tm.tm_hour = h; tm.tm_min = mi; tm.tm_sec = s; tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::tm Now(int y, int mo, int d, int h, int mi, int s) {
  std::time_t t = Local(y, mo, d, h, mi, s);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

class Kestrum : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    UseCet();
    loop_.SetWallStart(Local(2025, 12, 8, 9, 30, 15));
    plat::SetEventLoop(&loop_);
  }
  void TearDown() override { plat::SetEventLoop(nullptr); }
  plat::ManualLoop loop_;
};

struct Sink : plat::IMessageTarget {
  std::vector<plat::Message> got;
  std::function<void()> onMessage;
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m);
    if (onMessage) onMessage();
    return 0;
  }
};

QDialog* Visible(int resource) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("dialog%1").arg(resource) && !w->isHidden())
      return qobject_cast<QDialog*>(w);
  return nullptr;
}

template <class T>
T* Child(QDialog* d, int id) {
  return d ? d->findChild<T*>(QString::number(id)) : nullptr;
}

DATETIMEPARAMS DateTimeBlock(std::uint32_t flags) {
  DATETIMEPARAMS p{};
  p.size = sizeof p;
  p.flags = flags;
  return p;
}

INPUTPARAMS InputBlock(char* buf, std::uint16_t size) {
  INPUTPARAMS p{};
  p.size = sizeof p;
  p.buffer = buf;
  p.bufferSize = size;
  return p;
}

PROGRESSPARAMS ProgressBlock(plat::WindowId parent, std::uint32_t flags) {
  PROGRESSPARAMS p{};
  p.size = sizeof p;
  p.parent = parent;
  p.flags = flags;
  p.message = 1400;
  p.buttonText = "Stopp";
  return p;
}

}  // namespace

TEST(KestrumQueries, FeaturesAndCountryData) {
  EXPECT_EQ(KESTRUMHasFeature(1, 0), 1);
  EXPECT_EQ(KESTRUMHasFeature(2, 9), 1);
  EXPECT_EQ(KESTRUMHasFeature(3, 0), 1);
  EXPECT_EQ(KESTRUMHasFeature(4, 1), 1);
  EXPECT_EQ(KESTRUMHasFeature(4, 2), 1);
  EXPECT_EQ(KESTRUMHasFeature(4, 3), 0);
  EXPECT_EQ(KESTRUMHasFeature(5, 1), 0);
  EXPECT_EQ(KESTRUMHasFeature(0, 1), 0);
  EXPECT_EQ(KESTRUMLoadCountrySpecificData(49, 0xDEADBEEF), 49);
}

TEST(KestrumExports, LibraryExportsExactlyItsFunctions) {
  std::string cmd = std::string("nm -D --defined-only ") + BRIMLOW_BINARY_DIR + "/bin/libkestrum.so";
  FILE* f = popen(cmd.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, f)) {
    char addr[64], type[8], name[256];
    if (std::sscanf(line, "%63s %7s %255s", addr, type, name) == 3) names.insert(name);
  }
  ASSERT_EQ(pclose(f), 0);
  EXPECT_EQ(names, (std::set<std::string>{"KESTRUMHasFeature", "KESTRUMLoadCountrySpecificData",
                                          "KESTRUMShowProgressTextDialogEx",
                                          "KESTRUMTimeAndDateDialog", "KESTRUMInputDialog"}));
}

TEST(KestrumTimeText, ShowsDayAndHourWithoutLeadingZero) {
  UseCet();
  std::time_t t = Local(2026, 3, 5, 9, 5, 7);
  EXPECT_EQ(kestrum::FormatTime(t, "%d.%m.%y"), "5.03.26");
  EXPECT_EQ(kestrum::FormatTime(t, "%H:%M:%S"), "9:05:07");
  EXPECT_EQ(kestrum::FormatTime(t, "%Y-%m-%d"), "2026-03-5");
  EXPECT_EQ(kestrum::FormatTime(t, "%m/%d/%Y %q 100%"), "03/5/2026 %q 100%");
  std::string longPattern(40, 'x');
  EXPECT_EQ(kestrum::FormatTime(t, longPattern.c_str()).size(), 31u);
  EXPECT_STREQ(kestrum::PatternOf("yyyy-mm-dd"), "%Y-%m-%d");
  EXPECT_EQ(kestrum::PatternOf("DD.MM.YY"), nullptr);
}

TEST(KestrumTimeText, TwoDigitAndOutOfRangeYears) {
  EXPECT_EQ(kestrum::MapYear(1, 2025), 2001);
  EXPECT_EQ(kestrum::MapYear(70, 2025), 2070);
  EXPECT_EQ(kestrum::MapYear(71, 2025), 1971);
  EXPECT_EQ(kestrum::MapYear(99, 2025), 1999);
  EXPECT_EQ(kestrum::MapYear(2037, 2025), 2037);
  EXPECT_EQ(kestrum::MapYear(1971, 2025), 1971);
  for (long y : {0L, 100L, 1970L, 2038L, -3L}) EXPECT_EQ(kestrum::MapYear(y, 2025), 2025) << y;
}

TEST(KestrumTimeText, DatesFollowTheFormatAndKeepMissingParts) {
  UseCet();
  std::tm now = Now(2025, 12, 8, 9, 30, 15);
  auto read = [&](const char* text, const char* fmt) {
    std::tm tm = now;
    kestrum::ReadDate(text, fmt, now, &tm);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
  };
  EXPECT_EQ(read("12/24/1999", "mm/dd/yyyy"), 19991224);
  EXPECT_EQ(read("24.12.70", "dd.mm.yy"), 20701224);
  EXPECT_EQ(read("24.12.71", "dd.mm.yyyy"), 19711224);
  EXPECT_EQ(read("24.12.2038", "dd.mm.yyyy"), 20251224);
  EXPECT_EQ(read("24.12.00", "dd.mm.yy"), 20251224);
  EXPECT_EQ(read("99-1-2", "yy-mm-dd"), 19990102);
  EXPECT_EQ(read("2001-02-03", "yyyy-mm-dd"), 20010203);
  EXPECT_EQ(read("17", "dd.mm.yy"), 20251217);     // only a day
  EXPECT_EQ(read("", "dd.mm.yy"), 20251208);
  EXPECT_EQ(read("1..3", "dd.mm.yyyy"), 20250301);  // empty parts do not count
  std::string longPart(60, '7');
  read(longPart.c_str(), "dd.mm.yy");  // cut, no overflow
  // Normalised by the local-time conversion: 32 December is 1 January.
  std::tm tm = now;
  kestrum::ReadDate("32.12.2025", "dd.mm.yyyy", now, &tm);
  kestrum::ReadTime("10:00:00", now, &tm);
  std::time_t t = kestrum::LocalToTime(tm);
  EXPECT_EQ(kestrum::FormatTime(t, "%d.%m.%Y %H:%M"), "1.01.2026 10:00");
}

TEST(KestrumTimeText, TimesKeepMissingPartsAndDaylightSavingIsTheLibrarysChoice) {
  UseCet();
  std::tm now = Now(2025, 12, 8, 9, 30, 15);
  std::tm tm = now;
  kestrum::ReadTime("14:45", now, &tm);
  EXPECT_EQ(tm.tm_hour, 14);
  EXPECT_EQ(tm.tm_min, 45);
  EXPECT_EQ(tm.tm_sec, 15);  // the current clock's seconds
  kestrum::ReadTime("8.5.9", now, &tm);
  EXPECT_EQ(tm.tm_hour * 10000 + tm.tm_min * 100 + tm.tm_sec, 80509);
  // A summer date read in winter: still 12:00 local, 10:00 UTC.
  std::tm summer = now;
  kestrum::ReadDate("1.7.2025", "dd.mm.yyyy", now, &summer);
  kestrum::ReadTime("12:00:00", now, &summer);
  summer.tm_isdst = 0;  // what the winter clock would suggest
  EXPECT_EQ(kestrum::LocalToTime(summer), 1751364000);
}

TEST_F(Kestrum, TimeAndDateShowsTheInitialTimeAndGivesItBack) {
  DialogScript script;
  std::string date, time, caption;
  bool dateBoxOn = true, timeBoxOn = false;
  script.When(112).Do([&](plat::Dialog& d) {
    date = d.GetItemText(1091);
    time = d.GetItemText(1092);
    caption = d.GetWindowText();
    dateBoxOn = d.IsItemEnabled(1094);
    timeBoxOn = d.IsItemEnabled(1096);
  }).Press(1);
  DATETIMEPARAMS p = DateTimeBlock(KESTRUM_DT_INTIME | KESTRUM_DT_OUTTIME | KESTRUM_DT_OUTTM |
                                   KESTRUM_DT_TIMEFORMATS);
  p.time = Local(2026, 3, 5, 9, 5, 7);
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 1);
  EXPECT_EQ(date, "5.03.2026");  // "dd.mm.yyyy" when none is named
  EXPECT_EQ(time, "9:05:07");
  EXPECT_EQ(caption, "Datum und Uhrzeit eingeben");
  EXPECT_FALSE(dateBoxOn);
  EXPECT_TRUE(timeBoxOn);
  EXPECT_EQ(p.resultTime, p.time);
  EXPECT_EQ(p.resultTm.year, 126);
  EXPECT_EQ(p.resultTm.mon, 2);
  EXPECT_EQ(p.resultTm.mday, 5);
  EXPECT_EQ(p.resultTm.hour, 9);
  EXPECT_EQ(p.resultTm.sec, 7);
}

TEST_F(Kestrum, TimeAndDateReadsTheNamedFormatsAndTheCalendarTime) {
  DialogScript script;
  std::string shown;
  script.When(112).Do([&](plat::Dialog& d) { shown = d.GetItemText(1091) + " " + d.GetItemText(1092); })
      .Set(1091, "12/24/1999").Set(1092, "18:30").Press(1);
  DATETIMEPARAMS p = DateTimeBlock(KESTRUM_DT_INTM | KESTRUM_DT_OUTTIME | KESTRUM_DT_DATEFORMAT |
                                   KESTRUM_DT_TIMEFORMAT);
  p.tm = {0, 15, 7, 2, 0, 101, 0, 0, 0};  // 2 January 2001 07:15:00
  p.dateFormat = "mm/dd/yyyy";
  p.timeFormat = "HH:MM";
  p.title = "Eincheckzeit";
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 1);
  EXPECT_EQ(shown, "01/2/2001 7:15");
  // Seconds the field does not give come from the clock (09:30:15).
  EXPECT_EQ(p.resultTime, Local(1999, 12, 24, 18, 30, 15));
  EXPECT_EQ(script.opened[0].caption, "Eincheckzeit");
  EXPECT_EQ(p.resultTm.year, 0);  // not asked for
}

TEST_F(Kestrum, TimeAndDateButtonsFillFromTheClockInTheChosenFormat) {
  DialogScript script;
  std::string afterToday, afterNow, afterPc;
  script.When(112)
      .SelectText(1094, "yy-mm-dd")
      .Press(1099)
      .Do([&](plat::Dialog& d) { afterToday = d.GetItemText(1091) + "|" + d.GetItemText(1092); })
      .Press(1098)
      .Do([&](plat::Dialog& d) { afterNow = d.GetItemText(1091) + "|" + d.GetItemText(1092); })
      .SelectText(1096, "HH:MM")
      .Do([&](plat::Dialog& d) { d.SetItemText(1091, ""); d.SetItemText(1092, ""); })
      .Press(1097)
      .Do([&](plat::Dialog& d) { afterPc = d.GetItemText(1091) + "|" + d.GetItemText(1092); })
      .Press(2);
  DATETIMEPARAMS p = DateTimeBlock(KESTRUM_DT_DATEFORMATS | KESTRUM_DT_TIMEFORMATS | KESTRUM_DT_OUTTIME);
  p.resultTime = 77;
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 0);
  EXPECT_TRUE(script.errors.empty()) << script.errors[0];
  EXPECT_EQ(afterToday, "25-12-8|");
  EXPECT_EQ(afterNow, "25-12-8|9:30:15");
  EXPECT_EQ(afterPc, "25-12-8|9:30");
  EXPECT_EQ(p.resultTime, 77);  // Cancel leaves the block alone
}

TEST_F(Kestrum, TimeAndDateOkWaitsForRequiredFields) {
  DialogScript script;
  script.When(112).Press(1);                                    // time empty: stays open
  script.When(112).Set(1092, "10:00").Press(1);                 // date empty: stays open
  script.When(112).Set(1092, "10:00").Set(1091, "3").Press(1);  // both there
  DATETIMEPARAMS p = DateTimeBlock(KESTRUM_DT_NEEDTIME | KESTRUM_DT_NEEDDATE | KESTRUM_DT_OUTTIME);
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 0);
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 0);
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 1);
  EXPECT_FALSE(script.opened[0].endedByScript);
  EXPECT_FALSE(script.opened[1].endedByScript);
  EXPECT_EQ(p.resultTime, Local(2025, 12, 3, 10, 0, 15));  // seconds from the clock
  // Without the flags empty fields take the clock's values.
  script.When(112).Press(1);
  DATETIMEPARAMS q = DateTimeBlock(KESTRUM_DT_OUTTIME);
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&q), 1);
  EXPECT_EQ(q.resultTime, Local(2025, 12, 8, 9, 30, 15));
}

TEST_F(Kestrum, TimeAndDateRefusesMissingOrWrongBlocks) {
  DialogScript script;
  EXPECT_EQ(KESTRUMTimeAndDateDialog(nullptr), 0);
  DATETIMEPARAMS p = DateTimeBlock(0);
  p.size = 102;  // the old packed size is not this block
  EXPECT_EQ(KESTRUMTimeAndDateDialog(&p), 0);
  EXPECT_TRUE(script.opened.empty());
}

TEST_F(Kestrum, TimeAndDateAnswersTheStatusReport) {
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  DialogScript script;
  script.When(112).Do([](plat::Dialog& d) {
    std::uint8_t rec[20] = {};
    rec[14] = 1;
    plat::SendMessage(d.Id(), 1579, 84, 1, rec, sizeof rec);
    rec[14] = 0;
    plat::SendMessage(d.Id(), 1579, 84, 1, rec, sizeof rec);
    plat::SendMessage(d.Id(), 1579, 85, 1, rec, sizeof rec);  // not a report
  }).Press(2);
  DATETIMEPARAMS p = DateTimeBlock(0);
  KESTRUMTimeAndDateDialog(&p);
  plat::SetMessageBoxImpl(nullptr);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[0].text, "OK");
  EXPECT_EQ(boxes.shown[1].text, "Error");
}

TEST_F(Kestrum, InputDialogCopiesBoundedAndReportsTheFullLength) {
  DialogScript script;
  script.When(131).Set(1207, "abcdefgh").Press(1);
  char buf[5] = {'x', 'x', 'x', 'x', 'x'};
  INPUTPARAMS p = InputBlock(buf, sizeof buf);
  EXPECT_EQ(KESTRUMInputDialog(&p, 1), 1);
  EXPECT_STREQ(buf, "abcd");
  EXPECT_EQ(p.length, 8);

  // Size 0: nothing is written, not even a terminating zero.
  script.When(131).Set(1207, "abc").Press(1);
  char guard[2] = {'G', 'H'};
  INPUTPARAMS z = InputBlock(guard + 1, 0);
  EXPECT_EQ(KESTRUMInputDialog(&z, 1), 1);
  EXPECT_EQ(guard[0], 'G');
  EXPECT_EQ(guard[1], 'H');
  EXPECT_EQ(z.length, 3);

  // No buffer at all.
  script.When(131).Set(1207, "abc").Press(1);
  INPUTPARAMS n = InputBlock(nullptr, 10);
  EXPECT_EQ(KESTRUMInputDialog(&n, 1), 1);
}

TEST_F(Kestrum, InputDialogTextsDefaultsAndCancel) {
  DialogScript script;
  std::string seen;
  script.When(130).Do([&](plat::Dialog& d) {
    seen = d.GetWindowText() + "|" + d.GetItemText(1) + "|" + d.GetItemText(2) + "|" +
           d.GetItemText(1002) + "|" + d.GetItemText(1207);
  }).Press(2);
  char buf[16] = "alt";
  INPUTPARAMS p = InputBlock(buf, sizeof buf);
  p.prompt = "Notiz zum Bericht:";
  p.defaultText = "vorher";
  p.length = 9;
  EXPECT_EQ(KESTRUMInputDialog(&p, 2), 0);
  EXPECT_EQ(seen, "Eingabe...|OK|Abbrechen|Notiz zum Bericht:|vorher");
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(p.length, 0);

  script.When(131).Do([&](plat::Dialog& d) {
    seen = d.GetWindowText() + "|" + d.GetItemText(1) + "|" + d.GetItemText(2);
  }).Key(Qt::Key_Escape);
  p.caption = "Titel";
  p.okText = "&Ja";
  p.cancelText = "&Nein";
  EXPECT_EQ(KESTRUMInputDialog(&p, 1), 0);
  EXPECT_EQ(seen, "Titel|&Ja|&Nein");

  // Several lines come back with CR LF.
  script.When(130).Set(1207, "eins\r\nzwei").Press(1);
  EXPECT_EQ(KESTRUMInputDialog(&p, 2), 1);
  EXPECT_STREQ(buf, "eins\r\nzwei");
  EXPECT_EQ(p.length, 10);
}

TEST_F(Kestrum, InputDialogRefusesMissingBlocksAndUnknownVariants) {
  DialogScript script;
  char buf[4];
  INPUTPARAMS p = InputBlock(buf, sizeof buf);
  EXPECT_EQ(KESTRUMInputDialog(nullptr, 1), 0);
  EXPECT_EQ(KESTRUMInputDialog(&p, 0), 0);
  EXPECT_EQ(KESTRUMInputDialog(&p, 3), 0);
  p.size = 38;
  EXPECT_EQ(KESTRUMInputDialog(&p, 1), 0);
  EXPECT_TRUE(script.opened.empty());
}

TEST_F(Kestrum, ProgressDialogLifecycleTextsAndParent) {
  Sink parent;
  plat::WindowId pid = plat::RegisterTarget(&parent);
  KESTRUMHANDLE h = 0;
  PROGRESSPARAMS p = ProgressBlock(pid, KESTRUM_PF_SHOWBUTTON | KESTRUM_PF_NOTIFY |
                                            KESTRUM_PF_DISABLEPARENT | KESTRUM_PF_SHOWICON);
  const char* const* texts = KESTRUMShowProgressTextDialogEx(&h, 1, nullptr, &p);
  ASSERT_NE(texts, nullptr);
  ASSERT_NE(h, 0u);
  QDialog* d = Visible(123);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Statusanzeige"));
  EXPECT_FALSE(plat::dlg::IsWindowEnabled(pid));
  auto* button = Child<QPushButton>(d, 2);
  EXPECT_FALSE(button->isHidden());
  EXPECT_EQ(button->text(), QStringLiteral("Stopp"));
  EXPECT_FALSE(Child<QLabel>(d, 1341)->isHidden());
  EXPECT_TRUE(Child<QProgressBar>(d, 1000)->isHidden());

  PROGRESSTEXTS all{"Auslesen", "Zeile 1", "Zeile 2", "Zeile 3"};
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&h, 3, &all, &p), texts);
  std::string longText(80, 'L');
  PROGRESSTEXTS one{nullptr, nullptr, longText.c_str(), nullptr};
  KESTRUMShowProgressTextDialogEx(&h, 4, &one, &p);
  EXPECT_STREQ(texts[0], "Auslesen");
  EXPECT_STREQ(texts[1], "Zeile 1");
  EXPECT_EQ(std::string(texts[2]), std::string(63, 'L'));
  EXPECT_STREQ(texts[3], "Zeile 3");
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Auslesen"));
  EXPECT_EQ(Child<QLabel>(d, 1227)->text(), QString(63, QLatin1Char('L')));
  EXPECT_EQ(Child<QLabel>(d, 1228)->text(), QStringLiteral("Zeile 3"));

  // Pressing the button reports, with 1 because the parent was disabled;
  // the dialog stays. The cancel key does the same.
  button->click();
  d->findChild<QLabel*>(QStringLiteral("1226"));
  ASSERT_EQ(parent.got.size(), 1u);
  EXPECT_EQ(parent.got[0].msg, 1400u);
  EXPECT_EQ(parent.got[0].wParam, 0u);
  EXPECT_EQ(parent.got[0].lParam, 1);
  EXPECT_FALSE(d->isHidden());
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(d, &esc);
  EXPECT_EQ(parent.got.size(), 2u);
  EXPECT_EQ(Visible(123), d);

  // Position, icon, button text and the other commands read the block passed.
  PROGRESSPARAMS q = ProgressBlock(pid, KESTRUM_PF_HIDEBUTTON);
  q.position = 42;
  KESTRUMShowProgressTextDialogEx(&h, 7, nullptr, &q);
  EXPECT_FALSE(Child<QProgressBar>(d, 1000)->isHidden());
  EXPECT_EQ(Child<QProgressBar>(d, 1000)->value(), 42);
  KESTRUMShowProgressTextDialogEx(&h, 9, nullptr, &q);
  EXPECT_TRUE(button->isHidden());
  q.flags = KESTRUM_PF_BUTTONTEXT;
  q.buttonText = "Weiter";
  KESTRUMShowProgressTextDialogEx(&h, 8, nullptr, &q);
  EXPECT_FALSE(button->isHidden());
  EXPECT_EQ(button->text(), QStringLiteral("Weiter"));
  q.buttonText = "Halt";
  KESTRUMShowProgressTextDialogEx(&h, 6, nullptr, &q);
  EXPECT_EQ(button->text(), QStringLiteral("Halt"));

  // Destroy: handle cleared, parent enabled and brought forward.
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&h, 2, nullptr, &p), nullptr);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(Visible(123), nullptr);
  EXPECT_TRUE(plat::dlg::IsWindowEnabled(pid));
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), pid);
  plat::UnregisterTarget(pid);
}

TEST_F(Kestrum, ProgressButtonNotifiesTheChosenWindow) {
  Sink parent, other;
  plat::WindowId pid = plat::RegisterTarget(&parent), oid = plat::RegisterTarget(&other);
  KESTRUMHANDLE h = 0;
  PROGRESSPARAMS p = ProgressBlock(pid, KESTRUM_PF_SHOWBUTTON | KESTRUM_PF_NOTIFY |
                                            KESTRUM_PF_NOTIFYWINDOW);
  p.notify = oid;
  KESTRUMShowProgressTextDialogEx(&h, 1, nullptr, &p);
  Child<QPushButton>(Visible(123), 2)->click();
  EXPECT_TRUE(parent.got.empty());
  ASSERT_EQ(other.got.size(), 1u);
  EXPECT_EQ(other.got[0].lParam, 0);  // the parent was not disabled
  // The notified window may close the dialog from inside the notification.
  other.onMessage = [&] { KESTRUMShowProgressTextDialogEx(&h, 2, nullptr, nullptr); };
  Child<QPushButton>(Visible(123), 2)->click();
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(Visible(123), nullptr);
  // Without flag 0x2 the button says nothing.
  PROGRESSPARAMS quiet = ProgressBlock(pid, KESTRUM_PF_SHOWBUTTON);
  KESTRUMShowProgressTextDialogEx(&h, 1, nullptr, &quiet);
  Child<QPushButton>(Visible(123), 2)->click();
  EXPECT_TRUE(parent.got.empty());
  KESTRUMShowProgressTextDialogEx(&h, 2, nullptr, nullptr);
  plat::UnregisterTarget(pid);
  plat::UnregisterTarget(oid);
}

TEST_F(Kestrum, ProgressRefusesNullHandlesAndBlocks) {
  KESTRUMHANDLE h = 0;
  PROGRESSTEXTS t{"x", nullptr, nullptr, nullptr};
  PROGRESSPARAMS p = ProgressBlock(0, 0);
  for (std::uint16_t c : {2, 3, 5, 6, 7, 9}) EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&h, c, &t, &p), nullptr);
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(nullptr, 1, &t, &p), nullptr);
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&h, 1, &t, nullptr), nullptr);
  p.size = 27;
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&h, 1, &t, &p), nullptr);
  EXPECT_EQ(h, 0u);
  KESTRUMHANDLE stale = 999;
  EXPECT_EQ(KESTRUMShowProgressTextDialogEx(&stale, 3, &t, &p), nullptr);
  // A live handle with a null block or null texts does nothing harmful.
  p.size = sizeof p;
  p.flags = 0;
  ASSERT_NE(KESTRUMShowProgressTextDialogEx(&h, 1, nullptr, &p), nullptr);
  EXPECT_NE(KESTRUMShowProgressTextDialogEx(&h, 3, nullptr, nullptr), nullptr);
  EXPECT_NE(KESTRUMShowProgressTextDialogEx(&h, 7, nullptr, nullptr), nullptr);
  EXPECT_TRUE(Child<QPushButton>(Visible(123), 2)->isHidden());
  KESTRUMShowProgressTextDialogEx(&h, 2, nullptr, nullptr);
}
