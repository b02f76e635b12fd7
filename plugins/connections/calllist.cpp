#include "plugins/connections/calllist.h"

#include <algorithm>
#include <new>

#include "platform/eventloop.h"
#include "platform/text.h"

namespace dorvane {

using pluginkit::Connection;
using pluginkit::ReadConnection;
using pluginkit::ReadDevice;
using pluginkit::ReadU16;
using pluginkit::ReadU32;
using pluginkit::SameText;

namespace {

constexpr std::uint16_t kConnectionCleared = 56, kDelivered = 57, kEstablished = 59, kHeldEvent = 61,
                        kRetrievedEvent = 65, kServiceInitiated = 66, kTransferred = 67;
// Record offsets.
constexpr std::size_t kConnectionAt = 10;
constexpr std::size_t kCallingDeviceAt = 148;
constexpr std::size_t kCalledDeviceAt = 216;
constexpr std::size_t kTransferAt[4] = {10, 80, 286, 424};

const char* const kStateNames[] = {"Idle", "Initiated", "Dialing", "Ringing", "Connected",
                                   "Held", "Queued", "Disconnected", "Error"};

std::string ItemText(const CallRecord& r) {
  const char* name = StateName(r.state);
  if (r.state >= kDialing && r.state <= kHeld)
    return plat::StrFormatC("%s (%s) - %s", r.device.data(), name, r.partner.data());
  return plat::StrFormatC("%s (%s)", r.device.data(), name);
}

std::string TimeText(std::time_t t) {
  std::tm tm{};
  char buf[16] = "";
  if (localtime_r(&t, &tm)) std::strftime(buf, sizeof buf, "%H:%M:%S", &tm);
  return buf;
}

}  // namespace

const char* StateName(int state) { return state >= 0 && state <= kError ? kStateNames[state] : ""; }

CCallList::~CCallList() = default;

std::size_t CCallList::Size() const {
  std::lock_guard<std::mutex> lk(listMu_);
  return calls_.size();
}

std::vector<CCallList::View> CCallList::Records() const {
  std::lock_guard<std::mutex> lk(listMu_);
  std::vector<View> out;
  for (const auto& r : calls_) {
    std::lock_guard<std::mutex> rk(r->mu);
    out.push_back(View{r->callId, r->device.data(), r->partner.data(), r->text, r->state, r->direction, r->item,
                       r->children});
  }
  return out;
}

// ------------------------------------------------------------------ finding

CallRecord* CCallList::Find(std::uint32_t callId, const Text& device) const {
  for (const auto& r : calls_)
    if (r->callId == callId && SameText(r->device, device)) return r.get();
  return nullptr;
}

CallRecord* CCallList::FindByCrossRef(std::uint32_t callId, std::uint32_t crossRefId) const {
  for (const auto& r : calls_)
    if (r->callId == callId && r->device[0] == '\0' && r->crossRefId == crossRefId) return r.get();
  return nullptr;
}

CallRecord* CCallList::FindOnlyLiveOn(const Text& device) const {
  // By device alone only when nothing else could be meant.
  CallRecord* found = nullptr;
  for (const auto& r : calls_) {
    if (!SameText(r->device, device) || r->state == kDisconnected) continue;
    if (found) return nullptr;
    found = r.get();
  }
  return found;
}

CallRecord* CCallList::Create(std::uint32_t callId, const Text& device, std::uint32_t crossRefId) {
  auto r = std::make_unique<CallRecord>();
  r->callId = callId;
  r->device = device;
  r->crossRefId = crossRefId;
  calls_.push_back(std::move(r));
  return calls_.back().get();
}

CallRecord* CCallList::FindOrCreate(std::uint32_t callId, const Text& device, std::uint32_t crossRefId) {
  if (CallRecord* r = Find(callId, device)) return r;
  return Create(callId, device, crossRefId);
}

void CCallList::Delete(CallRecord* r) {
  {
    std::lock_guard<std::mutex> rk(r->mu);
    if (tree_ && r->item) tree_->Remove(r->item);
    r->item = 0;
    r->children.fill(0);
  }
  calls_.erase(std::remove_if(calls_.begin(), calls_.end(), [r](const auto& p) { return p.get() == r; }),
               calls_.end());
}

void CCallList::GiveItem(CallRecord* r) {
  if (r->item) return;
  if (!r->started) {
    r->start = plat::WallTime();
    r->started = true;
  }
  if (tree_) {
    r->item = tree_->AddTop(ItemText(*r), r->state);
    r->shownImage = r->state;
  }
}

void CCallList::SetTree(ICallTree* tree) {
  std::lock_guard<std::mutex> dk(dispatchMu_);
  std::lock_guard<std::mutex> lk(listMu_);
  tree_ = tree;
  for (const auto& r : calls_) {
    std::lock_guard<std::mutex> rk(r->mu);
    r->item = 0;
    r->children.fill(0);
    r->shownImage = r->shownDirection = -1;
  }
}

void CCallList::Rebuild() {
  std::lock_guard<std::mutex> dk(dispatchMu_);
  std::lock_guard<std::mutex> lk(listMu_);
  if (!tree_) return;
  for (const auto& r : calls_) {
    if (!r->started) continue;  // never had an item
    {
      std::lock_guard<std::mutex> rk(r->mu);
      GiveItem(r.get());
    }
    Refresh(r.get());
  }
}

// ---------------------------------------------------------------- dispatch

int CCallList::Dispatch(const unsigned char* m) {
  if (!m) return 1;
  std::lock_guard<std::mutex> dk(dispatchMu_);
  try {
    switch (ReadU16(m, pluginkit::kTypeAt)) {
      case kConnectionCleared: return OnCleared(m);
      case kDelivered: return OnDeliveredOrEstablished(m, false);
      case kEstablished: return OnDeliveredOrEstablished(m, true);
      case kHeldEvent: return OnHeldOrRetrieved(m, kHeld);
      case kRetrievedEvent: return OnHeldOrRetrieved(m, kConnected);
      case kServiceInitiated: return OnServiceInitiated(m);
      case kTransferred: return OnTransferred(m);
      default: return 0;
    }
  } catch (const std::bad_alloc&) {
    // A record or a text that could not be made: this event is lost, the
    // next one is handled.
    return 1;
  }
}

int CCallList::OnCleared(const unsigned char* m) {
  const Connection c = ReadConnection(m, kConnectionAt);
  std::lock_guard<std::mutex> lk(listMu_);
  CallRecord* r = Find(c.callId, c.device);
  if (!r) r = FindByCrossRef(c.callId, ReadU32(m, pluginkit::kCrossRefAt));
  if (!r && c.device[0] != '\0') r = FindOnlyLiveOn(c.device);
  // A cleared call leaves the list: kept, it would grow for ever and a
  // recurring call id would find it again without a tree item.
  if (r) Delete(r);
  return 0;
}

int CCallList::OnDeliveredOrEstablished(const unsigned char* m, bool established) {
  const Connection c = ReadConnection(m, kConnectionAt);
  Text calling, called;
  ReadDevice(m, kCallingDeviceAt, calling);
  ReadDevice(m, kCalledDeviceAt, called);
  std::lock_guard<std::mutex> lk(listMu_);
  CallRecord* r = FindOrCreate(c.callId, c.device, ReadU32(m, pluginkit::kCrossRefAt));
  {
    std::lock_guard<std::mutex> rk(r->mu);
    const bool own = SameText(r->device, calling);
    r->state = established ? kConnected : own ? kDialing : kRinging;
    r->direction = own ? kOwnSide : kIncoming;
    r->partner = own ? called : calling;
    GiveItem(r);
  }
  Refresh(r);
  return 0;
}

int CCallList::OnHeldOrRetrieved(const unsigned char* m, int state) {
  const Connection c = ReadConnection(m, kConnectionAt);
  std::lock_guard<std::mutex> lk(listMu_);
  CallRecord* r = Find(c.callId, c.device);
  if (!r) return 0;
  {
    std::lock_guard<std::mutex> rk(r->mu);
    r->state = state;
  }
  Refresh(r);
  return 0;
}

int CCallList::OnServiceInitiated(const unsigned char* m) {
  const Connection c = ReadConnection(m, kConnectionAt);
  std::lock_guard<std::mutex> lk(listMu_);
  const Text none{};
  CallRecord* r = Find(c.callId, none);
  if (!r) r = FindOrCreate(c.callId, c.device, ReadU32(m, pluginkit::kCrossRefAt));
  {
    std::lock_guard<std::mutex> rk(r->mu);
    r->state = kInitiated;
    r->direction = kOwnSide;
    // The event names no partner: it stays as it is.
    GiveItem(r);
  }
  Refresh(r);
  return 0;
}

int CCallList::OnTransferred(const unsigned char* m) {
  Connection conn[4];
  for (int i = 0; i < 4; ++i) conn[i] = ReadConnection(m, kTransferAt[i]);
  std::lock_guard<std::mutex> lk(listMu_);
  CallRecord* found[4] = {};
  for (int i = 0; i < 4; ++i)
    if (!conn[i].IsZero()) found[i] = Find(conn[i].callId, conn[i].device);
  // The old calls of the transferring party (first two) end for it; so
  // does any other named record on that party's device.
  const auto isParty = [&](const CallRecord* r) {
    return (conn[0].device[0] && SameText(r->device, conn[0].device)) ||
           (conn[1].device[0] && SameText(r->device, conn[1].device));
  };
  for (int i = 0; i < 4; ++i) {
    CallRecord* r = found[i];
    if (!r) continue;
    for (int j = i + 1; j < 4; ++j)
      if (found[j] == r) found[j] = nullptr;  // named twice, handled once
    if (i < 2 || isParty(r)) {
      Delete(r);
      found[i] = nullptr;
    }
  }
  // The resulting connections are connected now.
  for (int i = 2; i < 4; ++i) {
    CallRecord* r = found[i];
    if (!r) continue;
    {
      std::lock_guard<std::mutex> rk(r->mu);
      r->state = kConnected;
    }
    Refresh(r);
  }
  return 0;
}

void CCallList::Refresh(CallRecord* r) {
  std::lock_guard<std::mutex> rk(r->mu);
  std::string text = ItemText(*r);
  if (!tree_ || !r->item) {
    r->text = std::move(text);
    return;
  }
  if (text != r->text || r->state != r->shownImage) tree_->SetItem(r->item, text, r->state);
  r->text = std::move(text);
  r->shownImage = r->state;
  const bool own = r->direction != kIncoming;
  const int partnerImage = own ? kImageParty : kImageOwnParty;
  const int deviceImage = own ? kImageOwnParty : kImageParty;
  if (!r->children[kChildTime]) {
    r->children[kChildTime] = tree_->AddChild(r->item, TimeText(r->start), kImageTime);
    r->children[kChildCallId] = tree_->AddChild(r->item, plat::StrFormatC("%ld", static_cast<long>(r->callId)), kImageCallId);
    r->children[kChildPartner] = tree_->AddChild(r->item, r->partner.data(), partnerImage);
    r->children[kChildDevice] = tree_->AddChild(r->item, r->device.data(), deviceImage);
  } else if (r->direction != r->shownDirection || !SameText(r->partner, r->shownPartner)) {
    // Time, call id and device stay what they were.
    tree_->SetItem(r->children[kChildPartner], r->partner.data(), partnerImage);
    tree_->SetItem(r->children[kChildDevice], r->device.data(), deviceImage);
  }
  r->shownDirection = r->direction;
  r->shownPartner = r->partner;
}

void CCallList::Clear() {
  std::lock_guard<std::mutex> lk(listMu_);
  if (tree_) tree_->RemoveAll();
  calls_.clear();
}

}  // namespace dorvane
