// The application object in process: the settings file's name, a missing
// language file, the time of the last exit over two runs, and settings
// written the same whatever the process locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/frame/mainframe.h"
#include "app/program/brimlowapp.h"
#include "core/base/globalconfig.h"
#include "platform/chooser.h"
#include "tests/app/frame/framerig.h"
#include "tests/support/filefaults.h"
#include "tools/pbxsim/pbxsim.h"

namespace fs = std::filesystem;
using testsupport::FileBytes;
using testsupport::PutFile;

namespace {

TEST(AppSettingsPath, FolderNameAndIniWhateverTheFolderHolds) {
  struct Case {
    const char* program;
    const char* settings;
  };
  const Case cases[] = {
      {"/opt/palomir/brimlow", "/opt/palomir/brimlow.ini"},
      {"/opt/HLPtools/brimlow", "/opt/HLPtools/brimlow.ini"},
      {"/srv/xHLP/HLP.d/brimlow", "/srv/xHLP/HLP.d/brimlow.ini"},
      {"/home/u/bin/palomir.HLP", "/home/u/bin/palomir.ini"},
      {"/home/u/bin/brimlow.bin", "/home/u/bin/brimlow.ini"},
      {"/a.b/brimlow", "/a.b/brimlow.ini"},
  };
  for (const Case& c : cases) EXPECT_EQ(CBrimlowApp::SettingsPathFor(c.program), c.settings) << c.program;
}

// A program folder of its own (its name holds "HLP") with the shipped
// language file beside the program unless told otherwise.
struct AppFolder {
  viewrig::SavedGlobals globals;
  fs::path dir;
  std::string program, ini;
  explicit AppFolder(bool withLanguage = true) {
    dir = globals.dir / "HLPprog";
    fs::create_directories(dir);
    program = (dir / "brimlow").string();
    ini = (dir / "brimlow.ini").string();
    if (withLanguage) fs::create_symlink(fs::path(BRIMLOW_BINARY_DIR) / "bin" / "velt_ger.lng", dir / "velt_ger.lng");
    plat::SetTextSource(nullptr);
    GlobalConfig() = CGlobalConfig();
  }
  ~AppFolder() { plat::SetMessageBoxImpl(nullptr); }
  void Settings(const std::string& text) { PutFile(ini, text); }
  std::string Read() const { return FileBytes(ini); }
};

TEST(AppLanguage, MissingFileShowsOneBoxBuildsNothingAndEndsWith1) {
  testapp::App();
  AppFolder f(false);
  pbxsim::PbxSim sim;
  ASSERT_TRUE(sim.Start());
  ::setenv("PALOMIR_COM3", sim.SlavePath().c_str(), 1);
  f.Settings("[GLOBCONF]\r\nCPID=2\r\nLLOT=5\r\n");
  plat::ManualLoop loop;
  loop.SetWallStart(1800000000);
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  framerig::RecordingBackend tray;
  int status = -1;
  {
    CBrimlowApp app(f.program);
    app.SetTrayBackend(&tray);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_TRUE(app.LanguageFailed());
    EXPECT_EQ(app.Doc(), nullptr);
    EXPECT_EQ(app.Frame(), nullptr);
    EXPECT_EQ(app.View(), nullptr);
    loop.RunUntilIdle();
    app.DestroyWindows();
    status = app.ExitInstance();
  }
  ::unsetenv("PALOMIR_COM3");
  EXPECT_EQ(status, 1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "Language File Load Error!");
  EXPECT_EQ(boxes.shown[0].caption, "");
  EXPECT_TRUE(tray.calls.empty());
  EXPECT_TRUE(sim.Received().empty());
  EXPECT_NE(f.Read().find("LLOT=1800000000\r\n"), std::string::npos);
}

// One whole life of the application on the manual loop, its wall clock at t.
int RunOnce(AppFolder& f, std::time_t t, framerig::RecordingBackend& tray, std::string* title) {
  plat::ManualLoop loop;
  loop.SetWallStart(t);
  CBrimlowApp app(f.program);
  app.SetTrayBackend(&tray);
  EXPECT_TRUE(app.InitInstance());
  if (app.Frame() && title) *title = app.Frame()->windowTitle().toStdString();
  loop.Advance(300);
  app.DestroyWindows();
  return app.ExitInstance();
}

TEST(AppLastExit, SecondRunLeavesItsTime) {
  testapp::App();
  AppFolder f;
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  // A port that is not there: the link says so and keeps trying.
  f.Settings("[GLOBCONF]\r\nCPID=2\r\n[INTERNAL]\r\nLangFile=velt_ger.lng\r\n");
  ::setenv("PALOMIR_COM3", (f.dir / "no-such-line").c_str(), 1);
  framerig::RecordingBackend tray;
  std::string title;
  EXPECT_EQ(RunOnce(f, 1800000000, tray, &title), 0);
  EXPECT_EQ(title, "Palomir");
  EXPECT_NE(f.Read().find("LLOT=1800000000\r\n"), std::string::npos);
  ASSERT_FALSE(tray.calls.empty());
  EXPECT_EQ(tray.calls.front().op, "add");
  EXPECT_EQ(tray.calls.back().op, "delete");

  GlobalConfig() = CGlobalConfig();
  EXPECT_EQ(RunOnce(f, 1800003600, tray, nullptr), 0);
  const std::string after = f.Read();
  EXPECT_NE(after.find("LLOT=1800003600\r\n"), std::string::npos);
  EXPECT_EQ(after.find("LLOT=1800000000"), std::string::npos);
  ::unsetenv("PALOMIR_COM3");
}

TEST(AppLocale, GermanLocaleWritesTheSameSettingsBytes) {
  viewrig::SavedGlobals g;
  const std::string german = (g.dir / "de.ini").string(), plain = (g.dir / "c.ini").string();
  const std::string before = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  PutFile(german, "[GLOBCONF]\r\nPPCU=0.25\r\n[CHARGES]\r\nTaxValue=19.50\r\n");
  CGlobalConfig c;
  c.Load(german);
  EXPECT_FLOAT_EQ(c.PPCU, 0.25f);
  EXPECT_FLOAT_EQ(c.TaxValue, 19.5f);
  c.PPCU = 0.12f;
  ASSERT_TRUE(c.Save(german));
  std::setlocale(LC_ALL, "C");
  PutFile(plain, "[GLOBCONF]\r\nPPCU=0.25\r\n[CHARGES]\r\nTaxValue=19.50\r\n");
  ASSERT_TRUE(c.Save(plain));
  std::setlocale(LC_ALL, before.c_str());
  const std::string bytes = FileBytes(german);
  EXPECT_EQ(bytes, FileBytes(plain));
  EXPECT_NE(bytes.find("PPCU=0.12\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("TaxValue=19.50\r\n"), std::string::npos);
}

}  // namespace

// The shell's choosers: the colour is not used, a chosen face is shown in a
// box, a cancelled font choice shows nothing.
TEST(AppChoosers, ColourAndFontCommands) {
  testapp::App();
  AppFolder f;
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  plat::ScriptedChooser chooser;
  plat::SetChooserImpl(&chooser);
  chooser.faces = {"DejaVu Sans", ""};
  f.Settings("[GLOBCONF]\r\nCPID=2\r\n[INTERNAL]\r\nLangFile=velt_ger.lng\r\n");
  ::setenv("PALOMIR_COM3", (f.dir / "no-such-line").c_str(), 1);
  framerig::RecordingBackend tray;
  {
    plat::ManualLoop loop;
    CBrimlowApp app(f.program);
    app.SetTrayBackend(&tray);
    ASSERT_TRUE(app.InitInstance());
    loop.RunUntilIdle();
    boxes.shown.clear();
    EXPECT_TRUE(app.Frame()->Commands().Run(CBrimlowApp::ID_COLOUR));
    EXPECT_EQ(chooser.colourRuns, 1);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(app.Frame()->Commands().Run(CBrimlowApp::ID_FONT));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "DejaVu Sans");
    EXPECT_TRUE(app.Frame()->Commands().Run(CBrimlowApp::ID_FONT));
    EXPECT_EQ(chooser.fontRuns, 2);
    EXPECT_EQ(boxes.shown.size(), 1u);
    app.DestroyWindows();
    app.ExitInstance();
  }
  plat::SetChooserImpl(nullptr);
  ::unsetenv("PALOMIR_COM3");
}
