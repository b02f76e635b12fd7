// Frames, the splitters and the registration protocol, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "netlink/control.h"
#include "netlink/lorquin32.h"
#include "netlink/splitter.h"

using namespace netlink;
using Bytes = std::vector<std::uint8_t>;

namespace {

// A CSTA message record of the given type with a marker in its data.
Bytes CstaRecord(std::uint16_t type, std::uint8_t mark) {
  Bytes r(982, 0);
  r[0] = 0x11;  // invoke id
  r[8] = type & 0xFF;
  r[9] = type >> 8;
  for (std::size_t i = 10; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(mark + i);
  return r;
}

// As a received frame is marked before it is handled: by socket 0x1234.
std::array<std::uint8_t, kAddressBlockSize> AddrBySocket3() {
  std::array<std::uint8_t, kAddressBlockSize> a{};
  a[0] = kAddrBySocket;
  a[3] = 0x34;
  a[4] = 0x12;
  return a;
}

Bytes Cat(const Bytes& a, const Bytes& b) {
  Bytes r = a;
  r.insert(r.end(), b.begin(), b.end());
  return r;
}

}  // namespace

TEST(NetFrame, CstaDataFrameIsSizedByTheLinkTable) {
  const Bytes rec = CstaRecord(1, 7);
  const Bytes f = BuildDataFrame(kWireCsta, 0x0123, rec.data(), rec.size());
  ASSERT_EQ(f.size(), 31u + 150u);
  const Bytes header = {4, 0, 0, 0, 0, 0x23, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0,
                        0xD6, 0x03, 0x23, 0, 6};
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 31), header);  // length field is the caller's 982
  EXPECT_EQ(0, std::memcmp(f.data() + 31, rec.data(), 150));

  // A short payload goes out padded with zeros to the type's size.
  const Bytes shortRec(rec.begin(), rec.begin() + 20);
  const Bytes g = BuildDataFrame(kWireCsta, 1, shortRec.data(), shortRec.size());
  ASSERT_EQ(g.size(), 181u);
  EXPECT_EQ(g[26], 20);
  EXPECT_EQ(g[31 + 19], rec[19]);
  EXPECT_EQ(g[31 + 20], 0);
}

TEST(NetFrame, LengthRulesAndRefusals) {
  EXPECT_EQ(CstaWireSize(12), 772u);
  EXPECT_EQ(CstaWireSize(93), 111u);
  EXPECT_EQ(CstaWireSize(133), 10u);
  EXPECT_EQ(CstaWireSize(0), 0u);
  EXPECT_EQ(CstaWireSize(134), 0u);
  EXPECT_EQ(WireTypeForTypeBit(32), 6);
  EXPECT_EQ(WireTypeForTypeBit(4096), 25);
  EXPECT_EQ(WireTypeForTypeBit(64), 0);

  const std::uint8_t five[4] = {1, 2, 3, 4};
  EXPECT_EQ(BuildDataFrame(5, 9, five, 4).size(), 35u);
  EXPECT_EQ(BuildDataFrame(20, 9, five, 4).size(), 45u);
  EXPECT_EQ(BuildDataFrame(24, 9, five, 4).size(), 519u);
  EXPECT_EQ(BuildDataFrame(3, 9, five, 4).size(), 1013u);  // "rest of the block"
  EXPECT_TRUE(BuildDataFrame(0, 9, five, 4).empty());      // unknown type bit
  const Bytes bad = CstaRecord(134, 0);
  EXPECT_TRUE(BuildDataFrame(kWireCsta, 9, bad.data(), bad.size()).empty());
  Bytes big(983, 1);
  EXPECT_TRUE(BuildDataFrame(5, 9, big.data(), big.size()).empty());
}

TEST(NetFrame, ControlFrameGoldenBytes) {
  const ControlFrame hello = ClientControl::Hello(0x0A0B0C0D, 2);
  Bytes expect(78, 0);
  expect[0] = 1;  // by slot
  expect[1] = 2;
  expect[26] = 47;
  expect[30] = 2;
  expect[31 + 17] = 1;  // opcode hello
  expect[31 + 23] = 0x0D;
  expect[31 + 24] = 0x0C;
  expect[31 + 25] = 0x0B;
  expect[31 + 26] = 0x0A;
  EXPECT_EQ(Bytes(hello.begin(), hello.end()), expect);

  Control c;
  ASSERT_TRUE(ParseControl(hello.data(), hello.size(), &c));
  EXPECT_EQ(c.opcode, kOpHello);
  EXPECT_EQ(c.key, 0x0A0B0C0Du);
  EXPECT_FALSE(ParseControl(hello.data(), 77, &c));
}

TEST(NetFrame, KeysOfLoopbackEndsDifferByPort) {
  const std::uint32_t lo = 0x0100007F;  // 127.0.0.1
  EXPECT_NE(KeyFor(lo, 40000), KeyFor(lo, 40001));
  EXPECT_EQ(KeyFor(0x0A01A8C0, 40000), 0x0A01A8C0u);  // 192.168.1.10 stays itself
}

TEST(NetSplitter, StreamGivesExactlyTheFramesSentHoweverCut) {
  const Bytes a = BuildDataFrame(kWireCsta, 256, CstaRecord(1, 1).data(), 982);
  const Bytes b = BuildDataFrame(kWireCsta, 256, CstaRecord(12, 2).data(), 982);
  const Bytes both = Cat(a, b);

  StreamSplitter s;
  s.Append(both.data(), both.size());
  std::size_t len = 0;
  const std::uint8_t* f = s.Next(&len);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Bytes(f, f + len), a);
  f = s.Next(&len);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Bytes(f, f + len), b);
  EXPECT_EQ(s.Next(&len), nullptr);

  std::vector<Bytes> got;
  StreamSplitter t;
  for (std::uint8_t byte : both) {
    t.Append(&byte, 1);
    while ((f = t.Next(&len))) got.emplace_back(f, f + len);
  }
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], a);
  EXPECT_EQ(got[1], b);
  EXPECT_EQ(t.loss.events, 0u);
}

TEST(NetSplitter, InvalidHeaderDiscardsTheBufferAndCountsIt) {
  const Bytes good = BuildDataFrame(kWireCsta, 256, CstaRecord(2, 1).data(), 982);
  Bytes junk(40, 0x77);  // wire type 0x77
  StreamSplitter s;
  Bytes in = Cat(junk, good);
  s.Append(in.data(), in.size());
  std::size_t len = 0;
  EXPECT_EQ(s.Next(&len), nullptr);
  EXPECT_EQ(s.loss.events, 1u);
  EXPECT_EQ(s.loss.bytes, in.size());
  EXPECT_EQ(s.Buffered(), 0u);
  // The stream goes on with what comes next.
  s.Append(good.data(), good.size());
  ASSERT_NE(s.Next(&len), nullptr);
  EXPECT_EQ(len, good.size());
}

TEST(NetSplitter, DatagramDropsShortBlocksAndFramesPastTheEnd) {
  SplitLoss loss;
  const Bytes f = BuildDataFrame(kWireCsta, 256, CstaRecord(3, 1).data(), 982);
  {
    BlockSplitter b(f.data(), 30, &loss);
    std::size_t len = 0;
    EXPECT_EQ(b.Next(&len), nullptr);
    EXPECT_EQ(loss.bytes, 30u);
  }
  {
    BlockSplitter b(f.data(), f.size() - 1, &loss);
    std::size_t len = 0;
    EXPECT_EQ(b.Next(&len), nullptr);
    EXPECT_EQ(loss.events, 2u);
  }
  {
    // "Rest of the block" takes the datagram as it is.
    Bytes rest(31 + 50, 0xAB);
    std::memset(rest.data(), 0, 31);
    rest[30] = 4;
    const Bytes two = Cat(f, rest);
    BlockSplitter b(two.data(), two.size(), &loss);
    std::size_t len = 0;
    ASSERT_NE(b.Next(&len), nullptr);
    EXPECT_EQ(len, f.size());
    ASSERT_NE(b.Next(&len), nullptr);
    EXPECT_EQ(len, rest.size());
    EXPECT_EQ(b.Next(&len), nullptr);
  }
}

namespace {

ControlFrame Request(std::uint8_t op, std::uint16_t id, std::uint32_t key) {
  Control c;
  c.opcode = op;
  c.id = id;
  c.key = key;
  return BuildControlFrame(AddrBySocket3(), c);
}

}  // namespace

TEST(NetControl, ServerRegistersNineAndRefusesTheTenth) {
  ServerControl s;
  for (int i = 0; i < 9; ++i) {
    const ControlFrame r = Request(kOpRegister, 0, 0x1000 + i);
    ControlActions a = s.Handle(r.data(), r.size(), 100 + i, 0x55);
    ASSERT_EQ(a.replies.size(), 1u);
    Control c;
    ASSERT_TRUE(ParseControl(a.replies[0].data(), 78, &c));
    EXPECT_EQ(c.opcode, kOpRegisterReply);
    EXPECT_EQ(c.result, kResSuccess);
    EXPECT_EQ(c.id, 256 + i);
    EXPECT_EQ(c.key, 0x55u);
    ASSERT_EQ(a.notices.size(), 1u);
    EXPECT_EQ(a.notices[0].msg, kMsgClientRegistered);
    EXPECT_EQ(a.notices[0].wParam, 256u + i);
  }
  const ControlFrame tenth = Request(kOpRegister, 0, 0x2000);
  ControlActions a = s.Handle(tenth.data(), tenth.size(), 200, 0x55);
  Control c;
  ASSERT_TRUE(ParseControl(a.replies.at(0).data(), 78, &c));
  EXPECT_EQ(c.result, kResClientCountExceeded);
  EXPECT_TRUE(a.notices.empty());
  // The reply goes back the way the request came.
  EXPECT_EQ(a.replies[0][0], kAddrBySocket);
  EXPECT_EQ(a.replies[0][3], 0x34);
  EXPECT_EQ(a.replies[0][31], kAddrBySocket);
}

TEST(NetControl, RepeatedRegisterKeepsItsIdAndForeignKeysAreRefused) {
  ServerControl s;
  const ControlFrame r = Request(kOpRegister, 0, 0xAAAA);
  ControlActions first = s.Handle(r.data(), r.size(), 7, 1);
  ControlActions again = s.Handle(r.data(), r.size(), 7, 1);
  Control c;
  ASSERT_TRUE(ParseControl(again.replies.at(0).data(), 78, &c));
  EXPECT_EQ(c.result, kResSuccess);
  EXPECT_EQ(c.id, first.registeredId);
  EXPECT_TRUE(again.notices.empty());
  EXPECT_FALSE(again.registered);

  ControlActions other = s.Handle(r.data(), r.size(), 8, 1);
  ASSERT_TRUE(ParseControl(other.replies.at(0).data(), 78, &c));
  EXPECT_EQ(c.result, kResAlreadyRegistered);
  EXPECT_TRUE(other.notices.empty());
  EXPECT_EQ(s.RegisteredCount(), 1);
}

TEST(NetControl, UnregisterFreesOnlyWhatTheConnectionOwns) {
  ServerControl s;
  const ControlFrame r = Request(kOpRegister, 0, 0xAAAA);
  const std::uint16_t id = s.Handle(r.data(), r.size(), 7, 1).registeredId;
  const ControlFrame u = Request(kOpUnregister, id, 0xBBBB);
  Control c;
  ControlActions foreign = s.Handle(u.data(), u.size(), 8, 1);
  ASSERT_TRUE(ParseControl(foreign.replies.at(0).data(), 78, &c));
  EXPECT_EQ(c.opcode, kOpUnregisterReply);
  EXPECT_EQ(c.result, kResClientUnknown);
  EXPECT_EQ(s.RegisteredCount(), 1);

  ControlActions own = s.Handle(u.data(), u.size(), 7, 1);
  ASSERT_TRUE(ParseControl(own.replies.at(0).data(), 78, &c));
  EXPECT_EQ(c.result, kResSuccess);
  ASSERT_EQ(own.notices.size(), 1u);
  EXPECT_EQ(own.notices[0].msg, kMsgClientUnregistered);
  EXPECT_EQ(own.notices[0].wParam, 1u);
  EXPECT_TRUE(own.notices[0].posted);
  EXPECT_EQ(s.RegisteredCount(), 0);

  // A closed connection gives its ids back.
  s.Handle(r.data(), r.size(), 9, 1);
  EXPECT_EQ(s.DropOwner(9), 1);
  EXPECT_EQ(s.RegisteredCount(), 0);
}

namespace {

ControlFrame Reply(std::uint8_t op, std::uint16_t id, std::uint8_t result, std::uint32_t key) {
  Control c;
  c.opcode = op;
  c.id = id;
  c.result = result;
  c.key = key;
  return BuildControlFrame(AddrBySocket3(), c);
}

}  // namespace

TEST(NetControl, ClientRegistersAndIgnoresLateReplies) {
  ClientControl cl;
  const ControlFrame hr = Reply(kOpHelloReply, 0, kResSuccess, 0x99);
  ControlActions a = cl.Handle(hr.data(), hr.size(), 0x42, 3);
  ASSERT_EQ(a.replies.size(), 1u);
  Control c;
  ASSERT_TRUE(ParseControl(a.replies[0].data(), 78, &c));
  EXPECT_EQ(c.opcode, kOpRegister);
  EXPECT_EQ(c.key, 0x42u);
  EXPECT_EQ(a.replies[0][0], kAddrBySlot);
  EXPECT_EQ(a.replies[0][1], 3);

  const ControlFrame rr = Reply(kOpRegisterReply, 258, kResSuccess, 0x99);
  a = cl.Handle(rr.data(), rr.size(), 0x42, 3);
  EXPECT_TRUE(a.registered);
  ASSERT_EQ(a.notices.size(), 1u);
  EXPECT_EQ(a.notices[0].msg, kMsgRegistered);
  EXPECT_EQ(a.notices[0].wParam, 258u);
  EXPECT_FALSE(a.notices[0].posted);

  // Answers to hellos and registers resent by the retry timer.
  EXPECT_TRUE(cl.Handle(hr.data(), hr.size(), 0x42, 3).replies.empty());
  const ControlFrame refused = Reply(kOpRegisterReply, 0, kResAlreadyRegistered, 0x99);
  EXPECT_TRUE(cl.Handle(refused.data(), refused.size(), 0x42, 3).notices.empty());
  EXPECT_EQ(cl.id(), 258);

  const ControlFrame alive = cl.AliveRequest(0x42);
  EXPECT_EQ(alive[0], kAddrByClientId);
  EXPECT_EQ(GetU16(&alive[5]), 258);
  EXPECT_EQ(GetU16(&alive[31 + 18]), 258);
  const ControlFrame ar = Reply(kOpAliveReply, 258, kResSuccess, 0x99);
  EXPECT_TRUE(cl.Handle(ar.data(), ar.size(), 0x42, 3).confirmAlive);
}

TEST(NetControl, ClientUnregisterReplies) {
  auto registered = [] {
    ClientControl cl;
    const ControlFrame hr = Reply(kOpHelloReply, 0, kResSuccess, 1);
    cl.Handle(hr.data(), hr.size(), 2, 0);
    const ControlFrame rr = Reply(kOpRegisterReply, 256, kResSuccess, 1);
    cl.Handle(rr.data(), rr.size(), 2, 0);
    return cl;
  };
  ClientControl a = registered();
  const ControlFrame ok = Reply(kOpUnregisterReply, 256, kResSuccess, 1);
  ControlActions r = a.Handle(ok.data(), ok.size(), 2, 0);
  ASSERT_EQ(r.notices.size(), 1u);
  EXPECT_EQ(r.notices[0].msg, kMsgUnregistered);
  EXPECT_EQ(r.notices[0].wParam, 256u);
  EXPECT_EQ(a.state(), ClientControl::kIdle);

  ClientControl b = registered();
  const ControlFrame perm = Reply(kOpUnregisterReply, 256, kResInvalidPermission, 1);
  EXPECT_TRUE(b.Handle(perm.data(), perm.size(), 2, 0).notices.empty());
  EXPECT_EQ(b.state(), ClientControl::kIdle);

  ClientControl d = registered();
  const ControlFrame unknown = Reply(kOpUnregisterReply, 256, kResClientUnknown, 1);
  r = d.Handle(unknown.data(), unknown.size(), 2, 0);
  ASSERT_EQ(r.notices.size(), 1u);
  EXPECT_EQ(r.notices[0].msg, kMsgUnregistrationRefused);
  EXPECT_EQ(r.notices[0].name, "EC_CLIENTUNKOWN");
}
