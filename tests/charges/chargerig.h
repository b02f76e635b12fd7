// The charge and log handler on the scenario rig: the real filter, the
// fake link and view, a charge file in a fresh folder, and the scenario
// statements of the charge side:
//   charge start all|new|sums|count     charge cancel records|sums
//   charge delete all|DEVICE            charge save | charge close
//   charge record INDEX START DURATION UNITS CALLING CALLED   (kind 3 in)
//   charge units DEVICE UNITS NAME      (kind 13 in)
//   charge reply KIND TEXT              (kinds 1, 17 at 22; 11, 19 at 11)
//   expect charge records N | record I START DURATION UNITS CALLING CALLED
//   expect charge listener CODE[:NUMBER]... | listener none  (9 and 10 aside)
//   expect charge job|index|available|result|devices N | sum I N
#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "charges/handler/chargeandloghandler.h"
#include "core/base/globalconfig.h"
#include "scenario.h"
#include "scenario_rig.h"

class ChargeListenerLog : public IChargeListener {
 public:
  std::vector<std::pair<int, std::int32_t>> notices;
  int statusCount = 0;
  void OnChargeNotify(int code, const ChargeNotice& n) override {
    if (code == chargecode::kStatus) ++statusCount;
    else if (code != chargecode::kAdded) notices.emplace_back(code, n.number);
  }
};

struct ChargeRig {
  std::filesystem::path dir;
  CGlobalConfig config;
  std::unique_ptr<CChargeAndLogHandler> handler;
  ChargeListenerLog listener;
  std::size_t listenerAt = 0;
  int result = 0;

  explicit ChargeRig(const std::filesystem::path& folder);
  ~ChargeRig();
  std::string FilePath() const { return (dir / "charproc.log").string(); }
  // Puts the handler on the rig: the filter's charge side and its sink.
  void Attach(Scenario::Rig& r);
  bool Handle(Scenario::Rig& r, const std::vector<std::string>& w, const Scenario::Fail& fail);
};

// A scenario whose rigs each get a fresh charge rig in a folder of its own.
class ChargeScenario {
 public:
  ChargeScenario();
  ~ChargeScenario();
  std::string Run(const std::string& script, const std::function<void(ChargeRig&)>& before = {});
  ChargeRig& charge() { return *charge_; }
  Scenario::Rig& rig() { return scenario_.rig(); }

 private:
  std::filesystem::path base_;
  int runs_ = 0;
  std::unique_ptr<ChargeRig> charge_;
  std::function<void(ChargeRig&)> before_;
  Scenario scenario_;  // last: its rig goes before the handler it uses
};

std::string ReadFileBytes(const std::string& path);
