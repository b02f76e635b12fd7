#include "plugins/display/boxposter.h"

#include <cstring>

#include "platform/msgbox.h"

namespace tarquel {

CBoxPoster::CBoxPoster() : id_(plat::RegisterTarget(this)) {}

CBoxPoster::~CBoxPoster() { plat::UnregisterTarget(id_); }

bool CBoxPoster::Post(const std::string& text, const std::string& caption, plat::WindowId owner) {
  // Payload: caption, a zero, the text.
  std::string payload = caption;
  payload.push_back('\0');
  payload += text;
  return plat::PostMessage(id_, kMsgBox, owner, 0, payload.data(), payload.size());
}

plat::LRESULT CBoxPoster::OnMessage(const plat::Message& m) {
  if (m.msg != kMsgBox || m.payload.empty()) return 0;
  const char* p = reinterpret_cast<const char*>(m.payload.data());
  const std::size_t size = m.payload.size();
  const std::size_t captionEnd = strnlen(p, size);
  const std::string caption(p, captionEnd);
  const std::string text = captionEnd < size ? std::string(p + captionEnd + 1, size - captionEnd - 1) : std::string();
  const auto owner = static_cast<plat::WindowId>(m.wParam);
  plat::MessageBox(plat::IsTarget(owner) ? owner : 0, text, caption, plat::MB_OK);
  return 0;
}

}  // namespace tarquel
