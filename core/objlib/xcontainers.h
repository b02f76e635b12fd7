// The object library's containers: a fixed-size pointer array with a
// cursor, an owning list, and named table entries with four values.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/objlib/xobject.h"
#include "core/objlib/xstring.h"

// Fixed capacity; owns its elements. The cursor stays within 0 ..
// capacity - 1 (next at the end and previous at the start do not move it).
class XArray : public XObject {
 public:
  enum MoveMode { kFirst = 0, kLast = 1, kNext = 2, kPrevious = 3 };

  XArray(const char* name, std::uint16_t capacity, std::uint32_t flag = 0);
  ~XArray() override;
  XArray(const XArray&) = delete;
  XArray& operator=(const XArray&) = delete;

  std::uint16_t GetTypeCode() const override { return kXTypeArray; }
  const char* GetClassName() const override { return "XArray"; }

  std::uint16_t Move(int mode);
  std::uint16_t GetCursor() const { return cursor_; }
  XObject* GetCurrent() const { return GetAt(cursor_); }

  // Null for an empty slot or an index outside the array.
  XObject* GetAt(std::size_t index) const;
  // Takes ownership; the slot's old element is deleted. 0 when the index is
  // outside the array (the object is deleted then too).
  int SetAt(std::size_t index, XObject* object);
  // Into the first empty slot; its index, or -1 when full (object deleted).
  int Add(XObject* object);
  // Number of filled slots.
  std::size_t GetCount() const;
  std::uint16_t GetCapacity() const { return capacity_; }
  std::uint32_t GetFlag() const { return flag_; }
  const XString& GetName() const { return name_; }
  void Clear();

 private:
  XString name_;
  std::vector<XObject*> elements_;
  std::uint16_t capacity_;
  std::uint16_t cursor_ = 0;
  std::uint32_t flag_;
};

// An owning chain of objects with a walking cursor.
class XList : public XObject {
 public:
  explicit XList(const char* name = nullptr);
  ~XList() override;
  XList(const XList&) = delete;
  XList& operator=(const XList&) = delete;

  std::uint16_t GetTypeCode() const override { return kXTypeList; }
  const char* GetClassName() const override { return "XList"; }

  // Appends and takes ownership (null is ignored).
  void Add(XObject* object);
  // Deletes the first element equal to key (by the element's IsEqual);
  // 1 when one was removed.
  int Remove(const XObject& key);
  // The first element equal to key, or null.
  XObject* Find(const XObject& key) const;
  XObject* GetAt(std::size_t index) const;
  std::size_t GetCount() const { return elements_.size(); }
  // Walk: null past the end.
  XObject* First();
  XObject* Next();
  void Clear();
  const XString& GetName() const { return name_; }

 private:
  XString name_;
  std::vector<std::unique_ptr<XObject>> elements_;
  std::size_t cursor_ = 0;
};

// A named entry with four 32-bit values, all 0 at construction. Entries
// compare by name.
class TableEntry : public XObject {
 public:
  explicit TableEntry(const char* name = nullptr) : name_(name) {}

  int IsEqual(const XObject& other) const override;
  int IsLess(const XObject& other) const override;
  std::uint16_t GetTypeCode() const override { return kXTypeTableEntry; }
  virtual std::uint16_t GetMemberTypeCode() const { return kXTypeMember; }
  const char* GetClassName() const override { return "TableEntry"; }

  const XString& GetName() const { return name_; }
  void SetName(const char* name) { name_ = XString(name); }
  // Index 0 to 3; others read 0 and are not stored.
  std::int32_t GetValue(int index) const;
  void SetValue(int index, std::int32_t value);

 private:
  XString name_;
  std::int32_t values_[4] = {0, 0, 0, 0};
};
