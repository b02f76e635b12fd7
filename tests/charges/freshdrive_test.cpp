// The call data file and the charge file named under c:\ on a fresh
// machine: the drive folder and the folders above the file are made when
// the file is first written; a file that cannot be written is told to the
// user once (a box from the queue) however often it fails, and logged each
// time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "charges/calldata/selectedcallinfolist.h"
#include "charges/handler/chargeandloghandler.h"
#include "core/base/globalconfig.h"
#include "core/calls/callinfo.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/support/filefaults.h"

namespace {

namespace fs = std::filesystem;
using testsupport::FileBytes;
using testsupport::PutFile;

const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

class FreshDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = GlobalConfig();
    GlobalConfig().GLO = 1;
    GlobalConfig().GLFN = (root_ / "program.log").string();
    plat::SetTextSource(&TestText);
    plat::SetMessageBoxImpl(&boxes_);
    fs::remove_all(root_);
    fs::create_directories(root_);
    ::setenv("TMPDIR", root_.c_str(), 1);
    // The drive root of a machine that has never run the program.
    plat::SetDriveRoot((root_ / "home" / "drive_c").string());
  }
  void TearDown() override {
    plat::SetDriveRoot("");
    ::unsetenv("TMPDIR");
    plat::SetMessageBoxImpl(nullptr);
    plat::SetTextSource(nullptr);
    GlobalConfig() = saved_;
    fs::remove_all(root_);
  }
  static void Connected(CCallInfo& c) {
    c.direction = CCallInfo::kIncoming;
    c.callingNumber = "0301234";
    c.calledNumber = "21";
    c.beginTime = 1765180800;
    c.endTime = c.beginTime + 60;
    c.connectedMark = 1;
  }
  // Boxes shown once the queue has run.
  std::size_t Boxes() {
    loop_.RunUntilIdle();
    return boxes_.shown.size();
  }
  std::size_t Logged(const std::string& part) const {
    const std::string log = FileBytes((root_ / "program.log").string());
    std::size_t n = 0;
    for (std::size_t p = log.find(part); p != std::string::npos; p = log.find(part, p + 1)) ++n;
    return n;
  }

  plat::ManualLoop loop_;
  plat::ScriptedMessageBox boxes_;
  CGlobalConfig saved_;
  fs::path root_ = fs::temp_directory_path() / ("brimlow_freshdrive_" + std::to_string(::getpid()) + "_" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

}  // namespace

TEST_F(FreshDrive, TheCallDataFileIsMadeWithItsFolders) {
  const std::string path = plat::MapPath("c:\\Daten\\Tel\\callinfo.txt");
  CSelectedCallInformationList list(path);
  EXPECT_EQ(FileBytes(path), "");
  CCallInfo call;
  Connected(call);
  EXPECT_EQ(list.AddCall(&call), 1);
  // Its folders taken away while the program runs: made again.
  fs::remove_all(root_ / "home");
  EXPECT_EQ(list.AddCall(&call), 1);
  EXPECT_EQ(FileBytes(path).find('\n'), FileBytes(path).size() - 1);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(FreshDrive, TheChargeFileIsMadeWithItsFolders) {
  CGlobalConfig config;
  config.CPROCON = 1;
  CChargeAndLogHandler h(&config);
  EXPECT_EQ(h.OpenChargeFile("c:\\Gebuehren\\charproc.log"), 1);
  const fs::path file = root_ / "home" / "drive_c" / "Gebuehren" / "charproc.log";
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), ChargeFileHeader::kSize);
  EXPECT_EQ(Boxes(), 0u);
}

// Each way a file cannot be written: one box per file, whatever the count
// of failures; the log has each one.
TEST_F(FreshDrive, AFileThatCannotBeWrittenIsToldOnce) {
  // A file where the drive folder should be.
  fs::create_directories(root_ / "home");
  PutFile((root_ / "home" / "drive_c").string(), "x");
  const std::string callData = plat::MapPath("c:\\callinfo.txt");
  {
    CSelectedCallInformationList list(callData);
    CCallInfo call;
    Connected(call);
    EXPECT_EQ(list.AddCall(&call), 0);
    EXPECT_EQ(list.AddCall(&call), 0);
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_NE(boxes_.shown[0].text.find("T52.3"), std::string::npos) << boxes_.shown[0].text;
    EXPECT_NE(boxes_.shown[0].text.find(callData), std::string::npos) << boxes_.shown[0].text;
    EXPECT_EQ(Logged(callData), 3u);
  }
  {
    CGlobalConfig config;
    config.CPROCON = 1;
    CChargeAndLogHandler h(&config);
    EXPECT_EQ(h.OpenChargeFile("c:\\charproc.log"), 0);
    EXPECT_EQ(h.OpenChargeFile("c:\\charproc.log"), 0);
    EXPECT_EQ(h.StartAllRecordsReadOut(), 0);
    ASSERT_EQ(Boxes(), 2u);
    EXPECT_NE(boxes_.shown[1].text.find(plat::MapPath("c:\\charproc.log")), std::string::npos);
  }
  EXPECT_EQ(FileBytes((root_ / "home" / "drive_c").string()), "x");

  // A full disk under a file that is there: told once as well.
  fs::remove(root_ / "home" / "drive_c");
  const std::string full = plat::MapPath("c:\\full.txt");
  CSelectedCallInformationList list(full);
  CCallInfo call;
  Connected(call);
  for (int i = 0; i < 3; ++i) {
    testsupport::FileFault fault(plat::io::Op::Write, 1, ENOSPC);
    EXPECT_EQ(list.AddCall(&call), 0);
  }
  EXPECT_EQ(Boxes(), 3u);
  EXPECT_NE(boxes_.shown[2].text.find("T53.1"), std::string::npos) << boxes_.shown[2].text;
  EXPECT_EQ(FileBytes(full), "");
}
