#include "app/view/linkwatch.h"

#include "app/view/viewlink.h"
#include "core/base/globallog.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {
std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }
}  // namespace

CLinkWatch::CLinkWatch(IViewLink& link, std::function<void(const std::string&)> status)
    : link_(link), status_(std::move(status)) {
  self_ = plat::RegisterTarget(this);
}

CLinkWatch::~CLinkWatch() { plat::UnregisterTarget(self_); }

void CLinkWatch::OnLineLost() {
  if (stopped_ || lost_) return;
  lost_ = true;
  const std::string text = T(plat::TextId(43, 26));
  status_(text);
  GlobalLog().WriteEntry(text.c_str());
  plat::SetTimer(self_, kTimerRetry, kRetryMs);
}

void CLinkWatch::Stop() {
  stopped_ = true;
  lost_ = false;
  plat::KillTimer(self_, kTimerRetry);
}

plat::LRESULT CLinkWatch::OnMessage(const plat::Message& m) {
  if (m.msg != plat::WM_TIMER || m.wParam != kTimerRetry || !lost_ || stopped_) return 0;
  ++retries_;
  if (link_.Reopen() == 0) {
    plat::SetTimer(self_, kTimerRetry, kRetryMs);
    return 0;
  }
  lost_ = false;
  const std::string text = T(plat::TextId(43, 27));
  status_(text);
  GlobalLog().WriteEntry(text.c_str());
  return 0;
}
