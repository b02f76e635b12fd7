// The keypad alone: typing, dialling through the real call handler, the
// list of dialled numbers, hang-up through the hub and the phone book
// picker.
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <functional>
#include <memory>

#include "app/callwin/dialdlg.h"
#include "app/callwin/newrecordquestiondlg.h"
#include "callwin_support.h"
#include "core/wire/csta_message.h"
#include "phonebook/iface/picker.h"
#include "platform/dialogkit/dlgsupport.h"

using callwintest::CallWinTest;
using callwintest::CoreRig;
using K = CDialDlg;

namespace {

class Keypad : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    rig = callwintest::WatchingRig();
    // The hub as the view runs it for the keypad: notices back, hang-up
    // through the call handler.
    rig->hub.then = [this](const plat::Message& m) -> plat::LRESULT {
      auto* call = reinterpret_cast<CCallInfo*>(static_cast<std::intptr_t>(m.lParam));
      if (m.msg == hub::kCallDialled && m.wParam == 17) pad->Notify(hub::kCallActive, 10, m.lParam);
      if (m.msg == hub::kCallCleared && m.wParam == 17) pad->Notify(hub::kCallCleared, 10, m.lParam);
      if (m.msg == hub::kCallCleared && m.wParam == 12 && call) rig->handler.ClearCall(call, 12);
      return 0;
    };
    pad = std::make_unique<K>();
    pad->callHandler = &rig->handler;
    ASSERT_TRUE(pad->Create(rig->hub.id));
  }
  void TearDown() override {
    SetPhoneBookPicker(nullptr);
    pad.reset();
    rig.reset();
    CallWinTest::TearDown();
  }
  void Type(const std::string& digits) {
    for (char c : digits) {
      int id = c == '0' ? K::IDC_KEY0 : c == '*' ? K::IDC_STAR : c == '#' ? K::IDC_HASH : K::IDC_KEY1 + (c - '1');
      ASSERT_TRUE(pad->UserPress(id)) << c;
    }
  }
  void DialNow() {
    ASSERT_TRUE(pad->UserPress(K::IDC_DIAL));
    loop.RunUntilIdle();
  }
  std::unique_ptr<CoreRig> rig;
  std::unique_ptr<K> pad;
};

TEST_F(Keypad, DialsWhatWasTypedAndHangsUpItsOwnCall) {
  EXPECT_FALSE(pad->IsItemEnabled(K::IDC_HANGUP));
  Type("22");
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "22");
  DialNow();
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_MAKE_CALL});
  EXPECT_EQ(rig->link.sent[0].record.Text(74, 64), "22");
  CCallInfo* call = rig->handler.GetCurrentCall(17);
  ASSERT_NE(call, nullptr);
  EXPECT_EQ(call->external, 0);  // an internal number is not charged
  EXPECT_EQ(call->generatorId, K::kOrigin);
  EXPECT_TRUE(pad->InCall());
  EXPECT_EQ(pad->CallRef(), call->callRefId);
  EXPECT_FALSE(pad->IsItemEnabled(K::IDC_NUMBER));
  EXPECT_FALSE(pad->IsItemEnabled(K::IDC_DIAL));
  EXPECT_TRUE(pad->IsItemEnabled(K::IDC_HANGUP));
  EXPECT_EQ(pad->GetCount(K::IDC_DIALLED), 1);

  // Digits typed during a call are ignored.
  Type("5");
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "22");

  rig->hub.got.clear();
  ASSERT_TRUE(pad->UserPress(K::IDC_HANGUP));
  ASSERT_FALSE(rig->hub.got.empty());
  EXPECT_EQ(rig->hub.got[0].code, hub::kCallCleared);
  EXPECT_EQ(rig->hub.got[0].w, 12u);
  EXPECT_EQ(rig->hub.got[0].ref, call->callRefId);
  EXPECT_FALSE(pad->InCall());
  EXPECT_FALSE(pad->IsItemEnabled(K::IDC_HANGUP));
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "");  // dialled here: emptied
  EXPECT_EQ(rig->handler.GetCurrentCall(17), nullptr);
}

TEST_F(Keypad, HangUpWhileIdleSendsNothing) {
  pad->EnableItem(K::IDC_HANGUP, true);  // even if it were offered
  pad->UserPress(K::IDC_HANGUP);
  EXPECT_TRUE(rig->hub.got.empty());
}

TEST_F(Keypad, OneListLineANumberNewestFirstAndExternalNumbersCharged) {
  for (const char* n : {"22", "0301234", "22"}) {
    pad->SetItemText(K::IDC_NUMBER, n);
    DialNow();
    CCallInfo* call = rig->handler.GetCurrentCall(17);
    ASSERT_NE(call, nullptr) << n;
    EXPECT_EQ(call->external, std::string(n) == "22" ? 0 : 1) << n;
    rig->handler.ClearCall(call, 17);
    EXPECT_FALSE(pad->InCall());
  }
  ASSERT_EQ(pad->GetCount(K::IDC_DIALLED), 2);
  EXPECT_EQ(pad->GetLBText(K::IDC_DIALLED, 0), "0301234");
  EXPECT_EQ(pad->GetLBText(K::IDC_DIALLED, 1), "22");
  // A line of the list becomes the number.
  ASSERT_TRUE(pad->UserSelect(K::IDC_DIALLED, 1));
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "22");
}

TEST_F(Keypad, RefusedDialsAndCancelledPromptsKeepThePoolFlat) {
  GlobalConfig().GDOH = 0;
  rig->table.MainPhoneEntry()->connectionState = 1;  // the handset must be lifted
  pad->SetItemText(K::IDC_NUMBER, "22");
  rig->prompt.answers = {plat::IDCANCEL};
  DialNow();
  EXPECT_EQ(rig->prompt.shown, 1);
  EXPECT_EQ(rig->handler.PoolSize(), 0u);
  EXPECT_FALSE(pad->InCall());
  EXPECT_EQ(pad->GetCount(K::IDC_DIALLED), 0);

  GlobalConfig().GDOH = 1;
  rig->link.refuse = true;
  DialNow();
  rig->handler.PurgeReleasedCalls();
  const std::size_t pool = rig->handler.PoolSize();
  for (int i = 0; i < 4; ++i) DialNow();
  rig->handler.PurgeReleasedCalls();
  EXPECT_EQ(rig->handler.PoolSize(), pool);
  EXPECT_LE(pool, 1u);  // at most the record kept for redial
  EXPECT_FALSE(pad->InCall());
  EXPECT_TRUE(pad->IsItemEnabled(K::IDC_DIAL));
  EXPECT_FALSE(pad->IsItemEnabled(K::IDC_HANGUP));
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "22");
  EXPECT_EQ(pad->GetCount(K::IDC_DIALLED), 0);
}

TEST_F(Keypad, TheNumberIsClearedOnlyAfterItsOwnCall) {
  pad->SetItemText(K::IDC_NUMBER, "0301");
  CCallInfo* elsewhere = rig->handler.GetFreeCall(11);
  elsewhere->calledNumber = "23";
  ASSERT_EQ(rig->handler.MakeCall(elsewhere, 11), 1);  // the assistant dialled
  EXPECT_TRUE(pad->InCall());
  EXPECT_EQ(pad->CallGenerator(), 11);
  rig->handler.ClearCall(elsewhere, 17);
  EXPECT_FALSE(pad->InCall());
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "0301");

  DialNow();
  CCallInfo* own = rig->handler.GetCurrentCall(17);
  ASSERT_NE(own, nullptr);
  rig->handler.ClearCall(own, 17);
  EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), "");

  // The keypad names its call by reference: a record gone from the pool
  // is never touched, hanging up only goes idle.
  {
    CCallInfo gone;
    gone.callRefId = 9999;
    gone.generatorId = 12;
    pad->Notify(hub::kCallActive, 10, L(&gone));
  }
  EXPECT_TRUE(pad->InCall());
  rig->hub.got.clear();
  pad->UserPress(K::IDC_HANGUP);
  EXPECT_TRUE(rig->hub.got.empty());
  EXPECT_FALSE(pad->InCall());
}

// While the keypad's call goes on, the end of another call (a held one the
// call handler clears, an end notice naming no call) leaves it in the call
// with "Halt" to hang up; only the end of its own call makes it idle.
TEST_F(Keypad, OnlyTheEndOfItsOwnCallMakesItIdle) {
  struct Case {
    const char* name;
    std::function<void(CCallInfo* own)> end;
    bool stillInCall;
  } cases[] = {
      {"a held call ends",
       [this](CCallInfo*) {
         CCallInfo* held = rig->handler.GetFreeCall(17);
         held->calledNumber = "23";
         held->state = CCallInfo::kHeld;
         ASSERT_EQ(rig->handler.ClearCall(held, 17), CCallHandler::kCleared);
       },
       true},
      {"an end naming no call", [this](CCallInfo*) { pad->Notify(hub::kCallCleared, 10, 0); }, true},
      {"its own call ends", [this](CCallInfo* own) { rig->handler.ClearCall(own, 17); }, false},
  };
  for (const Case& c : cases) {
    pad->SetItemText(K::IDC_NUMBER, "0301");
    DialNow();
    CCallInfo* own = rig->handler.GetCurrentCall(17);
    ASSERT_NE(own, nullptr) << c.name;
    ASSERT_TRUE(pad->InCall()) << c.name;
    c.end(own);
    EXPECT_EQ(pad->InCall(), c.stillInCall) << c.name;
    EXPECT_EQ(pad->IsItemEnabled(K::IDC_HANGUP), c.stillInCall) << c.name;
    EXPECT_EQ(pad->IsItemEnabled(K::IDC_DIAL), !c.stillInCall) << c.name;
    EXPECT_EQ(pad->GetItemText(K::IDC_NUMBER), c.stillInCall ? "0301" : "") << c.name;
    if (!c.stillInCall) continue;
    // "Halt" still hangs up the keypad's own call.
    const int ref = own->callRefId;
    rig->hub.got.clear();
    ASSERT_TRUE(pad->UserPress(K::IDC_HANGUP)) << c.name;
    ASSERT_FALSE(rig->hub.got.empty()) << c.name;
    EXPECT_EQ(rig->hub.got[0].code, hub::kCallCleared) << c.name;
    EXPECT_EQ(rig->hub.got[0].w, 12u) << c.name;
    EXPECT_EQ(rig->hub.got[0].ref, ref) << c.name;
    EXPECT_FALSE(pad->InCall()) << c.name;
    EXPECT_EQ(rig->handler.GetCurrentCall(17), nullptr) << c.name;
  }
}

TEST_F(Keypad, ThePickerDialsThePickedRecordsNumber) {
  pad->UserPress(K::IDC_PICK);
  loop.RunUntilIdle();
  EXPECT_EQ(callwintest::LogLines(), std::vector<std::string>{"T14.21"});
  EXPECT_TRUE(rig->link.sent.empty());

  ScriptedPhoneBookPicker picker;
  SetPhoneBookPicker(&picker);
  pad->UserPress(K::IDC_PICK);  // cancelled
  loop.RunUntilIdle();
  EXPECT_EQ(picker.asked, 1);
  EXPECT_TRUE(rig->link.sent.empty());
  PickedRecord r;
  r.company = "Muster GmbH";
  r.name = "Meier";
  r.title = "Herr";
  r.number = "0301234567";
  picker.answers.push_back(r);
  pad->UserPress(K::IDC_PICK);
  loop.RunUntilIdle();
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_MAKE_CALL});
  EXPECT_EQ(pad->GetLBText(K::IDC_DIALLED, 0), "0301234567");
  EXPECT_TRUE(pad->InCall());
}

TEST_F(Keypad, CloseHidesBringToFrontShowsAndDestroyIsTold) {
  int told = 0;
  pad->SetClosedNotice([&] { ++told; });
  pad->CloseBox();
  EXPECT_TRUE(pad->IsCreated());
  EXPECT_FALSE(pad->Window()->isVisible());
  pad->Notify(hub::kBringToFront, 10, 0);
  EXPECT_TRUE(pad->Window()->isVisible());
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), pad->Id());
  pad->Window()->move(40, 30);
  pad->Destroy();
  EXPECT_EQ(told, 1);
  int l, t, r, b;
  ASSERT_EQ(GlobalConfig().GetWindowPosition(K::kPosition, l, t, r, b), 1);
  EXPECT_EQ(QPoint(l, t), QPoint(40, 30));
  EXPECT_EQ(pad->Notify(hub::kCallActive, 10, 0), 0);
}

// ---------------------------------------------------------------- 173

class Question : public CallWinTest {};

TEST_F(Question, StoredPlacesOrTheCentre) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  struct Case {
    int left, top;
    bool stored;
  };
  const Case cases[] = {
      {0, 0, false},
      {100, 50, true},
      {0, 50, true},
      {screen.width() + 10, 50, false},
      {100, screen.height() + 10, false},
      {-100, 50, false},  // 16-bit values above 32767 read back negative
      {40000, 50, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
    GlobalConfig().SetWindowPosition(CNewRecordQuestionDlg::kPosition, c.left, c.top, c.left + 200, c.top + 80);
    callwintest::HubRecorder view;
    CNewRecordQuestionDlg q;
    ASSERT_TRUE(q.Create(view.id));
    const QPoint at = q.Window()->pos();
    if (c.stored) {
      EXPECT_EQ(at, QPoint(c.left, c.top));
    } else {
      const QSize s = q.Window()->size();
      EXPECT_EQ(at, QPoint(screen.width() / 2 - s.width() / 2, screen.height() / 2 - s.height() / 2));
    }
    EXPECT_EQ(q.GetItemText(CNewRecordQuestionDlg::IDC_QUESTION), "T1.3");
    EXPECT_EQ(q.GetWindowText(), "T1.0");
  }
}

TEST_F(Question, TheAnswersArePostedAndTheViewMayDestroyItThen) {
  for (int button : {plat::IDOK, plat::IDCANCEL}) {
    SCOPED_TRACE(button);
    callwintest::HubRecorder view;
    auto q = std::make_unique<CNewRecordQuestionDlg>();
    int told = 0;
    q->SetClosedNotice([&] { ++told; });
    // The view's answer to 1053: it destroys the question at once.
    view.then = [&](const plat::Message& m) -> plat::LRESULT {
      if (m.msg == hub::kNewRecordAnswer) {
        q->Destroy();
        q.reset();
      }
      return 0;
    };
    ASSERT_TRUE(q->Create(view.id));
    ASSERT_TRUE(q->UserPress(button));
    EXPECT_TRUE(view.got.empty());  // not under the button's own handler
    EXPECT_FALSE(q->Window()->isVisible());
    loop.RunUntilIdle();
    ASSERT_EQ(view.got.size(), 1u);
    EXPECT_EQ(view.got[0].code, hub::kNewRecordAnswer);
    EXPECT_EQ(view.got[0].w, 30u);
    EXPECT_EQ(view.got[0].l, button == plat::IDOK ? 1 : 0);
    EXPECT_EQ(q, nullptr);
    EXPECT_EQ(told, 1);
  }
}

}  // namespace
