#include "app/doc/brimlowdoc.h"

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "app/lists/shortdialdlg.h"
#include "core/monitordlg/monitorsettingsdlg.h"
#include "platform/msgbox.h"
#include "platform/paths.h"

CBrimlowDoc::CBrimlowDoc(CGlobalConfig* config)
    : config_(config ? config : &GlobalConfig()),
      monitors_(std::make_unique<CMonitorTable>()),
      callData_(config_->CINFLFN.empty() ? std::string() : plat::MapPath(config_->CINFLFN)) {
  if (!config_->DNFN.empty()) database_.Open(plat::MapPath(config_->DNFN));
  speedDial_.callHandler = &handler_;
  callbacks_.callHandler = &handler_;
  missed_.callHandler = &handler_;
  missed_.callbackList = &callbacks_;
  missed_.phoneBook = phoneBook_;
  handler_.speedDial = &speedDial_;
  handler_.callbackList = &callbacks_;
  handler_.phoneBook = phoneBook_;
  handler_.missedCalls = &missed_;
  handler_.monitors = monitors_.get();
  filter_.callHandler = &handler_;
  filter_.monitors = monitors_.get();
  monitors_->SetPartner(&filter_);
  handler_.callData = &callData_;
  callData_.callHandler = &handler_;
  callData_.callbackList = &callbackEntries_;
  callData_.phoneBook = phoneBook_;
  if (!config_->CBLFN.empty()) callbacks_.Load(plat::MapPath(config_->CBLFN));

  // The view takes the first turn; these answer only what it leaves.
  commands_.Register(ID_ASSISTANT, [] {});
  commands_.Register(ID_NOTHING, [] {});
  commands_.Register(ID_EXTENSIONS, [this] { RunExtensionsDialog(); });
  commands_.Register(ID_SPEEDDIAL, [this] { RunSpeedDialDialog(); });
}

CBrimlowDoc::~CBrimlowDoc() {
  handler_.JoinWorkers();
  handler_.phoneBook = nullptr;
  missed_.phoneBook = nullptr;
  callData_.phoneBook = nullptr;
  // Calls that entries still point at go with the call handler.
  for (int i = 0; i < CMonitorTable::kEntries; ++i)
    if (CMonitorEntry* e = monitors_->EntryAt(i)) e->currentCall = nullptr;
  monitors_->SetPartner(nullptr);
  handler_.speedDial = nullptr;
  handler_.callbackList = nullptr;
  handler_.missedCalls = nullptr;
  handler_.callData = nullptr;
  filter_.callHandler = nullptr;
  filter_.monitors = nullptr;
}

bool CBrimlowDoc::CanCloseFrame() {
  // Saved on every request, so a refused close saves again at the next.
  if (!config_->CBLFN.empty()) callbacks_.Save(plat::MapPath(config_->CBLFN));
  if (monitors_->Save() == 0 && !config_->SDFN.empty())
    GlobalLog().WriteEntry(("CBrimlowDoc::CanCloseFrame: not saved " + config_->SDFN).c_str());
  if (database_.IsOpen() && database_.Flush() == 0)
    GlobalLog().WriteEntry(("CBrimlowDoc::CanCloseFrame: phone book not saved " + database_.Path()).c_str());
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

void CBrimlowDoc::RunSpeedDialDialog() {
  const plat::WindowId owner = view_ ? view_->ViewWindow() : 0;
  if (RunShortDialListDlg(&speedDial_, monitors_.get(), owner) == plat::IDOK) UpdateAllViews(kHintRefresh);
}

void CBrimlowDoc::RunExtensionsDialog() {
  const plat::WindowId owner = view_ ? view_->ViewWindow() : 0;
  CMonitorSettingsDlg dlg(monitors_.get(), owner);
  dlg.DoModal(owner);
}
