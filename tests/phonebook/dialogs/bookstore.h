// The store the dialog tests run on, either the phone book in memory or the
// program's database over a real file in a fresh folder; both behind one
// front that counts what the dialogs asked of it and can fail every write.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "phonebook/database.h"
#include "phonebook/store/dbstore.h"
#include "tests/phonebook/dialogs/memstore.h"
#include "tests/phonebook/pbtemp.h"
#include "tests/support/filefaults.h"

namespace pbtest {

enum class Backing { kMemory, kFile };

inline std::string BackingName(const ::testing::TestParamInfo<Backing>& info) {
  return info.param == Backing::kMemory ? "Memory" : "File";
}

// Fails every write, sync, rename and truncation of any file while it is set.
class FailAllWrites : public plat::io::Hook {
 public:
  FailAllWrites() : previous_(plat::io::CurrentHook()) { plat::io::SetHook(this); }
  ~FailAllWrites() override { plat::io::SetHook(previous_); }
  int Before(plat::io::Op op, const char*) override {
    using plat::io::Op;
    return op == Op::Write || op == Op::PWrite || op == Op::Fsync || op == Op::Fdatasync || op == Op::Rename ||
                   op == Op::Truncate
               ? ENOSPC
               : 0;
  }

 private:
  plat::io::Hook* previous_;
};

class BookStore : public pb::IPhoneBookStore {
 public:
  explicit BookStore(Backing b) : backing_(b), folder_("pbdlg") {
    if (b == Backing::kMemory) {
      mem_.ownFiles = {folder_ / "phone.db", folder_ / CMyDataBase::kDeletedFileName};
      testsupport::PutFile(mem_.ownFiles[0], "database bytes");
      return;
    }
    db_.SetLogSink([](const std::string&) {});
    db_.Open(folder_ / "phone.db");
    file_ = std::make_unique<pb::CDataBaseStore>(db_);
  }

  Backing Kind() const { return backing_; }
  const TempFolder& Folder() const { return folder_; }
  CMyDataBase& Database() { return db_; }
  pb::IPhoneBookStore& Inner() { return file_ ? static_cast<pb::IPhoneBookStore&>(*file_) : mem_; }

  pb::PbRecord Add(const std::string& company, const std::string& name, const std::string& number, bool inUse = true) {
    pb::PbRecord r;
    r.Set(pb::kCompany, company);
    r.Set(pb::kName, name);
    r.Set(pb::kNumber, number);
    r.inUse = inUse;
    EXPECT_TRUE(Inner().Save(r));
    return r;
  }
  // Every record as the store has it now, in file order.
  std::vector<pb::PbRecord> Records() {
    std::vector<pb::PbRecord> out;
    const std::uint32_t n = Inner().RecordCount();
    for (std::uint32_t i = 1; i <= n; ++i) {
      pb::PbRecord r;
      EXPECT_TRUE(Inner().ReadRecord(i, &r)) << i;
      out.push_back(r);
    }
    return out;
  }
  void SetFailWrites(bool on) {
    mem_.failWrites = on;
    if (file_) fail_ = on ? std::make_unique<FailAllWrites>() : nullptr;
  }
  int HeaderWrites() const { return headerWrites_; }
  int Syncs() const { return syncs_; }

  std::uint32_t RecordCount() override { return Inner().RecordCount(); }
  bool ReadRecord(std::uint32_t n, pb::PbRecord* out) override { return Inner().ReadRecord(n, out); }
  bool ReadAt(std::int64_t offset, pb::PbRecord* out) override { return Inner().ReadAt(offset, out); }
  std::uint32_t PlaceOf(std::int64_t offset) override { return Inner().PlaceOf(offset); }
  void ForEach(const std::function<bool(const pb::PbRecord&)>& fn, std::uint32_t fields = pb::kAllFields) override {
    Inner().ForEach(fn, fields);
  }
  std::vector<std::int64_t> Search(int field, const std::string& pattern, int options) override {
    return Inner().Search(field, pattern, options);
  }
  bool HasNumber(const std::string& number) override { return Inner().HasNumber(number); }
  bool Save(pb::PbRecord& r, bool sync = true) override {
    if (sync) ++syncs_;
    return Inner().Save(r, sync);
  }
  bool Sync() override {
    ++syncs_;
    return Inner().Sync();
  }
  bool Delete(const pb::PbRecord& r) override { return Inner().Delete(r); }
  bool WriteHeader() override {
    ++headerWrites_;
    return Inner().WriteHeader();
  }
  bool RecordOf(CMyDataBaseParamInterface* item, pb::PbRecord* out) override { return Inner().RecordOf(item, out); }
  std::int64_t ViewRequest() override { return Inner().ViewRequest(); }
  void SetViewRequest(std::int64_t offset) override { Inner().SetViewRequest(offset); }
  std::vector<std::string> OwnFiles() override { return Inner().OwnFiles(); }

 private:
  Backing backing_;
  TempFolder folder_;
  MemStore mem_;
  CMyDataBase db_;
  std::unique_ptr<pb::CDataBaseStore> file_;
  std::unique_ptr<FailAllWrites> fail_;
  int headerWrites_ = 0;
  int syncs_ = 0;
};

}  // namespace pbtest
