// The objects a scenario runs on, open to tests that look inside.
#pragma once
#include "fakes.h"
#include "rigparts.h"
#include "scenario.h"

struct Scenario::Rig : RigParts {
  CMonitorTable table;
  FakeView view;
  FakeLink link;
  CCallHandler handler;
  CMessageFilter filter;

  Rig() {
    Wire(link, handler, filter, table, view.id);
    view.filter = &filter;
    view.link = &link;
    handler.monitors = &table;
    filter.callHandler = &handler;
    filter.monitors = &table;
  }
  ~Rig() { Unwire(handler, filter, table); }
  void Settle() {
    handler.JoinWorkers();
    loop.RunUntilIdle();
  }
};
