#include "netlink/control.h"

#include "netlink/lorquin32.h"

namespace netlink {
namespace {

// An answer goes back the way the request came: its header and its payload
// both carry the request's address block.
ControlFrame Answer(const std::uint8_t* frame, std::uint8_t opcode, std::uint16_t id, std::uint8_t result,
                    std::uint32_t key) {
  Control c;
  c.answerAddr = AddressBlockOf(frame);
  c.opcode = opcode;
  c.id = id;
  c.result = result;
  c.key = key;
  return BuildControlFrame(c.answerAddr, c);
}

Notice Plain(plat::UINT msg, std::uint64_t wParam, bool posted) {
  Notice n;
  n.msg = msg;
  n.wParam = wParam;
  n.posted = posted;
  return n;
}

Notice Named(plat::UINT msg, std::uint8_t result, bool posted) {
  Notice n;
  n.msg = msg;
  n.posted = posted;
  n.hasName = true;
  n.name = ResultName(result);
  return n;
}

}  // namespace

ControlActions ServerControl::Handle(const std::uint8_t* frame, std::size_t len, std::uint32_t owner,
                                     std::uint32_t serverKey) {
  ControlActions a;
  Control c;
  if (!ParseControl(frame, len, &c)) return a;
  switch (c.opcode) {
    case kOpHello:
      a.replies.push_back(Answer(frame, kOpHelloReply, 0, kResSuccess, serverKey));
      break;
    case kOpRegister: {
      // A register repeated on the same connection (the client's retry
      // timer resends hello while its register is under way) gets the id
      // it already has; the same key from elsewhere is a second client.
      for (const Logical& l : table_) {
        if (l.state != 2) continue;
        if (l.key == c.key || (c.id != 0 && l.id == c.id)) {
          if (l.owner == owner && l.key == c.key)
            a.replies.push_back(Answer(frame, kOpRegisterReply, l.id, kResSuccess, serverKey));
          else
            a.replies.push_back(Answer(frame, kOpRegisterReply, 0, kResAlreadyRegistered, serverKey));
          return a;
        }
      }
      for (int i = 0; i < kConnections; ++i) {
        Logical& l = table_[i];
        if (l.state != 0) continue;
        l.state = 2;
        l.id = static_cast<std::uint16_t>(i + kIdBase);
        l.key = c.key;
        l.owner = owner;
        l.addr = AddressBlockOf(frame);
        a.replies.push_back(Answer(frame, kOpRegisterReply, l.id, kResSuccess, serverKey));
        a.registered = true;
        a.registeredId = l.id;
        a.notices.push_back(Plain(kMsgClientRegistered, l.id, false));
        return a;
      }
      a.replies.push_back(Answer(frame, kOpRegisterReply, 0, kResClientCountExceeded, serverKey));
      break;
    }
    case kOpUnregister: {
      // Only the connection that registered an id may give it up.
      for (Logical& l : table_) {
        if (l.state == 2 && l.id == c.id && l.owner == owner) {
          l = Logical{};
          a.unregistered = true;
          a.replies.push_back(Answer(frame, kOpUnregisterReply, c.id, kResSuccess, serverKey));
          a.notices.push_back(Plain(kMsgClientUnregistered, 1, true));
          return a;
        }
      }
      a.replies.push_back(Answer(frame, kOpUnregisterReply, c.id, kResClientUnknown, serverKey));
      break;
    }
    case kOpAliveRequest:
      a.replies.push_back(Answer(frame, kOpAliveReply, c.id, kResSuccess, serverKey));
      break;
    case kOpServerAliveReply:
      a.confirmAlive = true;
      break;
    default:
      break;
  }
  return a;
}

int ServerControl::DropOwner(std::uint32_t owner) {
  int n = 0;
  for (Logical& l : table_) {
    if (l.state != 0 && l.owner == owner) {
      l = Logical{};
      ++n;
    }
  }
  return n;
}

const ServerControl::Logical* ServerControl::FindById(std::uint16_t id) const {
  for (const Logical& l : table_)
    if (l.state == 2 && l.id == id) return &l;
  return nullptr;
}

int ServerControl::RegisteredCount() const {
  int n = 0;
  for (const Logical& l : table_) n += l.state == 2;
  return n;
}

ControlActions ClientControl::Handle(const std::uint8_t* frame, std::size_t len, std::uint32_t ownKey,
                                     std::uint32_t slot) {
  ControlActions a;
  Control c;
  if (!ParseControl(frame, len, &c)) return a;
  switch (c.opcode) {
    case kOpHelloReply:
      // Late replies to hellos resent by the retry timer change nothing
      // once registered.
      if (c.result != kResSuccess || state_ == kRegistered) break;
      state_ = kHelloAnswered;
      serverKey_ = c.key;
      {
        Control r;
        r.answerAddr = AddressBlockOf(frame);
        r.opcode = kOpRegister;
        r.key = ownKey;
        a.replies.push_back(BuildControlFrame(AddrBySlot(slot), r));
      }
      break;
    case kOpRegisterReply:
      if (state_ == kRegistered) break;
      if (c.result == kResSuccess) {
        state_ = kRegistered;
        id_ = c.id;
        a.registered = true;
        a.registeredId = c.id;
        a.notices.push_back(Plain(kMsgRegistered, c.id, false));
      } else {
        state_ = kIdle;
        a.notices.push_back(Named(kMsgRegistrationRefused, c.result, false));
      }
      break;
    case kOpUnregisterReply:
      if (state_ != kRegistered || c.id != id_) break;
      if (c.result == kResSuccess) {
        a.notices.push_back(Plain(kMsgUnregistered, id_, true));
      } else if (c.result != kResInvalidPermission) {
        a.notices.push_back(Named(kMsgUnregistrationRefused, c.result, true));
      }
      Reset();
      break;
    case kOpAliveReply:
      if (state_ == kRegistered && c.id == id_) a.confirmAlive = true;
      break;
    case kOpServerAliveRequest:
      a.replies.push_back(Answer(frame, kOpServerAliveReply, id_, kResSuccess, ownKey));
      break;
    default:
      break;
  }
  return a;
}

ControlFrame ClientControl::Hello(std::uint32_t ownKey, std::uint32_t slot) {
  Control c;
  c.opcode = kOpHello;
  c.key = ownKey;
  return BuildControlFrame(AddrBySlot(slot), c);
}

ControlFrame ClientControl::Unregister(std::uint32_t ownKey, std::uint32_t slot) const {
  Control c;
  c.opcode = kOpUnregister;
  c.id = id_;
  c.key = ownKey;
  return BuildControlFrame(AddrBySlot(slot), c);
}

ControlFrame ClientControl::AliveRequest(std::uint32_t ownKey) const {
  Control c;
  c.opcode = kOpAliveRequest;
  c.id = id_;
  c.key = ownKey;
  return BuildControlFrame(AddrByClientId(id_), c);
}

void ClientControl::Reset() {
  state_ = kIdle;
  id_ = 0;
  serverKey_ = 0;
}

}  // namespace netlink
