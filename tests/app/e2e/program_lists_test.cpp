// brimlow itself as a process against the simulated PBX: the callback
// list in its file is called back by the automation that starts with the
// session, the unanswered try is counted, and the count is in the file
// after SIGTERM.
#include <gtest/gtest.h>

#include <csignal>

#include "platform/profile.h"
#include "tests/app/program/programrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using namespace programrig;
using testsupport::PutFile;

const char* kMonTab =
    "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n"
    "[MONTAB-21]\r\nINTNUMBER=21\r\nMONON=1\r\nMONSTAT=2\r\nNAME=Nebenstelle 21\r\n";

// Mode 3 (the user deletes it), five minutes between tries, no window.
const char* kOneEntry =
    "[CBLIST]\r\nLC=1\r\n"
    "[CBLIST-1]\r\nCEDCMPY=Muster GmbH\r\nCEDNAME=Kunde\r\nCEDNUM=0301234567\r\nCINCMPY=\r\nCINNAME=\r\n"
    "CINNUM=21\r\nEXT=1\r\nDIRECT=2\r\nCECRI=3\r\nCC=0\r\nCMC=3\r\nCCTB=0\r\nCCTE=0\r\nCTIDA=0\r\n"
    "CTINTV=300\r\nCTSPT=0\r\nCPRIO=0\r\n";

TEST(ProgramListsE2E, TheSessionStartsTheAutomationWhichCallsTheFilesEntryAndCountsTheTry) {
  Folder folder("lists_e2e");
  pbxsim::Options o;
  o.busyNumbers = {"301234567"};
  pbxsim::PbxSim sim(o);
  ASSERT_TRUE(sim.Start());
  PutFile(folder.Ini(),
          "[GLOBCONF]\r\nCPID=2\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nGLO=1\r\nGLFN=program.log\r\nGDOH=1\r\n"
          "CBLASOBOS=1\r\nTB1C=2000\r\nCBLCASOTI=1000\r\nTB2C=1000\r\nABNC=0\r\nCBLGSTRTT=0\r\nCBLGSTPT=86399\r\n"
          "CBLLTB=0\r\nCBLLTE=0\r\n");
  PutFile((folder.home / "montab.ini").string(), kMonTab);
  const std::string cblist = (folder.home / "cblist.ini").string();
  PutFile(cblist, kOneEntry);

  Child c;
  auto env = ProgramEnv();
  env["PALOMIR_COM3"] = sim.SlavePath();
  ASSERT_TRUE(Start(c, (folder.bin / "brimlow").string(), folder.home.string(), env));
  ASSERT_TRUE(c.WaitShown(20000));
  // Running: the start-up's last request, the snapshot of the watched
  // extension, has come.
  ASSERT_TRUE(WaitUntil([&] { return sim.ReceivedCount(CSTA_SNAPSHOT_DEVICE) >= 1; }, 20000));
  const auto running = Clock::now();
  ASSERT_TRUE(sim.WaitForCount(CSTA_MAKE_CALL, 1, 10000)) << "no call back at all";
  EXPECT_LT(Clock::now() - running, std::chrono::seconds(5)) << "the call back came late";
  // The callee is busy; the user hangs up.
  ASSERT_TRUE(WaitUntil([&] { return sim.HasCall(sim.LastCallId()); }, 2000));
  sim.Clear(sim.LastCallId(), "21");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // Five minutes between tries: no second call now.
  EXPECT_EQ(sim.ReceivedCount(CSTA_MAKE_CALL), 1u);

  ::kill(c.pid, SIGTERM);
  EXPECT_EQ(c.Wait(15000), 0) << "no clean end on SIGTERM";
  EXPECT_EQ(plat::GetProfileText("CBLIST", "LC", "", cblist), "1");
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "CEDNUM", "", cblist), "0301234567");
  EXPECT_EQ(plat::GetProfileText("CBLIST-1", "CC", "", cblist), "1");
}

}  // namespace
