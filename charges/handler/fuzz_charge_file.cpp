// Arbitrary charge file bytes: opened, read through every report kind and
// mode, summarised, and one record stored behind whatever is there.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargerecord.h"
#include "charges/handler/chargewire.h"
#include "core/base/globalconfig.h"
#include "platform/eventloop.h"
#include "fuzz/scratch.h"
#include "fuzz/boxes.h"

// The header and 16 records: more records only repeat the reads of every
// report kind and mode for each of them.
constexpr std::size_t kMaxBytes = ChargeFileHeader::kSize + 16 * ChargeRecord::kSize;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  size = std::min(size, kMaxBytes);
  const fuzzboxes::Scope boxes;
  static const std::string file = fuzzscratch::File("chargefile.log");
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  plat::ManualLoop loop;
  CGlobalConfig config;
  CMonitorTable table;
  CMonitorEntry e;
  e.SetNumber("21");
  table.SetEntry(e);
  {
    CChargeAndLogHandler h(&config);
    h.SetPartners(nullptr, nullptr, nullptr, &table);
    h.OpenChargeFile(file);
    std::int32_t on = 1;
    h.SetParameter(14, &on);
    for (int sw : {7, 8, 9, 11, 12, 13}) h.SetParameter(sw, &on);
    for (int mode = 0; mode <= 5; ++mode) {
      std::int32_t m = mode;
      h.SetParameter(15, &m);
      for (int kind : {0, 1, 3, 4})
        for (std::string l = h.GetFirstReportLine(kind, mode, "*1"); !l.empty(); l = h.GetNextReportLine(kind, mode)) {
        }
      for (int kind = 0; kind <= 8; ++kind)
        for (int style = 0; style <= 3; ++style) h.GetSummaryText(kind, style);
    }
    h.GetReadOutTimeText(0);
    h.StartAllRecordsReadOut();
    h.ProcessChargeMessage(chargewire::CountReply(17, "5"));
    h.ProcessChargeMessage(chargewire::CountReply(1, "1"));
    h.ProcessChargeMessage(chargewire::RecordReply(0, 1700000000, 1, 1, "21", "0891"));
    loop.RunUntilIdle();
  }
  ::unlink(file.c_str());
  return 0;
}
