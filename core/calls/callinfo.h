// One call of the own workstation or of a watched extension.
#pragma once
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

class CCallInfo;
class CMyDataBaseParamInterface;
namespace plat {
class ProfileBatch;
}

// Whoever hands out call records takes them back through this (the call
// handler's pool).
class ICallInfoOwner {
 public:
  virtual ~ICallInfoOwner() = default;
  virtual int FreeCall(CCallInfo* call) = 0;
  // The record's call id has just changed from old; an owner that finds its
  // records by call id files it anew. Copies of its records (which carry the
  // owner too) come here as well and must be told apart.
  virtual void CallIdChanged(CCallInfo* call, int old) {
    (void)call;
    (void)old;
  }
};

// A record's CSTA call id: reads and assigns as an int, and tells the
// record's owner of every change.
class CallIdField {
 public:
  explicit CallIdField(CCallInfo* self) : self_(self) {}
  CallIdField(const CallIdField&) = delete;
  CallIdField& operator=(const CallIdField& o) { return *this = static_cast<int>(o); }
  CallIdField& operator=(int value);
  operator int() const { return value_; }

 private:
  CCallInfo* self_;
  int value_ = -1;
};

// The party data a phone book record or a speed-dial entry gives a call.
struct CallParty {
  std::string company;
  std::string title;   // salutation as stored
  std::string name;
  std::string number;
  int external = 0;
  int callHandling = 0;  // 1 deflect to collector, 2 deflect to own target, 3 reject
};

class CCallInfo {
 public:
  enum Direction { kNoDirection = 0, kIncoming = 1, kOutgoing = 2 };
  enum State : std::int16_t { kIdle = -1, kDialling = 1, kRinging = 2, kConnected = 3, kHeld = 4 };

  CCallInfo();
  CCallInfo(const CCallInfo&) = delete;
  CCallInfo& operator=(const CCallInfo&) = delete;
  virtual ~CCallInfo() = default;

  // All fields to their start values; the description is kept.
  void Reset();
  // Every field but the description.
  void CopyFrom(const CCallInfo& other);
  // Hands the record back to its owner, when it has one. Returns 1.
  int Release();

  // Party from a phone book record: the calling side of an incoming call,
  // otherwise the call becomes outgoing and the called side is filled.
  // A null record leaves the parties as they are.
  void SetPartyFromRecord(const CallParty* record);
  void SetPartyFromItem(const CallParty& record) { SetPartyFromRecord(&record); }
  // The same through the phone book's value interface (after a search hit).
  // Returns 0 for a null item, else 1.
  int SetPartyFromParams(CMyDataBaseParamInterface* item);
  // Outgoing call to a speed-dial entry.
  void SetPartyFromShortDial(const CallParty& entry);

  std::string GetStateText() const;
  // Layouts 1 to 8; 1 and 5 also store the result as the description.
  std::string GetDescription(int layout);
  // Reads a text of layout 1 to 6 back; returns 0 for other layouts.
  int SetFromText(int layout, const std::string& text);

  // The other party's number: with an own number, the side that is not it.
  virtual std::string GetPartnerNumber(const std::string& own = std::string()) const;
  // Mode 1 writes the 17 keys into the section, in one replacement of the
  // file. 1, or 0 when the file could not be written.
  virtual int Save(int mode, const std::string& file, const std::string& section) const;
  // The same keys queued into a batch, so a list saves in one replacement.
  int SaveToBatch(int mode, plat::ProfileBatch& batch, const std::string& section) const;
  virtual int Load(int mode, const std::string& file, const std::string& section);

  // The own device's number, asked by SetFromText; set by whoever knows it
  // (the call handler). Unset, there is no own number.
  static void SetOwnNumberSource(std::function<std::string()> source);
  static std::string OwnNumber();

  ICallInfoOwner* owner = nullptr;
  int direction = kNoDirection;
  std::string calledCompany;
  std::string calledName;  // salutation and name
  std::string calledNumber;
  std::string callingCompany;
  std::string callingName;
  std::string callingNumber;
  std::string text7;  // shown by the assistant window; set by its users
  std::string text8;
  int generatorId = -1;
  int clearCause = -1;
  std::string description;  // last description made
  std::string chargeText1;
  std::string chargeText2;
  std::time_t beginTime = 0;
  std::time_t endTime = 0;
  std::time_t duration = 0;
  std::string note;
  int units = 0;
  int callHandling = 0;
  int priority = 0;
  int spare1 = 0;
  int spare2 = 0;
  int callbackCriterion = 0;
  int callbackType = 0;
  std::time_t callbackTimeBegin = 0;
  std::time_t callbackTimeEnd = 0;
  long callbackInterval = 300;
  int callbackCount = 0;
  int callbackMaximum = 3;
  long spare3 = 0;  // the callback list's time of the last try
  std::time_t callbackDate = 0;
  std::int16_t state = kIdle;
  int connectedMark = 0;  // 1 connected at clearing, 0 not, -1 released
  int external = 0;
  CallIdField callId{this};
  int callRefId = -1;  // given by the pool, never changed while pooled
  std::atomic<int> busy{0};  // set by an incoming-call worker

 private:
  std::string CallerDisplay() const;
  void MarkExternalByLength();
};
