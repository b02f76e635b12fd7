// The program-wide log: each entry goes to the log file or to the log
// trace window, as the configuration's GLO says. Safe from worker threads.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>

#include "core/base/textlogfile.h"
#include "platform/win32types.h"

class CGlobalConfig;

class CGlobalLogObject {
 public:
  CGlobalLogObject();  // reads the program's configuration
  explicit CGlobalLogObject(const CGlobalConfig& config);
  virtual ~CGlobalLogObject();
  CGlobalLogObject(const CGlobalLogObject&) = delete;
  CGlobalLogObject& operator=(const CGlobalLogObject&) = delete;

  // GLO 0: nothing (0). 1: a time-stamped line appended to the file GLFN
  // (1, or 0 when it could not be written). 2: the text to the log window,
  // opened on first use. Others: 1.
  virtual int WriteEntry(const char* text);
  virtual int Write(const char* text);
  // One of the seven standard messages, n from 0 to 6; else nothing (0).
  virtual int WriteStandardMessage(int n);
  virtual int SetOwnerWindow(plat::WindowId window);

  bool IsLogWindowOpen() const;

 private:
  const CGlobalConfig& config_;
  mutable std::mutex mu_;
  CTextLogFile file_;
  bool logWindowOpen_ = false;
  std::uint32_t logWindow_ = 0;
  plat::WindowId owner_ = 0;
};

// The program's single log.
CGlobalLogObject& GlobalLog();

// Logs that a file could not be written: the standard message for it, the
// file and the cause (texts of groups 52 and 53). Returns what WriteEntry
// returns.
int LogFileFailure(const std::string& path, int err);

// A file of the user's that cannot be written: logged each time as
// LogFileFailure does, and told to the user once per file and run, in a box
// from the queue (the same texts and the file's name). Any thread.
void ReportUnwritableFile(const std::string& path, int err);
