// The plug-in as the program gets it: the module beside the program, with
// exactly the 17 entries of its prefix and nothing else exported.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "plugins/dllifc.h"

namespace {

const std::string kModule = BRIMLOW_BINARY_DIR "/bin/tarquel.so";

const char* const kEntries[] = {
    "GetVersion", "GetName", "CSTAMessageHandlerProc", "Create", "Close", "VisualStateFunction",
    "LoadCountrySpecificData", "GetNumberOfParams", "GetParamName", "SetParamAsString", "GetParamAsString",
    "SetParentMessageHandlerProc", "AddItem", "ItemGetNumberOfParams", "ItemGetParamName", "ItemSetParamAsString",
    "ItemGetParamAsString"};

TEST(TarquelModule, ExportsExactlyItsSeventeenEntries) {
  void* h = dlopen(kModule.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(h, nullptr) << dlerror();
  for (const char* e : kEntries) EXPECT_NE(dlsym(h, (std::string("TARQAPI") + e).c_str()), nullptr) << e;
  EXPECT_EQ(dlsym(h, "TARQAPISetDatabaseInterface"), nullptr);
  EXPECT_EQ(dlsym(h, "TARQAPISetDeviceContentsInterface"), nullptr);
  for (const char* e : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer"}) EXPECT_EQ(dlsym(h, e), nullptr) << e;

  auto getName = reinterpret_cast<DLLIFC_GetName>(dlsym(h, "TARQAPIGetName"));
  ASSERT_NE(getName, nullptr);
  char text[DLLIFC_TEXT_SIZE] = {};
  EXPECT_EQ(getName(text), 0);
  EXPECT_STREQ(text, "tarquel 1.0");
  dlclose(h);

  // Nothing but those in the dynamic symbol table's defined functions.
  FILE* nm = popen(("nm -D --defined-only " + kModule + " 2>/dev/null").c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> defined;
  char line[512];
  while (std::fgets(line, sizeof line, nm)) {
    char type = 0;
    char name[400] = {};
    if (std::sscanf(line, "%*s %c %399s", &type, name) == 2 && (type == 'T' || type == 'W' || type == 'D' || type == 'B'))
      defined.insert(name);
  }
  const int status = pclose(nm);
  if (status != 0 && defined.empty()) GTEST_SKIP() << "no nm here";
  std::set<std::string> want;
  for (const char* e : kEntries) want.insert(std::string("TARQAPI") + e);
  EXPECT_EQ(defined, want);
}

}  // namespace
