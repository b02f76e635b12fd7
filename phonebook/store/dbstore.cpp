#include "phonebook/store/dbstore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "phonebook/database.h"
#include "platform/text.h"

namespace pb {

namespace {

constexpr std::int64_t kHeader = DataBaseHeader::kSize;
constexpr std::int64_t kRecord = DataBaseRecord::kSize;

}  // namespace

// A list buffer of the database for the length of one operation: while it
// is held the database purges nothing, so it goes back at once.
class CDataBaseStore::Buffer {
 public:
  explicit Buffer(CMyDataBase& db) : db_(db), n_(db.AcquireListBuffer()) {}
  ~Buffer() {
    if (n_ >= 0) db_.ReleaseListBuffer(n_);
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  int N() const { return n_; }
  CMyDataBaseItem* Item() { return db_.ListBuffer(n_); }
  void Release() {
    if (n_ >= 0) db_.ReleaseListBuffer(n_);
    n_ = -1;
  }

 private:
  CMyDataBase& db_;
  int n_;
};

CDataBaseStore::CDataBaseStore(CMyDataBase& db) : db_(db) {}

CDataBaseStore::~CDataBaseStore() {
  if (batch_) db_.CommitBatch();
}

void CDataBaseStore::FromBytes(const std::uint8_t* rec, std::int64_t offset, std::uint64_t generation, PbRecord* out,
                               std::uint32_t fields) {
  for (int id = kCompany; id <= kNote; ++id) {
    if (!(fields & FieldBit(id))) continue;
    const pbfile::TextField f = pbtext::TextFieldOf(id);
    // As TextAt reads it, into the string's own room.
    const char* p = reinterpret_cast<const char*>(rec + f.offset);
    out->text[static_cast<std::size_t>(id)].assign(p, ::strnlen(p, f.width - 1));
  }
  out->external = rec[DataBaseRecord::kExternal] != 0;
  const int t = pbfile::I16At(rec, DataBaseRecord::kTreatment);
  out->treatment = t >= 0 && t <= 3 ? t : 0;
  out->inUse = rec[DataBaseRecord::kInUse] != 0;
  out->selector = pbfile::I16At(rec, DataBaseRecord::kSelector);
  if (fields == kAllFields) {  // no field of a window shows it: only whole records carry it
    const char* p = reinterpret_cast<const char*>(rec + DataBaseRecord::kTarget);
    out->target.assign(p, ::strnlen(p, DataBaseRecord::kTargetWidth - 1));
  }
  out->offset = offset;
  out->generation = generation;
}

void CDataBaseStore::Fill(CMyDataBaseItem& item, const PbRecord& r) {
  for (int id = kCompany; id <= kNote; ++id) item.SetFieldText(id, r.text[static_cast<std::size_t>(id)]);
  item.SetFieldText(kExternal, r.external ? "1" : "0");
  item.SetFieldText(kTreatment, plat::StrFormatC("%d", r.treatment));
  item.SetRecordInUse(r.inUse);
  item.SetTreatmentSelector(r.selector);
  item.SetTreatmentTarget(r.target.c_str());
}

std::uint64_t CDataBaseStore::Generation(Buffer& b) {
  // An emptied item carries the file's present state.
  CMyDataBaseItem* item = b.N() >= 0 ? db_.GetEmptyItem(b.N()) : nullptr;
  return item ? item->Generation() : 0;
}

bool CDataBaseStore::Load(Buffer& b, std::int64_t offset) {
  if (b.N() < 0 || PlaceOf(offset) == 0) return false;
  CMyDataBaseItem* item = db_.GetEmptyItem(b.N());
  if (!item) return false;
  // The database reads a record only by moving an item: one placed just
  // before it is moved on by one.
  if (offset == kHeader) {
    if (!db_.First(b.N())) return false;
  } else {
    item->SetFileOffset(static_cast<std::uint32_t>(offset - kRecord));
    db_.Next(b.N());
  }
  return item->FileOffset() == offset;
}

std::uint32_t CDataBaseStore::RecordCount() { return db_.GetRecordCount(); }

std::uint32_t CDataBaseStore::PlaceOf(std::int64_t offset) {
  if (offset < kHeader || (offset - kHeader) % kRecord != 0) return 0;
  const std::int64_t n = (offset - kHeader) / kRecord + 1;
  return n <= static_cast<std::int64_t>(db_.GetRecordCount()) ? static_cast<std::uint32_t>(n) : 0;
}

bool CDataBaseStore::ReadRecord(std::uint32_t n, PbRecord* out) {
  return n > 0 && ReadAt(kHeader + static_cast<std::int64_t>(n - 1) * kRecord, out);
}

bool CDataBaseStore::ReadAt(std::int64_t offset, PbRecord* out) {
  Buffer b(db_);
  if (!Load(b, offset)) return false;
  CMyDataBaseItem* item = b.Item();
  FromBytes(item->GetRecord().data(), offset, item->Generation(), out);
  return true;
}

void CDataBaseStore::ForEach(const std::function<bool(const PbRecord&)>& fn, std::uint32_t fields) {
  std::uint64_t generation = 0;
  {
    Buffer b(db_);
    generation = Generation(b);
  }
  const std::uint32_t count = db_.GetRecordCount();
  if (count == 0 || !db_.IsOpen()) return;
  const int fd = ::open(db_.Path().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  // Read in chunks, not mapped: a copy from the page cache costs less than
  // faulting the file in page by page, a chunk is still in the cache while
  // its records are taken apart, and a file cut short by another process
  // ends the walk instead of faulting.
  constexpr std::uint32_t kChunk = 256;
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(kChunk * kRecord));
  PbRecord r;
  for (std::uint32_t i = 0; i < count;) {
    const std::uint32_t n = std::min(kChunk, count - i);
    const std::int64_t start = kHeader + static_cast<std::int64_t>(i) * kRecord;
    std::size_t got = 0;
    const std::size_t want = static_cast<std::size_t>(n * kRecord);
    while (got < want) {
      const ssize_t k = ::pread(fd, buf.data() + got, want - got, static_cast<off_t>(start) + static_cast<off_t>(got));
      if (k < 0 && errno == EINTR) continue;
      if (k <= 0) break;
      got += static_cast<std::size_t>(k);
    }
    const std::uint32_t whole = static_cast<std::uint32_t>(got / static_cast<std::size_t>(kRecord));
    for (std::uint32_t k = 0; k < whole; ++k) {
      FromBytes(buf.data() + k * kRecord, start + k * kRecord, generation, &r, fields);
      if (!fn(r)) {
        ::close(fd);
        return;
      }
    }
    if (whole < n) break;
    i += n;
  }
  ::close(fd);
}

std::vector<std::int64_t> CDataBaseStore::Search(int field, const std::string& pattern, int options) {
  std::vector<std::int64_t> out;
  Buffer b(db_);
  if (b.N() < 0 || !db_.FindByField(field, pattern, options, b.N())) return out;
  const int hits = db_.GetHitCount(b.N());
  out.reserve(static_cast<std::size_t>(hits));
  for (CMyDataBaseItem* item = db_.FirstHit(b.N()); item && static_cast<int>(out.size()) < hits;
       item = db_.NextHit(b.N()))
    out.push_back(item->FileOffset());
  return out;
}

bool CDataBaseStore::HasNumber(const std::string& number) { return !db_.IndexLookup(number).empty(); }

bool CDataBaseStore::Save(PbRecord& r, bool sync) {
  if (!sync && !batch_) {
    db_.BeginBatch();
    batch_ = true;
  }
  bool ok = false;
  if (r.IsNew()) {
    CMyDataBaseItem* item = db_.GetEmptyItem(-1);
    if (!item) return false;
    Fill(*item, r);
    ok = db_.SaveItem(item, -1) == 1;
    if (ok) {
      r.offset = item->FileOffset();
      r.generation = item->Generation();
    }
  } else {
    Buffer b(db_);
    // A record read before a purge lies elsewhere now; what is at its old
    // offset is another one.
    if (r.generation != Generation(b) || !Load(b, r.offset)) return false;
    Fill(*b.Item(), r);
    ok = db_.UpdateItem(b.Item(), b.N()) == 1;
  }
  if (ok && sync && batch_) ok = Sync();
  return ok;
}

bool CDataBaseStore::Sync() {
  if (!batch_) return true;
  batch_ = false;
  return db_.CommitBatch();
}

bool CDataBaseStore::Delete(const PbRecord& r) {
  CMyDataBaseItem* item = db_.Current();
  {
    Buffer b(db_);
    if (r.generation != Generation(b) || !Load(b, r.offset)) return false;
    item->CopyFrom(*b.Item());
    item->SetInUse(0);
  }  // the list buffer goes back before the purge, which waits for walks
  if (db_.DeleteItem(item, -1) == 1) return true;
  // Marked but not yet purged: it goes with the next purge.
  return !item->RecordInUse();
}

bool CDataBaseStore::WriteHeader() { return db_.WriteHeader() == 1; }

bool CDataBaseStore::RecordOf(CMyDataBaseParamInterface* param, PbRecord* out) {
  if (!param) return false;
  CDataBaseParam number;
  if (param->GetParam(PBP_NUMBER, &number) != PBS_DONE) return false;
  // The call model's hit is an item of this database: its record, unless
  // the file has been purged since it was found.
  if (auto* item = dynamic_cast<CMyDataBaseItem*>(param); item && !item->IsNew()) {
    std::uint64_t now = 0;
    {
      Buffer b(db_);
      now = Generation(b);
    }
    if (item->Generation() == now && ReadAt(item->FileOffset(), out) &&
        NumberKey(out->text[kNumber]) == NumberKey(number.Text()))
      return true;
  }
  for (std::uint32_t offset : db_.IndexLookup(number.Text()))
    if (ReadAt(offset, out)) return true;
  return false;
}

std::int64_t CDataBaseStore::ViewRequest() { return db_.ViewRequestFlag(-1) == 1 ? viewRequest_ : 0; }

void CDataBaseStore::SetViewRequest(std::int64_t offset) {
  viewRequest_ = offset;
  db_.ViewRequestFlag(offset != 0 ? 1 : 0);
}

std::vector<std::string> CDataBaseStore::OwnFiles() {
  if (db_.Path().empty()) return {};
  return {db_.Path(), db_.DeletedFilePath()};
}

}  // namespace pb
