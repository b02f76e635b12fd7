// The start-up of the real link object and message filter against a peer
// in the test that answers every request, refuses one with a universal
// failure or stays silent on it: every step must end, by going on or by
// giving up with its job released and the view told.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "core/wire/csta_requests.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "tests/core/link/viewstandin.h"

namespace {

// What the peer does with one request.
enum class Answer { kAnswer, kFail, kSilent, kLate };

// Records what the link sends; answers later, from the test's loop.
struct Peer : IPBXNetworkPath {
  std::vector<CSTAMessage> sent;
  std::size_t answered = 0;
  std::uint32_t nextXref = 5001;
  std::map<std::string, std::uint32_t> xrefs;
  // Picks the treatment of a request (the index is its count of that type).
  std::function<Answer(const CSTAMessage&, int nth)> rule;
  int failCode = 0;
  std::map<std::uint16_t, int> counts;
  std::deque<CSTAMessage> late;  // held back answers

  std::uint32_t SendToNetwork(std::uint32_t, const void* data, std::uint32_t length) override {
    sent.push_back(CSTAMessage::FromBytes(static_cast<const std::uint8_t*>(data), length));
    return 1;
  }
  std::size_t Count(std::uint16_t type, int kind = -1) const {
    std::size_t n = 0;
    for (const auto& m : sent) n += m.Type() == type && (kind < 0 || m.PrivateKind() == kind);
    return n;
  }

  static CSTAMessage Reply(const CSTAMessage& req, std::uint16_t type) {
    CSTAMessage m;
    m.SetType(type);
    m.SetInvokeId(req.InvokeId());
    m.SetCrossRefId(req.CrossRefId());
    return m;
  }
  CSTAMessage AnswerTo(const CSTAMessage& req) {
    switch (req.Type()) {
      case CSTA_PRIVATE: {
        CSTAMessage m = Reply(req, CSTA_PRIVATE);
        m.SetU8(10, EXTPBX_GETMAXNUMBEROFDEVICES_CONF);
        m.SetText(11, 11, devices);
        return m;
      }
      case CSTA_GETAPI_CAPS: {
        CSTAMessage m = Reply(req, CSTA_GETAPI_CAPS_CONF);
        m.SetU16(40, 1);
        m.SetU16(140, 1);
        return m;
      }
      case CSTA_MONITOR_DEVICE: {
        CSTAMessage m = Reply(req, CSTA_MONITOR_CONF);
        const std::string ext = req.Text(10, 64);
        const std::uint32_t x = nextXref++;
        xrefs[ext] = x;
        m.SetU32(10, x);
        return m;
      }
      case CSTA_MONITOR_STOP: {
        CSTAMessage m = Reply(req, CSTA_MONITOR_STOP_CONF);
        m.SetCrossRefId(req.U32(10));
        return m;
      }
      case CSTA_QUERY_FWD: return Reply(req, CSTA_QUERY_FWD_CONF);
      case CSTA_SNAPSHOT_DEVICE: {
        CSTAMessage m = Reply(req, CSTA_SNAPSHOT_DEVICE_CONF);
        m.SetText(16, 64, req.Text(10, 64));
        return m;
      }
      default: return Reply(req, 0);
    }
  }
  // The answers to what was sent since the last call.
  std::vector<CSTAMessage> Answers() {
    std::vector<CSTAMessage> out;
    for (; answered < sent.size(); ++answered) {
      const CSTAMessage& req = sent[answered];
      const int nth = counts[req.Type()]++;
      const Answer a = rule ? rule(req, nth) : Answer::kAnswer;
      if (a == Answer::kSilent) continue;
      if (a == Answer::kLate) {
        late.push_back(AnswerTo(req));
        continue;
      }
      if (a == Answer::kFail) {
        CSTAMessage f = Reply(req, CSTA_UNIVERSAL_FAILURE_CONF);
        f.SetU16(10, static_cast<std::uint16_t>(failCode));
        out.push_back(f);
        continue;
      }
      CSTAMessage m = AnswerTo(req);
      if (m.Type() != 0) out.push_back(m);
    }
    return out;
  }
  std::string devices = "60";
};

using View = ViewStandIn;

struct Rig {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  Peer peer;
  View view;
  std::unique_ptr<CMonitorTable> table = std::make_unique<CMonitorTable>();
  CMessageFilter filter;
  CSytemObject link{view.id, &filter, table.get()};

  explicit Rig(const std::vector<const char*>& watched = {"21", "22", "23"}) {
    plat::SetMessageBoxImpl(&boxes);
    link.SetNetworkPath(&peer);
    view.link = &link;
    view.filter = &filter;
    filter.link = &link;
    filter.monitors = table.get();
    filter.view = view.id;
    for (const char* n : watched) {
      CMonitorEntry* e = table->FindByNumber(n);
      e->monitoringOn = 1;
      e->watchMode = CMonitorEntry::kSimple;
    }
    table->SetMainPhone(watched.front());
  }
  ~Rig() { plat::SetMessageBoxImpl(nullptr); }

  // Simulated time in steps of 100 ms, the peer answering after each.
  void Run(int ms) {
    for (int t = 0; t <= ms; t += 100) {
      loop.RunUntilIdle();
      for (const CSTAMessage& a : peer.Answers()) link.OnLinkMessage(linkev::kIncoming, 0, &a);
      loop.RunUntilIdle();
      loop.Advance(100);
    }
  }
  bool Started() const {
    return link.GetLinkState() == linkstate::kRunning && filter.JobState() == 0 && view.Count(hub::kMonitoringStarted) == 1;
  }
  std::uint32_t StateOf(const char* n) { return table->FindByNumber(n)->monitorState; }
};

class StartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::make_unique<CGlobalConfig>(GlobalConfig());
    CGlobalConfig& c = GlobalConfig();
    c.SDFN.clear();
    c.CPID = CSytemObject::kNetworkPort;
    c.NTPAR = 0;
    c.NIU = 1;
    c.OLDPROTOCOLL = 0;
    c.SYSCON = 0;
    c.MCTO = 5;
  }
  void TearDown() override { GlobalConfig() = *saved_; }
  std::unique_ptr<CGlobalConfig> saved_;
};

TEST_F(StartUpTest, AnsweredStartUpRunsWhole) {
  Rig r;
  r.link.Open(r.view.id);
  r.Run(3000);
  ASSERT_TRUE(r.Started());
  for (const char* n : {"21", "22", "23"}) {
    EXPECT_EQ(r.StateOf(n), static_cast<std::uint32_t>(CMonitorEntry::kMonitored)) << n;
    EXPECT_EQ(r.table->FindByNumber(n)->crossRefId, r.peer.xrefs[n]) << n;
  }
  EXPECT_EQ(r.peer.Count(CSTA_QUERY_FWD), 3u);
  EXPECT_EQ(r.peer.Count(CSTA_SNAPSHOT_DEVICE), 3u);
  // Each monitor request has an invoke id of its own.
  std::vector<std::uint32_t> ids;
  for (const auto& m : r.peer.sent)
    if (m.Type() == CSTA_MONITOR_DEVICE) ids.push_back(m.InvokeId());
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_NE(ids[0], 0u);
  EXPECT_NE(ids[0], ids[1]);
  EXPECT_NE(ids[1], ids[2]);
}

// Each start-up step refused with every failure code: the refused request
// is not sent again and the start-up reaches its end.
TEST_F(StartUpTest, EveryRefusedStepGoesOnForEveryCode) {
  struct Step {
    const char* name;
    std::uint16_t type;
    int nth;  // which request of the type is refused
    std::size_t sentOfType;
  } const steps[] = {
      {"device count", CSTA_PRIVATE, 0, 1},     {"capabilities", CSTA_GETAPI_CAPS, 0, 1},
      {"monitor 22", CSTA_MONITOR_DEVICE, 1, 3}, {"forwarding 21", CSTA_QUERY_FWD, 0, 3},
      {"forwarding 23", CSTA_QUERY_FWD, 2, 3},   {"snapshot 22", CSTA_SNAPSHOT_DEVICE, 1, 3},
  };
  for (const Step& step : steps) {
    for (int code = 0; code <= 100; ++code) {
      SCOPED_TRACE(std::string(step.name) + ", code " + std::to_string(code));
      Rig r;
      r.peer.failCode = code;
      r.peer.rule = [&](const CSTAMessage& m, int nth) {
        return m.Type() == step.type && nth == step.nth ? Answer::kFail : Answer::kAnswer;
      };
      r.link.Open(r.view.id);
      r.Run(8000);
      ASSERT_TRUE(r.Started()) << "link state " << r.link.GetLinkState() << ", job " << r.filter.JobState();
      EXPECT_EQ(r.peer.Count(step.type), step.sentOfType);
      EXPECT_EQ(r.view.Count(hub::kRequestGivenUp), 0);
      if (step.type == CSTA_MONITOR_DEVICE) {
        EXPECT_EQ(r.StateOf("22"), static_cast<std::uint32_t>(CMonitorEntry::kStartFailed));
        EXPECT_EQ(r.StateOf("23"), static_cast<std::uint32_t>(CMonitorEntry::kMonitored));
        EXPECT_EQ(r.table->FindByNumber("23")->crossRefId, r.peer.xrefs["23"]);
      }
      if (step.type == CSTA_GETAPI_CAPS) EXPECT_EQ(r.peer.Count(CSTA_MONITOR_DEVICE), 3u);
    }
  }
}

// A request that gets no answer at all: four repeats, then the step gives
// up, its job released and the view told; the queries end their run.
TEST_F(StartUpTest, AnUnansweredStepGivesUp) {
  struct Step {
    const char* name;
    std::uint16_t type;
    bool endsRunning;
  } const steps[] = {
      {"device count", CSTA_PRIVATE, false},
      {"capabilities", CSTA_GETAPI_CAPS, false},
      {"forwarding", CSTA_QUERY_FWD, true},
      {"snapshot", CSTA_SNAPSHOT_DEVICE, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    Rig r;
    r.peer.rule = [&](const CSTAMessage& m, int) { return m.Type() == step.type ? Answer::kSilent : Answer::kAnswer; };
    r.link.Open(r.view.id);
    r.Run(12000);
    EXPECT_EQ(r.filter.JobState(), 0u);
    EXPECT_EQ(r.view.Count(hub::kRequestGivenUp), 1);
    EXPECT_EQ(r.peer.Count(step.type), 5u);  // the request and four repeats
    EXPECT_EQ(r.Started(), step.endsRunning) << "link state " << r.link.GetLinkState();
  }
}

// Unrelated events while a start-up request waits do not stop its repeat.
TEST_F(StartUpTest, EventsDoNotCountAsTheAnswer) {
  Rig r;
  r.peer.rule = [](const CSTAMessage& m, int nth) {
    return m.Type() == CSTA_PRIVATE && nth == 0 ? Answer::kSilent : Answer::kAnswer;
  };
  r.link.Open(r.view.id);
  CSTAMessage ev;
  ev.SetType(CSTA_CONNECTION_CLEARED);
  for (int i = 0; i < 5; ++i) {
    r.Run(200);
    r.link.OnLinkMessage(linkev::kIncoming, 0, &ev);
  }
  r.Run(6000);
  EXPECT_EQ(r.peer.Count(CSTA_PRIVATE), 2u);  // repeated once, then answered
  EXPECT_TRUE(r.Started());
}

// A device count that leaves every watched extension outside the shown
// entries: nothing to monitor, the warning, and the start-up still ends.
TEST_F(StartUpTest, ADeviceCountBelowTheWatchedExtensions) {
  Rig r;
  r.peer.devices = "2";
  r.link.Open(r.view.id);
  r.Run(3000);
  EXPECT_EQ(r.table->GetShownCount(), 2);
  EXPECT_EQ(r.peer.Count(CSTA_MONITOR_DEVICE), 0u);
  EXPECT_EQ(r.boxes.shown.size(), 1u);
  EXPECT_TRUE(r.Started()) << "link state " << r.link.GetLinkState() << ", job " << r.filter.JobState();
}

// A monitor confirmation after its entry's time-out stops that monitor;
// the entry then in progress keeps waiting for its own, and a call lands
// on the extension it belongs to.
TEST_F(StartUpTest, ALateMonitorConfirmationStopsThatMonitor) {
  Rig r;
  CCallHandler handler;
  handler.monitors = r.table.get();
  handler.link = &r.link;
  r.filter.callHandler = &handler;
  for (const char* n : {"21", "22", "23"}) r.table->FindByNumber(n)->watchMode = CMonitorEntry::kExtended;
  r.peer.rule = [](const CSTAMessage& m, int nth) {
    return m.Type() == CSTA_MONITOR_DEVICE && nth < 2 ? Answer::kLate : Answer::kAnswer;
  };
  r.link.Open(r.view.id);
  r.Run(5500);  // 21 timed out; 22 asked
  ASSERT_EQ(r.peer.late.size(), 2u);
  const std::uint32_t late21 = r.peer.late[0].U32(10);
  r.link.OnLinkMessage(linkev::kIncoming, 0, &r.peer.late[0]);  // 21's, 5.5 s late
  r.Run(300);
  r.link.OnLinkMessage(linkev::kIncoming, 0, &r.peer.late[1]);  // 22's
  r.Run(2000);
  ASSERT_TRUE(r.Started());
  EXPECT_EQ(r.StateOf("21"), static_cast<std::uint32_t>(CMonitorEntry::kStartFailed));
  EXPECT_EQ(r.table->FindByNumber("21")->crossRefId, 0u);
  for (const char* n : {"22", "23"}) {
    EXPECT_EQ(r.StateOf(n), static_cast<std::uint32_t>(CMonitorEntry::kMonitored)) << n;
    EXPECT_EQ(r.table->FindByNumber(n)->crossRefId, r.peer.xrefs[n]) << n;
  }
  std::vector<std::uint32_t> stopped;
  for (const auto& m : r.peer.sent)
    if (m.Type() == CSTA_MONITOR_STOP) stopped.push_back(m.U32(10));
  EXPECT_EQ(stopped, std::vector<std::uint32_t>{late21});

  // A call for 22 is recorded on 22.
  CSTAMessage d;
  d.SetType(CSTA_DELIVERED);
  d.SetCrossRefId(r.peer.xrefs["22"]);
  CSTAConnectionId{700, "22", 0}.Write(d, 10);
  d.SetText(148, 64, "0301234");
  d.SetText(216, 64, "22");
  r.link.OnLinkMessage(linkev::kIncoming, 0, &d);
  ASSERT_NE(r.table->FindByNumber("22")->currentCall, nullptr);
  EXPECT_EQ(r.table->FindByNumber("22")->currentCall->callId, 700);
  EXPECT_EQ(r.table->FindByNumber("23")->currentCall, nullptr);
  handler.JoinWorkers();
  for (const char* n : {"21", "22", "23"}) r.table->FindByNumber(n)->currentCall = nullptr;
  r.filter.callHandler = nullptr;
}

}  // namespace
