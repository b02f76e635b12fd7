// The records of the charge-counter file: one section per watched
// extension (named by its number) and one per group of tiles. Texts are
// Windows-1252; numbers are written and read in the C locale.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace plat {
class ProfileBatch;
}

// One watched extension: its counter, how its tile looks, whom a receipt
// goes to.
struct SumChargeExtension {
  // Comment and receiver keep at most this many characters; escaped they
  // may take twice as many in the file.
  static constexpr std::size_t kMaxText = 1024;
  static constexpr const char* kMissing = "XXX";

  std::string number = kMissing;
  std::string token;  // the device number of the PBX's charge messages
  std::string name;
  std::int32_t item = -1;  // the tile; not stored
  std::int16_t group = 0;
  std::int32_t lastReset = 0;
  std::int16_t lastSum = 0;
  std::string comment;
  std::int32_t doDisplay = 1;
  std::int32_t showCheckIn = 0;
  std::int16_t printAsReceipt = 0;
  std::string receiver;

  SumChargeExtension() = default;
  explicit SumChargeExtension(std::string n) : number(std::move(n)) {}

  // section "" is the record's own number. 0 when the section has no
  // IntNumber (no record there); the fields are then as they were.
  int Load(const std::string& file, const std::string& section = {});
  // Queues the keys into batch; the caller commits (one section, one
  // replacement of the file).
  void Save(plat::ProfileBatch& batch, const std::string& section = {}) const;
  // The section on its own; false when the file could not be written.
  bool Save(const std::string& file, const std::string& section = {}) const;

  void SetComment(const std::string& text) { comment = text.substr(0, kMaxText); }
  void SetReceiver(const std::string& text) { receiver = text.substr(0, kMaxText); }
  // A PBX count that does not fit the stored 16 bits is held at the limit.
  static std::int16_t ClampSum(long units);
};

// One group of extensions: a tab of tiles.
struct SumChargeGroup {
  std::uint16_t groupId = 0;
  std::string shortName;
  std::string description;
  std::int32_t item = -1;  // not stored
  std::vector<std::string> members;

  // 0 without a section, or when the section is not in the file.
  int Load(const std::string& file, const std::string& section);
  // 0 without a section.
  int Save(plat::ProfileBatch& batch, const std::string& section) const;
  // 0 when the number is a member already; else it joins and takes this
  // group's id.
  int AddMember(SumChargeExtension& extension);
  // "" past the last member.
  std::string GetMember(std::size_t i) const { return i < members.size() ? members[i] : std::string(); }
};

namespace sumcharge {
// Carriage return, tab and line feed as "\r", "\t" and "\n", the backslash
// as "\\": one line in the file, read back unchanged.
std::string Escape(const std::string& text);
std::string Unescape(const std::string& text);
// Whether the file has a section of that name (any key in it).
bool SectionExists(const std::string& file, const std::string& section);
}  // namespace sumcharge
