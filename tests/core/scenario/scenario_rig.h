// The objects a scenario runs on, open to tests that look inside.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "scenario.h"
#include "tests/phonebook/fake/fake_phonebook.h"

struct Scenario::Rig {
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  FakePhoneBook book;
  CMonitorTable table;
  FakeView view;
  FakeLink link;
  FakeDrawing drawing;
  FakeCallbackList callbacks;
  FakeMissedCalls missed;
  FakeCallData callData;
  FakeSpeedDial speedDial;
  FakePrompt prompt;
  FakeCharge charge;
  CCallHandler handler;
  CMessageFilter filter;
  std::map<std::string, std::unique_ptr<RecordingListener>> listeners;
  std::vector<std::string> listenerOrder;
  CCallInfo* held = nullptr;
  CCallInfo* consult = nullptr;
  int result = 0;
  std::size_t sentAt = 0, hubAt = 0, eventAt = 0, drawAt = 0, boxAt = 0;

  Rig() {
    link.filter = &filter;
    link.monitors = &table;
    link.view = view.id;
    view.filter = &filter;
    view.link = &link;
    handler.view = view.id;
    handler.link = &link;
    handler.monitors = &table;
    handler.phoneBook = &book;
    handler.callbackList = &callbacks;
    handler.missedCalls = &missed;
    handler.callData = &callData;
    handler.speedDial = &speedDial;
    handler.prompt = &prompt;
    filter.link = &link;
    filter.callHandler = &handler;
    filter.monitors = &table;
    filter.drawing = &drawing;
    filter.charge = &charge;
    filter.view = view.id;
    boxes.defaultAnswer = plat::IDNO;
  }
  ~Rig() {
    handler.JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table.EntryAt(i)) e->currentCall = nullptr;
    for (auto& [name, l] : listeners) filter.RemoveListener(l.get());
  }
  void Settle() {
    handler.JoinWorkers();
    loop.RunUntilIdle();
  }
};
