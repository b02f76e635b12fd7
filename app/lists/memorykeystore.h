// The speed-dial store as the assistant window's memory keys see it: its
// entries 1 to 12, and the editor (dialog 107) for an unset key.
#pragma once
#include <string>

#include "app/callwin/memorykeys.h"
#include "app/lists/shortdial.h"

class CMonitorTable;

class CShortDialMemoryKeys : public IMemoryKeyStore {
 public:
  CShortDialMemoryKeys(CShortDialHandler& store, CMonitorTable* monitors) : store_(store), monitors_(monitors) {}
  // The store's results; its "not dialled" (4) asks nothing of the keys.
  int DialEntry(int n) override { return store_.DialEntry(n); }
  std::string GetEntryText(int n) override { return store_.GetEntryText(n); }
  std::string GetEntryNumber(int n) override { return store_.GetEntryNumber(n); }
  bool EditEntry(int n, plat::WindowId owner) override;

 private:
  CShortDialHandler& store_;
  CMonitorTable* monitors_;
};
