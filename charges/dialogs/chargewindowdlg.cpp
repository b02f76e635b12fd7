#include "charges/dialogs/chargewindowdlg.h"

#include "charges/handler/chargeandloghandler.h"

CChargeWindowDlg::CChargeWindowDlg(int resourceId, Items items, CChargeAndLogHandler* handler,
                                   IReportPrinter* printer)
    : CListDialog(plat::dlg::kProgram, resourceId), handler_(handler), printer_(printer), items_(items) {}

void CChargeWindowDlg::OnChargeWindowNotify(int code, const std::string& text) {
  switch (code) {
    case 6:
      if (handler_) SetItemText(items_.readTime, handler_->GetReadOutTimeText(items_.readOutKind));
      break;
    case 9:
      SetItemText(items_.status, text);
      break;
    default:
      OnNotify(code);
      break;
  }
}

void CChargeWindowDlg::Leave(int result) {
  Detach();
  EndDialog(result);
}
