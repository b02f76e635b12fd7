// Dialog 158 "Teilnehmerübersicht": the watched extensions of the monitor
// table as rows of a state button, the number and the name. A modeless
// window of the view; closing it hides it. A double click on a row asks the
// view to report on that extension (hub code 1073).
#pragma once
#include <memory>
#include <string>

#include "app/callwin/callwindow.h"
#include "platform/dialogkit/dialog.h"

class CMonitorTable;
struct CMonitorEntry;
class CVisualizeConnections;
class QIcon;

class CSubscriberOverviewDlg : public plat::Dialog, public ICallWindow {
 public:
  static constexpr int kResourceId = 158;
  static constexpr int kRows = 60;
  static constexpr int kPosition = 2;
  static constexpr int kIcon = 105;
  enum : int { IDC_NOTE = 1164, IDC_SECOND = 1163, IDC_FIRSTROW = 1165, IDC_LASTROW = 1344 };
  static constexpr int ButtonId(int row) { return IDC_FIRSTROW + 3 * row; }
  static constexpr int NumberId(int row) { return IDC_FIRSTROW + 3 * row + 1; }
  static constexpr int NameId(int row) { return IDC_FIRSTROW + 3 * row + 2; }
  // The row of any of a row's controls; -1 for other ids.
  static int RowOf(int controlId);

  CSubscriberOverviewDlg(CMonitorTable* monitors, CVisualizeConnections* drawing);
  ~CSubscriberOverviewDlg() override;

  // ICallWindow
  bool Create(plat::WindowId view) override;
  bool IsOpen() const override { return IsCreated(); }
  // 1026 to the front; 1058 monitoring (re)started: refresh every row.
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM wParam, plat::LPARAM lParam) override;
  void Show(int show) override;
  void Destroy() override { DestroyWindow(); }
  void RefreshWhenShown() override { refreshPending_ = true; }

  // The rows filled from the monitor table (the others are empty and hidden).
  int FilledRows() const { return filled_; }
  // The state mark a row shows (dialogs::StateMark); -1 for an empty row.
  int RowMark(int row) const;
  // Hover texts on the rows (on by default).
  void SetHoverTexts(bool on);
  bool HoverTexts() const { return hoverTexts_; }
  // The second button switches it: a double click then shows the
  // extension's line instead of asking the view.
  bool ChargeViewMode() const { return chargeMode_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override { Show(0); }
  void OnCancel() override { Show(0); }
  void OnClose() override { Show(0); }
  bool OnCommand(int id, plat::Notify code) override;
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  class Mouse;

  void FillRows();
  void UpdateStates();
  void DrawRow(int row);
  void SetButtonIcon(int row, const QIcon& icon);
  void DoubleClickRow(int row);
  std::string HoverText(const CMonitorEntry* e) const;

  CMonitorTable* monitors_;
  CVisualizeConnections* drawing_;
  plat::WindowId view_ = 0;
  bool openedBefore_ = false;  // monitoring has started since the program began
  bool refreshPending_ = false;
  bool hoverTexts_ = true;
  bool chargeMode_ = false;
  int filled_ = 0;
  int marks_[kRows];
  std::string registered_[kRows];  // the number each row's button is registered with
  std::unique_ptr<Mouse> mouse_;
};
