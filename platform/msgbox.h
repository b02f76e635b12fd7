// Questions and messages to the user behind one interface, so that tests
// answer them by script.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/win32types.h"

namespace plat {

// Button sets and answers with the platform's numbers.
constexpr UINT MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5;
constexpr UINT MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1, IDCANCEL = 2, IDRETRY = 4, IDYES = 6, IDNO = 7;

class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  // text and caption are Windows-1252.
  virtual int Show(WindowId owner, const std::string& text, const std::string& caption, UINT flags) = 0;
};

// The current implementation (a Qt one by default once a QApplication
// exists; before that one that logs the box and answers IDOK).
IMessageBox& MessageBoxImpl();
void SetMessageBoxImpl(IMessageBox* impl);  // nullptr restores the default
// Once the program's exit has begun no box is shown: its text goes to the
// error output and the answer is the cancel of its buttons.
int MessageBox(WindowId owner, const std::string& text, const std::string& caption, UINT flags);
// The cancel of a button set: IDOK for OK alone, IDNO for Yes/No, else IDCANCEL.
int CancelAnswer(UINT flags);
// A box's text on the error output (Windows-1252 converted).
void ToErrorOutput(const std::string& text, const std::string& caption);

// For tests: records every box and gives the queued answers in order (the
// default answer when the queue is empty).
class ScriptedMessageBox : public IMessageBox {
 public:
  struct Shown {
    std::string text, caption;
    UINT flags;
  };
  int Show(WindowId owner, const std::string& text, const std::string& caption, UINT flags) override;
  void QueueAnswer(int answer) { answers_.push_back(answer); }
  int defaultAnswer = IDOK;
  std::vector<Shown> shown;

 private:
  std::vector<int> answers_;
};

class QtMessageBox : public IMessageBox {
 public:
  int Show(WindowId owner, const std::string& text, const std::string& caption, UINT flags) override;
};

}  // namespace plat
