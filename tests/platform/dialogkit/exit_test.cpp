// The program's exit against every kind of modal loop the platform runs:
// the dialog kit's, a dialog opened from a dialog, message boxes and the
// file, colour, font and print dialogs. Each is ended with its cancel,
// innermost first, and once the exit has begun none is shown any more.
#include <QApplication>
#include <QDialog>
#include <QPrinter>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/chooser.h"
#include "platform/dialogkit/dialog.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/dialogkit/dlgtemplate.h"
#include "platform/filedlg.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/printdlg.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

using plat::Dialog;
namespace dlg = plat::dlg;

dlg::Template Small(int id) {
  dlg::Template t;
  std::string err;
  const std::string text = "dialog " + std::to_string(id) +
                           " \"Probe\"\nedit 12\nbutton 60 \"Weiter\"\nrow\n  default 1 \"OK\"\n  button 2 \"Abbrechen\"\nend\n";
  EXPECT_TRUE(dlg::ParseTemplate(text, &t, &err)) << err;
  return t;
}

// Notes every cancel; with endOnCancel false its cancel only reports.
class Noted : public Dialog {
 public:
  Noted(int id, std::vector<std::string>& log) : Dialog(Small(id)), log_(log), id_(id) {}
  bool endOnCancel = true;
  std::function<void()> on60;  // button 60

 protected:
  void OnCancel() override {
    log_.push_back("cancel " + std::to_string(id_));
    if (endOnCancel) Dialog::OnCancel();
  }
  bool OnCommand(int id, plat::Notify code) override {
    if (id == 60 && code == plat::Notify::Clicked && on60) {
      on60();
      return true;
    }
    return false;
  }

 private:
  std::vector<std::string>& log_;
  int id_;
};

// Begins the exit once `depth` modal loops run; a watchdog ends every Qt
// loop after 20 s so that a loop the exit missed fails instead of hanging.
class ExitWhenOpen {
 public:
  explicit ExitWhenOpen(int depth) {
    poll_.setInterval(5);
    QObject::connect(&poll_, &QTimer::timeout, [this, depth] {
      if (plat::ModalLoopDepth() < depth || !QApplication::activeModalWidget()) return;
      poll_.stop();
      plat::BeginExit();
    });
    poll_.start();
    watchdog_.setSingleShot(true);
    QObject::connect(&watchdog_, &QTimer::timeout, [this] {
      fired = true;
      QCoreApplication::exit(1);
    });
    watchdog_.start(20000);
  }
  ~ExitWhenOpen() { plat::ResetExit(); }
  bool fired = false;

 private:
  QTimer poll_, watchdog_;
};

class ModalExit : public ::testing::Test {
 protected:
  void SetUp() override { testapp::App(); }
  void TearDown() override {
    plat::ResetExit();
    EXPECT_EQ(plat::ModalLoopDepth(), 0);
  }
};

TEST_F(ModalExit, EveryKindOfLoopAnswersItsCancel) {
  struct Case {
    const char* name;
    int depth;  // loops the case runs at once (a box counts its own and Qt's)
    std::function<int()> run;
    int expected;
  };
  std::vector<std::string> log;
  const Case cases[] = {
      {"kit dialog", 1, [&] { Noted d(901, log); return d.DoModal(); }, plat::IDCANCEL},
      {"kit dialog whose cancel only reports", 1,
       [&] {
         Noted d(902, log);
         d.endOnCancel = false;
         return d.DoModal();
       },
       plat::IDCANCEL},
      {"box OK", 2, [] { return plat::MessageBox(0, "Hinweis", "", plat::MB_OK); }, plat::IDOK},
      {"box Yes/No", 2, [] { return plat::MessageBox(0, "Frage", "", plat::MB_YESNO); }, plat::IDNO},
      {"box Yes/No/Cancel", 2, [] { return plat::MessageBox(0, "Frage", "", plat::MB_YESNOCANCEL); }, plat::IDCANCEL},
      {"file dialog", 1,
       [] {
         plat::FileDialogRequest r;
         r.title = "Datei";
         std::string path = "unchanged";
         return plat::RunFileDialog(0, r, &path) ? 1 : path == "unchanged" ? 0 : 2;
       },
       0},
      {"colour dialog", 1, [] { return plat::ChooserImpl().ChooseColour(0) ? 1 : 0; }, 0},
      {"font dialog", 1,
       [] {
         std::string face;
         return plat::ChooserImpl().ChooseFont(0, &face) ? 1 : 0;
       },
       0},
      {"print dialog", 1, [] { return plat::QtPrintDialog().Choose(0, "Report.log") ? 1 : 0; }, 0},
  };
  for (const Case& c : cases) {
    log.clear();
    ExitWhenOpen exit(c.depth);
    EXPECT_EQ(c.run(), c.expected) << c.name;
    EXPECT_FALSE(exit.fired) << c.name << ": the exit did not end the loop";
    EXPECT_TRUE(plat::Exiting()) << c.name;
    EXPECT_EQ(plat::ModalLoopDepth(), 0) << c.name;
    // A kit dialog hears the exit as the user's Esc.
    if (std::string(c.name).rfind("kit", 0) == 0) EXPECT_EQ(log.size(), 1u) << c.name;
  }
}

// A dialog opened from a dialog's button: the inner one is ended first,
// then the outer one; what the outer handler does after the inner has
// returned cannot turn the exit's cancel into an OK.
TEST_F(ModalExit, ADialogFromADialogEndsInnermostFirst) {
  std::vector<std::string> log;
  Noted outer(910, log), inner(911, log);
  int innerResult = 0;
  outer.on60 = [&] {
    innerResult = inner.DoModal(outer.Id());
    outer.EndDialog(plat::IDOK);
  };
  QTimer::singleShot(0, [&] { outer.UserPress(60); });
  ExitWhenOpen exit(2);
  EXPECT_EQ(outer.DoModal(), plat::IDCANCEL);
  EXPECT_FALSE(exit.fired);
  EXPECT_EQ(innerResult, plat::IDCANCEL);
  EXPECT_TRUE(outer.EndedForExit());
  EXPECT_EQ(log, (std::vector<std::string>{"cancel 911", "cancel 910"}));
}

// Once the exit has begun nothing modal is shown: dialogs and boxes give
// their cancel at once (a box's text goes to the error output).
TEST_F(ModalExit, NothingModalIsShownOnceTheExitHasBegun) {
  plat::ScriptedMessageBox boxes;
  plat::SetMessageBoxImpl(&boxes);
  plat::BeginExit();
  std::vector<std::string> log;
  Noted d(920, log);
  EXPECT_EQ(d.DoModal(), plat::IDCANCEL);
  EXPECT_FALSE(d.IsCreated());
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(plat::MessageBox(0, "Speichern?", "", plat::MB_YESNO), plat::IDNO);
  EXPECT_EQ(plat::MessageBox(0, "Fehler", "", plat::MB_RETRYCANCEL), plat::IDCANCEL);
  EXPECT_TRUE(boxes.shown.empty());
  plat::SetMessageBoxImpl(nullptr);

  // The exit over (a second run of the program in one process): shown again.
  plat::ResetExit();
  plat::DialogScript script;
  EXPECT_EQ(d.DoModal(), plat::IDCANCEL);
  EXPECT_EQ(script.opened.size(), 1u);
}

// Qt's own reject of a kit dialog (as a window system's request does) ends
// its loop the way the close box does, instead of hiding it with the loop
// still running.
TEST_F(ModalExit, ARejectFromOutsideEndsTheKitsLoop) {
  std::vector<std::string> log;
  Noted d(930, log);
  QTimer::singleShot(0, [&] {
    if (d.Window()) d.Window()->reject();
  });
  bool fired = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    fired = true;
    QCoreApplication::exit(1);
  });
  watchdog.start(20000);
  EXPECT_EQ(d.DoModal(), plat::IDCANCEL);
  EXPECT_FALSE(fired);
  EXPECT_EQ(log, (std::vector<std::string>{"cancel 930"}));
}

}  // namespace
