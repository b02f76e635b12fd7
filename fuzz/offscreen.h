// The offscreen application of a fuzz target that draws: made on the first
// input and kept for the process (App: QGuiApplication or QApplication).
#pragma once
#include <cstdlib>

namespace fuzzapp {

template <class App>
inline void Offscreen(const char* name) {
  static App* app = [name] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    return new App(argc, argv);
  }();
  (void)app;
}

}  // namespace fuzzapp
