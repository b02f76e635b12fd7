// The serial link to the PBX: one open COM port, raw 9600 baud 8N1, a
// worker thread that cuts the received bytes into line packets and posts
// every message to the owner window, and the sending of serial frames.
//
// "COMn" is the device /dev/ttyS{n-1}, unless the environment variable
// PALOMIR_COMn names another device (PALOMIR_COM3=/dev/ttyUSB0).
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/serial/linereceiver.h"
#include "platform/win32types.h"

class CSerialPort {
 public:
  // Every received message goes to the owner as this window message: wParam
  // 0, lParam 982, the payload an owned copy of the 982-byte record.
  static constexpr plat::UINT kMsgReceived = 1590;
  // The line went away (hang-up or read error): posted once to the loss
  // target (the link object), wParam 0, lParam the errno seen (0 for a
  // hang-up). The worker has ended by then; Close still frees the port.
  static constexpr plat::UINT kMsgLineLost = plat::WM_USER + 330;

  // Open status: 1 open, else the step that failed (the port is closed).
  static constexpr int kStatusClosed = 0;
  static constexpr int kStatusOpen = 1;
  static constexpr int kStatusOpenFailed = -1;
  static constexpr int kStatusBuildFailed = -2;
  static constexpr int kStatusApplyFailed = -3;
  static constexpr int kStatusDtrFailed = -5;

  // Results of Send and Receive.
  static constexpr int kSendBusy = -7;
  static constexpr int kReceiveBusy = -6;

  static constexpr std::size_t kReceiveBufferSize = 16384;
  static constexpr std::size_t kSendBufferSize = 8192;
  static constexpr int kTraceKind = 33;
  // A packet whose bytes stop for this long is given up and re-parsed.
  static constexpr int kPacketGapMs = 200;

  CSerialPort();
  ~CSerialPort();  // closes
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // "COM" + ('1' + index): index 0 is "COM1".
  static std::string PortName(int portIndex);
  // The Linux device of a port name; "" for a name that is not COM1..COM9.
  static std::string DevicePath(const std::string& portName);
  // Name of one communication error bit; "" for an unknown bit.
  static const char* ErrorName(unsigned bit);

  // The modem lines (TIOCM_* bits) that the open sets once the line is
  // configured: RTS up, DTR up unless IO1008 is 1. Opening a terminal
  // raises DTR by itself, so with IO1008 1 it is lowered again.
  struct ModemLines {
    int raise = 0;
    int lower = 0;
  };
  static ModemLines ModemLinesAtOpen(int io1008);

  // Opens the port of the index and starts the worker; result the status.
  int Open(int portIndex, plat::WindowId owner, plat::UINT notifyMessage = kMsgReceived);
  // The same for a device path (tests, tools).
  int OpenDevice(const std::string& device, const std::string& portName, plat::WindowId owner,
                 plat::UINT notifyMessage = kMsgReceived);
  // Who hears of a lost line; the owner when none is set.
  void SetLossTarget(plat::WindowId target) { lossTarget_ = target; }
  int Status() const { return status_; }
  bool IsOpen() const { return status_ == kStatusOpen; }
  bool WorkerRunning() const { return worker_.joinable() && !workerDone_.load(); }
  // Set once the worker has given up on a line that went away.
  bool LineLost() const { return lineLost_.load(); }
  const std::string& Device() const { return device_; }

  // frame: a SerialFrame (flag, u16 plain length, u16 stored length, data)
  // whose plain length and message bytes are set, in a buffer of `capacity`
  // bytes (at least 2053). The frame is built in place. 1 sent whole, 0
  // short write or bad frame, -7 another send in progress.
  int Send(std::uint8_t* frame, std::size_t capacity);
  // Reads and parses what is queued: 1 done, 0 read error, -6 busy.
  int Receive();
  // Wakes and joins the worker, then frees the port. Safe to call twice.
  void Close();

  // Counters, for tests and the trace.
  std::uint64_t MessagesPosted() const { return posted_.load(); }
  std::uint64_t FramesDropped() const { return dropped_.load(); }

 private:
  int Fail(int status);
  void Trace(int kind, long value, const void* ptr);
  // Kinds whose pointer argument carries a number.
  void TraceNumber(int kind, long value, std::uintptr_t number);
  void TraceLine(const std::string& line);
  void WorkerMain();
  void ReportLoss(int err);
  void Post(const CSTAMessage& message);
  void OnDrop(CLineReceiver::Drop why, std::size_t length, int result);
  void IdleReceive();
  bool WaitWritable(int timeoutMs);

  int fd_ = -1;
  int wakeFd_ = -1;
  std::atomic<int> status_{kStatusClosed};
  std::string device_;
  std::string portName_;
  plat::WindowId owner_ = 0;
  plat::UINT notifyMessage_ = kMsgReceived;
  plat::WindowId lossTarget_ = 0;
  bool modemLines_ = true;  // false for devices without them (pseudo-terminals)
  int io1008_ = 0;
  std::uint32_t trace_ = 0;

  // Receiving side: the worker's own (Receive is exclusive).
  std::atomic<bool> receiving_{false};
  std::vector<std::uint8_t> receiveBuffer_;
  CLineReceiver receiver_;
  CLineReceiver::MessageSink postSink_;
  std::atomic<bool> inPacket_{false};  // the receiver's state, for the worker's wait

  // Sending side.
  std::atomic<bool> sending_{false};
  std::mutex sendMutex_;
  std::vector<std::uint8_t> sendBuffer_;
  FrameCoder sendCoder_;

  std::atomic<bool> stop_{false};
  std::atomic<bool> lineLost_{false};
  std::atomic<bool> workerDone_{false};
  std::atomic<int> lastError_{0};  // of the last failed receive
  std::thread worker_;
  std::atomic<std::uint64_t> posted_{0};
  std::atomic<std::uint64_t> dropped_{0};
};
