#include "ui/listdialog.h"

#include "platform/messages.h"
#include "platform/msgbox.h"

namespace {
constexpr plat::UINT kDeferred = plat::WM_USER + 400;
}

void CListDialog::Defer(int action, std::int64_t arg) {
  plat::PostMessage(Id(), kDeferred, static_cast<plat::WPARAM>(action), static_cast<plat::LPARAM>(arg));
}

plat::LRESULT CListDialog::OnWindowMessage(const plat::Message& m) {
  if (m.msg == kDeferred && IsCreated() && !Ended()) OnDeferred(static_cast<int>(m.wParam), m.lParam);
  return 0;
}

int CListDialog::Box(plat::TextId text, plat::UINT flags) {
  return plat::MessageBox(Id(), plat::GetTextOr(text, ""), GetWindowText(), flags);
}
