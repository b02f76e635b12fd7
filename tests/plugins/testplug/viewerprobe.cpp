// Put in the place of the display control when the program itself runs in
// a test: once the program's loop runs, it opens the connection viewer
// through the view's own menu command, moves it when asked, and notes
// where the viewer stands and what its tree shows in a file, one line a
// step.
//   BRIMLOW_VIEWER_PROBE       the file the lines are appended to
//   BRIMLOW_VIEWER_PROBE_MOVE  "x,y": where to move the viewer's window
// Lines: "shown X Y W H" once the command ran (the frame's place and
// size, or "hidden ..."), "moved X Y W H" after a move, and from then on
// "tree TEXT|TEXT..." whenever the tree's top items change.
#include <QApplication>
#include <QObject>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/messages.h"
#include "plugins/dllifc.h"

#define PROBE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

QObject* g_context = nullptr;  // owns the pending steps; gone at Close
DLLIFC_WINDOW g_parent = 0;

constexpr plat::UINT kCommand = 273;
constexpr plat::WPARAM kShowViewer = 32815;
constexpr int kStepMs = 300;

QWidget* Viewer() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("dialog129")) return w;
  return nullptr;
}

void Write(const std::string& line) {
  const char* path = std::getenv("BRIMLOW_VIEWER_PROBE");
  if (!path || !*path) return;
  std::FILE* f = std::fopen(path, "a");
  if (!f) return;
  std::fprintf(f, "%s\n", line.c_str());
  std::fclose(f);
}

void Note(const char* what) {
  const QWidget* w = Viewer();
  const QRect r = w ? w->frameGeometry() : QRect();
  char line[96];
  std::snprintf(line, sizeof line, "%s %d %d %d %d", w && w->isVisible() ? what : "hidden", r.x(), r.y(), r.width(),
                r.height());
  Write(line);
}

std::string g_tree;

void WatchTree() {
  const QWidget* w = Viewer();
  const QTreeWidget* t = w ? w->findChild<QTreeWidget*>(QStringLiteral("1000")) : nullptr;
  std::string tree = "tree ";
  for (int i = 0; t && i < t->topLevelItemCount(); ++i)
    tree += (i ? "|" : "") + t->topLevelItem(i)->text(0).toStdString();
  if (tree != g_tree) Write(g_tree = tree);
}

void StartWatching() {
  auto* timer = new QTimer(g_context);
  QObject::connect(timer, &QTimer::timeout, &WatchTree);
  timer->start(50);
  WatchTree();
}

void Later(void (*step)()) { QTimer::singleShot(kStepMs, g_context, step); }

void Moved() {
  Note("moved");
  StartWatching();
}

void Shown() {
  Note("shown");
  int x = 0, y = 0;
  const char* move = std::getenv("BRIMLOW_VIEWER_PROBE_MOVE");
  if (!move || std::sscanf(move, "%d,%d", &x, &y) != 2) {
    StartWatching();
    return;
  }
  if (QWidget* w = Viewer()) w->move(x, y);
  Later(&Moved);
}

void Open() {
  plat::PostMessage(g_parent, kCommand, kShowViewer);
  Later(&Shown);
}

}  // namespace

PROBE_EXPORT int32_t TARQAPICreate(DLLIFC_WINDOW parent, int32_t, int32_t) {
  if (g_context) return DLLIFC_NO_RESOURCE;
  g_parent = parent;
  g_context = new QObject;
  Later(&Open);
  return DLLIFC_OK;
}

PROBE_EXPORT int32_t TARQAPIClose() {
  delete g_context;
  g_context = nullptr;
  g_tree.clear();
  return DLLIFC_OK;
}

DLLIFC_CHECK_EXPORT(TARQAPI, Create);
DLLIFC_CHECK_EXPORT(TARQAPI, Close);
