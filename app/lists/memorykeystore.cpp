#include "app/lists/memorykeystore.h"

#include "app/lists/shortdialdlg.h"
#include "platform/msgbox.h"

static_assert(CShortDialHandler::kNotSet == IMemoryKeyStore::kNotSet &&
              CShortDialHandler::kDialling == IMemoryKeyStore::kDialling &&
              CShortDialHandler::kPendingSame == IMemoryKeyStore::kAlreadyDialling &&
              CShortDialHandler::kBusy == IMemoryKeyStore::kBusy &&
              CShortDialHandler::kNoHandset == IMemoryKeyStore::kNoHandset);

bool CShortDialMemoryKeys::EditEntry(int n, plat::WindowId owner) {
  return EditShortDialEntry(store_, n, monitors_, owner) == plat::IDOK;
}
