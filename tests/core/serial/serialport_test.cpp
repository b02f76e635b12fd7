#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "core/serial/serialport.h"
#include "core/wire/csta_requests.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Owner : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  std::vector<plat::Message> got;
  ~Owner() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    got.push_back(m);
    return 0;
  }
};

// Runs the test's loop in real time until pred holds or the time is up.
template <class Pred>
bool PumpUntil(plat::ManualLoop& loop, Pred pred, int timeoutMs = 3000) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < end) {
    loop.RunUntilIdle();
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  loop.RunUntilIdle();
  return pred();
}

std::vector<std::uint8_t> SendArea(const CSTAMessage& m) {
  std::vector<std::uint8_t> area(frame::kWorkFrameSize, 0);
  const std::uint16_t n = CSTASendLength(m.Type());
  area[frame::kPlainLengthAt] = static_cast<std::uint8_t>(n);
  area[frame::kPlainLengthAt + 1] = static_cast<std::uint8_t>(n >> 8);
  std::copy(m.bytes.begin(), m.bytes.begin() + n, area.begin() + frame::kDataAt);
  return area;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.Start());
    ::setenv("PALOMIR_COM5", sim.SlavePath().c_str(), 1);
  }
  void TearDown() override { ::unsetenv("PALOMIR_COM5"); }

  plat::ManualLoop loop;
  pbxsim::PbxSim sim;
  Owner owner;
};

TEST_F(SerialPortTest, OpensThroughTheEnvironmentAndIsExclusive) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  EXPECT_EQ(port.Device(), sim.SlavePath());
  EXPECT_TRUE(port.WorkerRunning());

  CSerialPort second;
  EXPECT_EQ(second.Open(4, owner.id), CSerialPort::kStatusOpenFailed);
  EXPECT_FALSE(second.WorkerRunning());

  port.Close();
  EXPECT_FALSE(port.WorkerRunning());
  EXPECT_EQ(second.Open(4, owner.id), CSerialPort::kStatusOpen);
}

TEST_F(SerialPortTest, FailedOpensTellTheStep) {
  CSerialPort port;
  EXPECT_EQ(port.OpenDevice("/nonexistent/tty", "COM1", owner.id), CSerialPort::kStatusOpenFailed);
  EXPECT_EQ(port.OpenDevice("/dev/null", "COM1", owner.id), CSerialPort::kStatusBuildFailed);
  EXPECT_FALSE(port.WorkerRunning());
  ::setenv("PALOMIR_COM5", "", 1);  // empty: the default device
  EXPECT_EQ(CSerialPort::DevicePath("COM5"), "/dev/ttyS4");
}

TEST_F(SerialPortTest, EachReceivedMessageIsPostedAsAnOwnedRecord) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  CSTAMessage a = MonitorDeviceRequest(1, "21");
  CSTAMessage b;
  b.SetType(CSTA_DELIVERED);
  b.SetCrossRefId(1001);
  b.SetText(148, 64, "00301234567");
  sim.Send(a);
  sim.Send(b);
  ASSERT_TRUE(PumpUntil(loop, [&] { return owner.got.size() == 2; }));
  for (const auto& m : owner.got) {
    EXPECT_EQ(m.msg, CSerialPort::kMsgReceived);
    EXPECT_EQ(m.wParam, 0u);
    EXPECT_EQ(m.lParam, 982);
    ASSERT_EQ(m.payload.size(), CSTAMessage::kSize);
  }
  EXPECT_EQ(CSTAMessage::FromBytes(owner.got[0].data(), 982), a);
  EXPECT_EQ(CSTAMessage::FromBytes(owner.got[1].data(), 982), b);
  EXPECT_EQ(port.MessagesPosted(), 2u);
}

TEST_F(SerialPortTest, SendsTheTypesLengthAsAFrame) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  CSTAMessage m = MakeCallRequest(7, 1002, "21", "0301234567");
  m.SetU32(900, 0xDEADBEEF);  // beyond the 138 bytes sent: must not travel
  auto area = SendArea(m);
  EXPECT_EQ(port.Send(area.data(), area.size()), 1);
  ASSERT_TRUE(sim.WaitForCount(CSTA_MAKE_CALL, 1, 2000));
  const CSTAMessage got = sim.Received().at(0);
  CSTAMessage want = m;
  want.SetU32(900, 0);
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.Text(74, 64), "0301234567");
}

TEST_F(SerialPortTest, LineNoiseBetweenPacketsLosesNoMessage) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  std::vector<CSTAMessage> sent;
  for (std::uint32_t i = 1; i <= 9; ++i) {
    CSTAMessage m;
    m.SetType(CSTA_ESTABLISHED);
    m.SetInvokeId(i);
    sent.push_back(m);
  }
  sim.Send(sent[0]);
  sim.InjectNoise(pbxsim::Noise::kRandomBytes, 40);
  sim.Send(sent[1]);
  sim.Send(sent[2]);
  sim.InjectNoise(pbxsim::Noise::kTruncatedPacket);
  sim.Send(sent[3]);
  sim.Send(sent[4]);
  sim.InjectNoise(pbxsim::Noise::kWrongChecksum);
  sim.Send(sent[5]);
  sim.InjectNoise(pbxsim::Noise::kRandomBytes, 3);
  sim.Send(sent[6]);
  sim.InjectNoise(pbxsim::Noise::kTruncatedPacket);
  sim.Send(sent[7]);  // followed by silence: found once the line is quiet
  ASSERT_TRUE(PumpUntil(loop, [&] { return owner.got.size() >= 8; }));
  std::vector<std::uint32_t> ids;
  for (const auto& m : owner.got) ids.push_back(CSTAMessage::FromBytes(m.data(), 982).InvokeId());
  for (std::uint32_t want = 1; want <= 8; ++want)
    EXPECT_NE(std::find(ids.begin(), ids.end(), want), ids.end()) << "message " << want;
  EXPECT_GE(port.FramesDropped(), 1u);
}

TEST_F(SerialPortTest, CloseIsPromptOnAnIdlePort) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the worker waits in poll
  const auto t0 = Clock::now();
  port.Close();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_LT(ms, 100);
  EXPECT_FALSE(port.WorkerRunning());
  EXPECT_FALSE(port.IsOpen());
  port.Close();  // twice is harmless
}

TEST_F(SerialPortTest, MessagesQueuedForAnOwnerOutliveThePort) {
  auto port = std::make_unique<CSerialPort>();
  ASSERT_EQ(port->Open(4, owner.id), CSerialPort::kStatusOpen);
  CSTAMessage m;
  m.SetType(CSTA_HELD);
  m.SetInvokeId(42);
  sim.Send(m);
  const auto end = Clock::now() + std::chrono::seconds(3);
  while (port->MessagesPosted() == 0 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  port.reset();  // the queued message keeps its own copy
  loop.RunUntilIdle();
  ASSERT_EQ(owner.got.size(), 1u);
  EXPECT_EQ(CSTAMessage::FromBytes(owner.got[0].data(), 982).InvokeId(), 42u);
}

TEST_F(SerialPortTest, ThePeerGoingAwayDoesNotSpinOrHang) {
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  sim.Stop();
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  const auto t0 = Clock::now();
  port.Close();
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(), 200);
}

}  // namespace
