// The connection viewer's window (dialog 129): the tree of current calls,
// "P" (topmost or not) and "D" (clear), kept alive while hidden.
#pragma once
#include <QIcon>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogkit/dialog.h"
#include "plugins/common/windowwatch.h"
#include "plugins/common/wndparam.h"
#include "plugins/connections/calllist.h"

namespace dorvane {

class CConnectionViewerDlg : public plat::Dialog, public ICallTree {
 public:
  enum { kDialogId = 129, IDC_TREE = 1000, IDC_PIN = 1001, IDC_CLEAR = 1002 };
  static constexpr plat::UINT kMsgBringToFront = 1026;

  // The template shipped inside the plug-in.
  static bool LoadTemplate(plat::dlg::Template* out, std::string* error);

  explicit CConnectionViewerDlg(plat::dlg::Template tpl);
  ~CConnectionViewerDlg() override;

  // Built hidden with the parent as owner; false when it could not be.
  bool CreateHidden(plat::WindowId parent);

  CCallList& Calls() { return calls_; }
  int VisualState(std::int32_t state, std::int32_t value);
  // "WNDPosition": stored, and the window moved there.
  void SetPosition(const pluginkit::WindowRect& r);
  const pluginkit::WindowRect& Position() const { return position_; }
  int MinimiseSwitch() const { return watch_ ? watch_->minimiseSwitch : 1; }
  bool Topmost() const { return topmost_; }

  void* phoneBook = nullptr;  // stored, not used
  void* devices = nullptr;    // stored, not used

  // ICallTree on the tree control.
  std::int32_t AddTop(const std::string& text, int image) override;
  std::int32_t AddChild(std::int32_t parent, const std::string& text, int image) override;
  void SetItem(std::int32_t item, const std::string& text, int image) override;
  void Remove(std::int32_t item) override;
  void RemoveAll() override;

  static std::vector<QIcon> Images();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  // The window stays; it is only hidden.
  void OnOK() override { Hide(); }
  void OnCancel() override { Hide(); }
  void OnClose() override { Hide(); }
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  void TogglePin();
  void Hide();

  CCallList calls_;
  pluginkit::WindowWatch* watch_ = nullptr;  // owned by the window
  pluginkit::WindowRect position_;
  bool topmost_ = false;
  bool treeShown_ = false;
  plat::WindowId parent_ = 0;
};

}  // namespace dorvane
