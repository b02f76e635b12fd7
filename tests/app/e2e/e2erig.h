// The program assembled in process exactly as brimlow builds it (the
// application object with its document, frame, view and call windows) on
// Qt's loop offscreen, against the simulated PBX over a pseudo-terminal.
// Widgets are found by control id; boxes answer by their text; modal
// dialogs run from a script.
#pragma once
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QWidget>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/callwin/assistantdlg.h"
#include "app/callwin/dialdlg.h"
#include "app/doc/brimlowdoc.h"
#include "app/frame/mainframe.h"
#include "app/program/brimlowapp.h"
#include "app/view/brimlowview.h"
#include "core/base/globalconfig.h"
#include "core/wire/csta_message.h"
#include "core/wire/csta_requests.h"
#include "phonebook/database.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/app/frame/framerig.h"
#include "tests/platform/dialogkit/testapp.h"
#include "tests/support/filefaults.h"
#include "tools/pbxsim/pbxsim.h"

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// A picture of a window in the build folder's "shots", to look at by eye.
inline void Shot(QWidget* w, const std::string& name) {
  if (!w) return;
  const auto dir = fs::path(BRIMLOW_BINARY_DIR) / "shots";
  fs::create_directories(dir);
  w->grab().save(QString::fromStdString((dir / (name + ".png")).string()));
}

// Boxes answered by a rule on their text; every box is kept.
class AnsweringBoxes : public plat::IMessageBox {
 public:
  struct Shown {
    std::string text;
    plat::UINT flags;
  };
  int Show(plat::WindowId, const std::string& text, const std::string&, plat::UINT flags) override {
    shown.push_back({text, flags});
    for (const auto& [needle, answer] : rules)
      if (!needle.empty() && text.find(needle) != std::string::npos) return answer;
    return fallback;
  }
  bool Saw(const std::string& needle) const {
    for (const Shown& s : shown)
      if (s.text.find(needle) != std::string::npos) return true;
    return false;
  }
  std::vector<std::pair<std::string, int>> rules;
  int fallback = plat::IDNO;
  std::vector<Shown> shown;
};

// The texts of the shipped language file, once the program has opened it.
inline std::string Text(int group, int entry) { return plat::GetTextOr(plat::TextId(group, entry), ""); }

// The watched extensions 21 (the main phone), 22 and 23.
inline const char* kMonTab =
    "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n"
    "[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\nNAME=Nebenstelle 21\r\n"
    "[MONTAB-22]\r\nINTNUMBER=22\r\nMONON=1\r\nMONSTAT=2\r\nNAME=Nebenstelle 22\r\n"
    "[MONTAB-23]\r\nINTNUMBER=23\r\nMONON=1\r\nMONSTAT=2\r\nNAME=Nebenstelle 23\r\n";

class Program {
 public:
  explicit Program(pbxsim::Options options = {}) : sim(std::move(options)) {
    testapp::App();
    static int n = 0;
    root = fs::temp_directory_path() / ("e2e_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::create_directories(root / "home");
    fs::create_symlink(fs::path(BRIMLOW_BINARY_DIR) / "bin" / "velt_ger.lng", root / "bin" / "velt_ger.lng");
    program = (root / "bin" / "brimlow").string();
    sdfn = (root / "home" / "montab.ini").string();
    cblfn = (root / "home" / "cblist.ini").string();
    dnfn = (root / "home" / "book.db").string();
    testsupport::PutFile(sdfn, kMonTab);
  }
  ~Program() {
    Close();
    plat::SetMessageBoxImpl(nullptr);
    sim.Stop();
    ::unsetenv("PALOMIR_COM3");
    GlobalConfig() = CGlobalConfig();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  std::string Ini() const { return (root / "bin" / "brimlow.ini").string(); }

  // Starts the PBX and the program with GLOBCONF's extra lines; true once
  // every extension is watched and the job is free.
  bool Start(const std::string& globconf = std::string()) {
    if (!sim.Start()) return false;
    ::setenv("PALOMIR_COM3", sim.SlavePath().c_str(), 1);
    testsupport::PutFile(Ini(), "[GLOBCONF]\r\nCPID=2\r\nSDFN=" + sdfn + "\r\nCBLFN=" + cblfn + "\r\nDNFN=" + dnfn +
                                    "\r\nGLO=1\r\nGLFN=" + (root / "home" / "program.log").string() +
                                    "\r\nGDOH=1\r\nMCTO=5\r\n" + globconf);
    GlobalConfig() = CGlobalConfig();
    plat::SetMessageBoxImpl(&boxes);
    loop = std::make_unique<plat::QtEventLoop>();
    app = std::make_unique<CBrimlowApp>(program);
    app->SetTrayBackend(&tray);
    if (!app->InitInstance()) return false;
    return Pump([&] { return Watched() == 3 && Doc().Filter().JobState() == jobstate::kFree; }, 15000);
  }

  // Runs Qt's loop until pred holds or the time is up.
  bool Pump(const std::function<bool()>& pred, int timeoutMs = 5000) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QCoreApplication::processEvents();
    return pred();
  }
  void Idle(int ms) {
    Pump([] { return false; }, ms);
  }

  // The exit command as the user gives it; true once the main window
  // accepted its close (the link stopped). The program is then taken
  // apart and its settings saved, as after its main loop.
  bool Exit(int timeoutMs = 8000) {
    if (!app) return false;
    app->Frame()->RunCommand(CBrimlowApp::ID_APP_EXIT);
    const bool closed = Pump([&] { return !app->Frame()->isVisible(); }, timeoutMs);
    Close();
    return closed;
  }
  int exitStatus = -1;

  CBrimlowDoc& Doc() { return *app->Doc(); }
  CBrimlowView& View() { return *app->View(); }
  CAssistantDlg* Assistant() { return dynamic_cast<CAssistantDlg*>(View().Window(CBrimlowView::kAssistant)); }
  CDialDlg* Keypad() { return dynamic_cast<CDialDlg*>(View().Window(CBrimlowView::kKeypad)); }
  plat::Dialog* Question() { return dynamic_cast<plat::Dialog*>(View().Window(CBrimlowView::kQuestion)); }

  int Watched() const {
    int n = 0;
    for (const std::string& d : sim.Monitored()) n += d == "21" || d == "22" || d == "23";
    return n;
  }
  // The numbers the program asked the PBX to call, in order.
  std::vector<std::string> MadeCalls() const {
    std::vector<std::string> out;
    for (const CSTAMessage& m : sim.Received())
      if (m.Type() == CSTA_MAKE_CALL) out.push_back(m.Text(csta_req::kMakeCallCalledAt, CSTAMessage::kNumberWidth));
    return out;
  }
  bool MadeCallTo(const std::string& number, int timeoutMs = 3000) {
    return Pump([&] {
      for (const std::string& n : MadeCalls())
        if (n == number) return true;
      return false;
    }, timeoutMs);
  }
  // The PBX's call with the main phone, the newest.
  std::uint32_t LastCall() const { return sim.LastCallId(); }

  pbxsim::PbxSim sim;
  AnsweringBoxes boxes;
  framerig::RecordingBackend tray;
  fs::path root;
  std::string program, sdfn, cblfn, dnfn;
  std::unique_ptr<plat::QtEventLoop> loop;
  std::unique_ptr<CBrimlowApp> app;

 private:
  void Close() {
    if (!app) return;
    app->DestroyWindows();
    exitStatus = app->ExitInstance();
    app.reset();
    loop.reset();
  }
};

// The phone book file the program opens, with one record; true when
// stored. The file is closed again before the program starts.
inline bool PutRecord(const std::string& file, const std::string& company, const std::string& name,
                      const std::string& number) {
  CMyDataBase db;
  if (db.Open(file) == 0) return false;
  CMyDataBaseItem* e = db.GetEmptyItem(-1);
  e->SetFieldText(PBF_COMPANY, company);
  e->SetFieldText(PBF_NAME, name);
  e->SetFieldText(PBF_NUMBER, number);
  e->NormaliseNumber();
  const bool ok = db.SaveItem(e, -1) != 0 && db.Flush() != 0;
  db.Close();
  return ok;
}

// Records of the phone book file whose number is number.
inline int RecordsWithNumber(const std::string& file, const std::string& number) {
  CMyDataBase db;
  if (db.Open(file) == 0) return -1;
  const int found = static_cast<int>(db.IndexLookup(number).size());
  db.Close();
  return found;
}

// A control of a dialog, pressed as the user clicks it.
inline bool Click(plat::Dialog* d, int id) { return d && d->UserPress(id); }

}  // namespace e2e
