// Internal to the call handler: the copy a phone book look-up hands back.
#pragma once
#include <string>

#include "core/callhandler/callhandler.h"
#include "core/iface/databaseinterface.h"

// Posted to the handler's own target by a worker when its look-up is done;
// wParam is the worker's slot.
inline constexpr plat::UINT kWorkerDone = plat::WM_USER + 301;

// What a worker found in the phone book, copied while the phone book was
// held, so that nothing of the phone book's is read outside that lock.
struct CCallHandler::Lookup : public CMyDataBaseParamInterface {
  int refId = -1;
  int requester = 0;
  int result = PBS_NOT_FOUND;  // of the search
  bool hit = false;            // the first hit could be read
  std::string number, company, titleAndName, deflect;

  int GetParam(std::uint32_t id, CDataBaseParam* out) override {
    if (!out) return PBS_NOT_SUPPORTED;
    switch (id) {
      case PBP_NUMBER: return out->SetText(number);
      case PBP_COMPANY: return out->SetText(company);
      case PBP_TITLE_AND_NAME: return out->SetText(titleAndName);
      case PBP_DEFLECT_NUMBER: return out->SetText(deflect);
      default: return PBS_NOT_SUPPORTED;
    }
  }
};

