// Message boxes the display control must not show where it is asked to
// (inside an export the host calls from its own handlers, inside a
// window's handler): posted to this target and shown from the loop.
#pragma once
#include <string>

#include "platform/messages.h"

namespace tarquel {

class CBoxPoster : public plat::IMessageTarget {
 public:
  static constexpr plat::UINT kMsgBox = plat::WM_USER + 0x300;

  CBoxPoster();
  ~CBoxPoster() override;
  CBoxPoster(const CBoxPoster&) = delete;
  CBoxPoster& operator=(const CBoxPoster&) = delete;

  // Shown later with owner as the box's owner window; false when the
  // message could not be queued.
  bool Post(const std::string& text, const std::string& caption, plat::WindowId owner = 0);
  plat::WindowId Id() const { return id_; }

  plat::LRESULT OnMessage(const plat::Message& m) override;

 private:
  plat::WindowId id_;
};

}  // namespace tarquel
