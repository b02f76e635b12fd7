#include "plugins/connections/viewerdlg.h"

#include <QAbstractButton>
#include <QDialog>
#include <QFile>
#include <QPixmap>

#include "platform/dialogkit/dlgsupport.h"
#include "plugins/common/visualstate.h"

namespace dorvane {

namespace {

const char* const kImageFiles[kImageCount] = {"state0", "state1", "state2", "state3", "state4", "state5", "state6",
                                              "state7", "state8", "callid", "time",   nullptr,  "party", "ownparty"};

QIcon Picture(const char* name) {
  return QIcon(QPixmap(QStringLiteral(":/dorvane/icons/%1.xpm").arg(QLatin1String(name))));
}

}  // namespace

bool CConnectionViewerDlg::LoadTemplate(plat::dlg::Template* out, std::string* error) {
  QFile f(QStringLiteral(":/dorvane/129.dlg"));
  if (!f.open(QIODevice::ReadOnly)) {
    if (error) *error = "dialog 129 is missing from the plug-in";
    return false;
  }
  const QByteArray b = f.readAll();
  return plat::dlg::ParseTemplate(std::string(b.constData(), static_cast<std::size_t>(b.size())), out, error);
}

std::vector<QIcon> CConnectionViewerDlg::Images() {
  std::vector<QIcon> images;
  for (const char* name : kImageFiles) images.push_back(name ? Picture(name) : QIcon());
  return images;
}

CConnectionViewerDlg::CConnectionViewerDlg(plat::dlg::Template tpl) : plat::Dialog(std::move(tpl), "dorvane") {}

CConnectionViewerDlg::~CConnectionViewerDlg() {
  // The calls' tree goes with the window; the records need no tree then.
  calls_.SetTree(nullptr);
  DestroyWindow();
}

bool CConnectionViewerDlg::CreateHidden(plat::WindowId parent) {
  parent_ = parent;
  if (!Create(parent)) return false;
  Window()->hide();
  Window()->setAttribute(Qt::WA_DontShowOnScreen, false);
  return true;
}

bool CConnectionViewerDlg::OnInitDialog() {
  QDialog* w = Window();
  // Created hidden: the host shows it when it wants it.
  w->setAttribute(Qt::WA_DontShowOnScreen, true);
  SetTreeImages(IDC_TREE, Images());
  if (auto* pin = qobject_cast<QAbstractButton*>(Item(IDC_PIN))) pin->setIcon(Picture("unpin"));
  watch_ = new pluginkit::WindowWatch(w, plat::dlg::WindowWidget(parent_));
  watch_->onMoved = [this](const pluginkit::WindowRect& r) { position_ = r; };
  // The tree follows the calls only while it can be seen: every event
  // would otherwise pay for widgets nobody looks at.
  watch_->onShown = [this](bool shown) {
    if (shown == treeShown_) return;
    treeShown_ = shown;
    if (shown) {
      calls_.SetTree(this);
      calls_.Rebuild();
    } else {
      calls_.SetTree(nullptr);
      TreeDeleteAll(IDC_TREE);
    }
  };
  return true;
}

void CConnectionViewerDlg::OnDestroy() {
  calls_.SetTree(nullptr);
  treeShown_ = false;
  calls_.Clear();
  watch_ = nullptr;
}

plat::LRESULT CConnectionViewerDlg::OnWindowMessage(const plat::Message& m) {
  QDialog* w = Window();
  if (!w) return 0;
  if (m.msg == kMsgBringToFront) pluginkit::ToFront(w, Id());
  return 0;
}

int CConnectionViewerDlg::VisualState(std::int32_t state, std::int32_t value) {
  QDialog* w = Window();
  if (!w) return DLLIFC_FAILED;
  pluginkit::ApplyVisualState(w, Id(), pluginkit::DecodeVisualState(state), value, watch_);
  return DLLIFC_OK;
}

void CConnectionViewerDlg::SetPosition(const pluginkit::WindowRect& r) {
  // All four 0: nothing was stored, the window stays where it was placed.
  const bool stored = !(r == pluginkit::WindowRect{});
  if (stored) position_ = r;
  if (QDialog* w = Window()) {
    if (stored) pluginkit::WindowWatch::MoveTo(w, r);
    // The stored numbers follow the window's own frame.
    position_ = pluginkit::WindowWatch::RectOf(w);
  }
}

bool CConnectionViewerDlg::OnCommand(int id, plat::Notify code) {
  if (code != plat::Notify::Clicked) return false;
  if (id == IDC_PIN) {
    TogglePin();
    return true;
  }
  if (id == IDC_CLEAR) {
    calls_.Clear();
    return true;
  }
  return false;
}

void CConnectionViewerDlg::Hide() {
  if (QDialog* w = Window()) w->hide();
}

void CConnectionViewerDlg::TogglePin() {
  QDialog* w = Window();
  if (!w) return;
  topmost_ = !topmost_;
  const bool visible = w->isVisible();
  const QPoint at = w->pos();
  w->setWindowFlag(Qt::WindowStaysOnTopHint, topmost_);
  w->move(at);
  if (visible) w->show();  // a change of flags hides the window
  if (auto* pin = qobject_cast<QAbstractButton*>(Item(IDC_PIN))) pin->setIcon(Picture(topmost_ ? "pin" : "unpin"));
}

// ------------------------------------------------------------------ tree

std::int32_t CConnectionViewerDlg::AddTop(const std::string& text, int image) {
  return TreeInsertItem(IDC_TREE, kTreeRoot, text, image);
}

std::int32_t CConnectionViewerDlg::AddChild(std::int32_t parent, const std::string& text, int image) {
  return TreeInsertItem(IDC_TREE, parent, text, image);
}

void CConnectionViewerDlg::SetItem(std::int32_t item, const std::string& text, int image) {
  TreeSetItemText(IDC_TREE, item, text);
  TreeSetItemImage(IDC_TREE, item, image);
}

void CConnectionViewerDlg::Remove(std::int32_t item) { TreeDeleteItem(IDC_TREE, item); }

void CConnectionViewerDlg::RemoveAll() { TreeDeleteAll(IDC_TREE); }

}  // namespace dorvane
