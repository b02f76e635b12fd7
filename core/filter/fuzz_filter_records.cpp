// Arbitrary 982-byte records through the filter and the call model, with a
// monitored main phone so that events reach the handlers.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/nulllink.h"
#include "platform/eventloop.h"
#include "fuzz/boxes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzboxes::Scope boxes;
  plat::ManualLoop loop;
  CMonitorTable table;
  CMonitorEntry main;
  main.SetNumber("21");
  main.monitoringOn = 1;
  main.watchMode = CMonitorEntry::kExtended;
  table.SetEntry(main);
  table.SetMainPhone("21");
  table.MainPhoneEntry()->monitorState = CMonitorEntry::kMonitored;
  table.MainPhoneEntry()->crossRefId = 7;
  CMonitorEntry other;
  other.SetNumber("22");
  other.monitoringOn = 1;
  other.watchMode = CMonitorEntry::kExtended;
  table.SetEntry(other);

  NullLink link;
  CCallHandler handler;
  CMessageFilter filter;
  link.filter = &filter;
  handler.link = &link;
  handler.monitors = &table;
  filter.link = &link;
  filter.callHandler = &handler;
  filter.monitors = &table;

  // Each 982 bytes of input is one record; a short tail is zero-filled.
  for (std::size_t at = 0; at < size || at == 0; at += CSTAMessage::kSize) {
    std::size_t n = size - at < CSTAMessage::kSize ? size - at : CSTAMessage::kSize;
    CSTAMessage m = CSTAMessage::FromBytes(data + at, n);
    filter.OnCSTAMessage(&m);
    filter.GetMessageText(m);
    handler.JoinWorkers();
    loop.RunUntilIdle();
    if (size == 0) break;
  }
  filter.OnTimer(7);
  handler.PurgeReleasedCalls();
  for (auto* e : {table.MainPhoneEntry(), table.FindByNumber("22")})
    if (e) e->currentCall = nullptr;
  plat::SetMessageBoxImpl(nullptr);
  return 0;
}
