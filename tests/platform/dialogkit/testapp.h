// One application object for the dialog tests (offscreen), never torn down
// so that no widget outlives it at exit. Include from one file per test
// program: it also names the system libraries whose leaks are not ours.
#pragma once
#include <QApplication>

extern "C" __attribute__((used)) inline const char* __lsan_default_suppressions() {
  return "leak:libfontconfig\nleak:libQt6Gui\nleak:libQt6Widgets\nleak:libQt6Core\n"
         "leak:libdbus\nleak:libglib\n";
}

namespace testapp {
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "dialogtest";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}
}  // namespace testapp
