// Small self-describing objects: each answers a 16-bit type code and a class
// name and can compare itself with another object. The program and the print
// library both link this library, so its type codes must stay as they are.
#pragma once
#include <cstdint>

enum XTypeCode : std::uint16_t {
  kXTypeObject = 1,
  kXTypeMember = 2,  // answered by table and list members through their second type operation
  kXTypeString = 3,
  kXTypeArray = 16,
  kXTypeList = 265,
  kXTypeTableEntry = 266,
  kXTypeText267 = 267,  // further text-like types that XString compares as text
  kXTypeText268 = 268,
};

class XObject {
 public:
  XObject() = default;
  XObject(const XObject&) = default;
  XObject& operator=(const XObject&) = default;

  virtual int IsEqual(const XObject& other) const;
  virtual int IsLess(const XObject& other) const;
  virtual std::uint16_t GetTypeCode() const { return kXTypeObject; }
  virtual const char* GetClassName() const { return "XObject"; }
  virtual int IsObject() const { return 1; }
  virtual int IsValid() const { return 1; }
  virtual ~XObject();
};
