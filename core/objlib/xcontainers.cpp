#include "core/objlib/xcontainers.h"

#include <cstring>

XArray::XArray(const char* name, std::uint16_t capacity, std::uint32_t flag)
    : name_(name), elements_(capacity, nullptr), capacity_(capacity), flag_(flag) {}

XArray::~XArray() { Clear(); }

std::uint16_t XArray::Move(int mode) {
  switch (mode) {
    case kFirst:
      cursor_ = 0;
      break;
    case kLast:
      cursor_ = capacity_ > 0 ? static_cast<std::uint16_t>(capacity_ - 1) : 0;
      break;
    case kNext:
      if (cursor_ + 1 < capacity_) ++cursor_;
      break;
    case kPrevious:
      if (cursor_ > 0) --cursor_;
      break;
    default:
      break;
  }
  return cursor_;
}

XObject* XArray::GetAt(std::size_t index) const {
  return index < elements_.size() ? elements_[index] : nullptr;
}

int XArray::SetAt(std::size_t index, XObject* object) {
  if (index >= elements_.size()) {
    delete object;
    return 0;
  }
  if (elements_[index] != object) delete elements_[index];
  elements_[index] = object;
  return 1;
}

int XArray::Add(XObject* object) {
  for (std::size_t i = 0; i < elements_.size(); ++i) {
    if (!elements_[i]) {
      elements_[i] = object;
      return static_cast<int>(i);
    }
  }
  delete object;
  return -1;
}

std::size_t XArray::GetCount() const {
  std::size_t n = 0;
  for (const XObject* e : elements_)
    if (e) ++n;
  return n;
}

void XArray::Clear() {
  for (XObject*& e : elements_) {
    delete e;
    e = nullptr;
  }
}

XList::XList(const char* name) : name_(name) {}
XList::~XList() = default;

void XList::Add(XObject* object) {
  if (object) elements_.emplace_back(object);
}

int XList::Remove(const XObject& key) {
  for (auto it = elements_.begin(); it != elements_.end(); ++it) {
    if ((*it)->IsEqual(key)) {
      const auto pos = static_cast<std::size_t>(it - elements_.begin());
      elements_.erase(it);
      if (cursor_ > pos) --cursor_;
      return 1;
    }
  }
  return 0;
}

XObject* XList::Find(const XObject& key) const {
  for (const auto& e : elements_)
    if (e->IsEqual(key)) return e.get();
  return nullptr;
}

XObject* XList::GetAt(std::size_t index) const {
  return index < elements_.size() ? elements_[index].get() : nullptr;
}

XObject* XList::First() {
  cursor_ = 0;
  return GetAt(0);
}

XObject* XList::Next() {
  if (cursor_ < elements_.size()) ++cursor_;
  return GetAt(cursor_);
}

void XList::Clear() {
  elements_.clear();
  cursor_ = 0;
}

int TableEntry::IsEqual(const XObject& other) const {
  if (other.GetTypeCode() != kXTypeTableEntry) return 0;
  const auto* t = dynamic_cast<const TableEntry*>(&other);
  if (!t) return 0;
  return std::strcmp(name_.GetText() ? name_.GetText() : "",
                     t->name_.GetText() ? t->name_.GetText() : "") == 0
             ? 1
             : 0;
}

int TableEntry::IsLess(const XObject& other) const {
  if (other.GetTypeCode() != kXTypeTableEntry) return 0;
  const auto* t = dynamic_cast<const TableEntry*>(&other);
  if (!t) return 0;
  return std::strcmp(name_.GetText() ? name_.GetText() : "",
                     t->name_.GetText() ? t->name_.GetText() : "") < 0
             ? 1
             : 0;
}

std::int32_t TableEntry::GetValue(int index) const {
  return index >= 0 && index < 4 ? values_[index] : 0;
}

void TableEntry::SetValue(int index, std::int32_t value) {
  if (index >= 0 && index < 4) values_[index] = value;
}
