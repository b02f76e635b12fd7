#include "charges/counter/sumchargerecords.h"

#include <algorithm>
#include <climits>

#include "core/objlib/xtokenline.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kValueSize = 1025;  // 1024 characters and the end
// An escaped text takes at most two characters for each of its own.
constexpr std::size_t kEscapedSize = 2 * SumChargeExtension::kMaxText + 1;
constexpr std::size_t kMembersSize = 8192;

std::string Read(const std::string& file, const std::string& section, const char* key, const char* def,
                 std::size_t size = kValueSize) {
  return plat::GetProfileText(section.c_str(), key, def, file, size);
}

long Number(const std::string& file, const std::string& section, const char* key, const char* def) {
  return plat::AtolC(Read(file, section, key, def).c_str());
}

std::int16_t I16(long v) { return static_cast<std::int16_t>(std::clamp<long>(v, INT16_MIN, INT16_MAX)); }
std::int32_t I32(long v) { return static_cast<std::int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

namespace sumcharge {

std::string Escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string Unescape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    switch (text[i + 1]) {
      case '\\': out += '\\'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'n': out += '\n'; break;
      default: out += c; continue;  // a lone backslash stays as it was
    }
    ++i;
  }
  return out;
}

bool SectionExists(const std::string& file, const std::string& section) {
  char keys[4] = {};
  plat::GetPrivateProfileString(section.c_str(), nullptr, "", keys, sizeof keys, file.c_str());
  return keys[0] != '\0';
}

}  // namespace sumcharge

// ---------------------------------------------------------------- extension

std::int16_t SumChargeExtension::ClampSum(long units) { return I16(units); }

int SumChargeExtension::Load(const std::string& file, const std::string& section) {
  const std::string s = section.empty() ? number : section;
  const std::string n = Read(file, s, "IntNumber", kMissing);
  if (n == kMissing || n.empty()) return 0;
  number = n;
  name = Read(file, s, "InternalName", "");
  token = Read(file, s, "IDToken", "");
  SetComment(sumcharge::Unescape(Read(file, s, "Comment", "", kEscapedSize)));
  group = I16(Number(file, s, "Group", "0"));
  lastSum = I16(Number(file, s, "LastSum", "0"));
  lastReset = I32(Number(file, s, "LastReset", "0"));
  doDisplay = I32(Number(file, s, "DoDisplay", "1"));
  showCheckIn = I32(Number(file, s, "ShowCheckIn", "0"));
  printAsReceipt = I16(Number(file, s, "PrintAsReceipt", "0"));
  SetReceiver(sumcharge::Unescape(Read(file, s, "Receiver", "", kEscapedSize)));
  return 1;
}

void SumChargeExtension::Save(plat::ProfileBatch& batch, const std::string& section) const {
  const std::string s = section.empty() ? number : section;
  const char* sec = s.c_str();
  batch.Write(sec, "IntNumber", number.c_str());
  batch.Write(sec, "InternalName", name.c_str());
  batch.Write(sec, "IDToken", token.c_str());
  batch.Write(sec, "Comment", sumcharge::Escape(comment).c_str());
  batch.Write(sec, "Group", plat::StrFormatC("%d", group).c_str());
  batch.Write(sec, "LastSum", plat::StrFormatC("%d", lastSum).c_str());
  batch.Write(sec, "LastReset", plat::StrFormatC("%ld", static_cast<long>(lastReset)).c_str());
  batch.Write(sec, "DoDisplay", plat::StrFormatC("%ld", static_cast<long>(doDisplay)).c_str());
  batch.Write(sec, "ShowCheckIn", plat::StrFormatC("%ld", static_cast<long>(showCheckIn)).c_str());
  batch.Write(sec, "Receiver", sumcharge::Escape(receiver).c_str());
  batch.Write(sec, "PrintAsReceipt", plat::StrFormatC("%ld", static_cast<long>(printAsReceipt)).c_str());
}

bool SumChargeExtension::Save(const std::string& file, const std::string& section) const {
  plat::ProfileBatch batch(file);
  Save(batch, section);
  return batch.Commit();
}

// -------------------------------------------------------------------- group

int SumChargeGroup::Load(const std::string& file, const std::string& section) {
  if (section.empty() || !sumcharge::SectionExists(file, section)) return 0;
  groupId = static_cast<std::uint16_t>(std::clamp<long>(Number(file, section, "GroupID", "0"), 0, 65535));
  shortName = Read(file, section, "ShortName", "");
  description = Read(file, section, "Description", "");
  members.clear();
  const std::string list = Read(file, section, "Members", "", kMembersSize);
  XTokenLine tokens;
  tokens.SetSeparator(";");
  const int n = tokens.Parse(list.c_str());
  for (int i = 0; i < n; ++i) {
    const char* t = tokens.GetTokenAt(static_cast<std::size_t>(i));
    // "21;;22" names two members, not an empty third.
    if (t && *t && std::find(members.begin(), members.end(), t) == members.end()) members.emplace_back(t);
  }
  return 1;
}

int SumChargeGroup::Save(plat::ProfileBatch& batch, const std::string& section) const {
  if (section.empty()) return 0;
  std::string list;
  for (const std::string& m : members) {
    if (!list.empty()) list += ';';
    list += m;
  }
  const char* sec = section.c_str();
  batch.Write(sec, "GroupID", plat::StrFormatC("%d", groupId).c_str());
  batch.Write(sec, "ShortName", shortName.c_str());
  batch.Write(sec, "Description", description.c_str());
  batch.Write(sec, "Members", list.c_str());
  return 1;
}

int SumChargeGroup::AddMember(SumChargeExtension& extension) {
  if (std::find(members.begin(), members.end(), extension.number) != members.end()) return 0;
  members.push_back(extension.number);
  extension.group = static_cast<std::int16_t>(groupId);
  return 1;
}
