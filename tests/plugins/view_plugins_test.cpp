// The view's plug-in steps: with recording stand-ins for the order of its
// calls, and with the real connection viewer for its window position.
#include <QApplication>
#include <QDialog>
#include <QTreeWidget>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/plugins/records.h"

using V = CBrimlowView;

namespace {

const std::string kStandIns = BRIMLOW_BINARY_DIR "/bin/testplugins";

void* StandIn(const char* file) { return dlopen((kStandIns + "/" + file).c_str(), RTLD_NOW | RTLD_NOLOAD); }

std::string LogOf(const char* file) {
  void* h = StandIn(file);
  if (!h) return "<not loaded>";
  std::string out = reinterpret_cast<const char* (*)()>(dlsym(h, "TestPlugInLog"))();
  reinterpret_cast<void (*)()>(dlsym(h, "TestPlugInClear"))();
  dlclose(h);
  return out;
}

void SetStandIn(const char* file, const char* key, int value) {
  void* h = StandIn(file);
  ASSERT_NE(h, nullptr);
  reinterpret_cast<void (*)(const char*, int)>(dlsym(h, "TestPlugInSet"))(key, value);
  dlclose(h);
}

struct Menu : IViewMenu {
  std::vector<plat::UINT> removed;
  std::vector<std::pair<plat::UINT, std::string>> named;
  void RemoveCommand(plat::UINT id) override { removed.push_back(id); }
  void SetCommandText(plat::UINT id, const std::string& t) override { named.emplace_back(id, t); }
};

// Sees what the filter hands on, after whoever registered before it.
struct Later : CSTAMessageListener {
  std::vector<std::string> viewerLogAtCall;
  void OnMessage(const CSTAMessage&) override {
    void* h = StandIn("dorvane.so");
    viewerLogAtCall.push_back(h ? reinterpret_cast<const char* (*)()>(dlsym(h, "TestPlugInLog"))() : "");
    if (h) dlclose(h);
  }
};

TEST(ViewPlugIns, InitialUpdateCallsInOrderAndFeedsTheViewer) {
  viewrig::Rig r;
  CPlugInBinding::SetFolder(kStandIns);
  GlobalConfig().SetWindowPosition(6, 11, 22, 33, 44);
  r.Start();
  // The document's phone book is handed on.
  EXPECT_EQ(LogOf("dorvane.so"),
            "GetParamName(0);Create(1,36,0);SetParamAsString(WNDPosition=11,22,33,44);SetDatabaseInterface(1);"
            "SetDeviceContentsInterface(1);VisualStateFunction(0,1);");
  EXPECT_EQ(LogOf("tarquel.so"),
            "Create(1,37,0);SetParamAsString(Fkt1.Message=1095);SetParamAsString(Fkt2.Message=1096);"
            "SetParamAsString(Fkt3.Message=1097);SetParamAsString(Fkt4.Message=1098);"
            "SetParamAsString(GenFkt1.Message=1100);SetParamAsString(GenFkt1.Description=Summen auslesen);"
            "SetParamAsString(GenFkt2.Message=1101);SetParamAsString(GenFkt2.Description=Summen l\xf6schen);"
            "SetParamAsString(GenFkt3.Message=1102);"
            "SetParamAsString(GenFkt3.Description=Einzelgespr\xe4" "che auslesen);"
            "SetParamAsString(GenFkt4.Message=1103);"
            "SetParamAsString(GenFkt4.Description=Einzelgespr\xe4" "che l\xf6schen);");
  EXPECT_EQ(r.view->Viewer().GetCommandId(), 32815u);
  EXPECT_EQ(r.view->DisplayControl().GetCommandId(), 32816u);
  EXPECT_EQ(r.view->Viewer().GetWindowId(), 36);

  // The viewer's listener comes before any registered after the start.
  Later later;
  r.doc->Filter().RegisterListener(&later, nullptr, -1);
  CSTAMessage m = testrec::Delivered(501, "21", "0301", "21");
  r.doc->Filter().MessageSink()->ProcessMessage(&m);
  ASSERT_EQ(later.viewerLogAtCall.size(), 1u);
  EXPECT_EQ(later.viewerLogAtCall[0], "CSTAMessageHandlerProc(57);");
  r.doc->Filter().RemoveListener(&later);
  LogOf("dorvane.so");

  // Menu, tray and commands.
  Menu menu;
  r.view->UpdateMenu(menu);
  EXPECT_EQ(menu.named, (std::vector<std::pair<plat::UINT, std::string>>{{32815, "recorder GenDLLIFC"},
                                                                          {32816, "recorder TARQAPI"}}));
  EXPECT_EQ(std::count(menu.removed.begin(), menu.removed.end(), 32815u), 0);
  const std::vector<TrayMenuEntry> tray = r.view->TrayMenu();
  ASSERT_EQ(tray.size(), 7u);
  EXPECT_EQ(tray[3].command, 32815u);
  EXPECT_EQ(tray[3].text, "recorder GenDLLIFC");
  EXPECT_EQ(tray[4].command, 32816u);
  EXPECT_EQ(tray[5].command, 0u);
  EXPECT_EQ(tray[6].command, 57665u);
  LogOf("dorvane.so");
  LogOf("tarquel.so");
  EXPECT_TRUE(r.view->IsCommandEnabled(32815));
  EXPECT_TRUE(r.view->RunCommand(32815));
  EXPECT_TRUE(r.view->RunCommand(32816));
  EXPECT_EQ(LogOf("dorvane.so"), "VisualStateFunction(767,1);");
  EXPECT_EQ(LogOf("tarquel.so"), "VisualStateFunction(768,1);VisualStateFunction(767,1);");
  r.view->ShowStep(0);
  r.view->ShowStep(1);
  EXPECT_EQ(LogOf("dorvane.so"), "VisualStateFunction(511,0);VisualStateFunction(511,1);");

  // The end: position read and kept, no more messages, both closed.
  r.view->Viewer().SetParamAsString("WNDPosition", "5,6,7,8");
  LogOf("dorvane.so");
  r.view->Destroy();
  EXPECT_EQ(LogOf("dorvane.so"), "GetParamName(0);GetParamAsString(WNDPosition);Close;");
  EXPECT_EQ(LogOf("tarquel.so"), "Close;");
  int left = 0, top = 0, right = 0, bottom = 0;
  GlobalConfig().GetWindowPosition(6, left, top, right, bottom);
  EXPECT_EQ((std::vector<int>{left, top, right, bottom}), (std::vector<int>{5, 6, 7, 8}));
  r.doc->Filter().MessageSink()->ProcessMessage(&m);
  EXPECT_EQ(LogOf("dorvane.so"), "");
  r.view.reset();
  CPlugInBinding::SetFolder("");
}

// Both stand-ins report into one record with the view's own steps; around
// the viewer's last set-up calls the filter is asked to hand on a record,
// which shows when the viewer's listener joined.
struct Interleaved {
  static inline std::vector<std::string>* order = nullptr;
  static inline CMessageFilter* filter = nullptr;
  static void Sink(const char* prefix, const char* call) {
    const bool viewer = std::strcmp(prefix, "GenDLLIFC") == 0;
    order->push_back(std::string(viewer ? "viewer." : "display.") + call);
    const bool around = std::strcmp(call, "SetDeviceContentsInterface(1)") == 0 ||
                        std::strcmp(call, "VisualStateFunction(0,1)") == 0;
    if (viewer && around && filter) {
      const CSTAMessage m = testrec::Delivered(501, "21", "0301", "21");
      filter->NotifyListeners(m);
    }
  }
  void* handles[2] = {};
  Interleaved() {
    const char* files[2] = {"dorvane.so", "tarquel.so"};
    for (int i = 0; i < 2; ++i) {
      handles[i] = dlopen((kStandIns + "/" + files[i]).c_str(), RTLD_NOW | RTLD_LOCAL);
      if (!handles[i]) continue;
      reinterpret_cast<void (*)()>(dlsym(handles[i], "TestPlugInClear"))();
      reinterpret_cast<void (*)(void (*)(const char*, const char*))>(dlsym(handles[i], "TestPlugInSetSink"))(&Sink);
    }
  }
  ~Interleaved() {
    for (void* h : handles) {
      if (!h) continue;
      reinterpret_cast<void (*)(void (*)(const char*, const char*))>(dlsym(h, "TestPlugInSetSink"))(nullptr);
      dlclose(h);
    }
    order = nullptr;
    filter = nullptr;
  }
};

TEST(ViewPlugIns, InitialUpdateStepsInterleaveInTheirOrder) {
  viewrig::Rig r;
  CPlugInBinding::SetFolder(kStandIns);
  GlobalConfig().SetWindowPosition(6, 11, 22, 33, 44);
  Interleaved record;
  ASSERT_NE(record.handles[0], nullptr);
  ASSERT_NE(record.handles[1], nullptr);
  r.Build();
  Interleaved::order = &r.order;
  Interleaved::filter = &r.doc->Filter();
  ASSERT_TRUE(r.view->Create());
  const std::size_t mark = r.Mark();
  r.view->OnInitialUpdate();
  std::vector<std::string> steps = r.Since(mark);
  // The display control's parameters are checked one by one above.
  const auto params = std::remove_if(steps.begin(), steps.end(),
                                     [](const std::string& s) { return s.rfind("display.SetParamAsString(", 0) == 0; });
  EXPECT_EQ(params - steps.begin() + 12, static_cast<long>(steps.size()));
  steps.erase(params, steps.end());
  EXPECT_EQ(steps, (std::vector<std::string>{
                       "tray.owner", "tray.add",
                       "viewer.GetParamName(0)", "viewer.Create(1,36,0)",
                       "viewer.SetParamAsString(WNDPosition=11,22,33,44)", "viewer.SetDatabaseInterface(1)",
                       "viewer.SetDeviceContentsInterface(1)",
                       // registered here: the record asked for now reaches it
                       "viewer.VisualStateFunction(0,1)", "viewer.CSTAMessageHandlerProc(57)",
                       "display.Create(1,37,0)",
                       "link.open", "link.owner", "frame.layout"}));
  r.view.reset();
}

// The filter hands each record to the viewer first and then to the charge
// counters, whose answer to a ringing extension is its tile's state mark.
TEST(ViewPlugIns, TheViewerHearsEachRecordBeforeTheChargeCounters) {
  viewrig::Rig r;
  CPlugInBinding::SetFolder(kStandIns);
  const auto montab = r.globals.dir / "montab.ini";
  std::ofstream(montab) << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n"
                           "[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\nNAME=Empfang\r\n";
  GlobalConfig().SDFN = montab.string();
  GlobalConfig().ChargesActive = 1;
  GlobalConfig().ChargesCfgFile = (r.globals.dir / "sumcharge.ini").string();
  Interleaved record;
  ASSERT_NE(record.handles[0], nullptr);
  Interleaved::order = &r.order;
  r.Start();
  const std::size_t mark = r.Mark();
  const struct {
    CSTAMessage m;
    std::vector<std::string> heard;
  } cases[] = {
      {testrec::Delivered(501, "21", "0301", "21"),
       {"viewer.CSTAMessageHandlerProc(57)", "display.ItemSetParamAsString(42,State1=1)"}},
      // The end of the call: the counters ask the PBX for the extension's
      // units, a request the viewer hears as well.
      {testrec::Event(56, 501, "21"),
       {"viewer.CSTAMessageHandlerProc(56)", "display.ItemSetParamAsString(42,State1=0)",
        "viewer.CSTAMessageHandlerProc(93)"}},
  };
  std::size_t from = mark;
  for (const auto& c : cases) {
    r.doc->Filter().NotifyListeners(c.m);
    EXPECT_EQ(r.Since(from), c.heard);
    from = r.Mark();
  }
  r.view.reset();
}

TEST(ViewPlugIns, AFailedPositionReadKeepsTheStoredPosition) {
  const std::pair<const char*, const char*> answers[] = {{"fails, junk in the buffer", nullptr},
                                                         {"three numbers only", "1,2,3"},
                                                         {"no numbers", "x"}};
  for (const auto& [what, text] : answers) {
    viewrig::Rig r;
    CPlugInBinding::SetFolder(kStandIns);
    GlobalConfig().SetWindowPosition(6, 11, 22, 33, 44);
    r.Start();
    if (text) r.view->Viewer().SetParamAsString("WNDPosition", text);
    else SetStandIn("dorvane.so", "failGetParam", 1);
    r.view.reset();  // unloads the stand-in, and its switch with it
    int left = 0, top = 0, right = 0, bottom = 0;
    GlobalConfig().GetWindowPosition(6, left, top, right, bottom);
    EXPECT_EQ((std::vector<int>{left, top, right, bottom}), (std::vector<int>{11, 22, 33, 44})) << what;
    CPlugInBinding::SetFolder("");
  }
}

// A viewer that cannot name its position parameter is handed no position
// under whatever its buffer holds.
TEST(ViewPlugIns, NoPositionWithoutTheParametersName) {
  ::setenv("TESTPLUG_FAIL_PARAM_NAME", "1", 1);
  {
    viewrig::Rig r;
    CPlugInBinding::SetFolder(kStandIns);
    GlobalConfig().SetWindowPosition(6, 11, 22, 33, 44);
    r.Start();
    const std::string log = LogOf("dorvane.so");
    EXPECT_NE(log.find("GetParamName(0);Create(1,36,0);"), std::string::npos) << log;
    EXPECT_EQ(log.find("SetParamAsString"), std::string::npos) << log;
    CPlugInBinding::SetFolder("");
  }
  ::unsetenv("TESTPLUG_FAIL_PARAM_NAME");
}

// A library that is not there, or not a library, is named in the log with
// the loader's reason, and the program runs on without it.
TEST(ViewPlugIns, APlugInThatCannotBeLoadedIsLoggedAndLeftOut) {
  const struct {
    const char* what;
    const char* bytes;  // nullptr: no file
    const char* reason;
  } cases[] = {{"missing", nullptr, "No such file"}, {"not a library", "MZ\x90 not an ELF file", "invalid ELF header"}};
  for (const auto& c : cases) {
    viewrig::Rig r;
    r.quiet = false;  // keep the start's log
    for (const char* file : {"dorvane.so", "tarquel.so"})
      if (c.bytes) std::ofstream(r.globals.dir / file, std::ios::binary) << c.bytes << std::string(1024, 'x');
    r.Start();
    EXPECT_FALSE(r.view->Viewer().IsLoaded()) << c.what;
    EXPECT_FALSE(r.view->DisplayControl().IsLoaded()) << c.what;
    for (const char* name : {"dorvane", "tarquel"}) {
      const std::string head = std::string("plug-in ") + name + ".dll not loaded: ";
      std::string line;
      for (const std::string& l : r.globals.Log())
        if (l.find(head) != std::string::npos) line = l;
      ASSERT_FALSE(line.empty()) << c.what << " " << name;
      EXPECT_NE(line.find((r.globals.dir / (std::string(name) + ".so")).string()), std::string::npos) << line;
      EXPECT_NE(line.find(c.reason), std::string::npos) << line;
    }
    EXPECT_EQ(r.fake->opens, 1) << c.what;  // the link still opens
    EXPECT_TRUE(r.boxes.shown.empty()) << c.what;
  }
}

TEST(ViewPlugIns, WithoutPlugInsTheCallsFailAndTheEntriesGo) {
  viewrig::Rig r;  // its folder holds no plug-in
  r.Start();
  EXPECT_FALSE(r.view->Viewer().IsLoaded());
  EXPECT_FALSE(r.view->IsCommandEnabled(32815));
  EXPECT_FALSE(r.view->IsCommandEnabled(32816));
  EXPECT_EQ(r.view->TrayMenu().size(), 5u);
  Menu menu;
  r.view->UpdateMenu(menu);
  EXPECT_TRUE(menu.named.empty());
  GlobalConfig().SetWindowPosition(6, 1, 2, 3, 4);
  r.view.reset();
  int left = 0, top = 0, right = 0, bottom = 0;
  GlobalConfig().GetWindowPosition(6, left, top, right, bottom);
  EXPECT_EQ(left, 1);
}

// The real viewer: where it was moved is where the next start shows it.
TEST(ViewPlugIns, TheViewersPositionSurvivesARestart) {
  testapp::App();
  auto window = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QStringLiteral("dialog129")) return w;
    return static_cast<QWidget*>(nullptr);
  };
  QPoint moved;
  {
    viewrig::Rig r;
    CPlugInBinding::SetFolder("");  // the program's folder: the real one
    GlobalConfig().SetWindowPosition(6, 100, 200, 400, 700);
    r.Start();
    ASSERT_TRUE(r.view->Viewer().IsLoaded());
    QWidget* w = window();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(200, 100));
    EXPECT_FALSE(w->isVisible());  // hidden until asked for
    r.view->RunCommand(32815);
    EXPECT_TRUE(w->isVisible());
    w->move(321, 123);
    QApplication::processEvents();
    moved = w->pos();
    r.view.reset();
    EXPECT_EQ(window(), nullptr);
    int left = 0, top = 0, right = 0, bottom = 0;
    GlobalConfig().GetWindowPosition(6, left, top, right, bottom);
    EXPECT_EQ(left, 123);  // the text's order: top, left, bottom, right
    EXPECT_EQ(top, 321);
    // A restart in the same run, from the position the end stored.
    viewrig::Rig again;
    CPlugInBinding::SetFolder("");
    GlobalConfig().SetWindowPosition(6, left, top, right, bottom);
    again.Start();
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->pos(), moved);
    again.view.reset();
  }
}

}  // namespace
