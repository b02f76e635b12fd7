#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/wire/frame_coder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Writes code streams bit by bit, most significant bit first.
struct Bits {
  Bytes out;
  int used = 8;
  void Put(std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used == 8) {
        out.push_back(0);
        used = 0;
      }
      if ((v >> i) & 1) out.back() |= static_cast<std::uint8_t>(0x80 >> used);
      ++used;
    }
  }
  void Literal(std::uint8_t b) { Put(256u + b, 9); }
  void Define() { Put(1, 2); }
  // A copy after a literal or copy: the two flag bits and the code.
  void Copy(std::uint32_t code, int w, int len, bool afterDefine = false) {
    Put(0, afterDefine ? 1 : 2);
    Put(code, w);
    if (len == 2) {
      Put(1, 1);
    } else {
      Put(static_cast<std::uint32_t>(len - 3), 5);
    }
  }
  void End(int w) { Put(0, 2 + w); }
};

Bytes Compressed(FrameCoder& c, const Bytes& in) {
  Bytes b = in;
  const int n = c.Compress(b.data(), b.size());
  EXPECT_GE(n, 0);
  b.resize(static_cast<std::size_t>(n));
  return b;
}

int ExpandInto(FrameCoder& c, const Bytes& in, Bytes& out) {
  out.assign(2048, 0);
  const int n = c.Expand(in.data(), in.size(), out.data(), out.size());
  if (n >= 0) out.resize(static_cast<std::size_t>(n));
  return n;
}

Bytes Frame(const Bytes& message) {
  Bytes f(frame::kHeaderSize + 1100, 0);
  f[1] = static_cast<std::uint8_t>(message.size());
  f[2] = static_cast<std::uint8_t>(message.size() >> 8);
  std::memcpy(f.data() + 5, message.data(), message.size());
  return f;
}

}  // namespace

TEST(FrameCoder, RunOfFortyEqualBytesGivesTheKnownStream) {
  FrameCoder c;
  const Bytes in(40, 'A');
  const Bytes packed = Compressed(c, in);
  EXPECT_EQ(packed, (Bytes{0x68, 0x22, 0xF1, 0x78, 0x80, 0x00}));
  Bytes back;
  ASSERT_EQ(ExpandInto(c, packed, back), 40);
  EXPECT_EQ(back, in);
  Bytes inPlace(64, 0);
  std::copy(packed.begin(), packed.end(), inPlace.begin());
  ASSERT_EQ(c.Run(inPlace.data(), packed.size(), inPlace.size(), frame::kModeExpand), 40);
  EXPECT_EQ(Bytes(inPlace.begin(), inPlace.begin() + 40), in);
  std::copy(packed.begin(), packed.end(), inPlace.begin());
  EXPECT_EQ(c.Run(inPlace.data(), packed.size(), 39, frame::kModeExpand), -1);

  Bytes f = Frame(in);
  ASSERT_EQ(c.BuildFrame(f.data(), f.size()), 11);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 11),
            (Bytes{0x00, 40, 0x00, 6, 0x00, 0x68, 0x22, 0xF1, 0x78, 0x80, 0x00}));
}

TEST(FrameCoder, MessagesThatDoNotShrinkTravelPlain) {
  FrameCoder c;
  Bytes distinct(200);
  for (std::size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<std::uint8_t>(i * 7);
  EXPECT_EQ(Compressed(c, distinct), distinct);
  Bytes f = Frame(distinct);
  ASSERT_EQ(c.BuildFrame(f.data(), f.size()), 205);
  EXPECT_EQ(f[3] | (f[4] << 8), 200);
  EXPECT_EQ(Bytes(f.begin() + 5, f.begin() + 205), distinct);

  // One byte is never compressed, even when a stream would be as short.
  Bytes one = Frame({0x00});
  ASSERT_EQ(c.BuildFrame(one.data(), one.size()), 6);
  EXPECT_EQ(Bytes(one.begin(), one.begin() + 6), (Bytes{0, 1, 0, 1, 0, 0}));

  EXPECT_EQ(c.Run(distinct.data(), 1025, 2048, frame::kModeCompress), -1);
  EXPECT_EQ(c.Run(distinct.data(), 10, 2048, 3), -1);
  EXPECT_EQ(c.Run(distinct.data(), 10, 2048, 0), -1);
}

TEST(FrameCoder, RoundTripsOverManyInputs) {
  FrameCoder c;
  std::mt19937 rng(20240611);
  int compressedCount = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::size_t len = round % 50 == 0 ? 1024 : 1 + rng() % 1024;
    Bytes in(len);
    switch (round % 4) {
      case 0:  // random bytes
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        break;
      case 1:  // few symbols: many matches of all lengths
        for (auto& b : in) b = static_cast<std::uint8_t>('a' + rng() % 3);
        break;
      case 2:  // mostly zero, like a record with short fields
        for (auto& b : in) b = rng() % 8 == 0 ? static_cast<std::uint8_t>(rng()) : 0;
        break;
      default: {  // repeated phrases
        const std::size_t period = 1 + rng() % 40;
        for (std::size_t i = 0; i < len; ++i) in[i] = static_cast<std::uint8_t>((i % period) * 31 + round);
        break;
      }
    }
    const Bytes packed = Compressed(c, in);
    ASSERT_LE(packed.size(), in.size());
    if (packed.size() == in.size()) {
      EXPECT_EQ(packed, in);
      continue;
    }
    ++compressedCount;
    Bytes back;
    ASSERT_EQ(ExpandInto(c, packed, back), static_cast<int>(len)) << "round " << round;
    ASSERT_EQ(back, in) << "round " << round;
    EXPECT_EQ(Compressed(c, back), packed) << "round " << round;

    // And through a frame.
    Bytes f = Frame(in);
    const int total = c.BuildFrame(f.data(), f.size());
    if (len < frame::kLengthLimit && total <= static_cast<int>(frame::kMaxFrame)) {
      ASSERT_EQ(c.CheckFrame(f.data(), f.size(), static_cast<std::size_t>(total)), static_cast<int>(len));
      ASSERT_EQ(Bytes(f.begin(), f.begin() + static_cast<long>(len)), in);
    }
  }
  EXPECT_GT(compressedCount, 2000);

  for (std::uint8_t fill : {0x00, 0xFF}) {
    const Bytes same(1024, fill);
    const Bytes packed = Compressed(c, same);
    EXPECT_LT(packed.size(), 100u);
    Bytes back;
    ASSERT_EQ(ExpandInto(c, packed, back), 1024);
    EXPECT_EQ(back, same);
  }
}

TEST(FrameCoder, CodesWidenAfterFourAndEightEntries) {
  FrameCoder c;
  Bits s;
  for (char ch : std::string("abcd")) {
    s.Define();
    s.Literal(static_cast<std::uint8_t>(ch));
  }
  s.Copy(4, 3, 2);  // entry 4 ('d') needs 3 bits now
  s.Copy(1, 3, 3);  // "abc"
  s.End(3);
  Bytes out;
  ASSERT_EQ(ExpandInto(c, s.out, out), 9);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcdddabc");

  Bits t;
  for (char ch : std::string("abcdefgh")) {
    t.Define();
    t.Literal(static_cast<std::uint8_t>(ch));
  }
  t.Copy(8, 4, 2);
  t.End(4);
  ASSERT_EQ(ExpandInto(c, t.out, out), 10);
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcdefghhh");

  // The compressor widens at the same points: a text with many sources.
  Bytes many;
  for (int r = 0; r < 3; ++r)
    for (int i = 0; i < 40; ++i) {
      many.push_back(static_cast<std::uint8_t>('A' + i));
      many.push_back(static_cast<std::uint8_t>('a' + i % 20));
    }
  const Bytes packed = Compressed(c, many);
  ASSERT_LT(packed.size(), many.size());
  ASSERT_EQ(ExpandInto(c, packed, out), static_cast<int>(many.size()));
  EXPECT_EQ(out, many);
}

TEST(FrameCoder, ExpanderRefusesMalformedStreams) {
  FrameCoder c;
  Bytes out;

  // A code for an entry that was never defined.
  Bits undefined;
  undefined.Literal('x');
  undefined.Copy(1, 2, 2);
  undefined.End(2);
  EXPECT_EQ(ExpandInto(c, undefined.out, out), -1);

  // A copy from an entry defined at this very position has nothing to copy.
  Bits here;
  here.Define();
  here.Copy(1, 2, 2, true);
  here.End(2);
  EXPECT_EQ(ExpandInto(c, here.out, out), -1);

  // Without an end code the stream runs out mid-step.
  EXPECT_EQ(ExpandInto(c, Bytes(8, 0xFF), out), -1);
  EXPECT_EQ(ExpandInto(c, Bytes{0x80}, out), -1);
  EXPECT_EQ(ExpandInto(c, Bytes{}, out), -1);

  // A step that starts in range but whose copy would run past position 1025.
  Bits over;
  over.Define();
  over.Literal('x');
  for (int i = 0; i < 57; ++i) over.Copy(1, 2, 18);  // 1 + 57 * 18 = 1027 bytes
  over.End(2);
  EXPECT_EQ(ExpandInto(c, over.out, out), -1);

  // Filling positions 1..1025 is allowed, but no further step may start.
  Bits full;
  full.Define();
  full.Literal('x');
  for (int i = 0; i < 56; ++i) full.Copy(1, 2, 18);  // up to 1009
  full.Copy(1, 2, 16);                                // up to 1025
  full.End(2);
  EXPECT_EQ(ExpandInto(c, full.out, out), -1);

  Bits limit;
  limit.Define();
  limit.Literal('x');
  for (int i = 0; i < 56; ++i) limit.Copy(1, 2, 18);
  limit.Copy(1, 2, 15);  // 1024 bytes
  limit.End(2);
  ASSERT_EQ(ExpandInto(c, limit.out, out), 1024);
  EXPECT_EQ(out, Bytes(1024, 'x'));

  // The result must fit the caller's buffer.
  Bytes small(10);
  EXPECT_EQ(c.Expand(limit.out.data(), limit.out.size(), small.data(), small.size()), -1);

  // As many definitions as outputs: the entry table holds them all.
  Bits defs;
  for (int i = 0; i < 1024; ++i) {
    defs.Define();
    defs.Literal(static_cast<std::uint8_t>(i));
  }
  defs.Define();
  defs.Put(0, 1);
  defs.Put(0, 11);  // the end code, width 11 after 1025 entries
  ASSERT_EQ(ExpandInto(c, defs.out, out), 1024);
  EXPECT_EQ(out[1023], 0xFF);
}

TEST(FrameChecker, ErrorCodes) {
  FrameCoder c;
  Bytes f(1100, 0);
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 6), frame::kErrTotalLength);
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 1025), frame::kErrTotalLength);
  EXPECT_EQ(c.CheckFrame(f.data(), 10, 20), frame::kErrTotalLength);  // more than the buffer holds

  f[1] = 0x00;
  f[2] = 0x04;  // P = 1024
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 20), frame::kErrFieldLength);
  f[1] = 5;
  f[2] = 0;
  f[3] = 0x00;
  f[4] = 0x04;  // S = 1024
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 20), frame::kErrFieldLength);

  // A frame that claims more stored bytes than arrived.
  f[3] = 16;
  f[4] = 0;
  f[1] = 16;
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 20), frame::kErrFieldLength);
  EXPECT_EQ(c.CheckFrame(f.data(), f.size(), 21), 16);

  // Compressed data that expands to another length, or not at all.
  Bytes run = Frame(Bytes(40, 'A'));
  const int total = c.BuildFrame(run.data(), run.size());
  Bytes wrong = run;
  wrong[1] = 39;
  EXPECT_EQ(c.CheckFrame(wrong.data(), wrong.size(), static_cast<std::size_t>(total)), frame::kErrExpandedLength);
  Bytes broken = run;
  broken[5] = 0x00;  // "0 0 00": the end code before anything was produced
  broken[6] = 0x00;
  EXPECT_EQ(c.CheckFrame(broken.data(), broken.size(), static_cast<std::size_t>(total)), frame::kErrExpandedLength);
  Bytes truncated = run;
  truncated[3] = 3;  // S = 3 < P, stream cut short
  EXPECT_EQ(c.CheckFrame(truncated.data(), truncated.size(), static_cast<std::size_t>(total)),
            frame::kErrExpandedLength);

  ASSERT_EQ(c.CheckFrame(run.data(), run.size(), static_cast<std::size_t>(total)), 40);
  EXPECT_EQ(Bytes(run.begin(), run.begin() + 40), Bytes(40, 'A'));

  // The builder refuses lengths that no receiver takes.
  Bytes huge(2100, 0);
  huge[1] = 0x00;
  huge[2] = 0x04;
  EXPECT_EQ(c.BuildFrame(huge.data(), huge.size()), frame::kErrFieldLength);
  Bytes tight = Frame(Bytes(30, 1));
  EXPECT_EQ(c.BuildFrame(tight.data(), 20), frame::kErrFieldLength);
}

TEST(FrameCoder, EachThreadWithItsOwnCoder) {
  auto work = [](unsigned seed, bool* ok) {
    FrameCoder c;
    std::mt19937 rng(seed);
    *ok = true;
    for (int i = 0; i < 300 && *ok; ++i) {
      Bytes in(2 + rng() % 600);
      for (auto& b : in) b = static_cast<std::uint8_t>('a' + rng() % 4);
      Bytes f = Frame(in);
      const int total = c.BuildFrame(f.data(), f.size());
      *ok = total > 0 && c.CheckFrame(f.data(), f.size(), static_cast<std::size_t>(total)) ==
                             static_cast<int>(in.size()) &&
            std::equal(in.begin(), in.end(), f.begin());
    }
  };
  bool a = false, b = false;
  std::thread ta(work, 1u, &a), tb(work, 2u, &b);
  ta.join();
  tb.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}
