#include "tools/pbxsim/pbxsim.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "charges/handler/chargewire.h"
#include "core/wire/csta_events.h"
#include "core/wire/csta_requests.h"
#include "netlink/lorquin32.h"
#include "platform/messages.h"
#include "platform/text.h"

namespace pbxsim {
namespace {

using Clock = std::chrono::steady_clock;

std::string U(unsigned long v) { return plat::StrFormatC("%lu", v); }

void Conn(CSTAMessage& m, std::size_t at, std::uint32_t callId, const std::string& device) {
  CSTAConnectionId c;
  c.callId = callId;
  c.device = device;
  c.Write(m, at);
}

void Dev(CSTAMessage& m, std::size_t at, const std::string& device) {
  CSTAExtendedDevice d;
  d.device = device;
  d.Write(m, at);
}

std::string Num(const CSTAMessage& m, std::size_t at) { return m.Text(at, CSTAMessage::kNumberWidth); }

// Drops the oldest entries once there are twice as many as are kept, so the
// cost of dropping is spread over the entries added.
template <class T>
void Bound(std::vector<T>& v, std::size_t keep) {
  if (keep == 0 || v.size() < 2 * keep) return;
  v.erase(v.begin(), v.end() - static_cast<std::ptrdiff_t>(keep));
}

}  // namespace

PbxSim::PbxSim(Options options)
    : options_(std::move(options)),
      nextCrossRef_(options_.firstCrossRefId),
      nextCallId_(options_.firstCallId),
      random_(options_.seed) {
  keep_ = options_.keep;
}

// The relay server's window: registrations and the records of its clients.
struct PbxSim::NetServer : plat::IMessageTarget {
  PbxSim* sim;
  std::uint32_t handle = 0xFFFF;
  std::vector<std::uint16_t> clients;  // main thread only
  plat::WindowId id = plat::RegisterTarget(this);
  explicit NetServer(PbxSim* s) : sim(s) {}
  ~NetServer() override {
    if (handle != 0xFFFF) PBXNWHCloseDLL(handle);
    plat::UnregisterTarget(id);
  }
  void Forget(std::uint16_t client) { clients.erase(std::remove(clients.begin(), clients.end(), client), clients.end()); }
  plat::LRESULT OnMessage(const plat::Message& m) override {
    switch (m.msg) {
      case netlink::kMsgClientRegistered:
        // An id given up by unregistering alone (1586 names nobody) comes
        // back here: list it once.
        Forget(static_cast<std::uint16_t>(m.wParam));
        clients.push_back(static_cast<std::uint16_t>(m.wParam));
        sim->Note(plat::StrFormatC("net: client %u registered", static_cast<unsigned>(m.wParam)));
        break;
      case netlink::kMsgClientUnregistered:
        // Which one is not said; its connection ends next (1588 names it).
        sim->Note("net: client unregistered");
        break;
      case netlink::kMsgLinkLost:
        Forget(static_cast<std::uint16_t>(m.wParam));
        sim->Note(plat::StrFormatC("net: client %u lost", static_cast<unsigned>(m.wParam)));
        break;
      case netlink::kMsgCsta:
        if (m.payload.size() >= CSTAMessage::kSize) sim->OnRecord(CSTAMessage::FromBytes(m.payload.data(), m.payload.size()));
        break;
      case netlink::kMsgSocketError:
        sim->Note(std::string("net: socket error ") +
                  (m.payload.empty() ? "" : reinterpret_cast<const char*>(m.payload.data())));
        break;
      default:
        break;
    }
    return 0;
  }
};

PbxSim::~PbxSim() {
  Stop();
  StopNetwork();
}

bool PbxSim::StartNetwork(std::uint16_t port) {
  if (net_) return true;
  auto n = std::make_unique<NetServer>(this);
  const std::uint32_t h = PBXNWHOpenDLLEx(n->id, netlink::kFlagServer | netlink::kFlagCsta, nullptr, port);
  if ((h & 0xFFFF) == netlink::kFailedOpen) return false;
  n->handle = h & 0xFFFF;
  net_ = std::move(n);
  {
    std::lock_guard<std::mutex> lk(mu_);
    if (keep_ == 0) keep_ = kNetworkKeep;
  }
  Note(plat::StrFormatC("net: serving on port %u", static_cast<unsigned>(port)));
  return true;
}

void PbxSim::StopNetwork() {
  if (!net_) return;
  net_.reset();
  std::lock_guard<std::mutex> lk(mu_);
  // The PBX behind a server that went away forgets its monitors.
  monitors_.clear();
}

bool PbxSim::Network() const { return net_ != nullptr; }
std::uint32_t PbxSim::ServerHandle() const { return net_ ? net_->handle : 0xFFFF; }
std::vector<std::uint16_t> PbxSim::Clients() const { return net_ ? net_->clients : std::vector<std::uint16_t>{}; }

bool PbxSim::Start() {
  if (master_ >= 0) return true;
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  char name[128] = {};
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
    Stop();
    return false;
  }
  slave_ = name;
  // Raw from the start, so nothing the PBX says is echoed or translated
  // before the program sets the line up itself.
  slaveKeep_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeep_ < 0) {
    Stop();
    return false;
  }
  termios tio{};
  if (::tcgetattr(slaveKeep_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveKeep_, TCSANOW, &tio);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) {
    Stop();
    return false;
  }
  stop_ = false;
  thread_ = std::thread([this] { LineMain(); });
  return true;
}

void PbxSim::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(wake_, &one, sizeof one);
    thread_.join();
  }
  for (int* fd : {&master_, &slaveKeep_, &wake_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void PbxSim::LineMain() {
  SerialReceiver receiver;
  std::vector<std::uint8_t> buf(4096);
  while (!stop_) {
    pollfd fds[2] = {{wake_, POLLIN, 0}, {master_, POLLIN, 0}};
    const int n = ::poll(fds, 2, -1);
    if (stop_) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (!(fds[1].revents & POLLIN)) {
      // Nobody on the other side yet: the slave we hold keeps this rare.
      if (fds[1].revents) ::poll(fds, 1, 20);
      continue;
    }
    for (;;) {
      const ssize_t got = ::read(master_, buf.data(), buf.size());
      if (got <= 0) break;
      receiver.Feed(buf.data(), static_cast<std::size_t>(got), [this](const SerialReceiver::Result& r) {
        if (r.message != nullptr)
          OnRecord(*r.message);
        else
          Note(plat::StrFormatC("<- bad packet (F=%i, result %i)", static_cast<int>(r.frameLength), r.frameResult));
      });
    }
  }
}

bool PbxSim::WriteAll(const std::uint8_t* data, std::size_t n) {
  if (master_ < 0) return false;
  const auto limit = Clock::now() + std::chrono::seconds(2);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(master_, data + done, n - done);
    if (w > 0) {
      done += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN) return false;
    if (Clock::now() > limit) return false;
    pollfd p{master_, POLLOUT, 0};
    ::poll(&p, 1, 20);
  }
  return true;
}

void PbxSim::Note(const std::string& line) {
  {
    std::lock_guard<std::mutex> lk(mu_);
    log_.push_back(line);
    Bound(log_, keep_);
  }
  if (options_.echo) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
}

bool PbxSim::Send(const CSTAMessage& m) {
  if (net_) {
    // Through the relay: to every registered client, sized by the link.
    // Logged before it leaves, so the log keeps the order of the wire.
    Note("-> " + Describe(m));
    bool any = false;
    for (std::uint16_t c : net_->clients)
      any |= PBXNWHSendMessageToNetWork(net_->handle, c, 32, m.data(), static_cast<std::uint32_t>(CSTAMessage::kSize)) == 1;
    if (any) ++sentPackets_;
    return any;
  }
  // Confirmations and events travel as whole records, as the PBX sends them.
  std::vector<std::uint8_t> packet(line::kMaxPacket);
  bool ok;
  {
    std::lock_guard<std::mutex> lk(writeMu_);
    const std::size_t n = EncodeMessagePacket(writeCoder_, m.data(), CSTAMessage::kSize, packet.data(), packet.size());
    // Logged before the bytes leave, so the program's answer is logged after.
    if (n > 0) Note("-> " + Describe(m));
    ok = n > 0 && WriteAll(packet.data(), n);
  }
  if (ok) ++sentPackets_;
  return ok;
}

bool PbxSim::SendRaw(const std::vector<std::uint8_t>& bytes) {
  if (net_) return false;  // the relay carries whole records only
  std::lock_guard<std::mutex> lk(writeMu_);
  return WriteAll(bytes.data(), bytes.size());
}

bool PbxSim::InjectNoise(Noise kind, std::size_t randomBytes) {
  std::vector<std::uint8_t> bytes;
  std::string what;
  {
    std::lock_guard<std::mutex> lk(mu_);
    switch (kind) {
      case Noise::kRandomBytes: {
        std::uniform_int_distribution<int> byte(0, 255);
        for (std::size_t i = 0; i < randomBytes; ++i) bytes.push_back(static_cast<std::uint8_t>(byte(random_)));
        what = plat::StrFormatC("noise: %i random bytes", static_cast<int>(randomBytes));
        break;
      }
      case Noise::kTruncatedPacket:
      case Noise::kWrongChecksum: {
        // A plausible record: a delivered event for nobody.
        CSTAMessage m;
        m.SetType(CSTA_DELIVERED);
        m.SetCrossRefId(0xBADu);
        Conn(m, 10, 9999, "99");
        FrameCoder coder;
        std::vector<std::uint8_t> packet(line::kMaxPacket);
        const std::size_t n = EncodeMessagePacket(coder, m.data(), CSTAMessage::kSize, packet.data(), packet.size());
        packet.resize(n);
        if (kind == Noise::kTruncatedPacket) {
          packet.resize(n / 2);
          what = plat::StrFormatC("noise: packet cut at %i of %i bytes", static_cast<int>(n / 2), static_cast<int>(n));
        } else {
          packet[n - 1] ^= 0x5A;
          what = "noise: packet with a wrong checksum";
        }
        bytes = std::move(packet);
        break;
      }
    }
  }
  Note("-> " + what);
  return SendRaw(bytes);
}

CSTAMessage PbxSim::Event(std::uint16_t type, const std::string& device) const {
  CSTAMessage m;
  m.SetType(type);
  auto it = monitors_.find(device);
  m.SetCrossRefId(it == monitors_.end() ? 0 : it->second);
  return m;
}

void PbxSim::SendToMonitors(std::uint16_t type, const Call& c,
                            const std::function<void(CSTAMessage&, const std::string& device)>& fill) {
  std::vector<CSTAMessage> out;
  {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<std::string> devices{c.calling};
    if (c.called != c.calling) devices.push_back(c.called);
    for (const auto& d : devices) {
      if (!monitors_.count(d)) continue;
      CSTAMessage m = Event(type, d);
      fill(m, d);
      out.push_back(m);
    }
  }
  for (const auto& m : out) Send(m);
}

std::uint32_t PbxSim::NewCall(const std::string& calling, const std::string& called) {
  std::lock_guard<std::mutex> lk(mu_);
  Call c;
  c.id = nextCallId_++;
  c.calling = calling;
  c.called = called;
  c.state = kConnAlerting;
  c.start = std::time(nullptr);
  calls_[c.id] = c;
  lastCallId_ = c.id;
  return c.id;
}

namespace {
// Fields shared by delivered and established.
void FillDelivered(CSTAMessage& m, const Call& c, const std::string& device, std::uint16_t state,
                   std::uint16_t cause) {
  Conn(m, 10, c.id, device);
  Dev(m, 80, c.called);  // alerting / answering device
  Dev(m, 148, c.calling);
  Dev(m, 216, c.called);
  m.SetU16(352, state);
  m.SetU16(354, cause);
}
}  // namespace

std::uint32_t PbxSim::IncomingCall(const std::string& calling, const std::string& extension) {
  const std::uint32_t id = NewCall(calling, extension);
  Call c;
  {
    std::lock_guard<std::mutex> lk(mu_);
    c = calls_[id];
  }
  SendToMonitors(CSTA_DELIVERED, c, [&](CSTAMessage& m, const std::string& d) {
    FillDelivered(m, c, d, d == c.called ? kConnAlerting : kConnConnected, kCauseNewCall);
  });
  return id;
}

std::uint32_t PbxSim::OutgoingCall(const std::string& extension, const std::string& called) {
  const std::uint32_t id = NewCall(extension, called);
  Call c;
  {
    std::lock_guard<std::mutex> lk(mu_);
    c = calls_[id];
  }
  SendToMonitors(CSTA_SERVICE_INITIATED, Call{c.id, c.calling, c.calling, 0}, [&](CSTAMessage& m, const std::string& d) {
    Conn(m, 10, c.id, d);
    m.SetU16(80, kConnInitiated);
    m.SetU16(82, kCauseNewCall);
  });
  SendToMonitors(CSTA_DELIVERED, c, [&](CSTAMessage& m, const std::string& d) {
    FillDelivered(m, c, d, d == c.called ? kConnAlerting : kConnConnected, kCauseNewCall);
  });
  return id;
}

// Sets a known call's state and hands out a copy to build events from
// outside the lock.
bool PbxSim::SetCallState(std::uint32_t callId, std::uint16_t state, Call* copy) {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = calls_.find(callId);
  if (it == calls_.end()) return false;
  it->second.state = state;
  *copy = it->second;
  return true;
}

void PbxSim::Answer(std::uint32_t callId) {
  Call c;
  if (!SetCallState(callId, kConnConnected, &c)) return;
  SendToMonitors(CSTA_ESTABLISHED, c,
                 [&](CSTAMessage& m, const std::string& d) { FillDelivered(m, c, d, kConnConnected, kCauseNone); });
}

void PbxSim::Hold(std::uint32_t callId, const std::string& device) {
  Call c;
  if (!SetCallState(callId, kConnHeld, &c)) return;
  SendToMonitors(CSTA_HELD, c, [&](CSTAMessage& m, const std::string& d) {
    Conn(m, 10, c.id, d);
    Dev(m, 80, device);
    m.SetU16(148, d == device ? kConnHeld : kConnConnected);
  });
}

void PbxSim::Retrieve(std::uint32_t callId, const std::string& device) {
  Call c;
  if (!SetCallState(callId, kConnConnected, &c)) return;
  SendToMonitors(CSTA_RETRIEVED, c, [&](CSTAMessage& m, const std::string& d) {
    Conn(m, 10, c.id, d);
    Dev(m, 80, device);
    m.SetU16(148, kConnConnected);
  });
}

void PbxSim::Transfer(std::uint32_t heldCallId, std::uint32_t activeCallId, const std::string& device) {
  Call held, active;
  {
    std::lock_guard<std::mutex> lk(mu_);
    auto h = calls_.find(heldCallId);
    auto a = calls_.find(activeCallId);
    if (h == calls_.end() || a == calls_.end()) return;
    held = h->second;
    active = a->second;
  }
  const std::string heldFar = held.calling == device ? held.called : held.calling;
  const std::string activeFar = active.calling == device ? active.called : active.calling;
  // Every party of either call hears of it.
  Call everyone{0, device, heldFar, 0};
  const auto fill = [&](CSTAMessage& m, const std::string& d) {
    Conn(m, 10, held.id, device);
    Conn(m, 80, active.id, device);
    Dev(m, 150, device);     // transferring device
    Dev(m, 218, activeFar);  // transferred-to device
    // The resulting connection: the receiver's own in the merged call, or
    // for the party that left, that of the side it was talking to.
    Conn(m, 286, active.id, d == device ? activeFar : d);
  };
  {
    std::lock_guard<std::mutex> lk(mu_);
    calls_.erase(heldCallId);
    calls_[active.id] = Call{active.id, heldFar, activeFar, kConnConnected};
  }
  SendToMonitors(CSTA_TRANSFERRED, everyone, fill);
  SendToMonitors(CSTA_TRANSFERRED, Call{0, activeFar, activeFar, 0}, fill);
}

void PbxSim::Clear(std::uint32_t callId, const std::string& device) {
  Call c;
  {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = calls_.find(callId);
    if (it == calls_.end()) return;
    c = it->second;
    calls_.erase(it);
  }
  {
    const long seconds = static_cast<long>(std::time(nullptr) - c.start);
    const bool external = !c.called.empty() && c.called[0] == '0';
    AddCharge(c.calling, c.called, seconds, external ? seconds / 60 + 1 : 0, static_cast<std::uint32_t>(c.start));
  }
  SendToMonitors(CSTA_CONNECTION_CLEARED, c, [&](CSTAMessage& m, const std::string& d) {
    Conn(m, 10, c.id, d);
    Dev(m, 80, device);
    m.SetU16(148, 0);
    m.SetU16(150, kCauseNone);
  });
}

void PbxSim::Busy(std::uint32_t callId) {
  Call c;
  if (!SetCallState(callId, kConnFailed, &c)) return;
  SendToMonitors(CSTA_FAILED, c, [&](CSTAMessage& m, const std::string&) {
    Conn(m, 10, c.id, c.called);
    Dev(m, 80, c.called);
    Dev(m, 148, c.called);
    m.SetU16(216, kConnFailed);
    m.SetU16(218, kCauseBusy);
  });
}

void PbxSim::Failure(std::uint32_t invokeId, std::uint32_t crossRefId, int code) {
  CSTAMessage m;
  m.SetInvokeId(invokeId);
  m.SetCrossRefId(crossRefId);
  m.SetType(CSTA_UNIVERSAL_FAILURE_CONF);
  m.SetU16(10, static_cast<std::uint16_t>(code));
  Send(m);
}

void PbxSim::OnRecord(const CSTAMessage& in) {
  Note("<- " + Describe(in));
  {
    std::lock_guard<std::mutex> lk(mu_);
    received_.push_back(in);
    Bound(received_, keep_);
  }
  cv_.notify_all();
  if (!options_.answerRequests || !answering_.load()) return;

  const std::uint16_t type = in.Type();
  CSTAMessage conf;
  conf.SetInvokeId(in.InvokeId());
  conf.SetCrossRefId(in.CrossRefId());
  conf.SetType(static_cast<std::uint16_t>(type + 1));

  switch (type) {
    case CSTA_PRIVATE: {
      const std::uint8_t kind = in.PrivateKind();
      if (kind % 2 != 0) return;
      int refusal = -1;
      {
        std::lock_guard<std::mutex> lk(mu_);
        if (silentKinds_.count(kind)) return;
        if (auto f = failKinds_.find(kind); f != failKinds_.end()) refusal = f->second;
        else conf = ChargeReply(in);
      }
      if (refusal >= 0) Failure(in.InvokeId(), in.CrossRefId(), refusal);
      else Send(conf);
      return;
    }
    case CSTA_GETAPI_CAPS:
      conf.SetU16(ApiCapsConf::kQueryForwardingAt, options_.answersQueryForwarding ? 1 : 0);
      conf.SetU16(ApiCapsConf::kSnapshotDeviceAt, options_.answersSnapshot ? 1 : 0);
      Send(conf);
      return;
    case CSTA_MONITOR_DEVICE: {
      const std::string number = Num(in, csta_req::kExtensionAt);
      std::uint32_t xref;
      {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = monitors_.find(number);
        xref = it != monitors_.end() ? it->second : nextCrossRef_++;
        monitors_[number] = xref;
      }
      conf.SetType(CSTA_MONITOR_CONF);
      conf.SetU32(10, xref);
      Send(conf);
      return;
    }
    case CSTA_MONITOR_STOP: {
      const std::uint32_t xref = in.U32(csta_req::kMonitorStopRefAt);
      bool known = false;
      {
        std::lock_guard<std::mutex> lk(mu_);
        for (auto it = monitors_.begin(); it != monitors_.end(); ++it) {
          if (it->second == xref) {
            monitors_.erase(it);
            known = true;
            break;
          }
        }
      }
      if (!known) {
        Failure(in.InvokeId(), in.CrossRefId(), 17);  // INVALID_CROSS_REF_ID
        return;
      }
      Send(conf);
      return;
    }
    case CSTA_QUERY_FWD:
      conf.SetU16(10, 0);  // no forwarding set
      Send(conf);
      return;
    case CSTA_SNAPSHOT_DEVICE: {
      const std::string number = Num(in, csta_req::kExtensionAt);
      std::int16_t count = 0;
      {
        std::lock_guard<std::mutex> lk(mu_);
        for (const auto& [id, c] : calls_)
          if (c.calling == number || c.called == number) ++count;
      }
      conf.SetU16(10, static_cast<std::uint16_t>(count));
      conf.SetText(16, CSTAMessage::kNumberWidth, number);
      Send(conf);
      return;
    }
    case CSTA_MAKE_CALL: {
      const std::string calling = Num(in, csta_req::kMakeCallCallingAt);
      const std::string called = Num(in, csta_req::kMakeCallCalledAt);
      if (auto f = options_.failNumbers.find(called); f != options_.failNumbers.end()) {
        Failure(in.InvokeId(), in.CrossRefId(), f->second);
        return;
      }
      const std::uint32_t id = NewCall(calling, called);
      Conn(conf, 10, id, calling);
      Send(conf);
      Call c{id, calling, called, kConnAlerting};
      SendToMonitors(CSTA_SERVICE_INITIATED, Call{id, calling, calling, 0}, [&](CSTAMessage& m, const std::string& d) {
        Conn(m, 10, id, d);
        m.SetU16(80, kConnInitiated);
        m.SetU16(82, kCauseNewCall);
      });
      if (std::find(options_.busyNumbers.begin(), options_.busyNumbers.end(), called) != options_.busyNumbers.end()) {
        Busy(id);
        return;
      }
      SendToMonitors(CSTA_DELIVERED, c, [&](CSTAMessage& m, const std::string& d) {
        FillDelivered(m, c, d, d == c.called ? kConnAlerting : kConnConnected, kCauseNewCall);
      });
      return;
    }
    case CSTA_CLEAR_CONNECTION: {
      const std::uint32_t id = in.U32(csta_req::kCallIdAt);
      if (!HasCall(id)) {
        Failure(in.InvokeId(), in.CrossRefId(), 26);  // NO_CALL_TO_CLEAR
        return;
      }
      Send(conf);
      Clear(id, Num(in, csta_req::kDeviceAt));
      return;
    }
    case CSTA_HOLD_CALL:
    case CSTA_RETRIEVE_CALL: {
      const std::uint32_t id = in.U32(csta_req::kCallIdAt);
      if (!HasCall(id)) {
        Failure(in.InvokeId(), in.CrossRefId(), 11);  // INVALID_CSTA_CALL_IDENTIFIER
        return;
      }
      Send(conf);
      if (type == CSTA_HOLD_CALL)
        Hold(id, Num(in, csta_req::kDeviceAt));
      else
        Retrieve(id, Num(in, csta_req::kDeviceAt));
      return;
    }
    case CSTA_CONSULTATION_CALL: {
      const std::uint32_t active = in.U32(csta_req::kCallIdAt);
      const std::string device = Num(in, csta_req::kDeviceAt);
      const std::string target = Num(in, csta_req::kSecondNumberAt);
      if (!HasCall(active)) {
        Failure(in.InvokeId(), in.CrossRefId(), 11);
        return;
      }
      const std::uint32_t id = NewCall(device, target);
      Conn(conf, 10, id, device);
      Send(conf);
      Hold(active, device);
      Call c{id, device, target, kConnAlerting};
      SendToMonitors(CSTA_DELIVERED, c, [&](CSTAMessage& m, const std::string& d) {
        FillDelivered(m, c, d, d == c.called ? kConnAlerting : kConnConnected, kCauseNewCall);
      });
      return;
    }
    case CSTA_TRANSFER_CALL: {
      const std::uint32_t held = in.U32(csta_req::kCallIdAt);
      const std::uint32_t active = in.U32(csta_req::kTransferActiveCallIdAt);
      if (!HasCall(held) || !HasCall(active)) {
        Failure(in.InvokeId(), in.CrossRefId(), 11);
        return;
      }
      Send(conf);
      Call h;
      {
        std::lock_guard<std::mutex> lk(mu_);
        h = calls_[held];
      }
      // The transferring party is the side of the held call that the
      // active call shares.
      Call a;
      {
        std::lock_guard<std::mutex> lk(mu_);
        a = calls_[active];
      }
      const std::string device = (h.calling == a.calling || h.calling == a.called) ? h.calling : h.called;
      Transfer(held, active, device);
      return;
    }
    case CSTA_DEFLECT_CALL: {
      const std::uint32_t id = in.U32(csta_req::kCallIdAt);
      const std::string destination = Num(in, csta_req::kSecondNumberAt);
      Call c;
      {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = calls_.find(id);
        if (it != calls_.end()) c = it->second;
      }
      if (c.id == 0) {
        Failure(in.InvokeId(), in.CrossRefId(), 11);
        return;
      }
      Send(conf);
      // The old called side stops ringing; the destination rings.
      SendToMonitors(CSTA_CONNECTION_CLEARED, Call{id, c.called, c.called, 0}, [&](CSTAMessage& m, const std::string& d) {
        Conn(m, 10, id, d);
        Dev(m, 80, d);
      });
      Call moved{id, c.calling, destination, kConnAlerting};
      {
        std::lock_guard<std::mutex> lk(mu_);
        calls_[id] = moved;
      }
      SendToMonitors(CSTA_DELIVERED, moved, [&](CSTAMessage& m, const std::string& d) {
        FillDelivered(m, moved, d, d == moved.called ? kConnAlerting : kConnConnected, kCauseNone);
      });
      return;
    }
    default:
      // Other requests (odd types up to 51) are confirmed plainly.
      if (type >= 1 && type <= 51 && type % 2 == 1) Send(conf);
      return;
  }
}

std::vector<CSTAMessage> PbxSim::Received() const {
  std::lock_guard<std::mutex> lk(mu_);
  return received_;
}

std::size_t PbxSim::KeepLimit() const {
  std::lock_guard<std::mutex> lk(mu_);
  return keep_;
}

std::vector<std::string> PbxSim::Log() const {
  std::lock_guard<std::mutex> lk(mu_);
  return log_;
}

std::size_t PbxSim::ReceivedCount(std::uint16_t type) const {
  std::lock_guard<std::mutex> lk(mu_);
  return static_cast<std::size_t>(
      std::count_if(received_.begin(), received_.end(), [type](const CSTAMessage& m) { return m.Type() == type; }));
}

bool PbxSim::WaitFor(const std::function<bool(const std::vector<CSTAMessage>&)>& pred, int timeoutMs) const {
  std::unique_lock<std::mutex> lk(mu_);
  return cv_.wait_for(lk, std::chrono::milliseconds(timeoutMs), [&] { return pred(received_); });
}

bool PbxSim::WaitForCount(std::uint16_t type, std::size_t count, int timeoutMs) const {
  return WaitFor(
      [&](const std::vector<CSTAMessage>& r) {
        return static_cast<std::size_t>(
                   std::count_if(r.begin(), r.end(), [type](const CSTAMessage& m) { return m.Type() == type; })) >= count;
      },
      timeoutMs);
}

// --- charge data -----------------------------------------------------------------

void PbxSim::AddCharge(const std::string& calling, const std::string& called, long seconds, long units,
                       std::uint32_t start) {
  if (start == 0) start = static_cast<std::uint32_t>(std::time(nullptr) - seconds);
  std::lock_guard<std::mutex> lk(mu_);
  charges_.push_back({start, seconds, units, calling, called});
  while (charges_.size() > chargeMax_) charges_.pop_front();
  const long device = plat::AtolC(calling.c_str());
  if (device >= 10 && device < 10 + options_.devices) deviceUnits_[static_cast<int>(device)] += units;
}

void PbxSim::AddCharges(int n) {
  const std::uint32_t now = static_cast<std::uint32_t>(std::time(nullptr));
  for (int i = 0; i < n; ++i)
    AddCharge("21", plat::StrFormatC("0891%06i", i), 60 + i % 7, 1 + i % 5, now - static_cast<std::uint32_t>(n - i));
}

void PbxSim::SetChargeMax(std::size_t n) {
  std::lock_guard<std::mutex> lk(mu_);
  chargeMax_ = n;
  while (charges_.size() > chargeMax_) charges_.pop_front();
}

void PbxSim::SetChargeSilent(int kind) {
  std::lock_guard<std::mutex> lk(mu_);
  if (kind < 0) silentKinds_.clear();
  else silentKinds_.insert(kind);
}

void PbxSim::SetChargeFail(int kind, int code) {
  std::lock_guard<std::mutex> lk(mu_);
  if (kind < 0) failKinds_.clear();
  else failKinds_[kind] = code;
}

std::vector<ChargeEntry> PbxSim::Charges() const {
  std::lock_guard<std::mutex> lk(mu_);
  return std::vector<ChargeEntry>(charges_.begin(), charges_.end());
}

long PbxSim::DeviceUnits(int device) const {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = deviceUnits_.find(device);
  return it == deviceUnits_.end() ? 0 : it->second;
}

// The answer to a private request, at the offsets the program reads.
CSTAMessage PbxSim::ChargeReply(const CSTAMessage& in) {
  const std::uint8_t kind = in.PrivateKind();
  const std::string text = in.Text(11, kCSTAPrivateLength - 11);
  CSTAMessage conf;
  switch (kind) {
    case EXTPBX_GETMAXNUMBEROFDEVICES:
      conf = chargewire::DeviceReply(EXTPBX_GETMAXNUMBEROFDEVICES_CONF, plat::StrFormatC("%i", options_.devices));
      break;
    case EXTPBX_GETNUMBEROFCALLINFOS:
      conf = chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, plat::StrFormatC("%zu", charges_.size()));
      break;
    case EXTPBX_GETMAXNUMBEROFCALLINFOS:
      conf = chargewire::CountReply(EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF, plat::StrFormatC("%zu", chargeMax_));
      break;
    case EXTPBX_GETSINGLECALLINFOBYIDX: {
      const long i = plat::AtolC(text.c_str());
      ChargeEntry e;
      if (i >= 0 && static_cast<std::size_t>(i) < charges_.size()) e = charges_[static_cast<std::size_t>(i)];
      conf = chargewire::RecordReply(i, e.start, e.duration, e.units, e.calling, e.called);
      break;
    }
    case EXTPBX_DELETEDEVICEUNITS:
      if (!text.empty() && text[0] == '*') deviceUnits_.clear();
      else deviceUnits_.erase(static_cast<int>(plat::AtolC(text.c_str())));
      conf = chargewire::DeviceReply(EXTPBX_DELETEDEVICEUNITS_CONF, text);
      break;
    case EXTPBX_GETDEVICEUNITS: {
      const int device = static_cast<int>(plat::AtolC(text.c_str()));
      const bool known = device >= 10 && device < 10 + options_.devices;
      auto it = deviceUnits_.find(device);
      conf = chargewire::UnitsReply(text, it == deviceUnits_.end() ? 0 : it->second,
                                    known ? plat::StrFormatC("%i", device) : std::string());
      break;
    }
    case EXTPBX_DELALLREPORTLOGENTRIES:
      charges_.clear();
      conf.SetType(CSTA_PRIVATE);
      conf.SetU8(10, EXTPBX_DELALLREPORTLOGENTRIES_CONF);
      break;
    default:
      conf.SetType(CSTA_PRIVATE);
      conf.SetU8(10, static_cast<std::uint8_t>(kind + 1));
      break;
  }
  conf.SetInvokeId(in.InvokeId());
  conf.SetCrossRefId(in.CrossRefId());
  return conf;
}

void PbxSim::ClearLog() {
  std::lock_guard<std::mutex> lk(mu_);
  received_.clear();
  log_.clear();
}

std::uint32_t PbxSim::CrossRefIdOf(const std::string& number) const {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = monitors_.find(number);
  return it == monitors_.end() ? 0 : it->second;
}

std::vector<std::string> PbxSim::Monitored() const {
  std::lock_guard<std::mutex> lk(mu_);
  std::vector<std::string> out;
  for (const auto& [n, id] : monitors_) out.push_back(n);
  return out;
}

bool PbxSim::HasCall(std::uint32_t callId) const {
  std::lock_guard<std::mutex> lk(mu_);
  return calls_.count(callId) > 0;
}

std::uint32_t PbxSim::LastCallId() const {
  std::lock_guard<std::mutex> lk(mu_);
  return lastCallId_;
}

std::string PbxSim::Describe(const CSTAMessage& m) {
  const std::uint16_t type = m.Type();
  const char* name = CSTAMessageName(m);
  std::string s = name ? name : plat::StrFormatC("TYPE_%u", static_cast<unsigned>(type));
  s += plat::StrFormatC(" inv=%lu xref=%lu", static_cast<unsigned long>(m.InvokeId()),
                        static_cast<unsigned long>(m.CrossRefId()));
  auto call = [&](std::size_t at) {
    return plat::StrFormatC("%lu/%s", static_cast<unsigned long>(m.U32(at)), Num(m, at + 4).c_str());
  };
  switch (type) {
    case CSTA_MAKE_CALL:
      s += " calling=" + Num(m, 10) + " called=" + Num(m, 74);
      break;
    case CSTA_CLEAR_CONNECTION:
      s += " call=" + U(m.U32(10)) + " device=" + Num(m, 14);
      break;
    case CSTA_HOLD_CALL:
      s += " call=" + U(m.U32(10)) + " device=" + Num(m, 14) + " other=" + m.Text(74, 7);
      break;
    case CSTA_CONSULTATION_CALL:
      s += " call=" + U(m.U32(10)) + " device=" + Num(m, 14) + " consult=" + Num(m, 80);
      break;
    case CSTA_TRANSFER_CALL:
      s += " held=" + U(m.U32(10)) + " device=" + Num(m, 14) + " active=" + U(m.U32(80)) + " called=" + Num(m, 84);
      break;
    case CSTA_DEFLECT_CALL:
      s += " call=" + U(m.U32(10)) + " calling=" + Num(m, 14) + " destination=" + Num(m, 80);
      break;
    case CSTA_MONITOR_DEVICE:
    case CSTA_SNAPSHOT_DEVICE:
    case CSTA_QUERY_FWD:
      s += " device=" + Num(m, 10);
      break;
    case CSTA_MONITOR_STOP:
    case CSTA_MONITOR_CONF:
      s += " ref=" + U(m.U32(10));
      break;
    case CSTA_SNAPSHOT_DEVICE_CONF:
      s += plat::StrFormatC(" count=%i device=%s", m.I16(10), Num(m, 16).c_str());
      break;
    case CSTA_GETAPI_CAPS_CONF:
      s += plat::StrFormatC(" fwd=%u snapshot=%u", m.U16(40), m.U16(140));
      break;
    case CSTA_UNIVERSAL_FAILURE_CONF:
      s += plat::StrFormatC(" code=%i (%s)", m.I16(10), CSTAFailureName(m.I16(10)));
      break;
    case CSTA_MAKE_CALL_CONF:
    case CSTA_CONSULTATION_CALL_CONF:
      s += " new=" + call(10);
      break;
    case CSTA_DELIVERED:
    case CSTA_ESTABLISHED:
      s += " conn=" + call(10) + " device=" + Num(m, 80) + " calling=" + Num(m, 148) + " called=" + Num(m, 216) +
           plat::StrFormatC(" state=%u cause=%u", m.U16(352), m.U16(354));
      break;
    case CSTA_HELD:
    case CSTA_RETRIEVED:
    case CSTA_CONNECTION_CLEARED:
      s += " conn=" + call(10) + " device=" + Num(m, 80);
      break;
    case CSTA_SERVICE_INITIATED:
      s += " conn=" + call(10);
      break;
    case CSTA_FAILED:
      s += " conn=" + call(10) + " device=" + Num(m, 80) + plat::StrFormatC(" cause=%u", m.U16(218));
      break;
    case CSTA_TRANSFERRED:
      s += " primary=" + call(10) + " secondary=" + call(80) + " by=" + Num(m, 150) + " to=" + Num(m, 218);
      break;
    case CSTA_PRIVATE:
      s += " text=" + m.Text(11, kCSTAPrivateLength - 11);
      if (m.PrivateKind() % 2 == 1 && m.U8(22) != 0) s += " count=" + m.Text(22, kCSTAPrivateLength - 22);
      break;
    default:
      break;
  }
  return s;
}

// --- command interpreter -------------------------------------------------------

bool RunCommand(PbxSim& sim, const std::string& line, std::string& out) {
  std::istringstream in(line);
  std::string cmd;
  in >> cmd;
  std::vector<std::string> args;
  for (std::string a; in >> a;) args.push_back(a);
  auto callArg = [&](std::size_t i) -> std::uint32_t {
    return i < args.size() ? static_cast<std::uint32_t>(plat::AtolC(args[i].c_str())) : sim.LastCallId();
  };
  out.clear();
  if (cmd.empty() || cmd[0] == '#') return true;
  if (cmd == "quit" || cmd == "exit") return false;
  if (cmd == "incoming" && args.size() >= 2) {
    out = plat::StrFormatC("call %lu", static_cast<unsigned long>(sim.IncomingCall(args[0], args[1])));
  } else if (cmd == "outgoing" && args.size() >= 2) {
    out = plat::StrFormatC("call %lu", static_cast<unsigned long>(sim.OutgoingCall(args[0], args[1])));
  } else if (cmd == "answer") {
    sim.Answer(callArg(0));
  } else if ((cmd == "hold" || cmd == "retrieve" || cmd == "clear") && !args.empty()) {
    const std::uint32_t id = callArg(1);
    if (cmd == "hold") sim.Hold(id, args[0]);
    if (cmd == "retrieve") sim.Retrieve(id, args[0]);
    if (cmd == "clear") sim.Clear(id, args[0]);
  } else if (cmd == "transfer" && args.size() >= 3) {
    sim.Transfer(static_cast<std::uint32_t>(plat::AtolC(args[1].c_str())),
                 static_cast<std::uint32_t>(plat::AtolC(args[2].c_str())), args[0]);
  } else if (cmd == "busy") {
    sim.Busy(callArg(0));
  } else if (cmd == "fail" && args.size() >= 2) {
    sim.Failure(static_cast<std::uint32_t>(plat::AtolC(args[0].c_str())), 0,
                static_cast<int>(plat::AtolC(args[1].c_str())));
  } else if (cmd == "noise" && !args.empty()) {
    if (args[0] == "random")
      sim.InjectNoise(Noise::kRandomBytes, args.size() > 1 ? static_cast<std::size_t>(plat::AtolC(args[1].c_str())) : 24);
    else if (args[0] == "truncated")
      sim.InjectNoise(Noise::kTruncatedPacket);
    else if (args[0] == "checksum")
      sim.InjectNoise(Noise::kWrongChecksum);
    else
      out = "unknown noise: " + args[0];
  } else if (cmd == "wait" && !args.empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(plat::AtolC(args[0].c_str())));
  } else if (cmd == "charge" && args.size() >= 4) {
    sim.AddCharge(args[0], args[1], plat::AtolC(args[2].c_str()), plat::AtolC(args[3].c_str()),
                  args.size() > 4 ? static_cast<std::uint32_t>(plat::AtolC(args[4].c_str())) : 0);
  } else if (cmd == "charges" && !args.empty()) {
    sim.AddCharges(static_cast<int>(plat::AtolC(args[0].c_str())));
  } else if (cmd == "chargemax" && !args.empty()) {
    sim.SetChargeMax(static_cast<std::size_t>(std::max(0L, plat::AtolC(args[0].c_str()))));
  } else if (cmd == "chargesilent" && !args.empty()) {
    sim.SetChargeSilent(static_cast<int>(plat::AtolC(args[0].c_str())));
  } else if (cmd == "chargefail" && !args.empty() && (args.size() >= 2 || plat::AtolC(args[0].c_str()) < 0)) {
    sim.SetChargeFail(static_cast<int>(plat::AtolC(args[0].c_str())),
                      args.size() >= 2 ? static_cast<int>(plat::AtolC(args[1].c_str())) : 0);
  } else if (cmd == "echo") {
    // A mark in the output: what came before it on the input is done.
    out = line.substr(std::min(line.size(), line.find("echo") + 4));
    while (!out.empty() && out[0] == ' ') out.erase(0, 1);
    if (out.empty()) out = "echo";
  } else if (cmd == "monitors") {
    for (const auto& n : sim.Monitored())
      out += plat::StrFormatC("%s=%lu ", n.c_str(), static_cast<unsigned long>(sim.CrossRefIdOf(n)));
  } else {
    out = "unknown command: " + line;
  }
  return true;
}

}  // namespace pbxsim
