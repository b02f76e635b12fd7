// Incoming calls of the own workstation. The main thread settles the
// record's state and slot before any worker starts; a worker only looks the
// caller up in the phone book and posts a copy of what it found; the main
// thread finds the record again by its reference id and finishes the work.
#include <system_error>
#include <utility>

#include "core/callhandler/callhandler.h"
#include "core/callhandler/lookup_p.h"
#include "core/iface/pbxlink.h"
#include "core/iface/viewhub.h"
#include "core/monitor/monitortable.h"
#include "core/iface/databaseinterface.h"
#include "platform/text.h"


void CCallHandler::PrepareIncoming(CCallInfo* call, int requester, std::string* lookupNumber) {
  call->generatorId = requester;
  if (requester == 999) call->direction = CCallInfo::kIncoming;
  lookupNumber->clear();
  if (call->direction == CCallInfo::kIncoming) {
    call->state = CCallInfo::kRinging;
    *lookupNumber = call->callingNumber;
  } else if (call->direction == CCallInfo::kOutgoing) {
    call->state = CCallInfo::kDialling;
    *lookupNumber = call->calledNumber;
  }
  if (!current_ || current_ == call) current_ = call;
  else second_ = call;
}

int CCallHandler::StartIncomingCall(CCallInfo* call, int requester) {
  if (!call) return -1;
  std::string number;
  PrepareIncoming(call, requester, &number);
  call->busy = 1;
  const int refId = call->callRefId;
  {
    std::lock_guard<std::mutex> lock(workersMu_);
    const std::size_t slot = nextSlot_++;
    try {
      workers_[slot].thread = std::thread([this, slot, refId, requester, number] {
        std::unique_ptr<Lookup> found = LookupParty(number);
        found->refId = refId;
        found->requester = requester;
        {
          std::lock_guard<std::mutex> resultLock(workersMu_);
          workers_[slot].result = std::move(found);
        }
        plat::PostMessage(self_, kWorkerDone, slot, 0);
      });
      return 0;
    } catch (const std::system_error&) {
      workers_.erase(slot);
    }
  }
  // No thread to be had: look the caller up here, as for a second call.
  std::unique_ptr<Lookup> found = LookupParty(number);
  found->refId = refId;
  found->requester = requester;
  return FinishIncoming(call, requester, found.get());
}

int CCallHandler::IncomingCall(CCallInfo* call, int requester) {
  if (!call) return -1;
  std::string number;
  PrepareIncoming(call, requester, &number);
  std::unique_ptr<Lookup> found = LookupParty(number);
  found->refId = call->callRefId;
  found->requester = requester;
  return FinishIncoming(call, requester, found.get());
}

int CCallHandler::FinishIncoming(CCallInfo* call, int requester, const Lookup* found) {
  const bool known = found && found->result == PBS_FOUND;
  if (known && found->hit) call->SetPartyFromParams(const_cast<Lookup*>(found));

  // Call handling stored with the caller (the party take-over above resets
  // it for incoming calls, so today none of these runs).
  if (call->direction == CCallInfo::kIncoming && call->callHandling != 0 && known) {
    CCallInfo work;
    work.CopyFrom(*call);
    switch (call->callHandling) {
      case 1:
        work.calledNumber = monitors ? monitors->GetCollectorPhone() : std::string();
        call->callingNumber += " !";
        DeflectCall(&work, kUserId);
        return 0;
      case 2:
        work.callingNumber = call->calledNumber;
        work.calledNumber = found->deflect;
        call->callingNumber += " !";
        DeflectCall(&work, kUserId);
        break;
      case 3:
        call->callingNumber += " !";
        ClearCall(call, kUserId);
        return 0;
      default:
        break;
    }
  }

  if (call->state == CCallInfo::kIdle || call->connectedMark != 0) return -1;

  if (call == current_) {
    Hub(hub::kCallActive, kUserId, call);
    if (known) {
      int result = PBS_NOT_FOUND;
      HubMatch(call, FindFirstHit(call->direction == CCallInfo::kOutgoing ? call->calledNumber : call->callingNumber,
                                  &result));
    } else if (call->callingName.empty() && call->callingCompany.empty() && !call->callingNumber.empty() &&
               call->calledCompany.empty() && call->calledName.empty() && call->external) {
      if (view) plat::SendMessage(view, hub::kAskNewRecord, kUserId, 0);
    }
    TraceRef("IncomingCall: CR-ID:", call, requester);
    return 0;
  }
  if (call == second_) {
    Hub(hub::kSecondCall, kUserId, call);
    TraceRef("Incoming2ndCall: CR-ID:", call, requester);
    return 0;
  }
  return 0;
}

int CCallHandler::CreateRecordForCall(const std::string& partner) {
  // The number is the one the user was asked about: by the time they
  // answer, that call may have ended or another one may be current.
  if (!phoneBook || partner.empty()) return 0;
  bool stored = false;
  {
    std::lock_guard<std::mutex> lock(phoneBookMu_);
    CMyDataBaseParamInterface* rec = nullptr;
    if (phoneBook->NewRecord(&rec) != PBS_DONE || !rec) return 0;
    CDataBaseIdList ids;
    ids.Allocate(1);
    ids.SetAt(0, 0);
    CDataBaseParam p;
    p.SetText(partner);
    rec->SetParam(PBP_NUMBER, p, &ids);
    p.SetText("New");
    rec->SetParam(PBP_COMPANY, p, &ids);
    stored = phoneBook->UpdateRecord(&rec) == PBS_DONE;
  }
  if (stored) {
    int result = PBS_NOT_FOUND;
    CCallInfo* call = current_ && current_->GetPartnerNumber(GetOwnNumber()) == partner ? current_ : nullptr;
    HubMatch(call, FindFirstHit(partner, &result));
  }
  return stored ? 1 : 0;
}
