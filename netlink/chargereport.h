// The call-charge logger behind the four charge exports: one per process.
// It lists one line per record handed to it and, while the write switch is
// on, appends the record's file line to a text file. The state lives here
// without any display; the window (dialog 103) is made only when a
// QApplication runs and mirrors that state. Main thread only.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "netlink/chargeformat.h"
#include "platform/win32types.h"

namespace netlink {

// Open flags of the charge logger.
constexpr std::uint32_t kChargeStartNow = 0x01;
constexpr std::uint32_t kChargeToFile = 0x02;
constexpr std::uint32_t kChargeToFileToo = 0x04;
constexpr std::uint32_t kChargeDayFile = 0x08;
constexpr std::uint32_t kChargeFollowDay = 0x10;

// Messages to the owner window (sent, wParam 0, lParam 0).
constexpr plat::UINT kMsgChargeStarted = 1595;
constexpr plat::UINT kMsgChargeStopped = 1596;
constexpr plat::UINT kMsgChargeEnded = 1597;

// Controls of dialog 103.
constexpr int kIdChargeList = 1010;
constexpr int kIdChargeStartStop = 1018;
constexpr int kIdChargeSave = 1019;
constexpr int kIdChargeToFile = 1020;
constexpr int kIdChargeFileName = 1021;
constexpr int kIdChargeName = 1022;
constexpr int kIdChargeEnd = 1;

class CChargeReport {
 public:
  static constexpr std::size_t kListLimit = 5000;  // lines the list box takes
  static constexpr std::size_t kListDrop = 50;
  static constexpr int kListShown = 9;
  static constexpr const char* kDefaultFile = "pbxcalls.gdt";

  CChargeReport(plat::WindowId owner, std::uint32_t flags);
  ~CChargeReport();
  CChargeReport(const CChargeReport&) = delete;
  CChargeReport& operator=(const CChargeReport&) = delete;

  // True when a line was added (logging on, a record of kind 11 or 12).
  bool Process(const std::uint8_t* rec, std::size_t size);

  // What the window's controls do.
  void PressStartStop();
  void SetWriteToFile(bool on);
  void PressName();               // save-file dialog
  void PressSave(const std::string& name);  // takes the edit field's name
  void PressEnd();                // tells the owner, then the window goes
  void CloseWindow();

  bool logging() const { return logging_; }
  bool writeToFile() const { return writeToFile_; }
  const std::string& fileName() const { return fileName_; }
  const std::string& lastLine() const { return lastLine_; }
  const std::deque<std::string>& lines() const { return lines_; }
  std::uint32_t flags() const { return flags_; }
  plat::WindowId owner() const { return owner_; }
  bool hasWindow() const { return view_ != nullptr; }
  // Index of the first line the list shows.
  int topIndex() const { return top_; }

  // The save-file dialog; tests replace it. Returns false when cancelled.
  using FileChooser = std::function<bool(std::string* name)>;
  static void SetFileChooser(FileChooser chooser);

  struct View;
  struct ViewDeleter {
    void operator()(View* v) const;
  };
  using ViewPtr = std::unique_ptr<View, ViewDeleter>;

 private:
  void AddLine(const std::string& line);
  void AppendToFile(const std::string& line);
  void SetFileName(const std::string& name);

  plat::WindowId owner_;
  std::uint32_t flags_;
  bool logging_ = false;
  bool writeToFile_ = false;
  std::string fileName_ = kDefaultFile;
  std::string lastLine_;
  std::deque<std::string> lines_;
  int top_ = 0;
  ViewPtr view_;
};

// The logger of this process, or nullptr.
CChargeReport* ChargeReport();

}  // namespace netlink
