// tarquel, the display control plug-in: 17 exports of the plug-in
// interface under the prefix TARQAPI (not the two interface setters). One
// item manager and one overview at a time, from Create to Close.
#include "plugins/display/tarquel.h"

#include <cstring>
#include <memory>

#include "platform/text.h"
#include "plugins/common/guard.h"
#include "plugins/common/wndparam.h"
#include "plugins/display/overviewdlg.h"

using pluginkit::Guarded;

namespace {

constexpr std::uint16_t kMajor = 2, kMinor = 0;

struct State {
  tarquel::CBoxPoster boxes;
  std::unique_ptr<tarquel::CDisplayItemManager> items;
  std::unique_ptr<tarquel::COverviewDlg> overview;
};
std::unique_ptr<State> g_state;
// Handles go on from where the last manager ended: a handle kept across
// Close never names an item of the next Create.
DLLIFC_ITEM g_lastHandle = 0;

bool IsPosition(const char* name) { return name && std::strcmp(name, DLLIFC_PARAM_WNDPOSITION) == 0; }

void CloseAll() {
  if (!g_state) return;
  g_state->overview.reset();
  if (g_state->items) g_lastHandle = g_state->items->LastHandle();
  g_state.reset();
}

}  // namespace

namespace tarquel {

COverviewDlg* Overview() { return g_state ? g_state->overview.get() : nullptr; }
CDisplayItemManager* Items() { return g_state ? g_state->items.get() : nullptr; }

}  // namespace tarquel

extern "C" {

TARQUEL_EXPORT int32_t TARQAPIGetVersion(uint16_t* major, uint16_t* minor) {
  return Guarded([&] {
    if (major) *major = kMajor;
    if (minor) *minor = kMinor;
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPIGetName(char* text) {
  return Guarded([&] {
    if (!text) return DLLIFC_FAILED;
    plat::FormatC(text, DLLIFC_TEXT_SIZE, "%s", "tarquel 1.0");
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPICSTAMessageHandlerProc(const unsigned char*) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPICreate(DLLIFC_WINDOW parent, int32_t windowId, int32_t reserved) {
  (void)windowId;  // fixed dialog resources; the id is the host's
  (void)reserved;
  return Guarded([&] {
    if (g_state) return DLLIFC_NO_RESOURCE;
    try {
      auto state = std::make_unique<State>();
      state->items = std::make_unique<tarquel::CDisplayItemManager>(parent, g_lastHandle);
      state->overview = std::make_unique<tarquel::COverviewDlg>(*state->items, state->boxes);
      // The host may set a state from inside its own handlers: the box waits.
      state->items->onMissingSink = [boxes = &state->boxes](const std::string& text) { boxes->Post(text, "tarquel"); };
      g_state = std::move(state);
    } catch (...) {
      g_state.reset();
      throw;
    }
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPIClose(void) {
  return Guarded([&] {
    CloseAll();
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPIVisualStateFunction(int32_t state, int32_t value) {
  return Guarded([&] {
    if (g_state && g_state->overview) g_state->overview->VisualState(state, value);
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPILoadCountrySpecificData(int32_t, int32_t) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPIGetNumberOfParams(int32_t) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPIGetParamName(uint16_t index, char* text) {
  return Guarded([&] {
    if (index != 0 || !text) return DLLIFC_FAILED;
    plat::FormatC(text, DLLIFC_TEXT_SIZE, "%s", DLLIFC_PARAM_WNDPOSITION);
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPISetParamAsString(const char* name, const char* value) {
  return Guarded([&] {
    if (!g_state) return DLLIFC_FAILED;
    if (IsPosition(name)) {
      if (!value) return DLLIFC_FAILED;
      pluginkit::WindowRect r = g_state->overview->Position();
      if (pluginkit::ParseWndPosition(value, &r) > 0) g_state->overview->SetPosition(r);
      return DLLIFC_OK;
    }
    g_state->items->globals().Set(name, value);
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPIGetParamAsString(const char* name, char* text) {
  return Guarded([&] {
    if (!g_state || !IsPosition(name) || !text) return DLLIFC_FAILED;
    pluginkit::FormatWndPosition(g_state->overview->Position(), text, DLLIFC_TEXT_SIZE);
    return DLLIFC_OK;
  });
}

TARQUEL_EXPORT int32_t TARQAPISetParentMessageHandlerProc(intptr_t) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPIAddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* item, intptr_t userValue) {
  if (item) *item = DLLIFC_ITEM_INVALID;
  return Guarded([&] {
    if (!g_state) return DLLIFC_NO_RESOURCE;
    return g_state->items->AddItem(parent, item, userValue);
  });
}

TARQUEL_EXPORT int32_t TARQAPIItemGetNumberOfParams(DLLIFC_ITEM, int32_t) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPIItemGetParamName(DLLIFC_ITEM, uint16_t, char*, int32_t) { return DLLIFC_OK; }

TARQUEL_EXPORT int32_t TARQAPIItemSetParamAsString(DLLIFC_ITEM item, const char* name, const char* value) {
  return Guarded([&] {
    if (item == DLLIFC_ITEM_INVALID) return DLLIFC_BAD_ITEM;
    if (!g_state) return item == DLLIFC_ITEM_GLOBAL ? DLLIFC_FAILED : DLLIFC_BAD_ITEM;
    return g_state->items->SetParam(item, name, value);
  });
}

TARQUEL_EXPORT int32_t TARQAPIItemGetParamAsString(DLLIFC_ITEM, const char*, char*) { return DLLIFC_OK; }

}  // extern "C"

DLLIFC_CHECK_EXPORT(TARQAPI, GetVersion);
DLLIFC_CHECK_EXPORT(TARQAPI, GetName);
DLLIFC_CHECK_EXPORT(TARQAPI, CSTAMessageHandlerProc);
DLLIFC_CHECK_EXPORT(TARQAPI, Create);
DLLIFC_CHECK_EXPORT(TARQAPI, Close);
DLLIFC_CHECK_EXPORT(TARQAPI, VisualStateFunction);
DLLIFC_CHECK_EXPORT(TARQAPI, LoadCountrySpecificData);
DLLIFC_CHECK_EXPORT(TARQAPI, GetNumberOfParams);
DLLIFC_CHECK_EXPORT(TARQAPI, GetParamName);
DLLIFC_CHECK_EXPORT(TARQAPI, SetParamAsString);
DLLIFC_CHECK_EXPORT(TARQAPI, GetParamAsString);
DLLIFC_CHECK_EXPORT(TARQAPI, SetParentMessageHandlerProc);
DLLIFC_CHECK_EXPORT(TARQAPI, AddItem);
DLLIFC_CHECK_EXPORT(TARQAPI, ItemGetNumberOfParams);
DLLIFC_CHECK_EXPORT(TARQAPI, ItemGetParamName);
DLLIFC_CHECK_EXPORT(TARQAPI, ItemSetParamAsString);
DLLIFC_CHECK_EXPORT(TARQAPI, ItemGetParamAsString);
