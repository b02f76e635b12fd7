// The document and the view, headless on the manual loop, with recording
// stand-ins for the frame, the tray and the modeless windows, scripted
// boxes, the log in a file of its own, and the rig's FakeLink (or the real
// link object) as the view's member 6.
#pragma once
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/doc/brimlowdoc.h"
#include "app/view/brimlowview.h"
#include "core/base/globalconfig.h"
#include "fakes.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace viewrig {

// Every text reads "T<group>.<entry>".
inline const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

struct RecordingFrame : IViewFrame {
  explicit RecordingFrame(std::vector<std::string>& order) : order_(order) {}
  void Show() override { Note("frame.show"); }
  void Hide() override { Note("frame.hide"); }
  void Minimise() override { Note("frame.minimise"); }
  void Restore() override { Note("frame.restore"); }
  void BringToForeground() override { Note("frame.foreground"); }
  void HideOwnedPopups() override { Note("frame.hidepopups"); }
  void ShowOwnedPopups() override { Note("frame.showpopups"); }
  void SetTitle(const std::string& t) override { title = t; }
  void SetStatusText(const std::string& t) override {
    status.push_back(t);
    Note("frame.status " + t);
  }
  void UpdateMenu() override { Note("frame.menu"); }
  void RecalcLayout() override { Note("frame.layout"); }
  void SetBusy(bool busy) override { Note(busy ? "frame.busy" : "frame.idle"); }
  void ExitCommand() override {
    ++exits;
    Note("frame.exit");
    if (onExit) onExit();
  }
  void Note(const std::string& s) { order_.push_back(s); }
  std::string title;
  std::vector<std::string> status;
  int exits = 0;
  std::function<void()> onExit;

 private:
  std::vector<std::string>& order_;
};

struct RecordingTray : IViewTray {
  explicit RecordingTray(std::vector<std::string>& order) : order_(order) {}
  void SetOwner(plat::WindowId w, plat::UINT m) override {
    owner = w;
    callback = m;
    order_.push_back("tray.owner");
  }
  void SetTip(const std::string& t, bool apply) override {
    tip = t.substr(0, 63);
    if (apply) Apply();
  }
  void SetIcon(int id, bool apply) override {
    icon = id;
    if (apply) Apply();
  }
  bool Apply() override {
    if (removed) return false;
    ++applies;
    order_.push_back(added ? "tray.modify" : "tray.add");
    added = true;
    return true;
  }
  void Remove() override {
    if (!removed && added) order_.push_back("tray.remove");
    removed = true;
  }
  bool HasNotificationArea() const override { return area; }
  void ShowMenu(const std::vector<TrayMenuEntry>& e) override {
    menu = e;
    ++menus;
    order_.push_back("tray.menu");
  }
  void CloseMenu() override {
    ++menuCloses;
    order_.push_back("tray.closemenu");
  }
  plat::WindowId owner = 0;
  plat::UINT callback = 0;
  std::string tip;
  int icon = 0, applies = 0, menus = 0, menuCloses = 0;
  bool added = false, removed = false, area = true;
  std::vector<TrayMenuEntry> menu;

 private:
  std::vector<std::string>& order_;
};

struct Notice {
  plat::UINT code;
  plat::WPARAM w;
  plat::LPARAM l;
  std::string text;  // lParam read as a call's parties or a text, when asked
};

struct RecordingWindow : IViewWindow {
  RecordingWindow(std::string n, std::vector<std::string>& order) : name(std::move(n)), order_(order) {}
  bool Create(plat::WindowId p) override {
    ++creates;
    parent = p;
    order_.push_back(name + ".create");
    if (failCreate) return false;
    open = true;
    shown = true;
    return true;
  }
  bool IsOpen() const override { return open; }
  plat::LRESULT Notify(plat::UINT code, plat::WPARAM w, plat::LPARAM l) override {
    Notice n{code, w, l, {}};
    if (code == 1056 && l) n.text = reinterpret_cast<const char*>(static_cast<std::intptr_t>(l));
    notices.push_back(n);
    order_.push_back(name + ".notify " + std::to_string(code));
    return 1;
  }
  void Show(int s) override {
    shown = s != 0;
    order_.push_back(name + (s ? ".show" : ".hide"));
  }
  void Destroy() override {
    ++destroys;
    open = false;
    order_.push_back(name + ".destroy");
  }
  void Tick() override { ++ticks; }
  void RefreshWhenShown() override { ++refreshAsks; }
  // The user closes it with the close box.
  void UserCloses() {
    shown = false;
    NotifyClosed();
  }
  std::vector<plat::UINT> Codes() const {
    std::vector<plat::UINT> c;
    for (const auto& n : notices) c.push_back(n.code);
    return c;
  }
  std::string name;
  plat::WindowId parent = 0;
  bool open = false, shown = false, failCreate = false;
  int creates = 0, destroys = 0, ticks = 0, refreshAsks = 0;
  std::vector<Notice> notices;

 private:
  std::vector<std::string>& order_;
};

// The rig's FakeLink in the view's slot 6.
struct FakeViewLink : IViewLink {
  explicit FakeViewLink(std::vector<std::string>& order) : order_(order) {}
  IPBXLink& Pbx() override { return link; }
  int Open(plat::WindowId v) override {
    link.view = v;
    ++opens;
    order_.push_back("link.open");
    link.Open();
    return 1;
  }
  int StopStep() override {
    ++stopSteps;
    order_.push_back("link.stopstep");
    if (link.state < linkstate::kStopping) link.StartStop(0);
    return link.state == linkstate::kClosed ? 1 : 0;
  }
  int LinkStep() override {
    ++linkSteps;
    return forcedStep >= 0 ? forcedStep : link.LinkStep();
  }
  int ProcessCommInput(plat::WPARAM w, plat::LPARAM l) override {
    comm.push_back({w, l});
    return 1;
  }
  void SetOwner(plat::WindowId v) override {
    link.view = v;
    order_.push_back("link.owner");
  }
  int Reopen() override {
    ++reopens;
    order_.push_back("link.reopen");
    if (reopenResult) link.Open();
    return reopenResult;
  }
  FakeLink link;
  int reopens = 0, reopenResult = 0;
  int opens = 0, stopSteps = 0, linkSteps = 0;
  int forcedStep = -1;  // >= 0: LinkStep answers this
  std::vector<std::pair<plat::WPARAM, plat::LPARAM>> comm;

 private:
  std::vector<std::string>& order_;
};

// The process-wide settings a rig changes, put back when it ends.
struct SavedGlobals {
  CGlobalConfig saved = GlobalConfig();
  std::filesystem::path dir;
  SavedGlobals() {
    static int n = 0;
    dir = std::filesystem::temp_directory_path() /
          ("viewrig_" + std::to_string(::getpid()) + "_" + std::to_string(++n));
    std::filesystem::create_directories(dir);
    CGlobalConfig& c = GlobalConfig();
    c.SDFN.clear();
    c.CHLO = 0;
    c.PBXLO = 0;
    c.TOLECSTALOGDLL = 0;
    c.TOLECOPOLOGDLL = 0;
    c.GLO = 1;
    c.GLFN = (dir / "log.txt").string();
    c.CPROCFN = (dir / "charproc.log").string();
    c.ChargesCfgFile = (dir / "sumcharge.ini").string();
    c.ASCA = c.ASDB = c.ASMV = c.ASDABA = c.ASCBL = c.ASSCCP = c.ASSUCP = 0;
    c.CPID = 2;
    c.NTPAR = 0;
    c.NIU = 0;
    c.SYSCON = 0;
    c.NPLROOBOF = 0;
    c.AWNNCI = 1;
    plat::SetTextSource(&TestText);
    // No plug-ins unless a test brings its own.
    CPlugInBinding::SetFolder(dir.string());
  }
  ~SavedGlobals() {
    GlobalConfig() = saved;
    CPlugInBinding::SetFolder("");
    plat::SetTextSource(nullptr);
    plat::SetMessageBoxImpl(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  // Lines of the log file so far.
  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    std::ifstream f(GlobalConfig().GLFN);
    for (std::string l; std::getline(f, l);) {
      if (!l.empty() && l.back() == '\r') l.pop_back();
      if (!l.empty()) lines.push_back(l);
    }
    return lines;
  }
  int LogCount(const std::string& part) const {
    int n = 0;
    for (const auto& l : Log()) n += l.find(part) != std::string::npos;
    return n;
  }
};

struct Rig {
  SavedGlobals globals;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  std::vector<std::string> order;
  RecordingFrame frame{order};
  RecordingTray tray{order};
  std::unique_ptr<CBrimlowDoc> doc;
  FakeViewLink* fake = nullptr;
  std::unique_ptr<CBrimlowView> view;
  RecordingWindow* win[CBrimlowView::kWindowSlots] = {};

  Rig() { plat::SetMessageBoxImpl(&boxes); }
  ~Rig() {
    view.reset();
    doc.reset();
  }

  // The document and the view, with recording windows in every slot
  // (withWindows) and the FakeLink (fakeLink) or the real link object.
  void Build(bool withWindows = true, bool fakeLink = true) {
    doc = std::make_unique<CBrimlowDoc>();
    std::unique_ptr<IViewLink> link;
    if (fakeLink) {
      auto f = std::make_unique<FakeViewLink>(order);
      fake = f.get();
      f->link.filter = &doc->Filter();
      f->link.monitors = &doc->MonitorTable();
      link = std::move(f);
    }
    view = std::make_unique<CBrimlowView>(*doc, frame, tray, std::move(link));
    if (fake) fake->link.view = view->Id();
    if (withWindows) {
      static const char* names[] = {"assistant", "keypad", "database", "overview", "question"};
      for (int s = 0; s < CBrimlowView::kWindowSlots; ++s) {
        auto w = std::make_unique<RecordingWindow>(names[s], order);
        win[s] = w.get();
        view->SetWindow(static_cast<CBrimlowView::WindowSlot>(s), std::move(w));
      }
    }
  }
  // Created and initially updated.
  void Start(bool withWindows = true, bool fakeLink = true) {
    Build(withWindows, fakeLink);
    view->Create();
    view->OnInitialUpdate();
    loop.RunUntilIdle();
    if (fake && quiet) Quiet();
  }
  // Forgets the start-up the link open began: no job, nothing outstanding,
  // nothing sent, nothing logged.
  void Quiet() {
    doc->Filter().TakeOrRelease(jobstate::kDeviceCount, 0);
    doc->Filter().NoteOutstanding(nullptr);
    plat::KillTimer(view->Id(), 7);
    fake->link.sent.clear();
    fake->link.events.clear();
    std::filesystem::remove(GlobalConfig().GLFN);
  }
  bool quiet = true;
  plat::LRESULT Hub(plat::UINT code, plat::WPARAM w = 0, plat::LPARAM l = 0) {
    auto r = plat::SendMessage(view->Id(), code, w, l);
    loop.RunUntilIdle();
    return r;
  }
  static plat::LPARAM P(const void* p) { return static_cast<plat::LPARAM>(reinterpret_cast<std::intptr_t>(p)); }
  std::size_t Mark() const { return order.size(); }
  std::vector<std::string> Since(std::size_t mark) const {
    return std::vector<std::string>(order.begin() + static_cast<long>(mark), order.end());
  }
};

}  // namespace viewrig
