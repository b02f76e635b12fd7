// The display control's object model: the global parameters, the groups
// and devices the host adds, their parameters by name, and the signals an
// item sends to its tile and to the overview when a parameter changes.
// No widgets here: the windows see items through IItemTile and
// IDisplaySignalSink.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plugins/dllifc.h"

namespace tarquel {

// Decimal text as the host writes it: leading blanks, an optional sign,
// then digits; anything else ends the number (no digits: 0). Saturates at
// the 32-bit bounds.
std::int32_t ReadNumber(const char* text);

enum Signal : int { kSigState1 = 0, kSigState2 = 1, kSigContents = 2, kSigColours = 3, kSigLabel = 4 };

inline constexpr int kButtons = 5;       // stored; the windows show the first four
inline constexpr int kShownButtons = 4;

class CDisplayItem;

// The overview: told of every signal of a device item.
class IDisplaySignalSink {
 public:
  virtual ~IDisplaySignalSink() = default;
  virtual void OnItemSignal(CDisplayItem& item, int signal, std::int32_t value) = 0;
};

// The tile an item is bound to, while it is.
class IItemTile {
 public:
  virtual ~IItemTile() = default;
  virtual void OnItemSignal(CDisplayItem& item, int signal, std::int32_t value) = 0;
};

struct GlobalParams {
  static constexpr std::int32_t kDefaultBackground = 49087;  // 0x00BFBF
  std::array<std::int32_t, kButtons> fktMessage{};
  std::array<std::string, kButtons> fktDescription;
  std::array<std::int32_t, kButtons> genFktMessage{};
  std::array<std::string, kButtons> genFktDescription;
  std::uint32_t parentWindow = 0;
  std::int32_t maxColumns = 3;
  std::int32_t maxRows = 4;
  std::int32_t showOverview = 1;
  std::string label;
  std::string labelOverview = "\xdc" "bersicht...";
  std::int32_t state1Blink = 1;
  std::int32_t backgroundColor = kDefaultBackground;
  std::int32_t textColor = 0;

  // False when the name is none of the parameters (the value is dropped).
  bool Set(const char* name, const char* value);
};

class CDisplayItemManager;

class CDisplayItem {
 public:
  enum Kind { kGroup = 0, kDevice = 1 };
  static constexpr std::int32_t kNoColour = -1;  // small label on the tile's background

  CDisplayItem(CDisplayItemManager& owner, Kind kind, std::uint16_t id, DLLIFC_ITEM handle, CDisplayItem* group,
               std::intptr_t userValue);
  CDisplayItem(const CDisplayItem&) = delete;
  CDisplayItem& operator=(const CDisplayItem&) = delete;

  // False when the name is not an item parameter (ignored).
  bool SetParam(const char* name, const char* value);

  Kind kind() const { return kind_; }
  bool IsGroup() const { return kind_ == kGroup; }
  std::uint16_t id() const { return id_; }
  DLLIFC_ITEM handle() const { return handle_; }
  CDisplayItem* group() const { return group_; }
  std::intptr_t userValue() const { return userValue_; }
  // Devices of a group, in the order of adding.
  const std::vector<CDisplayItem*>& children() const { return children_; }

  std::string label, smallLabel, contents, description, token;
  std::int32_t smallLabelBackground = kNoColour;
  std::int32_t uniqueId = 0;
  std::int32_t state1 = 0;
  std::int32_t state2 = 0;

  // Copies of the globals taken when the device was added.
  std::uint32_t parentWindow = 0;
  std::array<std::int32_t, kButtons> fktMessage{};
  std::array<std::string, kButtons> fktDescription;

  // Links of the windows; none while they do not show the item.
  std::int32_t treeItem = 0;
  IItemTile* tile = nullptr;
  IDisplaySignalSink* sink = nullptr;

 private:
  friend class CDisplayItemManager;
  void Signal(int signal, std::int32_t value);

  CDisplayItemManager& owner_;
  Kind kind_;
  std::uint16_t id_;
  DLLIFC_ITEM handle_;
  CDisplayItem* group_;
  std::intptr_t userValue_;
  std::vector<CDisplayItem*> children_;
  std::uint32_t nextChildId_ = 0;
};

class CDisplayItemManager {
 public:
  // Ids of groups and of the devices of one group are 16 bits wide.
  static constexpr std::uint32_t kIdLimit = 0x10000;

  // parent: the window the buttons post to ("ParentWindow"). firstHandle:
  // the handle before the first item's, so that handles of an earlier
  // manager are never handed out again.
  explicit CDisplayItemManager(std::uint32_t parent, DLLIFC_ITEM firstHandle = 0);
  ~CDisplayItemManager();
  CDisplayItemManager(const CDisplayItemManager&) = delete;
  CDisplayItemManager& operator=(const CDisplayItemManager&) = delete;

  GlobalParams& globals() { return globals_; }
  const GlobalParams& globals() const { return globals_; }

  // parent 0 makes a group; a group's handle makes a device in it. 0 with
  // *out set; 4 for a parent that is no group item (*out -1); 12 when ids
  // or handles are used up (*out -1).
  int AddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* out, std::intptr_t userValue);
  // Handle 0: a global parameter; else the item's. 0, or 4 for a handle
  // that names no item.
  int SetParam(DLLIFC_ITEM handle, const char* name, const char* value);

  CDisplayItem* Find(DLLIFC_ITEM handle) const;
  const std::vector<std::unique_ptr<CDisplayItem>>& items() const { return items_; }
  std::vector<CDisplayItem*> Groups() const;
  // The handle after the last one given (the next manager starts there).
  DLLIFC_ITEM LastHandle() const { return firstHandle_ + static_cast<DLLIFC_ITEM>(items_.size()); }

  // The overview's sink, handed to device items (existing ones too).
  void SetSink(IDisplaySignalSink* sink);
  IDisplaySignalSink* sink() const { return sink_; }
  // Told when a state change reaches an item without a sink; must not
  // block (the host may call from inside its own handlers).
  std::function<void(const std::string& text)> onMissingSink;

 private:
  friend class CDisplayItem;
  GlobalParams globals_;
  std::vector<std::unique_ptr<CDisplayItem>> items_;
  DLLIFC_ITEM firstHandle_;
  std::uint32_t nextGroupId_ = 0;
  IDisplaySignalSink* sink_ = nullptr;
};

}  // namespace tarquel
