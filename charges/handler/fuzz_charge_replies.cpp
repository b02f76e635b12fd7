// Private replies through the filter into the handler: the first byte picks
// the job the handler starts, then each 111 bytes become one type-93
// record (any kind, any text) from the PBX.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "charges/handler/chargeandloghandler.h"
#include "core/base/globalconfig.h"
#include "core/filter/messagefilter.h"
#include "platform/eventloop.h"
#include "fuzz/scratch.h"
#include "fuzz/boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzboxes::Scope boxes;
  static const std::string file = fuzzscratch::File("charges.log");
  ::unlink(file.c_str());
  plat::ManualLoop loop;
  CGlobalConfig config;
  CMessageFilter filter;
  CChargeAndLogHandler h(&config);
  h.SetPartners(nullptr, nullptr, filter.MessageSink(), nullptr);
  filter.charge = &h;
  h.OpenChargeFile(file);
  if (size > 0) {
    switch (data[0] % 6) {
      case 0: h.StartAllRecordsReadOut(); break;
      case 1: h.StartNewRecordsReadOut(); break;
      case 2: h.StartSumsReadOut(); break;
      case 3: h.RequestRecordCount(); break;
      case 4: h.DeleteDeviceUnits("*"); break;
      default: h.DeleteAllPbxRecords(); break;
    }
  }
  for (std::size_t at = 1; at < size; at += kCSTAPrivateLength) {
    CSTAMessage m = CSTAMessage::FromBytes(data + at, std::min<std::size_t>(kCSTAPrivateLength, size - at));
    m.SetType(CSTA_PRIVATE);
    m.SetCrossRefId(0);
    filter.OnCSTAMessage(&m);
    loop.RunUntilIdle();
  }
  filter.OnTimer(7);
  h.SaveState();
  for (int kind : {0, 1, 3, 4}) h.GetFirstReportLine(kind, 1);
  h.CloseFiles();
  filter.charge = nullptr;
  ::unlink(file.c_str());
  return 0;
}
