// The filter's own parts: job lock, listeners, monitor requests and trace
// lines.
#include <gtest/gtest.h>

#include "core/base/globalconfig.h"
#include "core/filter/messagefilter.h"
#include "platform/trace.h"
#include "core/wire/csta_requests.h"
#include "scenario.h"
#include "scenario_rig.h"

namespace {

struct FilterTest : ::testing::Test {
  Scenario s;
  void SetUp() override { ASSERT_EQ(s.Run("watch 21 2 main xref=1001\nwatch 22 1 xref=1002\n"), ""); }
  CMessageFilter& f() { return s.rig().filter; }
};

}  // namespace

TEST_F(FilterTest, JobLock) {
  EXPECT_EQ(f().TakeOrRelease(3, 1), 1);
  EXPECT_EQ(f().TakeOrRelease(3, 1), 1);  // the same state again
  EXPECT_EQ(f().TakeOrRelease(2, 1), 0);
  EXPECT_EQ(f().TakeOrRelease(2, 0), 0);  // not held: nothing released
  EXPECT_EQ(f().JobState(), 3u);
  char text[8];
  EXPECT_EQ(f().GetJobText(text, sizeof text), 3u);
  EXPECT_STREQ(text, "T55.26");
  CPBXMessageSink* sink = f().MessageSink();
  EXPECT_EQ(sink->TakeJob(6, 1), 1);
  EXPECT_EQ(sink->TakeJob(3, 0), 0);
  EXPECT_EQ(f().JobState(), 0u);
  EXPECT_EQ(CMessageFilter::JobText(7), "");
  EXPECT_EQ(CMessageFilter::JobText(12), "");
  EXPECT_EQ(CMessageFilter::JobText(11), "T55.33");
}

TEST_F(FilterTest, ListenersShareOneCopyInListOrder) {
  std::vector<std::string> order;
  RecordingListener a("a", &order), b("b", &order), c("c", &order), d("d", &order);
  f().RegisterListener(&a, nullptr, -1);
  f().RegisterListener(&b, nullptr, 1);
  f().RegisterListener(&c, nullptr, -1);
  EXPECT_EQ(f().RegisterListener(&d, nullptr, 0), 1);  // added nowhere
  CSTAMessage m;
  m.SetType(CSTA_SYS_STAT);
  EXPECT_EQ(f().OnCSTAMessage(&m), 1);
  EXPECT_EQ(order, (std::vector<std::string>{"b", "a", "c"}));
  EXPECT_EQ(a.seen[0], b.seen[0]);
  EXPECT_EQ(a.seen[0], c.seen[0]);
  EXPECT_NE(a.seen[0], &m);
  EXPECT_EQ(f().RemoveListener(&b), 1);
  EXPECT_EQ(f().RemoveListener(&b), 0);
  EXPECT_EQ(f().RemoveListener(&d), 0);
  f().RemoveListener(&a);
  f().RemoveListener(&c);
}

TEST_F(FilterTest, EntryAnswers) {
  CSTAMessage m;
  m.SetType(CSTA_HELD);
  m.SetCrossRefId(4711);
  EXPECT_EQ(f().OnCSTAMessage(&m), 0);
  EXPECT_EQ(f().MessageSink()->ProcessMessage(&m), 1);
  m.SetCrossRefId(0);
  EXPECT_EQ(f().OnCSTAMessage(&m), 1);
  EXPECT_EQ(f().OnCSTAMessage(nullptr), 0);
  // While monitors start, every id is let in.
  s.rig().table.SetMode(CMonitorTable::kStarting);
  m.SetCrossRefId(4711);
  EXPECT_EQ(f().OnCSTAMessage(&m), 1);
}

TEST_F(FilterTest, MonitorRequests) {
  bool ok = false;
  CSTAMessage start = f().BuildMonitorRequest("22", 1, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(start.Type(), CSTA_MONITOR_DEVICE);
  EXPECT_EQ(start.CrossRefId(), 0u);
  EXPECT_EQ(start.Text(10, 64), "22");
  EXPECT_EQ(start.U16(74), 0xFFFC);
  EXPECT_EQ(start.U8(76), 0xFF);
  CSTAMessage stop = f().BuildMonitorRequest("22", 0, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(stop.Type(), CSTA_MONITOR_STOP);
  EXPECT_EQ(stop.CrossRefId(), 1002u);
  EXPECT_EQ(stop.U32(10), 1002u);
  f().BuildMonitorRequest("33", 0, &ok);  // not monitored: nothing to stop
  EXPECT_FALSE(ok);
  EXPECT_EQ(f().SendMonitorRequest("33", 0), 0);
  EXPECT_TRUE(s.rig().link.sent.empty());
}

TEST_F(FilterTest, MonitorStopSteps) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main xref=1001
watch 22 1 xref=1002
stop
expect job 7
expect sent monitorstop xref=1001 stopref=1001
pbx monitorstopconf xref=1001
expect monitor 21 5
advance 100
expect sent monitorstop xref=1002
pbx monitorstopconf xref=1002
advance 100
expect event 1074
expect linkstate 4
expect job 0
expect hub 1074
)"), "");
}

TEST_F(FilterTest, FailureDuringMonitorStartMarksTheEntry) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main
watch 22 2
start
pbx private kind=19 devices=40
pbx capsconf
expect sent private
expect sent caps
expect sent monitor ext=21
pbx failure code=12
expect monitor 21 3
advance 100
expect sent monitor ext=22
pbx monitorconf ref=77
advance 100
expect event 1075
expect event 1078
expect event 1058
expect hub 1058
)"), "");
}

TEST_F(FilterTest, TraceLines) {
  CSTAMessage m;
  m.SetType(CSTA_UNIVERSAL_FAILURE_CONF);
  m.SetCrossRefId(12);
  m.SetU16(10, 12);
  EXPECT_EQ(f().GetMessageText(m), "CMR:12, CSTA_UNIVERSAL_FAILURE_CONF - \tError: INVALID_CSTA_DEVICE_IDENTIFIER");
  CSTAMessage d;
  d.SetType(CSTA_DELIVERED);
  d.SetCrossRefId(1001);
  CSTAConnectionId{100, "21", 0}.Write(d, 10);
  d.SetText(80, 64, "21");
  d.SetText(148, 64, "0301234");
  d.SetText(216, 64, "21");
  d.SetU16(354, 16);
  EXPECT_EQ(f().GetMessageText(d),
            "CMR:1001, CSTA_DELIVERED - \tT:0\tCH:100, \tAD21, \tCED21, \tCIN0301234, \tLR, \tCS16");
  CSTAMessage p = PrivateRequest(0, 0, 40);
  EXPECT_EQ(f().GetMessageText(p), "CMR:0, T54.0 - Type 40");
  CSTAMessage u;
  u.SetType(200);
  EXPECT_EQ(f().GetMessageText(u), "CMR:0, T54.1 - ");
  CSTAMessage c = PrivateRequest(0, 0, EXTPBX_GETDEVICEUNITS_CONF);
  c.SetText(11, 11, "21");
  c.SetText(22, 6, "17");
  c.SetText(28, 20, "0301234");
  EXPECT_EQ(f().GetMessageText(c), "CMR:0, EXTPBX_GETDEVICEUNITS_CONF - DID 21, U 17, DNum 0301234");
}

// The last entry of a start sequence must not stay "in progress": the next
// stop sequence would wait for it and give it up without a stop request.
TEST_F(FilterTest, EveryStartedEntryIsStoppedAfterAStartSequence) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main
watch 22 2
start
pbx private kind=19 devices=40
pbx capsconf
expect sent private
expect sent caps
expect sent monitor ext=21
pbx monitorconf ref=71
advance 100
expect sent monitor ext=22
pbx monitorconf ref=72
advance 100
expect event 1075
expect event 1078
expect event 1058
stop
expect sent monitorstop xref=71
pbx monitorstopconf xref=71
advance 100
expect sent monitorstop xref=72
pbx monitorstopconf xref=72
advance 100
expect event 1074
)"), "");
}

// The first monitor step runs inside the dispatch of the capability reply;
// its warning waits until that record is done.
TEST_F(FilterTest, NoMonitoredExtensionWarnsAfterTheDispatch) {
  ASSERT_EQ(s.Run(""), "");
  RecordingListener l("l");
  f().RegisterListener(&l, nullptr, -1);
  f().TakeOrRelease(jobstate::kApiCaps, 1);
  CSTAMessage caps;
  caps.SetType(CSTA_GETAPI_CAPS_CONF);
  EXPECT_EQ(f().OnCSTAMessage(&caps), 1);
  EXPECT_EQ(l.types.size(), 1u);
  EXPECT_TRUE(s.rig().boxes.shown.empty());
  s.rig().Settle();
  ASSERT_EQ(s.rig().boxes.shown.size(), 1u);
  EXPECT_EQ(s.rig().boxes.shown[0].text, "T55.0\r\n\r\nT55.1\r\nT55.2\r\nT55.3\r\nT55.4");
  f().RemoveListener(&l);
}

TEST_F(FilterTest, DeviceCountSetsShownEntriesAndNumberLength) {
  ASSERT_EQ(s.Run("pbx private kind=19 devices=40 count=3\n"), "");
  EXPECT_EQ(s.rig().table.GetShownCount(), 40);
  EXPECT_EQ(s.rig().table.InternalNumberLength(), 3);
  // A reply without the length keeps the one the table has.
  ASSERT_EQ(s.Run("pbx private kind=19 devices=30\n"), "");
  EXPECT_EQ(s.rig().table.GetShownCount(), 30);
  EXPECT_EQ(s.rig().table.InternalNumberLength(), 2);
}

// The PBX refuses a dial: the record ends as a call that ended, and the
// next dial goes out. A failure for another invoke id leaves it alone.
TEST_F(FilterTest, AFailedDialEndsItsRecord) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main xref=1001
dial 0301234
expect result 1
expect sent makecall ext=21 invoke=0
expect hub 1027 w=17 call=21>0301234
pbx failure code=33 invoke=5
expect current calling=21 called=0301234 state=1
pbx failure code=33 invoke=0
expect hub 1053 w=17
expect hub 1028 w=17 call=21>0301234
expect current none
expect count calldata 0
dial 0305555
expect result 1
expect sent makecall ext=21 invoke=1
expect current called=0305555
)"), "");
  EXPECT_EQ(s.rig().table.FindByNumber("21")->currentCall, s.rig().handler.GetCurrentCall(17));
}

// A make call confirmed is no longer refusable by a stray failure.
TEST_F(FilterTest, AFailureAfterTheConfirmationLeavesTheCall) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main xref=1001
dial 0301234
pbx makecallconf xref=1001 callid=200 device=21
pbx failure code=33 invoke=0
expect current callid=200 state=1
)"), "");
}

// Calls of other watched extensions stay out of the own call data.
TEST_F(FilterTest, CallDataHoldOnlyTheOwnExtensionsCalls) {
  ASSERT_EQ(s.Run(R"(
watch 21 2 main xref=1001
watch 23 2 xref=1003
pbx delivered xref=1003 callid=300 device=23 calling=00301234 called=23
pbx established xref=1003 callid=300 device=23 calling=00301234 called=23
pbx cleared xref=1003 callid=300 device=23
expect count calldata 0
pbx delivered xref=1003 callid=301 device=23 calling=23 called=21
pbx delivered xref=1001 callid=301 device=21 calling=23 called=21
pbx established xref=1003 callid=301 device=23 calling=23 called=21
pbx established xref=1001 callid=301 device=21 calling=23 called=21
pbx cleared xref=1003 callid=301 device=23
pbx cleared xref=1001 callid=301 device=21
settle
expect count calldata 1
)"), "");
  EXPECT_EQ(s.rig().callData.lines, std::vector<std::string>{"23>21"});
}

// The private requests the program sends show their index or device.
TEST_F(FilterTest, TraceLinesOfThePrivateRequests) {
  const struct {
    std::uint8_t kind;
    const char* text;
    const char* detail;
  } cases[] = {{EXTPBX_GETSINGLECALLINFOBYIDX, "17", "17"},
               {EXTPBX_DELETEDEVICEUNITS, "21", "DID 21"},
               {EXTPBX_GETDEVICEUNITS, "22", "DID 22"}};
  for (const auto& c : cases) {
    const std::string line = f().GetMessageText(PrivateRequest(0, 0, c.kind, c.text));
    EXPECT_EQ(line.substr(line.find(" - ") + 3), c.detail) << line;
  }
}

// The trace window is closed at the end whatever the switch says: the
// general settings may have opened it.
TEST(FilterLifetime, ClosesTheTraceWindowWhateverTheSwitch) {
  plat::RecordingTraceBackend rec;
  plat::SetTraceBackend(&rec);
  const int saved = GlobalConfig().TOLECSTALOGDLL;
  GlobalConfig().TOLECSTALOGDLL = 0;
  {
    CMessageFilter filter;
    OpenCSTATraceWindow(0, 0);
  }
  int closes = 0;
  for (const auto& e : rec.Events()) closes += e.channel == plat::TraceEvent::Csta && e.op == plat::TraceEvent::Close;
  EXPECT_EQ(closes, 1);
  GlobalConfig().TOLECSTALOGDLL = saved;
  plat::SetTraceBackend(nullptr);
}
