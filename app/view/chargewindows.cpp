#include "app/view/chargewindows.h"

#include <QDialog>

#include <memory>

#include "charges/calldata/calldatareport.h"
#include "app/doc/brimlowdoc.h"
#include "app/view/brimlowview.h"
#include "charges/counter/displaycontrol.h"
#include "charges/counter/sumchargehandler.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/dialogs/chargereportdlg.h"
#include "charges/dialogs/extensioninfodlg.h"
#include "charges/dialogs/totalchargesdlg.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace {

struct ChargeWindows : IChargeReportWindow {
  ChargeWindows(CBrimlowView& v, CBrimlowDoc& d) : view(v), doc(d), info(&d.MonitorTable()) {}
  // The manager's report after a read-out: an open one is refreshed.
  void ShowReport(plat::WindowId parent) override {
    RunChargeReportDlg(&view.Charges(), &doc.MonitorTable(), &printer, parent ? parent : view.Id());
  }
  CBrimlowView& view;
  CBrimlowDoc& doc;
  CMarpelReportPrinter printer;
  std::unique_ptr<CTotalChargesDlg> totals;  // the view's member 12
  bool totalsOpen = false;
  CExtensionInfoWindow info;  // a tile's third button
  bool recordsOpen = false;                      // 32801, modal
  std::unique_ptr<CCallEvaluationDlg> entries;   // 32803, modeless
};

constexpr plat::UINT kServiceRecords = 32801, kChargeFileEntries = 32803;

void AlreadyOpen(CBrimlowView& view) {
  plat::MessageBox(view.Id(), plat::GetTextOr(plat::TextId(43, 10), ""), plat::GetTextOr(plat::TextId(0, 0), ""),
                   plat::MB_OK | plat::MB_ICONINFORMATION);
}

}  // namespace

void InstallChargeWindows(CBrimlowView& view, CBrimlowDoc& doc) {
  auto w = std::make_shared<ChargeWindows>(view, doc);
  view.SumCharges().SetReportWindow(w.get());
  view.SumCharges().SetExtensionInfoWindow(&w->info);
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
  c.Register(kServiceRecords, [&view, &doc, w] {
    if (w->recordsOpen) return AlreadyOpen(view);
    w->recordsOpen = true;
    CCallEvaluationDlg dlg(CCallEvaluationDlg::kServiceFile, &view.Charges(), &view.ServiceRecords(),
                           &doc.MonitorTable(), &w->printer);
    dlg.DoModal(view.Id());
    w->recordsOpen = false;
  });
  c.Register(kChargeFileEntries, [&view, &doc, w] {
    if (w->entries && w->entries->IsCreated()) {
      if (QDialog* d = w->entries->Window()) {
        d->raise();
        d->activateWindow();
      }
      return;
    }
    w->entries = std::make_unique<CCallEvaluationDlg>(CCallEvaluationDlg::kChargeFile, &view.Charges(),
                                                      &view.ServiceRecords(), &doc.MonitorTable(), &w->printer);
    w->entries->Create(view.Id());
  });
  // Its parameters go back to the handler, which must still be there.
  view.closeChargeWindows = [w] { w->entries.reset(); };
}
