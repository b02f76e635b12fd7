#include "phonebook/dialogs/importcheck.h"

#include <fstream>
#include <iterator>

#include "phonebook/dialogs/pbrecord.h"

namespace pb {

int CDataBaseImportFileChecker::ClearLinks() {
  links_.fill(Link{});
  cursor_ = 0;
  return 1;
}

int CDataBaseImportFileChecker::OpenFile(const std::string& path) {
  CloseFile();
  std::ifstream in(path, std::ios::binary);
  if (!in) return 0;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return 0;
  std::string text;
  if (!DecodeImportText(bytes, &text)) return 0;
  reader_.Reset(std::move(text), reader_.Separator());
  open_ = true;
  missing_ = 0;
  return 1;
}

int CDataBaseImportFileChecker::Scan() {
  if (!open_) return 0;
  reader_.Rewind();
  lines_ = 0;
  columns_ = 0;
  std::vector<std::string> cols;
  while (reader_.Next(&cols)) {
    if (lines_ == 0) columns_ = static_cast<long>(cols.size());
    ++lines_;
  }
  reader_.Rewind();
  lineNumber_ = 0;
  line_.clear();
  return 1;
}

int CDataBaseImportFileChecker::ReadLine(int how) {
  if (!open_) return 0;
  if (how == 1 || how == 2) {
    reader_.Rewind();
    lineNumber_ = 0;
    line_.clear();
    if (how == 2) return 2;
  }
  if (!reader_.Next(&line_)) return 0;
  ++lineNumber_;
  return 1;
}

std::string CDataBaseImportFileChecker::GetColumn(int n, int kind) {
  if (kind == 1) return FieldName(n);
  if (n < 0 || static_cast<std::size_t>(n) >= line_.size()) {
    ++missing_;
    return {};
  }
  return line_[static_cast<std::size_t>(n)];
}

int CDataBaseImportFileChecker::AddLink(int column, int field) {
  if (column < 0 || column >= kMaxLinks) return -1;
  int target = -1;
  for (int i = 0; i < kMaxLinks && target < 0; ++i)
    if (links_[static_cast<std::size_t>(i)].column == column) target = i;
  for (int i = 0; i < kMaxLinks && target < 0; ++i)
    if (links_[static_cast<std::size_t>(i)].column == -1) target = i;
  if (target < 0) return -1;
  links_[static_cast<std::size_t>(target)] = Link{column, field};
  return target;
}

int CDataBaseImportFileChecker::RemoveLink(int field) {
  for (int i = 0; i < kMaxLinks; ++i) {
    if (links_[static_cast<std::size_t>(i)].field != field || links_[static_cast<std::size_t>(i)].column == -1) continue;
    for (int k = i; k + 1 < kMaxLinks; ++k) links_[static_cast<std::size_t>(k)] = links_[static_cast<std::size_t>(k + 1)];
    links_[kMaxLinks - 1] = Link{};
    break;
  }
  return 0;
}

int CDataBaseImportFileChecker::NextLink(int what) {
  if (what == -1) {
    cursor_ = 0;
    return 0;
  }
  if (cursor_ >= kMaxLinks) return -1;
  const Link& l = links_[static_cast<std::size_t>(cursor_++)];
  if (what == 0) return l.column;
  if (what == 1) return l.field;
  return -1;
}

int CDataBaseImportFileChecker::FindLink(int value, int which) const {
  for (const Link& l : links_) {
    if (l.column == -1) break;
    if (which == 0 && l.column == value) return l.field;
    if (which == 1 && l.field == value) return l.column;
  }
  return -1;
}

int CDataBaseImportFileChecker::GetLink(int index, int which) const {
  if (index < 0 || index >= kMaxLinks) return -1;
  const Link& l = links_[static_cast<std::size_t>(index)];
  return which == 0 ? l.column : l.field;
}

int CDataBaseImportFileChecker::GetLinkCount() const {
  int n = 0;
  while (n < kMaxLinks && links_[static_cast<std::size_t>(n)].column != -1) ++n;
  return n;
}

std::string CDataBaseImportFileChecker::GetLinkText(int index, const std::string& separator) {
  if (index < 0 || index >= GetLinkCount()) return {};
  const Link& l = links_[static_cast<std::size_t>(index)];
  return GetColumn(l.column, 0) + separator + FieldName(l.field);
}

int CDataBaseImportFileChecker::CloseFile() {
  const bool was = open_;
  open_ = false;
  reader_.Reset(std::string(), reader_.Separator());
  line_.clear();
  lineNumber_ = 0;
  return was ? 1 : 0;
}

}  // namespace pb
