// The phone book: one record file behind a header, the items through which
// records are read and edited, per-list search results, the file of
// deleted records beside it ("delitems.db"), and the database interface
// through which the call model recognises callers.
//
// The file is the truth: the record count is the number of whole records
// behind the header, repaired at open. A record is changed in place by one
// write and a data sync; an append writes the record, then the count word,
// then syncs; a new file, a conversion and a purge are built in a
// temporary beside the database and renamed over it. Any failed operation
// leaves the old state, is logged, and its caller gets the failure.
//
// One mutex guards it all. Interface lookups (from any thread) keep their
// result in an item of the calling thread and never touch the current
// item, the edit buffer or the hit lists of the dialogs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/iface/databaseinterface.h"
#include "phonebook/item.h"
#include "phonebook/numberindex.h"
#include "phonebook/record.h"
#include "phonebook/structfile.h"

class CMyDataBase : public CMyDataBaseInterface {
 public:
  static constexpr int kListBuffers = 8;
  static constexpr int kMaxHits = 50;
  static constexpr const char* kDeletedFileName = "delitems.db";

  CMyDataBase();
  ~CMyDataBase() override;
  CMyDataBase(const CMyDataBase&) = delete;
  CMyDataBase& operator=(const CMyDataBase&) = delete;

  // Opens the phone book on path: format 5 as it is (a torn tail cut off,
  // the count repaired), format 3 converted, an empty or missing file made
  // new. Anything else stays untouched and the database closed. "" means
  // no phone book. 1 open, 0 not.
  int Open(const std::string& path);
  bool IsOpen() const;
  const std::string& Path() const { return path_; }
  // The deleted-records file that belongs to the open database.
  std::string DeletedFilePath() const;
  // Writes the header. 1, 0 when it could not be written.
  int WriteHeader();
  // The header, then a purge. 1, 0 when either failed.
  int Flush();
  void Close();

  CMyDataBaseItem* GetEmptyItem(int n);
  CMyDataBaseItem* First(int n);
  CMyDataBaseItem* Last(int n);
  CMyDataBaseItem* Next(int n);
  CMyDataBaseItem* Previous(int n);
  // Fills the hit list of n (of the current item for -1). Option bits:
  // low byte 1 first match only, 0x400 case-insensitive. 1 with hits.
  int FindByField(int field, const std::string& pattern, int options, int n);
  CMyDataBaseItem* FirstHit(int n);
  CMyDataBaseItem* NextHit(int n);
  CMyDataBaseItem* PreviousHit(int n);
  CMyDataBaseItem* LastHit(int n);
  int GetHitCount(int n = -1) const;
  std::uint32_t GetRecordCount() const;
  // Only the edit buffer: appended when new, else rewritten; the current
  // item becomes a copy. 1, 0 when refused or not written.
  int SaveItem(CMyDataBaseItem* item, int n);
  // Any item of the database. 1, 0 when not written.
  int UpdateItem(CMyDataBaseItem* item, int n);
  // Marks the record deleted, then purges. 1 when the purge ran; 0 when it
  // waits for a walk (the record stays marked) or failed (the record is in
  // use again, item included).
  int DeleteItem(CMyDataBaseItem* item, int n);
  int CheckRecordCount();
  int ViewRequestFlag(int value);
  int AcquireListBuffer();
  int ReleaseListBuffer(int n);

  // kind 0 records, 1 hits; step 0 first, 1 last, 2 next, 3 previous,
  // 4 and above no move. The current item rendered, "" when there is none.
  std::string GetRecordText(int kind, int step, const std::string& tmpl);
  // The same for print; n other than -1 renders list buffer n. Kind 2 step
  // 4 keeps the template as the first line of the next text file.
  std::string GetPrintText(int kind, int step, const std::string& tmpl, int n);
  std::string FirstLine(int n);
  std::string NextLine(int n);
  // True for the database and its deleted-records file, under any name.
  bool IsOwnFile(const std::string& path) const;
  // kind 1: one line per hit; else the first line, then one per record.
  // The file is replaced as a whole. 1, 0 when it could not be written or
  // is one of the database's own.
  int WriteTextFile(int kind, const std::string& path, const std::string& tmpl, int n);
  // Moves the deleted records to the deleted-records file. flags bit 1:
  // the database is replaced by the kept records. 1 done, 0 refused or failed.
  int Purge(int unused, int flags);

  // Appends of one import share one sync: between BeginBatch and
  // CommitBatch saves of new items are written but synced once.
  void BeginBatch();
  bool CommitBatch();

  CMyDataBaseItem* Current() { return &current_; }
  CMyDataBaseItem* EditBuffer() { return &edit_; }
  CMyDataBaseItem* ListBuffer(int n) { return n >= 0 && n < kListBuffers ? &lists_[n].item : nullptr; }
  const DataBaseHeader& Header() const { return header_; }

  // Offsets of the records whose number equals number (normalised), in
  // file order.
  std::vector<std::uint32_t> IndexLookup(const std::string& number) const;

  // Log lines go here (default: the program's log).
  void SetLogSink(std::function<void(const std::string&)> sink) { log_ = std::move(sink); }

  // Database interface; any thread.
  int FindRecord(std::uint32_t kind, const CDataBaseParam& value, const char* extra, std::uint32_t reserved) override;
  int NewRecord(CMyDataBaseParamInterface** out) override;
  int UpdateRecord(CMyDataBaseParamInterface** item) override;
  int FirstSearchHit(CMyDataBaseParamInterface** out) override;

 private:
  struct ListSlot {
    CMyDataBaseItem item;
    bool inUse = false;
  };
  struct HitList {
    std::vector<std::uint32_t> offsets;
    int cursor = 0;
  };
  struct ThreadSlot;

  CMyDataBaseItem* ItemOf(int n);
  HitList& HitsOf(int n);
  const HitList* HitsOfConst(int n) const;
  CMyDataBaseItem* ReadHit(int n, int index);
  bool OpenLocked(const std::string& path);
  bool PrepareNewFile();
  bool Convert();
  bool RepairAtOpen();
  bool BuildIndex();
  // Offsets of in-use records whose number is number, file order, at most limit.
  std::vector<std::uint32_t> MatchingOffsets(const std::string& number, std::size_t limit) const;
  bool WriteItem(CMyDataBaseItem& item);
  bool AppendItem(CMyDataBaseItem& item);
  bool RewriteItem(CMyDataBaseItem& item);
  bool WriteCountWord();
  int CheckRecordCountLocked();
  int PurgeLocked(int flags);
  // A list buffer is in use: a purge now would move records under a walk.
  bool PurgeWaits() const;
  void RemapAfterPurge(const std::vector<std::uint32_t>& newOffsetOfRecord);
  bool ReadItemAt(CMyDataBaseItem& item, std::uint32_t offset);
  std::string Render(CMyDataBaseItem* item, bool forPrint, const std::string& tmpl);
  CMyDataBaseItem* MoveItem(int n, int kind, int step);
  ThreadSlot& Slot();
  void Log(const std::string& line);

  mutable std::recursive_mutex mu_;
  std::function<void(const std::string&)> log_;
  std::string path_;
  CStructFile file_{static_cast<std::int32_t>(DataBaseHeader::kSize), static_cast<std::int32_t>(DataBaseRecord::kSize)};
  DataBaseHeader header_;
  CMyDataBaseItem current_;
  CMyDataBaseItem edit_;
  ListSlot lists_[kListBuffers];
  HitList hits_[kListBuffers + 1];  // one per list buffer, the last of the current item
  std::string firstLine_;
  bool firstLinePending_ = false;
  int viewRequest_ = 0;
  CNumberIndex index_;
  std::uint32_t deletedCount_ = 0;
  std::uint64_t generation_ = 1;  // a new one with each open and purge
  std::uint64_t id_;              // tells this database's thread slots from others'
  bool batch_ = false;
  bool batchDirty_ = false;
};
