// The platform's open and save file dialogs behind one interface, so that
// tests answer them by script.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "platform/win32types.h"

namespace plat {

struct FileDialogRequest {
  bool save = false;           // save dialog (asks before replacing) or open dialog
  std::string title;           // Windows-1252
  std::string folder;          // start folder; empty: the working folder
  std::string fileName;        // preset name
  std::string defaultSuffix;   // added when the user types none ("txt")
  // Filters as the platform gives them: "Textdateien (*.txt;*.csv)" pairs of
  // a label and patterns; patterns match without regard to case.
  std::vector<std::pair<std::string, std::string>> filters;
};

class IFileDialog {
 public:
  virtual ~IFileDialog() = default;
  // The chosen path (Linux path), or false when the user cancelled.
  virtual bool Run(WindowId owner, const FileDialogRequest& request, std::string* path) = 0;
};

// The current implementation (the Qt one by default); nullptr restores it.
IFileDialog& FileDialogImpl();
void SetFileDialogImpl(IFileDialog* impl);
bool RunFileDialog(WindowId owner, const FileDialogRequest& request, std::string* path);

// For tests: records each request and answers with the queued paths in
// order; an empty answer, or none left, is a cancel.
class ScriptedFileDialog : public IFileDialog {
 public:
  bool Run(WindowId, const FileDialogRequest& request, std::string* path) override {
    requests.push_back(request);
    if (answers.empty()) return false;
    std::string a = answers.front();
    answers.erase(answers.begin());
    if (a.empty()) return false;
    *path = a;
    return true;
  }
  std::vector<std::string> answers;
  std::vector<FileDialogRequest> requests;
};

}  // namespace plat
