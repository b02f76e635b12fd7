// brimlow itself, started from a folder of its own against the simulated
// PBX over a pseudo-terminal and behind its relay: it reaches running,
// ends cleanly on SIGTERM, and leaves its files and its place behind.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <thread>

#include "platform/eventloop.h"
#include "platform/net/asyncsocket.h"
#include "platform/profile.h"
#include "programrig.h"
#include "tests/support/netrig.h"
#include "tests/support/pbxrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using namespace programrig;
using testsupport::FileBytes;
using testsupport::PutFile;

const std::string kMonTab = pbxrig::MonTab("21", {"21", "22", "23"}, "Nebenstelle");

bool AllMonitored(const pbxsim::PbxSim& sim) {
  const auto m = sim.Monitored();
  int n = 0;
  for (const auto& d : m) n += d == "21" || d == "22" || d == "23";
  return n == 3;
}

std::string Key(const std::string& ini, const char* section, const char* key) {
  return plat::GetProfileText(section, key, "", ini);
}

struct RunResult {
  std::time_t started = 0, ended = 0;
  std::string mfrm, pos1;  // "l,t,r,b"
};

class ProgramE2E : public ::testing::Test {
 protected:
  Folder folder{"program_e2e"};
  void Settings(const std::string& extra) {
    PutFile(folder.Ini(), "[GLOBCONF]\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nGLO=1\r\nGLFN=program.log\r\n" + extra);
    PutFile((folder.home / "montab.ini").string(), kMonTab);
  }
  // One run up to SIGTERM; the pump keeps a relay going meanwhile.
  RunResult RunUntilTerm(std::map<std::string, std::string> env, const std::function<bool()>& running,
                   const std::function<bool()>& stopped, const std::function<void()>& pump = {}) {
    RunResult r;
    r.started = std::time(nullptr);
    Child c;
    auto e = ProgramEnv();
    e.insert(env.begin(), env.end());
    EXPECT_TRUE(Start(c, (folder.bin / "brimlow").string(), folder.home.string(), e));
    EXPECT_TRUE(c.WaitShown(20000, pump)) << "no start-up probe";
    EXPECT_TRUE(WaitUntil(running, 20000, pump)) << "not running";
    ::kill(c.pid, SIGTERM);
    const auto t0 = Clock::now();
    EXPECT_EQ(c.Wait(10000, pump), 0);
    EXPECT_LT(Clock::now() - t0, std::chrono::seconds(10));
    EXPECT_TRUE(stopped());
    r.ended = std::time(nullptr);
    const std::string ini = folder.Ini();
    r.mfrm = Key(ini, "MFRM", "LP") + "," + Key(ini, "MFRM", "TP") + "," + Key(ini, "MFRM", "RP") + "," +
             Key(ini, "MFRM", "BP");
    r.pos1 = Key(ini, "WPOSITIONS", "WndPos01");
    const long llot = std::atol(Key(ini, "GLOBCONF", "LLOT").c_str());
    EXPECT_GE(llot, static_cast<long>(r.started));
    EXPECT_LE(llot, static_cast<long>(r.ended));
    return r;
  }
};

TEST_F(ProgramE2E, SerialLinkRunsStopsOnSigtermAndKeepsItsPlace) {
  pbxsim::PbxSim sim;
  ASSERT_TRUE(sim.Start());
  Settings("CPID=2\r\n");
  const std::map<std::string, std::string> env{{"PALOMIR_COM3", sim.SlavePath()}};
  auto stops = [&] { return sim.ReceivedCount(CSTA_MONITOR_STOP) >= 3; };
  const RunResult first = RunUntilTerm(env, [&] { return AllMonitored(sim); }, stops);
  EXPECT_EQ(first.mfrm, first.pos1) << "MFRM and window position 1 differ";
  EXPECT_NE(first.mfrm, "0,0,0,0");

  // Every file of the members present is saved: the settings and SDFN
  // (which gains the keys the table writes).
  const std::string montab = FileBytes((folder.home / "montab.ini").string());
  EXPECT_NE(montab.find("COLLPHONE="), std::string::npos);
  EXPECT_NE(montab.find("[MONTAB-23]"), std::string::npos);
  EXPECT_TRUE(fs::exists(folder.home / "cblist.ini"));

  sim.ClearLog();
  const RunResult second = RunUntilTerm(env, [&] { return sim.ReceivedCount(CSTA_MONITOR_DEVICE) >= 3; }, stops);
  EXPECT_EQ(second.mfrm, first.mfrm) << "the frame moved between two starts";
  EXPECT_EQ(second.pos1, first.pos1);
}

using netrig::FreePort;

TEST_F(ProgramE2E, NetworkLinkRegistersRunsAndUnregistersOnSigterm) {
  plat::ManualLoop loop;
  pbxsim::PbxSim sim;
  const std::uint16_t port = FreePort();
  ASSERT_TRUE(sim.StartNetwork(port));
  Settings("CPID=6\r\n[NETCONF]\r\nNSLA=127.0.0.1\r\nNUP=" + std::to_string(port) + "\r\n");
  const auto t0 = Clock::now();
  auto pump = [&] {
    plat::net::PumpSockets(2);
    const auto ms = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
    if (ms > loop.NowMs()) loop.Advance(ms - loop.NowMs());
    loop.RunUntilIdle();
  };
  bool registered = false;
  RunUntilTerm(
      {}, [&] { return (registered = registered || !sim.Clients().empty()) && AllMonitored(sim); },
      [&] { return WaitUntil([&] { return sim.Clients().empty(); }, 3000, pump); }, pump);
  EXPECT_TRUE(registered);
  sim.StopNetwork();
}

}  // namespace

// A terminate request while a box is open (here the missing port's, shown
// at start) cancels the box and ends the program the normal way.
TEST(ProgramSignals, SigtermUnderAnOpenBoxEndsTheProgram) {
  programrig::Folder f("program_sigterm_box");
  {
    std::ofstream ini(f.Ini(), std::ios::binary);
    ini << "[GLOBCONF]\r\nCPID=2\r\n[INTERNAL]\r\nLangFile=velt_ger.lng\r\n";
  }
  auto env = programrig::ProgramEnv();
  env["PALOMIR_COM3"] = (f.root / "no-such-line").string();
  programrig::Child c;
  ASSERT_TRUE(programrig::Start(c, (f.bin / "brimlow").string(), f.home.string(), env));
  ASSERT_TRUE(c.WaitShown(20000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the box is up
  ::kill(c.pid, SIGTERM);
  EXPECT_EQ(c.Wait(10000), 0);
  std::ifstream in(f.Ini(), std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(saved.find("LLOT="), std::string::npos);
}
