// Starting another program (the assistant's P1/P2 tools) behind one
// interface, so that tests record what would have been started. No shell is
// involved: the program and its arguments are passed as they are.
#pragma once
#include <string>
#include <vector>

#include "platform/win32types.h"

namespace plat {

class IProcessLauncher {
 public:
  virtual ~IProcessLauncher() = default;
  // Starts program detached with the arguments (Windows-1252). True when it
  // started; else *error (if given) holds the system's error number.
  virtual bool StartDetached(const std::string& program, const std::vector<std::string>& args,
                             int* error) = 0;
};

// The current launcher (the Qt one by default); nullptr restores it.
IProcessLauncher& LauncherImpl();
void SetLauncherImpl(IProcessLauncher* impl);
bool StartDetached(const std::string& program, const std::vector<std::string>& args, int* error = nullptr);

// For tests: records every start and answers with result (error when false).
class RecordingLauncher : public IProcessLauncher {
 public:
  struct Started {
    std::string program;
    std::vector<std::string> args;
  };
  bool StartDetached(const std::string& program, const std::vector<std::string>& args, int* error) override {
    started.push_back(Started{program, args});
    if (!result && error) *error = errorCode;
    return result;
  }
  bool result = true;
  int errorCode = 2;  // ENOENT
  std::vector<Started> started;
};

}  // namespace plat
