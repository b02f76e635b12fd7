// What the phone book's dialogs need of the database: records by their
// place in file order, searches that hand back offsets, saves, deletes and
// the number index. Every answer is a copy; a failed write answers false
// and leaves the file as it was. Main thread.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "phonebook/dialogs/pbrecord.h"

namespace pb {

// Search options as the search dialog makes them.
enum : int {
  kFirstMatchOnly = 1,
  kToLastRecord = 2,
  kIgnoreCase = 0x400,
  kMatchCase = 0x800,
};
inline constexpr std::size_t kMaxHits = 50;

class IPhoneBookStore {
 public:
  virtual ~IPhoneBookStore() = default;

  // Records in the file, those marked deleted included.
  virtual std::uint32_t RecordCount() = 0;
  // Record n (1 .. RecordCount) in file order.
  virtual bool ReadRecord(std::uint32_t n, PbRecord* out) = 0;
  // The record stored at offset.
  virtual bool ReadAt(std::int64_t offset, PbRecord* out) = 0;
  // The place (1 ..) of the record at offset; 0 when there is none.
  virtual std::uint32_t PlaceOf(std::int64_t offset) = 0;
  // Every record in file order, those marked deleted included, until fn
  // answers false. The record handed to fn lives for the call; of its
  // texts only those in fields need be filled.
  virtual void ForEach(const std::function<bool(const PbRecord&)>& fn, std::uint32_t fields = kAllFields) {
    (void)fields;
    PbRecord r;
    const std::uint32_t count = RecordCount();
    for (std::uint32_t n = 1; n <= count; ++n)
      if (ReadRecord(n, &r) && !fn(r)) return;
  }

  // Offsets of the records in use whose field matches: a "*" cuts the
  // pattern and the field must contain the rest, else equal it (numbers
  // compared without their separators); at most kMaxHits, one with
  // kFirstMatchOnly.
  virtual std::vector<std::int64_t> Search(int field, const std::string& pattern, int options) = 0;
  // Whether a record in use has this number (compared as NumberKey).
  virtual bool HasNumber(const std::string& number) = 0;

  // A new record is appended and takes its offset, an old one is rewritten
  // at its offset; one read before a delete moved the records is refused.
  // sync false leaves the sync to Sync() (an import's batch).
  virtual bool Save(PbRecord& r, bool sync = true) = 0;
  virtual bool Sync() = 0;
  // Removes the record from the file (marked deleted, then purged; the
  // purge may wait for a later one). False when nothing was removed.
  virtual bool Delete(const PbRecord& r) = 0;
  virtual bool WriteHeader() = 0;

  // The record behind a value interface the call model was given.
  virtual bool RecordOf(CMyDataBaseParamInterface* item, PbRecord* out) = 0;

  // The record that the database dialog is to show when it opens (set at
  // the start of a call); 0 when none.
  virtual std::int64_t ViewRequest() = 0;
  virtual void SetViewRequest(std::int64_t offset) = 0;

  // The files the database keeps (database, deleted records, temporaries):
  // an export must not write over them.
  virtual std::vector<std::string> OwnFiles() = 0;
};

}  // namespace pb
