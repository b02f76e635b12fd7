// A phone book in memory: records by number, compared as the real one
// does (both sides without their separators, "*" no pattern), with the
// first hit handed out.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/iface/databaseinterface.h"

// The number without " */:.;,#-_+'=&".
inline std::string FakeNormalisedNumber(const std::string& n) {
  std::string out;
  for (char c : n)
    if (!std::strchr(" */:.;,#-_+'=&", c) || c == '\0') out += c;
  return out;
}

class FakePhoneBookRecord : public CMyDataBaseParamInterface {
 public:
  std::string number, company, title, name, street, postcode, town, country, deflectNumber;
  bool changed = false;

  int GetParamCount(std::uint32_t* out) override {
    if (out) *out = 14;
    return PBS_DONE;
  }
  int GetParam(std::uint32_t id, CDataBaseParam* out) override {
    if (!out) return PBS_NOT_SUPPORTED;
    switch (id) {
      case PBP_NUMBER: return out->SetText(number);
      case PBP_COMPANY: return out->SetText(company);
      case PBP_TITLE_AND_NAME: return out->SetText(title.empty() ? name : title + " " + name);
      case PBP_FLAG_WORD: return out->SetWord(1);
      case PBP_DEFLECT_NUMBER: return out->SetText(deflectNumber);
      default: return PBS_NOT_SUPPORTED;
    }
  }
  int SetParam(std::uint32_t id, const CDataBaseParam& v, const CDataBaseIdList*) override {
    std::string t = v.Text();
    switch (id) {
      case PBP_NUMBER: number = t; break;
      case PBP_COMPANY: case PBP_SET_COMPANY: company = t; break;
      case PBP_TITLE_AND_NAME: case PBP_SET_NAME: name = t; break;
      case PBP_SET_STREET: street = t; break;
      case PBP_SET_POSTCODE: postcode = t; break;
      case PBP_SET_TOWN: town = t; break;
      case PBP_SET_COUNTRY: country = t; break;
      default: return PBS_NOT_SUPPORTED;
    }
    changed = true;
    return PBS_DONE;
  }
  int Matches(std::uint32_t kind, const CDataBaseParam& v) override {
    if (kind != PBP_NUMBER) return PBS_NOT_SUPPORTED;
    return FakeNormalisedNumber(v.Text()) == FakeNormalisedNumber(number) ? PBS_FOUND : PBS_NOT_FOUND;
  }
  int IsChanged() override { return changed ? PBS_FOUND : PBS_NOT_FOUND; }
};

class FakePhoneBook : public CMyDataBaseInterface {
 public:
  std::vector<std::unique_ptr<FakePhoneBookRecord>> records;
  int searches = 0;
  int updates = 0;

  FakePhoneBookRecord& Add(const std::string& number, const std::string& company, const std::string& title,
                           const std::string& name) {
    records.push_back(std::make_unique<FakePhoneBookRecord>());
    auto& r = *records.back();
    r.number = number;
    r.company = company;
    r.title = title;
    r.name = name;
    return r;
  }

  int FindRecord(std::uint32_t kind, const CDataBaseParam& value, const char*, std::uint32_t) override {
    if (kind != PBP_NUMBER) return PBS_NOT_SUPPORTED;
    ++searches;
    hit_ = nullptr;
    std::string wanted = FakeNormalisedNumber(value.Text());
    for (auto& r : records) {
      if (FakeNormalisedNumber(r->number) == wanted) {
        hit_ = r.get();
        return PBS_FOUND;
      }
    }
    return PBS_NOT_FOUND;
  }
  int NewRecord(CMyDataBaseParamInterface** out) override {
    records.push_back(std::make_unique<FakePhoneBookRecord>());
    if (out) *out = records.back().get();
    return PBS_DONE;
  }
  int UpdateRecord(CMyDataBaseParamInterface** item) override {
    if (item && *item) ++updates;
    return PBS_DONE;
  }
  int FirstSearchHit(CMyDataBaseParamInterface** out) override {
    if (out) *out = hit_;
    return hit_ ? PBS_DONE : PBS_NOTHING;
  }

 private:
  FakePhoneBookRecord* hit_ = nullptr;
};
