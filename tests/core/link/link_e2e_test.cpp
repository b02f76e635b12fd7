// The whole link on a pseudo-terminal: the simulated PBX on one side; the
// link object, the real message filter, call handler and monitor table on
// the other, driven by a stand-in for the view's message and timer duties.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "core/serial/serialport.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "tests/core/link/linkrig.h"
#include "tests/support/childprocess.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The view's part, and received records handed over as the view does.
struct View : ViewStandIn {
  bool Other(const plat::Message& m) override {
    if (m.msg != CSytemObject::kMsgReceived) return false;
    if (m.payload.size() >= CSTAMessage::kSize && link) {
      const CSTAMessage copy = CSTAMessage::FromBytes(m.payload.data(), m.payload.size());
      link->OnLinkMessage(linkev::kIncoming, 0, &copy);
    }
    return true;
  }
};

class LinkEndToEnd : public LinkRig {
 protected:
  void SetUp() override {
    SetUpLink("seriallink_e2e_", 4, view);  // COM5
    simHolder_ = std::make_unique<pbxsim::PbxSim>(SimOptions());
    sim = simHolder_.get();
    ASSERT_TRUE(sim->Start());
    ::setenv("PALOMIR_COM5", sim->SlavePath().c_str(), 1);
  }
  void TearDown() override {
    StopCalls();
    DropLink();
    ::unsetenv("PALOMIR_COM5");
    simHolder_.reset();
    Restore();
  }
  // The program's log goes to a file of the test's own.
  std::string LogToFile() {
    const std::string path = (dir_ / "palomir.log").string();
    GlobalConfig().GLFN = path;
    GlobalConfig().GLO = 1;
    return path;
  }
  static int LinesWith(const std::string& path, const std::string& text) {
    std::ifstream f(path);
    int n = 0;
    for (std::string line; std::getline(f, line);) n += line.find(text) != std::string::npos;
    return n;
  }

  // Real time for the line, the loop's clock moving along with it.
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      loop.RunUntilIdle();
      if (pred()) return true;
      loop.Advance(2);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    loop.RunUntilIdle();
    return pred();
  }
  bool Running() {
    return Pump([&] {
      return link->GetLinkState() == linkstate::kRunning && view.Saw(hub::kMonitoringStarted);
    });
  }
  const CSTAMessage* RingFind(std::uint16_t type) const {
    for (int i = 0; i < CSytemObject::kRingSize; ++i)
      if (const CSTAMessage* m = link->RingAt(i); m && m->Type() == type) return m;
    return nullptr;
  }
  bool RingHas(std::uint16_t type, std::uint32_t callId) const {
    for (int i = 0; i < CSytemObject::kRingSize; ++i)
      if (const CSTAMessage* m = link->RingAt(i); m && m->Type() == type && m->U32(10) == callId) return true;
    return false;
  }

  virtual pbxsim::Options SimOptions() const { return {}; }
  std::unique_ptr<pbxsim::PbxSim> simHolder_;
  pbxsim::PbxSim* sim = nullptr;
  View view;
};

TEST_F(LinkEndToEnd, StartUpCallsAndShutDown) {
  // --- start-up: device count, capabilities, three monitors, forwarding, snapshots
  link->Open(view.id);
  ASSERT_NE(link->Port(), nullptr);
  ASSERT_TRUE(Running()) << "state " << link->GetLinkState();
  EXPECT_EQ(sim->Monitored(), (std::vector<std::string>{"21", "22", "23"}));
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);  // the device count, once
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_MONITOR_DEVICE), 3u);
  ASSERT_TRUE(Pump([&] { return sim->ReceivedCount(CSTA_SNAPSHOT_DEVICE) == 3; }));
  EXPECT_EQ(sim->ReceivedCount(CSTA_QUERY_FWD), 3u);
  std::vector<std::uint16_t> order;
  for (const auto& m : sim->Received()) order.push_back(m.Type());
  ASSERT_GE(order.size(), 11u);
  EXPECT_EQ(order[0], CSTA_PRIVATE);
  EXPECT_EQ(order[1], CSTA_GETAPI_CAPS);
  EXPECT_EQ(order[2], CSTA_MONITOR_DEVICE);
  for (const char* n : {"21", "22", "23"}) {
    const CMonitorEntry* e = table->FindByNumber(n);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->monitorState, static_cast<std::uint32_t>(CMonitorEntry::kMonitored)) << n;
    EXPECT_EQ(e->crossRefId, sim->CrossRefIdOf(n)) << n;
  }
  EXPECT_EQ(filter->JobState(), 0u);

  // --- an incoming call from outside, with line noise in front of it
  sim->InjectNoise(pbxsim::Noise::kRandomBytes, 30);
  sim->InjectNoise(pbxsim::Noise::kWrongChecksum);
  const std::uint32_t callId = sim->IncomingCall("00301234567", "21");
  ASSERT_TRUE(Pump([&] {
    handler->JoinWorkers();
    return Current() != nullptr && Current()->callId == static_cast<int>(callId);
  }));
  CCallInfo* call = Current();
  EXPECT_EQ(call->callingNumber, "0301234567");  // the trunk digit cut off
  EXPECT_EQ(call->calledNumber, "21");
  EXPECT_EQ(call->direction, CCallInfo::kIncoming);

  sim->Answer(callId);
  ASSERT_TRUE(Pump([&] { return Current() && Current()->state == CCallInfo::kConnected; }))
      << "state " << (Current() ? Current()->state : -99);
  sim->InjectNoise(pbxsim::Noise::kTruncatedPacket);
  sim->Hold(callId, "21");
  ASSERT_TRUE(Pump([&] { return call->state == CCallInfo::kHeld; })) << "state " << call->state;
  EXPECT_EQ(table->FindByNumber("21")->connectionState, 4);
  sim->Retrieve(callId, "21");
  ASSERT_TRUE(Pump([&] { return call->state == CCallInfo::kConnected; })) << "state " << call->state;
  EXPECT_EQ(Current(), call);
  sim->Clear(callId, "21");
  ASSERT_TRUE(Pump([&] { return Current() == nullptr || Current()->callId != static_cast<int>(callId); }));
  EXPECT_EQ(table->FindByNumber("21")->connectionState, -1);

  // --- a make-call request leaves the link with its exact record
  sim->ClearLog();
  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  ASSERT_NE(dial, nullptr);
  dial->calledNumber = "00401234567";
  EXPECT_EQ(handler->MakeCall(dial, hub::kIdKeypad), 1);
  ASSERT_TRUE(sim->WaitForCount(CSTA_MAKE_CALL, 1, 3000));
  const CSTAMessage made = sim->Received().at(0);
  std::string dialForm;
  GlobalConfig().GetDialNumber("00401234567", dialForm);
  EXPECT_EQ(made.Type(), CSTA_MAKE_CALL);
  EXPECT_EQ(made.InvokeId(), 0u);
  EXPECT_EQ(made.CrossRefId(), sim->CrossRefIdOf("21"));
  EXPECT_EQ(made.Text(10, 64), "21");
  EXPECT_EQ(made.Text(74, 64), dialForm);
  EXPECT_EQ(made.U8(137), 0);
  const std::string logLine = sim->Log().at(0);
  EXPECT_EQ(logLine, plat::StrFormatC("<- CSTA_MAKE_CALL inv=0 xref=%lu calling=21 called=%s",
                                      static_cast<unsigned long>(sim->CrossRefIdOf("21")), dialForm.c_str()));
  // The PBX confirms; the call appears at the own extension.
  ASSERT_TRUE(Pump([&] { return Current() && Current()->callId == static_cast<int>(sim->LastCallId()); }));
  // The PBX's events of the new call are in before it ends.
  ASSERT_TRUE(Pump([&] { return RingHas(CSTA_DELIVERED, sim->LastCallId()); }));
  sim->Clear(sim->LastCallId(), "21");
  ASSERT_TRUE(Pump([&] { return Current() == nullptr; }));

  // --- stop: every extension unmonitored, the port closed promptly
  const std::vector<std::uint32_t> refs = {sim->CrossRefIdOf("21"), sim->CrossRefIdOf("22"), sim->CrossRefIdOf("23")};
  for (const char* n : {"21", "22", "23"})
    EXPECT_EQ(table->FindByNumber(n)->monitorState, static_cast<std::uint32_t>(CMonitorEntry::kMonitored)) << n;
  EXPECT_EQ(link->StopStep(), 0);
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kClosed; }));
  EXPECT_TRUE(sim->Monitored().empty()) << [&] {
    std::string all;
    for (const auto& l : sim->Log()) all += l + "\n";
    return all;
  }();
  std::vector<std::uint32_t> stopped;
  for (const auto& m : sim->Received())
    if (m.Type() == CSTA_MONITOR_STOP) stopped.push_back(m.U32(10));
  EXPECT_EQ(stopped, refs);
  EXPECT_TRUE(view.Saw(linkev::kMonitorsStopped));
  const auto t0 = Clock::now();
  EXPECT_EQ(link->StopStep(), 1);
  const auto closeMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_LT(closeMs, 100);
  EXPECT_EQ(link->Port(), nullptr);
  // The line is free again: the port can be opened anew.
  CSerialPort again;
  EXPECT_EQ(again.Open(4, view.id), CSerialPort::kStatusOpen);
}

struct NetworkPath : IPBXNetworkPath {
  int sends = 0;
  std::uint32_t SendToNetwork(std::uint32_t, const void*, std::uint32_t) override { return ++sends, 1; }
};

// With the network library in use but the serial link configured, the
// start-up goes out once, on the serial port, after it opened.
TEST_F(LinkEndToEnd, DeviceCountOnceOnTheConfiguredLink) {
  NetworkPath net;
  link->SetNetworkPath(&net);
  GlobalConfig().NIU = 1;
  link->Open(view.id);
  ASSERT_TRUE(Running());
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(net.sends, 0);
  link->SetNetworkPath(nullptr);
}

class LinkEndToEndBusy : public LinkEndToEnd {
 protected:
  pbxsim::Options SimOptions() const override {
    pbxsim::Options o;
    o.busyNumbers = {"0301111"};
    o.failNumbers = {{"0302222", 33}};
    o.answersQueryForwarding = false;
    o.answersSnapshot = false;
    return o;
  }
};

TEST_F(LinkEndToEndBusy, BusyAndFailureReachTheProgram) {
  link->Open(view.id);
  ASSERT_TRUE(Running());
  EXPECT_EQ(sim->ReceivedCount(CSTA_QUERY_FWD), 0u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_SNAPSHOT_DEVICE), 0u);

  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  dial->calledNumber = "00301111";
  ASSERT_EQ(handler->MakeCall(dial, hub::kIdKeypad), 1);
  // The failed event reaches the program (the filter hands it to listeners).
  const CSTAMessage* failed = nullptr;
  ASSERT_TRUE(Pump([&] { return (failed = RingFind(CSTA_FAILED)) != nullptr; }));
  EXPECT_EQ(failed->U16(218), pbxsim::kCauseBusy);
  const std::uint32_t busyCall = failed->U32(10);
  sim->Clear(busyCall, "21");
  ASSERT_TRUE(Pump([&] { return Current() == nullptr; }));

  CCallInfo* dial2 = handler->GetFreeCall(hub::kIdKeypad);
  dial2->calledNumber = "00302222";
  ASSERT_EQ(handler->MakeCall(dial2, hub::kIdKeypad), 1);
  ASSERT_TRUE(Pump([&] {
    for (int i = 0; i < CSytemObject::kRingSize; ++i)
      if (const CSTAMessage* m = link->RingAt(i); m && m->Type() == CSTA_UNIVERSAL_FAILURE_CONF && m->I16(10) == 33)
        return true;
    return false;
  }));
}

}  // namespace

namespace {

// The line goes away under a running link (the simulated PBX closes its
// end, as a pulled adapter would): the link closes and says so once, and
// the same link object opens again and starts up whole.
TEST_F(LinkEndToEnd, ALostLineClosesTheLinkAndItOpensAgainWhole) {
  const std::string log = LogToFile();
  link->Open(view.id);
  ASSERT_TRUE(Running());
  // A call in progress when the line goes: it ends with the line.
  const std::uint32_t before = sim->IncomingCall("00307654321", "21");
  sim->Answer(before);
  ASSERT_TRUE(Pump([&] {
    handler->JoinWorkers();
    return Current() && Current()->callId == static_cast<int>(before) && Current()->state == CCallInfo::kConnected;
  }));
  sim->Stop();
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kClosed; })) << link->GetLinkState();
  EXPECT_TRUE(link->LineLost());
  EXPECT_EQ(Current(), nullptr);
  EXPECT_EQ(table->FindByNumber("21")->currentCall, nullptr);
  EXPECT_TRUE(view.Saw(hub::kCallCleared));
  EXPECT_EQ(link->Port(), nullptr);
  EXPECT_EQ(view.Count(hub::kRequestGivenUp, linkev::kFailedLineLost), 1);
  EXPECT_EQ(LinesWith(log, "(COM5,"), 1);
  EXPECT_EQ(filter->JobState(), 0u);
  EXPECT_EQ(table->FindByNumber("22")->crossRefId, 0u);  // the PBX knows no monitor now

  // Call requests are refused and the log says why; nothing is left current.
  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  dial->calledNumber = "00401234567";
  EXPECT_EQ(handler->MakeCall(dial, hub::kIdKeypad), 0);
  EXPECT_EQ(Current(), nullptr);
  EXPECT_EQ(LinesWith(log, "MakeCall: link closed"), 1);
  Pump([] { return false; }, 200);
  EXPECT_EQ(LinesWith(log, "(COM5,"), 1);  // once

  // The port cannot open while the peer is away: silently refused.
  ::setenv("PALOMIR_COM5", (dir_ / "gone").c_str(), 1);
  EXPECT_EQ(link->Reopen(), 0);
  EXPECT_EQ(boxes.shown.size(), 0u);
  EXPECT_EQ(link->GetLinkState(), linkstate::kClosed);

  // The peer comes back.
  simHolder_ = std::make_unique<pbxsim::PbxSim>(SimOptions());
  sim = simHolder_.get();
  ASSERT_TRUE(sim->Start());
  ::setenv("PALOMIR_COM5", sim->SlavePath().c_str(), 1);
  view.Clear();
  ASSERT_EQ(link->Reopen(), 1);
  EXPECT_FALSE(link->LineLost());
  ASSERT_TRUE(Running()) << "state " << link->GetLinkState();
  EXPECT_EQ(sim->ReceivedCount(CSTA_PRIVATE), 1u);
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(sim->Monitored(), (std::vector<std::string>{"21", "22", "23"}));
  const std::uint32_t callId = sim->IncomingCall("00301234567", "21");
  ASSERT_TRUE(Pump([&] {
    handler->JoinWorkers();
    return Current() != nullptr && Current()->callId == static_cast<int>(callId);
  }));
  sim->Clear(callId, "21");
  ASSERT_TRUE(Pump([&] { return Current() == nullptr; }));
}

// Closing after a loss needs no stop steps: the link is closed already.
TEST_F(LinkEndToEnd, ALinkClosedByALossClosesAtOnce) {
  link->Open(view.id);
  ASSERT_TRUE(Running());
  sim->Stop();
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kClosed; }));
  EXPECT_EQ(link->StopStep(), 1);
  EXPECT_EQ(link->GetLinkState(), linkstate::kClosed);
  // Open (not only Reopen) also starts afresh: the device count is asked again.
  simHolder_ = std::make_unique<pbxsim::PbxSim>(SimOptions());
  sim = simHolder_.get();
  ASSERT_TRUE(sim->Start());
  ::setenv("PALOMIR_COM5", sim->SlavePath().c_str(), 1);
  link->Open(view.id);
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kRunning; }));
  EXPECT_EQ(sim->ReceivedCount(CSTA_GETAPI_CAPS), 1u);
  EXPECT_EQ(sim->Monitored().size(), 3u);
}

}  // namespace

namespace {

// The simulated PBX as a program of its own: its line reached through a
// symbolic link, its commands through a pipe.
class PeerProcess : public childprocess::ChildProcess {
 public:
  explicit PeerProcess(const std::string& linkPath)
      : ChildProcess("pbxsim", {"--link", linkPath, "--port", "5", "--quiet"}, {.out = "/dev/null"}),
        link_(linkPath) {}
  // The line is there once the link names a terminal that exists.
  bool WaitReady(int timeoutMs = 5000) const {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      std::error_code ec;
      const fs::path target = fs::read_symlink(link_, ec);
      if (!ec && fs::exists(target, ec)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  void Kill() { Stop(); }

 private:
  std::string link_;
};

// CPU time of this process (every thread), in seconds.
double ProcessCpuSeconds() {
  std::ifstream f("/proc/self/stat");
  std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  // Fields after the command name, which is in parentheses.
  std::istringstream rest(all.substr(all.rfind(')') + 2));
  std::string field;
  unsigned long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && rest >> field; ++i) {
    if (i == 14) utime = std::stoul(field);
    if (i == 15) stime = std::stoul(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The peer killed under a running link: one log line, the link closed, no
// thread left busy on the dead line, call requests refused. The peer back,
// the link opens again, starts up whole and tracks a call.
TEST_F(LinkEndToEnd, APeerKilledUnderTheLinkAndBackAgain) {
  const std::string log = LogToFile();
  const std::string linkPath = (dir_ / "pbx-com5").string();
  ::setenv("PALOMIR_COM5", linkPath.c_str(), 1);
  auto peer = std::make_unique<PeerProcess>(linkPath);
  ASSERT_TRUE(peer->Started());
  ASSERT_TRUE(peer->WaitReady());
  link->Open(view.id);
  ASSERT_NE(link->Port(), nullptr);
  ASSERT_TRUE(Running()) << "state " << link->GetLinkState();

  peer->Kill();
  ASSERT_TRUE(Pump([&] { return link->GetLinkState() == linkstate::kClosed; })) << link->GetLinkState();
  EXPECT_EQ(view.Count(hub::kRequestGivenUp, linkev::kFailedLineLost), 1);
  CCallInfo* dial = handler->GetFreeCall(hub::kIdKeypad);
  dial->calledNumber = "00401234567";
  EXPECT_EQ(handler->MakeCall(dial, hub::kIdKeypad), 0);
  EXPECT_EQ(link->MakeCall(dial), 0);

  // Nothing left working on the dead line: the process idles.
  const double cpu0 = ProcessCpuSeconds();
  const auto t0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double share = (ProcessCpuSeconds() - cpu0) / wall;
  EXPECT_LT(share, 0.02) << "CPU share " << share;
  loop.RunUntilIdle();
  EXPECT_EQ(LinesWith(log, "(COM5,"), 1);

  // The peer back on the same link name (its terminal may get the old
  // number: the dead peer's link goes first).
  fs::remove(linkPath);
  peer = std::make_unique<PeerProcess>(linkPath);
  ASSERT_TRUE(peer->WaitReady());
  view.Clear();
  ASSERT_TRUE(Pump([&] { return link->Reopen() == 1; }));
  ASSERT_TRUE(Running()) << "state " << link->GetLinkState();
  for (const char* n : {"21", "22", "23"})
    EXPECT_EQ(table->FindByNumber(n)->monitorState, static_cast<std::uint32_t>(CMonitorEntry::kMonitored)) << n;
  ASSERT_TRUE(peer->Command("incoming 00301234567 21"));
  ASSERT_TRUE(Pump([&] {
    handler->JoinWorkers();
    return Current() != nullptr && Current()->calledNumber == "21";
  }));
  EXPECT_EQ(Current()->callingNumber, "0301234567");
  link->StopStep();
  Pump([&] { return link->GetLinkState() == linkstate::kClosed; });
  link->StopStep();
}

}  // namespace
