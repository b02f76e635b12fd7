// Watches the serial line under the link: when it goes away the status
// line and the log say so, and the port is tried again every few seconds
// until it opens, when the link object runs the whole start-up anew (a
// USB adapter unplugged and plugged back gets its link without a restart).
#pragma once
#include <functional>
#include <string>

#include "platform/messages.h"

class IViewLink;

class CLinkWatch : public plat::IMessageTarget {
 public:
  static constexpr plat::UINT kTimerRetry = 1;
  static constexpr plat::UINT kRetryMs = 3000;

  // status: sets the view's status line.
  CLinkWatch(IViewLink& link, std::function<void(const std::string&)> status);
  ~CLinkWatch() override;
  CLinkWatch(const CLinkWatch&) = delete;
  CLinkWatch& operator=(const CLinkWatch&) = delete;

  // The link object reported a lost line.
  void OnLineLost();
  // The shut-down: no more retries.
  void Stop();
  bool Lost() const { return lost_; }
  int Retries() const { return retries_; }
  plat::WindowId Id() const { return self_; }

  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  IViewLink& link_;
  std::function<void(const std::string&)> status_;
  plat::WindowId self_ = 0;
  bool lost_ = false;
  bool stopped_ = false;
  int retries_ = 0;
};
