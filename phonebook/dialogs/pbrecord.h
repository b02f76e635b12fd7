// One phone book record as the dialogs hold it: a copy of its fields and
// where it lies in the file, so that nothing a dialog shows changes when
// someone else moves the database's own items. Texts are Windows-1252.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/iface/databaseinterface.h"

namespace pb {

// Field ids of a record.
enum : int {
  kCompany = 1, kStreet = 2, kHouse = 3, kPostcode = 4, kTown = 5, kCountry = 6, kTitle = 7, kName = 8,
  kNumber = 9, kFax = 10, kCustomer = 11, kNote = 12, kExternal = 13, kTreatment = 14, kInUse = 100,
  kFirstField = 1, kLastField = 14,
};

struct FieldInfo {
  int id;
  char letter;      // template letter; 0 when none
  int width;        // characters the record keeps (texts only), 0 else
  int nameEntry;    // entry of its name in text group 16
};
// The field of id, or null.
const FieldInfo* Field(int id);
// The field of a template letter, or null.
const FieldInfo* FieldOfLetter(char letter);
// The name of field id (text group 16); "" for ids without one.
std::string FieldName(int id);

struct PbRecord {
  std::array<std::string, 13> text;  // fields 1 to 12 by id (0 unused)
  bool external = false;
  int treatment = 0;   // 0 normal, 1 collect, 2 individual, 3 reject
  // The individual treatment: kind (0 a watched extension, 1 an external
  // number) and its target; no field of the window shows them.
  std::int16_t selector = 0;
  std::string target;  // at most kTargetChars
  bool inUse = true;   // false: marked deleted
  std::int64_t offset = 0;  // in the database file; 0 never stored
  std::uint64_t generation = 0;  // the file's state it was read in (a delete moves records)

  static constexpr std::size_t kTargetChars = 125;

  bool IsNew() const { return offset == 0; }
  void SetTarget(const std::string& t) { target = t.substr(0, kTargetChars); }
  // Texts as the record's fields give them (13 and 100 "1"/"0", 14 decimal).
  std::string Get(int id) const;
  // Texts are cut to the field's width; 13 is 0 only for a leading "0";
  // 14 keeps 0 to 3 (another value is 0); false for ids that take nothing.
  bool Set(int id, const std::string& value);
  void Clear() { *this = PbRecord(); }
};

// Sets of fields, for walks that need only some of them.
constexpr std::uint32_t FieldBit(int id) { return 1u << id; }
inline constexpr std::uint32_t kAllFields = 0xFFFFFFFFu;

// Line breaks (CR LF, CR or LF) become one blank each, and TABs too when
// tabs is set.
std::string FlattenBreaks(const std::string& t, bool tabs);
// The same, appended to out.
void AppendFlattened(std::string& out, const std::string& t, bool tabs);

// Drops the number's separators; more than 3 characters left set the
// external flag.
void NormaliseNumber(PbRecord& r);
// The number as every comparison of numbers sees it.
std::string NumberKey(const std::string& number);

// "%" and a field letter stand for the field's text; "%" and one of
// "ABCEFGHIKMNSTXae" for nothing; any other "%x" stays as it is.
std::string Render(const PbRecord& r, const std::string& tpl);
// The same, with a TAB after each line break of the note, cut into lines
// at each CR LF.
std::vector<std::string> RenderForPrint(const PbRecord& r, const std::string& tpl);

// A record's values as the call model reads them (a hub message's lParam):
// lives on the caller's stack while the message is sent.
class RecordParams : public CMyDataBaseParamInterface {
 public:
  explicit RecordParams(const PbRecord& r) : r_(r) {}
  int GetParamCount(std::uint32_t* out) override;
  int GetParam(std::uint32_t id, CDataBaseParam* out) override;
  int IsChanged() override { return PBS_NOT_FOUND; }
  int IsParamSupported(std::uint32_t id) override;

 private:
  const PbRecord& r_;
};

}  // namespace pb
