// The connection drawing: brushes and colours by event and state, items by
// key and number, painting over live controls only, and the actions of a
// click or a drag between two controls.
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>

#include "app/callwin/visualizeconnections.h"
#include "callwin_support.h"
#include "core/wire/csta_message.h"

using callwintest::CallWinTest;
using callwintest::CoreRig;
using V = CVisualizeConnections;

namespace {

constexpr long kRed = 0x0000ff;    // the platform's colour values: 0x00bbggrr
constexpr long kGreen = 0x00ff00;
constexpr long kBlue = 0xff0000;

class Drawing : public CallWinTest {
 protected:
  void SetUp() override {
    CallWinTest::SetUp();
    GlobalConfig().VSCW = 0;
    GlobalConfig().VSCOFFC = kRed;
    GlobalConfig().VSCALERTC = kGreen;
    GlobalConfig().VSCCONNC = kBlue;
    rig = std::make_unique<CoreRig>();
    draw = std::make_unique<V>();
    draw->monitors = &rig->table;
    draw->callHandler = &rig->handler;
  }
  void TearDown() override {
    draw.reset();
    rig.reset();
    CallWinTest::TearDown();
  }
  // A shown control of a fixed size, as a window would hold it.
  template <class W>
  std::unique_ptr<W> Control(const char* text) {
    auto w = std::make_unique<W>(QString::fromLatin1(text));
    w->resize(80, 24);
    w->show();
    return w;
  }
  std::unique_ptr<CoreRig> rig;
  std::unique_ptr<V> draw;
};

TEST_F(Drawing, BrushAndColourForEveryEventTypeDirectionAndStateCode) {
  CMonitorEntry* in = rig->Watch("22");
  CMonitorEntry* out = rig->Watch("23");
  rig->Watch("24");
  in->connDirection = 1;
  out->connDirection = 2;
  struct Case {
    int source, value;
    const char* number;
    int brush;
  };
  const Case cases[] = {
      {V::kEventType, CSTA_MAKE_CALL_CONF, "22", V::kOffBrush},
      {V::kEventType, CSTA_CONFERENCED, "22", V::kOffBrush},
      {V::kEventType, CSTA_ESTABLISHED, "22", V::kOffBrush},
      {V::kEventType, CSTA_RETRIEVED, "22", V::kOffBrush},
      {V::kEventType, CSTA_SERVICE_INITIATED, "22", V::kOffBrush},
      {V::kEventType, CSTA_DELIVERED, "22", V::kAlertBrush},  // rings there
      {V::kEventType, CSTA_DELIVERED, "23", V::kOffBrush},    // rings elsewhere
      {V::kEventType, CSTA_DELIVERED, "24", V::kNoBrush},     // direction unknown
      {V::kEventType, CSTA_DELIVERED, "99", V::kNoBrush},     // not watched
      {V::kEventType, CSTA_CONNECTION_CLEARED, "22", V::kNoBrush},
      {V::kEventType, CSTA_HELD, "22", V::kNoBrush},
      {V::kEventType, CSTA_TRANSFERRED, "22", V::kNoBrush},
      {V::kStateCode, -1, "", V::kNoBrush},
      {V::kStateCode, 0, "", V::kOffBrush},
      {V::kStateCode, 1, "", V::kOffBrush},
      {V::kStateCode, 2, "", V::kAlertBrush},
      {V::kStateCode, 3, "", V::kOffBrush},
      {V::kStateCode, 4, "", V::kOffBrush},
      {V::kStateCode, 6, "", V::kOffBrush},
      {V::kStateCode, 7, "", V::kNoBrush},
      {2, 2, "", V::kNoBrush},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.source << "/" << c.value << " " << c.number);
    EXPECT_EQ(draw->BrushFor(c.source, c.value, c.number), c.brush);
    const QColor want = c.brush == V::kOffBrush ? QColor(255, 0, 0)
                        : c.brush == V::kAlertBrush ? QColor(0, 255, 0)
                                                    : QColor(0, 0, 0);
    EXPECT_EQ(draw->ColourFor(c.source, c.value, c.number), want);
  }
  EXPECT_EQ(draw->BrushColour(V::kConnectedBrush), QColor(0, 0, 255));
}

TEST_F(Drawing, NoStyleFivePaintsNothing) {
  GlobalConfig().VSCW = V::kNoPainting;
  V quiet;
  auto field = Control<QLineEdit>("Meier");
  quiet.Register(1, field.get(), V::kButton, "22");
  quiet.OnConnectionEvent("22", 5, CSTA_ESTABLISHED);
  quiet.RepaintAll();
  EXPECT_EQ(quiet.PaintCount(), 0u);
  EXPECT_EQ(quiet.FindByKey(1)->brush, V::kOffBrush);  // the state is kept all the same
  EXPECT_TRUE(field->findChildren<QWidget*>().isEmpty());
}

TEST_F(Drawing, ARepeatedEventDoesNotRepaintAndEveryItemOfTheNumberChanges) {
  rig->Watch("22")->connDirection = 1;
  auto key = Control<QLineEdit>("M1");
  auto row = Control<QPushButton>("22");
  auto other = Control<QLineEdit>("M2");
  draw->Register(1, key.get(), V::kButton, "22");
  draw->Register(122, row.get(), V::kButton, "22");
  draw->Register(2, other.get(), V::kButton, "23");
  const std::size_t before = draw->PaintCount();
  draw->OnConnectionEvent("22", 7, CSTA_DELIVERED);
  EXPECT_EQ(draw->PaintCount(), before + 2);
  for (int k : {1, 122}) {
    EXPECT_EQ(draw->FindByKey(k)->state, CSTA_DELIVERED) << k;
    EXPECT_EQ(draw->FindByKey(k)->colour, QColor(0, 255, 0)) << k;
    EXPECT_EQ(draw->FindByKey(k)->cause, 7u) << k;
  }
  EXPECT_EQ(draw->FindByKey(2)->state, -1);
  draw->OnConnectionEvent("22", 7, CSTA_DELIVERED);
  EXPECT_EQ(draw->PaintCount(), before + 2);
  draw->OnConnectionEvent("22", 7, CSTA_CONNECTION_CLEARED);  // no brush: the colour goes
  EXPECT_EQ(draw->PaintCount(), before + 4);
  EXPECT_EQ(draw->FindByKey(1)->brush, V::kNoBrush);
}

TEST_F(Drawing, ADestroyedWindowsItemIsSkippedAndAWindowDropsItsItems) {
  auto field = Control<QLineEdit>("M1");
  draw->Register(1, field.get(), V::kButton, "22");
  field.reset();  // the window went away without a word
  const std::size_t before = draw->PaintCount();
  draw->OnConnectionEvent("22", 1, CSTA_ESTABLISHED);
  draw->RepaintAll();
  EXPECT_EQ(draw->PaintCount(), before);
  EXPECT_EQ(draw->FindByKey(1)->state, CSTA_ESTABLISHED);

  QWidget window;
  auto* a = new QLineEdit(&window);
  auto* b = new QPushButton(&window);
  auto other = Control<QLineEdit>("M3");
  draw->Register(2, a, V::kButton, "23");
  draw->Register(3, b, V::kButton, "24");
  draw->Register(4, other.get(), V::kButton, "25");
  draw->ForgetWindow(&window);
  EXPECT_EQ(draw->FindByKey(2), nullptr);
  EXPECT_EQ(draw->FindByKey(3), nullptr);
  EXPECT_NE(draw->FindByKey(4), nullptr);
}

TEST_F(Drawing, RegisteringWithoutAWindowKeepsWindowAndKind) {
  auto field = Control<QLineEdit>("M1");
  draw->Register(5, field.get(), V::kLabel, "22");
  draw->OnConnectionEvent("22", 1, CSTA_ESTABLISHED);
  draw->Register(5, nullptr, V::kButton, "31");  // the store changed entry 5
  const V::Item* item = draw->FindByKey(5);
  EXPECT_EQ(item->window.data(), field.get());
  EXPECT_EQ(item->kind, V::kLabel);
  EXPECT_EQ(item->number, "31");
  EXPECT_EQ(item->state, -1);
  const std::size_t before = draw->PaintCount();
  draw->OnConnectionEvent("31", 2, CSTA_ESTABLISHED);
  EXPECT_EQ(draw->PaintCount(), before + 1);
}

TEST_F(Drawing, TransferAndCallStatesOnTheOwnPhoneItem) {
  auto own = Control<QLineEdit>("");
  auto key = Control<QLineEdit>("M1");
  draw->Register(V::kOwnPhoneKey, own.get(), V::kButton, "");
  draw->Register(1, key.get(), V::kButton, "22");
  CCallInfo call;
  call.callId = 44;
  call.direction = CCallInfo::kIncoming;
  call.callingNumber = "0301234";
  call.calledNumber = "21";
  EXPECT_EQ(draw->SetCallState(V::kOwnPhoneKey, 0, &call), 1);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->number, "0301234");
  EXPECT_EQ(draw->SetCallState(V::kOwnPhoneKey, 4, &call), 1);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->brush, V::kOffBrush);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->cause, 44u);
  EXPECT_EQ(draw->SetCallState(V::kOwnPhoneKey, 9, &call), 1);
  EXPECT_EQ(draw->SetCallState(77, 2, &call), 0);
  // The own number was renamed by code 0: a transfer of its call, reported
  // for a number nobody shows, goes to it by the call id.
  draw->OnConnectionEvent("55", 43, CSTA_TRANSFERRED);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->state, 4);
  draw->OnConnectionEvent("55", 44, CSTA_TRANSFERRED);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->state, 2);
  EXPECT_EQ(draw->FindByKey(V::kOwnPhoneKey)->brush, V::kAlertBrush);
}

TEST_F(Drawing, TheListenerGetsItsOwnCopyOfTheNumber) {
  callwintest::HubRecorder listener;
  std::vector<std::string> numbers;
  listener.then = [&](const plat::Message& m) {
    numbers.emplace_back(reinterpret_cast<const char*>(m.data()));
    EXPECT_EQ(m.wParam, V::kStateNoticeCode);
    return plat::LRESULT{0};
  };
  draw->SetListener(listener.id);
  {
    std::string device = "22";
    draw->OnConnectionEvent(device, 1, CSTA_ESTABLISHED);
    device = "xx";
  }
  loop.RunUntilIdle();
  ASSERT_EQ(numbers.size(), 1u);
  EXPECT_EQ(numbers[0], "22");
  EXPECT_EQ(listener.got[0].code, V::kStateNotice);
}

TEST_F(Drawing, TheClickActsByTheItemsState) {
  rig->Watch("21", true);
  rig->Watch("22")->connDirection = 1;
  GlobalConfig().GDOH = 1;
  auto key = Control<QLineEdit>("M1");
  draw->Register(1, key.get(), V::kButton, "22");
  struct Case {
    int event;  // 0: none yet
    int sent;   // the request type, 0 none
  };
  const Case cases[] = {
      {0, CSTA_MAKE_CALL},
      {CSTA_DELIVERED, CSTA_DEFLECT_CALL},  // rings: picked up to the own phone
      {CSTA_ESTABLISHED, 0},
      {CSTA_MAKE_CALL_CONF, 0},
      {CSTA_RETRIEVED, 0},
      {CSTA_SERVICE_INITIATED, 0},
      {CSTA_CLEAR_CONNECTION_CONF, 0},
      {CSTA_HELD, CSTA_MAKE_CALL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.event);
    draw->Register(1, nullptr, 0, "22");
    if (c.event) draw->OnConnectionEvent("22", 9, c.event);
    rig->link.sent.clear();
    draw->Act(1);
    if (CCallInfo* cur = rig->handler.GetCurrentCall(17)) rig->handler.ClearCall(cur, 17);
    if (c.sent == 0) {
      EXPECT_TRUE(rig->link.sent.empty());
      continue;
    }
    ASSERT_FALSE(rig->link.sent.empty());
    EXPECT_EQ(rig->link.sent[0].record.Type(), c.sent);
    if (c.sent == CSTA_DEFLECT_CALL) {
      EXPECT_EQ(rig->link.sent[0].record.U32(10), 9u);
      EXPECT_EQ(rig->link.sent[0].record.Text(80, 64), "21");
    }
  }
  // A watched extension without an item: only its ringing call is taken.
  CMonitorEntry* e = rig->Watch("23");
  e->connectionState = 2;
  e->lastCallId = 12;
  rig->link.sent.clear();
  EXPECT_EQ(draw->Act(123), 1);
  EXPECT_EQ(rig->SentTypes(), std::vector<int>{CSTA_DEFLECT_CALL});
  e->connectionState = 3;
  EXPECT_EQ(draw->Act(123), 0);
}

TEST_F(Drawing, ARefusedDialGivesItsRecordBack) {
  rig->Watch("21", true);
  GlobalConfig().GDOH = 1;
  auto key = Control<QLineEdit>("M1");
  draw->Register(1, key.get(), V::kButton, "0301234");
  rig->link.refuse = true;
  EXPECT_EQ(draw->Act(1), 0);
  rig->handler.PurgeReleasedCalls();
  const std::size_t after1 = rig->handler.PoolSize();
  for (int i = 0; i < 5; ++i) EXPECT_EQ(draw->Act(1), 0);
  rig->handler.PurgeReleasedCalls();
  EXPECT_EQ(rig->handler.PoolSize(), after1);
  EXPECT_LE(after1, 1u);  // at most the record kept for redial
  EXPECT_EQ(rig->handler.GetCurrentCall(17), nullptr);
}

TEST_F(Drawing, ConsultationAndHoldBetweenTwoControls) {
  rig->Watch("21", true);
  GlobalConfig().GDOH = 1;
  auto target = Control<QLineEdit>("M2");
  draw->Register(2, target.get(), V::kButton, "25");
  CCallInfo* call = rig->handler.GetFreeCall(12);
  call->calledNumber = "22";
  ASSERT_EQ(rig->handler.MakeCall(call, 12), 1);
  call->callId = 300;
  rig->link.sent.clear();
  EXPECT_EQ(draw->Connect(23, 2, 13), 1);  // the caller field onto M2
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_CONSULTATION_CALL});
  EXPECT_EQ(rig->link.sent[0].record.U32(10), 300u);
  EXPECT_EQ(draw->Connect(23, 99, 13), 0);  // no target number
  rig->link.sent.clear();
  EXPECT_EQ(draw->Connect(23, V::kOwnPhoneKey, 21), 1);
  EXPECT_EQ(rig->SentTypes(), std::vector<int>{CSTA_HOLD_CALL});
  rig->link.sent.clear();
  EXPECT_EQ(draw->Connect(23, 2, 51), 0);
  EXPECT_EQ(draw->Connect(23, 2, 1), 0);
  EXPECT_TRUE(rig->link.sent.empty());
  EXPECT_EQ(callwintest::LogLines().back(), "T60.723T60.12");
}

TEST_F(Drawing, DropsAreLoggedAndActOnlyWhereSettled) {
  rig->Watch("21", true);
  CMonitorEntry* ringing = rig->Watch("22");
  ringing->connectionState = 2;
  ringing->lastCallId = 70;
  auto target = Control<QLineEdit>("M3");
  draw->Register(3, target.get(), V::kButton, "25");
  draw->Drop(1, 122, 3);
  EXPECT_TRUE(rig->link.sent.empty());
  draw->Drop(3, 122, 3);  // the ringing call goes to M3's number
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_DEFLECT_CALL});
  EXPECT_EQ(rig->link.sent[0].record.Text(80, 64), "25");
  rig->link.sent.clear();
  draw->Drop(3, 122, V::kOwnPhoneKey);  // onto the own phone: picked up
  ASSERT_EQ(rig->SentTypes(), std::vector<int>{CSTA_DEFLECT_CALL});
  EXPECT_EQ(rig->link.sent[0].record.Text(80, 64), "21");
  rig->link.sent.clear();
  draw->Drop(3, 122, 177);  // 77 is not watched
  draw->Drop(3, 23, 3);
  draw->Drop(3, 3, 4);
  EXPECT_TRUE(rig->link.sent.empty());
  const std::vector<std::string> lines = callwintest::LogLines();
  const std::vector<std::string> want = {
      "T60.01T60.1122T60.23", "T60.03T60.1122T60.23", "T60.03T60.1122T60.228",
      "T60.03T60.1122T60.2177", "T60.677",
      "T60.03T60.123T60.23", "T60.33",
      "T60.03T60.13T60.24", "T60.43T60.14",
  };
  EXPECT_EQ(lines, want);
}

// What the overlays put on the screen, read back from the controls.
TEST_F(Drawing, PixelsOfALabelAndAButtonInStylesZeroAndOne) {
  rig->Watch("22")->connDirection = 1;
  const QColor red(255, 0, 0);
  for (int style : {0, 1}) {
    SCOPED_TRACE(style);
    draw->SetStyle(style);
    auto label = Control<QLineEdit>("Meier");
    auto button = Control<QPushButton>("M1");
    draw->Register(1, label.get(), V::kLabel, "22");
    draw->Register(2, button.get(), V::kButton, "22");
    draw->OnConnectionEvent("22", 1, CSTA_ESTABLISHED);
    const QImage l = label->grab().toImage();
    const QImage b = button->grab().toImage();
    const int w = l.width(), h = l.height();
    // The label: its own background at the edge, the frame two pixels in,
    // the state colour inside.
    EXPECT_NE(l.pixelColor(0, 0), red);
    EXPECT_EQ(l.pixelColor(2, h / 2), red);
    EXPECT_EQ(l.pixelColor(4, 4), red);
    if (style == 0) {
      EXPECT_EQ(b.pixelColor(0, h / 2), red);
      EXPECT_EQ(b.pixelColor(1, h / 2), red);
      EXPECT_EQ(b.pixelColor(w / 2, h - 1), red);
      EXPECT_NE(b.pixelColor(w / 2, h - 5), red);  // the button's own face
    } else {
      EXPECT_EQ(b.pixelColor(w / 2, h - 3), red);  // the band at the bottom
      EXPECT_EQ(b.pixelColor(w / 2, h - 8), red);
      EXPECT_EQ(b.pixelColor(0, 4), red);          // the frame round the rest
      EXPECT_NE(b.pixelColor(w / 2, 4), red);
    }
    draw->OnConnectionEvent("22", 1, CSTA_CONNECTION_CLEARED);
    const QImage cleared = button->grab().toImage();
    EXPECT_NE(cleared.pixelColor(0, h / 2), red);
    draw->ForgetWindow(label.get());
    draw->ForgetWindow(button.get());
  }
}

}  // namespace
