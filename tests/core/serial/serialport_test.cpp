#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/serial/serialport.h"
#include "core/wire/csta_requests.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/trace.h"
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
  // The worker counts a post once it has gone out, so the count may trail
  // the message that reached the owner.
  EXPECT_TRUE(PumpUntil(loop, [&] { return port.MessagesPosted() == 2u; })) << port.MessagesPosted();
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

// A hang-up ends the worker (a hung-up line stays readable for ever) and
// is reported once, to the loss target.
TEST_F(SerialPortTest, ThePeerGoingAwayEndsTheWorkerAndIsReportedOnce) {
  Owner link;
  CSerialPort port;
  port.SetLossTarget(link.id);
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  ASSERT_TRUE(port.WorkerRunning());
  sim.Stop();
  ASSERT_TRUE(PumpUntil(loop, [&] { return !link.got.empty(); }));
  EXPECT_TRUE(port.LineLost());
  EXPECT_FALSE(port.WorkerRunning());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  loop.RunUntilIdle();
  ASSERT_EQ(link.got.size(), 1u);
  EXPECT_EQ(link.got[0].msg, CSerialPort::kMsgLineLost);
  EXPECT_TRUE(owner.got.empty());
  const auto t0 = Clock::now();
  port.Close();
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count(), 200);
}

// The serial trace switched on for one test, its events recorded.
class TracedPort {
 public:
  explicit TracedPort(plat::ITraceBackend* backend) : saved_(GlobalConfig().TOLECOPOLOGDLL) {
    GlobalConfig().TOLECOPOLOGDLL = 1;
    plat::SetTraceBackend(backend);
  }
  ~TracedPort() {
    plat::SetTraceBackend(nullptr);
    GlobalConfig().TOLECOPOLOGDLL = saved_;
  }

 private:
  int saved_;
};

std::vector<plat::TraceEvent> ComProcess(const plat::RecordingTraceBackend& rec, int kind) {
  std::vector<plat::TraceEvent> out;
  for (const auto& e : rec.Events())
    if (e.channel == plat::TraceEvent::Com && e.op == plat::TraceEvent::Process && e.kind == kind) out.push_back(e);
  return out;
}

TEST_F(SerialPortTest, TraceKindsCarryWhatTheirNumbersSay) {
  plat::RecordingTraceBackend rec;
  TracedPort traced(&rec);
  CSerialPort port;
  ASSERT_EQ(port.Open(4, owner.id), CSerialPort::kStatusOpen);
  CSTAMessage a;
  a.SetType(CSTA_HELD);
  a.SetInvokeId(1);
  sim.Send(a);
  sim.InjectNoise(pbxsim::Noise::kWrongChecksum);
  sim.SendRaw({0x16, 0x16, 0x05, 0x00});
  sim.Send(a);
  ASSERT_TRUE(PumpUntil(loop, [&] { return owner.got.size() == 2; }));

  const auto checked = ComProcess(rec, 14);
  ASSERT_EQ(checked.size(), 2u);
  EXPECT_EQ(checked[0].number, CSTAMessage::kSize);  // the message length
  EXPECT_GE(checked[0].value, 7);
  bool lengthAccepted = false;
  for (const auto& e : ComProcess(rec, 2)) lengthAccepted |= e.value == checked[0].value;
  EXPECT_TRUE(lengthAccepted);
  EXPECT_FALSE(ComProcess(rec, 10).empty());  // the wrong checksum
  bool refused5 = false;
  for (const auto& e : ComProcess(rec, 13)) refused5 |= e.value == 5;
  EXPECT_TRUE(refused5);

  rec.Clear();
  auto area = SendArea(MakeCallRequest(7, 1002, "21", "0301234567"));
  ASSERT_EQ(port.Send(area.data(), area.size()), 1);
  const auto before = ComProcess(rec, 15);
  const auto written = ComProcess(rec, 1);
  ASSERT_EQ(before.size(), 1u);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(before[0].value, CSTASendLength(CSTA_MAKE_CALL));  // the plain length
  EXPECT_EQ(static_cast<long>(before[0].number) + 6, written[0].value);  // the frame length
}

// A pseudo-terminal of the test's own, with a second handle on its line.
struct OwnLine {
  int master = -1;
  int slave = -1;
  std::string path;
  OwnLine() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::ptsname_r(master, name, sizeof name) != 0)
      return;
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  }
  ~OwnLine() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  bool Ok() const { return slave >= 0; }
};

TEST(SerialPortLine, AShortWriteTracesTheCountExpected) {
  plat::ManualLoop loop;
  Owner owner;
  plat::RecordingTraceBackend rec;
  TracedPort traced(&rec);
  OwnLine line;
  ASSERT_TRUE(line.Ok());
  CSerialPort port;
  ASSERT_EQ(port.OpenDevice(line.path, "COM5", owner.id), CSerialPort::kStatusOpen);
  // Nobody reads the other end: fill the line until it takes no more, even
  // once the terminal has moved what it holds along.
  const std::vector<std::uint8_t> junk(4096, 0x55);
  for (int round = 0; round < 100; ++round) {
    while (::write(line.slave, junk.data(), junk.size()) > 0) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (::write(line.slave, junk.data(), 1) <= 0) break;
  }
  auto area = SendArea(GetApiCapsRequest(1, 0));
  EXPECT_EQ(port.Send(area.data(), area.size()), 0);
  const auto shortWrite = ComProcess(rec, 7);
  ASSERT_EQ(shortWrite.size(), 1u);
  const auto before = ComProcess(rec, 15);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(shortWrite[0].value, static_cast<long>(before[0].number) + 6);  // F + 6 expected
  EXPECT_LT(shortWrite[0].number, static_cast<std::uintptr_t>(shortWrite[0].value));  // fewer written
}

// Each read of the port brings the next bytes onto the line before the
// worker reads again, so its input never runs dry.
class EndlessLine : public plat::ITraceBackend {
 public:
  explicit EndlessLine(const OwnLine& line) : line_(line) {}
  std::atomic<bool> feeding{true};
  std::atomic<int> reads{0};
  std::uint32_t Handle(const plat::TraceEvent& e) override {
    if (e.op == plat::TraceEvent::Open) return 1;
    if (e.channel != plat::TraceEvent::Com || e.op != plat::TraceEvent::Process || e.kind != 0) return 0;
    ++reads;
    if (!feeding) return 0;
    const std::vector<std::uint8_t> noise(512, 0x00);
    [[maybe_unused]] ssize_t w = ::write(line_.master, noise.data(), noise.size());
    const auto end = Clock::now() + std::chrono::milliseconds(200);
    for (int queued = 0; queued == 0 && Clock::now() < end;) ::ioctl(line_.slave, FIONREAD, &queued);
    return 0;
  }

 private:
  const OwnLine& line_;
};

TEST(SerialPortLine, CloseEndsAReceiveWhoseInputNeverRunsDry) {
  Owner owner;
  OwnLine line;
  ASSERT_TRUE(line.Ok());
  EndlessLine endless(line);
  TracedPort traced(&endless);
  CSerialPort port;
  ASSERT_EQ(port.OpenDevice(line.path, "COM5", owner.id), CSerialPort::kStatusOpen);
  const std::vector<std::uint8_t> noise(64, 0x00);
  ASSERT_EQ(::write(line.master, noise.data(), noise.size()), 64);
  const auto end = Clock::now() + std::chrono::seconds(3);
  while (endless.reads < 3 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GE(endless.reads, 3);
  auto closing = std::async(std::launch::async, [&] { port.Close(); });
  const bool prompt = closing.wait_for(std::chrono::milliseconds(2000)) == std::future_status::ready;
  endless.feeding = false;  // lets a stuck close finish, so the test ends
  closing.get();
  EXPECT_TRUE(prompt);
  EXPECT_FALSE(port.WorkerRunning());
}

}  // namespace
