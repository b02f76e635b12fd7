#include "phonebook/database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "core/base/globallog.h"
#include "platform/fileio.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

constexpr std::uint32_t kHeader = DataBaseHeader::kSize;
constexpr std::uint32_t kRecord = DataBaseRecord::kSize;
constexpr std::size_t kChunkRecords = 1024;  // records per sequential read

std::atomic<std::uint64_t> g_nextId{1};

std::uint32_t NumberKey(const std::uint8_t* record) {
  return CNumberIndex::Hash(reinterpret_cast<const char*>(record + DataBaseRecord::kNumber),
                            DataBaseRecord::kNumberWidth - 1);
}

std::string NumberOf(const std::uint8_t* record) {
  static const auto f = pbtext::TextFieldOf(PBF_NUMBER);
  return pbtext::NormaliseNumber(pbfile::TextAt(record, f.offset, f.width));
}

std::string Folder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string Text16(int entry) { return plat::GetTextOr(plat::TextId(16, entry), ""); }

// Walks the records of a file in large sequential reads; fn(recordNumber
// from 0, bytes) returns false to stop. False when a read failed.
template <typename Fn>
bool ForEachRecord(const CStructFile& file, std::uint64_t start, std::size_t recordSize, std::uint32_t count,
                   std::vector<std::uint8_t>& buf, Fn fn) {
  // No bigger than the walk: a small book does not pay for a whole chunk.
  buf.resize(std::min<std::size_t>(kChunkRecords, count) * recordSize);
  std::uint32_t done = 0;
  while (done < count) {
    std::size_t n = std::min<std::size_t>(kChunkRecords, count - done);
    long long got = file.ReadBlock(start + static_cast<std::uint64_t>(done) * recordSize, buf.data(), n * recordSize);
    if (got < static_cast<long long>(n * recordSize)) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (!fn(done + static_cast<std::uint32_t>(i), buf.data() + i * recordSize)) return true;
    done += static_cast<std::uint32_t>(n);
  }
  return true;
}

// A temporary opened beside the target, in the name form the platform
// clears away once its writer is gone.
int OpenTemporary(const std::string& target, std::string* tmp, mode_t mode) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    *tmp = target + plat::StrFormatC(".tmp%ld_%u", static_cast<long>(::getpid()), counter++);
    int fd = plat::io::Open(tmp->c_str(), O_WRONLY | O_CREAT | O_EXCL, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Syncs, closes and renames the temporary over target, then syncs the
// folder; on failure removes the temporary. False on any failure.
bool CommitTemporary(int fd, const std::string& tmp, const std::string& target) {
  bool ok = plat::io::Fdatasync(fd) == 0;
  ok = plat::io::Close(fd) == 0 && ok;
  ok = ok && plat::io::Rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) {
    int e = errno;
    ::unlink(tmp.c_str());
    errno = e;
    return false;
  }
  plat::io::SyncParentDir(target);
  return true;
}

void DropTemporary(int fd, const std::string& tmp) {
  int e = errno;
  if (fd >= 0) ::close(fd);
  ::unlink(tmp.c_str());
  errno = e;
}

}  // namespace

struct CMyDataBase::ThreadSlot {
  std::uint64_t dbId = 0;
  CMyDataBaseItem hit;
  CMyDataBaseItem fresh;
  bool hasHit = false;
};

CMyDataBase::CMyDataBase() : id_(g_nextId.fetch_add(1)) {
  log_ = [](const std::string& line) { GlobalLog().WriteEntry(line.c_str()); };
}

CMyDataBase::~CMyDataBase() { Close(); }

void CMyDataBase::Log(const std::string& line) {
  if (log_) log_(line);
}

bool CMyDataBase::IsOpen() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return file_.IsOpen();
}

std::string CMyDataBase::DeletedFilePath() const {
  std::string p = Folder(path_) + "/" + kDeletedFileName;
  // A database that is itself called so keeps its deleted records apart.
  if (p == path_ || (path_.find('/') == std::string::npos && path_ == kDeletedFileName)) p += ".del";
  return p;
}

void CMyDataBase::Close() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  file_.Close();
  index_.Clear();
  deletedCount_ = 0;
  header_ = DataBaseHeader();
  for (auto& h : hits_) {
    h.offsets.clear();
    h.cursor = 0;
  }
  ++generation_;  // items read so far belong to a file that is gone
}

int CMyDataBase::Open(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  Close();
  path_ = path;
  if (path.empty()) return 0;  // no phone book configured
  if (!OpenLocked(path)) {
    file_.Close();
    index_.Clear();
    header_ = DataBaseHeader();
    return 0;
  }
  return 1;
}

bool CMyDataBase::OpenLocked(const std::string& path) {
  plat::io::RemoveStaleTemporaries(path);
  int r = file_.OpenOrCreate(path);
  if (r < 0) {
    Log(plat::StrFormatC("Telefonbuch %s: nicht zu öffnen (%s)", path.c_str(), std::strerror(errno)));
    return false;
  }
  const std::uint64_t size = file_.FileSize();
  if (r == 1 || size == 0) {
    if (!PrepareNewFile()) return false;
    if (r == 1) plat::io::SyncParentDir(path);
    return BuildIndex();
  }
  std::uint8_t format = 0;
  if (file_.ReadBlock(0, &format, 1) != 1) return false;
  if (format == DataBaseHeader::kFormatOld && size >= OldDataBaseLayout::kHeaderSize) {
    if (!Convert()) return false;
  } else if (format != DataBaseHeader::kFormatCurrent || size < kHeader) {
    Log(plat::StrFormatC("Telefonbuch %s: keine Telefonbuchdatei (Format %u, %llu Bytes), nicht geöffnet",
                         path.c_str(), static_cast<unsigned>(format), static_cast<unsigned long long>(size)));
    return false;
  }
  if (file_.ReadHeader(header_.data()) == 0 && !file_.LastOk()) return false;
  if (!RepairAtOpen()) return false;
  return BuildIndex();
}

bool CMyDataBase::PrepareNewFile() {
  header_ = DataBaseHeader::Fresh(path_);
  if (file_.WriteHeader(header_.data()) != 0 || !file_.Sync()) {
    Log(plat::StrFormatC("Telefonbuch %s: Kopf nicht geschrieben (%s)", path_.c_str(), std::strerror(errno)));
    return false;
  }
  return true;
}

bool CMyDataBase::RepairAtOpen() {
  const std::uint64_t size = file_.FileSize();
  const std::uint32_t whole = file_.GetRecordCount();
  if ((size - kHeader) % kRecord != 0 && !file_.IsReadOnly()) {
    if (!file_.TruncateTo(whole) || !file_.Sync()) {
      Log(plat::StrFormatC("Telefonbuch %s: Rest eines Datensatzes nicht abzuschneiden", path_.c_str()));
      return false;
    }
    Log(plat::StrFormatC("Telefonbuch %s: unvollständiger letzter Datensatz (%llu Bytes) abgeschnitten",
                         path_.c_str(), static_cast<unsigned long long>((size - kHeader) % kRecord)));
  }
  CheckRecordCountLocked();
  return true;
}

bool CMyDataBase::Convert() {
  if (file_.IsReadOnly()) {
    Log(plat::StrFormatC("Telefonbuch %s: altes Format, schreibgeschützt, nicht umgewandelt", path_.c_str()));
    return false;
  }
  std::uint8_t old[OldDataBaseLayout::kHeaderSize];
  if (file_.ReadBlock(0, old, sizeof old) != static_cast<long long>(sizeof old)) return false;
  const std::uint64_t size = file_.FileSize();
  const auto count = static_cast<std::uint32_t>((size - OldDataBaseLayout::kHeaderSize) / OldDataBaseLayout::kRecordSize);
  DataBaseHeader h = DataBaseHeader::Fresh("");
  std::memcpy(h.data() + DataBaseHeader::kPath, old + DataBaseHeader::kPath, DataBaseHeader::kPathWidth);
  std::memcpy(h.data() + DataBaseHeader::kText, old + DataBaseHeader::kText, DataBaseHeader::kTextWidth);
  h.SetCount(count);

  struct stat st {};
  mode_t mode = ::stat(path_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
  std::string tmp;
  int fd = OpenTemporary(path_, &tmp, mode);
  bool ok = fd >= 0 && plat::io::Write(fd, h.data(), kHeader);
  std::vector<std::uint8_t> buf;
  std::string out;
  const bool walked = ok && ForEachRecord(file_, OldDataBaseLayout::kHeaderSize, OldDataBaseLayout::kRecordSize, count, buf,
                           [&](std::uint32_t i, const std::uint8_t* rec) {
                             DataBaseRecord r;
                             std::memcpy(r.data(), rec, OldDataBaseLayout::kSharedBytes);
                             std::memcpy(r.data() + DataBaseRecord::kLineEnd, rec + OldDataBaseLayout::kLineEnd,
                                         OldDataBaseLayout::kRecordSize - OldDataBaseLayout::kLineEnd);
                             out.append(reinterpret_cast<const char*>(r.data()), kRecord);
                             if (out.size() >= kChunkRecords * kRecord || i + 1 == count) {
                               if (!plat::io::Write(fd, out.data(), out.size())) {
                                 ok = false;
                                 return false;
                               }
                               out.clear();
                             }
                             return true;
                           });
  ok = ok && walked;
  if (!ok) {
    Log(plat::StrFormatC("Telefonbuch %s: Umwandlung fehlgeschlagen (%s), Datei unverändert", path_.c_str(),
                         std::strerror(errno)));
    if (fd >= 0) DropTemporary(fd, tmp);
    return false;
  }
  if (!CommitTemporary(fd, tmp, path_)) {
    Log(plat::StrFormatC("Telefonbuch %s: Umwandlung nicht abgeschlossen (%s), Datei unverändert", path_.c_str(),
                         std::strerror(errno)));
    return false;
  }
  file_.Close();
  if (file_.OpenOrCreate(path_) != 0) return false;
  Log(plat::StrFormatC("Telefonbuch %s: %u Datensätze aus Format 3 umgewandelt", path_.c_str(), count));
  return true;
}

bool CMyDataBase::BuildIndex() {
  index_.Clear();
  deletedCount_ = 0;
  const std::uint32_t count = header_.Count();
  index_.Reserve(count);
  std::vector<std::uint8_t> buf;
  CNumberIndex::Entry pending[256];
  std::size_t n = 0;
  bool ok = ForEachRecord(file_, kHeader, kRecord, count, buf, [&](std::uint32_t i, const std::uint8_t* rec) {
    if (!rec[DataBaseRecord::kInUse]) {
      ++deletedCount_;
      return true;
    }
    pending[n] = {NumberKey(rec), kHeader + i * kRecord};
    if (++n == std::size(pending)) {
      index_.AddMany(pending, n);
      n = 0;
    }
    return true;
  });
  index_.AddMany(pending, n);
  if (!ok) Log(plat::StrFormatC("Telefonbuch %s: nicht zu lesen (%s)", path_.c_str(), std::strerror(errno)));
  return ok;
}

std::vector<std::uint32_t> CMyDataBase::MatchingOffsets(const std::string& number, std::size_t limit) const {
  const std::string wanted = pbtext::NormaliseNumber(number);
  std::vector<std::uint32_t> out;
  DataBaseRecord rec;
  for (std::uint32_t off : index_.Candidates(CNumberIndex::Hash(wanted))) {
    if (out.size() >= limit) break;
    // Equal hashes of other numbers are told apart by the record itself.
    if (file_.ReadBlock(off, rec.data(), kRecord) != static_cast<long long>(kRecord)) continue;
    if (rec.InUse() && NumberOf(rec.data()) == wanted) out.push_back(off);
  }
  return out;
}

std::vector<std::uint32_t> CMyDataBase::IndexLookup(const std::string& number) const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return MatchingOffsets(number, static_cast<std::size_t>(-1));
}

bool CMyDataBase::WriteCountWord() {
  std::uint8_t word[4];
  pbfile::PutU32(word, 0, header_.Count());
  return file_.WriteHeaderBytes(DataBaseHeader::kCount, word, sizeof word);
}

bool CMyDataBase::AppendItem(CMyDataBaseItem& item) {
  if (!file_.IsOpen() || file_.IsReadOnly()) return false;
  const std::uint32_t before = header_.Count();
  item.StoreRecord();
  std::uint32_t off = file_.Append(item.GetRecord().data());
  bool ok = off != 0 && file_.LastOk();
  if (ok) {
    header_.SetCount(before + 1);
    ok = WriteCountWord();
    if (ok && !batch_) ok = file_.Sync();
    if (ok && batch_) batchDirty_ = true;
  }
  if (!ok) {
    int e = errno;
    // Back to the old state: the record goes, the count word with it.
    header_.SetCount(before);
    file_.TruncateTo(before);
    WriteCountWord();
    file_.Sync();
    Log(plat::StrFormatC("Telefonbuch %s: Datensatz nicht angefügt (%s)", path_.c_str(), std::strerror(e)));
    return false;
  }
  item.SetFileOffset(off);
  item.SetGeneration(generation_);
  if (item.RecordInUse()) index_.Add(NumberKey(item.GetRecord().data()), off);
  else ++deletedCount_;
  return true;
}

bool CMyDataBase::RewriteItem(CMyDataBaseItem& item) {
  if (!file_.IsOpen() || file_.IsReadOnly()) return false;
  const std::uint32_t off = item.FileOffset();
  if (item.Generation() != generation_) {
    Log(plat::StrFormatC("Telefonbuch %s: Datensatz einer früheren Fassung der Datei nicht gespeichert", path_.c_str()));
    return false;
  }
  DataBaseRecord old;
  if (file_.ReadAt(off, old.data()) == 0) return false;
  item.StoreRecord();
  bool ok = file_.WriteAt(off, item.GetRecord().data()) != 0 && file_.Sync();
  if (!ok) {
    int e = errno;
    file_.WriteAt(off, old.data());
    file_.Sync();
    Log(plat::StrFormatC("Telefonbuch %s: Datensatz nicht gespeichert (%s)", path_.c_str(), std::strerror(e)));
    return false;
  }
  if (old.InUse()) index_.Remove(NumberKey(old.data()), off);
  else --deletedCount_;
  if (item.RecordInUse()) index_.Add(NumberKey(item.GetRecord().data()), off);
  else ++deletedCount_;
  return true;
}

bool CMyDataBase::WriteItem(CMyDataBaseItem& item) {
  bool ok = item.IsNew() ? AppendItem(item) : RewriteItem(item);
  if (ok) item.SetModified(false);
  return ok;
}

int CMyDataBase::WriteHeader() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!file_.IsOpen() || file_.IsReadOnly()) return 0;
  if (file_.WriteHeader(header_.data()) != 0 || !file_.Sync()) {
    Log(plat::StrFormatC("Telefonbuch %s: Kopf nicht geschrieben (%s)", path_.c_str(), std::strerror(errno)));
    return 0;
  }
  return 1;
}

int CMyDataBase::Flush() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!file_.IsOpen()) return 0;
  int ok = WriteHeader();
  return (PurgeLocked(1) && ok) ? 1 : 0;
}

void CMyDataBase::BeginBatch() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  batch_ = true;
  batchDirty_ = false;
}

bool CMyDataBase::CommitBatch() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  batch_ = false;
  if (!batchDirty_) return true;
  batchDirty_ = false;
  if (file_.Sync()) return true;
  Log(plat::StrFormatC("Telefonbuch %s: Daten nicht gesichert (%s)", path_.c_str(), std::strerror(errno)));
  return false;
}

int CMyDataBase::CheckRecordCount() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return CheckRecordCountLocked();
}

int CMyDataBase::CheckRecordCountLocked() {
  if (!file_.IsOpen()) return 0;
  const std::uint32_t inFile = file_.GetRecordCount();
  if (header_.Count() == inFile) return 0;
  Log(plat::StrFormatC("%s %ld %s %ld%s", Text16(15).c_str(), static_cast<long>(header_.Count()), Text16(16).c_str(),
                       static_cast<long>(inFile), Text16(17).c_str()));
  header_.SetCount(inFile);
  if (!file_.IsReadOnly() && (!WriteCountWord() || !file_.Sync()))
    Log(plat::StrFormatC("Telefonbuch %s: Kopf nicht geschrieben (%s)", path_.c_str(), std::strerror(errno)));
  return 0;
}

CMyDataBaseItem* CMyDataBase::ItemOf(int n) {
  if (n == -1) return &current_;
  if (n >= 0 && n < kListBuffers) return &lists_[n].item;
  return nullptr;
}

CMyDataBase::HitList& CMyDataBase::HitsOf(int n) { return hits_[n >= 0 && n < kListBuffers ? n : kListBuffers]; }

const CMyDataBase::HitList* CMyDataBase::HitsOfConst(int n) const {
  return &hits_[n >= 0 && n < kListBuffers ? n : kListBuffers];
}

bool CMyDataBase::ReadItemAt(CMyDataBaseItem& item, std::uint32_t offset) {
  if (!item.ReadAt(file_, offset)) return false;
  item.SetGeneration(generation_);
  item.SetModified(false);
  return true;
}

CMyDataBaseItem* CMyDataBase::GetEmptyItem(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = n == -1 ? &edit_ : ItemOf(n);
  if (!item) return nullptr;
  int inUse = item->IsInUse();
  item->Clear();
  item->SetInUse(inUse);
  item->SetGeneration(generation_);
  return item;
}

CMyDataBaseItem* CMyDataBase::First(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  if (!item || header_.Count() == 0 || !ReadItemAt(*item, kHeader)) return nullptr;
  return item;
}

CMyDataBaseItem* CMyDataBase::Last(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  if (!item || header_.Count() == 0 || !ReadItemAt(*item, kHeader + (header_.Count() - 1) * kRecord)) return nullptr;
  return item;
}

CMyDataBaseItem* CMyDataBase::Next(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  if (!item || header_.Count() == 0 || item->IsNew() || item->Generation() != generation_) return nullptr;
  std::uint32_t next = item->FileOffset() + kRecord;
  if (next < kHeader + header_.Count() * kRecord) ReadItemAt(*item, next);
  return item;  // on the last record it stays there
}

CMyDataBaseItem* CMyDataBase::Previous(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  if (!item || header_.Count() == 0) return nullptr;
  if (!item->IsNew() && item->Generation() == generation_ && item->FileOffset() > kHeader)
    ReadItemAt(*item, item->FileOffset() - kRecord);
  return item;
}

int CMyDataBase::FindByField(int field, const std::string& pattern, int options, int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  HitList& h = HitsOf(n);
  h.offsets.clear();
  h.cursor = 0;
  if (!file_.IsOpen()) return 0;
  const std::size_t limit = (options & 0xFF) == 1 ? 1 : kMaxHits;
  const bool star = pattern.find('*') != std::string::npos;
  const int flags = options & 0xC00;
  if (field == PBF_NUMBER && !star && !(flags & PBM_NO_CASE)) {
    h.offsets = MatchingOffsets(pattern.size() < 128 ? pattern : std::string(), limit);
    return h.offsets.empty() ? 0 : 1;
  }
  // Other fields: one scratch item over large sequential reads; the
  // current item stays where it is.
  CMyDataBaseItem scratch;
  const int mode = star ? PBM_CONTAINS : PBM_EQUAL;
  const CFieldMatcher matcher(field, pattern, mode, flags);
  std::vector<std::uint8_t> buf;
  ForEachRecord(file_, kHeader, kRecord, header_.Count(), buf, [&](std::uint32_t i, const std::uint8_t* rec) {
    if (!rec[DataBaseRecord::kInUse]) return true;
    bool hit;
    if (matcher.IsTextField()) {
      hit = matcher.TestRecord(rec);
    } else {
      std::memcpy(scratch.GetRecord().data(), rec, kRecord);
      scratch.TakeField(field);
      hit = scratch.Match(field, pattern, mode, flags) != 0;
    }
    if (hit) h.offsets.push_back(kHeader + i * kRecord);
    return h.offsets.size() < limit;
  });
  return h.offsets.empty() ? 0 : 1;
}

CMyDataBaseItem* CMyDataBase::ReadHit(int n, int index) {
  CMyDataBaseItem* item = ItemOf(n);
  HitList& h = HitsOf(n);
  if (!item || index < 0 || index >= static_cast<int>(h.offsets.size())) return nullptr;
  if (!ReadItemAt(*item, h.offsets[static_cast<std::size_t>(index)])) return nullptr;
  h.cursor = index;
  return item;
}

CMyDataBaseItem* CMyDataBase::FirstHit(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return ReadHit(n, 0);
}
CMyDataBaseItem* CMyDataBase::NextHit(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return ReadHit(n, HitsOf(n).cursor + 1);
}
CMyDataBaseItem* CMyDataBase::PreviousHit(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return ReadHit(n, HitsOf(n).cursor - 1);
}
CMyDataBaseItem* CMyDataBase::LastHit(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return ReadHit(n, static_cast<int>(HitsOf(n).offsets.size()) - 1);
}

int CMyDataBase::GetHitCount(int n) const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return static_cast<int>(HitsOfConst(n)->offsets.size());
}

std::uint32_t CMyDataBase::GetRecordCount() const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return header_.Count();
}

int CMyDataBase::SaveItem(CMyDataBaseItem* item, int) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (item != &edit_) return 0;
  edit_.SetModified(true);
  if (!WriteItem(edit_)) return 0;
  current_.CopyFrom(edit_);
  current_.SetInUse(0);
  CheckRecordCountLocked();
  return 1;
}

int CMyDataBase::UpdateItem(CMyDataBaseItem* item, int) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!item) return 0;
  item->SetModified(true);
  return WriteItem(*item) ? 1 : 0;
}

int CMyDataBase::DeleteItem(CMyDataBaseItem* item, int) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!item) return 0;
  if (item->IsNew()) {  // never stored: nothing in the file to mark
    int inUse = item->IsInUse();
    item->Clear();
    item->SetInUse(inUse);
    return 0;
  }
  item->SetRecordInUse(false);
  item->SetModified(true);
  if (!WriteItem(*item)) {
    item->SetRecordInUse(true);
    return 0;
  }
  if (PurgeLocked(1)) return 1;
  if (PurgeWaits()) return 0;  // a walk is under way: the next purge takes it
  // The purge failed: the record is put back, so what the caller is told
  // (not deleted) is what the book holds.
  item->SetRecordInUse(true);
  item->SetModified(true);
  if (!WriteItem(*item))
    Log(plat::StrFormatC("Telefonbuch %s: gel�schter Datensatz nicht wiederhergestellt", path_.c_str()));
  return 0;
}

bool CMyDataBase::PurgeWaits() const {
  for (const auto& l : lists_)
    if (l.inUse) return true;
  return false;
}

int CMyDataBase::ViewRequestFlag(int value) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (value == 0 || value == 1) viewRequest_ = value;
  return viewRequest_;
}

int CMyDataBase::AcquireListBuffer() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  for (int i = 0; i < kListBuffers; ++i)
    if (!lists_[i].inUse) {
      lists_[i].inUse = true;
      lists_[i].item.SetInUse(1);
      return i;
    }
  return -1;
}

int CMyDataBase::ReleaseListBuffer(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (n < 0 || n >= kListBuffers) return 0;
  lists_[n].inUse = false;
  lists_[n].item.SetInUse(0);
  return 0;
}

CMyDataBaseItem* CMyDataBase::MoveItem(int n, int kind, int step) {
  if (kind == 0) {
    switch (step) {
      case 0: return First(n);
      case 1: return Last(n);
      case 2: return Next(n);
      case 3: return Previous(n);
      default: return ItemOf(n);
    }
  }
  if (kind == 1) {
    switch (step) {
      case 0: return FirstHit(n);
      case 1: return LastHit(n);
      case 2: return NextHit(n);
      case 3: return PreviousHit(n);
      default: return ItemOf(n);
    }
  }
  return nullptr;
}

std::string CMyDataBase::GetRecordText(int kind, int step, const std::string& tmpl) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = MoveItem(-1, kind, step);
  return item ? item->Render(tmpl) : std::string();
}

std::string CMyDataBase::GetPrintText(int kind, int step, const std::string& tmpl, int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (kind == 2 && step == 4) {
    firstLine_ = tmpl;
    firstLinePending_ = true;
    return tmpl;
  }
  CMyDataBaseItem* item = MoveItem(n, kind, step);
  return item ? item->RenderForPrint(tmpl) : std::string();
}

std::string CMyDataBase::FirstLine(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  return item ? item->FirstLine() : std::string();
}

std::string CMyDataBase::NextLine(int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  CMyDataBaseItem* item = ItemOf(n);
  return item ? item->NextLine() : std::string();
}

bool CMyDataBase::IsOwnFile(const std::string& path) const {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (path_.empty()) return false;
  for (const std::string& own : {path_, DeletedFilePath()})
    if (plat::io::IsFileOrTemporaryOf(path, own)) return true;
  return false;
}

int CMyDataBase::WriteTextFile(int kind, const std::string& path, const std::string& tmpl, int n) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  // Renamed over the phone book, the text would replace it while the
  // database goes on writing into the file that is gone.
  if (IsOwnFile(path)) {
    Log(plat::StrFormatC("Telefonbuch %s: Textdatei %s nicht geschrieben, sie ist das Telefonbuch selbst", path_.c_str(),
                         path.c_str()));
    return 0;
  }
  std::string out;
  CMyDataBaseItem scratch;
  if (kind == 1) {
    for (std::uint32_t off : HitsOf(n).offsets)
      if (scratch.ReadAt(file_, off)) out += scratch.Render(tmpl);
  } else {
    if (firstLinePending_) {
      out += firstLine_;
      firstLinePending_ = false;
      firstLine_.clear();
    }
    std::vector<std::uint8_t> buf;
    if (file_.IsOpen())
      ForEachRecord(file_, kHeader, kRecord, header_.Count(), buf, [&](std::uint32_t, const std::uint8_t* rec) {
        if (!rec[DataBaseRecord::kInUse]) return true;  // deleted, waiting for the purge
        std::memcpy(scratch.GetRecord().data(), rec, kRecord);
        scratch.TakeRecord();
        out += scratch.Render(tmpl);
        return true;
      });
  }
  if (!plat::io::ReplaceFile(path, out)) {
    LogFileFailure(path, errno);
    return 0;
  }
  return 1;
}

int CMyDataBase::Purge(int, int flags) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  return PurgeLocked(flags);
}

int CMyDataBase::PurgeLocked(int flags) {
  if (PurgeWaits()) return 0;  // a walk is under way: the deleted records wait
  if (!file_.IsOpen() || file_.IsReadOnly()) return 0;
  if (deletedCount_ == 0) return 1;
  const bool replace = (flags & 1) != 0;
  const std::string delPath = DeletedFilePath();
  plat::io::RemoveStaleTemporaries(path_);

  CStructFile del(static_cast<std::int32_t>(kHeader), static_cast<std::int32_t>(kRecord));
  int r = del.OpenOrCreate(delPath);
  if (r < 0) {
    LogFileFailure(delPath, errno);
    return 0;
  }
  const std::uint64_t delSize = del.FileSize();
  std::uint8_t delFormat = 0;
  if (delSize > 0 && (delSize < kHeader || del.ReadBlock(0, &delFormat, 1) != 1 ||
                      delFormat != DataBaseHeader::kFormatCurrent)) {
    Log(plat::StrFormatC("Telefonbuch: %s ist keine Datei gelöschter Datensätze, nicht verändert", delPath.c_str()));
    return 0;
  }
  const std::uint32_t delBefore = delSize == 0 ? 0 : del.GetRecordCount();
  if (delSize > 0 && (delSize - kHeader) % kRecord != 0) del.TruncateTo(delBefore);

  struct stat st {};
  mode_t mode = ::stat(path_.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0666;
  std::string tmp;
  int fd = replace ? OpenTemporary(path_, &tmp, mode) : -1;
  if (replace && fd < 0) {
    LogFileFailure(path_, errno);
    return 0;
  }

  // One pass: kept records to the temporary, deleted ones collected.
  const std::uint32_t count = header_.Count();
  std::vector<std::uint32_t> newOffset(count, 0);
  CNumberIndex newIndex;
  newIndex.Reserve(count);
  std::string kept, gone;
  DataBaseHeader tmpHeader = header_;
  bool ok = !replace || plat::io::Write(fd, tmpHeader.data(), kHeader);
  std::uint32_t keptCount = 0;
  std::vector<std::uint8_t> buf;
  const bool walked = ok && ForEachRecord(file_, kHeader, kRecord, count, buf, [&](std::uint32_t i, const std::uint8_t* rec) {
         if (!rec[DataBaseRecord::kInUse]) {
           gone.append(reinterpret_cast<const char*>(rec), kRecord);
           return true;
         }
         std::uint32_t off = kHeader + keptCount * kRecord;
         newOffset[i] = off;
         newIndex.Add(NumberKey(rec), off);
         ++keptCount;
         if (!replace) return true;
         kept.append(reinterpret_cast<const char*>(rec), kRecord);
         if (kept.size() >= kChunkRecords * kRecord) {
           if (!plat::io::Write(fd, kept.data(), kept.size())) {
             ok = false;
             return false;
           }
           kept.clear();
         }
         return true;
       });
  ok = ok && walked;
  if (ok && replace && !kept.empty()) ok = plat::io::Write(fd, kept.data(), kept.size());
  if (ok && replace) {
    tmpHeader.SetCount(keptCount);
    ok = plat::io::PWrite(fd, tmpHeader.data(), kHeader, 0);
  }

  // The deleted records are safe in their file before the database loses
  // them: a kill in between may duplicate one there, never lose one.
  const std::uint32_t goneCount = static_cast<std::uint32_t>(gone.size() / kRecord);
  DataBaseHeader delHeader = header_;
  delHeader.SetCount(delBefore + goneCount);
  if (ok && goneCount > 0) {
    std::uint64_t at = kHeader + static_cast<std::uint64_t>(delBefore) * kRecord;
    for (std::uint32_t k = 0; ok && k < goneCount; ++k) ok = del.Append(gone.data() + k * kRecord) == at + k * kRecord;
    ok = ok && del.WriteHeader(delHeader.data()) == 0 && del.Sync();
    if (ok && r == 1) plat::io::SyncParentDir(delPath);
  }
  // The database still holds them after a failure: out of the deleted file again.
  auto takeBack = [&] {
    if (r == 1 || delSize == 0) {
      del.Close();
      ::unlink(delPath.c_str());
      return;
    }
    del.TruncateTo(delBefore);
    DataBaseHeader back = delHeader;
    back.SetCount(delBefore);
    del.WriteHeader(back.data());
    del.Sync();
  };
  if (!ok) {
    int e = errno;
    if (fd >= 0) DropTemporary(fd, tmp);
    takeBack();
    errno = e;
    Log(plat::StrFormatC("Telefonbuch %s: gelöschte Datensätze nicht verschoben (%s)", path_.c_str(), std::strerror(e)));
    return 0;
  }
  if (!replace) return 1;
  if (!CommitTemporary(fd, tmp, path_)) {
    int e = errno;
    takeBack();
    Log(plat::StrFormatC("Telefonbuch %s: nicht ersetzt (%s), Datei unverändert", path_.c_str(), std::strerror(e)));
    return 0;
  }
  file_.Close();
  if (file_.OpenOrCreate(path_) != 0 || (file_.ReadHeader(header_.data()), !file_.LastOk())) {
    Log(plat::StrFormatC("Telefonbuch %s: nach dem Bereinigen nicht wieder zu öffnen", path_.c_str()));
    file_.Close();
    return 0;
  }
  ++generation_;
  index_ = std::move(newIndex);
  deletedCount_ = 0;
  RemapAfterPurge(newOffset);
  CheckRecordCountLocked();
  return 1;
}

void CMyDataBase::RemapAfterPurge(const std::vector<std::uint32_t>& newOffsetOfRecord) {
  auto remap = [&](std::uint32_t off) -> std::uint32_t {
    if (off < kHeader) return 0;
    std::size_t rec = (off - kHeader) / kRecord;
    return rec < newOffsetOfRecord.size() ? newOffsetOfRecord[rec] : 0;
  };
  auto fix = [&](CMyDataBaseItem& item) {
    if (item.Generation() + 1 != generation_) return;  // older still: stays unsaveable
    if (!item.IsNew()) item.SetFileOffset(remap(item.FileOffset()));  // a purged one becomes new
    item.SetGeneration(generation_);
  };
  fix(current_);
  fix(edit_);
  for (auto& l : lists_) fix(l.item);
  for (auto& h : hits_) {
    std::vector<std::uint32_t> kept;
    for (std::uint32_t off : h.offsets)
      if (std::uint32_t n = remap(off)) kept.push_back(n);
    h.offsets = std::move(kept);
    if (h.cursor >= static_cast<int>(h.offsets.size())) h.cursor = 0;
  }
}

CMyDataBase::ThreadSlot& CMyDataBase::Slot() {
  // Owned by the calling thread, freed when it ends; a worker's result is
  // never seen or moved by another thread.
  thread_local std::vector<std::unique_ptr<ThreadSlot>> slots;
  for (auto& s : slots)
    if (s->dbId == id_) return *s;
  if (slots.size() >= 8) slots.erase(slots.begin());  // slots of databases long gone
  slots.push_back(std::make_unique<ThreadSlot>());
  slots.back()->dbId = id_;
  return *slots.back();
}

int CMyDataBase::FindRecord(std::uint32_t kind, const CDataBaseParam& value, const char*, std::uint32_t) {
  if (kind != PBP_NUMBER) return PBS_NOT_SUPPORTED;
  std::lock_guard<std::recursive_mutex> lock(mu_);
  ThreadSlot& slot = Slot();
  slot.hasHit = false;
  if (!file_.IsOpen()) return PBS_NOT_FOUND;
  for (std::uint32_t off : MatchingOffsets(value.Text(), 1)) {
    if (!slot.hit.ReadAt(file_, off)) continue;
    slot.hit.SetGeneration(generation_);
    slot.hit.SetModified(false);
    slot.hit.ClearParamChanged();
    slot.hasHit = true;
    return PBS_FOUND;
  }
  return PBS_NOT_FOUND;
}

int CMyDataBase::FirstSearchHit(CMyDataBaseParamInterface** out) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  ThreadSlot& slot = Slot();
  if (out) *out = slot.hasHit ? &slot.hit : nullptr;
  return slot.hasHit ? PBS_DONE : PBS_NOTHING;
}

int CMyDataBase::NewRecord(CMyDataBaseParamInterface** out) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (out) *out = nullptr;
  if (!file_.IsOpen() || file_.IsReadOnly()) return PBS_NOTHING;
  ThreadSlot& slot = Slot();
  slot.fresh.Clear();
  slot.fresh.SetGeneration(generation_);
  if (out) *out = &slot.fresh;
  return PBS_DONE;
}

int CMyDataBase::UpdateRecord(CMyDataBaseParamInterface** item) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!item || !*item) return PBS_DONE;
  ThreadSlot& slot = Slot();
  CMyDataBaseItem* it = nullptr;
  if (*item == &slot.fresh) it = &slot.fresh;
  else if (*item == &slot.hit && slot.hasHit) it = &slot.hit;
  if (!it) return PBS_NOTHING;  // not one this thread was given
  it->SetModified(true);
  return WriteItem(*it) ? PBS_DONE : PBS_NOTHING;
}
