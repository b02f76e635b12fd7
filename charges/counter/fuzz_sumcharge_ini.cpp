// Arbitrary charge-counter file bytes: loaded, attached to a display that
// checks every item it is handed, fed the units and deletions of the PBX,
// and saved again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "charges/counter/sumchargehandler.h"
#include "charges/handler/chargewire.h"
#include "core/base/globalconfig.h"
#include "core/monitor/monitortable.h"
#include "platform/eventloop.h"
#include "fuzz/scratch.h"
#include "fuzz/boxes.h"

namespace {

class CheckingDisplay : public IDisplayControl {
 public:
  int SetDisplayParam(const std::string&, const std::string&) override { return 0; }
  std::int32_t AddItem(std::int32_t parent) override {
    if (parent < 0 || parent > next_) std::abort();
    return ++next_;
  }
  int SetItemParam(std::int32_t item, const std::string&, const std::string&) override {
    if (item <= 0 || item > next_) std::abort();
    return 0;
  }

 private:
  std::int32_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzboxes::Scope boxes;
  static const std::string file = fuzzscratch::File("sumcharge.ini");
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
  plat::ManualLoop loop;
  CGlobalConfig config;
  GlobalConfig().SDFN.clear();
  CMonitorTable table;
  for (const char* n : {"10", "21", "22", "35"}) {
    CMonitorEntry e;
    e.SetNumber(n);
    e.monitoringOn = 1;
    table.SetEntry(e);
  }
  CheckingDisplay display;
  {
    CSumChargeHandler m(&config);
    m.LoadSettings(file);
    m.AttachDisplay(&table, &display, nullptr);
    m.ProcessCSTAMessage(chargewire::UnitsReply("21", 99999, "21"));
    m.ProcessCSTAMessage(chargewire::UnitsReply("10", -5, "10"));
    m.ProcessCSTAMessage(chargewire::DeviceReply(11, "21"));
    m.ProcessCSTAMessage(chargewire::DeviceReply(11, "*"));
    for (const auto& e : m.Extensions()) {
      m.UpdateLabels(*e);
      m.UpdateContents(*e);
    }
    loop.RunUntilIdle();
  }
  // What was saved loads again.
  {
    CSumChargeHandler again(&config);
    again.LoadSettings(file);
    again.AttachDisplay(&table, &display, nullptr);
  }
  ::unlink(file.c_str());
  return 0;
}
