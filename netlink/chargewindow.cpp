// Dialog 103, the charge logger's window: it mirrors the logger's state
// and hands the user's clicks to it.
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidget>

#include "netlink/chargereport.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "platform/qtext.h"
#include "platform/qtmodal.h"

namespace netlink {

namespace {

// The library's own template: the program's template numbers are its own.
constexpr const char* kTemplate = R"(dialog 103 "Gespräche protokollieren"
tablist 1010 tabs=45,80,110,170,250,280,320 lines=14
row
  button 1018 "&Starten" width=10
  check 1020 "in Datei:"
  edit 1021 width=28 max=259
  button 1022 "&Name" width=8
  button 1019 "Speichern" width=10
  stretch
  default 1 "&Ende" width=10
end
)";

const char* const kHeads[] = {"Datum", "Uhrzeit", "Dauer", "Anrufer", "Gerufener", "Einh.", "Kosten", "Cause"};

}  // namespace

struct CChargeReport::View : plat::Dialog {
  CChargeReport* report;
  bool closed = false;

  View(CChargeReport* r, plat::dlg::Template t) : plat::Dialog(std::move(t), "lorquin32"), report(r) {}
  ~View() override { DestroyWindow(); }

  QTreeWidget* List() const { return qobject_cast<QTreeWidget*>(Item(kIdChargeList)); }

  bool OnInitDialog() override {
    if (QTreeWidget* t = List()) {
      QStringList heads;
      for (const char* h : kHeads) heads << QString::fromUtf8(h);
      t->setHeaderLabels(heads);
      t->setHeaderHidden(false);
      t->header()->setStretchLastSection(true);
      t->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    if (QDialog* w = Window()) w->setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    return true;
  }
  bool OnCommand(int id, plat::Notify code) override {
    if (code != plat::Notify::Clicked) return false;
    switch (id) {
      case kIdChargeStartStop: report->PressStartStop(); return true;
      case kIdChargeToFile: report->SetWriteToFile(IsChecked(kIdChargeToFile) != 0); return true;
      case kIdChargeName: report->PressName(); return true;
      case kIdChargeSave: report->PressSave(GetItemText(kIdChargeFileName)); return true;
      case kIdChargeEnd: report->PressEnd(); return true;
      default: return false;
    }
  }
  // Enter, Esc and the close box end the logging window as "&Ende" does,
  // so the owner always hears of it.
  void OnOK() override { report->PressEnd(); }
  void OnCancel() override { report->PressEnd(); }
};

void CChargeReport::ViewDeleter::operator()(View* v) const { delete v; }

CChargeReport::ViewPtr MakeChargeView(CChargeReport* report) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return nullptr;
  plat::dlg::Template t;
  std::string error;
  if (!plat::dlg::ParseTemplate(kTemplate, &t, &error)) return nullptr;
  CChargeReport::ViewPtr v(new CChargeReport::View(report, std::move(t)));
  if (!v->Create(0)) return nullptr;
  return v;
}

void ChargeViewAddLine(CChargeReport::View& v, const std::string& line) {
  if (!v.closed) v.AddString(kIdChargeList, line);
}

void ChargeViewDropOldest(CChargeReport::View& v, std::size_t n) {
  for (std::size_t i = 0; i < n && !v.closed && v.GetCount(kIdChargeList) > 0; ++i) v.DeleteString(kIdChargeList, 0);
}

void ChargeViewShowFrom(CChargeReport::View& v, int top) {
  QTreeWidget* t = v.closed ? nullptr : v.List();
  if (!t || top < 0 || top >= t->topLevelItemCount()) return;
  t->scrollToItem(t->topLevelItem(top), QAbstractItemView::PositionAtTop);
}

void ChargeViewSetLogging(CChargeReport::View& v, bool on) {
  if (!v.closed) v.SetItemText(kIdChargeStartStop, on ? "&Stopp" : "&Starten");
}

void ChargeViewSetWrite(CChargeReport::View& v, bool on) {
  if (!v.closed) v.CheckButton(kIdChargeToFile, on ? 1 : 0);
}

void ChargeViewSetFileName(CChargeReport::View& v, const std::string& name) {
  if (!v.closed) v.SetItemText(kIdChargeFileName, name);
}

void ChargeViewClose(CChargeReport::View& v) {
  if (v.closed) return;
  v.closed = true;
  v.DestroyWindow();
}

bool ChargeViewChooseFile(std::string* name) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  QFileDialog d(nullptr, plat::ToQString("Geb\xFChreninfo speichern"));
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setNameFilters({plat::ToQString("Geb\xFChrendatei (*.gdt)"), QStringLiteral("alle Dateien (*.*)")});
  d.setDefaultSuffix(QStringLiteral("gdt"));
  if (plat::ExecModal(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
  *name = plat::FromQString(d.selectedFiles().front());
  return true;
}

}  // namespace netlink
