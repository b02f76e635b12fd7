// The display control's exports, for code linked with the plug-in's
// library (its tests, fuzz target and benchmark); the program binds them
// by name instead.
#pragma once
#include <stdint.h>

#include "plugins/dllifc.h"

#define TARQUEL_EXPORT __attribute__((visibility("default")))

extern "C" {
TARQUEL_EXPORT int32_t TARQAPIGetVersion(uint16_t* major, uint16_t* minor);
TARQUEL_EXPORT int32_t TARQAPIGetName(char* text);
TARQUEL_EXPORT int32_t TARQAPICSTAMessageHandlerProc(const unsigned char* record);
TARQUEL_EXPORT int32_t TARQAPICreate(DLLIFC_WINDOW parent, int32_t windowId, int32_t reserved);
TARQUEL_EXPORT int32_t TARQAPIClose(void);
TARQUEL_EXPORT int32_t TARQAPIVisualStateFunction(int32_t state, int32_t value);
TARQUEL_EXPORT int32_t TARQAPILoadCountrySpecificData(int32_t first, int32_t second);
TARQUEL_EXPORT int32_t TARQAPIGetNumberOfParams(int32_t reserved);
TARQUEL_EXPORT int32_t TARQAPIGetParamName(uint16_t index, char* text);
TARQUEL_EXPORT int32_t TARQAPISetParamAsString(const char* name, const char* value);
TARQUEL_EXPORT int32_t TARQAPIGetParamAsString(const char* name, char* text);
TARQUEL_EXPORT int32_t TARQAPISetParentMessageHandlerProc(intptr_t handler);
TARQUEL_EXPORT int32_t TARQAPIAddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* item, intptr_t userValue);
TARQUEL_EXPORT int32_t TARQAPIItemGetNumberOfParams(DLLIFC_ITEM item, int32_t reserved);
TARQUEL_EXPORT int32_t TARQAPIItemGetParamName(DLLIFC_ITEM item, uint16_t index, char* text, int32_t reserved);
TARQUEL_EXPORT int32_t TARQAPIItemSetParamAsString(DLLIFC_ITEM item, const char* name, const char* value);
TARQUEL_EXPORT int32_t TARQAPIItemGetParamAsString(DLLIFC_ITEM item, const char* name, char* text);
}

namespace tarquel {
class COverviewDlg;
class CDisplayItemManager;
// Between Create and Close; null otherwise.
COverviewDlg* Overview();
CDisplayItemManager* Items();
}  // namespace tarquel
