#include "platform/launcher.h"

#include <QProcess>
#include <QStringList>
#include <atomic>
#include <cerrno>

#include "platform/qtext.h"

namespace plat {
namespace {

class QtLauncher : public IProcessLauncher {
 public:
  bool StartDetached(const std::string& program, const std::vector<std::string>& args, int* error) override {
    QStringList list;
    for (const std::string& a : args) list << ToQString(a);
    QProcess p;
    p.setProgram(ToQString(program));
    p.setArguments(list);
    if (p.startDetached()) return true;
    // Qt names no errno; a program that cannot be started is most often missing.
    if (error) *error = p.error() == QProcess::FailedToStart ? ENOENT : EIO;
    return false;
  }
};

std::atomic<IProcessLauncher*> g_launcher{nullptr};

}  // namespace

IProcessLauncher& LauncherImpl() {
  static QtLauncher qt;
  IProcessLauncher* l = g_launcher.load();
  return l ? *l : qt;
}

void SetLauncherImpl(IProcessLauncher* impl) { g_launcher.store(impl); }

bool StartDetached(const std::string& program, const std::vector<std::string>& args, int* error) {
  return LauncherImpl().StartDetached(program, args, error);
}

}  // namespace plat
