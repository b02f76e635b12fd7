#include "platform/dialogkit/dlgsupport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <vector>

#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/qtext.h"
#include "platform/text.h"

namespace plat::dlg {
namespace {

HelpAddFn g_add = nullptr;
HelpDeleteFn g_del = nullptr;
HelpGetFn g_get = nullptr;
// Fallback table, oldest first, with the same lookup rule as the library.
std::vector<std::pair<std::uint32_t, std::int32_t>> g_table;
std::string g_helpFile;
HelpViewer g_viewer;
QPointer<QDialog> g_helpWindow;

std::map<WindowId, QPointer<QWidget>> g_widgets;
std::map<WindowId, bool> g_disabled;  // windows without a widget
WindowId g_foreground = 0;

void DefaultViewer(std::int32_t ctx, const std::string& title, const std::string& body) {
  if (!g_helpWindow) {
    g_helpWindow = new QDialog(nullptr);
    g_helpWindow->setAttribute(Qt::WA_DeleteOnClose);
    auto* lay = new QVBoxLayout(g_helpWindow);
    auto* head = new QLabel(g_helpWindow);
    head->setObjectName(QStringLiteral("title"));
    QFont f = head->font();
    f.setBold(true);
    head->setFont(f);
    auto* text = new QPlainTextEdit(g_helpWindow);
    text->setReadOnly(true);
    text->setObjectName(QStringLiteral("body"));
    auto* box = new QDialogButtonBox(QDialogButtonBox::Close, g_helpWindow);
    QObject::connect(box, &QDialogButtonBox::rejected, g_helpWindow.data(), &QDialog::close);
    lay->addWidget(head);
    lay->addWidget(text);
    lay->addWidget(box);
    g_helpWindow->resize(420, 300);
  }
  g_helpWindow->setWindowTitle(QStringLiteral("Hilfe"));
  g_helpWindow->findChild<QLabel*>(QStringLiteral("title"))->setText(ToQString(title));
  QString b = body.empty() && ctx >= 0
                  ? QStringLiteral("Zu diesem Thema gibt es keinen Hilfetext (%1).").arg(ctx)
                  : ToQString(body);
  g_helpWindow->findChild<QPlainTextEdit*>(QStringLiteral("body"))->setPlainText(b);
  g_helpWindow->show();
  g_helpWindow->raise();
}

}  // namespace

void SetHelpIdHooks(HelpAddFn add, HelpDeleteFn del, HelpGetFn get) {
  g_add = add;
  g_del = del;
  g_get = get;
}

int AddHelpId(WindowId window, std::int32_t contextId) {
  if (g_add) return g_add(window, contextId);
  g_table.emplace_back(window, contextId);
  return 0;
}

int DeleteHelpId(WindowId window) {
  if (g_del) return g_del(window);
  for (auto it = g_table.begin(); it != g_table.end(); ++it)
    if (it->first == window) {
      g_table.erase(it);
      return 0;
    }
  return -1;
}

std::int32_t GetHelpId(WindowId window) {
  if (g_get) return g_get(window);
  for (const auto& e : g_table)
    if (e.first == window) return e.second;
  return -1;
}

void SetHelpFile(const std::string& path) { g_helpFile = path; }

std::string HelpFile() { return g_helpFile.empty() ? ExeDir() + "/velt_ger.hlp" : g_helpFile; }

bool FindHelpTopic(const std::string& file, std::int32_t contextId, std::string* title,
                   std::string* body) {
  bool inTopic = false, found = false;
  std::string t, b;
  std::size_t pos = 0;
  while (pos < file.size()) {
    auto nl = file.find('\n', pos);
    std::string line = file.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
    pos = nl == std::string::npos ? file.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '#') continue;
    if (!line.empty() && line[0] == '[') {
      if (inTopic) break;
      auto close = line.find(']');
      if (close == std::string::npos) continue;
      std::string num = line.substr(1, close - 1);
      char* end = nullptr;
      long id = std::strtol(num.c_str(), &end, 10);
      if (!num.empty() && end && *end == '\0' && id == contextId) {
        inTopic = found = true;
        t = line.substr(close + 1);
        while (!t.empty() && t[0] == ' ') t.erase(0, 1);
      }
      continue;
    }
    if (inTopic) b += line + "\n";
  }
  if (!found) return false;
  while (!b.empty() && (b.back() == '\n' || b.back() == ' ')) b.pop_back();
  while (!b.empty() && b[0] == '\n') b.erase(0, 1);
  if (title) *title = Utf8ToCp1252(t);
  if (body) *body = Utf8ToCp1252(b);
  return true;
}

std::int32_t ShowHelpFor(WindowId window) {
  std::int32_t ctx = GetHelpId(window);
  if (ctx < 0) return -1;
  std::string title, body;
  QFile f(QString::fromStdString(HelpFile()));
  if (f.open(QIODevice::ReadOnly)) {
    QByteArray all = f.readAll();
    FindHelpTopic(std::string(all.constData(), static_cast<std::size_t>(all.size())), ctx, &title,
                  &body);
  }
  if (g_viewer) g_viewer(ctx, title, body);
  else DefaultViewer(ctx, title, body);
  return ctx;
}

void SetHelpViewer(HelpViewer viewer) { g_viewer = std::move(viewer); }

void SetWindowWidget(WindowId window, QWidget* widget) {
  if (widget) g_widgets[window] = widget;
  else g_widgets.erase(window);
}

QWidget* WindowWidget(WindowId window) {
  auto it = g_widgets.find(window);
  return it == g_widgets.end() ? nullptr : it->second.data();
}

bool EnableWindow(WindowId window, bool enable) {
  bool wasDisabled;
  if (QWidget* w = WindowWidget(window)) {
    wasDisabled = !w->isEnabled();
    w->setEnabled(enable);
  } else {
    wasDisabled = g_disabled[window];
    if (enable) g_disabled.erase(window);
    else g_disabled[window] = true;
  }
  return wasDisabled;
}

bool IsWindowEnabled(WindowId window) {
  if (QWidget* w = WindowWidget(window)) return w->isEnabled();
  auto it = g_disabled.find(window);
  return it == g_disabled.end() || !it->second;
}

void SetForegroundWindow(WindowId window) {
  g_foreground = window;
  if (QWidget* w = WindowWidget(window)) {
    w->raise();
    w->activateWindow();
  }
}

WindowId LastForegroundWindow() { return g_foreground; }

}  // namespace plat::dlg
