// A simulated PBX on a pseudo-terminal, for tests and demonstrations (not
// part of the product). It speaks the serial line protocol on the master
// side; the program opens the slave side as its COM port. It answers the
// program's start-up (device count, capabilities, monitors, forwarding
// queries, snapshots), confirms call requests, plays call scenarios, can
// put noise on the line, and logs every record both ways in readable form.
#pragma once
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <set>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/wire/csta_message.h"
#include "core/wire/frame_coder.h"
#include "core/wire/line_packet.h"

namespace pbxsim {

// Cause values the simulator puts into events.
inline constexpr std::uint16_t kCauseNone = 0;
inline constexpr std::uint16_t kCauseBusy = 3;
inline constexpr std::uint16_t kCauseNewCall = 22;
inline constexpr std::uint16_t kCauseTransfer = 32;

// Local connection states.
inline constexpr std::uint16_t kConnInitiated = 1;
inline constexpr std::uint16_t kConnAlerting = 2;
inline constexpr std::uint16_t kConnConnected = 3;
inline constexpr std::uint16_t kConnHeld = 4;
inline constexpr std::uint16_t kConnFailed = 6;

struct Options {
  int devices = 60;                      // answer to the device-count request
  bool answersQueryForwarding = true;    // capability words of the caps reply
  bool answersSnapshot = true;
  bool answerRequests = true;            // false: stay silent (time-out tests)
  std::uint32_t firstCrossRefId = 1001;
  std::uint32_t firstCallId = 501;
  std::vector<std::string> busyNumbers;  // make call to them: the call fails busy
  std::map<std::string, int> failNumbers;  // make call to them: universal failure code
  bool echo = false;                     // log lines also to stdout
  unsigned seed = 1;                     // noise
  // Records and log lines kept for Received() and Log(): the newest this
  // many at least, twice that at most; 0 keeps everything on the line and
  // kNetworkKeep in network mode, which serves for days.
  std::size_t keep = 0;
};
inline constexpr std::size_t kNetworkKeep = 2048;

enum class Noise { kRandomBytes, kTruncatedPacket, kWrongChecksum };

struct Call {
  std::uint32_t id = 0;
  std::string calling;
  std::string called;
  std::uint16_t state = 0;  // local connection state of the called side
  std::time_t start = 0;
};

// One call record of the charge log.
struct ChargeEntry {
  std::uint32_t start = 0;
  long duration = 0;
  long units = 0;
  std::string calling;
  std::string called;
};

class PbxSim {
 public:
  explicit PbxSim(Options options = {});
  ~PbxSim();
  PbxSim(const PbxSim&) = delete;
  PbxSim& operator=(const PbxSim&) = delete;

  // Opens the pseudo-terminal pair and starts the line thread.
  bool Start();
  void Stop();

  // Network mode instead of the line: the relay server on `port` through
  // the network library in server role, the simulated PBX behind it. It
  // runs on the calling (main) thread's event loop, which the caller
  // pumps; what the PBX says goes to every registered client.
  bool StartNetwork(std::uint16_t port);
  // Closes the server and every connection at once (as if it went away).
  void StopNetwork();
  bool Network() const;
  std::uint32_t ServerHandle() const;
  std::vector<std::uint16_t> Clients() const;
  // The device the program opens.
  const std::string& SlavePath() const { return slave_; }

  // --- the line ------------------------------------------------------------
  bool Send(const CSTAMessage& m);
  bool SendRaw(const std::vector<std::uint8_t>& bytes);
  bool InjectNoise(Noise kind, std::size_t randomBytes = 24);

  // --- scenarios (events go to every monitored party) ------------------------
  // An external or internal caller rings an extension; the new call's id.
  std::uint32_t IncomingCall(const std::string& calling, const std::string& extension);
  // The called side answers.
  void Answer(std::uint32_t callId);
  // The device puts the call on hold / takes it back.
  void Hold(std::uint32_t callId, const std::string& device);
  void Retrieve(std::uint32_t callId, const std::string& device);
  // The device transfers: the held call and the active call merge; the
  // active call's far end gets the held call's far end.
  void Transfer(std::uint32_t heldCallId, std::uint32_t activeCallId, const std::string& device);
  // The device hangs up; the call ends for every party.
  void Clear(std::uint32_t callId, const std::string& device);
  // An extension dials by itself (off-hook at the set).
  std::uint32_t OutgoingCall(const std::string& extension, const std::string& called);
  // The called side of a call is busy: failed event.
  void Busy(std::uint32_t callId);
  // Sends a universal failure for an invoke id.
  void Failure(std::uint32_t invokeId, std::uint32_t crossRefId, int code);

  // --- the charge data (type 93) ---------------------------------------------
  // A call record; its units also count for the calling extension's device
  // (device 10 + i is the extension numbered 10 + i). A full log drops its
  // oldest record. Cleared calls add theirs (one unit a started minute of
  // an external call).
  void AddCharge(const std::string& calling, const std::string& called, long seconds, long units,
                 std::uint32_t start = 0);
  // n records of extension 21 to external numbers, one second apart.
  void AddCharges(int n);
  void SetChargeMax(std::size_t n);
  // Requests of this kind stay unanswered (kind -1: every kind answered again).
  void SetChargeSilent(int kind);
  // false: no request is answered from now on (a PBX that went silent).
  void SetAnswering(bool on) { answering_.store(on); }
  // Requests of this kind are refused with a universal failure of code and
  // change nothing (kind -1: none refused any more).
  void SetChargeFail(int kind, int code);
  std::vector<ChargeEntry> Charges() const;
  long DeviceUnits(int device) const;

  // --- what the program sent ------------------------------------------------
  std::vector<CSTAMessage> Received() const;
  std::vector<std::string> Log() const;
  std::size_t ReceivedCount(std::uint16_t type) const;
  // Waits (real time) until pred holds over the received records.
  bool WaitFor(const std::function<bool(const std::vector<CSTAMessage>&)>& pred, int timeoutMs) const;
  bool WaitForCount(std::uint16_t type, std::size_t count, int timeoutMs) const;
  void ClearLog();

  // --- state ------------------------------------------------------------------
  std::uint32_t CrossRefIdOf(const std::string& number) const;  // 0 when not monitored
  std::vector<std::string> Monitored() const;
  bool HasCall(std::uint32_t callId) const;
  std::uint32_t LastCallId() const;
  std::size_t PacketsSent() const { return sentPackets_.load(); }
  std::size_t KeepLimit() const;

  // Readable form of one record.
  static std::string Describe(const CSTAMessage& m);

 private:
  void LineMain();
  void OnRecord(const CSTAMessage& m);
  bool WriteAll(const std::uint8_t* data, std::size_t n);
  void Note(const std::string& line);
  CSTAMessage Event(std::uint16_t type, const std::string& device) const;  // xref of device
  void SendToMonitors(std::uint16_t type, const Call& c,
                      const std::function<void(CSTAMessage&, const std::string& device)>& fill);
  std::uint32_t NewCall(const std::string& calling, const std::string& called);
  bool SetCallState(std::uint32_t callId, std::uint16_t state, Call* copy);

  Options options_;
  std::atomic<bool> answering_{true};
  int master_ = -1;
  int slaveKeep_ = -1;  // keeps the line up while the program has it closed
  int wake_ = -1;
  std::string slave_;
  std::thread thread_;
  std::atomic<bool> stop_{false};

  std::mutex writeMu_;  // one packet at a time on the line
  FrameCoder writeCoder_;
  std::atomic<std::size_t> sentPackets_{0};

  mutable std::mutex mu_;  // everything below
  mutable std::condition_variable cv_;
  std::vector<CSTAMessage> received_;
  std::vector<std::string> log_;
  std::size_t keep_ = 0;  // 0: everything
  std::map<std::string, std::uint32_t> monitors_;  // number -> cross-reference id
  std::uint32_t nextCrossRef_;
  std::uint32_t nextCallId_;
  std::uint32_t lastCallId_ = 0;
  std::map<std::uint32_t, Call> calls_;
  std::mt19937 random_;

  CSTAMessage ChargeReply(const CSTAMessage& in);  // under mu_
  std::deque<ChargeEntry> charges_;
  std::size_t chargeMax_ = 856;
  std::map<int, long> deviceUnits_;
  std::set<int> silentKinds_;
  std::map<int, int> failKinds_;  // kind -> failure code

  struct NetServer;
  std::unique_ptr<NetServer> net_;
};

// The command interpreter of the pbxsim program: one command a line
// ("incoming 00301234567 21", "answer", "hold 21", "retrieve 21",
// "transfer 21", "clear 21", "outgoing 21 22", "busy", "fail INVOKE CODE",
// "noise random|truncated|checksum", "wait MS", "log", "echo TEXT", "quit",
// and for the charge log "charge CALLING CALLED SECONDS UNITS [START]",
// "charges N", "chargemax N", "chargesilent KIND", "chargefail KIND CODE").
// Result false for "quit"; errors (and the text of "echo") are written to
// `out`.
bool RunCommand(PbxSim& sim, const std::string& line, std::string& out);

}  // namespace pbxsim
