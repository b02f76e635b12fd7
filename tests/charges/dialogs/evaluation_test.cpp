// Dialog 201 on a real handler and charge file, and on a real service
// record file: every filter against the handler's own lines, the handler's
// switches back however the dialog closes, one refill a read-out, the
// saved files byte for byte and the printed streams command by command.
#include <QDialog>

#include <filesystem>

#include "charges/calldata/calldatareport.h"
#include "core/service/servicerecordfile.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/handler/chargerecord.h"
#include "chargedlg_support.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/printdlg.h"

using chargedlgtest::Call;
using plat::DialogScript;
using E = CCallEvaluationDlg;

namespace {

struct Switches {
  std::array<std::int32_t, 6> values;  // parameters 7, 8, 11, 9, 13, 12
  std::string pattern;
  bool operator==(const Switches&) const = default;
};
constexpr int kParams[6] = {7, 8, 11, 9, 13, 12};
constexpr int kControls[6] = {E::IDC_CALLED, E::IDC_CALLING, E::IDC_EXT_SWITCH,
                              E::IDC_TIME_SWITCH, E::IDC_UNITS_SWITCH, E::IDC_DURATION_SWITCH};

// Every switch of the dialog on and a number typed, whichever the filter
// takes.
void AllOn(plat::Dialog& d) {
  for (int c : kControls) d.CheckButton(c, 1);
  d.SetItemText(CCallEvaluationDlg::IDC_PATTERN, "0301111");
}

class Evaluation : public chargedlgtest::ChargeDlgTest {
 protected:
  void SetUp() override {
    ChargeDlgTest::SetUp();
    service = dir_.filePath("service.xxx").toStdString();
    records.SetFileName(service);
  }
  Switches Get() {
    Switches s;
    for (int i = 0; i < 6; ++i) s.values[i] = *static_cast<const std::int32_t*>(handler->GetParameter(kParams[i]));
    s.pattern = static_cast<const char*>(handler->GetParameter(1));
    return s;
  }
  void Set(const Switches& s) {
    for (int i = 0; i < 6; ++i) handler->SetParameter(kParams[i], &s.values[i]);
    handler->SetParameter(1, s.pattern.c_str());
  }
  static std::vector<std::string> Shown(plat::Dialog& d) {
    std::vector<std::string> out;
    const auto& lines = static_cast<E&>(d).Lines();
    for (std::size_t i = 0; i < lines.Count(); ++i) out.emplace_back(lines.Line(i));
    return out;
  }
  int Run(int source) {
    E dlg(source, handler.get(), &records, table.get(), &printer);
    return dlg.DoModal(0);
  }
  void WriteService(int n) {
    std::string text;
    for (int i = 0; i < n; ++i)
      text += plat::StrFormatC("%i\t15.01.24\t12:%02i:00\t00:00:%02i\t2%i\t0301111\t%i\r\n", i, i, 30 + i, i % 4, i);
    std::ofstream(service, std::ios::binary) << text;
  }
  // The handler's lines for a filter when the dialog's switches are all on
  // and its pattern is given: only the switches the filter takes are set.
  template <typename Fn>
  auto WithDialogSwitches(int filter, const std::string& pattern, Fn fn) {
    const Switches before = Get();
    const int taken = E::TakenColumns(filter);
    const std::int32_t on = 1;
    for (int c = 0; c < 6; ++c)
      if (taken & (1 << c)) handler->SetParameter(kParams[c], &on);
    if (taken & 0x40) handler->SetParameter(1, pattern.c_str());
    auto result = fn();
    Set(before);
    return result;
  }
  std::vector<std::string> Expected(int filter, const std::string& pattern, int kind) {
    return WithDialogSwitches(filter, pattern, [&] { return HandlerLines(kind, filter); });
  }
  std::string service;
  CServiceRecordFile records;
};

std::vector<Call> Mixed(std::uint32_t jan) {
  // Internal, external and incoming calls, short and long, cheap and dear.
  return {{jan, 20, 1, "21", "0301111"},       {jan + 60, 300, 6, "22", "0891234"},
          {jan + 120, 45, 2, "0891234", "21"}, {jan + 180, 600, 9, "23", "0301111"},
          {jan + 240, 10, 0, "03055555", "22"}, {jan + 300, 90, 3, "25", "21"},
          {jan + 360, 120, 4, "21", "0301112"}};
}

TEST_F(Evaluation, EveryFilterListsTheHandlersLines) {
  ReadOut(Mixed(jan));
  handler->SetMinUnits(0, "2");
  const std::uint16_t minDuration = 40;
  const std::int32_t md = minDuration;
  handler->SetParameter(6, &md);
  const Switches off{{0, 0, 0, 0, 0, 0}, "*"};
  for (int filter = 0; filter < E::kFilters; ++filter) {
    Set(off);
    const std::vector<std::string> want = Expected(filter, "0301111", 4);
    std::vector<std::string> got;
    std::string listed, read;
    DialogScript script;
    script.When(201)
        .Press(E::IDC_FILTER + filter)
        .Do(AllOn)
        .Press(E::IDC_REFRESH)
        .Do([&](plat::Dialog& d) {
          got = Shown(d);
          listed = d.GetItemText(E::IDC_LISTED);
          read = d.GetItemText(E::IDC_READ);
        })
        .Press(1);
    Run(E::kChargeFile);
    EXPECT_EQ(got, want) << filter;
    EXPECT_EQ(read, "T39.38 " + std::to_string(want.size())) << filter;
    EXPECT_EQ(listed, "T39.39 " + std::to_string(want.size())) << filter;
    EXPECT_EQ(Get(), off) << filter;
  }
  // The filters tell the calls apart: the table is not one filter seven times.
  EXPECT_NE(Expected(1, "*", 4).size(), Expected(0, "*", 4).size());
  EXPECT_TRUE(Expected(6, "*", 4).empty());
}

TEST_F(Evaluation, HandlersSwitchesComeBackHoweverItCloses) {
  ReadOut(Mixed(jan));
  const Switches before{{1, 0, 0, 1, 0, 0}, "08*"};
  struct Case {
    const char* name;
    std::function<void(plat::Dialog&)> close;
  } cases[] = {
      {"Beenden", [](plat::Dialog& d) { d.UserPress(1); }},
      {"Esc", [](plat::Dialog& d) { d.UserKey(Qt::Key_Escape); }},
      {"close box", [](plat::Dialog& d) { d.CloseBox(); }},
  };
  for (const Case& c : cases) {
    Set(before);
    Switches during;
    DialogScript script;
    script.When(201)
        .Press(E::IDC_FILTER + 4)
        .Do(AllOn)
        .Press(E::IDC_REFRESH)
        .Do([&](plat::Dialog& d) {
          during = Get();
          c.close(d);
        });
    Run(E::kChargeFile);
    EXPECT_EQ(during, (Switches{{1, 1, 1, 1, 1, 1}, "0301111"})) << c.name;
    EXPECT_EQ(Get(), before) << c.name;
  }
  // The modeless window destroyed by its owner.
  Set(before);
  {
    E dlg(E::kChargeFile, handler.get(), &records, table.get(), &printer);
    ASSERT_TRUE(dlg.Create(0));
    ASSERT_TRUE(dlg.UserPress(E::IDC_FILTER + 4));
    AllOn(dlg);
    ASSERT_TRUE(dlg.UserPress(E::IDC_REFRESH));
    EXPECT_NE(Get(), before);
  }
  EXPECT_EQ(Get(), before);
}

TEST_F(Evaluation, AReadOutRefillsTheListOnceAtItsEnd) {
  E dlg(E::kChargeFile, handler.get(), &records, table.get(), &printer);
  ASSERT_TRUE(dlg.Create(0));
  const int before = dlg.Fills();
  ASSERT_TRUE(dlg.UserPress(E::IDC_READ_OUT));
  handler->ProcessChargeMessage(chargewire::CountReply(17, "856"));
  Answer(Sample(40));  // a status and a progress at every record
  loop.RunUntilIdle();
  EXPECT_EQ(dlg.Fills(), before + 1);
  EXPECT_EQ(dlg.Lines().Count(), HandlerLines(4, 1).size());
  EXPECT_EQ(dlg.Lines().Count(), 40u);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Evaluation, NotificationsPostTheirBoxes) {
  struct Case {
    int code;
    std::string box;
  } cases[] = {{chargecode::kNoRecords, "T39.43"}, {chargecode::kFailed, "T39.42"}, {chargecode::kStatus, ""}};
  for (const Case& c : cases) {
    boxes.shown.clear();
    E dlg(E::kChargeFile, handler.get(), &records, table.get(), &printer);
    ASSERT_TRUE(dlg.Create(0));
    handler->NotifyListeners(c.code);
    EXPECT_TRUE(boxes.shown.empty()) << c.code;  // not inside the dispatch
    loop.RunUntilIdle();
    EXPECT_EQ(BoxTexts(), c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box}) << c.code;
  }
}

TEST_F(Evaluation, AFullListShowsOneBoxAndStops) {
  ReadOut(Sample(20));
  for (int source : {E::kChargeFile, E::kServiceFile}) {
    WriteService(20);
    boxes.shown.clear();
    E dlg(source, handler.get(), &records, table.get(), &printer);
    ASSERT_TRUE(dlg.Create(0));
    const std::size_t all = dlg.Lines().Count();
    ASSERT_EQ(all, 20u) << source;
    const std::size_t room = dlg.Lines().Line(0).size() * 3 + 1;
    dlg.LimitList(room);
    ASSERT_TRUE(dlg.UserPress(E::IDC_REFRESH));
    loop.RunUntilIdle();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T39.41"}) << source;
    EXPECT_GE(dlg.Lines().Count(), 2u) << source;
    EXPECT_LT(dlg.Lines().Count(), 5u) << source;
  }
}

TEST_F(Evaluation, SavedFilesHoldWhatTheFilterMatches) {
  ReadOut(Mixed(jan));
  struct Case {
    const char* file;
    int filter;
  } cases[] = {{"bericht.clh", 0}, {"bericht.CLH", 2}, {"alle.clh", 1}, {"bericht.CRP", 0}, {"nummer.CRP", 4}};
  for (const Case& c : cases) {
    const std::string path = dir_.filePath(c.file).toStdString();
    files.answers = {path};
    files.requests.clear();
    DialogScript script;
    script.When(201)
        .Press(E::IDC_FILTER + c.filter)
        .Do(AllOn)
        .Press(E::IDC_SAVE)
        .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
        .Press(1);
    Run(E::kChargeFile);
    ASSERT_EQ(files.requests.size(), 1u) << c.file;
    EXPECT_EQ(files.requests[0].fileName, "DEFAULT.CRP");
    EXPECT_EQ(files.requests[0].title, "T39.44");
    const std::string bytes = chargedlgtest::ReadBytes(path);
    const std::string name = c.file;
    if (name.substr(name.size() - 3) == "CRP") {
      std::string want;
      for (const std::string& l : Expected(c.filter, "0301111", 1)) want += l + "\r\n";
      EXPECT_EQ(bytes, want) << c.file;
      EXPECT_FALSE(want.empty()) << c.file;
      continue;
    }
    // The header, then the matches of that filter, in file order.
    const std::size_t n = Expected(c.filter, "0301111", 4).size();
    ASSERT_GT(n, 0u) << c.file;
    ASSERT_EQ(bytes.size(), ChargeFileHeader::kSize + n * ChargeRecord::kSize) << c.file;
    std::vector<std::string> got;
    for (std::size_t i = 0; i < n; ++i) {
      const ChargeRecord r = ChargeRecord::Parse(
          reinterpret_cast<const std::uint8_t*>(bytes.data()) + ChargeFileHeader::kSize + i * ChargeRecord::kSize);
      got.push_back(std::string(r.Calling()) + ">" + std::string(r.Called()));
    }
    const std::vector<std::string> want = WithDialogSwitches(c.filter, "0301111", [&] {
      // The charge file's records as stored, matched one by one.
      const std::string file = chargedlgtest::ReadBytes(dir_.filePath("charproc.log").toStdString());
      std::vector<std::string> out;
      for (std::size_t at = ChargeFileHeader::kSize; at + ChargeRecord::kSize <= file.size(); at += ChargeRecord::kSize) {
        const ChargeRecord r = ChargeRecord::Parse(reinterpret_cast<const std::uint8_t*>(file.data()) + at);
        if (handler->MatchesSelection(r, c.filter)) out.push_back(std::string(r.Calling()) + ">" + std::string(r.Called()));
      }
      return out;
    });
    EXPECT_EQ(got, want) << c.file;
  }
}

TEST_F(Evaluation, ASaveThatCannotBeDoneSaysSo) {
  ReadOut(Mixed(jan));
  struct Case {
    const char* name;
    std::string path;
    bool closeFiles;
  } cases[] = {
      {"no selection file to copy", dir_.filePath("kopie.clh").toStdString(), true},
      {"no such folder", dir_.filePath("fehlt/bericht.CRP").toStdString(), false},
  };
  for (const Case& c : cases) {
    if (c.closeFiles) handler->CloseFiles();
    boxes.shown.clear();
    files.answers = {c.path};
    DialogScript script;
    script.When(201).Press(E::IDC_SAVE).Do([&](plat::Dialog&) { loop.RunUntilIdle(); }).Press(1);
    Run(E::kChargeFile);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T39.47"}) << c.name;
    EXPECT_FALSE(std::filesystem::exists(c.path)) << c.name;
    if (c.closeFiles) ASSERT_EQ(handler->OpenChargeFile(dir_.filePath("charproc.log").toStdString()), 1);
  }
}

TEST_F(Evaluation, PbxListSavesAndLoadsAsPle) {
  WriteService(6);
  const std::string copy = dir_.filePath("liste.PLE").toStdString();
  const std::string other = dir_.filePath("andere.PLE").toStdString();
  std::ofstream(other, std::ios::binary) << "7\t16.01.24\t09:00:00\t00:01:00\t22\t0899\t3\r\n";
  files.answers = {copy, other};
  std::vector<std::string> before, after;
  DialogScript script;
  script.When(201)
      .Do([&](plat::Dialog& d) { before = Shown(d); })
      .Press(E::IDC_SAVE)
      .Do([&](plat::Dialog&) { loop.RunUntilIdle(); })
      .Press(E::IDC_LOAD)
      .Do([&](plat::Dialog& d) {
        loop.RunUntilIdle();
        after = Shown(d);
      })
      .Press(1);
  Run(E::kServiceFile);
  ASSERT_EQ(before.size(), 6u);
  EXPECT_EQ(chargedlgtest::ReadBytes(copy), chargedlgtest::ReadBytes(service));
  ASSERT_EQ(files.requests.size(), 2u);
  for (const auto& r : files.requests) {
    EXPECT_EQ(r.fileName, "DEFAULT.PLE");
    ASSERT_EQ(r.filters.size(), 1u);
    EXPECT_EQ(r.filters[0].second, "*.PLE");
  }
  EXPECT_EQ(after, std::vector<std::string>{"7\t16.01.24\t09:00:00\t00:01:00\t22\t0899\t3"});
}

std::vector<std::string> Head() {
  return {"create Report.log 4 2", "config 3", "seq 3 1 0 5 Report.log",
          "latex 3 \\documentstyle[10pt,german,dina4]{article}", "latex 3 \\rm", "latex 3 \\oddsidemargin{}",
          "latex 3 \\columnsep{4 mm}", "latex 3 \\textwidth{180 mm}", "latex 3 \\textheight{270 mm}"};
}

TEST_F(Evaluation, PrintedStreamOfBothSources) {
  ReadOut(Sample(12));
  WriteService(7);
  // Charge file, filter 1: every record.
  const std::vector<std::string> rows = Expected(1, "*", 1);
  ASSERT_EQ(rows.size(), 12u);
  std::vector<std::string> w = Head();
  for (std::string s : {"seq 3 9 23 5 " + handler->GetSummaryText(1, 2), std::string("latex 3 \\rm{14pt}"),
                        std::string("latex 3 \\bf"), "seq 3 12 22 5 " + handler->GetSummaryText(1, 2),
                        std::string("latex 3 \\rm"), std::string("latex 3 \\vspace{4mm}"),
                        "seq 3 12 22 5 " + handler->GetSummaryText(2, 2)})
    w.push_back(s);
  const std::int32_t all = 1;
  const int modeBefore = handler->FilterMode();
  handler->SetParameter(15, &all);
  w.push_back("seq 3 12 22 5 " + handler->GetSummaryText(3, 2));
  w.push_back("seq 3 12 22 5 " + handler->GetSummaryText(7, 2));
  handler->SetParameter(15, &modeBefore);
  w.push_back("latex 3 \\vspace{4mm}");
  w.push_back("seq 3 6 19 5 r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},l{0099000011112222},r{999.99 DM}");
  w.push_back("seq 3 8 21 5 Datum\tZeit\tDauer\tAnrufer\tGerufener\tPreis");
  w.push_back("seq 3 33 0 0");
  for (std::size_t i = 0; i < rows.size(); ++i) {
    w.push_back("seq 3 32 22 5 " + rows[i]);
    if ((i + 1) % 5 == 0) w.push_back("seq 3 33 0 0");
  }
  HandlerLines(1, 1);  // the total is that of the pass
  for (const char* s : {"seq 3 33 0 0", "seq 3 33 0 0", "latex 3 \\vspace{4mm}", "latex 3 \\bf"}) w.push_back(s);
  w.push_back("seq 3 12 22 5 " + handler->GetSummaryText(6, 2));
  for (const char* s : {"seq 3 7 0 0", "seq 3 2 0 0", "release 3"}) w.push_back(s);

  // The PBX's list: its lines as they stand.
  std::vector<std::string> w0 = Head();
  for (const char* s : {"seq 3 9 23 5 T39.2", "latex 3 \\rm{14pt}", "latex 3 \\bf", "seq 3 12 22 5 T39.1",
                        "latex 3 \\rm", "latex 3 \\vspace{4mm}", "latex 3 \\vspace{4mm}",
                        "seq 3 6 19 5 r{1444},r{31.12.99},r{23:59:00},r{88:88:88},l{0099000011112222},"
                        "l{0099000011112222},r{999}",
                        "seq 3 8 21 5 Index\tDatum\tZeit\tDauer\tAnrufer\tGerufener\tEinheiten", "seq 3 33 0 0"})
    w0.push_back(s);
  for (int i = 0; i < 7; ++i) {
    w0.push_back(plat::StrFormatC("seq 3 32 22 5 %i\t15.01.24\t12:%02i:00\t00:00:%02i\t2%i\t0301111\t%i", i, i, 30 + i,
                                  i % 4, i));
    if ((i + 1) % 5 == 0) w0.push_back("seq 3 33 0 0");
  }
  for (const char* s : {"seq 3 7 0 0", "seq 3 2 0 0", "release 3"}) w0.push_back(s);

  struct Case {
    int source;
    const std::vector<std::string>& want;
  } cases[] = {{E::kChargeFile, w}, {E::kServiceFile, w0}};
  for (const Case& c : cases) {
    printer.calls.clear();
    DialogScript script;
    script.When(201).Press(E::IDC_PRINT).Do([&](plat::Dialog&) { loop.RunUntilIdle(); }).Press(1);
    Run(c.source);
    EXPECT_EQ(printer.calls, c.want) << c.source;
  }
  EXPECT_EQ(handler->FilterMode(), modeBefore);
}

TEST_F(Evaluation, OnPaperHeadingRowsAndTotal) {
  if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "no pdftotext";
  ReadOut(Sample(7));
  plat::ScriptedPrintDialog dialog;
  plat::SetPrintDialogImpl(&dialog);
  const std::string pdf = dir_.filePath("report.pdf").toStdString();
  dialog.QueuePdf(pdf);
  CMarpelReportPrinter library;
  {
    DialogScript script;
    script.When(201).Press(E::IDC_PRINT).Do([&](plat::Dialog&) { loop.RunUntilIdle(); }).Press(1);
    E dlg(E::kChargeFile, handler.get(), &records, table.get(), &library);
    dlg.DoModal(0);
  }
  plat::SetPrintDialogImpl(nullptr);
  const std::string txt = dir_.filePath("report.txt").toStdString();
  ASSERT_EQ(std::system(("pdftotext -layout " + pdf + " " + txt).c_str()), 0);
  const std::string text = chargedlgtest::ReadBytes(txt);
  HandlerLines(1, 1);
  const std::string total = handler->GetSummaryText(6, 2);
  const std::string title = handler->GetSummaryText(1, 2);
  EXPECT_NE(text.find(title.substr(0, title.find('\t'))), std::string::npos) << text;
  for (const char* head : {"Datum", "Anrufer", "Gerufener", "Preis"}) EXPECT_NE(text.find(head), std::string::npos) << head;
  ASSERT_GT(total.size(), 4u);
  EXPECT_NE(text.find(total.substr(total.rfind(' ', total.size() - 4) + 1)), std::string::npos) << total << "\n" << text;
  // One row a call.
  int rows = 0;
  for (std::size_t at = text.find("15.01.24"); at != std::string::npos; at = text.find("15.01.24", at + 1)) ++rows;
  EXPECT_EQ(rows, 7) << text;
}

}  // namespace
