#include "app/lists/memorykeystore.h"

#include "app/lists/shortdialdlg.h"
#include "platform/msgbox.h"

// The keys read the store's results by number.
static_assert(int{CShortDialHandler::kNotSet} == int{IMemoryKeyStore::kNotSet} &&
              int{CShortDialHandler::kDialling} == int{IMemoryKeyStore::kDialling} &&
              int{CShortDialHandler::kPendingSame} == int{IMemoryKeyStore::kAlreadyDialling} &&
              int{CShortDialHandler::kBusy} == int{IMemoryKeyStore::kBusy} &&
              int{CShortDialHandler::kNoHandset} == int{IMemoryKeyStore::kNoHandset});

bool CShortDialMemoryKeys::EditEntry(int n, plat::WindowId owner) {
  return EditShortDialEntry(store_, n, monitors_, owner) == plat::IDOK;
}
