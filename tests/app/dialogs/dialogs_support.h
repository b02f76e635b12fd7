// What the overview and settings dialog tests share: the call window
// fixture (offscreen application, manual loop, texts named by id, scripted
// boxes, a temporary SDFN file) and a recorder for the view's hub that
// keeps each message's payload.
#pragma once
#include <string>
#include <vector>

#include "tests/app/callwin/callwin_support.h"

namespace dialogtest {

struct HubMessage {
  plat::UINT code = 0;
  plat::WPARAM w = 0;
  plat::LPARAM l = 0;
  std::string text;  // the payload as a terminated text
};

class ViewRecorder : public plat::IMessageTarget {
 public:
  ViewRecorder() { id = plat::RegisterTarget(this); }
  ~ViewRecorder() override { plat::UnregisterTarget(id); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    HubMessage h{m.msg, m.wParam, m.lParam, {}};
    if (!m.payload.empty()) h.text.assign(reinterpret_cast<const char*>(m.data()));
    got.push_back(h);
    return 0;
  }
  plat::WindowId id = 0;
  std::vector<HubMessage> got;
};

// Watched extension with a name, as the monitor settings would leave it.
inline CMonitorEntry* WatchNamed(callwintest::CoreRig& rig, const std::string& number, const std::string& title,
                                 const std::string& name) {
  CMonitorEntry e;
  e.SetNumber(number);
  e.title = title;
  e.name = name;
  e.watchMode = CMonitorEntry::kExtended;
  e.monitoringOn = 1;
  rig.table.SetEntry(e);
  return rig.table.FindByNumber(number);
}

}  // namespace dialogtest
