#include "app/lists/shortdial.h"

#include <cstring>
#include <limits>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/monitor/monitortable.h"
#include "phonebook/iface/picker.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

const char kSection[] = "SHRTDIAL";

std::string SectionOf(int n) { return plat::StrFormatC("%s-%02i", kSection, n); }

}  // namespace

// ---------------------------------------------------------------- entry

void ShortDialEntry::Clear() { *this = ShortDialEntry(); }

void ShortDialEntry::Put(char* field, std::size_t size, const std::string& text) {
  plat::CopyBounded(field, size, text.c_str());
}

void ShortDialEntry::FillFromRecord(const PickedRecord& r) {
  Put(company, r.company);
  Put(salutation, r.title);
  Put(name, r.name);
  Put(number, r.number);
  external = GlobalConfig().IsInternalNumber(number) ? 0 : 1;
  recordRef = r.offset >= 0 && r.offset <= std::numeric_limits<std::int32_t>::max()
                  ? static_cast<std::int32_t>(r.offset)
                  : 0;
}

void ShortDialEntry::FillFromExtension(const CMonitorEntry& e) {
  Put(salutation, e.title);
  Put(name, e.name);
  Put(number, e.Number());
  company[0] = '\0';
  external = 0;
}

void ShortDialEntry::Save(plat::ProfileBatch& b, const std::string& section) const {
  const char* s = section.c_str();
  b.Write(s, "FM", company);
  b.Write(s, "NM", name);
  b.Write(s, "NR", number);
  b.Write(s, "TE", entryText);
  b.Write(s, "TT", salutation);
  b.Write(s, "FN", further);
  b.Write(s, "DBR", plat::StrFormatC("%ld", static_cast<long>(recordRef)).c_str());
  b.Write(s, "IX", plat::StrFormatC("%i", index).c_str());
  b.Write(s, "SP", plat::StrFormatC("%i", set).c_str());
  b.Write(s, "EXT", external ? "1" : "0");
}

void ShortDialEntry::Load(const std::string& file, const std::string& section) {
  const char* s = section.c_str();
  auto text = [&](const char* key, char* field, std::size_t size) {
    Put(field, size, plat::GetProfileText(s, key, "", file, size));
  };
  auto num = [&](const char* key) {
    return static_cast<std::int32_t>(plat::AtolC(plat::GetProfileText(s, key, "0", file, kTextSize).c_str()));
  };
  text("FM", company, sizeof company);
  text("NM", name, sizeof name);
  text("NR", number, sizeof number);
  text("TE", entryText, sizeof entryText);
  text("TT", salutation, sizeof salutation);
  text("FN", further, sizeof further);
  recordRef = num("DBR");
  index = num("IX");
  set = num("SP");
  external = plat::GetProfileText(s, "EXT", "0", file, kTextSize).starts_with('0') ? 0 : 1;
}

// ---------------------------------------------------------------- store

CShortDialHandler::CShortDialHandler() : CShortDialHandler(plat::MapPath(GlobalConfig().SDFN)) {}

CShortDialHandler::CShortDialHandler(std::string file) : file_(std::move(file)) {
  if (!file_.empty()) LoadAll(file_);
}

const ShortDialEntry* CShortDialHandler::GetEntry(int n) {
  if (n >= 0 && n < kEntries) current_ = n;
  return current_ >= 0 ? &table_[current_] : nullptr;
}

int CShortDialHandler::SetEntry(int n, const ShortDialEntry& entry) {
  if (n < 0 || n >= kEntries) return 0;
  const ShortDialEntry before = table_[n];
  table_[n].CopyFrom(entry);
  table_[n].set = 1;
  if (SaveAll(file_) != 0) {
    // The file still holds the old entry, and so does the table: the keys
    // show what a restart would bring back.
    table_[n] = before;
    return -1;
  }
  if (registerItem) registerItem(n, 0, 2, table_[n].number);
  return 0;
}

std::string CShortDialHandler::GetEntryText(int n) const {
  if (n < 0 || n >= kEntries || !table_[n].set) return "*";
  return table_[n].entryText;
}

std::string CShortDialHandler::GetEntryNumber(int n) const {
  if (n < 0 || n >= kEntries || !table_[n].set) return "*";
  return table_[n].number;
}

int CShortDialHandler::DialEntry(int n) {
  if (n < 0 || n >= kEntries) return kNotSet;
  current_ = n;
  const ShortDialEntry& e = table_[n];
  if (!e.set) return kNotSet;
  if (pending_) return pendingIndex_ == n ? kPendingSame : kBusy;
  if (!callHandler || !callHandler->IsLineFree(kOrigin)) return kBusy;
  if (!callHandler->WaitForHandset(kOrigin)) return kNoHandset;
  CCallInfo* call = callHandler->GetFreeCall(kOrigin);
  if (!call) return kNotDialled;
  CallParty party;
  party.company = e.company;
  party.title = e.salutation;
  party.name = e.name;
  party.number = e.number;
  party.external = e.external;
  call->SetPartyFromShortDial(party);
  call->generatorId = kOrigin;
  // Only a request that left may block the other keys until it ends.
  if (callHandler->MakeCall(call, kOrigin) != 1) {
    call->Release();
    return kNotDialled;
  }
  pending_ = 1;
  pendingIndex_ = n;
  return kDialling;
}

int CShortDialHandler::ResetPendingDial(CCallInfo*, int) {
  pending_ = 0;
  pendingIndex_ = -1;
  return 0;
}

int CShortDialHandler::SaveAll(const std::string& file) {
  if (file.empty()) return -1;
  plat::ProfileBatch batch(file);
  for (int n = 0; n < kEntries; ++n) table_[n].Save(batch, SectionOf(n));
  if (batch.Commit()) return 0;
  GlobalLog().WriteEntry(("Kurzwahl: Datei nicht geschrieben: " + file).c_str());
  return -1;
}

int CShortDialHandler::LoadAll(const std::string& file) {
  const plat::ProfileReadScope once(file);
  for (int n = 0; n < kEntries; ++n) {
    table_[n].Clear();
    table_[n].Load(file, SectionOf(n));
  }
  return 0;
}
