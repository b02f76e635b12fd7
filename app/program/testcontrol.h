// The program driven by a test as a process. PALOMIR_TEST_CONTROL=<fd>
// names a socket on which the program reads one request a line and answers
// each with one line; without it nothing of this runs.
//   command ID  the command, as the main window's menu runs it     -> "ok"
//   tray ID     the tray menu opened and its entry ID chosen       -> "ok"
//   click ID    the button of control id ID pressed in the active
//               modal window (else the active window)      -> "ok" | "none"
//   modal       "modal DEPTH NAME": the platform's open modal loops and
//               the object name of the active modal window ("-": none)
//   windows     "windows NAME...": the visible top-level windows
// Each action runs from the queue, after the answer.
#pragma once
#include <memory>
#include <string>

class CBrimlowView;
class CMainFrame;
class QSocketNotifier;

class CTestControl {
 public:
  static constexpr const char* kEnv = "PALOMIR_TEST_CONTROL";

  // Null when the variable is not set or names no open descriptor.
  static std::unique_ptr<CTestControl> FromEnvironment(CMainFrame& frame, CBrimlowView& view);
  ~CTestControl();
  CTestControl(const CTestControl&) = delete;
  CTestControl& operator=(const CTestControl&) = delete;

  // The answer to one request line.
  std::string Answer(const std::string& line);

 private:
  CTestControl(int fd, CMainFrame& frame, CBrimlowView& view);
  void OnReadable();

  int fd_;
  CMainFrame& frame_;
  CBrimlowView& view_;
  std::string pending_;
  std::unique_ptr<QSocketNotifier> notifier_;
};
