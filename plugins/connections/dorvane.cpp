// dorvane, the connection viewer plug-in: the 13 exports of the plug-in
// interface under the prefix GenDLLIFC. One window at a time.
#include <cstring>
#include <memory>

#include "platform/text.h"
#include "plugins/common/guard.h"
#include "plugins/common/wndparam.h"
#include "plugins/connections/viewerdlg.h"
#include "plugins/dllifc.h"

using dorvane::CConnectionViewerDlg;
using pluginkit::Guarded;

namespace {

constexpr std::uint16_t kMajor = 1, kMinor = 0;

// Whatever the host left open goes before the library is unmapped.
std::unique_ptr<CConnectionViewerDlg> g_viewer;

bool IsPosition(const char* name) { return name && std::strcmp(name, DLLIFC_PARAM_WNDPOSITION) == 0; }

void Put(char* text, const char* value) { plat::FormatC(text, DLLIFC_TEXT_SIZE, "%s", value); }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t GenDLLIFCGetVersion(uint16_t* major, uint16_t* minor) {
  return Guarded([&] {
    if (major) *major = kMajor;
    if (minor) *minor = kMinor;
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCGetName(char* text) {
  return Guarded([&] {
    if (!text) return DLLIFC_FAILED;
    plat::FormatC(text, DLLIFC_TEXT_SIZE, "dorvane Version: %u.%u", unsigned{kMajor}, unsigned{kMinor});
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCCSTAMessageHandlerProc(const unsigned char* record) {
  return Guarded([&] {
    if (!g_viewer || !record) return DLLIFC_FAILED;
    return g_viewer->Calls().Dispatch(record);
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCCreate(DLLIFC_WINDOW parent, int32_t windowId,
                                                               int32_t reserved) {
  (void)windowId;  // fixed dialog resources; the id is the host's
  (void)reserved;
  return Guarded([&] {
    if (g_viewer) return DLLIFC_FAILED;
    plat::dlg::Template tpl;
    if (!CConnectionViewerDlg::LoadTemplate(&tpl, nullptr)) return DLLIFC_NO_RESOURCE;
    auto viewer = std::make_unique<CConnectionViewerDlg>(std::move(tpl));
    if (!viewer->CreateHidden(parent)) return DLLIFC_NO_RESOURCE;
    g_viewer = std::move(viewer);
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCClose(void) {
  return Guarded([&] {
    if (!g_viewer) return DLLIFC_FAILED;
    g_viewer.reset();
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCVisualStateFunction(int32_t state, int32_t value) {
  return Guarded([&] { return g_viewer ? g_viewer->VisualState(state, value) : DLLIFC_FAILED; });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCLoadCountrySpecificData(int32_t, int32_t) {
  return DLLIFC_FAILED;  // nothing to load
}

__attribute__((visibility("default"))) int32_t GenDLLIFCGetNumberOfParams(int32_t) { return 1; }

__attribute__((visibility("default"))) int32_t GenDLLIFCGetParamName(uint16_t index, char* text) {
  return Guarded([&] {
    if (index != 0 || !text) return DLLIFC_FAILED;
    Put(text, DLLIFC_PARAM_WNDPOSITION);
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCSetParamAsString(const char* name, const char* value) {
  return Guarded([&] {
    if (!g_viewer || !IsPosition(name) || !value) return DLLIFC_FAILED;
    pluginkit::WindowRect r = g_viewer->Position();
    if (pluginkit::ParseWndPosition(value, &r) > 0) g_viewer->SetPosition(r);
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCGetParamAsString(const char* name, char* text) {
  return Guarded([&] {
    if (!g_viewer || !IsPosition(name) || !text) return DLLIFC_FAILED;
    pluginkit::FormatWndPosition(g_viewer->Position(), text, DLLIFC_TEXT_SIZE);
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCSetDatabaseInterface(void* phoneBook) {
  return Guarded([&] {
    if (!g_viewer) return DLLIFC_FAILED;
    g_viewer->phoneBook = phoneBook;
    return DLLIFC_OK;
  });
}

__attribute__((visibility("default"))) int32_t GenDLLIFCSetDeviceContentsInterface(void* devices) {
  return Guarded([&] {
    if (!g_viewer) return DLLIFC_FAILED;
    g_viewer->devices = devices;
    return DLLIFC_OK;
  });
}

}  // extern "C"

DLLIFC_CHECK_EXPORT(GenDLLIFC, GetVersion);
DLLIFC_CHECK_EXPORT(GenDLLIFC, GetName);
DLLIFC_CHECK_EXPORT(GenDLLIFC, CSTAMessageHandlerProc);
DLLIFC_CHECK_EXPORT(GenDLLIFC, Create);
DLLIFC_CHECK_EXPORT(GenDLLIFC, Close);
DLLIFC_CHECK_EXPORT(GenDLLIFC, VisualStateFunction);
DLLIFC_CHECK_EXPORT(GenDLLIFC, LoadCountrySpecificData);
DLLIFC_CHECK_EXPORT(GenDLLIFC, GetNumberOfParams);
DLLIFC_CHECK_EXPORT(GenDLLIFC, GetParamName);
DLLIFC_CHECK_EXPORT(GenDLLIFC, SetParamAsString);
DLLIFC_CHECK_EXPORT(GenDLLIFC, GetParamAsString);
DLLIFC_CHECK_EXPORT(GenDLLIFC, SetDatabaseInterface);
DLLIFC_CHECK_EXPORT(GenDLLIFC, SetDeviceContentsInterface);
