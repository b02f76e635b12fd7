// Frames built and checked per second: the sender's coder and line packet,
// then the receiver's parser, checker and expander, for three messages.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bound.h"
#include "core/wire/csta_requests.h"
#include "core/wire/line_packet.h"

#ifdef BRIMLOW_BENCH_ZLIB
#include <zlib.h>
#endif

namespace {

CSTAMessage Delivered() {
  CSTAMessage m;
  m.SetInvokeId(0);
  m.SetCrossRefId(3);
  m.SetType(CSTA_DELIVERED);
  CSTAConnectionId{0x1234, "21", 1}.Write(m, 10);
  CSTAExtendedDevice{"21", 1, 0}.Write(m, 80);
  CSTAExtendedDevice{"08912345678", 2, 0}.Write(m, 148);
  CSTAExtendedDevice{"21", 1, 0}.Write(m, 216);
  m.SetU16(352, 2);
  m.SetU16(354, 22);
  return m;
}

struct Payload {
  CSTAMessage message;
  std::size_t length;
};

Payload Pick(int which) {
  switch (which) {
    case 0:
      return {MakeCallRequest(17, 3, "21", "08912345678"), CSTASendLength(CSTA_MAKE_CALL)};
    case 1:
      return {Delivered(), 356};  // up to the cause field
    default:
      return {Delivered(), CSTAMessage::kSize};
  }
}

const char* const kNames[] = {"make_call_138", "delivered_356", "full_record_982"};

void BM_FrameRoundTrip(benchmark::State& state) {
  const Payload p = Pick(static_cast<int>(state.range(0)));
  FrameCoder tx;
  SerialReceiver rx;
  std::vector<std::uint8_t> packet(line::kMaxPacket);
  std::size_t wire = 0;
  int received = 0;
  for (auto _ : state) {
    wire = EncodeMessagePacket(tx, p.message.data(), p.length, packet.data(), packet.size());
    rx.Feed(packet.data(), wire, [&](const SerialReceiver::Result& r) { received += r.frameResult > 0; });
    benchmark::DoNotOptimize(received);
  }
  if (received != static_cast<int>(state.iterations())) state.SkipWithError("frame lost");
  state.SetLabel(kNames[state.range(0)]);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["plain_bytes"] = static_cast<double>(p.length);
  state.counters["packet_bytes"] = static_cast<double>(wire);
}
BENCHMARK(BM_FrameRoundTrip)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

#ifdef BRIMLOW_BENCH_ZLIB
void BM_ZlibLevel1(benchmark::State& state) {
  const Payload p = Pick(static_cast<int>(state.range(0)));
  std::vector<Bytef> packed(compressBound(p.length));
  std::vector<Bytef> back(p.length);
  uLongf packedLen = 0;
  for (auto _ : state) {
    packedLen = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &packedLen, p.message.data(), p.length, 1);
    uLongf backLen = static_cast<uLongf>(back.size());
    uncompress(back.data(), &backLen, packed.data(), packedLen);
    benchmark::DoNotOptimize(back.data());
  }
  state.SetLabel(kNames[state.range(0)]);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["plain_bytes"] = static_cast<double>(p.length);
  state.counters["packed_bytes"] = static_cast<double>(packedLen);
}
BENCHMARK(BM_ZlibLevel1)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
#endif

}  // namespace

int main(int argc, char** argv) { return benchbound::FiguresOnly(argc, argv); }
