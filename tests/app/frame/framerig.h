// The real main frame and tray record around the document and the view,
// offscreen on the manual loop, with the view rig's texts ("T<g>.<e>"),
// boxes, settings and FakeLink.
#pragma once
#include <QApplication>
#include <memory>
#include <string>

#include "app/frame/mainframe.h"
#include "app/frame/trayicon.h"
#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"

namespace framerig {

// Every call to the notification area, in order.
struct RecordingBackend : ITrayBackend {
  struct Call {
    std::string op;
    TrayIconRecord record;
  };
  bool Add(const TrayIconRecord& r) override { return Note("add", r); }
  bool Modify(const TrayIconRecord& r) override { return Note("modify", r); }
  bool Delete(const TrayIconRecord& r) override { return Note("delete", r); }
  bool Available() const override { return area; }
  void ShowMenu(plat::WindowId o, const std::vector<TrayMenuItem>& items) override {
    owner = o;
    menu = items;
    ++menus;
  }
  void CloseMenu() override { ++closes; }
  bool Note(const char* op, const TrayIconRecord& r) {
    calls.push_back({op, r});
    return true;
  }
  const Call& Last() const { return calls.back(); }
  std::vector<Call> calls;
  std::vector<TrayMenuItem> menu;
  plat::WindowId owner = 0;
  int menus = 0, closes = 0;
  bool area = true;
};

struct Rig {
  viewrig::SavedGlobals globals;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  std::vector<std::string> order;
  std::string ini;
  RecordingBackend backend;
  std::unique_ptr<CTrayIcon> tray;
  std::unique_ptr<CBrimlowDoc> doc;
  std::unique_ptr<CMainFrame> frame;
  std::unique_ptr<CBrimlowView> view;
  viewrig::FakeViewLink* fake = nullptr;

  Rig() {
    testapp::App();
    plat::SetMessageBoxImpl(&boxes);
    ini = (globals.dir / "brimlow.ini").string();
  }
  ~Rig() {
    if (frame) frame->Detach();
    view.reset();
    tray.reset();
    frame.reset();
    doc.reset();
  }
  // The frame first, then the view with the FakeLink, created and updated.
  void Build(bool initialUpdate = true) {
    doc = std::make_unique<CBrimlowDoc>();
    frame = std::make_unique<CMainFrame>(ini, GlobalConfig());
    ASSERT_TRUE(frame->Create());
    tray = std::make_unique<CTrayIcon>(backend);
    auto link = std::make_unique<viewrig::FakeViewLink>(order);
    fake = link.get();
    link->link.filter = &doc->Filter();
    link->link.monitors = &doc->MonitorTable();
    view = std::make_unique<CBrimlowView>(*doc, *frame, *tray, std::move(link));
    fake->link.view = view->Id();
    frame->Attach(doc.get(), view.get());
    view->Create();
    if (initialUpdate) view->OnInitialUpdate();
  }
};

}  // namespace framerig
