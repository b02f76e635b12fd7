// The program's application object: prepares the process (settings file,
// help ids, texts), builds the document, the main frame, the notification
// icon and the view, and at exit stores the time, saves the settings and
// closes the text session. The command line is not read; the 3-D controls,
// the recent-file list and dropped files have no counterpart here.
#pragma once
#include <memory>
#include <string>

#include "libs/texts/veskoapi.h"
#include "platform/win32types.h"

class CBrimlowDoc;
class CBrimlowView;
class CMainFrame;
class CTestControl;
class CTrayIcon;
class ITrayBackend;
class PhoneBookWindows;
class QSocketNotifier;
namespace plat {
class QtTraceBackend;
}
namespace pb {
class IPhoneBookStore;
}

class CBrimlowApp {
 public:
  enum : plat::UINT { ID_COLOUR = 32777, ID_FONT = 32780, ID_APP_ABOUT = 57664, ID_APP_EXIT = 57665 };
  static constexpr int kAboutDialog = 100;

  // programPath: where the settings, language and help files are looked
  // for (the running program by default).
  explicit CBrimlowApp(std::string programPath = std::string());
  ~CBrimlowApp();
  CBrimlowApp(const CBrimlowApp&) = delete;
  CBrimlowApp& operator=(const CBrimlowApp&) = delete;

  // The program's folder, its name and ".ini".
  static std::string SettingsPathFor(const std::string& programPath);

  // Before InitInstance: a back end for the notification icon in place of
  // the desktop's (tests); it stays the caller's.
  void SetTrayBackend(ITrayBackend* backend) { trayBackend_ = backend; }

  // The start-up; false when the program is to end at once.
  bool InitInstance();
  // The windows and the document go, in the reverse order of their making.
  void DestroyWindows();
  // The exit steps; the program's exit status.
  int ExitInstance();
  // All of it around the main loop.
  int Run();

  // The about box (dialog 100), modal over owner.
  static int RunAboutBox(plat::WindowId owner);

  // SIGTERM, SIGINT and SIGHUP from now on run the exit command.
  bool WatchSignals();

  const std::string& SettingsPath() const { return settingsPath_; }
  CBrimlowDoc* Doc() const { return doc_.get(); }
  CMainFrame* Frame() const { return frame_.get(); }
  CBrimlowView* View() const { return view_.get(); }
  CTrayIcon* Tray() const { return tray_.get(); }
  bool LanguageFailed() const { return languageFailed_; }

 private:
  bool OpenTexts();
  void CloseTexts();
  void RunAbout();
  void OnSignal();
  void ProbeShown();

  std::string programPath_;
  std::string settingsPath_;
  VESKOSESSION session_ = VESKO_NO_SESSION;
  bool mappedLanguage_ = false;
  bool languageFailed_ = false;
  bool failed_ = false;
  ITrayBackend* trayBackend_ = nullptr;
  std::unique_ptr<ITrayBackend> ownBackend_;
  std::unique_ptr<plat::QtTraceBackend> trace_;
  std::unique_ptr<CBrimlowDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<CTrayIcon> tray_;
  // The phone book's windows over the document's database: made before
  // the view and gone after it.
  std::unique_ptr<pb::IPhoneBookStore> phoneBook_;
  std::unique_ptr<PhoneBookWindows> phoneBookWindows_;
  std::unique_ptr<CBrimlowView> view_;
  std::unique_ptr<QSocketNotifier> signalNotifier_;
  std::unique_ptr<CTestControl> testControl_;  // only under a test's control
};
