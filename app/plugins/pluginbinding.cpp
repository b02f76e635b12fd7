#include "app/plugins/pluginbinding.h"

#include <dlfcn.h>

#include <cstring>

#include "core/base/globallog.h"
#include "platform/paths.h"
#include "platform/text.h"

const char* const DLLIFCFunctionNames[DLLIFC_ENTRY_COUNT + 1] = {
    "GetVersion",        "GetName",
    "CSTAMessageHandlerProc", "Create",
    "Close",             "VisualStateFunction",
    "LoadCountrySpecificData", "GetNumberOfParams",
    "GetParamName",      "SetParamAsString",
    "GetParamAsString",  "SetDatabaseInterface",
    "SetDeviceContentsInterface", "SetParentMessageHandlerProc",
    "AddItem",           "ItemGetNumberOfParams",
    "ItemGetParamName",  "ItemSetParamAsString",
    "ItemGetParamAsString", "",
};

namespace {

enum Entry {
  kGetVersion, kGetName, kMessageHandler, kCreate, kClose, kVisualState, kCountryData, kNumberOfParams,
  kGetParamName, kSetParam, kGetParam, kSetDatabase, kSetDevices, kSetParentHandler, kAddItem,
  kItemNumberOfParams, kItemGetParamName, kItemSetParam, kItemGetParam,
};

template <std::size_t N>
void CopyBounded(std::array<char, N>& to, const char* from) {
  to.fill('\0');
  if (from) std::strncpy(to.data(), from, N - 1);
}

std::string& Folder() {
  static std::string folder;
  return folder;
}

// A plug-in's text ends inside the buffer the host handed over, whatever
// the plug-in wrote there.
int EndText(int result, char* text) {
  if (text) text[DLLIFC_TEXT_SIZE - 1] = '\0';
  return result;
}

bool EndsWithNoCase(const std::string& s, const char* tail) {
  const std::size_t n = std::strlen(tail);
  return s.size() >= n && strncasecmp(s.c_str() + s.size() - n, tail, n) == 0;
}

}  // namespace

// ------------------------------------------------------------------ binding

CPlugInBinding::CPlugInBinding() { Reset(); }

CPlugInBinding::~CPlugInBinding() {
  if (module_) FreeLibrary();
}

void CPlugInBinding::Reset() {
  libraryName_.fill('\0');
  entries_.fill(nullptr);
  for (NameRow& r : names_) r = NameRow{};
  for (int i = 0; i < kNameRows && DLLIFCFunctionNames[i][0] != '\0'; ++i)
    CopyBounded(names_[static_cast<std::size_t>(i)].generic, DLLIFCFunctionNames[i]);
}

int CPlugInBinding::SetExportName(const char* genericName, const char* exportName) {
  if (!genericName || genericName[0] == '\0') return DLLIFC_BAD_ITEM;
  for (NameRow& r : names_)
    if (std::strcmp(r.generic.data(), genericName) == 0) {
      CopyBounded(r.exported, exportName);
      return DLLIFC_OK;
    }
  return DLLIFC_BAD_ITEM;
}

void CPlugInBinding::SetPrefixedNames(const char* prefix, int first, int last) {
  for (int i = first; i <= last; ++i) {
    const std::string name = std::string(prefix) + DLLIFCFunctionNames[i];
    SetExportName(DLLIFCFunctionNames[i], name.c_str());
  }
}

std::string CPlugInBinding::LibraryPath(const std::string& fileName) {
  std::string path = fileName;
  if (EndsWithNoCase(path, ".dll")) path = path.substr(0, path.size() - 4) + ".so";
  if (path.find('/') == std::string::npos) path = (Folder().empty() ? plat::ExeDir() : Folder()) + "/" + path;
  return path;
}

void CPlugInBinding::SetFolder(const std::string& folder) { Folder() = folder; }

int CPlugInBinding::Load(const char* fileName) {
  if (!fileName) return module_ ? DLLIFC_OK : DLLIFC_FAILED;
  if (module_) FreeLibrary();
  const std::string path = LibraryPath(fileName);
  // RTLD_NODELETE is not used: a plug-in takes its windows and every Qt
  // object of its own down at Close, and again in its unload destructor,
  // so nothing of it outlives dlclose; a fresh load starts it afresh.
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* why = dlerror();
    GlobalLog().WriteEntry(plat::StrFormatC("plug-in %s not loaded: %s", fileName, why ? why : "?").c_str());
    return DLLIFC_FAILED;
  }
  module_ = module;
  CopyBounded(libraryName_, fileName);
  Bind();
  return DLLIFC_OK;
}

void CPlugInBinding::Bind() {
  for (int i = 0; i < DLLIFC_ENTRY_COUNT; ++i) {
    entries_[static_cast<std::size_t>(i)] = nullptr;
    for (const NameRow& r : names_) {
      if (std::strcmp(r.generic.data(), DLLIFCFunctionNames[i]) != 0) continue;
      if (r.exported[0] != '\0') entries_[static_cast<std::size_t>(i)] = dlsym(module_, r.exported.data());
      break;
    }
  }
}

int CPlugInBinding::FreeLibrary() {
  if (!module_) return DLLIFC_FAILED;
  // No entry may point into an unmapped library.
  entries_.fill(nullptr);
  void* module = module_;
  module_ = nullptr;
  if (dlclose(module) != 0) {
    const char* why = dlerror();
    GlobalLog().WriteEntry(plat::StrFormatC("plug-in %s not unloaded: %s", libraryName_.data(), why ? why : "?").c_str());
  }
  return DLLIFC_OK;
}

int CPlugInBinding::Unload() {
  if (FreeLibrary() != DLLIFC_OK) return DLLIFC_FAILED;
  Reset();
  return DLLIFC_OK;
}

bool CPlugInBinding::IsBound(int index) const {
  return index >= 0 && index < DLLIFC_ENTRY_COUNT && entries_[static_cast<std::size_t>(index)] != nullptr;
}

const char* CPlugInBinding::ExportName(int index) const {
  if (index < 0 || index >= kNameRows) return "";
  return names_[static_cast<std::size_t>(index)].exported.data();
}

const char* CPlugInBinding::GetGenericName(int index) const {
  return index >= 0 && index < DLLIFC_ENTRY_COUNT ? DLLIFCFunctionNames[index] : "";
}

// ------------------------------------------------------------ call-throughs

int CPlugInBinding::GetVersion(std::uint16_t* major, std::uint16_t* minor) {
  // The caller reads them whatever happens.
  if (major) *major = 0;
  if (minor) *minor = 0;
  auto fn = Entry<DLLIFC_GetVersion>(kGetVersion);
  if (!fn) return DLLIFC_FAILED;
  fn(major, minor);
  return DLLIFC_OK;
}

int CPlugInBinding::GetName(char* text) {
  auto fn = Entry<DLLIFC_GetName>(kGetName);
  return fn ? EndText(fn(text), text) : DLLIFC_FAILED;
}

int CPlugInBinding::CSTAMessageHandlerProc(const CSTAMessage& record) {
  auto fn = Entry<DLLIFC_CSTAMessageHandlerProc>(kMessageHandler);
  static_assert(CSTAMessage::kSize == DLLIFC_RECORD_SIZE);
  return fn ? fn(record.data()) : DLLIFC_FAILED;
}

int CPlugInBinding::Create(plat::WindowId parent, std::int32_t windowId, std::int32_t flags) {
  auto fn = Entry<DLLIFC_Create>(kCreate);
  if (!fn) return DLLIFC_FAILED;
  windowId_ = windowId;
  return fn(parent, windowId, flags);
}

int CPlugInBinding::Close() {
  auto fn = Entry<DLLIFC_Close>(kClose);
  if (!fn) return DLLIFC_FAILED;
  windowId_ = kNoWindow;
  return fn();
}

int CPlugInBinding::VisualStateFunction(std::int32_t state, std::int32_t value) {
  auto fn = Entry<DLLIFC_VisualStateFunction>(kVisualState);
  return fn ? fn(state, value) : DLLIFC_FAILED;
}

int CPlugInBinding::LoadCountrySpecificData(std::int32_t first, std::int32_t second) {
  auto fn = Entry<DLLIFC_LoadCountrySpecificData>(kCountryData);
  return fn ? fn(first, second) : DLLIFC_FAILED;
}

int CPlugInBinding::GetNumberOfParams(std::int32_t reserved) {
  auto fn = Entry<DLLIFC_GetNumberOfParams>(kNumberOfParams);
  return fn ? fn(reserved) : DLLIFC_FAILED;
}

int CPlugInBinding::GetParamName(std::uint16_t index, char* text) {
  auto fn = Entry<DLLIFC_GetParamName>(kGetParamName);
  return fn ? EndText(fn(index, text), text) : DLLIFC_FAILED;
}

int CPlugInBinding::SetParamAsString(const char* name, const char* value) {
  auto fn = Entry<DLLIFC_SetParamAsString>(kSetParam);
  return fn ? fn(name, value) : DLLIFC_FAILED;
}

int CPlugInBinding::GetParamAsString(const char* name, char* text) {
  auto fn = Entry<DLLIFC_GetParamAsString>(kGetParam);
  return fn ? EndText(fn(name, text), text) : DLLIFC_FAILED;
}

int CPlugInBinding::SetDatabaseInterface(CMyDataBaseInterface* phoneBook) {
  auto fn = Entry<DLLIFC_SetDatabaseInterface>(kSetDatabase);
  return fn ? fn(phoneBook) : DLLIFC_FAILED;
}

int CPlugInBinding::SetDeviceContentsInterface(CDeviceContentsInterface* devices) {
  auto fn = Entry<DLLIFC_SetDeviceContentsInterface>(kSetDevices);
  return fn ? fn(devices) : DLLIFC_FAILED;
}

int CPlugInBinding::SetParentMessageHandlerProc(std::intptr_t handler) {
  auto fn = Entry<DLLIFC_SetParentMessageHandlerProc>(kSetParentHandler);
  return fn ? fn(handler) : DLLIFC_FAILED;
}

int CPlugInBinding::AddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* item, std::intptr_t userValue) {
  auto fn = Entry<DLLIFC_AddItem>(kAddItem);
  return fn ? fn(parent, item, userValue) : DLLIFC_FAILED;
}

int CPlugInBinding::ItemGetNumberOfParams(DLLIFC_ITEM item, std::int32_t reserved) {
  auto fn = Entry<DLLIFC_ItemGetNumberOfParams>(kItemNumberOfParams);
  return fn ? fn(item, reserved) : DLLIFC_FAILED;
}

int CPlugInBinding::ItemGetParamName(DLLIFC_ITEM item, std::uint16_t index, char* text, std::int32_t reserved) {
  auto fn = Entry<DLLIFC_ItemGetParamName>(kItemGetParamName);
  return fn ? EndText(fn(item, index, text, reserved), text) : DLLIFC_FAILED;
}

int CPlugInBinding::ItemSetParamAsString(DLLIFC_ITEM item, const char* name, const char* value) {
  auto fn = Entry<DLLIFC_ItemSetParamAsString>(kItemSetParam);
  return fn ? fn(item, name, value) : DLLIFC_FAILED;
}

int CPlugInBinding::ItemGetParamAsString(DLLIFC_ITEM item, const char* name, char* text) {
  auto fn = Entry<DLLIFC_ItemGetParamAsString>(kItemGetParam);
  return fn ? EndText(fn(item, name, text), text) : DLLIFC_FAILED;
}

// ------------------------------------------------------ connection viewer

CConnectionViewerBinding::~CConnectionViewerBinding() = default;

int CConnectionViewerBinding::Load(const char* fileName) {
  if (fileName) SetPrefixedNames(kPrefix, kGetVersion, kSetDevices);
  return CPlugInBinding::Load(fileName);
}

int CConnectionViewerBinding::Unload() { return FreeLibrary(); }

// --------------------------------------------------------- display control

CDisplayControlBinding::CDisplayControlBinding() { SetNames(); }

void CDisplayControlBinding::SetNames() {
  SetPrefixedNames(kPrefix, kGetVersion, kItemGetParam);
  // Never bound, even when the library has them.
  SetExportName(DLLIFCFunctionNames[kSetDatabase], "");
  SetExportName(DLLIFCFunctionNames[kSetDevices], "");
}

int CDisplayControlBinding::Load(const char* fileName) {
  if (fileName) SetNames();
  return CPlugInBinding::Load(fileName);
}
