// A phone book in memory behind the dialogs' store interface, with the
// file's offsets (header 1127, records 666), a new state of the file after
// each delete (records move up) and a switch that fails writes.
#pragma once
#include <cctype>
#include <string>
#include <vector>

#include "phonebook/dialogs/pbstore.h"

namespace pbtest {

class MemStore : public pb::IPhoneBookStore {
 public:
  static constexpr std::int64_t kHeader = 1127, kRecord = 666;

  std::vector<pb::PbRecord> records;
  bool failWrites = false;
  int saves = 0, syncs = 0, headerWrites = 0, deletes = 0;
  std::int64_t viewRequest = 0;
  std::vector<std::string> ownFiles;
  std::uint64_t generation = 1;

  pb::PbRecord& Add(const std::string& company, const std::string& name, const std::string& number) {
    pb::PbRecord r;
    r.Set(pb::kCompany, company);
    r.Set(pb::kName, name);
    r.Set(pb::kNumber, number);
    Save(r);
    return records.back();
  }

  std::uint32_t RecordCount() override { return static_cast<std::uint32_t>(records.size()); }
  bool ReadRecord(std::uint32_t n, pb::PbRecord* out) override {
    if (n == 0 || n > records.size()) return false;
    *out = records[n - 1];
    out->generation = generation;
    return true;
  }
  bool ReadAt(std::int64_t offset, pb::PbRecord* out) override { return ReadRecord(PlaceOf(offset), out); }
  std::uint32_t PlaceOf(std::int64_t offset) override {
    if (offset < kHeader || (offset - kHeader) % kRecord) return 0;
    const auto n = static_cast<std::uint32_t>((offset - kHeader) / kRecord + 1);
    return n <= records.size() ? n : 0;
  }
  std::vector<std::int64_t> Search(int field, const std::string& pattern, int options) override {
    std::vector<std::int64_t> hits;
    const bool fold = (options & pb::kIgnoreCase) != 0;
    const std::size_t star = pattern.find('*');
    const std::string want = Key(field, Fold(star == std::string::npos ? pattern : pattern.substr(0, star), fold));
    for (const auto& r : records) {
      if (!r.inUse) continue;
      const std::string have = Key(field, Fold(r.Get(field), fold));
      const bool match = star == std::string::npos ? have == want : have.find(want) != std::string::npos;
      if (!match) continue;
      hits.push_back(r.offset);
      if ((options & 0xFF) == pb::kFirstMatchOnly || hits.size() == pb::kMaxHits) break;
    }
    return hits;
  }
  bool HasNumber(const std::string& number) override {
    const std::string key = pb::NumberKey(number);
    for (const auto& r : records)
      if (r.inUse && pb::NumberKey(r.text[pb::kNumber]) == key) return true;
    return false;
  }
  bool Save(pb::PbRecord& r, bool sync = true) override {
    if (failWrites) return false;
    ++saves;
    if (sync) ++syncs;
    if (r.IsNew()) {
      r.offset = kHeader + static_cast<std::int64_t>(records.size()) * kRecord;
      r.generation = generation;
      records.push_back(r);
    } else {
      const std::uint32_t n = PlaceOf(r.offset);
      if (n == 0 || r.generation != generation) return false;
      records[n - 1] = r;
    }
    // The file keeps no more of the target.
    records[PlaceOf(r.offset) - 1].SetTarget(r.target);
    return true;
  }
  bool Sync() override {
    if (failWrites) return false;
    ++syncs;
    return true;
  }
  bool Delete(const pb::PbRecord& r) override {
    const std::uint32_t n = PlaceOf(r.offset);
    if (failWrites || n == 0 || r.generation != generation) return false;
    ++deletes;
    ++generation;
    records.erase(records.begin() + (n - 1));
    for (std::size_t i = 0; i < records.size(); ++i) records[i].offset = kHeader + static_cast<std::int64_t>(i) * kRecord;
    return true;
  }
  bool WriteHeader() override {
    ++headerWrites;
    return !failWrites;
  }
  bool RecordOf(CMyDataBaseParamInterface* item, pb::PbRecord* out) override {
    CDataBaseParam p;
    if (!item || item->GetParam(PBP_NUMBER, &p) != PBS_DONE) return false;
    for (const auto& r : records)
      if (r.inUse && pb::NumberKey(r.text[pb::kNumber]) == pb::NumberKey(p.Text()))
        return *out = r, out->generation = generation, true;
    return false;
  }
  std::int64_t ViewRequest() override { return viewRequest; }
  void SetViewRequest(std::int64_t offset) override { viewRequest = offset; }
  std::vector<std::string> OwnFiles() override { return ownFiles; }

 private:
  static std::string Key(int field, const std::string& s) { return field == pb::kNumber ? pb::NumberKey(s) : s; }
  static std::string Fold(std::string s, bool fold) {
    if (fold)
      for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
};

}  // namespace pbtest
