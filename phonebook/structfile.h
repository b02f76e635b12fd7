// A binary file of fixed-size records behind an optional header, over one
// POSIX descriptor. Records are addressed by 1-based number or by byte
// offset; one remembered position lets callers walk them in both
// directions. It knows nothing of the contents: callers hand it buffers of
// the sizes they set.
//
// Only whole records count: a torn tail (a kill in the middle of an
// append) is no record, an append goes behind the last whole record and
// an in-place write only replaces a whole record at a record boundary.
// Writes go through plat::io so that tests can fail them or stop the
// process at them; every result is checked and LastOk() tells whether the
// last operation did what it was asked.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

class CStructFile {
 public:
  CStructFile() { Init(); }
  CStructFile(std::int32_t headerSize, std::int32_t recordSize) {
    Init();
    SetHeaderSize(headerSize);
    SetRecordSize(recordSize);
  }
  virtual ~CStructFile();
  CStructFile(const CStructFile&) = delete;
  CStructFile& operator=(const CStructFile&) = delete;

  // Path empty, sizes, offsets and flags 0, begin flag 1. Does not close.
  virtual int Init();
  // Opens an existing file read-write (read-only when writing is not
  // allowed: writes are then refused) or creates a missing one; an
  // existing file is never emptied. 0 opened, 1 created, -1 neither.
  virtual int OpenOrCreate(const std::string& path);
  // Reads the header. 0 without a header (or when it cannot be read
  // whole); else the position held before the call.
  virtual std::uint32_t ReadHeader(void* buffer);
  // The record at the position. At the end: the last offset, nothing
  // read; 0 when no whole record came back; else its offset.
  virtual std::uint32_t ReadNext(void* buffer);
  // The record before the one last read; the position when there is none.
  virtual std::uint32_t ReadPrevious(void* buffer);
  // Record n (numbers below 1 read the first). 0 beyond the end.
  virtual std::uint32_t ReadRecord(std::int32_t n, void* buffer);
  // The record at offset; 0 when no whole record lies there.
  virtual std::uint32_t ReadAt(std::uint32_t offset, void* buffer);
  virtual std::uint32_t ReadFirst(void* buffer);
  // The last whole record; 0 (nothing read) when there is none.
  virtual std::uint32_t ReadLast(void* buffer);
  // Overwrites the record at the position; 0 at the end (never appends).
  virtual std::uint32_t WriteNext(const void* buffer);
  // Adds a record behind the last whole one. Its offset; 0 on failure.
  virtual std::uint32_t Append(const void* buffer);
  // Overwrites record n; 0 beyond the end.
  virtual std::uint32_t WriteRecord(std::int32_t n, const void* buffer);
  // Overwrites the whole record at offset, a record boundary; 0 when no
  // whole record lies there or the write failed.
  virtual std::uint32_t WriteAt(std::uint32_t offset, const void* buffer);
  // Writes header-size bytes at 0. 0 done, -1 failed.
  virtual int WriteHeader(const void* buffer);
  // Writes len bytes inside the header at offset (a count word, say), so
  // that a power cut cannot tear the rest of the header. False when the
  // range leaves the header or the write failed.
  bool WriteHeaderBytes(std::uint32_t offset, const void* data, std::size_t len);
  virtual int SetHeaderSize(std::int32_t size);
  virtual int SetRecordSize(std::int32_t size);
  // Called by GetRecordCount when the data is not a whole number of records.
  virtual int OnPartialRecord() { return 0; }
  // Whole records behind the header; a trailing partial record is not counted.
  virtual std::uint32_t GetRecordCount();

  // fdatasync: true when the data written so far is on the device.
  bool Sync();
  // Cuts the file to the header and the first `records` records.
  bool TruncateTo(std::uint32_t records);
  // Reads up to len bytes at offset in as few calls as it takes; the
  // count read, -1 on an error. For long sequential scans.
  long long ReadBlock(std::uint64_t offset, void* buffer, std::size_t len) const;
  bool Close();

  bool IsOpen() const { return fd_ >= 0; }
  bool IsReadOnly() const { return readOnly_; }
  bool LastOk() const { return lastOk_; }
  const std::string& Path() const { return path_; }
  std::int32_t HeaderSize() const { return headerSize_; }
  std::int32_t RecordSize() const { return recordSize_; }
  bool HasHeader() const { return hasHeader_ != 0; }
  std::uint32_t LastOffset() const { return lastOffset_; }
  std::uint32_t Position() const { return position_; }
  bool AtBegin() const { return beginFlag_ != 0; }
  bool AtEnd() const { return endFlag_ != 0; }
  // The size of the file now; 0 when closed or unknown.
  std::uint64_t FileSize() const;
  // The offset of record n (from 1) by the layout.
  std::uint64_t OffsetOf(std::uint32_t n) const;

 private:
  std::uint64_t NumberedOffset(std::int32_t n) const;
  // The record at off is the last one touched; the position is behind it.
  std::uint32_t Landed(std::uint64_t off);
  std::uint64_t DataStart() const { return hasHeader_ ? static_cast<std::uint64_t>(headerSize_) : 0; }
  bool ReadWhole(std::uint64_t offset, void* buffer);
  bool WriteWhole(std::uint64_t offset, const void* buffer, std::size_t len);
  bool IsWholeRecordAt(std::uint64_t offset, std::uint64_t size) const;

  int fd_ = -1;
  bool readOnly_ = false;
  bool lastOk_ = true;
  std::string path_;
  std::int32_t hasHeader_ = 0;
  std::int32_t headerSize_ = 0;
  std::int32_t recordSize_ = 0;
  std::uint32_t lastOffset_ = 0;
  std::uint32_t position_ = 0;  // the file position and the remembered one: one value
  std::int32_t beginFlag_ = 1;
  std::int32_t endFlag_ = 0;
};
