#include "core/serial/serialport.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "core/base/globalconfig.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "platform/trace.h"

namespace {

// The line's settings, as the port name joined to this text.
constexpr const char* kSettingsTemplate = "COM2:9600,n,8,1";

struct LineSettings {
  speed_t speed = B9600;
  bool parity = false;
  int dataBits = 8;
  int stopBits = 1;
};

// "COMn:baud,parity,data,stop"; false when any part is not understood.
bool ParseSettings(const std::string& text, LineSettings& out) {
  const auto colon = text.find(':');
  if (colon == std::string::npos) return false;
  std::vector<std::string> parts;
  std::string cur;
  for (std::size_t i = colon + 1; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == ',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += text[i];
    }
  }
  if (parts.size() != 4) return false;
  const long baud = plat::AtolC(parts[0].c_str());
  switch (baud) {
    case 9600: out.speed = B9600; break;
    case 19200: out.speed = B19200; break;
    case 38400: out.speed = B38400; break;
    default: return false;
  }
  if (parts[1] != "n" && parts[1] != "N") return false;  // only no parity is used
  out.parity = false;
  out.dataBits = static_cast<int>(plat::AtolC(parts[2].c_str()));
  out.stopBits = static_cast<int>(plat::AtolC(parts[3].c_str()));
  return out.dataBits == 8 && (out.stopBits == 1 || out.stopBits == 2);
}

// Devices without modem lines (pseudo-terminals) refuse these requests.
bool NoModemLines(int err) { return err == ENOTTY || err == EINVAL || err == ENOTSUP; }

}  // namespace

CSerialPort::CSerialPort() {
  postSink_ = [this](const CSTAMessage& m) { Post(m); };
  receiver_.SetDropSink([this](CLineReceiver::Drop why, std::size_t length, int result) { OnDrop(why, length, result); });
  receiver_.SetCheckSink([this](std::size_t length, int result) {
    // The parser reports a packet when it ends: its accepted length is
    // traced then, ahead of the check's result.
    Trace(2, static_cast<long>(length), nullptr);
    if (result > 0) TraceNumber(14, static_cast<long>(length), static_cast<std::uintptr_t>(result));
  });
}

void CSerialPort::Post(const CSTAMessage& message) {
  // The message owns its copy: nothing of the parser's buffers outlives the post.
  if (plat::PostMessage(owner_, notifyMessage_, 0, static_cast<plat::LPARAM>(CSTAMessage::kSize), message.data(),
                        CSTAMessage::kSize))
    ++posted_;
  else
    ++dropped_;
}

void CSerialPort::OnDrop(CLineReceiver::Drop why, std::size_t length, int result) {
  ++dropped_;
  switch (why) {
    case CLineReceiver::Drop::kBadLength:
      Trace(13, static_cast<long>(length), nullptr);
      break;
    case CLineReceiver::Drop::kBadChecksum:
      Trace(2, static_cast<long>(length), nullptr);
      Trace(10, 0, nullptr);
      break;
    case CLineReceiver::Drop::kBadFrame:
      TraceLine(plat::StrFormatC("frame error %i", result));
      break;
    case CLineReceiver::Drop::kIdle:
      TraceLine("packet cut off");
      break;
  }
}

void CSerialPort::IdleReceive() {
  if (receiving_.exchange(true)) return;
  receiver_.Idle(postSink_);
  inPacket_ = receiver_.InPacket();
  receiving_ = false;
}

CSerialPort::~CSerialPort() { Close(); }

std::string CSerialPort::PortName(int portIndex) {
  std::string name = "COM";
  name += static_cast<char>('1' + portIndex);
  return name;
}

std::string CSerialPort::DevicePath(const std::string& portName) {
  if (portName.size() != 4 || portName.compare(0, 3, "COM") != 0) return {};
  const char digit = portName[3];
  if (digit < '1' || digit > '9') return {};
  const std::string var = "PALOMIR_" + portName;
  if (const char* env = std::getenv(var.c_str()); env != nullptr && *env != '\0') return env;
  return plat::StrFormatC("/dev/ttyS%i", digit - '1');
}

const char* CSerialPort::ErrorName(unsigned bit) {
  switch (bit) {
    case 1: return "CE_RXOVER";
    case 2: return "CE_OVERRUN";
    case 4: return "CE_RXPARITY";
    case 8: return "CE_FRAME";
    case 16: return "CE_BREAK";
    case 256: return "CE_TXFULL";
    case 512: return "W95:CE_PTO";
    case 1024: return "CE_IOE";
    case 2048: return "W95:CE_DNS";
    case 4096: return "W95:CE_OOP";
    case 32768: return "CE_MODE";
    default: return "";
  }
}

CSerialPort::ModemLines CSerialPort::ModemLinesAtOpen(int io1008) {
  ModemLines lines;
  lines.raise = TIOCM_RTS;
  if (io1008 == 1)
    lines.lower = TIOCM_DTR;
  else
    lines.raise |= TIOCM_DTR;
  return lines;
}

int CSerialPort::Open(int portIndex, plat::WindowId owner, plat::UINT notifyMessage) {
  const std::string name = PortName(portIndex);
  return OpenDevice(DevicePath(name), name, owner, notifyMessage);
}

int CSerialPort::Fail(int status) {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (wakeFd_ >= 0) {
    ::close(wakeFd_);
    wakeFd_ = -1;
  }
  status_ = status;
  return status;
}

int CSerialPort::OpenDevice(const std::string& device, const std::string& portName, plat::WindowId owner,
                            plat::UINT notifyMessage) {
  Close();
  const CGlobalConfig& config = GlobalConfig();
  io1008_ = config.IO1008;
  device_ = device;
  portName_ = portName;
  if (config.TOLECOPOLOGDLL != 0 && trace_ == 0) trace_ = OpenComTraceWindow(owner, kTraceKind);

  // Exclusive: TIOCEXCL keeps others out; the lock also holds for root,
  // which TIOCEXCL lets through.
  if (device.empty()) return Fail(kStatusOpenFailed);
  fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return Fail(kStatusOpenFailed);
  if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) return Fail(kStatusOpenFailed);
  // Not a terminal: left to the control block step to refuse.
  if (::ioctl(fd_, TIOCEXCL) != 0 && errno != ENOTTY) return Fail(kStatusOpenFailed);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) return Fail(kStatusOpenFailed);

  // The control block from the settings text, with the port's digit.
  std::string settings = kSettingsTemplate;
  if (portName.size() >= 4) settings[3] = portName[3];
  LineSettings line;
  termios tio{};
  if (!ParseSettings(settings, line) || ::tcgetattr(fd_, &tio) != 0) return Fail(kStatusBuildFailed);
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, line.speed);
  ::cfsetospeed(&tio, line.speed);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) return Fail(kStatusApplyFailed);

  // RTS on (and DTR held down when it must stay so); DTR is raised below
  // once the port is set.
  const ModemLines lines = ModemLinesAtOpen(io1008_);
  int bits = lines.raise & TIOCM_RTS;
  modemLines_ = true;
  if (::ioctl(fd_, TIOCMBIS, &bits) != 0) {
    if (!NoModemLines(errno)) return Fail(kStatusApplyFailed);
    modemLines_ = false;
  }
  if (modemLines_ && lines.lower != 0) {
    bits = lines.lower;
    if (::ioctl(fd_, TIOCMBIC, &bits) != 0) return Fail(kStatusApplyFailed);
  }
  ::tcflush(fd_, TCIOFLUSH);
  if (modemLines_ && (lines.raise & TIOCM_DTR) != 0) {
    bits = TIOCM_DTR;
    if (::ioctl(fd_, TIOCMBIS, &bits) != 0) return Fail(kStatusDtrFailed);
  }

  owner_ = owner;
  notifyMessage_ = notifyMessage;
  receiveBuffer_.assign(kReceiveBufferSize, 0);
  sendBuffer_.assign(kSendBufferSize, 0);
  receiver_.Reset();
  inPacket_ = false;
  receiving_ = false;
  sending_ = false;
  stop_ = false;
  lineLost_ = false;
  workerDone_ = false;
  lastError_ = 0;
  status_ = kStatusOpen;

  // The worker starts last, when everything it reads is in place.
  try {
    worker_ = std::thread([this] { WorkerMain(); });
  } catch (const std::system_error&) {
    plat::MessageBox(owner_, "EnableCommNotification == FALSE", "", plat::MB_OK | plat::MB_ICONERROR);
  }
  return status_;
}

void CSerialPort::Close() {
  if (worker_.joinable()) {
    stop_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t w = ::write(wakeFd_, &one, sizeof one);
    worker_.join();
  }
  if (fd_ >= 0) {
    if (modemLines_) {
      int bits = TIOCM_DTR;
      ::ioctl(fd_, TIOCMBIC, &bits);
    }
    ::tcflush(fd_, TCIOFLUSH);
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }
  if (wakeFd_ >= 0) {
    ::close(wakeFd_);
    wakeFd_ = -1;
  }
  if (trace_ != 0) {
    CloseComTraceWindow(trace_);
    trace_ = 0;
  }
  if (status_ == kStatusOpen) status_ = kStatusClosed;
}

void CSerialPort::Trace(int kind, long value, const void* ptr) {
  if (trace_ != 0) ProcessComTraceMessage(trace_, kind, value, ptr);
}

void CSerialPort::TraceNumber(int kind, long value, std::uintptr_t number) {
  if (trace_ != 0) ProcessComTraceMessage(trace_, kind, value, reinterpret_cast<const void*>(number));
}

void CSerialPort::TraceLine(const std::string& line) {
  if (trace_ != 0) ProcessComTraceMessage(trace_, 9, 0, line.c_str());
}

void CSerialPort::WorkerMain() {
  // A hang-up (the peer closed its end, the adapter was pulled) or a read
  // error ends the loop: such a line stays readable for ever and would
  // keep this thread spinning on it.
  bool lost = false;
  int err = 0;
  while (!stop_) {
    pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {fd_, POLLIN, 0}};
    const int n = ::poll(fds, 2, inPacket_ ? kPacketGapMs : -1);
    if (stop_) break;
    if (n == 0) {
      IdleReceive();
      continue;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      TraceLine(plat::StrFormatC("WaitCommEvent Error = %lu", static_cast<unsigned long>(err)));
      lost = true;
      break;
    }
    const short ev = fds[1].revents;
    if (ev & POLLIN) {
      if (trace_ != 0) {
        int queued = 0;
        ::ioctl(fd_, FIONREAD, &queued);
        TraceLine(plat::StrFormatC("WaitCommEvent Mask = %lX", 1ul));
        TraceLine(plat::StrFormatC("Bytes in Queue: %lX", static_cast<unsigned long>(queued)));
      }
      const int r = Receive();
      if (r == 0) {
        err = lastError_;
        lost = true;
        break;
      }
      if (r == kReceiveBusy) std::this_thread::yield();  // the main thread reads; it will drain the line
    }
    // What was queued is read; a line that hung up stays "readable".
    if (ev & (POLLHUP | POLLERR | POLLNVAL)) {
      lost = true;
      break;
    }
  }
  if (lost && !stop_) ReportLoss(err);
  workerDone_ = true;
}

void CSerialPort::ReportLoss(int err) {
  lineLost_ = true;
  TraceLine(plat::StrFormatC("line lost e=%lu", static_cast<unsigned long>(err)));
  const plat::WindowId target = lossTarget_ != 0 ? lossTarget_ : owner_;
  plat::PostMessage(target, kMsgLineLost, 0, static_cast<plat::LPARAM>(err));
}

int CSerialPort::Receive() {
  if (fd_ < 0) return 0;
  if (receiving_.exchange(true)) return kReceiveBusy;
  int result = 1;
  // Only what is queued is read; a read that brings nothing although bytes
  // were queued is an error, as is a queue that cannot be asked: both are
  // what a line that went away looks like.
  auto fail = [&](long got, int e) {
    const char* a = plat::GetTextOr(plat::TextId(49, 0), "");
    const char* b = plat::GetTextOr(plat::TextId(49, 1), "");
    TraceLine(plat::StrFormatC("%s %i %s", a, static_cast<int>(got), b));
    lastError_ = e;
    result = 0;
  };
  // A line that never falls quiet must not keep a closing port waiting.
  while (!stop_) {
    int queued = 0;
    if (::ioctl(fd_, FIONREAD, &queued) != 0) {
      fail(-1, errno);
      break;
    }
    if (queued <= 0) break;
    const ssize_t got = ::read(fd_, receiveBuffer_.data(), receiveBuffer_.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      fail(got, errno);
      break;
    }
    if (got == 0) {
      fail(0, 0);
      break;
    }
    Trace(0, static_cast<long>(got), receiveBuffer_.data());
    receiver_.Feed(receiveBuffer_.data(), static_cast<std::size_t>(got), postSink_);
  }
  inPacket_ = receiver_.InPacket();
  receiving_ = false;
  return result;
}

bool CSerialPort::WaitWritable(int timeoutMs) {
  pollfd p{fd_, POLLOUT, 0};
  for (;;) {
    const int n = ::poll(&p, 1, timeoutMs);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 && (p.revents & POLLOUT);
  }
}

int CSerialPort::Send(std::uint8_t* frame, std::size_t capacity) {
  if (sending_.exchange(true)) return kSendBusy;
  std::lock_guard<std::mutex> lock(sendMutex_);
  int result = 0;
  const int f = (frame != nullptr && fd_ >= 0) ? sendCoder_.BuildFrame(frame, capacity) : -1;
  const std::size_t packet =
      f > 0 ? BuildLinePacket(frame, static_cast<std::size_t>(f), sendBuffer_.data(), sendBuffer_.size()) : 0;
  if (packet > 0) {
    TraceNumber(15, frame[frame::kPlainLengthAt] | (frame[frame::kPlainLengthAt + 1] << 8),
                static_cast<std::uintptr_t>(f));
    // 2 ms a byte and a constant of F + 6 ms, as the line's write time-out.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * packet + packet);
    std::size_t written = 0;
    while (written < packet) {
      const ssize_t w = ::write(fd_, sendBuffer_.data() + written, packet - written);
      if (w > 0) {
        written += static_cast<std::size_t>(w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !WaitWritable(static_cast<int>(left.count()))) break;
    }
    Trace(1, static_cast<long>(written), sendBuffer_.data());
    result = written == packet ? 1 : 0;
    if (result == 0) TraceNumber(7, static_cast<long>(packet), written);
  }
  sending_ = false;
  return result;
}
