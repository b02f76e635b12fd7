// The text file of the call records read out of the PBX one by one: a
// count reply starts it anew, each record reply appends one line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/base/textlogfile.h"
#include "platform/win32types.h"

class CMonitorTable;
class CChargeAndLogHandler;

// Turns the packed digits of a record into the calling and the called
// number (the message filter does this).
class IBcdNumberSource {
 public:
  virtual ~IBcdNumberSource() = default;
  virtual int UnpackBcdNumbers(const std::uint8_t* source, std::string* first, std::string* second) = 0;
};

// A record as handed in: the data of a private reply from its kind byte on.
struct ServiceRecordLayout {
  static constexpr std::size_t kKind = 0;
  static constexpr std::size_t kIndex = 1, kIndexSize = 5;
  static constexpr std::size_t kTime = 6, kTimeSize = 11;
  static constexpr std::size_t kDuration = 17, kDurationSize = 6;
  static constexpr std::size_t kUnits = 23, kUnitsSize = 7;
  static constexpr std::size_t kDigits = 30, kDigitsSize = 10;
  static constexpr std::size_t kSize = 40;
};
static_assert(ServiceRecordLayout::kIndex + ServiceRecordLayout::kIndexSize == ServiceRecordLayout::kTime);
static_assert(ServiceRecordLayout::kTime + ServiceRecordLayout::kTimeSize == ServiceRecordLayout::kDuration);
static_assert(ServiceRecordLayout::kDuration + ServiceRecordLayout::kDurationSize == ServiceRecordLayout::kUnits);
static_assert(ServiceRecordLayout::kUnits + ServiceRecordLayout::kUnitsSize == ServiceRecordLayout::kDigits);
static_assert(ServiceRecordLayout::kDigits + ServiceRecordLayout::kDigitsSize == ServiceRecordLayout::kSize);

class CServiceRecordFile {
 public:
  enum Kind { kNothing = 0, kStartFile = 1, kAppendRecord = 3 };
  static constexpr const char* kDefaultName = "c:\\service.xxx";
  static constexpr std::size_t kNameSize = 128;
  static constexpr std::size_t kNumberChars = 19;

  CServiceRecordFile();
  virtual ~CServiceRecordFile();
  CServiceRecordFile(const CServiceRecordFile&) = delete;
  CServiceRecordFile& operator=(const CServiceRecordFile&) = delete;

  virtual int Link(plat::WindowId view, CMonitorTable* monitors, IBcdNumberSource* filter,
                   CChargeAndLogHandler* charges);
  // data from the kind byte on; bytes beyond size read as zero. A start
  // record keeps the previous read-out until the first record of the new
  // one replaces the file whole; each further record appends one line in
  // one write, synced. 1 when done, 0 when the file could not be written
  // (the log says why; a failed write or sync leaves the file as it was).
  virtual int WriteRecord(const std::uint8_t* data, std::size_t size);
  virtual int Reserved1() { return 0; }
  virtual std::string Reserved2() { return std::string(); }
  // how 0: loads the whole service file for reading from its first line.
  virtual int OpenForReading(int how);
  // Lines of what was loaded; "" at the end.
  virtual std::string FirstLine();
  virtual std::string NextLine();
  // Writes the service file's lines up to the first empty one into target
  // (a stored or Linux name), replacing it only with a complete, synced
  // copy. 1 when written, 0 when not (the target is then as it was).
  virtual int CopyTo(const std::string& target);
  // Loads the named file for reading; false (0) when it did not exist and
  // was created empty.
  virtual int OpenExisting(const std::string& name);
  virtual void Reset();

  std::string FileName() const { return fileName_; }
  void SetFileName(const std::string& stored);
  int RecordSize() const { return recordSize_; }

  // The line of a kind-3 record.
  std::string FormLine(const std::uint8_t* record40) const;
  static std::string FormatDuration(long seconds);

 private:
  std::string MappedName() const;
  int Failed(const std::string& path, int err);

  mutable std::recursive_mutex mu_;
  CTextLogFile file_;
  char fileName_[kNameSize] = {};
  int recordSize_ = 856;
  bool startPending_ = false;  // the start of a read-out could not empty the file
  plat::WindowId view_ = 0;
  CMonitorTable* monitors_ = nullptr;
  IBcdNumberSource* filter_ = nullptr;
  CChargeAndLogHandler* charges_ = nullptr;
};
