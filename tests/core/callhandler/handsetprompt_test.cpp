// Dialog 184 on the dialog kit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "core/callhandler/handsetprompt.h"
#include "platform/eventloop.h"

namespace {
int argc = 1;
char arg0[] = "handsetprompt_test";
char* argv[] = {arg0, nullptr};
}  // namespace

TEST(HandsetPrompt, LiftingTheHandsetEndsItWithOk) {
  QApplication app(argc, argv);
  plat::QtEventLoop loop;
  CHandsetPromptDlg dlg;
  QTimer::singleShot(0, [&] {
    EXPECT_EQ(dlg.GetTemplate().id, 184);
    EXPECT_EQ(dlg.GetItemText(CHandsetPromptDlg::IDC_PROMPTTEXT), "Bitte nehmen Sie den H\xf6rer ab!");
    dlg.Lifted();
  });
  EXPECT_EQ(dlg.Show(), 1);
  QTimer::singleShot(0, [&] { dlg.UserPress(2); });
  EXPECT_EQ(dlg.Show(), 2);
}

// The program's exit ends the prompt like its cancel, and a prompt asked
// for while the program ends is not shown: nobody lifts a handset for it.
TEST(HandsetPrompt, TheProgramsExitEndsItWithCancel) {
  QApplication app(argc, argv);
  plat::QtEventLoop loop;
  CHandsetPromptDlg dlg;
  QTimer::singleShot(0, [] { plat::BeginExit(); });
  EXPECT_EQ(dlg.Show(), 2);
  EXPECT_TRUE(dlg.EndedForExit());
  EXPECT_EQ(dlg.Show(), 2);
  EXPECT_FALSE(dlg.IsCreated());
  plat::ResetExit();
}
