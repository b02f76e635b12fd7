#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"

namespace {

std::string Bytes(const CSTAMessage& m, std::size_t at, std::size_t n) {
  return std::string(reinterpret_cast<const char*>(m.data() + at), n);
}

bool ZeroFrom(const CSTAMessage& m, std::size_t at) {
  for (std::size_t i = at; i < CSTAMessage::kSize; ++i)
    if (m.bytes[i] != 0) return false;
  return true;
}

}  // namespace

TEST(CstaRecord, HeaderIsLittleEndianAtFixedOffsets) {
  CSTAMessage m;
  m.SetInvokeId(0x04030201);
  m.SetCrossRefId(0x08070605);
  m.SetType(0x0A09);
  EXPECT_EQ(Bytes(m, 0, 10), std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 10));
  EXPECT_TRUE(ZeroFrom(m, 10));
  EXPECT_EQ(m.InvokeId(), 0x04030201u);
  EXPECT_EQ(m.CrossRefId(), 0x08070605u);
  EXPECT_EQ(m.Type(), 0x0A09);
  // Fields that would reach past the record read as zero and write nothing.
  EXPECT_EQ(m.U32(979), 0u);
  m.SetU32(979, 0xFFFFFFFF);
  m.SetText(950, 64, "x");
  EXPECT_TRUE(ZeroFrom(m, 10));
}

TEST(CstaRecord, TextIsCutToItsFieldAndKeepsItsZero) {
  CSTAMessage m;
  m.bytes.fill(0xAA);
  m.SetText(10, 8, "1234567890");
  EXPECT_EQ(Bytes(m, 10, 8), std::string("1234567\0", 8));
  EXPECT_EQ(m.bytes[9], 0xAA);
  EXPECT_EQ(m.bytes[18], 0xAA);
  EXPECT_EQ(m.Text(10, 8), "1234567");
  m.SetText(10, 8, "12");
  EXPECT_EQ(Bytes(m, 10, 8), std::string("12\0\0\0\0\0\0", 8));
  // A field without its zero reads up to the field's end.
  std::memset(m.data() + 20, 'z', 4);
  EXPECT_EQ(m.Text(20, 4), "zzzz");
}

TEST(CstaRecord, FromBytesTakesAtMostTheRecordAndZeroesTheRest) {
  std::uint8_t big[1100];
  std::memset(big, 0x5A, sizeof big);
  CSTAMessage m = CSTAMessage::FromBytes(big, sizeof big);
  EXPECT_EQ(m.bytes[981], 0x5A);
  CSTAMessage s = CSTAMessage::FromBytes(big, 12);
  EXPECT_EQ(s.bytes[11], 0x5A);
  EXPECT_TRUE(ZeroFrom(s, 12));
}

TEST(CstaTables, SendLengthsAndTheirDefaults) {
  const std::pair<int, int> own[] = {
      {1, 150}, {3, 80},   {7, 80},   {9, 80},   {11, 150}, {13, 144}, {15, 144}, {17, 144},
      {21, 81}, {23, 138}, {29, 74},  {30, 11},  {31, 74},  {32, 481}, {33, 74},  {34, 12},
      {37, 74}, {38, 77},  {39, 150}, {41, 80},  {45, 75},  {46, 11},  {47, 141}, {48, 11},
      {49, 204}, {50, 11}, {51, 150}, {93, 111}, {111, 83}, {117, 14}, {122, 74}, {126, 16}};
  int withOwn = 0;
  for (int t = 0; t <= 200; ++t) {
    int expected = 10;
    for (const auto& [type, len] : own)
      if (type == t) expected = len;
    if (expected != 10) ++withOwn;
    EXPECT_EQ(CSTASendLength(static_cast<std::uint16_t>(t)), expected) << "type " << t;
  }
  EXPECT_EQ(withOwn, 32);
  EXPECT_EQ(CSTASendLength(0xFFFF), 10);
}

TEST(CstaTables, TypeAndKindNames) {
  EXPECT_STREQ(CSTATypeName(1), "CSTA_ALTERNATE_CALL");
  EXPECT_STREQ(CSTATypeName(23), "CSTA_MAKE_CALL");
  EXPECT_STREQ(CSTATypeName(57), "CSTA_DELIVERED");
  EXPECT_STREQ(CSTATypeName(92), "CSTA_ESCAPE_SVC_REQ_CONF");
  EXPECT_STREQ(CSTATypeName(94), "CSTA_PRIVATE_STATUS");
  EXPECT_STREQ(CSTATypeName(133), "CSTA_ROUTE_END_INV_REQUEST");
  EXPECT_EQ(CSTATypeName(0), nullptr);
  EXPECT_EQ(CSTATypeName(93), nullptr);
  EXPECT_EQ(CSTATypeName(134), nullptr);
  for (int t = 1; t <= 133; ++t) {
    if (t == 93) continue;
    ASSERT_NE(CSTATypeName(static_cast<std::uint16_t>(t)), nullptr) << t;
    EXPECT_EQ(std::string(CSTATypeName(static_cast<std::uint16_t>(t))).rfind("CSTA_", 0), 0u);
  }

  EXPECT_STREQ(ExtPbxKindName(0), "EXTPBX_GETNUMBEROFCALLINFOS");
  EXPECT_STREQ(ExtPbxKindName(3), "EXTPBX_GETSINGLECALLINFOBYIDX_CONF");
  EXPECT_STREQ(ExtPbxKindName(19), "EXTPBX_GETMAXNUMBEROFDEVICES_CONF");
  EXPECT_EQ(ExtPbxKindName(20), nullptr);
  EXPECT_EQ(ExtPbxKindName(255), nullptr);

  CSTAMessage m = PrivateRequest(1, 0, 18);
  EXPECT_STREQ(CSTAMessageName(m), "EXTPBX_GETMAXNUMBEROFDEVICES");
  m.SetU8(10, 20);
  EXPECT_EQ(CSTAMessageName(m), nullptr);  // the caller traces it under its language text
  EXPECT_EQ(CSTASendLength(m.Type()), 111);
  m.SetType(57);
  EXPECT_STREQ(CSTAMessageName(m), "CSTA_DELIVERED");
}

TEST(CstaTables, FailureNamesAndUnknownCodes) {
  EXPECT_STREQ(CSTAFailureName(0), "GENERIC_UNSPECIFIED");
  EXPECT_STREQ(CSTAFailureName(12), "INVALID_CSTA_DEVICE_IDENTIFIER");
  EXPECT_STREQ(CSTAFailureName(44), "OUTSTANDING_REQUEST_LIMIT_EXCEEDED");
  EXPECT_STREQ(CSTAFailureName(81), "MISTYPED_APDU_REJECTION");
  EXPECT_STREQ(CSTAFailureName(90), "MISTYPED_PARAMETER_REJECTION");
  EXPECT_STREQ(CSTAFailureName(100), "NON_STANDARD");
  int named = 0;
  for (int c = 0; c <= 100; ++c)
    if (std::string(CSTAFailureName(c)) != "UNKNOWN ERROR CODE") ++named;
  EXPECT_EQ(named, 70);
  for (int c : {20, 30, 39, 40, 45, 50, 53, 59, 65, 69, 91, 99, 101, 32767, -1})
    EXPECT_STREQ(CSTAFailureName(c), "UNKNOWN ERROR CODE") << c;
}

TEST(CstaRequests, CallControlLayouts) {
  CSTAMessage mk = MakeCallRequest(7, 0x11, "21", "0891234");
  EXPECT_EQ(mk.InvokeId(), 7u);
  EXPECT_EQ(mk.CrossRefId(), 0x11u);
  EXPECT_EQ(mk.Type(), CSTA_MAKE_CALL);
  EXPECT_EQ(Bytes(mk, 10, 3), std::string("21\0", 3));
  EXPECT_EQ(Bytes(mk, 74, 8), std::string("0891234\0", 8));
  EXPECT_TRUE(ZeroFrom(mk, 82));

  CSTAMessage cc = ClearConnectionRequest(1, 2, 0x01020304, "22");
  EXPECT_EQ(cc.Type(), 9);
  EXPECT_EQ(Bytes(cc, 10, 7), std::string("\x04\x03\x02\x01" "22\0", 7));
  EXPECT_TRUE(ZeroFrom(cc, 17));

  CSTAMessage cs = ConsultationCallRequest(1, 2, 5, "21", "33");
  EXPECT_EQ(cs.Type(), 13);
  EXPECT_EQ(cs.U32(10), 5u);
  EXPECT_EQ(cs.Text(14, 64), "21");
  EXPECT_EQ(cs.Text(80, 64), "33");
  EXPECT_TRUE(ZeroFrom(cs, 83));

  CSTAMessage tr = TransferCallRequest(1, 2, 5, "0711", 6, "34");
  EXPECT_EQ(tr.Type(), 51);
  EXPECT_EQ(tr.U32(10), 5u);
  EXPECT_EQ(tr.Text(14, 64), "0711");
  EXPECT_EQ(tr.U32(80), 6u);
  EXPECT_EQ(tr.Text(84, 64), "34");

  CSTAMessage df = DeflectCallRequest(1, 2, 9, "0711", "21");
  EXPECT_EQ(df.Type(), 15);
  EXPECT_EQ(df.U32(10), 9u);
  EXPECT_EQ(df.Text(14, 64), "0711");
  EXPECT_EQ(df.Text(80, 64), "21");

  CSTAMessage caps = GetApiCapsRequest(3, 0);
  EXPECT_EQ(caps.Type(), 124);
  EXPECT_TRUE(ZeroFrom(caps, 10));
}

TEST(CstaRequests, HoldCallOverlapKeepsTheOtherNumberFrom74) {
  const std::string main(63, 'M');  // fills 14..76 with its zero at 77
  CSTAMessage h = HoldCallRequest(1, 2, 0x55, main, "00891234");
  EXPECT_EQ(h.Type(), CSTA_HOLD_CALL);
  EXPECT_EQ(h.U32(10), 0x55u);
  EXPECT_EQ(Bytes(h, 14, 60), std::string(60, 'M'));
  // Bytes 74..80 are the ones sent with the 81-byte request.
  EXPECT_EQ(Bytes(h, 74, 7), "0089123");
  EXPECT_EQ(h.Text(74, 64), "00891234");
  EXPECT_EQ(CSTASendLength(h.Type()), 81);

  CSTAMessage s = HoldCallRequest(1, 2, 1, "21", "5");
  EXPECT_EQ(Bytes(s, 14, 3), std::string("21\0", 3));
  EXPECT_EQ(Bytes(s, 74, 2), std::string("5\0", 2));
}

TEST(CstaRequests, LongNumbersAreCutInsideTheirField) {
  const std::string longNumber(200, '9');
  CSTAMessage m = MakeCallRequest(1, 2, longNumber, longNumber);
  EXPECT_EQ(m.Text(10, 64), std::string(63, '9'));
  EXPECT_EQ(m.bytes[73], 0);
  EXPECT_EQ(m.Text(74, 64), std::string(63, '9'));
  EXPECT_EQ(m.bytes[137], 0);
  EXPECT_TRUE(ZeroFrom(m, 138));

  CSTAMessage c = ConsultationCallRequest(1, 2, 3, longNumber, longNumber);
  EXPECT_EQ(c.bytes[77], 0);
  EXPECT_EQ(c.bytes[78], 0);
  EXPECT_EQ(c.bytes[79], 0);
  EXPECT_EQ(c.bytes[143], 0);
  EXPECT_TRUE(ZeroFrom(c, 144));

  CSTAMessage p = PrivateRequest(1, 0, 12, std::string(300, '1'));
  EXPECT_EQ(p.Text(11, 200), std::string(99, '1'));
  EXPECT_TRUE(ZeroFrom(p, 110));
}

TEST(CstaRequests, MonitorSnapshotForwardingAndPrivate) {
  CSTAMessage mon = MonitorDeviceRequest(4, "25");
  EXPECT_EQ(mon.CrossRefId(), 0u);
  EXPECT_EQ(mon.Type(), 111);
  EXPECT_EQ(Bytes(mon, 10, 3), std::string("25\0", 3));
  EXPECT_EQ(Bytes(mon, 74, 3), "\xFC\xFF\xFF");
  EXPECT_TRUE(ZeroFrom(mon, 77));

  CSTAMessage stop = MonitorStopRequest(4, 0xA1B2C3D4);
  EXPECT_EQ(stop.Type(), 117);
  EXPECT_EQ(Bytes(stop, 4, 4), "\xD4\xC3\xB2\xA1");
  EXPECT_EQ(Bytes(stop, 10, 4), "\xD4\xC3\xB2\xA1");
  EXPECT_TRUE(ZeroFrom(stop, 14));

  EXPECT_EQ(SnapshotDeviceRequest(1, 2, "26").Type(), 122);
  EXPECT_EQ(SnapshotDeviceRequest(1, 2, "26").Text(10, 64), "26");
  EXPECT_EQ(QueryForwardingRequest(1, 2, "27").Type(), 31);
  EXPECT_EQ(QueryForwardingRequest(1, 2, "27").Text(10, 64), "27");

  CSTAMessage k18 = PrivateRequest(9, 0, EXTPBX_GETMAXNUMBEROFDEVICES);
  EXPECT_EQ(k18.Type(), 93);
  EXPECT_EQ(k18.bytes[10], 18);
  EXPECT_TRUE(ZeroFrom(k18, 11));
  CSTAMessage k2 = PrivateRequest(9, 0, EXTPBX_GETSINGLECALLINFOBYIDX, "17");
  EXPECT_EQ(Bytes(k2, 10, 4), std::string("\x02" "17\0", 4));
}

TEST(CstaEvents, ConnectionEventsReadTheirOffsets) {
  CSTAMessage m;
  m.SetType(CSTA_DELIVERED);
  CSTAConnectionId{0x77, "21", 1}.Write(m, 10);
  CSTAExtendedDevice{"21", 2, 3}.Write(m, 80);
  CSTAExtendedDevice{"08912", 4, 5}.Write(m, 148);
  CSTAExtendedDevice{"21", 6, 7}.Write(m, 216);
  CSTAExtendedDevice{"30", 8, 9}.Write(m, 284);
  m.SetU16(352, 2);
  m.SetU16(354, 22);
  EXPECT_EQ(m.U32(10), 0x77u);
  EXPECT_EQ(m.Text(14, 64), "21");
  EXPECT_EQ(m.U16(78), 1);
  EXPECT_EQ(m.U16(144), 2);
  EXPECT_EQ(m.U16(146), 3);
  const DeliveredEvent d = ReadDelivered(m);
  EXPECT_EQ(d.connection, (CSTAConnectionId{0x77, "21", 1}));
  EXPECT_EQ(d.alertingDevice, (CSTAExtendedDevice{"21", 2, 3}));
  EXPECT_EQ(d.callingDevice.device, "08912");
  EXPECT_EQ(d.calledDevice.deviceIdStatus, 7);
  EXPECT_EQ(d.lastRedirectionDevice.device, "30");
  EXPECT_EQ(d.localConnectionState, 2);
  EXPECT_EQ(d.cause, 22);

  CSTAMessage c;
  CSTAConnectionId{5, "22", 0}.Write(c, 10);
  CSTAExtendedDevice{"23", 0, 0}.Write(c, 80);
  c.SetU16(148, 3);
  c.SetU16(150, 38);
  const ConnectionClearedEvent cl = ReadConnectionCleared(c);
  EXPECT_EQ(cl.droppedConnection.callId, 5u);
  EXPECT_EQ(cl.releasingDevice.device, "23");
  EXPECT_EQ(cl.localConnectionState, 3);
  EXPECT_EQ(cl.cause, 38);
  const HeldEvent h = ReadHeld(c);
  EXPECT_EQ(h.device.device, "23");
  EXPECT_EQ(h.cause, 38);

  CSTAMessage f;
  CSTAExtendedDevice{"24", 0, 0}.Write(f, 148);
  f.SetU16(216, 4);
  f.SetU16(218, 3);
  const FailedEvent fe = ReadFailed(f);
  EXPECT_EQ(fe.calledDevice.device, "24");
  EXPECT_EQ(fe.localConnectionState, 4);
  EXPECT_EQ(fe.cause, 3);

  CSTAMessage s;
  CSTAConnectionId{8, "21", 0}.Write(s, 10);
  s.SetU16(80, 1);
  s.SetU16(82, 22);
  const ServiceInitiatedEvent si = ReadServiceInitiated(s);
  EXPECT_EQ(si.initiatedConnection.callId, 8u);
  EXPECT_EQ(si.localConnectionState, 1);
  EXPECT_EQ(si.cause, 22);

  CSTAMessage t;
  CSTAConnectionId{1, "21", 0}.Write(t, 10);
  CSTAConnectionId{2, "25", 0}.Write(t, 80);
  EXPECT_EQ(t.Text(84, 64), "25");
  EXPECT_EQ(ReadTransferred(t).secondaryOldCall.device, "25");
  EXPECT_EQ(ReadTransferred(t).primaryOldCall.callId, 1u);

  CSTAMessage u;
  u.SetU16(10, static_cast<std::uint16_t>(-3));
  EXPECT_EQ(ReadUniversalFailureCode(u), -3);
}

TEST(CstaEvents, ConferencedReadsOnlyEntriesWithinTheRecord) {
  CSTAMessage m;
  CSTAExtendedDevice{"21", 0, 0}.Write(m, 150);
  CSTAExtendedDevice{"26", 0, 0}.Write(m, 218);
  m.SetU16(286, 2);
  CSTAConnectionId{40, "21", 0}.Write(m, 288);
  CSTAExtendedDevice{"21", 0, 0}.Write(m, 358);
  CSTAConnectionId{41, "26", 0}.Write(m, 426);
  ConferencedEvent e = ReadConferenced(m);
  EXPECT_EQ(e.conferencingDevice.device, "21");
  EXPECT_EQ(e.addedParty.device, "26");
  ASSERT_EQ(e.connections.size(), 2u);
  EXPECT_EQ(e.connections[0].connection.callId, 40u);
  EXPECT_EQ(e.connections[1].connection.device, "26");

  m.SetU16(286, 0xFFFF);
  e = ReadConferenced(m);
  EXPECT_EQ(e.count, 0xFFFF);
  EXPECT_EQ(e.connections.size(), 5u);  // (982 - 288) / 138
}

TEST(CstaEvents, ConfirmationsKeepTheirBytes) {
  CSTAMessage m;
  for (std::size_t i = 10; i < CSTAMessage::kSize; ++i) m.bytes[i] = static_cast<std::uint8_t>(i);
  m.SetU32(10, 0x12345678);
  m.SetU32(14, 2);
  m.SetU32(18, 3);
  m.SetU8(22, 4);
  const MonitorConf mc = ReadMonitorConf(m);
  EXPECT_EQ(mc.crossRefId, 0x12345678u);
  EXPECT_EQ(mc.word14, 2u);
  EXPECT_EQ(mc.word18, 3u);
  EXPECT_EQ(mc.byte22, 4);

  m.SetU16(40, 1);
  m.SetU16(140, 0);
  ApiCapsConf caps = ReadApiCapsConf(m);
  EXPECT_TRUE(caps.answersQueryForwarding);
  EXPECT_FALSE(caps.answersSnapshotDevice);
  EXPECT_EQ(0, std::memcmp(caps.kept.data(), m.data() + 10, 158));

  const QueryForwardingConf q = ReadQueryForwardingConf(m);
  EXPECT_EQ(0, std::memcmp(q.kept.data(), m.data() + 10, 471));

  CSTAMessage s;
  s.SetU16(10, 3);
  s.SetText(16, 64, "27");
  const SnapshotDeviceConf sc = ReadSnapshotDeviceConf(s);
  EXPECT_EQ(sc.count, 3);
  EXPECT_EQ(sc.device, "27");
  EXPECT_EQ(sc.kept[6], '2');

  CSTAMessage mk;
  CSTAConnectionId{99, "21", 0}.Write(mk, 10);
  mk.SetU16(80, 3);
  EXPECT_EQ(ReadMakeCallConf(mk).newCall.callId, 99u);
  EXPECT_EQ(ReadConferenceCallConf(mk).count, 3);
}

TEST(CstaPrivate, RepliesAndPackedDigits) {
  CSTAMessage m = PrivateRequest(0, 0, EXTPBX_GETSINGLECALLINFOBYIDX_CONF);
  m.SetText(11, 5, "12");
  m.SetText(16, 11, "946684800");
  m.SetText(27, 6, "65");
  m.SetText(33, 7, "3");
  const std::uint8_t bcd[10] = {0x08, 0x91, 0x23, 0x4F, 0xFF, 0x21, 0xFF, 0x99, 0x99, 0x99};
  std::memcpy(m.data() + 40, bcd, 10);
  const PrivateReply r = ReadPrivateReply(m);
  EXPECT_EQ(r.kind, 3);
  EXPECT_EQ(r.index, "12");
  EXPECT_EQ(r.startTime, "946684800");
  EXPECT_EQ(r.duration, "65");
  EXPECT_EQ(r.units, "3");
  EXPECT_EQ(r.callingNumber, "0891234");  // the half 0xF is skipped
  EXPECT_EQ(r.calledNumber, "21");        // the second 0xFF ends the scan

  std::string a, b;
  EXPECT_EQ(UnpackBcdNumbers(nullptr, &a, &b), 0);
  EXPECT_EQ(UnpackBcdNumbers(bcd, nullptr, &b), 0);
  const std::uint8_t full[10] = {0x12, 0x34, 0x56, 0x78, 0x90, 0x12, 0x34, 0x56, 0x78, 0x90};
  EXPECT_EQ(UnpackBcdNumbers(full, &a, &b), 1);
  EXPECT_EQ(a, "12345678901234567890");
  EXPECT_EQ(b, "");

  CSTAMessage u = PrivateRequest(0, 0, EXTPBX_GETDEVICEUNITS_CONF);
  u.SetText(11, 11, "12");
  u.SetText(22, 6, "140");
  u.SetText(28, 83, "Empfang");
  const PrivateReply ur = ReadPrivateReply(u);
  EXPECT_EQ(ur.device, "12");
  EXPECT_EQ(ur.units, "140");
  EXPECT_EQ(ur.dialledNumber, "Empfang");

  CSTAMessage l = PrivateRequest(0, 0, EXTPBX_GETLASTCALLINFO_CONF);
  l.SetText(11, 11, "21");
  l.SetText(46, 65, "0891234");
  EXPECT_EQ(ReadPrivateReply(l).device, "21");
  EXPECT_EQ(ReadPrivateReply(l).dialledNumber, "0891234");

  CSTAMessage n = PrivateRequest(0, 0, EXTPBX_GETNUMBEROFCALLINFOS_CONF);
  n.SetText(22, 89, "42");
  EXPECT_EQ(ReadPrivateReply(n).count, "42");
  CSTAMessage d = PrivateRequest(0, 0, EXTPBX_GETMAXNUMBEROFDEVICES_CONF);
  d.SetText(11, 100, "60");
  EXPECT_EQ(ReadPrivateReply(d).count, "60");
}
