#include "core/base/globallog.h"

#include <cstring>

#include "core/base/globalconfig.h"
#include "platform/paths.h"
#include "platform/textid.h"
#include "platform/trace.h"

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
  const int cause = CTextLogFile::FileErrorCause(err);
  const std::string line = plat::GetTextOr(plat::TextId(52, 3), "") + std::string(" ") + path + ": " +
                           plat::GetTextOr(plat::TextId(53, 14 - cause), "");
  return GlobalLog().WriteEntry(line.c_str());
}

CGlobalLogObject& GlobalLog() {
  static CGlobalLogObject log;
  return log;
}
