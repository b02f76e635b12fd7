// The whole program's charge path in process: the view with the real link
// object and serial port, the simulated PBX on a pseudo-terminal, the real
// filter and handler writing a real charge file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "charges/handler/chargeandloghandler.h"
#include "platform/net/asyncsocket.h"
#include "tests/app/view/ptyfixture.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

class ChargesOverThePty : public viewrig::OverThePty {
 protected:
  void SetUp() override {
    NewStreamingRig();
    WriteMonTab("21", {"21"});
    CGlobalConfig& c = GlobalConfig();
    c.CPID = 4;
    c.OLDPROTOCOLL = 0;
    ASSERT_TRUE(StartSim());
    r->Start(/*withWindows=*/false, /*fakeLink=*/false);
    ASSERT_TRUE(LinkRunning(1));
  }
  CChargeAndLogHandler& H() { return r->view->Charges(); }
  bool ReadAll() {
    if (H().StartAllRecordsReadOut() != 1) return false;
    return Pump([&] { return H().Job() == 0; });
  }
  std::uintmax_t FileSize() { return std::filesystem::file_size(GlobalConfig().CPROCFN); }
};

TEST_F(ChargesOverThePty, RecordsReadTwiceAreStoredOnceAndNewOnesAdded) {
  sim->AddCharges(298);
  sim->AddCharge("22", "0301234", 60, 2, 1700000000);
  sim->AddCharge("23", "0301234", 60, 2, 1700000000);  // ends in the same second
  ASSERT_TRUE(ReadAll());
  EXPECT_EQ(H().ReadOutIndex(), 300);
  EXPECT_EQ(FileSize(), 256u + 300u * 48u);
  ASSERT_TRUE(ReadAll());
  EXPECT_EQ(FileSize(), 256u + 300u * 48u);
  EXPECT_EQ(r->doc->Filter().JobState(), jobstate::kFree);

  sim->AddCharges(5);
  sim->SetChargeMax(1000);
  ASSERT_EQ(H().RequestRecordCount(), 1);
  ASSERT_TRUE(Pump([&] { return H().AvailableCount() == 305; }));
  ASSERT_EQ(H().StartNewRecordsReadOut(), 1);
  ASSERT_TRUE(Pump([&] { return H().Job() == 0; }));
  EXPECT_EQ(H().ReadOutIndex(), 305);
  EXPECT_EQ(FileSize(), 256u + 305u * 48u);
  // Each kind-2 index went out once per read-out, as many as the PBX held.
  std::size_t asked = 0;
  for (const CSTAMessage& m : sim->Received())
    if (m.Type() == CSTA_PRIVATE && m.PrivateKind() == EXTPBX_GETSINGLECALLINFOBYIDX) ++asked;
  EXPECT_EQ(asked, 300u + 300u + 5u);
}

TEST_F(ChargesOverThePty, SumsOfSixtyDevices) {
  for (int d = 10; d < 70; ++d) sim->AddCharge(std::to_string(d), "0891", 60, d, 1700000000);
  GlobalConfig().IO1008 = 0;
  // The device count the link start asked for.
  EXPECT_EQ(H().DeviceCount(), 60);
  ASSERT_EQ(H().StartSumsReadOut(), 1);
  ASSERT_TRUE(Pump([&] { return H().Job() == 0; }));
  for (int i = 0; i < 60; ++i) EXPECT_EQ(H().Sum(i), 10 + i) << i;
  EXPECT_EQ(H().DeviceName(59), "69");
  EXPECT_EQ(r->doc->Filter().JobState(), jobstate::kFree);
  ASSERT_EQ(H().DeleteDeviceUnits("*"), 1);
  ASSERT_TRUE(Pump([&] { return H().Job() == 0; }));
  EXPECT_EQ(sim->DeviceUnits(33), 0);
  EXPECT_EQ(H().Sum(5), 0);
}

}  // namespace

namespace {

TEST(PbxSimChargeCommands, FeedTheLog) {
  pbxsim::PbxSim sim;
  std::string out;
  struct Case {
    const char* line;
    std::size_t records;
    bool refused;
  } cases[] = {
      {"charge 21 0891234 90 2 1700000000", 1, false}, {"charges 3", 4, false},      {"chargemax 2", 2, false},
      {"charge 22 0301 30 1", 2, false},              {"chargesilent 2", 2, false}, {"charge 21", 2, true},
      {"chargemax 0", 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(pbxsim::RunCommand(sim, c.line, out)) << c.line;
    EXPECT_EQ(sim.Charges().size(), c.records) << c.line;
    EXPECT_EQ(!out.empty(), c.refused) << c.line;
  }
  EXPECT_EQ(sim.DeviceUnits(21), 2 + 1 + 2 + 3);
  EXPECT_EQ(sim.DeviceUnits(22), 1);
}

TEST(PbxSimChargeCommands, RefusalsAndMarks) {
  pbxsim::PbxSim sim;
  struct Case {
    const char* line;
    const char* out;  // "?" for an error text
  } cases[] = {
      {"chargefail 14 12", ""}, {"chargefail -1", ""},     {"chargefail 14", "?"},
      {"echo mark 1", "mark 1"}, {"echo", "echo"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_TRUE(pbxsim::RunCommand(sim, c.line, out)) << c.line;
    const std::string want = std::string(c.out) == "?" ? "unknown command: " + std::string(c.line) : c.out;
    EXPECT_EQ(out, want) << c.line;
  }
}

}  // namespace
