// The document and the view with the real link object on the simulated
// PBX's pseudo-terminal, in process or as the pbxsim program. Torn down
// view and document first, while the PBX still answers, then the PBX, then
// the rig's settings.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <string>

#include "tests/support/pbxrig.h"
#include "tests/support/simprocess.h"
#include "viewrig.h"

namespace viewrig {

class OverThePty : public ::testing::Test {
 protected:
  void TearDown() override {
    if (r) {
      r->view.reset();
      r->doc.reset();
    }
    sim.reset();
    proc.reset();
    ::unsetenv(pbxrig::kPortVariable);
    r.reset();
  }
  // A new rig whose loop keeps pace with the line while records stream in
  // (a read-out of hundreds of records).
  void NewStreamingRig() {
    r = std::make_unique<Rig>();
    pace.sleep = std::chrono::microseconds(200);
    pace.advanceMs = 1;
    pumpMs = 30000;
  }
  // The rig's montab.ini, made the table the document reads.
  std::filesystem::path WriteMonTab(const std::string& mainPhone, std::initializer_list<const char*> extensions,
                                    const std::string& names = {}) {
    const auto path = r->globals.dir / "montab.ini";
    std::ofstream(path, std::ios::binary) << pbxrig::MonTab(mainPhone, extensions, names);
    GlobalConfig().SDFN = path.string();
    return path;
  }
  // The link on COM5 as the simulated PBX speaks it; dials go out without
  // the handset question.
  static void LinkOnCom5() {
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;
    c.IO1008 = 0;
    c.OLDPROTOCOLL = 0;
    c.CUTOFFLEADINGDIGIT = 1;
    c.MCTO = 5;
    c.GDOH = 1;
  }
  // A new simulated PBX on a new device node, the old one gone first.
  bool StartSim(const pbxsim::Options& options = {}) {
    sim.reset();
    sim = pbxrig::StartOnPty(options);
    return sim != nullptr;
  }
  // The pbxsim program as a child process instead, in the rig's folder.
  bool StartSimProcess() {
    sim.reset();
    proc = std::make_unique<simprocess::SimProcess>(r->globals.dir);
    if (!proc->Started()) return false;
    ::setenv(pbxrig::kPortVariable, proc->Link().c_str(), 1);
    return true;
  }
  // The link runs and no job holds the filter.
  bool Running() {
    return r->view->Link().Object()->GetLinkState() == linkstate::kRunning &&
           r->doc->Filter().JobState() == jobstate::kFree;
  }
  bool LinkUp() {
    return Pump([&] { return Running(); });
  }
  template <class Pred>
  bool Pump(Pred pred, int timeoutMs = 0) {
    return pbxrig::Pump(r->loop, pred, timeoutMs > 0 ? timeoutMs : pumpMs, pace);
  }
  // The link runs, no job holds the filter and the PBX monitors n devices.
  bool LinkRunning(std::size_t n) {
    return Pump([&] { return Running() && sim->Monitored().size() == n; });
  }

  std::unique_ptr<Rig> r;
  std::unique_ptr<pbxsim::PbxSim> sim;
  std::unique_ptr<simprocess::SimProcess> proc;
  pbxrig::Pace pace;
  int pumpMs = 15000;
};

}  // namespace viewrig
