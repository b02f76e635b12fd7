// Whole conversations with the PBX through the filter and the call model,
// with the call windows behind a router that does what the view's hub does
// for them.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>

#include "app/callwin/assistantdlg.h"
#include "app/callwin/dialdlg.h"
#include "app/callwin/newrecordquestiondlg.h"
#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "scenario.h"
#include "scenario_rig.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

CCallInfo* CallOf(plat::LPARAM l) { return reinterpret_cast<CCallInfo*>(static_cast<std::intptr_t>(l)); }

// The hub's rows for the call windows.
struct WindowRouter {
  Scenario::Rig* rig = nullptr;
  CAssistantDlg assistant;
  CDialDlg keypad;
  std::unique_ptr<CNewRecordQuestionDlg> question;
  std::string asked;  // the number the question is about
  int questions = 0;

  void Attach(Scenario::Rig& r) {
    rig = &r;
    keypad.callHandler = &r.handler;
    r.view.route = [this](const plat::Message& m) { return Route(m); };
    keypad.Create(r.view.id);
  }
  void OpenAssistant() {
    if (!assistant.IsOpen()) assistant.Create(rig->view.id);
  }
  plat::LRESULT Route(const plat::Message& m) {
    const int origin = static_cast<int>(m.wParam);
    switch (m.msg) {
      case hub::kCallDialled:
      case hub::kCallActive:
        OpenAssistant();
        assistant.Notify(hub::kCallActive, 10, m.lParam);
        if (origin != hub::kIdKeypad) keypad.Notify(hub::kCallActive, 10, m.lParam);
        break;
      case hub::kCallCleared:
        if (origin == hub::kIdAssistant || origin == hub::kIdKeypad) {
          if (rig->handler.ClearCall(CallOf(m.lParam), origin) == CCallHandler::kCleared && origin == hub::kIdKeypad)
            assistant.Notify(hub::kCallCleared, 10, m.lParam);
        } else if (origin == hub::kIdCallHandler) {
          keypad.Notify(hub::kCallCleared, 10, m.lParam);
          assistant.Notify(hub::kCallCleared, 10, m.lParam);
        }
        break;
      case hub::kSecondCall:
        OpenAssistant();
        assistant.Notify(hub::kSecondCall, 10, m.lParam);
        break;
      case hub::kCallEvent:
        OpenAssistant();
        assistant.Notify(hub::kCallEvent, m.wParam, m.lParam);
        break;
      case hub::kAskNewRecord:
        if (!question && GlobalConfig().AWNNCI) {
          CCallInfo* c = rig->handler.GetCurrentCall(10);
          asked = c ? c->GetPartnerNumber() : std::string();
          question = std::make_unique<CNewRecordQuestionDlg>();
          question->Create(rig->view.id);
          ++questions;
        }
        break;
      case hub::kNewRecordAnswer:
        if (question) {
          if (m.lParam == 1) rig->handler.CreateRecordForCall(asked);
          question->Destroy();
          question.reset();
        }
        break;
      default:
        break;
    }
    return 0;
  }
};

class WindowScenario : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    CAssistantDlg::ResetDrag();
    scenario.prepare = [this](Scenario::Rig& r) { windows.Attach(r); };
  }
  Scenario scenario;
  WindowRouter windows;  // gone before the rig
};

TEST_F(WindowScenario, AKnownCallersNameShows) {
  EXPECT_EQ(scenario.Run(R"(
watch 21 2 main xref=1001
book 0301234567 "Muster GmbH" Meier
pbx delivered xref=1001 callid=100 device=21 alerting=21 calling=00301234567 called=21
settle
expect hub 1029 w=17 call=0301234567>21
pbx established xref=1001 callid=100 device=21 calling=00301234567 called=21
)"), "");
  ASSERT_TRUE(windows.assistant.IsOpen());
  EXPECT_EQ(windows.assistant.GetItemText(CAssistantDlg::IDC_CALLER), "Muster GmbH Meier");
  EXPECT_EQ(windows.assistant.CurrentIcon(), CAssistantDlg::kIconOutgoing);  // connected
  EXPECT_TRUE(windows.keypad.InCall());
  EXPECT_EQ(windows.questions, 0);

  // The user hangs up in the assistant.
  ASSERT_TRUE(windows.assistant.UserPress(CAssistantDlg::IDC_HANGUP));
  scenario.rig().Settle();
  EXPECT_EQ(scenario.rig().handler.GetCurrentCall(17), nullptr);
  EXPECT_EQ(windows.assistant.CurrentIcon(), CAssistantDlg::kIconIdle);
  EXPECT_FALSE(windows.keypad.InCall());
}

TEST_F(WindowScenario, AnUnknownExternalCallerOpensTheQuestion) {
  EXPECT_EQ(scenario.Run(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=101 device=21 alerting=21 calling=00407777 called=21
settle
)"), "");
  ASSERT_EQ(windows.questions, 1);
  ASSERT_TRUE(windows.question && windows.question->IsOpen());
  EXPECT_EQ(windows.assistant.GetItemText(CAssistantDlg::IDC_CALLER), "0407777");
  EXPECT_EQ(windows.asked, "0407777");
  ASSERT_TRUE(windows.question->UserPress(plat::IDOK));
  scenario.rig().Settle();
  EXPECT_EQ(windows.question, nullptr);
  auto holds = [this](const std::string& n) {
    for (const auto& r : scenario.rig().book.records)
      if (r->number == n) return true;
    return false;
  };
  EXPECT_TRUE(holds("0407777"));

  // Another one hangs up before the answer: the question goes with the call.
  EXPECT_EQ(scenario.Run(R"(
watch 21 2 main xref=1001
pbx delivered xref=1001 callid=102 device=21 alerting=21 calling=00408888 called=21
settle
pbx cleared xref=1001 callid=102 device=21
settle
)"), "");
  EXPECT_EQ(windows.questions, 2);
  EXPECT_EQ(windows.question, nullptr);
  EXPECT_FALSE(holds("0408888"));
}

}  // namespace
