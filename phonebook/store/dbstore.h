// The phone book's dialogs over the program's database: every operation of
// the store goes through the database's own calls (and so its mutex), on
// items it lends for the call: a list buffer for a read or a rewrite, the
// edit buffer for a new record, the current item for a delete. Walks over
// all records map the file beside the database; every write to it happens
// on the main thread, where the walks run too.
// Main thread.
#pragma once
#include <cstdint>

#include "phonebook/dialogs/pbstore.h"

class CMyDataBase;
class CMyDataBaseItem;

namespace pb {

class CDataBaseStore : public IPhoneBookStore {
 public:
  explicit CDataBaseStore(CMyDataBase& db);
  ~CDataBaseStore() override;
  CDataBaseStore(const CDataBaseStore&) = delete;
  CDataBaseStore& operator=(const CDataBaseStore&) = delete;

  std::uint32_t RecordCount() override;
  bool ReadRecord(std::uint32_t n, PbRecord* out) override;
  bool ReadAt(std::int64_t offset, PbRecord* out) override;
  std::uint32_t PlaceOf(std::int64_t offset) override;
  void ForEach(const std::function<bool(const PbRecord&)>& fn, std::uint32_t fields = kAllFields) override;
  std::vector<std::int64_t> Search(int field, const std::string& pattern, int options) override;
  bool HasNumber(const std::string& number) override;
  bool Save(PbRecord& r, bool sync = true) override;
  bool Sync() override;
  bool Delete(const PbRecord& r) override;
  bool WriteHeader() override;
  bool RecordOf(CMyDataBaseParamInterface* item, PbRecord* out) override;
  std::int64_t ViewRequest() override;
  void SetViewRequest(std::int64_t offset) override;
  std::vector<std::string> OwnFiles() override;

  // The record bytes as the dialogs see them.
  static void FromBytes(const std::uint8_t* record, std::int64_t offset, std::uint64_t generation, PbRecord* out,
                        std::uint32_t fields = kAllFields);

 private:
  class Buffer;
  // The file's state now: records read before a purge are of an older one.
  std::uint64_t Generation(Buffer& b);
  bool Load(Buffer& b, std::int64_t offset);
  static void Fill(CMyDataBaseItem& item, const PbRecord& r);

  CMyDataBase& db_;
  std::int64_t viewRequest_ = 0;
  bool batch_ = false;
};

}  // namespace pb
