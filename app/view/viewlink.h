// The PBX link object (the view's member 6) as the view drives it: the
// real CSytemObject by default; tests may put a stand-in in its place.
#pragma once
#include <memory>

#include "core/iface/pbxlink.h"
#include "core/link/sytemobject.h"
#include "platform/win32types.h"

class IViewLink {
 public:
  virtual ~IViewLink() = default;
  // Requests and link events.
  virtual IPBXLink& Pbx() = 0;
  // Serial link: opens the port and starts; network link: starts once the
  // server confirmed the registration.
  virtual int Open(plat::WindowId view) = 0;
  // One shut-down step; 1 once the link is closed.
  virtual int StopStep() = 0;
  // One step of timer 5; non-zero while more follow.
  virtual int LinkStep() = 0;
  virtual int ProcessCommInput(plat::WPARAM wParam, plat::LPARAM lParam) = 0;
  virtual void SetOwner(plat::WindowId view) = 0;
  // After a lost serial line: opens the port again without a word and
  // starts up anew; 0 while it cannot be opened.
  virtual int Reopen() = 0;
  // The real object, for the network path; null for a stand-in.
  virtual CSytemObject* Object() { return nullptr; }
};

class CSytemLink : public IViewLink {
 public:
  CSytemLink(plat::WindowId view, IPBXLinkFilter* filter, CMonitorTable* monitors)
      : link_(view, filter, monitors) {}
  IPBXLink& Pbx() override { return link_; }
  int Open(plat::WindowId view) override { return link_.Open(view); }
  int StopStep() override { return link_.StopStep(); }
  int LinkStep() override { return link_.LinkStep(); }
  int ProcessCommInput(plat::WPARAM w, plat::LPARAM l) override { return link_.ProcessCommInput(w, l); }
  void SetOwner(plat::WindowId view) override { link_.SetView(view); }
  int Reopen() override { return link_.Reopen(); }
  CSytemObject* Object() override { return &link_; }

 private:
  CSytemObject link_;
};
