// What the view does for the link in these tests: runs the link steps on
// timer 5 and the filter's repeat on timer 7, and records every other code
// it is sent with its wParam. Extra duties go into Other.
#pragma once
#include <algorithm>
#include <vector>

#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/sytemobject.h"
#include "platform/messages.h"

struct ViewStandIn : plat::IMessageTarget {
  plat::WindowId id = plat::RegisterTarget(this);
  CSytemObject* link = nullptr;
  CMessageFilter* filter = nullptr;
  std::vector<plat::UINT> codes;
  std::vector<plat::WPARAM> params;  // wParam of each code

  ~ViewStandIn() override { plat::UnregisterTarget(id); }
  // A message the stand-in does not handle itself; true when taken.
  virtual bool Other(const plat::Message&) { return false; }

  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg == plat::WM_TIMER) {
      if (m.wParam == hub::kTimerLinkStep && link && link->LinkStep()) plat::SetTimer(id, hub::kTimerLinkStep, 100);
      if (m.wParam == hub::kTimerRequest && filter) filter->OnTimer(hub::kTimerRequest);
      return 0;
    }
    if (m.msg == hub::kStartRequestTimer) return plat::SetTimer(id, hub::kTimerRequest, static_cast<plat::UINT>(m.wParam));
    if (m.msg == hub::kStopRequestTimer) return plat::KillTimer(id, hub::kTimerRequest);
    if (Other(m)) return 0;
    codes.push_back(m.msg);
    params.push_back(m.wParam);
    return 0;
  }
  int Count(plat::UINT code) const { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }
  int Count(plat::UINT code, plat::WPARAM w) const {
    int n = 0;
    for (std::size_t i = 0; i < codes.size(); ++i) n += codes[i] == code && params[i] == w;
    return n;
  }
  bool Saw(plat::UINT code) const { return Count(code) > 0; }
  void Clear() {
    codes.clear();
    params.clear();
  }
};
