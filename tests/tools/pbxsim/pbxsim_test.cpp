#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"
#include "core/wire/line_packet.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

// The program's side of the line, from the wire formats only.
class Line {
 public:
  explicit Line(const std::string& device) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios t{};
    ::tcgetattr(fd_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd_, TCSANOW, &t);
  }
  ~Line() { ::close(fd_); }
  bool ok() const { return fd_ >= 0; }
  void Send(const CSTAMessage& m) {
    std::vector<std::uint8_t> p(line::kMaxPacket);
    p.resize(EncodeMessagePacket(coder_, m, p.data(), p.size()));
    ASSERT_EQ(::write(fd_, p.data(), p.size()), static_cast<ssize_t>(p.size()));
  }
  // Collects records until `count` arrived or the time is up.
  std::vector<CSTAMessage> Read(std::size_t count, int timeoutMs = 2000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got_.size() < count && Clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      std::uint8_t buf[4096];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n > 0)
        receiver_.Feed(buf, static_cast<std::size_t>(n), [&](const SerialReceiver::Result& r) {
          if (r.message) got_.push_back(*r.message);
          else ++bad_;
        });
    }
    std::vector<CSTAMessage> out;
    out.swap(got_);
    return out;
  }
  int bad() const { return bad_; }

 private:
  int fd_ = -1;
  FrameCoder coder_;
  SerialReceiver receiver_;
  std::vector<CSTAMessage> got_;
  int bad_ = 0;
};

class PbxSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start());
    line = std::make_unique<Line>(sim.SlavePath());
    ASSERT_TRUE(line->ok());
  }
  // Monitors 21 and 22 and drains the confirmations.
  void MonitorTwo() {
    line->Send(MonitorDeviceRequest(0, "21"));
    line->Send(MonitorDeviceRequest(0, "22"));
    ASSERT_EQ(line->Read(2).size(), 2u);
  }
  pbxsim::PbxSim sim;
  std::unique_ptr<Line> line;
};

TEST_F(PbxSimTest, AnswersTheStartUp) {
  line->Send(PrivateRequest(1, 0, EXTPBX_GETMAXNUMBEROFDEVICES));
  line->Send(GetApiCapsRequest(2, 0));
  line->Send(MonitorDeviceRequest(0, "21"));
  line->Send(MonitorDeviceRequest(0, "22"));
  line->Send(MonitorDeviceRequest(0, "21"));  // again: the same id
  auto r = line->Read(5);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].Type(), CSTA_PRIVATE);
  EXPECT_EQ(r[0].PrivateKind(), EXTPBX_GETMAXNUMBEROFDEVICES_CONF);
  EXPECT_EQ(r[0].InvokeId(), 1u);
  EXPECT_EQ(ReadPrivateReply(r[0]).count, "60");
  const ApiCapsConf caps = ReadApiCapsConf(r[1]);
  EXPECT_TRUE(caps.answersQueryForwarding);
  EXPECT_TRUE(caps.answersSnapshotDevice);
  EXPECT_EQ(r[2].Type(), CSTA_MONITOR_CONF);
  EXPECT_EQ(ReadMonitorConf(r[2]).crossRefId, 1001u);
  EXPECT_EQ(ReadMonitorConf(r[3]).crossRefId, 1002u);
  EXPECT_EQ(ReadMonitorConf(r[4]).crossRefId, 1001u);
  EXPECT_EQ(sim.CrossRefIdOf("22"), 1002u);

  line->Send(QueryForwardingRequest(3, 1001, "21"));
  line->Send(SnapshotDeviceRequest(4, 1002, "22"));
  line->Send(MonitorStopRequest(0, 1002));
  line->Send(MonitorStopRequest(0, 4711));
  r = line->Read(4);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].Type(), CSTA_QUERY_FWD_CONF);
  EXPECT_EQ(r[0].CrossRefId(), 1001u);
  EXPECT_EQ(r[1].Type(), CSTA_SNAPSHOT_DEVICE_CONF);
  EXPECT_EQ(ReadSnapshotDeviceConf(r[1]).device, "22");
  EXPECT_EQ(r[2].Type(), CSTA_MONITOR_STOP_CONF);
  EXPECT_EQ(r[2].CrossRefId(), 1002u);
  EXPECT_EQ(r[3].Type(), CSTA_UNIVERSAL_FAILURE_CONF);
  EXPECT_EQ(ReadUniversalFailureCode(r[3]), 17);
  EXPECT_EQ(sim.Monitored(), std::vector<std::string>{"21"});
}

TEST_F(PbxSimTest, IncomingCallScenarioReachesEveryMonitoredParty) {
  MonitorTwo();
  const std::uint32_t id = sim.IncomingCall("22", "21");
  auto r = line->Read(2);
  ASSERT_EQ(r.size(), 2u);
  for (const auto& m : r) {
    EXPECT_EQ(m.Type(), CSTA_DELIVERED);
    const DeliveredEvent d = ReadDelivered(m);
    EXPECT_EQ(d.connection.callId, id);
    EXPECT_EQ(d.callingDevice.device, "22");
    EXPECT_EQ(d.calledDevice.device, "21");
    EXPECT_EQ(d.connection.device, m.CrossRefId() == 1001u ? "21" : "22");
  }
  sim.Answer(id);
  sim.Hold(id, "21");
  sim.Retrieve(id, "21");
  sim.Clear(id, "22");
  r = line->Read(8);
  ASSERT_EQ(r.size(), 8u);
  EXPECT_EQ(r[0].Type(), CSTA_ESTABLISHED);
  EXPECT_EQ(r[2].Type(), CSTA_HELD);
  EXPECT_EQ(ReadHeld(r[2]).device.device, "21");
  EXPECT_EQ(r[4].Type(), CSTA_RETRIEVED);
  EXPECT_EQ(r[6].Type(), CSTA_CONNECTION_CLEARED);
  EXPECT_EQ(ReadConnectionCleared(r[6]).releasingDevice.device, "22");
  EXPECT_FALSE(sim.HasCall(id));
}

TEST_F(PbxSimTest, ConfirmsCallRequestsAndPlaysBusyAndFailures) {
  pbxsim::Options o;
  o.busyNumbers = {"0301111"};
  o.failNumbers = {{"0302222", 33}};
  sim.Stop();
  pbxsim::PbxSim busy(o);
  ASSERT_TRUE(busy.Start());
  Line l(busy.SlavePath());
  l.Send(MonitorDeviceRequest(0, "21"));
  ASSERT_EQ(l.Read(1).size(), 1u);

  l.Send(MakeCallRequest(5, 1001, "21", "0301234"));
  auto r = l.Read(3);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].Type(), CSTA_MAKE_CALL_CONF);
  EXPECT_EQ(r[0].InvokeId(), 5u);
  const std::uint32_t id = ReadMakeCallConf(r[0]).newCall.callId;
  EXPECT_EQ(r[1].Type(), CSTA_SERVICE_INITIATED);
  EXPECT_EQ(r[2].Type(), CSTA_DELIVERED);

  l.Send(HoldCallRequest(6, 1001, id, "21", "0301234"));
  r = l.Read(2);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].Type(), CSTA_HOLD_CALL_CONF);
  EXPECT_EQ(r[1].Type(), CSTA_HELD);
  l.Send(ClearConnectionRequest(7, 1001, id, "21"));
  r = l.Read(2);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].Type(), CSTA_CLEAR_CONNECTION_CONF);
  EXPECT_EQ(r[1].Type(), CSTA_CONNECTION_CLEARED);
  l.Send(ClearConnectionRequest(8, 1001, id, "21"));  // gone
  r = l.Read(1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(ReadUniversalFailureCode(r[0]), 26);

  l.Send(MakeCallRequest(9, 1001, "21", "0301111"));
  r = l.Read(3);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[2].Type(), CSTA_FAILED);
  EXPECT_EQ(ReadFailed(r[2]).cause, pbxsim::kCauseBusy);
  l.Send(MakeCallRequest(10, 1001, "21", "0302222"));
  r = l.Read(1);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].InvokeId(), 10u);
  EXPECT_EQ(ReadUniversalFailureCode(r[0]), 33);
}

TEST_F(PbxSimTest, TransferMergesTheCalls) {
  MonitorTwo();
  const std::uint32_t held = sim.IncomingCall("0301", "21");
  const std::uint32_t active = sim.OutgoingCall("21", "22");
  line->Read(4);
  line->Send(TransferCallRequest(3, 1001, held, "0301", active, "22"));
  auto r = line->Read(3);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].Type(), CSTA_TRANSFER_CALL_CONF);
  EXPECT_EQ(r[1].Type(), CSTA_TRANSFERRED);
  const TransferredEvent t = ReadTransferred(r[1]);
  EXPECT_EQ(t.primaryOldCall.callId, held);
  EXPECT_EQ(t.secondaryOldCall.callId, active);
  EXPECT_EQ(t.secondaryOldCall.device, "21");
  // The resulting connection at 286: the merged call at the receiver, or at
  // the far side for the party that left.
  EXPECT_EQ(CSTAConnectionId::Read(r[1], 286), (CSTAConnectionId{active, "22", 0}));
  ASSERT_EQ(r[2].Type(), CSTA_TRANSFERRED);
  EXPECT_EQ(CSTAConnectionId::Read(r[2], 286), (CSTAConnectionId{active, "22", 0}));
  EXPECT_EQ(CSTAConnectionId::Read(r[2], 424), CSTAConnectionId{});
  EXPECT_FALSE(sim.HasCall(held));
  EXPECT_TRUE(sim.HasCall(active));
}

TEST_F(PbxSimTest, LogsEveryRecordReadably) {
  line->Send(MakeCallRequest(0, 1001, "21", "0301234567"));
  ASSERT_TRUE(sim.WaitForCount(CSTA_MAKE_CALL, 1, 2000));
  line->Read(1);
  const auto log = sim.Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0], "<- CSTA_MAKE_CALL inv=0 xref=1001 calling=21 called=0301234567");
  EXPECT_EQ(log[1].rfind("-> CSTA_MAKE_CALL_CONF inv=0 xref=1001 new=501/21", 0), 0u) << log[1];
  CSTAMessage h = HoldCallRequest(1, 1001, 501, "21", "0301234");
  EXPECT_EQ(pbxsim::PbxSim::Describe(h), "CSTA_HOLD_CALL inv=1 xref=1001 call=501 device=21 other=0301234");
  EXPECT_EQ(pbxsim::PbxSim::Describe(PrivateRequest(2, 0, EXTPBX_GETMAXNUMBEROFDEVICES)),
            "EXTPBX_GETMAXNUMBEROFDEVICES inv=2 xref=0 text=");
}

TEST_F(PbxSimTest, NoiseIsWhatItSays) {
  sim.InjectNoise(pbxsim::Noise::kWrongChecksum);
  sim.InjectNoise(pbxsim::Noise::kRandomBytes, 10);
  CSTAMessage m;
  m.SetType(CSTA_HELD);
  m.SetInvokeId(3);
  sim.Send(m);
  // The reader here has no resynchronisation: the bad sum is seen as such.
  auto r = line->Read(1);
  EXPECT_GE(line->bad(), 1);
  const auto log = sim.Log();
  EXPECT_EQ(log.at(0), "-> noise: packet with a wrong checksum");
  EXPECT_EQ(log.at(1), "-> noise: 10 random bytes");
}

TEST_F(PbxSimTest, CommandsDriveTheScenarios) {
  MonitorTwo();
  std::string out;
  EXPECT_TRUE(pbxsim::RunCommand(sim, "incoming 0301 21", out));
  EXPECT_EQ(out, "call 501");
  EXPECT_TRUE(pbxsim::RunCommand(sim, "answer", out));
  EXPECT_TRUE(pbxsim::RunCommand(sim, "hold 21 501", out));
  EXPECT_TRUE(pbxsim::RunCommand(sim, "clear 21", out));
  EXPECT_TRUE(pbxsim::RunCommand(sim, "monitors", out));
  EXPECT_EQ(out, "21=1001 22=1002 ");
  EXPECT_TRUE(pbxsim::RunCommand(sim, "# a comment", out));
  EXPECT_TRUE(pbxsim::RunCommand(sim, "bogus", out));
  EXPECT_EQ(out, "unknown command: bogus");
  EXPECT_FALSE(pbxsim::RunCommand(sim, "quit", out));
  auto r = line->Read(4);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].Type(), CSTA_DELIVERED);
  EXPECT_EQ(r[1].Type(), CSTA_ESTABLISHED);
  EXPECT_EQ(r[2].Type(), CSTA_HELD);
  EXPECT_EQ(r[3].Type(), CSTA_CONNECTION_CLEARED);
}

}  // namespace
