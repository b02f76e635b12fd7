#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/wire/csta_requests.h"
#include "core/wire/line_packet.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Event = LinePacketParser::Event;

struct Seen {
  Event event;
  Bytes frame;
  std::size_t length;
  bool operator==(const Seen&) const = default;
};

Bytes Packet(const Bytes& frame) {
  Bytes out(frame.size() + line::kOverhead);
  EXPECT_EQ(BuildLinePacket(frame.data(), frame.size(), out.data(), out.size()), out.size());
  return out;
}

// Feeds `stream` in chunks of the given sizes (cycled) and collects what the
// parser reports.
std::vector<Seen> Parse(LinePacketParser& p, const Bytes& stream, const std::vector<std::size_t>& chunks) {
  std::vector<Seen> seen;
  auto sink = [&](const LinePacketParser::Report& r) {
    Bytes f;
    if (r.event == Event::kFrame) f.assign(r.frame, r.frame + r.length);
    seen.push_back({r.event, f, r.length});
  };
  std::size_t i = 0, k = 0;
  while (i < stream.size()) {
    const std::size_t n = std::min(chunks[k++ % chunks.size()], stream.size() - i);
    p.Feed(stream.data() + i, n, sink);
    i += n;
  }
  return seen;
}

std::vector<Seen> Parse(const Bytes& stream, const std::vector<std::size_t>& chunks) {
  LinePacketParser p;
  return Parse(p, stream, chunks);
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const Bytes kFrameA = {0, 3, 0, 3, 0, 'a', 'b', 'c'};
const Bytes kFrameB = {0, 2, 0, 2, 0, 0x16, 0x16};

}  // namespace

TEST(LinePacket, BuilderBytes) {
  const Bytes p = Packet(kFrameA);
  EXPECT_EQ(p, (Bytes{0x16, 0x16, 8, 0, 0, 3, 0, 3, 0, 'a', 'b', 'c', 0x2C, 0x01}));  // 3 + 3 + 294 = 0x12C

  Bytes big(1024, 0xFF);
  const Bytes bp = Packet(big);
  EXPECT_EQ(bp.size(), 1030u);
  EXPECT_EQ(bp[2], 0x00);
  EXPECT_EQ(bp[3], 0x04);
  EXPECT_EQ(bp[1028] | (bp[1029] << 8), (1024 * 255) % 65536);

  Bytes out(2000);
  EXPECT_EQ(BuildLinePacket(big.data(), 5, out.data(), out.size()), 0u);
  EXPECT_EQ(BuildLinePacket(big.data(), 1025, out.data(), out.size()), 0u);
  EXPECT_EQ(BuildLinePacket(big.data(), 100, out.data(), 105), 0u);
}

TEST(LinePacket, ParserTakesEverySplit) {
  const Bytes stream = Cat({Packet(kFrameA), Packet(kFrameB), Packet(kFrameA)});
  const std::vector<Seen> whole = Parse(stream, {stream.size()});
  ASSERT_EQ(whole.size(), 3u);
  EXPECT_EQ(whole[0], (Seen{Event::kFrame, kFrameA, 8}));
  EXPECT_EQ(whole[1], (Seen{Event::kFrame, kFrameB, 7}));
  EXPECT_EQ(whole[2], whole[0]);

  EXPECT_EQ(Parse(stream, {1}), whole);
  for (std::size_t cut = 1; cut < stream.size(); ++cut) {
    LinePacketParser p;
    std::vector<Seen> two = Parse(p, Bytes(stream.begin(), stream.begin() + static_cast<long>(cut)), {cut});
    const std::vector<Seen> rest = Parse(p, Bytes(stream.begin() + static_cast<long>(cut), stream.end()), {1000});
    two.insert(two.end(), rest.begin(), rest.end());
    EXPECT_EQ(two, whole) << "cut at " << cut;
  }
  EXPECT_EQ(Parse(stream, {2, 3, 5, 7}), whole);
}

TEST(LinePacket, NoiseAndLoneSyncAreSkipped) {
  const Bytes noise = {0x00, 0xFF, 0x16, 0x41, 0x15, 0x17, 0x16, 0x00};
  const std::vector<Seen> seen = Parse(Cat({noise, Packet(kFrameA), {0x16}, {0x42}, Packet(kFrameB)}), {3});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].frame, kFrameA);
  EXPECT_EQ(seen[1].frame, kFrameB);
}

TEST(LinePacket, BadLengthsAndSumsAreRefusedAndTheNextPacketTaken) {
  Bytes badSum = Packet(kFrameA);
  badSum.back() ^= 0x01;
  const Bytes len5 = {0x16, 0x16, 5, 0};
  const Bytes len1025 = {0x16, 0x16, 0x01, 0x04};
  const std::vector<Seen> seen = Parse(Cat({len5, Packet(kFrameA), len1025, badSum, Packet(kFrameB)}), {1});
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[0].event, Event::kBadLength);
  EXPECT_EQ(seen[0].length, 5u);
  EXPECT_EQ(seen[1], (Seen{Event::kFrame, kFrameA, 8}));
  EXPECT_EQ(seen[2].event, Event::kBadLength);
  EXPECT_EQ(seen[2].length, 1025u);
  EXPECT_EQ(seen[3].event, Event::kBadChecksum);
  EXPECT_EQ(seen[4], (Seen{Event::kFrame, kFrameB, 7}));

  // Lengths 6 and 1024 are taken.
  const std::vector<Seen> edges = Parse(Cat({Packet(Bytes(6, 1)), Packet(Bytes(1024, 2))}), {100});
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0].length, 6u);
  EXPECT_EQ(edges[1].length, 1024u);
  EXPECT_EQ(edges[1].event, Event::kFrame);
}

TEST(LinePacket, NoValidPacketIsLostBehindNoise) {
  // A stray sync byte right before a packet makes its own sync byte look
  // like a length; the packet must still be found.
  const Bytes big(256, 0x41);
  for (const Bytes& frame : {kFrameA, kFrameB, big}) {
    const std::vector<Seen> seen = Parse(Cat({{0x16}, Packet(frame), Packet(kFrameA)}), {1});
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[seen.size() - 2].frame, frame);
    EXPECT_EQ(seen.back().frame, kFrameA);
  }

  // A packet cut short swallows the start of the next one as its data; the
  // next one is read again from inside the refused bytes.
  Bytes cut = Packet(Bytes(40, 0x33));
  cut.resize(20);
  for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
    const std::vector<Seen> seen = Parse(Cat({cut, Packet(kFrameA), Packet(kFrameB)}), {chunk});
    std::vector<Bytes> frames;
    for (const Seen& s : seen)
      if (s.event == Event::kFrame) frames.push_back(s.frame);
    EXPECT_EQ(frames, (std::vector<Bytes>{kFrameA, kFrameB})) << "chunk " << chunk;
  }

  // Random noise full of sync bytes between good packets loses none of them.
  std::uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  Bytes stream;
  int sent = 0;
  for (int round = 0; round < 200; ++round) {
    const std::size_t noise = next() % 12;
    for (std::size_t k = 0; k < noise; ++k) stream.push_back((next() >> 8) % 3 == 0 ? 0x16 : static_cast<std::uint8_t>(next() >> 16));
    const Bytes p = Packet(round % 2 ? kFrameA : kFrameB);
    stream.insert(stream.end(), p.begin(), p.end());
    ++sent;
  }
  int got = 0;
  for (const Seen& s : Parse(stream, {1, 5, 64}))
    if (s.event == Event::kFrame && (s.frame == kFrameA || s.frame == kFrameB)) ++got;
  EXPECT_GE(got, sent);
}

TEST(LinePacket, GivingUpAQuietPacketReleasesWhatItSwallowed) {
  // A cut packet that claims 500 bytes holds the good one behind it until
  // the line goes quiet and the parser gives up.
  Bytes cut = Packet(Bytes(500, 0x33));
  cut.resize(30);
  LinePacketParser p;
  std::vector<Seen> seen = Parse(p, Cat({cut, Packet(kFrameA)}), {4096});
  EXPECT_TRUE(seen.empty());
  EXPECT_NE(p.State(), 0);
  p.GiveUp([&](const LinePacketParser::Report& r) {
    Bytes f;
    if (r.event == Event::kFrame) f.assign(r.frame, r.frame + r.length);
    seen.push_back({r.event, f, r.length});
  });
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (Seen{Event::kFrame, kFrameA, 8}));
  EXPECT_EQ(p.State(), 0);
  // The parser goes on with the next packet as usual.
  EXPECT_EQ(Parse(p, Packet(kFrameB), {3}).size(), 1u);
}

TEST(SerialLink, MessagesThroughCoderAndPacket) {
  FrameCoder tx;
  std::vector<Bytes> packets;
  std::vector<CSTAMessage> sent = {MakeCallRequest(1, 2, "21", "0891234567"),
                                   HoldCallRequest(2, 2, 7, "21", "0891234567"),
                                   PrivateRequest(3, 0, EXTPBX_GETMAXNUMBEROFDEVICES),
                                   MonitorStopRequest(4, 99)};
  Bytes stream = {0x55, 0x16, 0x00};
  for (const auto& m : sent) {
    Bytes out(line::kMaxPacket);
    const std::size_t n = EncodeMessagePacket(tx, m, out.data(), out.size());
    ASSERT_GT(n, 0u);
    // Plain length = the type's send length.
    EXPECT_EQ(out[5] | (out[6] << 8), CSTASendLength(m.Type()));
    stream.insert(stream.end(), out.begin(), out.begin() + static_cast<long>(n));
  }

  for (std::size_t chunk : {std::size_t{1}, std::size_t{13}, stream.size()}) {
    SerialReceiver rx;
    std::vector<CSTAMessage> got;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
      rx.Feed(stream.data() + i, std::min(chunk, stream.size() - i), [&](const SerialReceiver::Result& r) {
        ASSERT_EQ(r.event, Event::kFrame);
        ASSERT_NE(r.message, nullptr);
        got.push_back(*r.message);
      });
    }
    ASSERT_EQ(got.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      // Only the send length travels; the rest arrives as zero.
      CSTAMessage expected = CSTAMessage::FromBytes(sent[i].data(), CSTASendLength(sent[i].Type()));
      EXPECT_EQ(got[i], expected) << i;
    }
  }
  // The hold request's other number is cut by the 81 bytes sent.
  EXPECT_EQ(CSTAMessage::FromBytes(sent[1].data(), 81).Text(74, 64), "0891234");
}

TEST(SerialLink, LongMessageIsCutToTheRecord) {
  FrameCoder coder;
  Bytes message(1000);
  for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<std::uint8_t>(i % 251);
  Bytes out(line::kMaxPacket);
  const std::size_t n = EncodeMessagePacket(coder, message.data(), message.size(), out.data(), out.size());
  ASSERT_GT(n, 0u);
  SerialReceiver rx;
  int results = 0;
  rx.Feed(out.data(), n, [&](const SerialReceiver::Result& r) {
    ++results;
    EXPECT_EQ(r.frameResult, 1000);
    ASSERT_NE(r.message, nullptr);
    EXPECT_EQ(0, std::memcmp(r.message->data(), message.data(), CSTAMessage::kSize));
  });
  EXPECT_EQ(results, 1);

  CSTAMessage keep;
  keep.SetType(57);
  Bytes bad = {0, 40, 0, 60, 0, 1, 2};  // claims 60 stored bytes, carries 2
  EXPECT_EQ(DecodeFrameToMessage(coder, bad.data(), bad.size(), bad.size(), keep), frame::kErrFieldLength);
  EXPECT_EQ(keep.Type(), 57);  // untouched
}
