// What the scenario rigs share, the one on FakeView and the one on the real
// hub: the manual loop, the boxes and the phone book; the fake lists the
// call handler and the filter report to; the state a script keeps.
#pragma once
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "tests/phonebook/fake/fake_phonebook.h"

struct RigParts {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  FakePhoneBook book;
  FakeDrawing drawing;
  FakeCallbackList callbacks;
  FakeMissedCalls missed;
  FakeCallData callData;
  FakeSpeedDial speedDial;
  FakePrompt prompt;
  FakeCharge charge;
  std::map<std::string, std::unique_ptr<RecordingListener>> listeners;
  std::vector<std::string> listenerOrder;
  CCallInfo* held = nullptr;
  CCallInfo* consult = nullptr;
  int result = 0;
  std::size_t sentAt = 0, hubAt = 0, eventAt = 0, drawAt = 0, boxAt = 0;

  // The link, the handler and the filter report to the view at viewId and
  // to these fakes; boxes answer no.
  void Wire(FakeLink& link, CCallHandler& handler, CMessageFilter& filter, CMonitorTable& table,
            plat::WindowId viewId) {
    link.filter = &filter;
    link.monitors = &table;
    link.view = viewId;
    handler.view = viewId;
    handler.link = &link;
    handler.phoneBook = &book;
    handler.callbackList = &callbacks;
    handler.missedCalls = &missed;
    handler.callData = &callData;
    handler.speedDial = &speedDial;
    handler.prompt = &prompt;
    filter.link = &link;
    filter.drawing = &drawing;
    filter.charge = &charge;
    filter.view = viewId;
    boxes.defaultAnswer = plat::IDNO;
  }
  // The workers joined, no monitor entry left on a call, the listeners
  // taken off the filter.
  void Unwire(CCallHandler& handler, CMessageFilter& filter, CMonitorTable& table) {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table.EntryAt(i)) e->currentCall = nullptr;
    for (auto& [name, l] : listeners) filter.RemoveListener(l.get());
  }
};
