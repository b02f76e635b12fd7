#include "platform/filedlg.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>
#include <atomic>

#include "platform/qtext.h"
#include "platform/qtmodal.h"

namespace plat {
namespace {

// "*.txt;*.csv" as Qt writes it, "label (*.[tT][xX][tT] *.[cC][sS][vV])":
// the file systems here tell case apart, the users' files do not.
QString Filter(const std::pair<std::string, std::string>& f) {
  QString patterns;
  for (QChar c : ToQString(f.second)) {
    if (c == QLatin1Char(';')) patterns += QLatin1Char(' ');
    else if (c.isLetter() && c.toLower() != c.toUpper())
      patterns += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
    else patterns += c;
  }
  return ToQString(f.first) + QStringLiteral(" (") + patterns + QStringLiteral(")");
}

class QtFileDialog : public IFileDialog {
 public:
  bool Run(WindowId, const FileDialogRequest& r, std::string* path) override {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    QFileDialog d(nullptr, ToQString(r.title), ToQString(r.folder));
    d.setObjectName(QStringLiteral("filedialog"));
    d.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(r.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    d.setOption(QFileDialog::DontUseNativeDialog, false);
    QStringList filters;
    for (const auto& f : r.filters) filters << Filter(f);
    if (!filters.isEmpty()) d.setNameFilters(filters);
    if (!r.fileName.empty()) d.selectFile(ToQString(r.fileName));
    if (!r.defaultSuffix.empty()) d.setDefaultSuffix(ToQString(r.defaultSuffix));
    if (ExecModal(d) != QDialog::Accepted || d.selectedFiles().isEmpty()) return false;
    *path = d.selectedFiles().front().toLocal8Bit().toStdString();
    return true;
  }
};

std::atomic<IFileDialog*> g_impl{nullptr};

}  // namespace

IFileDialog& FileDialogImpl() {
  static QtFileDialog qt;
  IFileDialog* d = g_impl.load();
  return d ? *d : qt;
}

void SetFileDialogImpl(IFileDialog* impl) { g_impl.store(impl); }

bool RunFileDialog(WindowId owner, const FileDialogRequest& request, std::string* path) {
  return FileDialogImpl().Run(owner, request, path);
}

}  // namespace plat
