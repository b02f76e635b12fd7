// What the charge window tests share: the offscreen application and a
// manual loop, texts named by their id ("T37.29"), scripted boxes and file
// dialogs, a monitor table, and a charge and log handler on a charge file
// of its own, filled by read-outs as the PBX answers them.
#pragma once
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "charges/dialogs/chargereportdlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargewire.h"
#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/eventloop.h"
#include "platform/filedlg.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "tests/app/dialogs/calldata_fakes.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/testsupport.h"

namespace chargedlgtest {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

struct Call {
  std::uint32_t start;
  int duration, units;
  const char* calling;
  const char* called;
};

// The filter as the handler sees it: each request's kind and text, and a
// job lock that may be held by another job.
class RequestLog : public CPBXMessageSink {
 public:
  int ProcessMessage(const CSTAMessage* m) override {
    sent.push_back(plat::StrFormatC("%u %s", m->PrivateKind(), m->Text(11, 64).c_str()));
    return 1;
  }
  int TakeJob(std::uint32_t, int take) override { return take && busy ? 1 : 0; }
  int GetJobText(char* buffer, std::size_t size) override { return plat::FormatC(buffer, size, "%s", "Auftrag"); }
  std::vector<std::string> sent;
  bool busy = false;
};

class ChargeDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    tzBefore_ = std::getenv("TZ") ? std::getenv("TZ") : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    saved_ = GlobalConfig();
    GlobalConfig().SDFN = dir_.filePath("speeddial.ini").toStdString();
    GlobalConfig().CPROCON = 1;
    ::setenv("TMPDIR", dir_.path().toLocal8Bit().constData(), 1);
    plat::SetTextSource(&TestText);
    plat::SetMessageBoxImpl(&boxes);
    plat::SetFileDialogImpl(&files);
    boxes.defaultAnswer = plat::IDNO;
    table = std::make_unique<CMonitorTable>();
    for (const char* n : {"21", "22", "23", "25"}) {
      CMonitorEntry e;
      e.SetNumber(n);
      e.name = std::string("Name") + n;
      table->SetEntry(e);
    }
    handler = std::make_unique<CChargeAndLogHandler>(&config);
    handler->SetPartners(nullptr, nullptr, &requests, table.get());
    ASSERT_EQ(handler->OpenChargeFile(dir_.filePath("charproc.log").toStdString()), 1);
    jan = static_cast<std::uint32_t>(testsupport::LocalTime(2024, 1, 15, 12, 0, 0));
    // Every extension, and a period around the sample's calls.
    handler->SelectExtension("*", 1);
    handler->SetTimeRange(jan - 86400, jan + 30 * 86400);
  }
  void TearDown() override {
    loop.RunUntilIdle();
    handler.reset();
    table.reset();
    plat::SetFileDialogImpl(nullptr);
    plat::SetMessageBoxImpl(nullptr);
    plat::SetTextSource(nullptr);
    ::unsetenv("TMPDIR");
    GlobalConfig() = saved_;
    if (tzBefore_.empty()) ::unsetenv("TZ");
    else ::setenv("TZ", tzBefore_.c_str(), 1);
    ::tzset();
  }
  // Starts a read-out of every record and answers it as the PBX does.
  void StartReadOut() {
    ASSERT_EQ(handler->StartAllRecordsReadOut(), 1);
    handler->ProcessChargeMessage(chargewire::CountReply(17, "856"));
  }
  void Answer(const std::vector<Call>& calls) {
    handler->ProcessChargeMessage(chargewire::CountReply(1, std::to_string(calls.size())));
    for (std::size_t i = 0; i < calls.size(); ++i)
      handler->ProcessChargeMessage(chargewire::RecordReply(static_cast<long>(i), calls[i].start,
                                                            calls[i].duration, calls[i].units, calls[i].calling,
                                                            calls[i].called));
  }
  void ReadOut(const std::vector<Call>& calls) {
    StartReadOut();
    Answer(calls);
  }
  // Calls of the internal extensions 21, 22 and 23 and some that no
  // report of internal calls lists.
  std::vector<Call> Sample(int n) const {
    static const char* const kFrom[] = {"21", "22", "23", "0891234", "25"};
    std::vector<Call> out;
    for (int i = 0; i < n; ++i)
      out.push_back({jan + static_cast<std::uint32_t>(i) * 60, 30 + i, 1 + i % 4, kFrom[i % 5], "0301111"});
    return out;
  }
  std::vector<std::string> HandlerLines(int kind, int mode) {
    std::vector<std::string> out;
    for (std::string l = handler->GetFirstReportLine(kind, mode); !l.empty(); l = handler->GetNextReportLine(kind, mode))
      out.push_back(l);
    return out;
  }
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes.shown) out.push_back(b.text);
    return out;
  }

  QTemporaryDir dir_;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  plat::ScriptedFileDialog files;
  dialogtest::RecordingPrinter printer;
  RequestLog requests;
  CGlobalConfig config;
  CGlobalConfig saved_;
  std::unique_ptr<CMonitorTable> table;
  std::unique_ptr<CChargeAndLogHandler> handler;
  std::uint32_t jan = 0;
  std::string tzBefore_;
};

// Dialog 190, once it opens, prints the report for a receiver, plain or as
// an invoice; the loop then runs what the print posted.
inline void PrintReportWhenOpen(plat::DialogScript& script, bool invoice, plat::ManualLoop& loop) {
  script.When(CChargeReportDlg::kResourceId)
      .Do([invoice](plat::Dialog& d) {
        static_cast<CChargeReportDlg&>(d).SetReceiver("Firma Kunz\r\nHauptstr. 1\r\n");
        d.CheckButton(CChargeReportDlg::IDC_INVOICE, invoice ? 1 : 0);
      })
      .Press(CChargeReportDlg::IDC_PRINT)
      .Do([&loop](plat::Dialog&) { loop.RunUntilIdle(); });
}

}  // namespace chargedlgtest
