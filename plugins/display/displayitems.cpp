#include "plugins/display/displayitems.h"

#include <climits>
#include <cstring>

namespace tarquel {

std::int32_t ReadNumber(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  std::int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + (*p - '0');
    if (v > std::int64_t{INT32_MAX} + 1) v = std::int64_t{INT32_MAX} + 1;  // saturated; keep it there
  }
  if (negative) v = -v;
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

namespace {

const char* Text(const char* value) { return value ? value : ""; }

bool Is(const char* name, const char* what) { return std::strcmp(name, what) == 0; }

// "<prefix>N.<suffix>" with N from 1 to 5: the index 0 to 4, else -1.
int ButtonIndex(const char* name, const char* prefix, const char* suffix) {
  const std::size_t n = std::strlen(prefix);
  if (std::strncmp(name, prefix, n) != 0) return -1;
  const char digit = name[n];
  if (digit < '1' || digit > '0' + kButtons) return -1;
  if (name[n + 1] != '.' || std::strcmp(name + n + 2, suffix) != 0) return -1;
  return digit - '1';
}

}  // namespace

bool GlobalParams::Set(const char* name, const char* value) {
  if (!name) return false;
  int i;
  if ((i = ButtonIndex(name, "Fkt", "Message")) >= 0) fktMessage[static_cast<std::size_t>(i)] = ReadNumber(value);
  else if ((i = ButtonIndex(name, "Fkt", "Description")) >= 0) fktDescription[static_cast<std::size_t>(i)] = Text(value);
  else if ((i = ButtonIndex(name, "GenFkt", "Message")) >= 0) genFktMessage[static_cast<std::size_t>(i)] = ReadNumber(value);
  else if ((i = ButtonIndex(name, "GenFkt", "Description")) >= 0)
    genFktDescription[static_cast<std::size_t>(i)] = Text(value);
  else if (Is(name, "ParentWindow")) parentWindow = static_cast<std::uint32_t>(ReadNumber(value));
  else if (Is(name, "MaxColumns")) maxColumns = ReadNumber(value);
  else if (Is(name, "MaxRows")) maxRows = ReadNumber(value);
  else if (Is(name, "ShowOverview")) showOverview = ReadNumber(value);
  else if (Is(name, "Label")) label = Text(value);
  else if (Is(name, "LabelOverview")) labelOverview = Text(value);
  else if (Is(name, "State1.Blink")) state1Blink = ReadNumber(value);
  else if (Is(name, "BackgroundColor")) backgroundColor = ReadNumber(value);
  else if (Is(name, "TextColor")) textColor = ReadNumber(value);
  else return false;
  return true;
}

// ------------------------------------------------------------------ items

CDisplayItem::CDisplayItem(CDisplayItemManager& owner, Kind kind, std::uint16_t id, DLLIFC_ITEM handle,
                           CDisplayItem* group, std::intptr_t userValue)
    : owner_(owner), kind_(kind), id_(id), handle_(handle), group_(group), userValue_(userValue) {}

bool CDisplayItem::SetParam(const char* name, const char* value) {
  if (!name) return false;
  if (Is(name, "Label")) {
    label = Text(value);
    Signal(kSigLabel, 0);
  } else if (Is(name, "SmallLabel")) {
    smallLabel = Text(value);
    Signal(kSigLabel, 0);
  } else if (Is(name, "SmallLabel.BackgroundColor")) {
    smallLabelBackground = ReadNumber(value);
    Signal(kSigColours, smallLabelBackground);
  } else if (Is(name, "Contents")) {
    contents = Text(value);
    Signal(kSigContents, 0);
  } else if (Is(name, "Description") || Is(name, "ToolTip")) {
    description = Text(value);
  } else if (Is(name, "Token")) {
    token = Text(value);
  } else if (Is(name, "UniqueID")) {
    uniqueId = ReadNumber(value);
  } else if (Is(name, "State1")) {
    state1 = ReadNumber(value);
    Signal(kSigState1, state1);
  } else if (Is(name, "State2")) {
    state2 = ReadNumber(value);
    Signal(kSigState2, state2);
  } else {
    return false;
  }
  return true;
}

void CDisplayItem::Signal(int signal, std::int32_t value) {
  if (tile) tile->OnItemSignal(*this, signal, value);
  if (sink) sink->OnItemSignal(*this, signal, value);
  else if (signal == kSigState1 && owner_.onMissingSink) owner_.onMissingSink("No valid OnSignal:DEVSTATECHANGE_STATE_1");
}

// ---------------------------------------------------------------- manager

CDisplayItemManager::CDisplayItemManager(std::uint32_t parent, DLLIFC_ITEM firstHandle) : firstHandle_(firstHandle) {
  globals_.parentWindow = parent;
}

CDisplayItemManager::~CDisplayItemManager() {
  // The windows may outlive a tile link for a moment; no signal goes out now.
  for (auto& item : items_) {
    item->tile = nullptr;
    item->sink = nullptr;
  }
}

int CDisplayItemManager::AddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* out, std::intptr_t userValue) {
  if (out) *out = DLLIFC_ITEM_INVALID;
  CDisplayItem* group = nullptr;
  if (parent != DLLIFC_ITEM_GLOBAL) {
    group = Find(parent);
    if (!group || !group->IsGroup()) return DLLIFC_BAD_ITEM;
  }
  if (LastHandle() == INT32_MAX) return DLLIFC_NO_RESOURCE;
  std::uint32_t& next = group ? group->nextChildId_ : nextGroupId_;
  if (next >= kIdLimit) return DLLIFC_NO_RESOURCE;
  const DLLIFC_ITEM handle = LastHandle() + 1;
  auto item = std::make_unique<CDisplayItem>(*this, group ? CDisplayItem::kDevice : CDisplayItem::kGroup,
                                             static_cast<std::uint16_t>(next), handle, group, userValue);
  if (group) {
    item->parentWindow = globals_.parentWindow;
    item->fktMessage = globals_.fktMessage;
    item->fktDescription = globals_.fktDescription;
    item->sink = sink_;
  }
  CDisplayItem* raw = item.get();
  items_.push_back(std::move(item));
  if (group) {
    try {
      group->children_.push_back(raw);
    } catch (...) {
      items_.pop_back();  // no half-added item
      throw;
    }
  }
  ++next;
  if (out) *out = handle;
  return DLLIFC_OK;
}

CDisplayItem* CDisplayItemManager::Find(DLLIFC_ITEM handle) const {
  if (handle <= firstHandle_ || handle > LastHandle()) return nullptr;
  return items_[static_cast<std::size_t>(handle - firstHandle_ - 1)].get();
}

int CDisplayItemManager::SetParam(DLLIFC_ITEM handle, const char* name, const char* value) {
  if (handle == DLLIFC_ITEM_GLOBAL) {
    globals_.Set(name, value);
    return DLLIFC_OK;
  }
  CDisplayItem* item = Find(handle);
  if (!item) return DLLIFC_BAD_ITEM;
  item->SetParam(name, value);
  return DLLIFC_OK;
}

std::vector<CDisplayItem*> CDisplayItemManager::Groups() const {
  std::vector<CDisplayItem*> groups;
  for (const auto& item : items_)
    if (item->IsGroup()) groups.push_back(item.get());
  return groups;
}

void CDisplayItemManager::SetSink(IDisplaySignalSink* sink) {
  sink_ = sink;
  for (auto& item : items_)
    if (!item->IsGroup()) item->sink = sink;
}

}  // namespace tarquel
