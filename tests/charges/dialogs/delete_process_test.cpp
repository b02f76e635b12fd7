// "Löschen" of dialog 190 in the program against the pbxsim program as a
// process of its own: the PBX confirms, refuses or does not answer the
// deletion of its call records, and the charge file is offered for
// emptying only after a confirmation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "charges/dialogs/chargereportdlg.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/view/ptyfixture.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

using R = CChargeReportDlg;

class DeleteAgainstThePbx : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    testapp::App();
    NewStreamingRig();
    WriteMonTab("21", {"21"});
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    c.CPROCON = 1;
    ASSERT_TRUE(StartSimProcess()) << proc->Output();
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
    ASSERT_TRUE(LinkUp()) << proc->Output();
  }
  CChargeAndLogHandler& H() { return r->view->Charges(); }
  // Everything the PBX holds read into the charge file; the number read.
  int ReadAll() {
    if (H().StartAllRecordsReadOut() != 1) return -1;
    if (!Pump([&] { return H().Job() == CChargeAndLogHandler::kJobNone; })) return -1;
    return H().ReadOutIndex();
  }
  std::uintmax_t FileSize() { return std::filesystem::file_size(GlobalConfig().CPROCFN); }
  bool Shown(const std::string& text) const {
    for (const auto& b : r->boxes.shown)
      if (b.text == text) return true;
    return false;
  }
};

TEST_F(DeleteAgainstThePbx, TheFileIsOfferedForEmptyingOnlyAfterThePbxConfirmed) {
  proc->Command("charges 20");
  ASSERT_TRUE(proc->Sync());
  ASSERT_EQ(ReadAll(), 20);
  ASSERT_EQ(FileSize(), 256u + 20u * 48u);

  struct Case {
    const char* name;
    const char* setup;  // pbxsim commands before the press
    const char* reset;
    std::string box;    // what the user is told after the answer
    std::uintmax_t size;
    int left;           // call records the PBX holds afterwards
  } cases[] = {
      {"refused", "chargefail 14 12", "chargefail -1", "T37.31\r\nT37.40", 256u + 20u * 48u, 20},
      {"unanswered", "chargesilent 14", "chargesilent -1", "T37.38\r\nT37.40", 256u + 20u * 48u, 20},
      {"confirmed", "", "", "T37.29\r\nT37.30", 256u, 0},
  };
  for (const Case& c : cases) {
    r->boxes.shown.clear();
    if (*c.setup) proc->Command(c.setup);
    ASSERT_TRUE(proc->Sync()) << c.name;
    // Yes to the deletion, and yes to emptying the file whenever asked.
    r->boxes.QueueAnswer(plat::IDYES);
    r->boxes.QueueAnswer(plat::IDYES);
    bool waited = false, answered = false;
    plat::DialogScript script;
    script.When(R::kResourceId).Press(R::IDC_DELETE).Do([&](plat::Dialog& d) {
      // Without an answer the dialog waits (a confirmation may come at once).
      if (std::string(c.name) == "unanswered") waited = Pump([&] { return static_cast<R&>(d).Deleting(); });
      answered = Pump([&] { return !static_cast<R&>(d).Deleting() && Shown(c.box); });
    });
    RunChargeReportDlg(&H(), &r->doc->MonitorTable(), nullptr, r->view->Id());
    r->loop.RunUntilIdle();
    std::string seen;
    for (const auto& b : r->boxes.shown) seen += "[" + b.text + "] ";
    EXPECT_EQ(waited, std::string(c.name) == "unanswered") << c.name;
    ASSERT_TRUE(answered) << c.name << ": " << seen;
    EXPECT_EQ(r->boxes.shown.front().text, "T37.33") << c.name;
    // The question to empty the file only after a confirmation.
    EXPECT_EQ(Shown("T37.29\r\nT37.30"), c.left == 0) << c.name << ": " << seen;
    EXPECT_EQ(FileSize(), c.size) << c.name;
    EXPECT_EQ(H().Job(), CChargeAndLogHandler::kJobNone) << c.name;
    EXPECT_EQ(r->doc->Filter().JobState(), jobstate::kFree) << c.name;
    if (*c.reset) proc->Command(c.reset);
    ASSERT_TRUE(proc->Sync()) << c.name;
    // What the PBX still holds, read again: nothing is stored twice.
    EXPECT_EQ(ReadAll(), c.left) << c.name;
    EXPECT_EQ(FileSize(), c.size) << c.name;
  }
}

}  // namespace
