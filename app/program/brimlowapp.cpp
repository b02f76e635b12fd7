#include "app/program/brimlowapp.h"

#include "platform/chooser.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "app/callwin/assistantdlg.h"
#include "app/doc/brimlowdoc.h"
#include "app/frame/mainframe.h"
#include "app/frame/qttray.h"
#include "app/frame/trayicon.h"
#include "app/program/testcontrol.h"
#include "app/view/brimlowview.h"
#include "app/view/callwindows.h"
#include "app/view/phonebookwindows.h"
#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "libs/helpids/raskelonapi.h"
#include "libs/texts/texts_source.h"
#include "phonebook/store/dbstore.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgsupport.h"
#include "platform/eventloop.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/qtext.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/trace.h"

#ifndef BRIMLOW_VERSION
#define BRIMLOW_VERSION "0"
#endif

namespace {

constexpr char kLanguageError[] = "Language File Load Error!";
constexpr char kMapOwner[] = "brimlow";
constexpr char kQtLanguage[] = "de";

// The self-pipe of the signal handler; the loop watches its reading end.
int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  const char byte = 1;
  const int saved = errno;
  if (g_signalPipe[1] >= 0) (void)!::write(g_signalPipe[1], &byte, 1);
  errno = saved;
}

int AddHelp(std::uint32_t key, std::int32_t id) { return RASKELONAddHelpID(key, id); }
int DeleteHelp(std::uint32_t key) { return RASKELONDeleteHelpID(key); }
std::int32_t GetHelp(std::uint32_t key) { return RASKELONGetHelpID(key); }

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// A file named without a folder lives beside the program.
std::string BesideProgram(const std::string& programPath, const std::string& name) {
  if (name.empty() || name[0] == '/') return name;
  return Folder(programPath) + "/" + name;
}

// The about box: the program's name, its version and OK.
class CAboutDlg : public plat::Dialog {
 public:
  static constexpr int kPicture = 1000, kVersionLine = 1001;
  CAboutDlg() : Dialog(plat::dlg::kProgram, CBrimlowApp::kAboutDialog) {}

 protected:
  bool OnInitDialog() override {
    SetItemText(kVersionLine, std::string("Version ") + BRIMLOW_VERSION);
    SetItemIcon(kPicture, QIcon(QStringLiteral(":/frame/icon223.xpm")));
    return true;
  }
};

}  // namespace

CBrimlowApp::CBrimlowApp(std::string programPath)
    : programPath_(programPath.empty() ? plat::ExePath() : std::move(programPath)) {}

CBrimlowApp::~CBrimlowApp() {
  DestroyWindows();
  CloseTexts();
  if (signalNotifier_) {
    signalNotifier_.reset();
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    ::close(g_signalPipe[0]);
    ::close(g_signalPipe[1]);
    g_signalPipe[0] = g_signalPipe[1] = -1;
  }
  if (trace_ && plat::CurrentTraceBackend() == trace_.get()) plat::SetTraceBackend(nullptr);
  plat::dlg::SetHelpIdHooks(nullptr, nullptr, nullptr);
}

std::string CBrimlowApp::SettingsPathFor(const std::string& programPath) {
  const std::string folder = Folder(programPath);
  std::string name = programPath.substr(programPath.rfind('/') == std::string::npos ? 0 : programPath.rfind('/') + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  return folder + "/" + name + ".ini";
}

bool CBrimlowApp::OpenTexts() {
  CGlobalConfig& c = GlobalConfig();
  const std::string& name = c.LangFile;
  // A name without a folder is the file beside the program, wherever the
  // program runs.
  if (!name.empty() && name[0] != '/') {
    mappedLanguage_ = VESKOAPIAddFileMapEntry(kMapOwner, name.c_str(), BesideProgram(programPath_, name).c_str()) == 0;
  }
  VESKOSESSION session = VESKO_NO_SESSION;
  if (VESKOAPIOpenSession(name.c_str(), 0, &session) != 0) return false;
  session_ = session;
  c.m_TextSession = session;
  texolan::InstallTextSource(session);
  return true;
}

void CBrimlowApp::CloseTexts() {
  if (session_ != VESKO_NO_SESSION) {
    // Nothing may read a text once its session is gone.
    if (texolan::InstalledTextSession() == session_) texolan::InstallTextSource(VESKO_NO_SESSION);
    VESKOAPICloseSession(session_);
    session_ = VESKO_NO_SESSION;
    GlobalConfig().m_TextSession = VESKO_NO_SESSION;
  }
  if (mappedLanguage_) {
    VESKOAPIDeleteMapEntriesOn(1, kMapOwner);
    mappedLanguage_ = false;
  }
}

bool CBrimlowApp::InitInstance() {
  CGlobalConfig& c = GlobalConfig();
  if (!trace_) {
    trace_ = std::make_unique<plat::QtTraceBackend>();
    plat::SetTraceBackend(trace_.get());
  }
  plat::dlg::SetHelpIdHooks(&AddHelp, &DeleteHelp, &GetHelp);

  settingsPath_ = SettingsPathFor(programPath_);
  c.Load(settingsPath_);
  plat::dlg::SetHelpFile(BesideProgram(programPath_, c.HelpFile));

  if (!OpenTexts()) {
    // Without texts nothing is built: no window, no link, no plug-in.
    languageFailed_ = failed_ = true;
    plat::MessageBox(0, kLanguageError, "", plat::MB_OK);
    return false;
  }
  // The shipped texts are German: so are the buttons and dialogs of Qt.
  if (!plat::InstallQtTranslations(kQtLanguage)) GlobalLog().WriteEntry("CBrimlowApp: Qt's German texts are missing");

  doc_ = std::make_unique<CBrimlowDoc>();
  frame_ = std::make_unique<CMainFrame>(settingsPath_, c);
  if (!frame_->Create()) {
    failed_ = true;
    return false;
  }
  frame_->Commands().Register(ID_APP_ABOUT, [this] { RunAbout(); });
  // The choosers' results are not used; the font's face is shown.
  frame_->Commands().Register(ID_COLOUR, [this] { plat::ChooserImpl().ChooseColour(view_ ? view_->Id() : 0); });
  frame_->Commands().Register(ID_FONT, [this] {
    const plat::WindowId owner = view_ ? view_->Id() : 0;
    std::string face;
    if (plat::ChooserImpl().ChooseFont(owner, &face)) plat::MessageBox(owner, face, "", plat::MB_OK);
  });
  if (!trayBackend_) {
    ownBackend_ = std::make_unique<CQtTrayBackend>();
    trayBackend_ = ownBackend_.get();
  }
  tray_ = std::make_unique<CTrayIcon>(*trayBackend_);
  view_ = std::make_unique<CBrimlowView>(*doc_, *frame_, *tray_);
  // The read-out position reaches the settings file after each read-out,
  // not only through the save at exit.
  view_->Charges().SetSettingsFile(settingsPath_);
  InstallCallWindows(*view_, *doc_);
  // The assistant's "end the program" closes the main window.
  if (auto* assistant = dynamic_cast<CAssistantDlg*>(view_->Window(CBrimlowView::kAssistant)))
    assistant->mainWindow = frame_->Id();
  phoneBook_ = std::make_unique<pb::CDataBaseStore>(doc_->Database());
  phoneBookWindows_ = InstallPhoneBookWindows(*view_, phoneBook_.get(), &doc_->MonitorTable());
  frame_->Attach(doc_.get(), view_.get());
  view_->Create();
  // Shown before the initial update, so that what opens there has its
  // owner on the screen.
  frame_->Show();
  view_->OnInitialUpdate();
  frame_->SetTitle(plat::GetTextOr(plat::TextId(0, 0), ""));
  frame_->UpdateMenu();
  ProbeShown();
  testControl_ = CTestControl::FromEnvironment(*frame_, *view_);
  return true;
}

void CBrimlowApp::ProbeShown() {
  const char* probe = std::getenv("PALOMIR_STARTUP_PROBE");
  if (!probe || !*probe) return;
  char* end = nullptr;
  const long fd = std::strtol(probe, &end, 10);
  if (!end || *end != '\0' || fd < 0 || fd > 65535) return;
  // Once the loop has run once with the window shown.
  QTimer::singleShot(0, [fd] {
    static const char line[] = "shown\n";
    (void)!::write(static_cast<int>(fd), line, sizeof line - 1);
  });
}

int CBrimlowApp::RunAboutBox(plat::WindowId owner) {
  CAboutDlg dlg;
  return dlg.DoModal(owner);
}

void CBrimlowApp::RunAbout() { RunAboutBox(view_ ? view_->Id() : 0); }

void CBrimlowApp::DestroyWindows() {
  testControl_.reset();
  if (frame_) frame_->Detach();
  view_.reset();
  phoneBookWindows_.reset();
  phoneBook_.reset();
  tray_.reset();
  frame_.reset();
  doc_.reset();
  ownBackend_.reset();
  trayBackend_ = nullptr;
}

int CBrimlowApp::ExitInstance() {
  CGlobalConfig& c = GlobalConfig();
  c.LLOT = static_cast<long>(plat::WallTime());
  const bool saved = c.Save(settingsPath_);
  CloseTexts();
  return failed_ || !saved ? 1 : 0;
}

bool CBrimlowApp::WatchSignals() {
  if (signalNotifier_) return true;
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  signalNotifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, [this] { OnSignal(); });
  struct sigaction sa {};
  sa.sa_handler = &OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &sa, nullptr);
  return true;
}

void CBrimlowApp::OnSignal() {
  char buf[64];
  while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
  }
  // The exit command, whatever is open: it ends the dialogs and boxes
  // first. Before the windows exist only the start-up's own box is ended.
  if (frame_ && view_)
    frame_->RunCommand(ID_APP_EXIT);
  else
    plat::BeginExit();
}

int CBrimlowApp::Run() {
  WatchSignals();
  if (InitInstance()) {
    // A terminate request that came during the start-up ends the program
    // the normal way once its loop runs.
    if (plat::Exiting()) frame_->RunCommand(ID_APP_EXIT);
    QApplication::exec();
  }
  DestroyWindows();
  return ExitInstance();
}
