// The link's partners as the view assembles them, for the tests of the
// whole link: the real monitor table, filter and call handler around the
// link object and a stand-in for the view, on a manual loop. The link's
// settings are saved and given back; the monitor table (extensions 21 to
// 23) lives in a folder of the test's own.
#pragma once
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "core/base/globalconfig.h"
#include "core/callhandler/callhandler.h"
#include "core/filter/messagefilter.h"
#include "core/iface/viewhub.h"
#include "core/link/sytemobject.h"
#include "core/monitor/monitortable.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "tests/core/link/viewstandin.h"
#include "tests/support/pbxrig.h"

class LinkRig : public ::testing::Test {
 protected:
  // folder: the start of the test folder's name; cpid: the port the link
  // opens (4 COM5, 6 the network link).
  void SetUpLink(const std::string& folder, int cpid, ViewStandIn& view) {
    saved_ = std::make_unique<CGlobalConfig>();
    CopyConfig(GlobalConfig(), *saved_);
    dir_ = std::filesystem::temp_directory_path() / (folder + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    const std::filesystem::path sdfn = dir_ / "montab.ini";
    std::ofstream(sdfn) << pbxrig::MonTab("21", {"21", "22", "23"}, "Nebenstelle", 1);
    CGlobalConfig& c = GlobalConfig();
    c.SDFN = sdfn.string();
    c.CPID = cpid;
    c.NIU = 0;
    c.SYSCON = 0;
    c.IO1008 = 0;
    c.OLDPROTOCOLL = 0;
    c.CUTOFFLEADINGDIGIT = 1;
    c.MCTO = 5;
    plat::SetMessageBoxImpl(&boxes);

    table = std::make_unique<CMonitorTable>();
    filter = std::make_unique<CMessageFilter>();
    handler = std::make_unique<CCallHandler>();
    link = std::make_unique<CSytemObject>(view.id, filter.get(), table.get());
    view.link = link.get();
    view.filter = filter.get();
    filter->link = link.get();
    filter->callHandler = handler.get();
    filter->monitors = table.get();
    filter->view = view.id;
    handler->view = view.id;
    handler->link = link.get();
    handler->monitors = table.get();
  }
  // The call workers joined, and no monitor entry left on a call.
  void StopCalls() {
    handler->JoinWorkers();
    for (int i = 0; i < CMonitorTable::kEntries; ++i)
      if (CMonitorEntry* e = table->EntryAt(i)) e->currentCall = nullptr;
  }
  void DropLink() {
    link.reset();
    handler.reset();
    filter.reset();
    GlobalConfig().SDFN.clear();  // the table's file stays as the test wrote it
    table.reset();
  }
  // The settings given back and the folder gone.
  void Restore() {
    plat::SetMessageBoxImpl(nullptr);
    CopyConfig(*saved_, GlobalConfig());
    std::filesystem::remove_all(dir_);
  }
  static void CopyConfig(const CGlobalConfig& from, CGlobalConfig& to) {
    to.SDFN = from.SDFN;
    to.CPID = from.CPID;
    to.NTPAR = from.NTPAR;
    to.NIU = from.NIU;
    to.SYSCON = from.SYSCON;
    to.IO1008 = from.IO1008;
    to.OLDPROTOCOLL = from.OLDPROTOCOLL;
    to.CUTOFFLEADINGDIGIT = from.CUTOFFLEADINGDIGIT;
    to.MCTO = from.MCTO;
    to.GLO = from.GLO;
    to.GLFN = from.GLFN;
  }
  CCallInfo* Current() { return handler->GetCurrentCall(hub::kIdView); }

  std::unique_ptr<CGlobalConfig> saved_;
  std::filesystem::path dir_;
  plat::ManualLoop loop;
  plat::ScriptedMessageBox boxes;
  std::unique_ptr<CMonitorTable> table;
  std::unique_ptr<CMessageFilter> filter;
  std::unique_ptr<CCallHandler> handler;
  std::unique_ptr<CSytemObject> link;
};
