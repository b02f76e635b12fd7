#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/serial/linereceiver.h"
#include "core/serial/serialport.h"
#include "core/wire/csta_requests.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes PacketOf(const CSTAMessage& m) {
  FrameCoder coder;
  Bytes out(line::kMaxPacket);
  out.resize(EncodeMessagePacket(coder, m.data(), CSTAMessage::kSize, out.data(), out.size()));
  return out;
}

CSTAMessage Numbered(std::uint32_t n) {
  const char ext[3] = {'2', static_cast<char>('0' + n % 10), 0};
  CSTAMessage m = MonitorDeviceRequest(n, ext);
  m.SetU32(500, n * 7919u);
  return m;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Feeder {
  CLineReceiver r;
  std::vector<CSTAMessage> got;
  std::vector<CLineReceiver::Drop> drops;
  Feeder() {
    r.SetDropSink([this](CLineReceiver::Drop d, std::size_t, int) { drops.push_back(d); });
  }
  void Feed(const Bytes& b, std::size_t chunk) {
    auto sink = [this](const CSTAMessage& m) { got.push_back(m); };
    for (std::size_t i = 0; i < b.size(); i += chunk) r.Feed(b.data() + i, std::min(chunk, b.size() - i), sink);
  }
  void Idle() {
    r.Idle([this](const CSTAMessage& m) { got.push_back(m); });
  }
};

TEST(LineReceiver, WholeRecordsInAnySplit) {
  const Bytes stream = Cat({PacketOf(Numbered(1)), PacketOf(Numbered(2)), PacketOf(Numbered(3))});
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{64}, stream.size()}) {
    Feeder run;
    run.Feed(stream, chunk);
    ASSERT_EQ(run.got.size(), 3u) << "chunk " << chunk;
    EXPECT_EQ(run.got[0], Numbered(1));
    EXPECT_EQ(run.got[2], Numbered(3));
    EXPECT_TRUE(run.drops.empty());
    EXPECT_FALSE(run.r.InPacket());
  }
}

TEST(LineReceiver, NoiseAndLoneSyncBeforeAPacketAreSkipped) {
  Feeder run;
  run.Feed(Cat({{0x00, 0x16, 0x41, 0xFF, 0x16}, PacketOf(Numbered(4))}), 3);
  ASSERT_EQ(run.got.size(), 1u);
  EXPECT_EQ(run.got[0], Numbered(4));
}

TEST(LineReceiver, BadLengthsAreRefusedAndTheNextPacketFound) {
  for (std::uint16_t bad : {std::uint16_t{5}, std::uint16_t{1025}}) {
    Feeder run;
    run.Feed(Cat({{0x16, 0x16, static_cast<std::uint8_t>(bad), static_cast<std::uint8_t>(bad >> 8)},
                  PacketOf(Numbered(5))}),
             2);
    ASSERT_EQ(run.got.size(), 1u);
    ASSERT_EQ(run.drops.size(), 1u);
    EXPECT_EQ(run.drops[0], CLineReceiver::Drop::kBadLength);
  }
}

TEST(LineReceiver, WrongChecksumPostsNothingAndLosesNothingAfter) {
  Bytes bad = PacketOf(Numbered(6));
  bad.back() ^= 0x01;
  Feeder run;
  run.Feed(Cat({bad, PacketOf(Numbered(7))}), 5);
  ASSERT_EQ(run.got.size(), 1u);
  EXPECT_EQ(run.got[0], Numbered(7));
  EXPECT_EQ(run.drops, std::vector<CLineReceiver::Drop>{CLineReceiver::Drop::kBadChecksum});
}

TEST(LineReceiver, ACutPacketDoesNotSwallowTheFollowingOnes) {
  Bytes cut = PacketOf(Numbered(8));
  cut.resize(cut.size() / 2);
  Feeder run;
  run.Feed(Cat({cut, PacketOf(Numbered(9)), PacketOf(Numbered(10))}), 11);
  // The cut packet's length reaches into the next ones; once its sum fails
  // the bytes are parsed again.
  run.Feed(Cat({PacketOf(Numbered(11))}), 64);
  ASSERT_GE(run.got.size(), 2u);
  std::vector<std::uint32_t> ids;
  for (const auto& m : run.got) ids.push_back(m.InvokeId());
  EXPECT_NE(std::find(ids.begin(), ids.end(), 9u), ids.end());
  EXPECT_NE(std::find(ids.begin(), ids.end(), 10u), ids.end());
  EXPECT_EQ(std::find(ids.begin(), ids.end(), 8u), ids.end());
}

TEST(LineReceiver, QuietLineGivesUpACutPacket) {
  // A record that does not compress: its packet is long.
  CSTAMessage big;
  std::srand(3);
  for (auto& b : big.bytes) b = static_cast<std::uint8_t>(std::rand());
  Bytes cut = PacketOf(big);
  ASSERT_GT(cut.size(), 900u);
  cut.resize(10);
  Feeder run;
  run.Feed(Cat({cut, PacketOf(Numbered(13))}), 100);
  EXPECT_TRUE(run.got.empty());
  EXPECT_TRUE(run.r.InPacket());
  run.Idle();
  ASSERT_EQ(run.got.size(), 1u);
  EXPECT_EQ(run.got[0], Numbered(13));
  EXPECT_FALSE(run.r.InPacket());
  EXPECT_EQ(run.drops.front(), CLineReceiver::Drop::kIdle);
}

TEST(LineReceiver, RandomNoiseBetweenPacketsLosesNoPacket) {
  std::srand(7);
  for (int round = 0; round < 200; ++round) {
    Bytes noise(static_cast<std::size_t>(std::rand() % 40));
    for (auto& b : noise) b = static_cast<std::uint8_t>(std::rand() % 4 == 0 ? 0x16 : std::rand());
    Feeder run;
    run.Feed(Cat({PacketOf(Numbered(1)), noise, PacketOf(Numbered(2)), PacketOf(Numbered(3))}), 1 + round % 13);
    run.Idle();
    std::vector<std::uint32_t> ids;
    for (const auto& m : run.got) ids.push_back(m.InvokeId());
    for (std::uint32_t want : {1u, 2u, 3u})
      EXPECT_NE(std::find(ids.begin(), ids.end(), want), ids.end()) << "round " << round;
  }
}

TEST(LineReceiver, AMessageLongerThanTheRecordIsCutToIt) {
  std::vector<std::uint8_t> longMessage(1000);
  for (std::size_t i = 0; i < longMessage.size(); ++i) longMessage[i] = static_cast<std::uint8_t>(i * 31 + 7);
  FrameCoder coder;
  Bytes packet(line::kMaxPacket);
  packet.resize(EncodeMessagePacket(coder, longMessage.data(), longMessage.size(), packet.data(), packet.size()));
  ASSERT_FALSE(packet.empty());
  Feeder run;
  run.Feed(packet, 97);
  ASSERT_EQ(run.got.size(), 1u);
  EXPECT_TRUE(std::equal(run.got[0].bytes.begin(), run.got[0].bytes.end(), longMessage.begin()));
}

TEST(SerialPortNames, PortIndexMapsToDevice) {
  EXPECT_EQ(CSerialPort::PortName(0), "COM1");
  EXPECT_EQ(CSerialPort::PortName(2), "COM3");
  ::unsetenv("PALOMIR_COM3");
  EXPECT_EQ(CSerialPort::DevicePath("COM3"), "/dev/ttyS2");
  EXPECT_EQ(CSerialPort::DevicePath("COM1"), "/dev/ttyS0");
  ::setenv("PALOMIR_COM3", "/dev/ttyUSB0", 1);
  EXPECT_EQ(CSerialPort::DevicePath("COM3"), "/dev/ttyUSB0");
  EXPECT_EQ(CSerialPort::DevicePath("COM2"), "/dev/ttyS1");
  ::unsetenv("PALOMIR_COM3");
  EXPECT_EQ(CSerialPort::DevicePath(CSerialPort::PortName(9)), "");  // "COM:"
  EXPECT_EQ(CSerialPort::DevicePath("COM0"), "");
  EXPECT_EQ(CSerialPort::DevicePath("LPT1"), "");
}

TEST(SerialPortNames, DtrIsHeldDownWhenIo1008IsOne) {
  const auto usual = CSerialPort::ModemLinesAtOpen(0);
  EXPECT_EQ(usual.raise, TIOCM_RTS | TIOCM_DTR);
  EXPECT_EQ(usual.lower, 0);
  // Opening the device has raised DTR already: it is taken down again.
  const auto held = CSerialPort::ModemLinesAtOpen(1);
  EXPECT_EQ(held.raise, TIOCM_RTS);
  EXPECT_EQ(held.lower, TIOCM_DTR);
}

TEST(SerialPortNames, ErrorBits) {
  EXPECT_STREQ(CSerialPort::ErrorName(1), "CE_RXOVER");
  EXPECT_STREQ(CSerialPort::ErrorName(512), "W95:CE_PTO");
  EXPECT_STREQ(CSerialPort::ErrorName(32768), "CE_MODE");
  EXPECT_STREQ(CSerialPort::ErrorName(3), "");
  EXPECT_STREQ(CSerialPort::ErrorName(64), "");
}

}  // namespace
