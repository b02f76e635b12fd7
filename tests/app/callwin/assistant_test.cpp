// The assistant window alone: hub codes in, hub codes out, memory keys,
// program keys, the clock and the drag between its fields, against a
// recording hub and drawing and the real call handler.
#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "app/callwin/assistantdlg.h"
#include "callwin_support.h"
#include "core/wire/csta_message.h"
#include "fake_windows.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/launcher.h"
#include "tests/support/testsupport.h"

using callwintest::CallWinTest;
using callwintest::CoreRig;
using A = CAssistantDlg;

namespace {

class Assistant : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    rig = callwintest::WatchingRig();
    keys.handler = &rig->handler;
    keys.entries[1] = {"Muster GmbH", "0301234567"};
    keys.entries[2] = {"Zentrale", "22"};
    plat::SetLauncherImpl(&launcher);
    A::ResetDrag();
    dlg = std::make_unique<A>();
    dlg->speedDial = &keys;
    dlg->drawing = &drawing;
    ASSERT_TRUE(dlg->Create(rig->hub.id));
    QApplication::processEvents();
  }
  void TearDown() override {
    dlg.reset();
    plat::SetLauncherImpl(nullptr);
    rig.reset();
    CallWinTest::TearDown();
  }
  CCallInfo* Incoming(const std::string& number, const std::string& company = "", const std::string& name = "") {
    CCallInfo* c = rig->handler.GetFreeCall(17);
    c->direction = CCallInfo::kIncoming;
    c->callingNumber = number;
    c->calledNumber = "21";
    c->callingCompany = company;
    c->callingName = name;
    c->state = CCallInfo::kRinging;
    c->callId = 100;
    return c;
  }
  void Notify(plat::UINT code, plat::WPARAM w, const void* lParam = nullptr) {
    dlg->Notify(code, w, L(lParam));
  }
  // A mouse button at the centre of a control, as the window sees it.
  void Mouse(QEvent::Type type, int id, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* win = dlg->Window();
    QPoint at = id ? dlg->Item(id)->mapTo(win, dlg->Item(id)->rect().center()) : QPoint(2, 2);
    QMouseEvent e(type, QPointF(at), QPointF(win->mapToGlobal(at)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(win, &e);
  }
  std::unique_ptr<CoreRig> rig;
  callwintest::FakeDrawing drawing;
  callwintest::FakeMemoryKeys keys;
  plat::RecordingLauncher launcher;
  std::unique_ptr<A> dlg;
};

TEST_F(Assistant, TheCallersTextIconAndHangUpButtonByDirection) {
  struct Case {
    int direction;
    const char* company;
    const char* name;
    const char* number;
    const char* shown;
    int icon;
    const char* button;
  };
  const Case cases[] = {
      {CCallInfo::kIncoming, "Muster GmbH", "Meier", "0301234", "Muster GmbH Meier", A::kIconIncoming, "T15.64"},
      {CCallInfo::kIncoming, "", "Meier", "0301234", "Meier", A::kIconIncoming, "T15.64"},
      {CCallInfo::kIncoming, "", "", "0301234", "0301234", A::kIconIncoming, "T15.64"},
      {CCallInfo::kIncoming, "", "", "", "N.N.", A::kIconIncoming, "T15.64"},
      {CCallInfo::kOutgoing, "", "", "0301234", "0301234", A::kIconOutgoing, "T15.65"},
      {CCallInfo::kOutgoing, "Muster GmbH", "", "0301234", "Muster GmbH 0301234", A::kIconOutgoing, "T15.65"},
      {CCallInfo::kOutgoing, "Muster GmbH", "Meier", "0301234", "Muster GmbH Meier", A::kIconOutgoing, "T15.65"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    CCallInfo call;
    call.direction = c.direction;
    call.state = CCallInfo::kRinging;
    if (c.direction == CCallInfo::kIncoming) {
      call.callingCompany = c.company;
      call.callingName = c.name;
      call.callingNumber = c.number;
    } else {
      call.calledCompany = c.company;
      call.calledName = c.name;
      call.calledNumber = c.number;
    }
    Notify(hub::kCallActive, 10, &call);
    EXPECT_EQ(dlg->GetItemText(A::IDC_CALLER), c.shown);
    EXPECT_EQ(dlg->CurrentIcon(), c.icon);
    EXPECT_EQ(dlg->GetItemText(A::IDC_HANGUP), c.button);
    EXPECT_TRUE(dlg->IsItemVisible(A::IDC_HANGUP));
    EXPECT_TRUE(dlg->IsItemEnabled(A::IDC_HANGUP));
    EXPECT_EQ(dlg->GetItemText(A::IDC_STATE), "T42.3");
  }
  EXPECT_GT(drawing.repaints, 0);
  EXPECT_EQ(dlg->Notify(9999, 0, 0), 1);  // unknown codes only redraw
}

TEST_F(Assistant, DeliveredRestoresAndRaisesIt) {
  dlg->Window()->showMinimized();
  CCallInfo* call = Incoming("0301234");
  Notify(hub::kCallEvent, CSTA_DELIVERED, call);
  EXPECT_FALSE(dlg->IsMinimised());
  EXPECT_TRUE(dlg->Window()->isVisible());
  EXPECT_EQ(plat::dlg::LastForegroundWindow(), dlg->Id());
  EXPECT_EQ(dlg->CurrentCall().callRefId, call->callRefId);
  EXPECT_EQ(callwintest::LogLines().front(), "T15.7657");
}

TEST_F(Assistant, ClearedConnectionGoesIdleAndMinimisesWithCapdw) {
  GlobalConfig().CAPDW = 1;
  CCallInfo* call = Incoming("0301234");
  Notify(hub::kCallActive, 17, call);
  dlg->ShowItem(A::IDC_OWNFIELD, true);
  Notify(hub::kCallEvent, CSTA_CONNECTION_CLEARED, nullptr);
  EXPECT_EQ(dlg->CurrentIcon(), A::kIconIdle);
  EXPECT_FALSE(dlg->IsItemVisible(A::IDC_OWNFIELD));
  EXPECT_TRUE(dlg->IsMinimised());
  EXPECT_EQ(dlg->CurrentCall().state, CCallInfo::kIdle);
  ASSERT_FALSE(drawing.states.empty());
  EXPECT_EQ(drawing.states.back().key, A::kOwnPhoneItem);
  EXPECT_EQ(drawing.states.back().code, 4);
  EXPECT_EQ(drawing.states.back().ref, -1);

  // Without minimising allowed the end of a call hides the window.
  dlg->Window()->showNormal();
  dlg->SetMinimizeAllowed(0);
  Notify(hub::kCallEvent, CSTA_CONNECTION_CLEARED, nullptr);
  EXPECT_FALSE(dlg->Window()->isVisible());
}

TEST_F(Assistant, ClearedForAnotherCallStillAppliesCapdw) {
  GlobalConfig().CAPDW = 1;
  CCallInfo* mine = Incoming("0301234", "Muster GmbH", "Meier");
  Notify(hub::kCallActive, 17, mine);
  CCallInfo* other = Incoming("0407777");
  dlg->ShowItem(A::IDC_OWNFIELD, true);
  Notify(hub::kCallCleared, 17, other);
  EXPECT_EQ(dlg->GetItemText(A::IDC_CALLER), "Muster GmbH Meier");
  EXPECT_EQ(dlg->CurrentIcon(), A::kIconIncoming);
  EXPECT_TRUE(dlg->IsItemVisible(A::IDC_HANGUP));
  EXPECT_FALSE(dlg->IsItemVisible(A::IDC_OWNFIELD));
  EXPECT_TRUE(dlg->IsMinimised());
}

TEST_F(Assistant, TheChargeOfTheEndedCallIgnoresTheLocale) {
  testsupport::GermanLocale german;
  GlobalConfig().PPCU = 0.12f;
  GlobalConfig().CAUN = "DM";
  CCallInfo* call = Incoming("0301234");
  Notify(hub::kCallActive, 17, call);
  call->units = 3;
  Notify(hub::kCallCleared, 17, call);
  EXPECT_EQ(dlg->GetItemText(A::IDC_CHARGE), " 0.36 DM");
  EXPECT_EQ(dlg->GetItemText(A::IDC_CALLER), "");
  EXPECT_EQ(dlg->CurrentIcon(), A::kIconIdle);
  EXPECT_FALSE(dlg->IsItemVisible(A::IDC_HANGUP));
  EXPECT_EQ(dlg->CurrentCall().state, CCallInfo::kIdle);
}

TEST_F(Assistant, TheSecondCallComesAndGoes) {
  CCallInfo* second = Incoming("0407777", "Firma", "Schulz");
  Notify(hub::kSecondCall, 17, second);
  for (int id : {A::IDC_SECONDCALL, A::IDC_REJECT2, A::IDC_ACCEPT2}) EXPECT_TRUE(dlg->IsItemVisible(id)) << id;
  EXPECT_EQ(dlg->GetItemText(A::IDC_SECONDCALL), second->GetDescription(4));
  CCallInfo* other = Incoming("0301111");
  Notify(hub::kSecondCallCleared, 17, other);
  EXPECT_TRUE(dlg->IsItemVisible(A::IDC_SECONDCALL));
  Notify(hub::kSecondCallCleared, 17, second);
  for (int id : {A::IDC_SECONDCALL, A::IDC_REJECT2, A::IDC_ACCEPT2}) EXPECT_FALSE(dlg->IsItemVisible(id)) << id;
  EXPECT_EQ(dlg->GetItemText(A::IDC_SECONDCALL), "");
}

TEST_F(Assistant, EveryCommandSendsItsHubCodeWithItsOwnCopyOfTheCall) {
  CCallInfo* call = Incoming("0301234");
  CCallInfo* second = Incoming("0407777");
  Notify(hub::kCallActive, 17, call);
  Notify(hub::kSecondCall, 17, second);
  struct Case {
    int control;
    plat::UINT code;
    int w;
    int ref;  // -1: no call
    bool own; // lParam is the window's own copy
  };
  const Case cases[] = {
      {A::IDC_TEST, hub::kOpenDatabase, 11, -1, false},
      {A::IDC_DB, hub::kOpenDatabase, 11, -1, false},
      {A::IDC_HANGUP, hub::kCallCleared, 11, call->callRefId, true},
      {A::IDC_CBLIST, hub::kOpenCallbackList, 11, -1, false},
      {A::IDC_NPLIST, hub::kOpenMissedCalls, 11, -1, false},
      {A::IDC_REDIAL, hub::kRedial, 11, -1, false},
      {A::IDC_CIL, hub::kOpenCallData, 11, second->callRefId, true},
      {A::IDC_REJECT2, hub::kSecondCallCleared, 11, second->callRefId, true},
      {A::IDC_ACCEPT2, hub::kAccepted1069, 11, second->callRefId, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    rig->hub.got.clear();
    ASSERT_TRUE(dlg->UserPress(c.control));
    ASSERT_EQ(rig->hub.got.size(), 1u);
    const callwintest::HubCall& h = rig->hub.got[0];
    EXPECT_EQ(h.code, c.code);
    EXPECT_EQ(h.w, static_cast<plat::WPARAM>(c.w));
    EXPECT_EQ(h.ref, c.ref);
    if (c.own) EXPECT_TRUE(h.call == &dlg->CurrentCall() || h.call == &dlg->SecondCall());
    if (c.ref < 0) EXPECT_EQ(h.l, 0);
  }
  rig->hub.got.clear();
  dlg->SetFocusItem(A::IDC_CALLER);
  dlg->UserKey(Qt::Key_Return);
  ASSERT_EQ(rig->hub.Codes(), std::vector<plat::UINT>{hub::kAssistantReady});
  EXPECT_EQ(rig->hub.got[0].w, 0u);
  rig->hub.got.clear();
  dlg->UserKey(Qt::Key_Escape);
  EXPECT_TRUE(rig->hub.got.empty());
  EXPECT_TRUE(dlg->IsCreated());
}

TEST_F(Assistant, MemoryKeysDialAskAndOpenTheEditor) {
  ASSERT_TRUE(dlg->UserPress(A::IDC_M1));
  EXPECT_TRUE(rig->link.sent.empty());  // not under the button's handler
  loop.RunUntilIdle();
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_MAKE_CALL});
  const std::string dial = rig->link.sent[0].record.Text(74, 64);
  EXPECT_NE(dial.find("301234567"), std::string::npos) << dial;
  EXPECT_TRUE(dlg->IsItemEnabled(A::IDC_HANGUP));

  // The same key again: it is being dialled.
  dlg->UserPress(A::IDC_M1);
  loop.RunUntilIdle();
  EXPECT_EQ(rig->link.sent.size(), 1u);
  EXPECT_TRUE(boxes.shown.empty());

  // Another key asks to hang up; Yes hangs up only a call that goes on.
  CCallInfo* live = rig->handler.GetCurrentCall(17);
  ASSERT_NE(live, nullptr);
  Notify(hub::kCallActive, 17, live);
  rig->hub.got.clear();
  boxes.QueueAnswer(plat::IDYES);
  dlg->UserPress(A::IDC_M1 + 1);
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T15.63");
  ASSERT_EQ(rig->hub.Codes(), std::vector<plat::UINT>{hub::kCallCleared});
  EXPECT_EQ(rig->hub.got[0].ref, live->callRefId);
  EXPECT_EQ(rig->hub.got[0].w, 11u);

  Notify(hub::kCallCleared, 17, live);  // that call is over
  rig->hub.got.clear();
  boxes.QueueAnswer(plat::IDYES);
  dlg->UserPress(A::IDC_M1 + 1);
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 2u);
  EXPECT_TRUE(rig->hub.got.empty());

  // An unset key: the editor; Cancel changes nothing, OK relabels.
  keys.pending = -1;
  EXPECT_EQ(dlg->GetItemText(A::IDC_LABEL1 + 4), "*");
  keys.edits.push_back({"", ""});
  dlg->UserPress(A::IDC_M1 + 4);
  loop.RunUntilIdle();
  EXPECT_EQ(keys.edited, std::vector<int>{5});
  EXPECT_EQ(dlg->GetItemText(A::IDC_LABEL1 + 4), "*");
  keys.edits.push_back({"Schulz", "0407777"});
  drawing.registered.clear();
  dlg->UserPress(A::IDC_M1 + 4);
  loop.RunUntilIdle();
  EXPECT_EQ(dlg->GetItemText(A::IDC_LABEL1 + 4), "Schulz");
  ASSERT_EQ(drawing.registered.size(), 1u);
  EXPECT_EQ(drawing.registered[0].key, 5);
  EXPECT_EQ(drawing.registered[0].number, "0407777");
  EXPECT_EQ(drawing.registered[0].control, A::IDC_LABEL1 + 4);
}

TEST_F(Assistant, ARefusedSpeedDialLeavesNoMarkAndAFlatPool) {
  rig->link.refuse = true;
  dlg->UserPress(A::IDC_M1);
  loop.RunUntilIdle();
  rig->handler.PurgeReleasedCalls();
  const std::size_t pool = rig->handler.PoolSize();
  for (int i = 0; i < 4; ++i) {
    dlg->UserPress(A::IDC_M1);
    loop.RunUntilIdle();
  }
  rig->handler.PurgeReleasedCalls();
  EXPECT_EQ(rig->handler.PoolSize(), pool);
  EXPECT_EQ(keys.pending, -1);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(dlg->IsItemEnabled(A::IDC_HANGUP));
  EXPECT_EQ(rig->handler.GetCurrentCall(17), nullptr);
}

TEST_F(Assistant, MemoryKeysAreLabelledAndRegisteredByStyle) {
  ASSERT_GE(drawing.registered.size(), 13u);
  EXPECT_EQ(dlg->GetItemText(A::IDC_LABEL1), "Muster GmbH");
  EXPECT_EQ(dlg->GetItemText(A::IDC_LABEL1 + 2), "*");
  const auto& first = drawing.registered[0];
  EXPECT_EQ(first.key, 1);
  EXPECT_EQ(first.control, A::IDC_LABEL1);
  EXPECT_EQ(first.kind, CVisualizeConnections::kButton);
  EXPECT_EQ(first.number, "0301234567");
  EXPECT_EQ(drawing.registered[2].number, "");
  EXPECT_EQ(drawing.registered[12].key, A::kOwnPhoneItem);
  EXPECT_EQ(drawing.registered[12].control, A::IDC_OWNFIELD);

  GlobalConfig().VSCW = 4;  // the keys themselves
  drawing.registered.clear();
  Notify(hub::kAssistantUpdate, 10);
  EXPECT_EQ(drawing.registered[1].control, A::IDC_M1 + 1);
  EXPECT_EQ(drawing.registered[1].kind, CVisualizeConnections::kLabel);
}

class AssistantClock : public Assistant {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    Assistant::SetUp();
  }
  void TearDown() override {
    Assistant::TearDown();
    unsetenv("TZ");
    tzset();
  }
};

TEST_F(AssistantClock, ShowsThePlainLocalTime) {
  struct Case {
    std::time_t utc;
    const char* date;
    const char* time;
  };
  const Case cases[] = {
      {1768219200, "12.01.2026", "13:00:00"}, {1783857600, "12.07.2026", "14:00:00"},
      {1783809000, "12.07.2026", "0:30:00"},  {1774747800, "29.03.2026", "3:30:00"},
      {1792893600, "25.10.2026", "3:00:00"},  {1798757999, "31.12.2026", "23:59:59"},
  };
  for (const Case& c : cases) {
    loop.SetWallStart(c.utc - static_cast<std::time_t>(loop.NowMs() / 1000));
    dlg->Tick();
    EXPECT_EQ(dlg->GetItemText(A::IDC_DATE), c.date) << c.utc;
    EXPECT_EQ(dlg->GetItemText(A::IDC_TIME), c.time) << c.utc;
  }
}

TEST_F(Assistant, ProgramKeysStartThroughTheLauncherWithoutAShell) {
  GlobalConfig().EXPRO1 = "";
  dlg->UserPress(A::IDC_P1);
  loop.RunUntilIdle();
  EXPECT_TRUE(launcher.started.empty());

  GlobalConfig().EXPRO1 = "\"/opt/crm/bin/crm\" --caller=%RemoteNumber% -q";
  CCallInfo* call = Incoming("0301234");
  Notify(hub::kCallActive, 17, call);
  dlg->UserPress(A::IDC_P1);
  loop.RunUntilIdle();
  ASSERT_EQ(launcher.started.size(), 1u);
  EXPECT_EQ(launcher.started[0].program, "/opt/crm/bin/crm");
  EXPECT_EQ(launcher.started[0].args, (std::vector<std::string>{"--caller=0301234", "-q"}));
  EXPECT_TRUE(boxes.shown.empty());

  // The second press asks first.
  boxes.QueueAnswer(plat::IDNO);
  dlg->UserPress(A::IDC_P1);
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T15.53\r\nT15.54");
  EXPECT_EQ(launcher.started.size(), 1u);
  boxes.QueueAnswer(plat::IDYES);
  dlg->UserPress(A::IDC_P1);
  loop.RunUntilIdle();
  EXPECT_EQ(launcher.started.size(), 2u);

  // P2 has its own flag; numbers that are no dial strings stay out.
  GlobalConfig().EXPRO2 = "sh -c \"echo %RemoteNumber%\"";
  for (const char* evil : {"123;rm -rf ~", "$(id)"}) {
    CCallInfo* bad = Incoming(evil);
    Notify(hub::kCallActive, 17, bad);
    boxes.QueueAnswer(plat::IDYES);
    dlg->UserPress(A::IDC_P2);
    loop.RunUntilIdle();
    ASSERT_FALSE(launcher.started.empty());
    EXPECT_EQ(launcher.started.back().program, "sh");
    EXPECT_EQ(launcher.started.back().args, (std::vector<std::string>{"-c", "echo "})) << evil;
    EXPECT_EQ(callwintest::LogLines().back(), std::string("T15.85 ") + evil);
  }

  // A start that fails says so with the system's error number.
  launcher.result = false;
  launcher.errorCode = 13;
  GlobalConfig().EXPRO1 = "crm";
  boxes.shown.clear();
  boxes.QueueAnswer(plat::IDYES);
  dlg->UserPress(A::IDC_P1);
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_EQ(boxes.shown[1].text, "T15.55 13");
}

TEST_F(Assistant, TheDragConnectsPressAndReleaseTargets) {
  struct Case {
    int sourceButton;  // the button that picks the source
    int press, release;
    callwintest::FakeDrawing::Connected want;
  };
  const Case cases[] = {
      {A::IDC_DEFLECT, A::IDC_LABEL1, A::IDC_LABEL1 + 3, {1, 4, A::kSourceDeflect}},
      {A::IDC_PICKC, A::IDC_CALLER, A::IDC_LABEL1 + 11, {23, 12, A::kSourceConsult}},
      {A::IDC_PICKT, A::IDC_ICON, A::IDC_TEST, {25, 21, A::kSourceTransfer}},
      {A::IDC_PICKC, A::IDC_REDIAL, A::IDC_NPLIST, {4, 27, A::kSourceConsult}},
      {A::IDC_PICKC, A::IDC_NPLIST, A::IDC_REDIAL, {4, 26, A::kSourceConsult}},
      {A::IDC_PICKC, A::IDC_CBLIST, A::IDC_CALLER, {22, 23, A::kSourceConsult}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.press);
    drawing.connected.clear();
    ASSERT_TRUE(dlg->UserPress(c.sourceButton));
    EXPECT_EQ(A::Drag().state, 1);
    EXPECT_EQ(dlg->GetItemText(A::IDC_HINT), "T15.60");
    Mouse(QEvent::MouseButtonPress, c.press);
    EXPECT_EQ(A::Drag().state, 2);
    EXPECT_EQ(dlg->GetItemText(A::IDC_HINT), "T15.61");
    Mouse(QEvent::MouseButtonRelease, c.release);
    EXPECT_EQ(A::Drag().state, 0);
    ASSERT_EQ(drawing.connected.size(), 1u);
    EXPECT_TRUE(drawing.connected[0] == c.want);
  }
}

TEST_F(Assistant, DragsThatHitNoTargetConnectNothing) {
  // Released over no field: one log line.
  dlg->UserPress(A::IDC_PICKC);
  Mouse(QEvent::MouseButtonPress, A::IDC_LABEL1);
  Mouse(QEvent::MouseButtonRelease, A::IDC_DATE);
  EXPECT_TRUE(drawing.connected.empty());
  EXPECT_EQ(A::Drag().state, 0);
  const std::vector<std::string> lines = callwintest::LogLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "T15.800, T15.811, T15.82-1");

  // Pressed on a control that is no target: the box, the drag ends.
  dlg->UserPress(A::IDC_PICKC);
  Mouse(QEvent::MouseButtonPress, A::IDC_P1);
  EXPECT_EQ(A::Drag().state, 0);
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T15.62");

  // A hidden second-call field is no target either.
  dlg->UserPress(A::IDC_PICKC);
  Mouse(QEvent::MouseButtonPress, A::IDC_LABEL1);
  Mouse(QEvent::MouseButtonRelease, A::IDC_DEFLECT);  // a source, not a target
  EXPECT_TRUE(drawing.connected.empty());

  // A right click picks and ends a drag and connects nothing.
  Mouse(QEvent::MouseButtonPress, A::IDC_CALLER, Qt::RightButton);
  EXPECT_EQ(A::Drag().state, 1);
  Mouse(QEvent::MouseButtonRelease, A::IDC_CALLER, Qt::RightButton);
  EXPECT_EQ(A::Drag().state, 0);
  EXPECT_TRUE(drawing.connected.empty());

  // Without a press on a target a release connects nothing.
  Mouse(QEvent::MouseButtonPress, A::IDC_CALLER, Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, A::IDC_LABEL1);
  EXPECT_TRUE(drawing.connected.empty());
  EXPECT_EQ(A::Drag().state, 0);
}

TEST_F(Assistant, TheHoldGestureOnlyForAConnectedCall) {
  CCallInfo* call = Incoming("0301234");
  Notify(hub::kCallActive, 17, call);
  dlg->UserPress(A::IDC_PICKP);
  EXPECT_TRUE(drawing.connected.empty());
  call->state = CCallInfo::kConnected;
  Notify(hub::kCallEvent, CSTA_ESTABLISHED, call);
  dlg->UserPress(A::IDC_PICKP);
  ASSERT_EQ(drawing.connected.size(), 1u);
  EXPECT_TRUE(drawing.connected[0] == (callwintest::FakeDrawing::Connected{23, 28, 21}));
}

// A mouse event at a point of the icon area (its own coordinates).
void AtIcon(A& dlg, QEvent::Type type, QPoint p) {
  QWidget* win = dlg.Window();
  const QPoint at = dlg.Item(A::IDC_ICON)->mapTo(win, p);
  QMouseEvent e(type, QPointF(at), QPointF(win->mapToGlobal(at)), Qt::LeftButton,
                type == QEvent::MouseButtonRelease || type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                Qt::NoModifier);
  QApplication::sendEvent(win, &e);
}

TEST_F(Assistant, ADoubleClickOnTheIconAreaTracksARubberBandThatStays) {
  EXPECT_EQ(dlg->RubberBand(), QRect(0, 0, 20, 20));
  QWidget* area = dlg->Item(A::IDC_ICON);
  ASSERT_GT(area->width(), 12);
  ASSERT_GT(area->height(), 12);
  struct Case {
    QPoint from, to;
    QRect want;  // kept inside the area
  };
  const int w = area->width(), h = area->height();
  const Case cases[] = {
      {{2, 3}, {9, 11}, QRect(QPoint(2, 3), QPoint(9, 11))},
      {{9, 11}, {2, 3}, QRect(QPoint(2, 3), QPoint(9, 11))},  // dragged up and left
      {{4, 4}, {w + 40, h + 40}, QRect(QPoint(4, 4), QPoint(w - 1, h - 1))},
  };
  for (const Case& c : cases) {
    AtIcon(*dlg, QEvent::MouseButtonDblClick, c.from);
    EXPECT_TRUE(dlg->TrackingBand());
    AtIcon(*dlg, QEvent::MouseMove, c.to);
    AtIcon(*dlg, QEvent::MouseButtonRelease, c.to);
    EXPECT_FALSE(dlg->TrackingBand());
    EXPECT_EQ(dlg->RubberBand(), c.want);
  }
  // Kept and drawn over the icon: the dotted frame is in the area's pixels.
  const QImage img = area->grab().toImage();
  const QRect band = dlg->RubberBand();
  int dark = 0;
  for (int y = band.top(); y <= band.bottom(); ++y) dark += img.pixelColor(band.left(), y) == QColor(Qt::black);
  EXPECT_GE(dark, band.height() / 3);
  EXPECT_NE(img.pixelColor(band.left() + 1, band.top() + 1), QColor(Qt::black));
  // Moves without a double click change nothing; neither does a drag.
  AtIcon(*dlg, QEvent::MouseMove, {1, 1});
  EXPECT_EQ(dlg->RubberBand(), band);
  EXPECT_TRUE(drawing.connected.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Assistant, APressElsewhereWhileTheCallerTextHoldsTheMouseIsRefusedWithABox) {
  QWidget* caller = dlg->Item(A::IDC_CALLER);
  dlg->Window()->show();
  QApplication::processEvents();
  caller->grabMouse();
  if (QWidget::mouseGrabber() != caller) GTEST_SKIP() << "no mouse grab on this platform";
  Mouse(QEvent::MouseButtonPress, A::IDC_LABEL1 + 2);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T15.84");
  // Without the hold a press there is the control's own.
  Mouse(QEvent::MouseButtonPress, A::IDC_LABEL1 + 2);
  Mouse(QEvent::MouseButtonRelease, A::IDC_LABEL1 + 2);
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(A::Drag().state, 0);
}

TEST_F(Assistant, TheHintCommandShowsItsBoxAfterTheSendersCall) {
  plat::SendMessage(dlg->Id(), 0x0111, A::kCommandHint, 0);
  EXPECT_TRUE(boxes.shown.empty());
  loop.RunUntilIdle();
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "T15.41");
  plat::SendMessage(dlg->Id(), 0x0111, 32807, 0);  // not the window's
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_TRUE(rig->hub.got.empty());
}

TEST_F(Assistant, HintsFollowTheMouse) {
  struct Case {
    int control;
    bool moving;
    const char* hint;
  };
  const Case cases[] = {
      {A::IDC_LABEL1 + 3, false, "T15.26"}, {A::IDC_M1 + 11, false, "T15.38"}, {A::IDC_P2, false, "T15.39"},
      {A::IDC_CHARGE, false, "T15.48"},     {A::IDC_CHARGE, true, "T15.58"},   {A::IDC_CBLIST, true, "T15.59"},
      {A::IDC_CALLER, false, "T15.57"},     {A::IDC_DATE, false, ""},
  };
  for (const Case& c : cases) {
    dlg->Hover(c.control, c.moving);
    EXPECT_EQ(dlg->GetItemText(A::IDC_HINT), c.hint) << c.control;
  }
}

TEST_F(Assistant, TheCloseBoxAsks) {
  dlg->mainWindow = rig->hub.id;
  boxes.QueueAnswer(plat::IDCANCEL);
  dlg->CloseBox();
  loop.RunUntilIdle();
  EXPECT_TRUE(dlg->Window()->isVisible());
  boxes.QueueAnswer(plat::IDNO);
  dlg->CloseBox();
  loop.RunUntilIdle();
  EXPECT_FALSE(dlg->Window()->isVisible());
  EXPECT_TRUE(dlg->IsCreated());
  boxes.QueueAnswer(plat::IDYES);
  dlg->CloseBox();
  loop.RunUntilIdle();
  EXPECT_EQ(rig->hub.Codes(), (std::vector<plat::UINT>{A::kCloseProgram, 0x0010}));
  ASSERT_EQ(boxes.shown.size(), 3u);
  EXPECT_EQ(boxes.shown[0].text, "T15.52");
}

TEST_F(Assistant, ItTellsWhenItIsDestroyedAndKeepsItsPlace) {
  int told = 0;
  dlg->SetClosedNotice([&] { ++told; });
  dlg->Window()->move(120, 80);
  dlg->Destroy();
  EXPECT_EQ(told, 1);
  EXPECT_EQ(drawing.forgotten, 1);
  int l, t, r, b;
  ASSERT_EQ(GlobalConfig().GetWindowPosition(A::kPosition, l, t, r, b), 1);
  EXPECT_EQ(l, 120);
  EXPECT_EQ(t, 80);
  EXPECT_EQ(dlg->Notify(hub::kCallActive, 17, 0), 0);

  // Back at its place; a place off every screen is not taken.
  ASSERT_TRUE(dlg->Create(rig->hub.id));
  EXPECT_EQ(dlg->Window()->pos(), QPoint(120, 80));
  dlg->Destroy();
  GlobalConfig().SetWindowPosition(A::kPosition, -30000, -30000, -29800, -29900);
  ASSERT_TRUE(dlg->Create(rig->hub.id));
  EXPECT_NE(dlg->Window()->pos(), QPoint(-30000, -30000));
  EXPECT_EQ(told, 2);
}

}  // namespace
