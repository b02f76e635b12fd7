// The command line of the assistant's program keys P1 and P2: the setting
// names a program and its arguments, one of which may carry the partner's
// number through the token "%RemoteNumber%". No shell ever sees it.
#pragma once
#include <string>
#include <vector>

struct ProgramCommand {
  std::string program;
  std::vector<std::string> args;
  // The partner's number was not a dial string and was left out.
  bool numberRefused = false;
};

inline constexpr const char* kRemoteNumberToken = "%RemoteNumber%";

// Words are split at blanks and tabs; double quotes group blanks into one
// word and are dropped. The first occurrence of the token inside an
// argument becomes the number when it consists of 0-9 + * # only, else
// nothing. False when the setting names no program.
bool BuildProgramCommand(const std::string& setting, const std::string& number, ProgramCommand* out);

// True for a non-empty text of 0-9 + * # only.
bool IsDialString(const std::string& number);
