// What the charge windows 190 "Gebührennachweis" and 188 "Gesamtgebühren"
// share: each is one of the charge handler's windows while it is open,
// leaves through Leave() on OK and Cancel, and shows the handler's read-out
// time and status text as they come.
#pragma once
#include <string>

#include "ui/listdialog.h"
#include "charges/handler/chargeifaces.h"

class CChargeAndLogHandler;
class IReportPrinter;

class CChargeWindowDlg : public CListDialog, public IChargeWindow {
 public:
  // IChargeWindow: runs in the handler's dispatch; boxes are posted. The
  // read-out time (6) and a status text (9) are shown here, the rest is
  // the window's own.
  void OnChargeWindowNotify(int code, const std::string& text) final;

 protected:
  struct Items {
    int readTime, status;
    int readOutKind;  // of the handler's read-out time: 0 sums, 1 records
  };
  CChargeWindowDlg(int resourceId, Items items, CChargeAndLogHandler* handler, IReportPrinter* printer);

  virtual void OnNotify(int code) = 0;
  void OnOK() override { Leave(plat::IDOK); }
  void OnCancel() override { Leave(plat::IDCANCEL); }
  // Lets go of the handler, then ends the dialog.
  virtual void Leave(int result);
  virtual void Detach() = 0;

  CChargeAndLogHandler* handler_;
  IReportPrinter* printer_;
  bool attached_ = false;

 private:
  Items items_;
};
