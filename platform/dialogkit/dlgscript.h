// Scripted modal dialogs for tests: "when dialog 107 opens, set control
// 1124 to X and press 1". While a script object exists, every modal dialog
// runs its queued steps (or ends at once with defaultResult when nothing is
// queued for it) instead of waiting for a user.
#pragma once
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogkit/dialog.h"

namespace plat {

class DialogScript {
 public:
  class Steps {
   public:
    Steps& Set(int id, const std::string& text);  // Windows-1252
    Steps& Check(int id, int state = 1);
    Steps& Select(int id, int index);
    Steps& SelectText(int id, const std::string& text);
    Steps& Press(int id);
    Steps& DoubleClick(int id, int index = -1);
    Steps& Key(int qtKey);
    Steps& Do(std::function<void(Dialog&)> fn);

   private:
    friend class DialogScript;
    std::vector<std::function<bool(Dialog&, std::string*)>> steps_;
  };

  struct Opened {
    int resourceId = 0;
    std::string deliverable;
    int result = 0;
    bool scripted = false;
    bool endedByScript = false;  // false: the steps left it open; it was cancelled
    std::string caption;         // Windows-1252
  };

  DialogScript();
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // Queues the steps for the next opening of that dialog. The id alone
  // matches that dialog of any deliverable; name the deliverable where the
  // id is ambiguous (kestrum's 123 and the program's 123).
  Steps& When(int resourceId);
  Steps& When(const std::string& deliverable, int resourceId);

  int defaultResult = IDCANCEL;
  std::vector<Opened> opened;
  std::vector<std::string> errors;  // steps that could not be done

  // Used by Dialog::DoModal.
  static DialogScript* Active();
  int Run(Dialog& d);

 private:
  std::map<std::pair<std::string, int>, std::deque<Steps>> queued_;
  DialogScript* previous_;
};

}  // namespace plat
