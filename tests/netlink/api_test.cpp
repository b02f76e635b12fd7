// The exported functions' tables, limits and refusals.
#include "netlink/internal.h"
#include "platform/msgbox.h"
#include "support.h"

using namespace nltest;
using namespace netlink;

namespace {

class Api : public ::testing::Test {
 protected:
  void TearDown() override {
    for (std::uint32_t h = 0; h < 10; ++h) PBXNWHCloseDLL(h);
  }
  Net net;
  Caller caller;
};

std::string Dotted(std::uint32_t v) {
  return std::to_string(v & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) + "." + std::to_string((v >> 16) & 0xFF) +
         "." + std::to_string(v >> 24);
}

}  // namespace

TEST_F(Api, ConvertsDottedQuadsAsDecimal) {
  EXPECT_EQ(Dotted(PBXNWHConvertIPStringToLONG("192.168.1.10")), "192.168.1.10");
  EXPECT_EQ(Dotted(PBXNWHConvertIPStringToLONG("192.168.001.010")), "192.168.1.10");
  const std::uint32_t v = PBXNWHConvertIPStringToLONG("10.0.0.1");
  const auto* b = reinterpret_cast<const std::uint8_t*>(&v);
  EXPECT_EQ(b[0], 10);  // network order in memory
  EXPECT_EQ(b[3], 1);
  EXPECT_EQ(PBXNWHConvertIPStringToLONG("localhost"), 0u);
  EXPECT_EQ(PBXNWHConvertIPStringToLONG("1.2.3"), 0u);
  EXPECT_EQ(PBXNWHConvertIPStringToLONG("1.2.3.256"), 0u);
  EXPECT_EQ(PBXNWHConvertIPStringToLONG(nullptr), 0u);
  EXPECT_EQ(Dotted(PBXNWHGetIPLongForHostName("localhost", 0)), "127.0.0.1");
  EXPECT_STREQ(PBXNWHGetDLLVersion(), "");
}

TEST_F(Api, FiveHandlersAtMostAndNoHandleWithoutARole) {
  std::vector<std::uint32_t> h;
  for (int i = 0; i < 5; ++i) {
    h.push_back(PBXNWHOpenDLLEx(caller.id, kFlagServer, nullptr, FreePort()));
    EXPECT_EQ(h.back() & 0xFFFF, static_cast<std::uint32_t>(i));
  }
  EXPECT_EQ(PBXNWHOpenDLLEx(caller.id, kFlagServer, nullptr, FreePort()) & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(PBXNWHCloseDLL(h[2]), 1u);
  EXPECT_EQ(PBXNWHOpenDLLEx(caller.id, kFlagServer, nullptr, FreePort()) & 0xFFFF, 2u) << "the freed entry is reused";
  EXPECT_EQ(PBXNWHCloseDLL(2), 1u);
  EXPECT_EQ(PBXNWHOpenDLLEx(caller.id, 0x20, nullptr, FreePort()) & 0xFFFF, 0xFFFFu);
  EXPECT_EQ(PBXNWHGetDLLConnectionState(2, 0), 0u);
}

TEST_F(Api, UnknownHandlesAreRefusedEverywhere) {
  const std::uint8_t rec[982] = {};
  EXPECT_EQ(PBXNWHSendMessageToNetWork(0xFFFF, 0, 32, rec, 982), 0xFFFFFFFFu);
  EXPECT_EQ(PBXNWHSendMessageToNetWork(3, 0, 32, rec, 982), 0xFFFEu);
  EXPECT_EQ(PBXNWHCloseDLL(0xFFFF), 0u);
  EXPECT_EQ(PBXNWHCloseDLL(4), 0u);
  EXPECT_EQ(PBXNWHCloseDLLConnection(0xFFFF, 0), 0u);
  EXPECT_EQ(PBXNWHSetNotificationParametersEx(0xFFFF, caller.id, 15, 1590), 0u);
  EXPECT_EQ(PBXNWHOpenDLLTraceWindow(7), 0u);
  EXPECT_EQ(PBXNWHCloseDLLTraceWindow(0xFFFF), 0u);
  EXPECT_EQ(PBXNWHGetDLLConnectionState(0xFFFF, 0), 0u);
  EXPECT_EQ(PBXNWHSetNotificationParameters(0, 0, 0), 0u);
}

TEST_F(Api, SendsOfNoOrTooManyBytesAreRefused) {
  Caller srv;
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer | kFlagCsta, nullptr, port);
  const std::uint32_t c = PBXNWHOpenDLLEx(caller.id, kFlagClient, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return caller.Count(kMsgRegistered) == 1; }));
  const auto id = static_cast<std::uint32_t>(caller.Last(kMsgRegistered)->wParam);
  std::vector<std::uint8_t> big(1000, 1);
  big[8] = 1;
  big[9] = 0;
  EXPECT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, big.data(), 983), 0u);
  EXPECT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, big.data(), 0), 0u);
  EXPECT_EQ(PBXNWHSendMessageToNetWork(c, id, 64, big.data(), 100), 0u) << "a type bit without a wire type";
  EXPECT_EQ(PBXNWHSendMessageToNetWork(c, id + 1, 32, big.data(), 982), 0u) << "no such client id";
  EXPECT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, big.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return srv.Count(kMsgCsta) == 1; }));
  net.Settle();
  EXPECT_EQ(srv.Count(kMsgCsta), 1);
  EXPECT_EQ(srv.Count(kMsgLinkLost), 0);
  PBXNWHCloseDLL(c);
  PBXNWHCloseDLL(s);
}

TEST_F(Api, NotificationsFollowTheFlagsAndTheRegistrations) {
  Caller srv, other;
  const std::uint16_t port = FreePort();
  // Opened without the CSTA flag: CSTA frames reach no window.
  const std::uint32_t s = PBXNWHOpenDLLEx(srv.id, kFlagServer, nullptr, port);
  const std::uint32_t c = PBXNWHOpenDLLEx(caller.id, kFlagClient | kFlagType5, "127.0.0.1", port);
  ASSERT_TRUE(net.Until([&] { return caller.Count(kMsgRegistered) == 1; }));
  const auto id = static_cast<std::uint32_t>(caller.Last(kMsgRegistered)->wParam);
  const Bytes rec = CstaRecord(1, 1);
  ASSERT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, rec.data(), 982), 1u);
  net.Settle(20);
  EXPECT_EQ(srv.Count(kMsgCsta), 0);

  EXPECT_EQ(PBXNWHSetNotificationParametersEx(s, other.id, 31, 1700), 1u) << "ignored, still 1";
  EXPECT_EQ(PBXNWHSetNotificationParametersEx(s, other.id, 15, 1700), 1u);  // event 15 -> slot 6
  ASSERT_EQ(PBXNWHSendMessageToNetWork(c, id, 32, rec.data(), 982), 1u);
  ASSERT_TRUE(net.Until([&] { return other.Count(1700) == 1; }));
  EXPECT_EQ(other.Last(1700)->payload, Received(rec, 150));

  // Type bit 16 is wire type 5, sized by its length field; it arrives as 1591.
  const std::uint8_t five[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(PBXNWHSendMessageToNetWork(s, id, 16, five, 5), 1u);
  ASSERT_TRUE(net.Until([&] { return caller.Count(kMsgType5) == 1; }));
  Bytes want(982, 0);
  std::memcpy(want.data(), five, 5);
  EXPECT_EQ(caller.Last(kMsgType5)->payload, want);
  PBXNWHCloseDLL(c);
  PBXNWHCloseDLL(s);
}

TEST_F(Api, TraceWindowKeepsLinesOnlyWhileShown) {
  const std::uint16_t port = FreePort();
  const std::uint32_t s = PBXNWHOpenDLLEx(caller.id, kFlagServer | kFlagDatagram, nullptr, port);
  CNetMainWindow* w = WindowOf(s);
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(w->users().size(), 1u);
  EXPECT_EQ(w->users()[0], "usr hd: 0 localhost-serv-UDP");
  const std::uint8_t addr[4] = {127, 0, 0, 1};
  const std::uint32_t c = PBXNWHOpenDLL(caller.id, kFlagClient, addr);
  EXPECT_EQ(WindowOf(c)->users()[0], "usr hd: 1 for 127.0.0.1-cli");

  const std::uint8_t rec[982] = {};
  PBXNWHSendMessageToNetWork(s, 300, 32, rec, 982);
  EXPECT_TRUE(w->traceLines().empty());
  EXPECT_EQ(PBXNWHOpenDLLTraceWindow(s), 1u);
  EXPECT_TRUE(w->visible());
  PBXNWHSendMessageToNetWork(s, 300, 32, rec, 982);
  ASSERT_FALSE(w->traceLines().empty());
  EXPECT_EQ(w->traceLines().back().rfind("(ID0-300):T=6, L=982, ", 0), 0u) << w->traceLines().back();
  for (int i = 0; i < 1200; ++i) w->Trace("x");
  EXPECT_LE(w->traceLines().size(), CNetMainWindow::kTraceLimit);
  EXPECT_EQ(PBXNWHCloseDLLTraceWindow(s), 1u);
  const std::size_t n = w->traceLines().size();
  w->Trace("hidden");
  EXPECT_EQ(w->traceLines().size(), n);
}
