// One phone book entry in memory: fields addressed by id, converted to and
// from the stored record, rendered through templates ("%" and a field
// letter), matched against search patterns, and offered to the call model
// through the value interface. The database owns every item.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/iface/databaseinterface.h"
#include "phonebook/record.h"

class CCallInfo;
class CStructFile;

// Field ids of a phone book entry.
enum PbField : int {
  PBF_COMPANY = 1,
  PBF_STREET = 2,
  PBF_HOUSE = 3,
  PBF_POSTCODE = 4,
  PBF_TOWN = 5,
  PBF_COUNTRY = 6,
  PBF_TITLE = 7,
  PBF_NAME = 8,
  PBF_NUMBER = 9,
  PBF_FAX = 10,
  PBF_CUSTOMER = 11,
  PBF_NOTE = 12,
  PBF_EXTERNAL = 13,
  PBF_TREATMENT = 14,
  PBF_IN_USE = 100,
};

// Match modes and flags.
enum : int {
  PBM_EQUAL = 256,
  PBM_CONTAINS = 0x200,
  PBM_NO_CASE = 0x400,
};

namespace pbtext {
// Windows-1252 upper case, whatever the process locale.
char UpperChar(char c);
std::string Upper(const std::string& s);
// The number without the separators " */:.;,#-_+'=&".
std::string NormaliseNumber(const std::string& number);
// The place of a text field in the record; width 0 for ids that are none.
pbfile::TextField TextFieldOf(int id);
}  // namespace pbtext

// A search pattern prepared once for many records: cut at "*" for
// "contains", upper-cased by the code page for 0x400, numbers without
// their separators. The one rule behind CMyDataBaseItem::Match.
class CFieldMatcher {
 public:
  CFieldMatcher(int id, const std::string& pattern, int mode, int flags);
  bool TestText(const char* text, std::size_t len) const;
  // The field straight from record bytes; text fields only.
  bool TestRecord(const std::uint8_t* record) const;
  bool IsTextField() const { return field_.width != 0; }

 private:
  int id_;
  bool contains_;
  bool noCase_;
  std::string pattern_;
  pbfile::TextField field_;
};

class CMyDataBaseItem : public CMyDataBaseParamInterface {
 public:
  CMyDataBaseItem() { Clear(); }
  CMyDataBaseItem(const CMyDataBaseItem& o) : CMyDataBaseParamInterface() { CopyFrom(o); }
  CMyDataBaseItem& operator=(const CMyDataBaseItem& o) {
    if (this != &o) CopyFrom(o);
    return *this;
  }

  // The field's name (text group 16) with flag 0; "" otherwise.
  static std::string GetFieldName(int id, int flag = 0);
  void CopyFrom(const CMyDataBaseItem& other);

  // Record interface.
  int Clear();
  int IsNew() const { return fileOffset_ == 0 ? 1 : 0; }
  void SetInUse(int flag) { listInUse_ = flag; }
  int IsInUse() const { return listInUse_; }
  // Writes the item when it is marked modified: appended when new (it then
  // takes its offset), else over its own record. 1 done or nothing to do,
  // 0 when the write failed (the item is unchanged then).
  int Save(CStructFile& file);
  int ReadNext(CStructFile& file);
  int ReadAt(CStructFile& file, std::uint32_t offset);
  // how: -1 previous, -2 next, -4 last, -3 take the fields again from the
  // buffer, n record n.
  int Move(CStructFile& file, int how);
  int ReadField(CStructFile& file, int n, int id);
  DataBaseRecord& GetRecord() { return record_; }
  const DataBaseRecord& GetRecord() const { return record_; }
  int GetFieldRange(int* first, int* last) const;
  std::string GetFieldFormatCode(int id, int flag) const;
  std::string GetFieldText(int id) const;
  int SetFieldText(int id, const std::string& text);
  std::string GetFieldLine(int kind) const;
  std::string Render(const std::string& tmpl) const;
  std::string RenderForPrint(const std::string& tmpl);
  std::string FirstLine();
  std::string NextLine();
  int NormaliseNumber();
  int Match(int id, const std::string& pattern, int mode, int flags) const;
  std::int16_t GetTreatmentSelector() const;
  std::int16_t SetTreatmentSelector(std::int16_t value);
  std::string GetTreatmentTarget() const;
  int SetTreatmentTarget(const char* text);
  void TakeField(int id);
  void TakeRecord();
  DataBaseRecord& StoreRecord();

  // The partner of a call into company, name and number (normalised).
  void SetFromCallInfo(const CCallInfo& call);

  // The database's bookkeeping.
  std::uint32_t FileOffset() const { return fileOffset_; }
  void SetFileOffset(std::uint32_t offset) { fileOffset_ = offset; }
  void SetModified(bool m) { modified_ = m; }
  bool IsModified() const { return modified_; }
  int RecordIndex() const { return recordIndex_; }
  void SetRecordIndex(int i) { recordIndex_ = i; }
  bool RecordInUse() const { return recordInUse_ != 0; }
  void SetRecordInUse(bool inUse) { recordInUse_ = inUse ? 1 : 0; }
  // The file generation the offset belongs to; an item of an older one
  // cannot be saved over whatever lies at its offset now.
  std::uint64_t Generation() const { return generation_; }
  void SetGeneration(std::uint64_t g) { generation_ = g; }
  void ClearParamChanged() { paramChanged_ = false; }

  // Value interface.
  int GetParamCount(std::uint32_t* out) override;
  int GetParam(std::uint32_t id, CDataBaseParam* out) override;
  int SetParam(std::uint32_t id, const CDataBaseParam& value, const CDataBaseIdList* ids) override;
  int Matches(std::uint32_t kind, const CDataBaseParam& value) override;
  int IsChanged() override { return paramChanged_ ? PBS_FOUND : PBS_NOT_FOUND; }
  int IsParamSupported(std::uint32_t id) override;

 private:
  std::string RenderWith(const std::string& tmpl, bool forPrint) const;
  const std::string* TextSlot(int id) const;
  std::string* TextSlot(int id) { return const_cast<std::string*>(static_cast<const CMyDataBaseItem*>(this)->TextSlot(id)); }

  DataBaseRecord record_;
  int listInUse_ = 0;
  int recordIndex_ = -1;
  bool modified_ = false;
  int recordInUse_ = 1;
  std::string texts_[13];  // fields 1 to 12 by id
  std::uint8_t external_ = 0;
  std::uint32_t byte528_ = 0;
  std::int32_t treatment_ = 0;
  std::string lineEnd_ = "\r\n";
  std::uint32_t fileOffset_ = 0;
  std::uint64_t generation_ = 0;
  std::vector<std::string> lines_;
  std::size_t lineCursor_ = 0;
  bool paramChanged_ = false;
};
