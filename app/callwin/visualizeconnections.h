// The connection drawing: colours the controls that stand for extensions
// and speed-dial entries (memory keys, assistant fields, overview rows) by
// the state of the calls on those extensions. The message filter reports
// each device event; windows register their controls under a key. Keys
// 1-12 are the memory keys, 28 the assistant's field 1230, 100 + n the
// watched extension n.
#pragma once
#include <QColor>
#include <QPointer>
#include <cstdint>
#include <list>
#include <string>

#include "core/filter/filterifaces.h"
#include "platform/win32types.h"

class QWidget;
class CCallHandler;
class CCallInfo;
class CMonitorTable;
class CMyDataBaseInterface;
class ICallbackList;
class ISpeedDialStore;

namespace callwin {
class ConnectionOverlay;
}

class CVisualizeConnections : public IConnectionDrawing {
 public:
  enum ItemKind { kLabel = 1, kButton = 2 };
  enum Source { kEventType = 0, kStateCode = 1 };
  enum Brush { kNoBrush = -1, kOffBrush = 0, kAlertBrush = 1, kConnectedBrush = 2 };
  static constexpr int kNoPainting = 5;  // VSCW
  static constexpr int kOwnPhoneKey = 28;
  static constexpr int kExtensionKeys = 100;
  // Posted to the listener after every device event: wParam 22, the
  // payload the device number (terminated).
  static constexpr plat::UINT kStateNotice = plat::WM_USER + 600;
  static constexpr plat::WPARAM kStateNoticeCode = 22;

  struct Item {
    int key = -1;
    int kind = 0;
    QPointer<QWidget> window;
    int state = -1;  // CSTA event type of the last event, or a state code
    int brush = kNoBrush;
    QColor colour = Qt::white;
    std::string number;  // at most 19 characters
    std::uint32_t cause = 0;  // the call id of the last event
    QPointer<callwin::ConnectionOverlay> overlay;
  };

  // Style and colours from the configuration (VSCW, VSCOFFC, VSCALERTC,
  // VSCCONNC; colours as the platform's 0x00bbggrr values).
  CVisualizeConnections();
  ~CVisualizeConnections() override;
  CVisualizeConnections(const CVisualizeConnections&) = delete;
  CVisualizeConnections& operator=(const CVisualizeConnections&) = delete;

  // Links, set by the view; any may stay null.
  CMonitorTable* monitors = nullptr;
  CMyDataBaseInterface* phoneBook = nullptr;
  CCallHandler* callHandler = nullptr;
  ICallbackList* callbackList = nullptr;
  ISpeedDialStore* speedDial = nullptr;

  static QColor FromColorRef(long value);
  int Style() const { return style_; }
  void SetStyle(int style) { style_ = style; }
  QColor BrushColour(int brush) const;

  // The brush for an event type (source 0) or a state code (source 1); a
  // delivered event looks at the call direction of number's extension.
  int BrushFor(int source, int value, const std::string& number = std::string()) const;
  // The colour of that brush; black when none.
  QColor ColourFor(int source, int value, const std::string& number = std::string()) const;

  virtual void RepaintAll();
  // The operations the call windows use are virtual, for recording fakes.
  // Finds or creates the item of key and resets its state. Without a
  // window the item keeps its window and kind.
  virtual Item* Register(int key, QWidget* window, int kind, const std::string& number);
  void PaintItem(Item* item);
  // The filter's device event (number, call id, event type).
  void OnConnectionEvent(const std::string& device, std::uint32_t callId, int eventType) override;
  // A drop of a drag between two controls in drag mode mode.
  void Drop(int mode, int sourceKey, int targetKey);
  // An operation between two controls: 13 consultation, 21 hold. Returns
  // 1 when a request was made.
  virtual int Connect(int sourceKey, int targetKey, int operation);
  void SetListener(plat::WindowId listener) { listener_ = listener; }
  // A call's state on the item of key: code 0 takes the call's partner
  // number as the item's number, 1 to 4 set that state code. 0 when no item
  // has that key, 1 otherwise.
  virtual int SetCallState(int key, int code, const CCallInfo* call);
  Item* FindByNumber(const std::string& number);
  Item* FindByKey(int key);
  // The click on (or drag of) the control of key: picks up its ringing
  // call or dials its number. 1 when a request was made.
  int Act(int key);
  // A window that goes away drops its items.
  virtual void ForgetWindow(const QWidget* window);

  const std::list<Item>& Items() const { return items_; }
  // Paint passes done so far (tests).
  std::size_t PaintCount() const { return paints_; }

 private:
  void Log(const std::string& line) const;
  void TakeState(Item& item, int source, int value);
  CCallInfo* CallOfKey(int key);
  std::string NumberOfKey(int key);
  int PickUp(const std::string& number, std::uint32_t callId);
  int Dial(const std::string& number);
  int Deflect(CCallInfo* call, const std::string& to);

  int style_ = 0;
  QColor colours_[3];
  std::list<Item> items_;  // stable addresses
  plat::WindowId listener_ = 0;
  std::size_t paints_ = 0;
};
