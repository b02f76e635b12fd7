#include "phonebook/dialogs/pbrecord.h"

#include <cstring>

#include "platform/text.h"
#include "platform/textid.h"

namespace pb {

namespace {

constexpr FieldInfo kFields[] = {
    {kCompany, 'c', 40, 0},  {kStreet, 's', 40, 1},   {kHouse, 'h', 5, 2},     {kPostcode, 'b', 10, 3},
    {kTown, 't', 20, 4},     {kCountry, 'g', 20, 5},  {kTitle, 'k', 20, 6},    {kName, 'n', 40, 7},
    {kNumber, 'i', 20, 8},   {kFax, 'x', 20, 10},     {kCustomer, 'm', 20, 11}, {kNote, 'f', 255, 12},
    {kExternal, 0, 0, 9},    {kTreatment, 0, 0, 14},  {kInUse, 0, 0, 13},
};

constexpr const char* kSeparators = " */:.;,#-_+'=&";
constexpr const char* kSilentCodes = "ABCEFGHIKMNSTXae";

// Group 16 is named entry by entry so that the language file's check sees
// each one.
const char* NameText(int entry) {
  switch (entry) {
    case 0: return plat::GetTextOr(plat::TextId(16, 0), "Firma");
    case 1: return plat::GetTextOr(plat::TextId(16, 1), "Straße");
    case 2: return plat::GetTextOr(plat::TextId(16, 2), "Nr");
    case 3: return plat::GetTextOr(plat::TextId(16, 3), "PLZ");
    case 4: return plat::GetTextOr(plat::TextId(16, 4), "Ort");
    case 5: return plat::GetTextOr(plat::TextId(16, 5), "Land");
    case 6: return plat::GetTextOr(plat::TextId(16, 6), "Titel");
    case 7: return plat::GetTextOr(plat::TextId(16, 7), "Name");
    case 8: return plat::GetTextOr(plat::TextId(16, 8), "Telefon");
    case 9: return plat::GetTextOr(plat::TextId(16, 9), "Extern");
    case 10: return plat::GetTextOr(plat::TextId(16, 10), "Fax");
    case 11: return plat::GetTextOr(plat::TextId(16, 11), "Kundennummer");
    case 12: return plat::GetTextOr(plat::TextId(16, 12), "Notiz");
    case 13: return plat::GetTextOr(plat::TextId(16, 13), "in Gebrauch");
    case 14: return plat::GetTextOr(plat::TextId(16, 14), "Anrufbehandlung");
    default: return "";
  }
}

void AppendField(const PbRecord& r, char letter, bool continuedNote, std::string& out) {
  const FieldInfo* f = FieldOfLetter(letter);
  const std::string& t = r.text[static_cast<std::size_t>(f->id)];
  if (!continuedNote || f->id != kNote) {
    out += t;
    return;
  }
  for (std::size_t i = 0; i < t.size(); ++i) {
    out += t[i];
    if (t[i] == '\n' && i > 0 && t[i - 1] == '\r') out += '\t';
  }
}

std::string RenderWith(const PbRecord& r, const std::string& tpl, bool continuedNote) {
  std::string out;
  out.reserve(tpl.size() + 64);
  for (std::size_t i = 0; i < tpl.size(); ++i) {
    const char c = tpl[i];
    if (c != '%' || i + 1 == tpl.size()) {
      out += c;
      continue;
    }
    const char code = tpl[++i];
    if (FieldOfLetter(code)) AppendField(r, code, continuedNote, out);
    else if (code == 0 || !std::strchr(kSilentCodes, code)) (out += '%') += code;
  }
  return out;
}

}  // namespace

const FieldInfo* Field(int id) {
  for (const auto& f : kFields)
    if (f.id == id) return &f;
  return nullptr;
}

const FieldInfo* FieldOfLetter(char letter) {
  if (letter == 0) return nullptr;
  for (const auto& f : kFields)
    if (f.letter == letter) return &f;
  return nullptr;
}

std::string FieldName(int id) {
  const FieldInfo* f = Field(id);
  return f ? NameText(f->nameEntry) : "";
}

std::string PbRecord::Get(int id) const {
  if (id >= kCompany && id <= kNote) return text[static_cast<std::size_t>(id)];
  if (id == kExternal) return external ? "1" : "0";
  if (id == kTreatment) return std::to_string(treatment);
  if (id == kInUse) return inUse ? "1" : "0";
  return {};
}

bool PbRecord::Set(int id, const std::string& value) {
  if (id >= kCompany && id <= kNote) {
    const auto width = static_cast<std::size_t>(Field(id)->width);
    text[static_cast<std::size_t>(id)] = value.substr(0, width);
    return true;
  }
  if (id == kExternal) {
    external = value.empty() || value[0] != '0';
    return true;
  }
  if (id == kTreatment) {
    const long v = plat::AtolC(value.c_str());
    treatment = (v >= 0 && v <= 3) ? static_cast<int>(v) : 0;
    return true;
  }
  return false;
}

void AppendFlattened(std::string& out, const std::string& t, bool tabs) {
  const char* d = t.data();
  const std::size_t n = t.size();
  auto breaks = [tabs](char c) { return c == '\r' || c == '\n' || (tabs && c == '\t'); };
  std::size_t i = 0;
  while (i < n) {
    // The plain run in one piece, then the break as one blank (CR LF too).
    std::size_t j = i;
    while (j < n && (static_cast<unsigned char>(d[j]) > '\r' || !breaks(d[j]))) ++j;
    out.append(d + i, j - i);
    if (j == n) break;
    out += ' ';
    i = j + (d[j] == '\r' && j + 1 < n && d[j + 1] == '\n' ? 2 : 1);
  }
}

std::string FlattenBreaks(const std::string& t, bool tabs) {
  std::string out;
  out.reserve(t.size());
  AppendFlattened(out, t, tabs);
  return out;
}

std::string NumberKey(const std::string& number) {
  std::string out;
  out.reserve(number.size());
  for (char c : number)
    if (!std::strchr(kSeparators, c) || c == 0) out += c;
  return out;
}

void NormaliseNumber(PbRecord& r) {
  std::string& n = r.text[kNumber];
  n = NumberKey(n);
  if (n.size() > 3) r.external = true;
}

std::string Render(const PbRecord& r, const std::string& tpl) { return RenderWith(r, tpl, false); }

std::vector<std::string> RenderForPrint(const PbRecord& r, const std::string& tpl) {
  const std::string all = RenderWith(r, tpl, true);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = all.find("\r\n", start);
    if (end == std::string::npos) break;
    lines.push_back(all.substr(start, end - start));
    start = end + 2;
  }
  lines.push_back(all.substr(start));
  return lines;
}

int RecordParams::GetParamCount(std::uint32_t* out) {
  if (out) *out = 14;
  return PBS_DONE;
}

int RecordParams::GetParam(std::uint32_t id, CDataBaseParam* out) {
  if (!out) return PBS_NOT_SUPPORTED;
  switch (id) {
    case PBP_NUMBER: return out->SetText(r_.text[kNumber]);
    case PBP_COMPANY: return out->SetText(r_.text[kCompany]);
    case PBP_TITLE_AND_NAME: {
      const std::string& title = r_.text[kTitle];
      return out->SetText(title.empty() ? r_.text[kName] : title + " " + r_.text[kName]);
    }
    case PBP_FLAG_WORD: return out->SetWord(1);
    default: return PBS_NOT_SUPPORTED;
  }
}

int RecordParams::IsParamSupported(std::uint32_t id) {
  switch (id) {
    case PBP_NUMBER: case PBP_COMPANY: case PBP_TITLE_AND_NAME: case PBP_FLAG_WORD: return PBS_DONE;
    default: return PBS_NOT_SUPPORTED;
  }
}

}  // namespace pb
