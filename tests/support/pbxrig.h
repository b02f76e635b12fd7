// The simulated PBX as the program's serial port on a pseudo-terminal,
// a monitor table to go with it, and a manual loop driven in real time.
#pragma once
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>

#include "platform/eventloop.h"
#include "tools/pbxsim/pbxsim.h"

namespace pbxrig {

// A monitor table with two-digit numbers and every extension monitored
// (with the monitor state given); with names, extension n is called
// "<names> n".
inline std::string MonTab(const std::string& mainPhone, std::initializer_list<const char*> extensions,
                          const std::string& names = {}, int monStat = 2) {
  std::string s = "[MONTAB]\r\nMAINPHONE=" + mainPhone + "\r\nINTNUMLENGTH=2\r\n";
  for (const char* n : extensions) {
    s += std::string("[MONTAB-") + n + "]\r\nINTNUMBER=" + n + "\r\nMONON=1\r\nMONSTAT=" + std::to_string(monStat) +
         "\r\n";
    if (!names.empty()) s += "NAME=" + names + " " + n + "\r\n";
  }
  return s;
}

// How the loop's clock moves while real time passes for the line. busy,
// when set, is tried first each round; a round it does work in neither
// sleeps nor moves the clock.
struct Pace {
  std::chrono::microseconds sleep{1000};
  int advanceMs = 2;
  std::function<bool()> busy;
};

// Runs loop until pred holds or timeoutMs of real time are up.
template <class Pred>
bool Pump(plat::ManualLoop& loop, Pred pred, int timeoutMs, const Pace& pace = {}) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < end) {
    loop.RunUntilIdle();
    if (pred()) return true;
    if (!pace.busy || !pace.busy()) {
      std::this_thread::sleep_for(pace.sleep);
      loop.Advance(pace.advanceMs);
    }
  }
  loop.RunUntilIdle();
  return pred();
}

// The port the tests' link opens (CPID 4) and the variable that names its
// device node.
inline constexpr const char* kPortVariable = "PALOMIR_COM5";

// A started simulated PBX whose pseudo-terminal stands in for that port,
// or null when it did not start.
inline std::unique_ptr<pbxsim::PbxSim> StartOnPty(const pbxsim::Options& options = {}) {
  auto sim = std::make_unique<pbxsim::PbxSim>(options);
  if (!sim->Start()) return nullptr;
  ::setenv(kPortVariable, sim->SlavePath().c_str(), 1);
  return sim;
}

}  // namespace pbxrig
