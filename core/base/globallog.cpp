#include "core/base/globallog.h"

#include <cstring>
#include <set>

#include "core/base/globalconfig.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/textid.h"
#include "platform/trace.h"

namespace {

// The standard message, the file and the cause (texts of groups 52 and 53).
std::string FileFailureText(const std::string& path, int err, const char* before, const char* after) {
  const int cause = CTextLogFile::FileErrorCause(err);
  // One text at a time: a text source may hand out one buffer for all.
  std::string text = plat::GetTextOr(plat::TextId(52, 3), "");
  text += before;
  text += path;
  text += after;
  text += plat::GetTextOr(plat::TextId(53, 14 - cause), "");
  return text;
}

// Shows the boxes of unwritable files from the queue: the failure is met
// inside a dispatch or on a worker, never the place for a modal loop.
class FileBoxes : public plat::IMessageTarget {
 public:
  static constexpr plat::UINT kShow = plat::WM_USER + 401;  // payload: the text

  FileBoxes() : id_(plat::RegisterTarget(this)) {}
  void Tell(const std::string& path, const std::string& text) {
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (!told_.insert(path).second) return;
    }
    plat::PostMessage(id_, kShow, 0, 0, text.data(), text.size());
  }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    if (m.msg != kShow) return 0;
    plat::MessageBox(0, std::string(m.payload.begin(), m.payload.end()), plat::GetTextOr(plat::TextId(0, 0), ""),
                     plat::MB_OK | plat::MB_ICONWARNING);
    return 0;
  }

 private:
  plat::WindowId id_;
  std::mutex mu_;
  std::set<std::string> told_;
};

FileBoxes& Boxes() {
  static FileBoxes* boxes = new FileBoxes;  // never destroyed: a failure may come during exit
  return *boxes;
}

}  // namespace

CGlobalLogObject::CGlobalLogObject() : CGlobalLogObject(GlobalConfig()) {}

CGlobalLogObject::CGlobalLogObject(const CGlobalConfig& config) : config_(config) {}

CGlobalLogObject::~CGlobalLogObject() {
  std::lock_guard<std::mutex> lock(mu_);
  if (logWindowOpen_) {
    CloseLogWindow(logWindow_);
    logWindowOpen_ = false;
    logWindow_ = 0;
  }
}

int CGlobalLogObject::WriteEntry(const char* text) {
  if (!text) text = "";
  std::lock_guard<std::mutex> lock(mu_);
  switch (config_.GLO) {
    case 0:
      return 0;
    case 1: {
      const std::string path = plat::MapPath(config_.GLFN);
      if (file_.CreateIfMissing(path.c_str()) == 0) file_.OpenAppend(path.c_str());
      const int written = file_.WriteTimeStampedLine(text);
      // Its own failure is not logged again (that would be this same file).
      const bool closed = file_.CloseChecked();
      return written && closed ? 1 : 0;
    }
    case 2:
      if (!logWindowOpen_) {
        logWindow_ = OpenLogWindow(owner_, 0);
        logWindowOpen_ = logWindow_ != 0;
      }
      // Passed on even when no window opened: the trace side ignores it.
      ProcessLogMessage(logWindow_, text, static_cast<int>(std::strlen(text)));
      return 1;
    default:
      return 1;
  }
}

int CGlobalLogObject::Write(const char* text) { return WriteEntry(text); }

int CGlobalLogObject::WriteStandardMessage(int n) {
  if (n < 0 || n > 6) return 0;
  return WriteEntry(plat::GetTextOr(plat::TextId(52, 6 - n), ""));
}

int CGlobalLogObject::SetOwnerWindow(plat::WindowId window) {
  std::lock_guard<std::mutex> lock(mu_);
  owner_ = window;
  return 1;
}

bool CGlobalLogObject::IsLogWindowOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return logWindowOpen_;
}

int LogFileFailure(const std::string& path, int err) {
  return GlobalLog().WriteEntry(FileFailureText(path, err, " ", ": ").c_str());
}

void ReportUnwritableFile(const std::string& path, int err) {
  LogFileFailure(path, err);
  Boxes().Tell(path, FileFailureText(path, err, "\r\n", "\r\n"));
}

CGlobalLogObject& GlobalLog() {
  static CGlobalLogObject log;
  return log;
}
