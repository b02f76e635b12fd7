// Renders dialogs offscreen to PNG files, so that their look can be checked
// without a display: dlgshot [output folder]
#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/base/globalconfig.h"
#include "core/settingsdlg/generalsettingsdlg.h"
#include "libs/dialogs/kestrum.h"
#include "platform/messages.h"
#include "print/marpel32.h"
#include "platform/dialogkit/dlgscript.h"
#include "platform/eventloop.h"

namespace {

bool g_failed = false;

// A dialog id is unique only within its deliverable, so every shot names it;
// the file name carries it where another deliverable ships the same id.
plat::DialogScript::Steps& Shoot(plat::DialogScript& s, const char* deliverable, int id,
                                 const std::string& out) {
  bool ambiguous = plat::dlg::DeliverablesWithTemplate(id).size() > 1;
  std::string file = out + "/dialog" + (ambiguous ? std::string(deliverable) + "-" : std::string()) +
                     std::to_string(id) + ".png";
  return s.When(deliverable, id).Do([file](plat::Dialog& d) {
    QApplication::processEvents();
    QPixmap shot = d.Window()->grab();
    if (shot.isNull() || !shot.save(QString::fromStdString(file), "PNG")) {
      std::fprintf(stderr, "dlgshot: cannot write %s\n", file.c_str());
      g_failed = true;
    } else {
      std::printf("%s (%dx%d)\n", file.c_str(), shot.width(), shot.height());
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::string out = argc > 1 ? argv[1] : ".";
  // A fixed clock, so the pictures do not change from run to run.
  plat::ManualLoop loop(1772701507);  // 2026-03-05 09:05:07 UTC
  plat::SetEventLoop(&loop);

  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kProgram, 172, out).Press(plat::IDCANCEL);
    CGlobalConfig cfg;
    RunGeneralSettingsDlg(cfg, 0);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kKestrum, 112, out).Press(plat::IDCANCEL);
    DATETIMEPARAMS p{};
    p.size = sizeof p;
    p.flags = KESTRUM_DT_INTIME | KESTRUM_DT_DATEFORMATS | KESTRUM_DT_TIMEFORMATS;
    p.time = plat::WallTime();
    KESTRUMTimeAndDateDialog(&p);
  }
  {
    plat::DialogScript script;
    Shoot(script, plat::dlg::kPrint, 102, out).Press(plat::IDCANCEL);
    struct Owner : plat::IMessageTarget {
      plat::LRESULT OnMessage(const plat::Message&) override { return 0; }
    } owner;
    const plat::WindowId id = plat::RegisterTarget(&owner);
    PAGEPARAMS p{};
    const float values[12] = {0, 15, 15, 10, 4, 0, 0, 8, 270, 180, 297, 210};
    MARPLMEASURE* m = &p.topMargin;
    for (int i = 0; i < 12; ++i) m[i] = {MARPL_UNIT_MM, values[i]};
    p.flags = MARPL_PP_EVENSIDEMARGIN;
    MARPLAPIConfigPageParams(&p, id);
    plat::UnregisterTarget(id);
  }
  plat::SetEventLoop(nullptr);
  return g_failed ? 1 : 0;
}
