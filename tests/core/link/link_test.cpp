// The link object against a recording filter, a recording view and a
// recording network path; the serial path on the simulated PBX.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "core/serial/serialport.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/trace.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

struct FakeFilter : IPBXLinkFilter {
  std::vector<CSTAMessage> seen;
  std::vector<CSTAMessage> noted;
  std::vector<int> steps;         // 1 start, 0 stop
  std::vector<int> makeCalls;
  std::vector<std::pair<std::uint32_t, int>> jobs;  // state, take
  std::deque<int> stepResults;    // next MonitorStep results (0 when empty)
  std::function<void(int)> onStep;
  std::uint32_t job = 0;

  int OnCSTAMessage(const CSTAMessage* r) override {
    seen.push_back(*r);
    return 1;
  }
  int MonitorStep(int start) override {
    steps.push_back(start);
    if (onStep) onStep(start);
    if (stepResults.empty()) return 0;
    const int r = stepResults.front();
    stepResults.pop_front();
    return r;
  }
  int NoteOutstanding(const CSTAMessage* r) override {
    if (r) noted.push_back(*r);
    return 1;
  }
  int NoteMakeCall(int type, CCallInfo*, std::uint32_t) override {
    makeCalls.push_back(type);
    return 1;
  }
  int TakeOrRelease(std::uint32_t state, int take) override {
    jobs.emplace_back(state, take);
    if (take) {
      if (job != 0 && job != state) return 0;
      job = state;
      return 1;
    }
    if (job != state) return 0;
    job = 0;
    return 1;
  }
};

struct FakeNetwork : IPBXNetworkPath {
  struct Sent {
    std::uint32_t kind;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Sent> sent;
  std::uint32_t SendToNetwork(std::uint32_t kind, const void* data, std::uint32_t length) override {
    const auto* p = static_cast<const std::uint8_t*>(data);
    sent.push_back({kind, {p, p + length}});
    return 1;
  }
  CSTAMessage Record(std::size_t i) const {
    return CSTAMessage::FromBytes(sent.at(i).bytes.data(), sent.at(i).bytes.size());
  }
};

struct FakeView : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  std::vector<plat::UINT> codes;
  std::vector<plat::Message> received;
  ~FakeView() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == CSytemObject::kMsgReceived)
      received.push_back(m);
    else
      codes.push_back(m.msg);
    return 0;
  }
};

CSTAMessage CapsReply(bool fwd, bool snap) {
  CSTAMessage m;
  m.SetType(CSTA_GETAPI_CAPS_CONF);
  m.SetU16(40, fwd ? 1 : 0);
  m.SetU16(140, snap ? 1 : 0);
  m.SetU8(167, 0x77);  // last byte kept
  return m;
}

class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::make_unique<CGlobalConfig>(GlobalConfig());
    GlobalConfig().SDFN.clear();
    GlobalConfig().CPID = CSytemObject::kNetworkPort;
    GlobalConfig().NIU = 1;
    GlobalConfig().SYSCON = 0;
    GlobalConfig().IO1008 = 0;
    GlobalConfig().OLDPROTOCOLL = 0;
    GlobalConfig().CPLFLAG = 0;
    plat::SetMessageBoxImpl(&boxes);
    table = std::make_unique<CMonitorTable>();
    link = std::make_unique<CSytemObject>(view.id, &filter, table.get());
    link->SetNetworkPath(&net);
  }
  void TearDown() override {
    link.reset();
    table.reset();
    plat::SetMessageBoxImpl(nullptr);
    GlobalConfig() = *saved_;  // every setting a test changed
  }
  // Entries "21" (main phone), "22", "23" watched and monitored under 1001..1003.
  void Watch() {
    int xref = 1001;
    for (const char* n : {"21", "22", "23"}) {
      CMonitorEntry* e = table->FindByNumber(n);
      ASSERT_NE(e, nullptr);
      e->monitoringOn = 1;
      e->watchMode = CMonitorEntry::kSimple;
      e->monitorState = CMonitorEntry::kMonitored;
      e->crossRefId = static_cast<std::uint32_t>(xref++);
    }
    table->SetMainPhone("21");
  }


  std::unique_ptr<CGlobalConfig> saved_;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  FakeFilter filter;
  FakeNetwork net;
  FakeView view;
  std::unique_ptr<CMonitorTable> table;
  std::unique_ptr<CSytemObject> link;
};

TEST_F(LinkTest, RingKeepsTheLastThirtyAndPassesEachToTheFilter) {
  for (std::uint32_t i = 1; i <= 31; ++i) {
    CSTAMessage m;
    m.SetType(CSTA_DELIVERED);
    m.SetInvokeId(i);
    EXPECT_EQ(link->OnLinkMessage(linkev::kIncoming, 0, &m), 1);
  }
  ASSERT_EQ(filter.seen.size(), 31u);
  EXPECT_EQ(link->RingAt(0)->InvokeId(), 31u);  // the 31st took the first slot
  EXPECT_EQ(link->RingAt(1)->InvokeId(), 2u);
  EXPECT_EQ(link->RingAt(29)->InvokeId(), 30u);
  EXPECT_EQ(link->RingIndex(), 1);
  EXPECT_EQ(link->OnLinkMessage(linkev::kIncoming, 0, nullptr), 0);
  EXPECT_EQ(link->ClearRing(), 1);
  EXPECT_EQ(link->ClearRing(), 0);
  EXPECT_EQ(link->RingAt(0), nullptr);
}

TEST_F(LinkTest, PostedRecordsReachTheFilterThroughTheWindow) {
  CSTAMessage m;
  m.SetType(CSTA_HELD);
  m.SetInvokeId(5);
  plat::PostMessage(link->Window(), CSytemObject::kMsgReceived, 0, 982, m.data(), m.size());
  loop.RunUntilIdle();
  ASSERT_EQ(filter.seen.size(), 1u);
  EXPECT_EQ(filter.seen[0], m);
}

TEST_F(LinkTest, NetworkStartUpRunsByReplies) {
  link->Open(view.id);
  ASSERT_EQ(net.sent.size(), 1u);
  EXPECT_EQ(net.sent[0].kind, 32u);
  ASSERT_EQ(net.sent[0].bytes.size(), 111u);
  CSTAMessage count = net.Record(0);
  EXPECT_EQ(count.Type(), CSTA_PRIVATE);
  EXPECT_EQ(count.PrivateKind(), EXTPBX_GETMAXNUMBEROFDEVICES);
  EXPECT_EQ(count.InvokeId(), 1u);  // request counter, after its increment
  ASSERT_EQ(filter.noted.size(), 1u);
  EXPECT_EQ(filter.job, jobstate::kDeviceCount);

  link->OnLinkMessage(linkev::kDeviceCountDone, 0, nullptr);
  ASSERT_EQ(net.sent.size(), 2u);
  EXPECT_EQ(net.sent[1].bytes.size(), 10u);
  EXPECT_EQ(net.Record(1).Type(), CSTA_GETAPI_CAPS);
  EXPECT_EQ(net.Record(1).InvokeId(), 2u);
  EXPECT_EQ(filter.job, jobstate::kApiCaps);
  EXPECT_TRUE(link->CapabilitiesRequested());
  link->OnLinkMessage(linkev::kDeviceCountDone, 0, nullptr);  // only once
  EXPECT_EQ(net.sent.size(), 2u);

  Watch();
  filter.stepResults = {1};
  const CSTAMessage caps = CapsReply(true, true);
  link->OnLinkMessage(linkev::kCapabilities, 0, &caps);
  EXPECT_EQ(filter.job, 0u);
  EXPECT_TRUE(link->CapabilitiesReceived());
  EXPECT_TRUE(link->AnswersQueryForwarding());
  EXPECT_TRUE(link->AnswersSnapshot());
  EXPECT_EQ(link->GetLinkState(), linkstate::kStarting);
  EXPECT_EQ(filter.steps, std::vector<int>{1});
  EXPECT_TRUE(plat::IsTimerArmed(view.id, 5));

  // Monitors started: forwarding queries, then snapshots, then the view.
  link->OnLinkMessage(linkev::kMonitorsStarted, 0, nullptr);
  EXPECT_EQ(link->GetLinkState(), linkstate::kRunning);
  EXPECT_EQ(filter.job, jobstate::kForwarding);
  CSTAMessage q = net.Record(net.sent.size() - 1);
  EXPECT_EQ(q.Type(), CSTA_QUERY_FWD);
  EXPECT_EQ(q.Text(10, 64), "21");
  EXPECT_EQ(q.CrossRefId(), 1001u);
  EXPECT_EQ(net.sent.back().bytes.size(), 74u);
  EXPECT_TRUE(view.codes.empty());

  link->OnLinkMessage(linkev::kForwardingDone, 0, nullptr);
  EXPECT_EQ(filter.job, jobstate::kSnapshot);
  CSTAMessage s = net.Record(net.sent.size() - 1);
  EXPECT_EQ(s.Type(), CSTA_SNAPSHOT_DEVICE);
  EXPECT_EQ(s.Text(10, 64), "21");

  link->OnLinkMessage(linkev::kSnapshotsDone, 0, nullptr);
  EXPECT_EQ(view.codes, std::vector<plat::UINT>{1058});
}

TEST_F(LinkTest, WithoutForwardingOrSnapshotTheViewHearsAtOnce) {
  const CSTAMessage caps = CapsReply(false, false);
  link->OnLinkMessage(linkev::kCapabilities, 0, &caps);
  link->OnLinkMessage(linkev::kMonitorsStarted, 0, nullptr);
  EXPECT_EQ(view.codes, std::vector<plat::UINT>{1058});
  EXPECT_EQ(link->GetLinkState(), linkstate::kRunning);
  // A failed capability request still starts the monitors.
  link->OnLinkMessage(linkev::kCapabilities, 0, nullptr);
  EXPECT_EQ(filter.steps.size(), 2u);
}

TEST_F(LinkTest, AStepThatFinishesAtOnceKeepsItsStateAndArmsNoTimer) {
  // The first monitor step finds nothing to do and reports the end itself.
  filter.onStep = [&](int start) {
    if (start) link->OnLinkMessage(linkev::kMonitorsStarted, 0, nullptr);
    else link->OnLinkMessage(linkev::kMonitorsStopped, 0, nullptr);
  };
  EXPECT_EQ(link->StartStop(1), linkstate::kRunning);
  EXPECT_FALSE(plat::IsTimerArmed(view.id, 5));
  EXPECT_EQ(link->StartStop(0), linkstate::kClosed);
  EXPECT_FALSE(plat::IsTimerArmed(view.id, 5));
  EXPECT_EQ(view.codes, (std::vector<plat::UINT>{1058, 1074}));

  filter.onStep = nullptr;
  filter.stepResults = {1, 1, 0};
  EXPECT_EQ(link->StartStop(1), linkstate::kStarting);
  EXPECT_TRUE(plat::IsTimerArmed(view.id, 5));
  EXPECT_EQ(link->LinkStep(), 1);
  EXPECT_EQ(link->LinkStep(), 0);
  EXPECT_EQ(filter.steps.back(), 1);
}

TEST_F(LinkTest, StopStepClosesAtOnceWhenNothingIsMonitored) {
  EXPECT_EQ(link->GetLinkState(), linkstate::kIdle);
  EXPECT_EQ(link->StopStep(), 1);
  EXPECT_EQ(link->GetLinkState(), linkstate::kClosed);
  EXPECT_TRUE(filter.steps.empty());
}

TEST_F(LinkTest, StopStepUnmonitorsStepByStep) {
  Watch();
  link->SetLinkState(linkstate::kRunning);
  filter.stepResults = {1};
  EXPECT_EQ(link->StopStep(), 0);
  EXPECT_EQ(link->GetLinkState(), linkstate::kStopping);
  EXPECT_EQ(filter.steps, std::vector<int>{0});
  EXPECT_TRUE(plat::IsTimerArmed(view.id, 5));
  EXPECT_EQ(link->LinkStep(), 0);  // any state but starting steps the stop
  EXPECT_EQ(filter.steps, (std::vector<int>{0, 0}));
  link->OnLinkMessage(linkev::kMonitorsStopped, 0, nullptr);
  EXPECT_EQ(link->StopStep(), 1);
}

TEST_F(LinkTest, NoRequestsStopsCallControlButNotLinkManagement) {
  GlobalConfig().SYSCON = 1;
  link->Open(view.id);
  EXPECT_EQ(link->GetNoRequests(), 1u);
  EXPECT_EQ(link->CanSend(), 0);
  Watch();
  CCallInfo call;
  call.callingNumber = "21";
  call.calledNumber = "22";
  const std::size_t before = net.sent.size();
  EXPECT_EQ(link->MakeCall(&call), 0);
  EXPECT_EQ(link->ClearCall(&call), 0);
  EXPECT_EQ(link->PickupCall(&call), 0);
  EXPECT_EQ(link->HoldCall(&call), 0);
  CSTAMessage monitor;
  monitor.SetType(CSTA_MONITOR_DEVICE);
  EXPECT_EQ(link->SendRequest(&monitor), 0);
  EXPECT_EQ(net.sent.size(), before);
  link->QueryForwarding("22");
  link->SnapshotDevice("22");
  link->RequestCapabilities(1);
  EXPECT_EQ(net.sent.size(), before + 3);
  EXPECT_EQ(link->SetNoRequests(0), 1);
  EXPECT_EQ(link->SetNoRequests(0), 0);
  EXPECT_EQ(link->SendRequest(&monitor), 1);
  EXPECT_EQ(link->SendRequest(nullptr), 0);
}

// A closed link refuses every call request, and each refusal is logged;
// link management still goes out (the stop steps and a new start need it).
TEST_F(LinkTest, AClosedLinkRefusesCallRequestsAndSaysSo) {
  const std::string log = (std::filesystem::temp_directory_path() / ("link_refuse_" + std::to_string(::getpid()))).string();
  GlobalConfig().GLFN = log;
  GlobalConfig().GLO = 1;
  link->Open(view.id);
  Watch();
  link->SetLinkState(linkstate::kClosed);
  CCallInfo a, b;
  a.callingNumber = "21";
  a.calledNumber = "22";
  b.calledNumber = "23";
  const std::size_t before = net.sent.size();
  const struct {
    const char* name;
    std::function<int()> request;
  } requests[] = {
      {"MakeCall", [&] { return link->MakeCall(&a); }},
      {"ClearCall", [&] { return link->ClearCall(&a); }},
      {"HoldCall", [&] { return link->HoldCall(&a); }},
      {"ConsultationCall", [&] { return link->ConsultationCall(&a, &b); }},
      {"TransferCall", [&] { return link->TransferCall(&a, &b); }},
      {"DeflectCall", [&] { return link->DeflectCall(&a); }},
      {"PickupCall", [&] { return link->PickupCall(&a); }},
  };
  for (const auto& r : requests) EXPECT_EQ(r.request(), 0) << r.name;
  EXPECT_EQ(net.sent.size(), before);
  std::ifstream f(log);
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  for (const auto& r : requests)
    EXPECT_NE(all.find(std::string("CSytemObject::") + r.name + ": link closed"), std::string::npos) << r.name;
  link->QueryForwarding("22");
  EXPECT_EQ(net.sent.size(), before + 1);
  std::filesystem::remove(log);
}

// A loss without a port (the network link) changes nothing.
TEST_F(LinkTest, ALineLossWithoutAPortIsIgnored) {
  link->Open(view.id);
  link->OnLineLost(5);
  EXPECT_FALSE(link->LineLost());
  EXPECT_NE(link->GetLinkState(), linkstate::kClosed);
  EXPECT_EQ(link->Reopen(), 0);  // the network link is reopened by its registration
}

// The CSTA trace sees sent records only while its switch is on.
TEST_F(LinkTest, SentRecordsAreTracedOnlyWhileTheSwitchIsOn) {
  Watch();
  plat::RecordingTraceBackend trace;
  plat::SetTraceBackend(&trace);
  OpenCSTATraceWindow(0, 0);
  trace.Clear();
  CCallInfo call;
  call.callingNumber = "21";
  call.calledNumber = "22";
  GlobalConfig().TOLECSTALOGDLL = 0;
  EXPECT_EQ(link->MakeCall(&call), 1);
  EXPECT_TRUE(trace.Events().empty());
  GlobalConfig().TOLECSTALOGDLL = 1;
  EXPECT_EQ(link->MakeCall(&call), 1);
  const auto events = trace.Events();
  CloseCSTATraceWindow(0);
  plat::SetTraceBackend(nullptr);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].channel, plat::TraceEvent::Csta);
  ASSERT_EQ(events[0].data.size(), CSTAMessage::kSize);
  EXPECT_EQ(events[0].data[8] | (events[0].data[9] << 8), CSTA_MAKE_CALL);
}

TEST_F(LinkTest, MakeCallRecordAndNoting) {
  Watch();
  GlobalConfig().CUTOFFLEADINGDIGIT = 1;
  CCallInfo call;
  call.callingNumber = "21";
  call.calledNumber = "00301234567";
  EXPECT_EQ(link->MakeCall(&call), 1);
  EXPECT_EQ(link->MakeCall(nullptr), 0);
  ASSERT_EQ(net.sent.size(), 1u);
  EXPECT_EQ(net.sent[0].bytes.size(), 138u);
  const CSTAMessage m = net.Record(0);
  EXPECT_EQ(m.Type(), CSTA_MAKE_CALL);
  EXPECT_EQ(m.InvokeId(), 0u);  // call-control counter: value before increment
  EXPECT_EQ(m.CrossRefId(), 1001u);
  EXPECT_EQ(m.Text(10, 64), "21");
  std::string dial;
  GlobalConfig().GetDialNumber("00301234567", dial);
  EXPECT_EQ(m.Text(74, 64), dial);
  EXPECT_EQ(filter.makeCalls, std::vector<int>{23});
  EXPECT_TRUE(filter.noted.empty());  // IO1008 0: not noted

  GlobalConfig().IO1008 = 1;
  link->MakeCall(&call);
  EXPECT_EQ(net.Record(1).InvokeId(), 1u);
  EXPECT_EQ(filter.noted.size(), 1u);
}

TEST_F(LinkTest, ClearCallChoosesTheDevice) {
  Watch();
  struct Case {
    const char *calling, *called, *device;
    std::uint32_t xref;
  } cases[] = {{"22", "21", "21", 1001}, {"23", "0301", "23", 1003}, {"0301", "22", "22", 1002},
               {"0301", "0409", "", 0}};
  for (const auto& c : cases) {
    CCallInfo call;
    call.callingNumber = c.calling;
    call.calledNumber = c.called;
    call.callId = 77;
    EXPECT_EQ(link->ClearCall(&call), 1);
    const CSTAMessage m = net.Record(net.sent.size() - 1);
    EXPECT_EQ(m.Type(), CSTA_CLEAR_CONNECTION);
    EXPECT_EQ(net.sent.back().bytes.size(), 80u);
    EXPECT_EQ(m.U32(10), 77u);
    EXPECT_EQ(m.Text(14, 64), c.device) << c.calling << ">" << c.called;
    EXPECT_EQ(m.CrossRefId(), c.xref);
  }
}

TEST_F(LinkTest, HoldConsultTransferDeflectPickupLayouts) {
  Watch();
  GlobalConfig().OffnumDigit = '0';
  CCallInfo a, b;
  a.callId = 11;
  a.callingNumber = "21";
  a.calledNumber = "0301234";  // longer than the internal length: trunk digit
  b.callId = 12;
  b.callingNumber = "0409";
  b.calledNumber = "21";

  EXPECT_EQ(link->HoldCall(&a), 0);
  CSTAMessage m = net.Record(0);
  EXPECT_EQ(net.sent[0].bytes.size(), 81u);
  EXPECT_EQ(m.Type(), CSTA_HOLD_CALL);
  EXPECT_EQ(m.CrossRefId(), 1001u);
  EXPECT_EQ(m.U32(10), 11u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(net.sent[0].bytes.data()) + 74, 7), "0030123");

  CCallInfo shortCall;
  shortCall.calledNumber = "22";
  link->HoldCall(&shortCall);
  EXPECT_EQ(net.Record(1).Text(74, 7), "22");
  shortCall.external = 1;
  link->HoldCall(&shortCall);
  EXPECT_EQ(net.Record(2).Text(74, 7), "022");

  EXPECT_EQ(link->ConsultationCall(&a, &shortCall), 0);
  m = net.Record(3);
  EXPECT_EQ(m.Type(), CSTA_CONSULTATION_CALL);
  EXPECT_EQ(m.U32(10), 11u);
  EXPECT_EQ(m.Text(14, 64), "21");
  EXPECT_EQ(m.Text(80, 64), "22");

  EXPECT_EQ(link->TransferCall(&b, &a), 0);  // main phone is b's called side
  m = net.Record(4);
  EXPECT_EQ(m.Type(), CSTA_TRANSFER_CALL);
  EXPECT_EQ(m.U32(10), 12u);
  EXPECT_EQ(m.Text(14, 64), "0409");
  EXPECT_EQ(m.U32(80), 11u);
  EXPECT_EQ(m.Text(84, 64), "0301234");
  EXPECT_EQ(link->TransferCall(nullptr, nullptr), 0);
  EXPECT_EQ(net.sent.size(), 5u);

  EXPECT_EQ(link->DeflectCall(&b), 0);
  m = net.Record(5);
  EXPECT_EQ(m.Type(), CSTA_DEFLECT_CALL);
  EXPECT_EQ(m.Text(14, 64), "0409");
  EXPECT_EQ(m.Text(80, 64), "21");
  EXPECT_EQ(link->PickupCall(&a), 1);
  m = net.Record(6);
  EXPECT_EQ(m.Type(), CSTA_DEFLECT_CALL);
  EXPECT_EQ(m.Text(80, 64), "21");
  EXPECT_EQ(m.InvokeId(), 6u);
}

// The box comes from the queue: the give-up arrives on the link's timer.
TEST_F(LinkTest, UnansweredRequestBoxOnlyBeforeCapabilities) {
  link->OnLinkMessage(linkev::kRequestGivenUp, 0, nullptr);
  EXPECT_TRUE(boxes.shown.empty());
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 1u);
  link->RequestCapabilities(1);
  link->OnLinkMessage(linkev::kRequestGivenUp, 0, nullptr);
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(LinkTest, APortThatCannotOpenIsReportedAndTheLinkStaysClosed) {
  GlobalConfig().CPID = 7;  // COM8
  ::setenv("PALOMIR_COM8", "/nonexistent/tty", 1);
  link->Open(view.id);
  ::unsetenv("PALOMIR_COM8");
  // Not inside the open (the program's start-up): from the queue.
  EXPECT_TRUE(boxes.shown.empty());
  loop.RunUntilIdle();
  EXPECT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(link->Port(), nullptr);
  EXPECT_TRUE(net.sent.empty());  // no start-up request anywhere
  EXPECT_TRUE(filter.noted.empty());
  EXPECT_EQ(link->StopStep(), 1);
}

TEST_F(LinkTest, CommEventsAreLoggedInTheirOrder) {
  const auto dir = std::filesystem::temp_directory_path() / ("seriallink_comm_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  std::filesystem::remove("comport.log");
  GlobalConfig().CPLFLAG = 1;
  auto contents = [] {
    std::ifstream in("comport.log");
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  // The first line only creates the file; the events are written after it.
  link->ProcessCommInput(0, CSytemObject::EV_RXCHAR | CSytemObject::EV_BREAK);
  std::string all = contents();
  EXPECT_EQ(all.find("ProcessCommInput"), std::string::npos);
  const auto brk = all.find("EV_BREAK : 0x0041 -> 0x0001");
  const auto rx = all.find("EV_RXCHAR - No Receive : 0x0001 -> 0x0000");
  EXPECT_NE(brk, std::string::npos) << all;
  EXPECT_NE(rx, std::string::npos) << all;
  EXPECT_LT(brk, rx);
  link->ProcessCommInput(0, 0x8000);
  all = contents();
  EXPECT_NE(all.find("ProcessCommInput"), std::string::npos);
  EXPECT_NE(all.find("Kill"), std::string::npos);
  GlobalConfig().CPLFLAG = 0;
  std::filesystem::current_path(old);
  std::filesystem::remove_all(dir);
}

}  // namespace
