// brimlow: the program.
#include <QApplication>

#include "app/program/brimlowapp.h"
#include "platform/eventloop.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  // The program ends only through its exit command, never because its
  // last window went.
  QApplication::setQuitOnLastWindowClosed(false);
  plat::QtEventLoop loop;
  CBrimlowApp app;
  return app.Run();
}
