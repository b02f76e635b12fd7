// The speed-dial store: twenty entries kept in the SDFN file, one section
// each, dialled through the call handler with at most one call pending.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/callhandler/callpartners.h"
#include "platform/win32types.h"

class CCallHandler;
struct CMonitorEntry;
struct PickedRecord;
namespace plat {
class ProfileBatch;
}

struct ShortDialEntry {
  static constexpr std::size_t kTextSize = 128;
  static constexpr std::size_t kNumberSize = 24;

  std::int32_t index = 0;  // IX: the entry's own number
  std::int32_t set = 0;    // SP: 1 once stored
  char company[kTextSize] = {};
  char salutation[kTextSize] = {};
  char name[kTextSize] = {};
  char further[kTextSize] = {};
  char number[kNumberSize] = {};
  char entryText[kTextSize] = {};  // the key's label
  std::uint8_t external = 0;
  std::int32_t recordRef = 0;  // DBR: the phone book record's offset
  std::int32_t reserved[3] = {};

  void Clear();
  void CopyFrom(const ShortDialEntry& other) { *this = other; }
  // Party of a phone book record; the entry text stays.
  void FillFromRecord(const PickedRecord& record);
  // Party of a watched extension: no company, internal.
  void FillFromExtension(const CMonitorEntry& extension);
  // Texts are cut to their fields here, so what is saved loads back equal.
  static void Put(char* field, std::size_t size, const std::string& text);
  template <std::size_t N>
  static void Put(char (&field)[N], const std::string& text) { Put(field, N, text); }

  void Save(plat::ProfileBatch& batch, const std::string& section) const;
  void Load(const std::string& file, const std::string& section);
};

class CShortDialHandler : public ISpeedDialStore {
 public:
  static constexpr int kEntries = 20;
  static constexpr int kOrigin = 16;

  // Results of DialEntry.
  enum DialResult {
    kNotSet = 0,         // the caller offers the editor
    kDialling = 1,
    kPendingSame = 2,    // this entry is being dialled
    kBusy = 3,           // a call is going on or another entry is pending
    kNotDialled = 4,     // no record, or the request did not leave
    kNoHandset = 5,
  };

  // Loads from the file; the default is the SDFN file of the configuration.
  CShortDialHandler();
  explicit CShortDialHandler(std::string file);

  CCallHandler* callHandler = nullptr;  // set by the document
  // The connection drawing's registration (item, window, kind, number);
  // empty until the view hands the drawing over.
  std::function<void(int item, plat::WindowId window, int kind, const std::string& number)> registerItem;

  // 0..19 makes n current; the current entry (null while none).
  const ShortDialEntry* GetEntry(int n);
  // Stores a copy as set and saves all entries: 0, or -1 when the file
  // could not be written (logged; the entry stays as the file holds it);
  // 0 without storing for n outside 0..19.
  int SetEntry(int n, const ShortDialEntry& entry);
  std::string GetEntryText(int n) const;    // "*" when not set or out of range
  std::string GetEntryNumber(int n) const;  // "*" likewise
  int DialEntry(int n);
  int ResetPendingDial(CCallInfo* call, int ignored);
  void ForgetPendingDial() override { ResetPendingDial(nullptr, 0); }
  int IsPending() const { return pending_; }
  int PendingIndex() const { return pendingIndex_; }

  // 0, or -1 when the file could not be replaced (then it is as it was).
  int SaveAll(const std::string& file);
  int LoadAll(const std::string& file);
  const std::string& FileName() const { return file_; }

 private:
  std::string file_;
  ShortDialEntry table_[kEntries];
  int current_ = -1;
  int pending_ = 0;
  int pendingIndex_ = -1;
};
