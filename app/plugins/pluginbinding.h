// The program's side of a display plug-in: loads the library by name,
// binds its entries by export name and offers one call-through per entry
// that answers 1 when the entry is missing. The view owns one binding per
// plug-in. Main thread only.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/filter/filterifaces.h"
#include "plugins/dllifc.h"
#include "platform/win32types.h"

class CMyDataBaseInterface;
class CDeviceContentsInterface;

// The generic entry names in binding order, then an empty one.
extern const char* const DLLIFCFunctionNames[DLLIFC_ENTRY_COUNT + 1];

class CPlugInBinding {
 public:
  static constexpr int kNameRows = 20;
  static constexpr std::size_t kNameWidth = 64;  // 63 characters and the end
  static constexpr int kNoWindow = -1;

  CPlugInBinding();
  virtual ~CPlugInBinding();
  CPlugInBinding(const CPlugInBinding&) = delete;
  CPlugInBinding& operator=(const CPlugInBinding&) = delete;

  // 0; 4 when the generic name is not one of the 19.
  virtual int SetExportName(const char* genericName, const char* exportName);
  // Null name: 0 when loaded, else 1. Otherwise 0 when the library could
  // be loaded (entries bound as far as it has them), else 1 (logged). A
  // library already loaded is unloaded first.
  virtual int Load(const char* fileName);
  // 1 when nothing is loaded; else the library goes, every entry with it.
  virtual int Unload();

  virtual int GetVersion(std::uint16_t* major, std::uint16_t* minor);
  virtual int GetName(char* text);
  virtual int CSTAMessageHandlerProc(const CSTAMessage& record);
  virtual int Create(plat::WindowId parent, std::int32_t windowId, std::int32_t flags);
  virtual int Close();
  virtual int VisualStateFunction(std::int32_t state, std::int32_t value);
  virtual int LoadCountrySpecificData(std::int32_t first, std::int32_t second);
  virtual int GetNumberOfParams(std::int32_t reserved);
  virtual int GetParamName(std::uint16_t index, char* text);
  virtual int SetParamAsString(const char* name, const char* value);
  virtual int GetParamAsString(const char* name, char* text);
  virtual int SetDatabaseInterface(CMyDataBaseInterface* phoneBook);
  virtual int SetDeviceContentsInterface(CDeviceContentsInterface* devices);

  virtual void SetCommandId(plat::UINT id) { commandId_ = id; }
  virtual plat::UINT GetCommandId() const { return commandId_; }
  virtual int GetWindowId() const { return windowId_; }
  virtual int GetNumberOfGenericNames() const { return DLLIFC_ENTRY_COUNT; }
  // "" outside 0 to 18.
  virtual const char* GetGenericName(int index) const;

  virtual int SetParentMessageHandlerProc(std::intptr_t handler);
  virtual int AddItem(DLLIFC_ITEM parent, DLLIFC_ITEM* item, std::intptr_t userValue);
  virtual int ItemGetNumberOfParams(DLLIFC_ITEM item, std::int32_t reserved);
  virtual int ItemGetParamName(DLLIFC_ITEM item, std::uint16_t index, char* text, std::int32_t reserved);
  virtual int ItemSetParamAsString(DLLIFC_ITEM item, const char* name, const char* value);
  virtual int ItemGetParamAsString(DLLIFC_ITEM item, const char* name, char* text);

  // Library name, entries and export names cleared; generic names refilled.
  virtual void Reset();

  // Inspection.
  bool IsLoaded() const { return module_ != nullptr; }
  bool IsBound(int index) const;
  const char* LibraryName() const { return libraryName_.data(); }
  const char* ExportName(int index) const;
  // Where a stored library name is looked for: "<name>.dll" is the ".so"
  // of that name, and a bare name lives in the program's folder.
  static std::string LibraryPath(const std::string& fileName);
  // The folder of bare names: the program's, unless set ("" restores it).
  static void SetFolder(const std::string& folder);

 protected:
  // Frees the library and clears the entries; the name table stays.
  int FreeLibrary();
  // Fills the name table with prefix + generic name for the given rows.
  void SetPrefixedNames(const char* prefix, int first, int last);

 private:
  struct NameRow {
    std::array<char, kNameWidth> generic{};
    std::array<char, kNameWidth> exported{};
  };
  template <class Fn>
  Fn Entry(int index) const {
    return reinterpret_cast<Fn>(entries_[static_cast<std::size_t>(index)]);
  }
  void Bind();

  void* module_ = nullptr;
  std::array<char, 260> libraryName_{};
  std::array<void*, DLLIFC_ENTRY_COUNT> entries_{};
  std::array<NameRow, kNameRows> names_{};
  plat::UINT commandId_ = 0;
  int windowId_ = kNoWindow;
};

// The connection viewer: its own entries and the filter's listener.
class CConnectionViewerBinding : public CPlugInBinding, public CSTAMessageListener {
 public:
  static constexpr const char* kFileName = "dorvane.dll";
  static constexpr const char* kPrefix = "GenDLLIFC";
  static constexpr int kKind = 3;

  ~CConnectionViewerBinding() override;
  // Binds the first 13 entries (GetVersion to SetDeviceContentsInterface).
  int Load(const char* fileName) override;
  // Frees the library and its entries; the names stay for the next Load.
  int Unload() override;
  int Kind() const { return kKind; }
  void OnMessage(const CSTAMessage& record) override { CSTAMessageHandlerProc(record); }
};

// The display control: all entries but the two interface setters.
class CDisplayControlBinding : public CPlugInBinding {
 public:
  static constexpr const char* kFileName = "tarquel.dll";
  static constexpr const char* kPrefix = "TARQAPI";

  CDisplayControlBinding();
  int Load(const char* fileName) override;

 private:
  void SetNames();
};
