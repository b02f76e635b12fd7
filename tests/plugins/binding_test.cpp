// The plug-in binding against real libraries: the recording stand-ins of
// testplug/, a library with a few entries only, and a file that is not
// there.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/plugins/pluginbinding.h"
#include "core/wire/csta_message.h"

namespace {

const std::string kFolder = BRIMLOW_BINARY_DIR "/bin/testplugins";

// The log of a loaded stand-in, read through its own export.
std::string LogOf(const char* file) {
  void* h = dlopen((kFolder + "/" + file).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) return "<not loaded>";
  auto log = reinterpret_cast<const char* (*)()>(dlsym(h, "TestPlugInLog"));
  std::string out = log ? log() : "<no log>";
  auto clear = reinterpret_cast<void (*)()>(dlsym(h, "TestPlugInClear"));
  if (clear) clear();
  dlclose(h);
  return out;
}

bool Mapped(const char* file) {
  void* h = dlopen((kFolder + "/" + file).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

class Binding : public ::testing::Test {
 protected:
  void SetUp() override { CPlugInBinding::SetFolder(kFolder); }
  void TearDown() override { CPlugInBinding::SetFolder(""); }
};

// Every call-through on a binding whose entries are missing: 1, nothing done.
void ExpectAllFail(CPlugInBinding& b) {
  char text[DLLIFC_TEXT_SIZE] = "untouched";
  std::uint16_t major = 9, minor = 9;
  DLLIFC_ITEM item = 77;
  CSTAMessage m;
  EXPECT_EQ(b.GetVersion(&major, &minor), 1);
  EXPECT_EQ(major, 0);  // set before the call, read by callers anyway
  EXPECT_EQ(minor, 0);
  const std::vector<std::pair<const char*, int>> results = {
      {"GetName", b.GetName(text)},
      {"CSTAMessageHandlerProc", b.CSTAMessageHandlerProc(m)},
      {"Create", b.Create(1, 36, 0)},
      {"Close", b.Close()},
      {"VisualStateFunction", b.VisualStateFunction(0, 1)},
      {"LoadCountrySpecificData", b.LoadCountrySpecificData(0, 0)},
      {"GetNumberOfParams", b.GetNumberOfParams(0)},
      {"GetParamName", b.GetParamName(0, text)},
      {"SetParamAsString", b.SetParamAsString("WNDPosition", "1,2,3,4")},
      {"GetParamAsString", b.GetParamAsString("WNDPosition", text)},
      {"SetDatabaseInterface", b.SetDatabaseInterface(nullptr)},
      {"SetDeviceContentsInterface", b.SetDeviceContentsInterface(nullptr)},
      {"SetParentMessageHandlerProc", b.SetParentMessageHandlerProc(0)},
      {"AddItem", b.AddItem(0, &item, 0)},
      {"ItemGetNumberOfParams", b.ItemGetNumberOfParams(1, 0)},
      {"ItemGetParamName", b.ItemGetParamName(1, 0, text, 0)},
      {"ItemSetParamAsString", b.ItemSetParamAsString(1, "Label", "x")},
      {"ItemGetParamAsString", b.ItemGetParamAsString(1, "Label", text)},
  };
  for (auto& [name, result] : results) EXPECT_EQ(result, 1) << name;
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(item, 77);
  EXPECT_EQ(b.GetWindowId(), -1);  // Create without an entry keeps none
}

TEST(BindingNames, TableOrderCountAndLibraryPaths) {
  CPlugInBinding b;
  EXPECT_EQ(b.GetNumberOfGenericNames(), 19);
  EXPECT_STREQ(b.GetGenericName(0), "GetVersion");
  EXPECT_STREQ(b.GetGenericName(12), "SetDeviceContentsInterface");
  EXPECT_STREQ(b.GetGenericName(18), "ItemGetParamAsString");
  EXPECT_STREQ(b.GetGenericName(19), "");
  EXPECT_STREQ(b.GetGenericName(-1), "");

  CPlugInBinding::SetFolder("/opt/p");
  const std::pair<const char*, const char*> paths[] = {
      {"dorvane.dll", "/opt/p/dorvane.so"}, {"TARQUEL.DLL", "/opt/p/TARQUEL.so"},
      {"/x/y.dll", "/x/y.so"},              {"plain", "/opt/p/plain"},
      {"sub/z.so", "sub/z.so"},
  };
  for (auto& [name, path] : paths) EXPECT_EQ(CPlugInBinding::LibraryPath(name), path) << name;
  CPlugInBinding::SetFolder("");
}

TEST(BindingNames, ExportNamesAreBoundedAndUnknownGenericNamesRefused) {
  CPlugInBinding b;
  EXPECT_EQ(b.SetExportName("NoSuchEntry", "X"), 4);
  EXPECT_EQ(b.SetExportName("", "X"), 4);
  EXPECT_EQ(b.SetExportName(nullptr, "X"), 4);
  for (int i = 0; i < 20; ++i) EXPECT_STREQ(b.ExportName(i), "") << i;
  const std::string longName(100, 'q');
  EXPECT_EQ(b.SetExportName("Close", longName.c_str()), 0);
  EXPECT_EQ(std::strlen(b.ExportName(4)), 63u);
  b.Reset();
  EXPECT_STREQ(b.ExportName(4), "");

  CDisplayControlBinding d;
  EXPECT_STREQ(d.ExportName(0), "TARQAPIGetVersion");
  EXPECT_STREQ(d.ExportName(11), "");  // the interface setters are never bound
  EXPECT_STREQ(d.ExportName(12), "");
  EXPECT_STREQ(d.ExportName(18), "TARQAPIItemGetParamAsString");
  CConnectionViewerBinding v;
  EXPECT_EQ(v.Kind(), 3);
  EXPECT_STREQ(v.ExportName(0), "");  // its Load names them
}

TEST_F(Binding, MissingLibraryFailsSoftlyEverywhere) {
  CConnectionViewerBinding v;
  EXPECT_EQ(v.Load("nothere.dll"), 1);
  EXPECT_FALSE(v.IsLoaded());
  EXPECT_EQ(v.Load(nullptr), 1);
  EXPECT_EQ(v.Unload(), 1);
  ExpectAllFail(v);
  CDisplayControlBinding d;
  EXPECT_EQ(d.Load("nothere.dll"), 1);
  ExpectAllFail(d);
}

TEST_F(Binding, ViewerBindsItsThirteenEntriesOnlyAndPassesArgumentsThrough) {
  CConnectionViewerBinding v;
  ASSERT_EQ(v.Load("dorvane.dll"), 0);
  EXPECT_EQ(v.Load(nullptr), 0);
  EXPECT_STREQ(v.LibraryName(), "dorvane.dll");  // as given, not the mapped path
  for (int i = 0; i < 19; ++i) EXPECT_EQ(v.IsBound(i), i <= 12) << v.GetGenericName(i);

  std::uint16_t major = 0, minor = 0;
  EXPECT_EQ(v.GetVersion(&major, &minor), 0);  // the entry's own 5 is dropped
  EXPECT_EQ(major, 3);
  EXPECT_EQ(minor, 7);
  char text[DLLIFC_TEXT_SIZE] = "";
  EXPECT_EQ(v.GetName(text), 0);
  EXPECT_STREQ(text, "recorder GenDLLIFC");
  EXPECT_EQ(v.Create(5, 36, 0), 0);
  EXPECT_EQ(v.GetWindowId(), 36);
  CSTAMessage m;
  m.SetType(57);
  v.OnMessage(m);  // the filter's listener operation
  EXPECT_EQ(v.LoadCountrySpecificData(2, 3), 0);
  EXPECT_EQ(v.SetParamAsString("WNDPosition", "1,2,3,4"), 0);
  EXPECT_EQ(v.GetParamAsString("WNDPosition", text), 0);
  EXPECT_STREQ(text, "1,2,3,4");
  DLLIFC_ITEM item = 5;
  EXPECT_EQ(v.AddItem(0, &item, 9), 1);  // exported, but not one of its 13
  EXPECT_EQ(item, 5);
  EXPECT_EQ(v.Close(), 0);
  EXPECT_EQ(v.GetWindowId(), -1);
  EXPECT_EQ(LogOf("dorvane.so"),
            "GetVersion;GetName;Create(1,36,0);CSTAMessageHandlerProc(57);LoadCountrySpecificData(2,3);"
            "SetParamAsString(WNDPosition=1,2,3,4);GetParamAsString(WNDPosition);Close;");
}

TEST_F(Binding, DisplayControlNeverBindsTheInterfaceSettersItExports) {
  CDisplayControlBinding d;
  ASSERT_EQ(d.Load("tarquel.dll"), 0);
  EXPECT_FALSE(d.IsBound(11));
  EXPECT_FALSE(d.IsBound(12));
  for (int i : {0, 1, 2, 3, 4, 5, 13, 14, 15, 16, 17, 18}) EXPECT_TRUE(d.IsBound(i)) << i;
  EXPECT_EQ(d.SetDatabaseInterface(nullptr), 1);
  DLLIFC_ITEM item = -1;
  EXPECT_EQ(d.AddItem(0, &item, 1234), 0);
  EXPECT_EQ(item, 42);
  EXPECT_EQ(d.ItemSetParamAsString(item, "Label", "21"), 0);
  EXPECT_EQ(d.SetParentMessageHandlerProc(8), 0);
  EXPECT_EQ(LogOf("tarquel.so"), "AddItem(0,1234);ItemSetParamAsString(42,Label=21);SetParentMessageHandlerProc(8);");
  // Its Unload resets, and a new Load names the entries again.
  EXPECT_EQ(d.Unload(), 0);
  EXPECT_STREQ(d.ExportName(0), "");
  ASSERT_EQ(d.Load("tarquel.dll"), 0);
  EXPECT_TRUE(d.IsBound(14));
  EXPECT_FALSE(d.IsBound(11));
}

TEST_F(Binding, MissingEntriesOfASubsetAnswerOne) {
  CConnectionViewerBinding v;
  ASSERT_EQ(v.Load("subset.so"), 0);
  char text[DLLIFC_TEXT_SIZE] = "";
  EXPECT_EQ(v.GetName(text), 0);
  EXPECT_EQ(v.VisualStateFunction(767, 1), 0);
  // Close without an entry keeps the window id it had.
  EXPECT_EQ(v.Create(1, 36, 0), 0);
  EXPECT_EQ(v.Close(), 1);
  EXPECT_EQ(v.GetWindowId(), 36);
  std::uint16_t major = 4, minor = 4;
  EXPECT_EQ(v.GetVersion(&major, &minor), 1);
  EXPECT_EQ(major, 0);
  EXPECT_EQ(v.GetParamName(0, text), 1);
  EXPECT_EQ(v.GetParamAsString("WNDPosition", text), 1);
  EXPECT_EQ(LogOf("subset.so"), "GetName;VisualStateFunction(767,1);Create(1,36,0);");
}

TEST_F(Binding, UnloadUnmapsAndLeavesNoEntryBehind) {
  CConnectionViewerBinding v;
  ASSERT_EQ(v.Load("dorvane.dll"), 0);
  ASSERT_TRUE(Mapped("dorvane.so"));
  // A second Load lets go of the first library.
  ASSERT_EQ(v.Load("subset.so"), 0);
  EXPECT_FALSE(Mapped("dorvane.so"));
  EXPECT_FALSE(v.IsBound(0));
  EXPECT_EQ(v.Unload(), 0);
  EXPECT_FALSE(Mapped("subset.so"));
  for (int i = 0; i < 19; ++i) EXPECT_FALSE(v.IsBound(i)) << i;
  ExpectAllFail(v);
  EXPECT_EQ(v.Unload(), 1);

  for (int round = 0; round < 100; ++round) {
    ASSERT_EQ(v.Load("dorvane.dll"), 0) << round;
    char text[DLLIFC_TEXT_SIZE] = "";
    ASSERT_EQ(v.GetName(text), 0);
    ASSERT_EQ(v.Unload(), 0);
  }
  EXPECT_FALSE(Mapped("dorvane.so"));
  {
    CDisplayControlBinding d;
    ASSERT_EQ(d.Load("tarquel.dll"), 0);
  }  // the destructor unloads
  EXPECT_FALSE(Mapped("tarquel.so"));
}

}  // namespace

// A plug-in that fills the whole text buffer without an end: the host's
// copy still ends inside the 128 bytes it handed over.
TEST_F(Binding, TextsOfAPlugInEndInsideTheBuffer) {
  CConnectionViewerBinding v;
  ASSERT_EQ(v.Load("dorvane.dll"), 0);
  void* h = dlopen(CPlugInBinding::LibraryPath("dorvane.dll").c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(h, nullptr);
  auto set = reinterpret_cast<void (*)(const char*, int)>(dlsym(h, "TestPlugInSet"));
  set("unterminated", 1);
  struct Guarded {
    char text[DLLIFC_TEXT_SIZE];
    char after[16];
  };
  const std::function<int(char*)> calls[] = {
      [&](char* t) { return v.GetName(t); },
      [&](char* t) { return v.GetParamName(0, t); },
      [&](char* t) { return v.GetParamAsString(DLLIFC_PARAM_WNDPOSITION, t); },
  };
  for (std::size_t i = 0; i < std::size(calls); ++i) {
    Guarded g;
    std::memset(&g, 'x', sizeof g);
    calls[i](g.text);
    EXPECT_EQ(strnlen(g.text, sizeof g), DLLIFC_TEXT_SIZE - 1u) << i;
  }
  set("unterminated", 0);
  dlclose(h);
}
