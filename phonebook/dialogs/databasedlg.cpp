#include "phonebook/dialogs/databasedlg.h"

#include <QDialog>
#include <QSizePolicy>
#include <QWidget>
#include <cstdint>

#include "core/iface/viewhub.h"
#include "phonebook/dialogs/exportdlg.h"
#include "phonebook/dialogs/importdlg.h"
#include "phonebook/dialogs/printrecords.h"
#include "phonebook/dialogs/recordform.h"
#include "phonebook/dialogs/searchdlg.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/msgbox.h"
#include "platform/textid.h"

namespace pb {

namespace {

// Work that runs a modal loop or sends to the hub leaves the button's
// handler first.
enum : plat::UINT {
  kDoSearch = plat::WM_USER + 801,
  kDoSearchHelp,
  kDoImport,
  kDoExport,
  kDoDial,
  kDoList,
  kDoPrintAll,
  kDoPrintOne,
  kDoTreatment,
  kDoBox,  // payload: the text; wParam: the flags
};

std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }

std::string SaveFailedText() {
  return plat::GetTextOr(plat::TextId(11, 65), "Der Datensatz konnte nicht gespeichert werden.");
}

std::string ModeCaption(int mode) {
  switch (mode) {
    case 1: return plat::GetTextOr(plat::TextId(11, 1), "Datenbank (Bearbeiten)");
    case 2: return plat::GetTextOr(plat::TextId(11, 2), "Datenbank (Suchergebnis - Ansicht)");
    case 3: return plat::GetTextOr(plat::TextId(11, 3), "Datenbank (Suchergebnis - Bearbeiten)");
    default: return plat::GetTextOr(plat::TextId(11, 0), "Datenbank (Ansicht)");
  }
}

}  // namespace

CDataBaseDlg::CDataBaseDlg(IPhoneBookStore* store) : CPbWindowDlg(plat::dlg::kProgram, kResourceId), store_(store) {}

CDataBaseDlg::~CDataBaseDlg() {
  closedNotice = nullptr;
  DestroyWindow();
}

bool CDataBaseDlg::Create(plat::WindowId view) {
  if (IsCreated()) return true;
  view_ = view;
  return Dialog::Create(view);
}

void CDataBaseDlg::Show(int show) {
  if (Window()) Window()->setVisible(show != 0);
}

bool CDataBaseDlg::OnInitDialog() {
  form::FillTitles(*this, 52, 11);
  mode_ = kView;
  hits_.clear();
  item_.Clear();
  // The record a call asked for, else the first one, else an empty record.
  const std::int64_t wanted = store_ ? store_->ViewRequest() : 0;
  if (wanted != 0 && store_->ReadAt(wanted, &item_)) {
    store_->SetViewRequest(0);
  } else if (!store_ || !store_->ReadRecord(1, &item_)) {
    item_.Clear();
  }
  // "alle" keeps its place while hidden: the window does not change size
  // with the mode.
  if (QWidget* all = Window()->findChild<QWidget*>(QString::number(IDC_ALL))) {
    QSizePolicy p = all->sizePolicy();
    p.setRetainSizeWhenHidden(true);
    all->setSizePolicy(p);
  }
  ShowRecord();
  ShowCounts(true);
  return true;
}

void CDataBaseDlg::OnDestroy() {}

plat::LRESULT CDataBaseDlg::Notify(plat::UINT code, plat::WPARAM, plat::LPARAM) {
  if (code != hub::kBringToFront || !IsCreated()) return 1;
  QDialog* w = Window();
  if (w->isMinimized()) w->showNormal();
  w->show();
  w->raise();
  plat::dlg::SetForegroundWindow(Id());
  return 1;
}

void CDataBaseDlg::SetMode(Mode m) {
  mode_ = m;
  ShowCounts(true);
}

void CDataBaseDlg::ShowRecord() {
  form::Show(*this, item_);
  EnableItem(IDC_EXTRAS, individualTreatment && store_ && !item_.IsNew());
}

void CDataBaseDlg::ShowCounts(bool withCaption) {
  const std::uint64_t n = InHits() ? hits_.size() : (store_ ? store_->RecordCount() : 0);
  SetItemText(IDC_COUNT, std::to_string(n));
  if (!withCaption) return;
  SetWindowText(ModeCaption(mode_));
  form::Enable(*this, Editing());
  EnableItem(IDC_SAVE, Editing());
  EnableItem(IDC_DELETE, Editing());
  SetItemText(IDC_EDIT, Editing() ? plat::GetTextOr(plat::TextId(11, 33), "Ansehen")
                                  : plat::GetTextOr(plat::TextId(11, 32), "Editieren"));
  ShowItem(IDC_ALL, InHits());
}

void CDataBaseDlg::ShowPlace(std::uint32_t place) {
  const std::uint32_t count = store_ ? store_->RecordCount() : 0;
  if (place > count) place = count;
  if (place == 0 || !store_->ReadRecord(place, &item_)) item_.Clear();
  ShowRecord();
}

void CDataBaseDlg::ShowHit(std::size_t cursor) {
  if (cursor >= hits_.size()) return;
  PbRecord r;
  if (!store_->ReadAt(hits_[cursor], &r)) return;
  hitCursor_ = cursor;
  item_ = r;
  ShowRecord();
}

void CDataBaseDlg::Move(int id) {
  if (!store_) return;
  if (InHits()) {
    if (hits_.empty()) return;
    switch (id) {
      case IDC_FIRST: ShowHit(0); break;
      case IDC_PREV: if (hitCursor_ > 0) ShowHit(hitCursor_ - 1); break;
      case IDC_NEXT:
        if (mode_ == kHitsEdit) SaveItem();
        if (hitCursor_ + 1 < hits_.size()) ShowHit(hitCursor_ + 1);
        break;
      case IDC_LAST: ShowHit(hits_.size() - 1); break;
      default: break;
    }
    return;
  }
  const std::uint32_t count = store_->RecordCount();
  if (count == 0) return;
  const std::uint32_t place = item_.IsNew() ? 0 : store_->PlaceOf(item_.offset);
  std::uint32_t to = place;
  switch (id) {
    case IDC_FIRST: to = 1; break;
    case IDC_PREV: to = place > 1 ? place - 1 : (place == 0 ? count : 1); break;
    case IDC_NEXT: to = place == 0 ? 1 : (place < count ? place + 1 : count); break;
    case IDC_LAST: to = count; break;
    default: return;
  }
  ShowPlace(to);
}

void CDataBaseDlg::SaveItem() {
  if (!Editing() || !store_) return;
  form::Take(*this, item_);
  const bool isNew = item_.IsNew();
  if (!store_->Save(item_)) {
    if (isNew) item_.offset = 0;
    Box(SaveFailedText(), plat::MB_ICONERROR);
    return;
  }
  ShowRecord();
  SetMode(mode_ == kHitsEdit ? kHitsView : kView);
}

void CDataBaseDlg::DeleteItem() {
  if (!store_) return;
  if (mode_ == kEdit) {
    if (item_.IsNew()) {
      ShowPlace(store_->RecordCount());
      ShowCounts(false);
      return;
    }
    // The record that followed takes the deleted one's place.
    const std::uint32_t place = store_->PlaceOf(item_.offset);
    const std::uint32_t before = store_->RecordCount();
    if (!store_->Delete(item_)) {
      Box(plat::GetTextOr(plat::TextId(11, 66), "Der Datensatz konnte nicht gelöscht werden."), plat::MB_ICONERROR);
      return;
    }
    std::uint32_t next = place == 0 ? store_->RecordCount() : place;
    // Only marked while the purge waits: the record that followed is one
    // further on, else the one before.
    if (place != 0 && store_->RecordCount() == before) next = place < before ? place + 1 : place - 1;
    ShowPlace(next);
    ShowCounts(false);
  } else if (mode_ == kHitsEdit) {
    if (item_.IsNew()) return;
    PbRecord marked = item_;
    marked.inUse = false;
    if (!store_->Save(marked)) {
      Box(plat::GetTextOr(plat::TextId(11, 66), "Der Datensatz konnte nicht gelöscht werden."), plat::MB_ICONERROR);
      return;
    }
    item_ = marked;
    ShowRecord();
  }
}

void CDataBaseDlg::Close() {
  SendHub(hub::kDatabaseClosed);
  mode_ = kView;
  if (store_) store_->WriteHeader();
  if (Window()) Window()->hide();
  // Taken apart by the view once this handler has returned.
  if (closedNotice) closedNotice();
}

void CDataBaseDlg::SendHub(plat::UINT code) {
  if (!view_) return;
  if (code == hub::kDatabaseClosed) {
    plat::SendMessage(view_, code, kOrigin, 0);
    return;
  }
  RecordParams params(item_);
  plat::SendMessage(view_, code, kOrigin,
                    static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(static_cast<CMyDataBaseParamInterface*>(&params))));
}

void CDataBaseDlg::Box(const std::string& text, plat::UINT flags) {
  plat::PostMessage(Id(), kDoBox, flags, 0, text.data(), text.size());
}

bool CDataBaseDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  switch (id) {
    case IDC_CLOSE: Close(); return true;
    case IDC_FIRST: case IDC_PREV: case IDC_NEXT: case IDC_LAST: Move(id); return true;
    case IDC_NEW:
      if (mode_ == kView || mode_ == kEdit) {
        item_.Clear();
        ShowRecord();
        SetMode(kEdit);
      }
      return true;
    case IDC_EDIT:
      SetMode(mode_ == kView ? kEdit : mode_ == kEdit ? kView : mode_ == kHitsView ? kHitsEdit : kHitsView);
      return true;
    case IDC_SAVE: SaveItem(); return true;
    case IDC_DELETE: DeleteItem(); return true;
    case IDC_ALL:
      if (InHits()) {
        hits_.clear();
        SetMode(mode_ == kHitsView ? kView : kEdit);
      }
      return true;
    case IDC_SEARCH: plat::PostMessage(Id(), kDoSearch); return true;
    case IDC_SEARCH_HELP: plat::PostMessage(Id(), kDoSearchHelp); return true;
    case IDC_DIAL: plat::PostMessage(Id(), kDoDial); return true;
    case IDC_LIST: plat::PostMessage(Id(), kDoList); return true;
    case IDC_IMPORT: plat::PostMessage(Id(), kDoImport); return true;
    case IDC_EXPORT: plat::PostMessage(Id(), kDoExport); return true;
    case IDC_PRINT_ALL: plat::PostMessage(Id(), kDoPrintAll); return true;
    case IDC_PRINT_ONE: plat::PostMessage(Id(), kDoPrintOne); return true;
    case IDC_EXTRAS: plat::PostMessage(Id(), kDoTreatment); return true;
    default: return false;
  }
}

plat::LRESULT CDataBaseDlg::OnWindowMessage(const plat::Message& m) {
  if (!IsCreated()) return 0;
  switch (m.msg) {
    case kDoSearch: Search(); break;
    case kDoSearchHelp:
      plat::MessageBox(Id(), T(plat::TextId(11, 64)), GetWindowText(), plat::MB_OK | plat::MB_ICONINFORMATION);
      break;
    case kDoDial: SendHub(hub::kCallDialled); break;
    case kDoList: SendHub(hub::kAddCallbackFromRecord); break;
    case kDoImport: Import(); break;
    case kDoExport: Export(); break;
    case kDoPrintAll:
      if (store_) {
        std::vector<std::int64_t> which;
        if (InHits()) which = hits_;
        PrintRecords(Id(), *store_, InHits() ? &which : nullptr, nullptr);
      }
      break;
    case kDoPrintOne:
      if (store_) PrintRecords(Id(), *store_, nullptr, &item_);
      break;
    case kDoTreatment: EditTreatment(); break;
    case kDoBox:
      plat::MessageBox(Id(), std::string(reinterpret_cast<const char*>(m.data()), m.payload.size()), GetWindowText(),
                       static_cast<plat::UINT>(m.wParam));
      break;
    default: break;
  }
  return 0;
}

void CDataBaseDlg::Search() {
  CSearchDlg dlg;
  if (dlg.DoModal(Id()) != plat::IDOK || !IsCreated()) return;
  RunSearch(dlg.fieldName, dlg.content, dlg.stopOption, dlg.matchCase);
}

void CDataBaseDlg::RunSearch(const std::string& fieldName, const std::string& content, int stopOption, bool matchCase) {
  if (!store_) return;
  const int options = (stopOption + 1) | (matchCase ? kMatchCase : kIgnoreCase);
  int field = -1;
  for (int id = 0; id <= 19 && field < 0; ++id)
    if (!FieldName(id).empty() && FieldName(id) == fieldName) field = id;
  std::vector<std::int64_t> found = field < 0 ? std::vector<std::int64_t>{} : store_->Search(field, content, options);
  if (found.empty()) {
    plat::MessageBox(Id(), T(plat::TextId(11, 62)) + "\r\n" + T(plat::TextId(11, 63)), GetWindowText(),
                     plat::MB_OK | plat::MB_ICONINFORMATION);
    return;
  }
  hits_ = std::move(found);
  ShowHit(0);
  if (hits_.size() > 1) SetMode(kHitsView);
  else ShowCounts(false);
}

void CDataBaseDlg::Import() {
  if (!store_) return;
  CImportDlg dlg(*store_);
  dlg.DoModal(Id());
  if (!IsCreated()) return;
  ShowCounts(false);
}

void CDataBaseDlg::EditTreatment() {
  if (!individualTreatment || !store_ || item_.IsNew()) return;
  // On a copy: the fields being edited stay in their controls and are
  // neither saved nor thrown away by this.
  PbRecord r = item_;
  if (!individualTreatment(Id(), r) || !IsCreated()) return;
  // What is on file, with the new treatment: unsaved edits of the window
  // do not go in with it. A purge since the read moved the record: refused.
  PbRecord stored;
  const bool read = store_->ReadAt(r.offset, &stored) && stored.generation == r.generation;
  if (read) {
    stored.selector = r.selector;
    stored.SetTarget(r.target);
  }
  if (!read || !store_->Save(stored)) {
    Box(SaveFailedText(), plat::MB_ICONERROR);
    return;
  }
  if (item_.offset == stored.offset) {
    item_.selector = stored.selector;
    item_.target = stored.target;
    item_.generation = stored.generation;
  }
}

void CDataBaseDlg::Export() {
  if (!store_) return;
  CExportDlg dlg;
  if (dlg.DoModal(Id()) != plat::IDOK || !IsCreated()) return;
  ExportResult r = WriteExport(*store_, dlg.fileName, dlg.recordTemplate, dlg.namesLine ? dlg.visibleLayout : "");
  if (r == ExportResult::kDone) return;
  plat::MessageBox(Id(),
                   r == ExportResult::kRefused
                       ? plat::GetTextOr(plat::TextId(9, 19), "Diese Datei gehört zur Datenbank.")
                       : plat::GetTextOr(plat::TextId(9, 18), "Die Exportdatei konnte nicht geschrieben werden."),
                   GetWindowText(), plat::MB_OK | plat::MB_ICONERROR);
}

}  // namespace pb
