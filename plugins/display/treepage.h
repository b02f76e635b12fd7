// The tree page (dialog 131): every group with its devices, and the four
// general function buttons that post the "GenFkt" messages to the host.
// A double-click or Enter on a device asks the overview to show it.
#pragma once
#include <cstdint>

#include "plugins/display/childdialog.h"
#include "plugins/display/displayitems.h"

class QWidget;

namespace tarquel {

class CTreePage : public CChildDialog {
 public:
  enum { kDialogId = 131, IDC_TREE = 1001, IDC_FKT1 = 1002, IDC_FKT4 = 1005 };
  static constexpr int kMargin = 6;
  static constexpr int kImageSet = 1, kImageClear = 2;
  // To the overview: select a group, then a device (lParam: id << 16 | 0xFFFF).
  static constexpr plat::UINT kMsgSelectGroup = 5120, kMsgSelectDevice = 5121;
  static const char* const kNoEntries;

  CTreePage(const CDisplayItemManager& items, plat::WindowId overview);
  ~CTreePage() override;

  // The tree from the items, their tree links set.
  void Fill();
  // The page at this size: the tree above the row of buttons.
  void Arrange(int width, int height);
  // The size the page needs at least.
  int MinWidth() const;
  int MinHeight() const;

  // A device's line and image, from its label, contents and state.
  void ShowDevice(const CDisplayItem& device);
  static std::string LineOf(const CDisplayItem& device);

  // What a double-click or Enter on the tree does.
  void ActivateSelection();

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override { ActivateSelection(); }
  void OnCancel() override {}
  void OnClose() override {}

 private:
  const CDisplayItemManager& items_;
  plat::WindowId overview_;
};

}  // namespace tarquel
