#include "app/view/chargewindows.h"

#include <memory>

#include "app/dialogs/calldatareport.h"
#include "app/doc/brimlowdoc.h"
#include "app/view/brimlowview.h"
#include "charges/dialogs/chargereportdlg.h"
#include "charges/dialogs/totalchargesdlg.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace {

struct ChargeWindows {
  CMarpelReportPrinter printer;
  std::unique_ptr<CTotalChargesDlg> totals;  // the view's member 12
  bool totalsOpen = false;
};

void AlreadyOpen(CBrimlowView& view) {
  plat::MessageBox(view.Id(), plat::GetTextOr(plat::TextId(43, 10), ""), plat::GetTextOr(plat::TextId(0, 0), ""),
                   plat::MB_OK | plat::MB_ICONINFORMATION);
}

}  // namespace

void InstallChargeWindows(CBrimlowView& view, CBrimlowDoc& doc) {
  auto w = std::make_shared<ChargeWindows>();
  CCommandTable& c = view.Commands();
  c.Register(CBrimlowView::ID_CHARGE_EVALUATION, [&view, &doc, w] {
    if (CChargeReportDlg::Current()) return AlreadyOpen(view);
    RunChargeReportDlg(&view.Charges(), &doc.MonitorTable(), &w->printer, view.Id());
  });
  c.Register(CBrimlowView::ID_TOTAL_CHARGES, [&view, w] {
    if (w->totalsOpen) return AlreadyOpen(view);
    if (!w->totals) w->totals = std::make_unique<CTotalChargesDlg>(&view.Charges(), &w->printer);
    w->totalsOpen = true;
    w->totals->DoModal(view.Id());
    w->totalsOpen = false;
  });
}
