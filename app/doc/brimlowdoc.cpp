#include "app/doc/brimlowdoc.h"

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/monitordlg/monitorsettingsdlg.h"

CBrimlowDoc::CBrimlowDoc(CGlobalConfig* config)
    : config_(config ? config : &GlobalConfig()), monitors_(std::make_unique<CMonitorTable>()) {
  // The phone book on DNFN, the callback list on CBLFN: their objects come
  // with their own parts of the program; until then the slots stay empty
  // and their partners take none.
  handler_.monitors = monitors_.get();
  handler_.phoneBook = phoneBook_;
  filter_.callHandler = &handler_;
  filter_.monitors = monitors_.get();
  monitors_->SetPartner(&filter_);

  // The view takes the first turn; these answer only what it leaves.
  commands_.Register(ID_ASSISTANT, [] {});
  commands_.Register(ID_NOTHING, [] {});
  commands_.Register(ID_EXTENSIONS, [this] { RunExtensionsDialog(); });
}

CBrimlowDoc::~CBrimlowDoc() {
  handler_.JoinWorkers();
  // Calls that entries still point at go with the call handler.
  for (int i = 0; i < CMonitorTable::kEntries; ++i)
    if (CMonitorEntry* e = monitors_->EntryAt(i)) e->currentCall = nullptr;
  monitors_->SetPartner(nullptr);
  filter_.callHandler = nullptr;
  filter_.monitors = nullptr;
}

bool CBrimlowDoc::CanCloseFrame() {
  // Saved on every request, so a refused close saves again at the next.
  if (monitors_->Save() == 0 && !config_->SDFN.empty())
    GlobalLog().WriteEntry(("CBrimlowDoc::CanCloseFrame: not saved " + config_->SDFN).c_str());
  return view_ ? view_->CanCloseView() : true;
}

int CBrimlowDoc::PurgeReleasedCalls() {
  handler_.PurgeReleasedCalls();
  return 0;
}

void CBrimlowDoc::UpdateAllViews(int hint, const std::string& text) {
  if (view_) view_->OnUpdate(hint, text);
}

void CBrimlowDoc::AfterOwnWorkstationDialog() { UpdateAllViews(kHintText, MainPhoneNumber()); }

std::string CBrimlowDoc::MainPhoneNumber() const { return monitors_->GetMainPhone(); }

void CBrimlowDoc::RunExtensionsDialog() {
  const plat::WindowId owner = view_ ? view_->ViewWindow() : 0;
  CMonitorSettingsDlg dlg(monitors_.get(), owner);
  dlg.DoModal(owner);
}
