// Received bytes through the splitters and the control handlers of both
// roles: the first byte picks how the stream is cut into reads.
#include <cstddef>
#include <cstdint>

#include "netlink/control.h"
#include "netlink/splitter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace netlink;
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] % 97;
  ++data;
  --size;
  ServerControl server;
  ClientControl client;
  std::uint32_t owner = 1;
  auto feed = [&](const std::uint8_t* f, std::size_t len) {
    std::size_t rule = 0;
    const Length l = FrameLength(f, len, &rule);
    if (l == Length::Frame && rule > len) __builtin_trap();
    server.Handle(f, len, owner, 0x0100007F);
    client.Handle(f, len, 0x0200007F, 0);
    owner = owner % 3 + 1;
    if (f[kOffKind] == 0xEE) server.DropOwner(owner);
  };
  StreamSplitter stream;
  for (std::size_t off = 0; off < size; off += step) {
    const std::size_t n = size - off < step ? size - off : step;
    stream.Append(data + off, n);
    std::size_t len = 0;
    while (const std::uint8_t* f = stream.Next(&len)) feed(f, len);
  }
  SplitLoss loss;
  BlockSplitter block(data, size, &loss);
  std::size_t len = 0;
  while (const std::uint8_t* f = block.Next(&len)) feed(f, len);
  if (server.RegisteredCount() > ServerControl::kConnections) __builtin_trap();
  return 0;
}
