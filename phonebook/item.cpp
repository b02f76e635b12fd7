#include "phonebook/item.h"

#include <cstring>

#include "core/calls/callinfo.h"
#include "phonebook/structfile.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

struct FieldInfo {
  int id;
  int nameEntry;
  char letter;  // 0: none
  std::size_t offset;
  std::size_t width;  // with the NUL; 0 for the non-text fields
};

constexpr FieldInfo kFields[] = {
    {PBF_COMPANY, 0, 'c', 5, 41},     {PBF_STREET, 1, 's', 46, 41},    {PBF_HOUSE, 2, 'h', 87, 6},
    {PBF_POSTCODE, 3, 'b', 93, 11},   {PBF_TOWN, 4, 't', 104, 21},     {PBF_COUNTRY, 5, 'g', 125, 21},
    {PBF_TITLE, 6, 'k', 189, 21},     {PBF_NAME, 7, 'n', 210, 41},     {PBF_NUMBER, 8, 'i', DataBaseRecord::kNumber, DataBaseRecord::kNumberWidth},
    {PBF_FAX, 10, 'x', 168, 21},      {PBF_CUSTOMER, 11, 'm', 251, 21}, {PBF_NOTE, 12, 'f', 272, 256},
    {PBF_EXTERNAL, 9, 0, 167, 0},     {PBF_TREATMENT, 14, 0, 533, 0},  {PBF_IN_USE, 13, 0, 4, 0},
};

const FieldInfo* Info(int id) {
  for (const auto& f : kFields)
    if (f.id == id) return &f;
  return nullptr;
}

const FieldInfo* InfoByLetter(char c) {
  for (const auto& f : kFields)
    if (f.letter && f.letter == c) return &f;
  return nullptr;
}

// Letters that stand for nothing in a template.
bool IsSilentCode(char c) { return c != 0 && std::strchr("ABCEFGHIKMNSTXae", c) != nullptr; }

constexpr const char kSeparators[] = " */:.;,#-_+'=&";

}  // namespace

namespace pbtext {

char UpperChar(char ch) {
  auto c = static_cast<unsigned char>(ch);
  if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
  else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) c = static_cast<unsigned char>(c - 32);
  else if (c == 0x9A || c == 0x9C || c == 0x9E) c = static_cast<unsigned char>(c - 16);
  else if (c == 0xFF) c = 0x9F;
  return static_cast<char>(c);
}

std::string Upper(const std::string& s) {
  std::string out(s);
  for (char& ch : out) ch = UpperChar(ch);
  return out;
}

std::string NormaliseNumber(const std::string& number) {
  std::string out;
  out.reserve(number.size());
  for (char c : number)
    if (c == '\0' || !std::strchr(kSeparators, c)) out += c;
  return out;
}

pbfile::TextField TextFieldOf(int id) {
  const FieldInfo* f = Info(id);
  if (!f || f->width == 0) return {0, 0};
  return {f->offset, f->width};
}

}  // namespace pbtext

std::string CMyDataBaseItem::GetFieldName(int id, int flag) {
  const FieldInfo* f = Info(id);
  if (flag != 0 || !f) return {};
  return plat::GetTextOr(plat::TextId(16, f->nameEntry), "");
}

void CMyDataBaseItem::CopyFrom(const CMyDataBaseItem& o) {
  record_ = o.record_;
  listInUse_ = o.listInUse_;
  recordIndex_ = o.recordIndex_;
  modified_ = o.modified_;
  recordInUse_ = o.recordInUse_;
  for (int i = 0; i < 13; ++i) texts_[i] = o.texts_[i];
  external_ = o.external_;
  byte528_ = o.byte528_;
  treatment_ = o.treatment_;
  lineEnd_ = o.lineEnd_;
  fileOffset_ = o.fileOffset_;
  generation_ = o.generation_;
  lines_ = o.lines_;
  lineCursor_ = o.lineCursor_;
  paramChanged_ = o.paramChanged_;
}

int CMyDataBaseItem::Clear() {
  record_.Clear();
  listInUse_ = 0;
  recordIndex_ = -1;
  modified_ = false;
  recordInUse_ = 1;
  for (auto& t : texts_) t.clear();
  external_ = 0;
  byte528_ = 0;
  treatment_ = 0;
  lineEnd_ = "\r\n";
  fileOffset_ = 0;
  lines_.clear();
  lineCursor_ = 0;
  paramChanged_ = false;
  return 1;
}

const std::string* CMyDataBaseItem::TextSlot(int id) const {
  if (id < PBF_COMPANY || id > PBF_NOTE) return nullptr;
  return &texts_[id];
}

int CMyDataBaseItem::Save(CStructFile& file) {
  if (!modified_) return 1;
  StoreRecord();
  if (fileOffset_ == 0) {
    std::uint32_t off = file.Append(record_.data());
    if (off == 0 || !file.LastOk()) return 0;
    fileOffset_ = off;
  } else if (file.WriteAt(fileOffset_, record_.data()) == 0) {
    return 0;
  }
  modified_ = false;
  return 1;
}

int CMyDataBaseItem::ReadNext(CStructFile& file) {
  std::uint32_t off = file.ReadNext(record_.data());
  if (off == 0) return 0;
  fileOffset_ = off;
  TakeRecord();
  return 1;
}

int CMyDataBaseItem::ReadAt(CStructFile& file, std::uint32_t offset) {
  std::uint32_t off = file.ReadAt(offset, record_.data());
  if (off == 0) {
    fileOffset_ = 0;
    return 0;
  }
  fileOffset_ = off;
  TakeRecord();
  return 1;
}

int CMyDataBaseItem::Move(CStructFile& file, int how) {
  std::uint32_t off = 0;
  switch (how) {
    case -1: off = file.ReadPrevious(record_.data()); break;
    case -2: off = file.ReadNext(record_.data()); break;
    case -4: off = file.ReadLast(record_.data()); break;
    case -3:
      if (fileOffset_ == 0) return 0;
      TakeRecord();
      return 1;
    default: off = file.ReadRecord(how, record_.data()); break;
  }
  fileOffset_ = off;
  if (off == 0) return 0;
  TakeRecord();
  return 1;
}

int CMyDataBaseItem::ReadField(CStructFile& file, int n, int id) {
  std::uint32_t off = file.ReadRecord(n, record_.data());
  fileOffset_ = off;
  if (off == 0) return 0;
  TakeField(id);
  return 1;
}

int CMyDataBaseItem::GetFieldRange(int* first, int* last) const {
  if (first) *first = 1;
  if (last) *last = 14;
  return 1;
}

std::string CMyDataBaseItem::GetFieldFormatCode(int id, int flag) const {
  const FieldInfo* f = Info(id);
  if (flag != 1 || !f || !f->letter) return {};
  return std::string("%") + f->letter;
}

std::string CMyDataBaseItem::GetFieldText(int id) const {
  if (const std::string* t = TextSlot(id)) return *t;
  switch (id) {
    case PBF_EXTERNAL: return external_ ? "1" : "0";
    case PBF_TREATMENT: return plat::StrFormatC("%d", static_cast<int>(treatment_));
    case PBF_IN_USE: return recordInUse_ ? "1" : "0";
    default: return {};
  }
}

int CMyDataBaseItem::SetFieldText(int id, const std::string& text) {
  if (std::string* t = TextSlot(id)) {
    *t = text;
    return 1;
  }
  switch (id) {
    case PBF_EXTERNAL:
      external_ = (!text.empty() && text[0] == '0') ? 0 : 1;
      return 1;
    case PBF_TREATMENT: {
      // Only the four treatments exist; anything else would be stored as
      // its low byte and come back as another value.
      long v = plat::AtolC(text.c_str());
      if (v < 0 || v > 3) return 0;
      treatment_ = static_cast<std::int32_t>(v);
      return 1;
    }
    default: return 0;
  }
}

std::string CMyDataBaseItem::GetFieldLine(int kind) const {
  if (kind != 0 && kind != 1) return {};
  std::string line;
  for (int id : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14}) {
    line += kind == 0 ? GetFieldName(id) : GetFieldText(id);
    line += ',';
  }
  return line;
}

std::string CMyDataBaseItem::RenderWith(const std::string& tmpl, bool forPrint) const {
  std::string out;
  out.reserve(tmpl.size() + 64);
  for (std::size_t i = 0; i < tmpl.size(); ++i) {
    char c = tmpl[i];
    if (c != '%' || i + 1 >= tmpl.size()) {
      out += c;
      continue;
    }
    char code = tmpl[++i];
    if (const FieldInfo* f = InfoByLetter(code)) {
      const std::string& text = texts_[f->id];
      if (forPrint && f->id == PBF_NOTE) {
        for (std::size_t k = 0; k < text.size(); ++k) {
          out += text[k];
          if (text[k] == '\n' && k > 0 && text[k - 1] == '\r') out += '\t';
        }
      } else {
        out += text;
      }
    } else if (!IsSilentCode(code)) {
      out += '%';
      out += code;
    }
  }
  return out;
}

std::string CMyDataBaseItem::Render(const std::string& tmpl) const { return RenderWith(tmpl, false); }

std::string CMyDataBaseItem::RenderForPrint(const std::string& tmpl) {
  std::string text = RenderWith(tmpl, true);
  lines_.clear();
  lineCursor_ = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t crlf = text.find("\r\n", start);
    if (crlf == std::string::npos) {
      lines_.push_back(text.substr(start));
      break;
    }
    lines_.push_back(text.substr(start, crlf - start));
    start = crlf + 2;
  }
  return text;
}

std::string CMyDataBaseItem::FirstLine() {
  lineCursor_ = 0;
  return NextLine();
}

std::string CMyDataBaseItem::NextLine() {
  if (lineCursor_ >= lines_.size()) return {};
  return lines_[lineCursor_++];
}

int CMyDataBaseItem::NormaliseNumber() {
  texts_[PBF_NUMBER] = pbtext::NormaliseNumber(texts_[PBF_NUMBER]);
  if (texts_[PBF_NUMBER].size() > 3) external_ = 1;
  return 1;
}

CFieldMatcher::CFieldMatcher(int id, const std::string& pattern, int mode, int flags)
    : id_(id), contains_(mode == PBM_CONTAINS), noCase_((flags & PBM_NO_CASE) != 0),
      pattern_(pattern.size() < 128 ? pattern : std::string()), field_(pbtext::TextFieldOf(id)) {
  if (contains_) {
    std::size_t star = pattern_.find('*');
    if (star != std::string::npos) pattern_.resize(star);
  }
  // Numbers are compared without their separators on both sides.
  if (id_ == PBF_NUMBER) pattern_ = pbtext::NormaliseNumber(pattern_);
  if (noCase_) pattern_ = pbtext::Upper(pattern_);
}

bool CFieldMatcher::TestText(const char* text, std::size_t len) const {
  char buf[256];
  std::string big;
  const char* p = text;
  std::size_t n = len;
  if (id_ == PBF_NUMBER || noCase_) {
    char* out = buf;
    if (len > sizeof buf) {
      big.resize(len);
      out = big.data();
    }
    n = 0;
    for (std::size_t i = 0; i < len; ++i) {
      char c = text[i];
      if (id_ == PBF_NUMBER && std::strchr(kSeparators, c) && c != '\0') continue;
      out[n++] = noCase_ ? pbtext::UpperChar(c) : c;
    }
    p = out;
  }
  if (!contains_) return n == pattern_.size() && std::memcmp(p, pattern_.data(), n) == 0;
  if (pattern_.empty()) return true;
  if (n < pattern_.size()) return false;
  for (std::size_t i = 0; i + pattern_.size() <= n; ++i)
    if (p[i] == pattern_[0] && std::memcmp(p + i, pattern_.data(), pattern_.size()) == 0) return true;
  return false;
}

bool CFieldMatcher::TestRecord(const std::uint8_t* record) const {
  const char* p = reinterpret_cast<const char*>(record + field_.offset);
  std::size_t n = 0;
  while (n + 1 < field_.width && p[n] != '\0') ++n;
  return TestText(p, n);
}

int CMyDataBaseItem::Match(int id, const std::string& pattern, int mode, int flags) const {
  std::string field = GetFieldText(id);
  return CFieldMatcher(id, pattern, mode, flags).TestText(field.data(), field.size()) ? 1 : 0;
}

std::int16_t CMyDataBaseItem::GetTreatmentSelector() const {
  return pbfile::I16At(record_.data(), DataBaseRecord::kSelector);
}

std::int16_t CMyDataBaseItem::SetTreatmentSelector(std::int16_t value) {
  pbfile::PutI16(record_.data(), DataBaseRecord::kSelector, value);
  return value;
}

std::string CMyDataBaseItem::GetTreatmentTarget() const {
  return pbfile::TextAt(record_.data(), DataBaseRecord::kTarget, DataBaseRecord::kTargetWidth);
}

int CMyDataBaseItem::SetTreatmentTarget(const char* text) {
  if (!text) return 0;
  pbfile::PutText(record_.data(), DataBaseRecord::kTarget, DataBaseRecord::kTargetWidth, text);
  return 1;
}

void CMyDataBaseItem::TakeField(int id) {
  const std::uint8_t* b = record_.data();
  const FieldInfo* f = Info(id);
  if (!f) return;
  if (f->width) {
    texts_[id] = pbfile::TextAt(b, f->offset, f->width);
    return;
  }
  switch (id) {
    case PBF_EXTERNAL: external_ = b[DataBaseRecord::kExternal]; break;
    case PBF_TREATMENT: treatment_ = pbfile::I16At(b, DataBaseRecord::kTreatment); break;
    case PBF_IN_USE: recordInUse_ = b[DataBaseRecord::kInUse] ? 1 : 0; break;
    default: break;
  }
}

void CMyDataBaseItem::TakeRecord() {
  for (const auto& f : kFields) TakeField(f.id);
  const std::uint8_t* b = record_.data();
  byte528_ = b[DataBaseRecord::kByte528];
  lineEnd_ = pbfile::TextAt(b, DataBaseRecord::kLineEnd, 3);
}

DataBaseRecord& CMyDataBaseItem::StoreRecord() {
  std::uint8_t* b = record_.data();
  b[DataBaseRecord::kInUse] = static_cast<std::uint8_t>(recordInUse_ ? 1 : 0);
  for (const auto& f : kFields)
    if (f.width) pbfile::PutText(b, f.offset, f.width, texts_[f.id]);
  b[DataBaseRecord::kExternal] = external_;
  // A value read from a damaged file stays as it was; set values are 0-3.
  pbfile::PutI16(b, DataBaseRecord::kTreatment, static_cast<std::int16_t>(treatment_));
  std::string le = lineEnd_.substr(0, 2);
  pbfile::PutText(b, DataBaseRecord::kLineEnd, 3, le);
  return record_;
}

void CMyDataBaseItem::SetFromCallInfo(const CCallInfo& call) {
  const bool outgoing = call.direction == CCallInfo::kOutgoing;
  texts_[PBF_COMPANY] = outgoing ? call.calledCompany : call.callingCompany;
  texts_[PBF_NAME] = outgoing ? call.calledName : call.callingName;
  texts_[PBF_NUMBER] = call.GetPartnerNumber();
  NormaliseNumber();
}

int CMyDataBaseItem::GetParamCount(std::uint32_t* out) {
  if (out) *out = 14;
  return PBS_DONE;
}

int CMyDataBaseItem::GetParam(std::uint32_t id, CDataBaseParam* out) {
  if (!out) return PBS_NOT_SUPPORTED;
  switch (id) {
    case PBP_NUMBER: return out->SetText(texts_[PBF_NUMBER]) == PBS_DONE ? PBS_DONE : PBS_NO_MEMORY;
    case PBP_COMPANY: return out->SetText(texts_[PBF_COMPANY]) == PBS_DONE ? PBS_DONE : PBS_NO_MEMORY;
    case PBP_TITLE_AND_NAME: {
      const std::string& title = texts_[PBF_TITLE];
      std::string v = title.empty() ? texts_[PBF_NAME] : title + " " + texts_[PBF_NAME];
      return out->SetText(v) == PBS_DONE ? PBS_DONE : PBS_NO_MEMORY;
    }
    case PBP_FLAG_WORD: return out->SetWord(1) == PBS_DONE ? PBS_DONE : PBS_NO_MEMORY;
    case PBP_DEFLECT_NUMBER: return out->SetText(GetTreatmentTarget()) == PBS_DONE ? PBS_DONE : PBS_NO_MEMORY;
    default: return PBS_NOT_SUPPORTED;
  }
}

int CMyDataBaseItem::SetParam(std::uint32_t id, const CDataBaseParam& value, const CDataBaseIdList*) {
  int field = 0;
  switch (id) {
    case PBP_NUMBER: field = PBF_NUMBER; break;
    case PBP_COMPANY: case PBP_SET_COMPANY: field = PBF_COMPANY; break;
    case PBP_TITLE_AND_NAME: case PBP_SET_NAME: field = PBF_NAME; break;
    case PBP_SET_STREET: field = PBF_STREET; break;
    case PBP_SET_POSTCODE: field = PBF_POSTCODE; break;
    case PBP_SET_TOWN: field = PBF_TOWN; break;
    case PBP_SET_COUNTRY: field = PBF_COUNTRY; break;
    default: return PBS_NOT_SUPPORTED;
  }
  texts_[field] = value.Text();
  paramChanged_ = true;
  return PBS_DONE;
}

int CMyDataBaseItem::Matches(std::uint32_t kind, const CDataBaseParam& value) {
  if (kind != PBP_NUMBER) return PBS_NOT_SUPPORTED;
  return Match(PBF_NUMBER, value.Text(), PBM_EQUAL, PBM_NO_CASE) ? PBS_FOUND : PBS_NOT_FOUND;
}

int CMyDataBaseItem::IsParamSupported(std::uint32_t id) {
  switch (id) {
    case PBP_NUMBER: case PBP_COMPANY: case PBP_TITLE_AND_NAME: case PBP_FLAG_WORD: case PBP_SET_COMPANY:
    case PBP_SET_NAME: case PBP_SET_STREET: case PBP_SET_POSTCODE: case PBP_SET_TOWN: case PBP_SET_COUNTRY:
    case 0x1000103C: case PBP_DEFLECT_NUMBER:
      return PBS_DONE;
    default: return PBS_NOT_SUPPORTED;
  }
}
