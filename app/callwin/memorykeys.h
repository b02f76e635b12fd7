// What the assistant's memory keys M1 to M12 need of the speed-dial store
// and of its entry editor (dialog 107). Entries are numbered 1 to 12.
#pragma once
#include <string>

#include "platform/win32types.h"

class IMemoryKeyStore {
 public:
  // Results of DialEntry.
  enum { kNotSet = 0, kDialling = 1, kAlreadyDialling = 2, kBusy = 3, kNoHandset = 5 };

  virtual ~IMemoryKeyStore() = default;
  virtual int DialEntry(int n) = 0;
  // "*" for an entry that is not set.
  virtual std::string GetEntryText(int n) = 0;
  virtual std::string GetEntryNumber(int n) = 0;
  // The editor for entry n, modal; OK stores the entry. True on OK.
  virtual bool EditEntry(int n, plat::WindowId owner) = 0;
};
