// The display control's window, "Übersicht" (dialog 130): a tab panel with
// the tree page on its first tab and one tab per group, whose devices are
// bound to the tiles of the tile page while the tab is selected. The object
// exists from the plug-in's creation; its window from the host's request
// (VisualStateFunction with high byte 3) until the plug-in is closed.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/dialogkit/dialog.h"
#include "plugins/common/windowwatch.h"
#include "plugins/common/wndparam.h"
#include "plugins/display/boxposter.h"
#include "plugins/display/displayitems.h"
#include "plugins/display/tilepage.h"
#include "plugins/display/treepage.h"

namespace tarquel {

class COverviewDlg : public plat::Dialog, public IDisplaySignalSink {
 public:
  enum { kDialogId = 130, IDC_TABS = 1000 };
  static constexpr int kPageOffset = 6;
  // The window's margins and the tab panel's frame around a page.
  static constexpr int kWindowChrome = 28;
  static constexpr plat::UINT kBlinkMs = 500;
  static constexpr int kImageOverview = 0, kImageBlink = 1, kImageGroup = 2;

  COverviewDlg(CDisplayItemManager& items, CBoxPoster& boxes);
  ~COverviewDlg() override;

  // The window, made hidden; true when it exists.
  bool Make();
  int VisualState(std::int32_t state, std::int32_t value);

  // "WNDPosition": stored, and the window moved there when it exists.
  void SetPosition(const pluginkit::WindowRect& r);
  pluginkit::WindowRect Position() const;
  int MinimiseSwitch() const { return minimiseSwitch_; }

  // Tab 0 the tree page, tab n group n-1.
  void SelectTab(int tab);
  int CurrentTab() const;
  int TabCount() const;
  bool TabBlinking(int tab) const;
  // The group shown on a tab (null for tab 0 or none).
  CDisplayItem* GroupOfTab(int tab) const;

  CTreePage* TreePage() const { return tree_.get(); }
  CTilePage* TilePage() const { return tiles_.get(); }
  GridSize Grid() const { return grid_; }

  void OnItemSignal(CDisplayItem& item, int signal, std::int32_t value) override;

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override { Hide(); }
  void OnCancel() override { Hide(); }
  void OnClose() override { Hide(); }
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  void Hide();
  int TabOfGroup(const CDisplayItem* group) const;
  void UpdateTabBlink(const CDisplayItem* group);
  void SetTabBlink(int tab, bool on);
  void FocusTabs();

  CDisplayItemManager& items_;
  CBoxPoster& boxes_;
  std::unique_ptr<CTreePage> tree_;
  std::unique_ptr<CTilePage> tiles_;
  std::vector<CDisplayItem*> tabGroups_;  // tab n shows tabGroups_[n - 1]
  std::vector<bool> blinking_;            // per tab
  std::vector<bool> blinkPhase_;
  GridSize grid_;
  pluginkit::WindowWatch* watch_ = nullptr;  // owned by the window
  pluginkit::WindowRect position_;
  bool pendingMove_ = false;  // position_ waits for the window to show
  int minimiseSwitch_ = 1;
};

}  // namespace tarquel
