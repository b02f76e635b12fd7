// Jobs bound to recording devices, and the commands as the callers send them.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "print/jobs.h"
#include "print/marpel32.h"
#include "recsurface.h"

namespace printtest {

class PrintTest : public ::testing::Test {
 protected:
  void SetUp() override { marpel::ResetLibrary(); }
  void TearDown() override { marpel::ResetLibrary(); }

  // A printer job on a recording device; 304.8 dpi is 12 units a millimetre.
  std::uint16_t Job(int width = 2400, int height = 3400, double dpiX = 304.8, double dpiY = 304.8,
                    const char* name = "Report.log") {
    const std::uint16_t job = MARPLAPICreatePrintFile(name, 4, 2);
    EXPECT_NE(job, MARPL_NO_JOB);
    rec = std::make_shared<Record>();
    auto s = std::make_unique<RecordingSurface>(rec, width, height, dpiX, dpiY);
    surface = s.get();
    marpel::BindSurface(*marpel::FindJob(job), std::move(s));
    return job;
  }
  std::uint16_t Started(int width = 2400, int height = 3400, double dpiX = 304.8, double dpiY = 304.8) {
    const std::uint16_t job = Job(width, height, dpiX, dpiY);
    EXPECT_EQ(Cmd(job, 1, 0, "Report.log"), 1);
    return job;
  }
  static std::uint16_t Cmd(std::uint16_t job, std::uint16_t cmd, std::uint16_t sub, const char* text = nullptr) {
    return MARPLAPISetSequence(job, cmd, sub, text ? MARPL_KIND_TEXT : MARPL_KIND_NONE, text);
  }
  static std::uint16_t Tex(std::uint16_t job, const char* text) { return MARPLAPISetLaTeXCommand(job, text); }
  static marpel::PageLayout& L(std::uint16_t job) { return marpel::LayoutOf(job); }

  std::shared_ptr<Record> rec;
  RecordingSurface* surface = nullptr;
};

}  // namespace printtest
