// One tile of the tile page (dialog 103): a device's label, contents,
// small label and state mark, and four function buttons that post the
// item's messages to its parent window. A tile is made once and bound to
// whichever device of the shown group sits at its position.
#pragma once
#include <QColor>
#include <cstdint>
#include <string>

#include "plugins/display/childdialog.h"
#include "plugins/display/displayitems.h"

class QWidget;

namespace tarquel {

class CTilePage;

// A 0x00BBGGRR colour value as the widgets take it.
QColor FromColorRef(std::int32_t value);

class CSingleDeviceDisplay : public CChildDialog, public IItemTile {
 public:
  enum {
    kDialogId = 103, IDC_LABEL = 1000, IDC_CONTENTS = 1001, IDC_F1 = 1002, IDC_F4 = 1005, IDC_SMALLLABEL = 1006,
    IDC_STATE = 1007,
  };
  static constexpr int kMarkClear = 135, kMarkSet = 136;
  static constexpr plat::UINT kBlinkTimer = 1, kBlinkMs = 500;
  static constexpr std::uint32_t kFrameFocused = 0x0000FF, kFrameUnfocused = 0xC0C0C0;
  // Posted to itself: the double-click box, shown outside the handler.
  static constexpr plat::UINT kMsgShowContents = plat::WM_USER + 0x301;

  CSingleDeviceDisplay(CTilePage& page, const GlobalParams& globals, int position);
  ~CSingleDeviceDisplay() override;

  // null unbinds: the tile is hidden and its item forgets it.
  void Bind(CDisplayItem* item);
  CDisplayItem* BoundItem() const { return item_; }
  int Position() const { return position_; }

  int StateMark() const { return mark_; }  // the bitmap shown: 135 or 136
  bool Blinking() const;
  bool FocusMark() const { return focused_; }
  std::uint32_t FrameColour() const { return focused_ ? kFrameFocused : kFrameUnfocused; }
  void SetFocusMark(bool focused);
  // Focus to button index (0 to 3) and the tile's mark on.
  void FocusButton(int index);
  int FocusedButton() const { return button_; }

  void OnItemSignal(CDisplayItem& item, int signal, std::int32_t value) override;

  // Keys and mouse as the tile's widgets pass them on; true when taken.
  bool OnKey(int qtKey);
  void OnDoubleClick();
  void OnButtonFocused(int index);

 protected:
  bool OnInitDialog() override;
  bool OnCommand(int id, plat::Notify code) override;
  void OnOK() override;
  void OnCancel() override;
  void OnClose() override {}
  plat::LRESULT OnWindowMessage(const plat::Message& m) override;
  void OnDestroy() override;

 private:
  void ShowTexts();
  void ShowColours();
  void ApplyState();
  void ShowMark(int bitmap);
  void StopBlinking();

  CTilePage& page_;
  const GlobalParams& globals_;
  int position_;
  CDisplayItem* item_ = nullptr;
  int mark_ = kMarkClear;
  bool blinking_ = false;
  bool focused_ = false;
  int button_ = 0;
};

}  // namespace tarquel
