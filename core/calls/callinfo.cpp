#include "core/calls/callinfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <vector>

#include "core/calls/calldeps.h"
#include "core/iface/databaseinterface.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

std::mutex g_ownMu;
std::function<std::string()> g_ownSource;

std::vector<std::string> SplitTabs(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = text.find('\t', start);
    if (tab == std::string::npos) {
      parts.push_back(text.substr(start));
      break;
    }
    parts.push_back(text.substr(start, tab - start));
    start = tab + 1;
  }
  return parts;
}

std::string Part(const std::vector<std::string>& parts, std::size_t i) {
  return i < parts.size() ? parts[i] : std::string();
}

// Reads "d. m. y" and "H:M:S" back into a local time; 0 when they do not
// read. Two-digit years below 70 are in this century.
std::time_t ParseDateTime(const std::string& date, const std::string& tod) {
  int d = 0, m = 0, y = 0, hh = 0, mm = 0, ss = 0;
  char tail = 0;
  if (std::sscanf(date.c_str(), "%d. %d. %d%c", &d, &m, &y, &tail) != 3) return 0;
  if (std::sscanf(tod.c_str(), "%d:%d:%d%c", &hh, &mm, &ss, &tail) != 3) return 0;
  if (d < 1 || d > 31 || m < 1 || m > 12 || y < 0 || y > 99 || hh < 0 || hh > 23 || mm < 0 ||
      mm > 59 || ss < 0 || ss > 60)
    return 0;
  std::tm tm{};
  tm.tm_mday = d;
  tm.tm_mon = m - 1;
  tm.tm_year = (y < 70 ? 2000 + y : 1900 + y) - 1900;
  tm.tm_hour = hh;
  tm.tm_min = mm;
  tm.tm_sec = ss;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  return t == static_cast<std::time_t>(-1) ? 0 : t;
}

std::string Unknown(const std::string& s) { return s.empty() ? std::string("?") : s; }
std::string Known(const std::string& s) { return s == "?" ? std::string() : s; }

std::string ParamText(CMyDataBaseParamInterface* item, std::uint32_t id) {
  CDataBaseParam p;
  if (item->GetParam(id, &p) != PBS_DONE) return {};
  return p.Text();
}

}  // namespace

CallIdField& CallIdField::operator=(int value) {
  const int old = value_;
  value_ = value;
  if (old != value && self_->owner) self_->owner->CallIdChanged(self_, old);
  return *this;
}

CCallInfo::CCallInfo() { Reset(); }

void CCallInfo::Reset() {
  owner = nullptr;
  direction = kNoDirection;
  calledCompany.clear();
  calledName.clear();
  calledNumber.clear();
  callingCompany.clear();
  callingName.clear();
  callingNumber.clear();
  text7.clear();
  text8.clear();
  generatorId = -1;
  clearCause = -1;
  chargeText1.clear();
  chargeText2.clear();
  beginTime = endTime = duration = 0;
  note.clear();
  units = callHandling = priority = spare1 = spare2 = 0;
  callbackCriterion = callbackType = 0;
  callbackTimeBegin = callbackTimeEnd = 0;
  callbackInterval = 300;
  callbackCount = 0;
  callbackMaximum = 3;
  spare3 = 0;
  callbackDate = 0;
  state = kIdle;
  connectedMark = 0;
  external = 0;
  callId = -1;
  callRefId = -1;
  busy = 0;
}

void CCallInfo::CopyFrom(const CCallInfo& o) {
  if (&o == this) return;
  std::string keep = description;
  owner = o.owner;
  direction = o.direction;
  calledCompany = o.calledCompany;
  calledName = o.calledName;
  calledNumber = o.calledNumber;
  callingCompany = o.callingCompany;
  callingName = o.callingName;
  callingNumber = o.callingNumber;
  text7 = o.text7;
  text8 = o.text8;
  generatorId = o.generatorId;
  clearCause = o.clearCause;
  chargeText1 = o.chargeText1;
  chargeText2 = o.chargeText2;
  beginTime = o.beginTime;
  endTime = o.endTime;
  duration = o.duration;
  note = o.note;
  units = o.units;
  callHandling = o.callHandling;
  priority = o.priority;
  spare1 = o.spare1;
  spare2 = o.spare2;
  callbackCriterion = o.callbackCriterion;
  callbackType = o.callbackType;
  callbackTimeBegin = o.callbackTimeBegin;
  callbackTimeEnd = o.callbackTimeEnd;
  callbackInterval = o.callbackInterval;
  callbackCount = o.callbackCount;
  callbackMaximum = o.callbackMaximum;
  spare3 = o.spare3;
  callbackDate = o.callbackDate;
  state = o.state;
  connectedMark = o.connectedMark;
  external = o.external;
  callId = o.callId;
  callRefId = o.callRefId;
  busy = o.busy.load();
  description = keep;
}

int CCallInfo::Release() {
  if (owner) owner->FreeCall(this);
  return 1;
}

void CCallInfo::SetPartyFromRecord(const CallParty* r) {
  if (!r) return;
  std::string salutation = calls_detail::TranslateTitle(r->title);
  std::string name = salutation.empty() ? r->name : salutation + " " + r->name;
  if (direction == kIncoming) {
    callingCompany = r->company;
    callingName = name;
    callingNumber = r->number;
  } else {
    direction = kOutgoing;
    calledCompany = r->company;
    calledName = name;
    calledNumber = r->number;
  }
  external = r->external;
  callHandling = r->callHandling;
}

int CCallInfo::SetPartyFromParams(CMyDataBaseParamInterface* item) {
  if (!item) return 0;
  std::string number = ParamText(item, PBP_NUMBER);
  std::string company = ParamText(item, PBP_COMPANY);
  std::string name = ParamText(item, PBP_TITLE_AND_NAME);
  if (direction == kIncoming) {
    callingCompany = company;
    callingName = name;
    callingNumber = number;
    callHandling = 0;
  } else {
    direction = kOutgoing;
    calledCompany = company;
    calledName = name;
    calledNumber = number;
  }
  return 1;
}

void CCallInfo::SetPartyFromShortDial(const CallParty& e) {
  direction = kOutgoing;
  calledCompany = e.company;
  if (e.title.empty()) calledName = e.name;
  else if (e.name.empty()) calledName = e.title;
  else calledName = e.title + " " + e.name;
  calledNumber = e.number;
  external = e.external;
}

std::string CCallInfo::GetStateText() const {
  int entry = (state >= 0 && state <= 5) ? state + 1 : 0;
  const char* t = plat::GetText(plat::TextId(42, 0));
  switch (entry) {
    case 1: t = plat::GetText(plat::TextId(42, 1)); break;
    case 2: t = plat::GetText(plat::TextId(42, 2)); break;
    case 3: t = plat::GetText(plat::TextId(42, 3)); break;
    case 4: t = plat::GetText(plat::TextId(42, 4)); break;
    case 5: t = plat::GetText(plat::TextId(42, 5)); break;
    case 6: t = plat::GetText(plat::TextId(42, 6)); break;
    default: break;
  }
  return t ? t : "";
}

std::string CCallInfo::CallerDisplay() const {
  if (!callingName.empty() || !callingCompany.empty()) return callingCompany + " - " + callingName;
  if (!callingNumber.empty()) return callingNumber;
  return "N.N.";
}

std::string CCallInfo::GetDescription(int layout) {
  const bool out = direction == kOutgoing;
  std::string s;
  switch (layout) {
    case 1:
    case 5: {
      const char* sep = layout == 1 ? "\t" : "\r\n";
      if (out) s = calledCompany + sep + calledName + sep + calledNumber;
      else s = callingCompany + sep + callingName + sep + callingNumber;
      description = s;
      break;
    }
    case 2:
      if (out) break;
      s = (endTime ? calls_detail::FormatTime(endTime, "%d. %m. %y, %H:%M:%S") : std::string()) + "\t" +
          calledNumber + "\t" + callingNumber + "\t" + callingCompany + "\t" + callingName;
      if (s == "\t\t\t\t") s.clear();
      break;
    case 3: {
      std::string date, tod;
      if (beginTime) {
        date = calls_detail::FormatTime(beginTime, "%d. %m. %y");
        tod = calls_detail::FormatTime(beginTime, "%H:%M:%S");
      }
      std::string cost = plat::StrFormatC("%5.2f %s", units * calls_detail::PricePerUnit(),
                                          calls_detail::Currency().c_str());
      s = Unknown(date) + "\t" + Unknown(tod) + "\t" + cost + "\t" + Unknown(chargeText1) + "\t" +
          Unknown(chargeText2) + "\t" + calledNumber + "\t" + callingNumber;
      break;
    }
    case 4:
      s = CallerDisplay();
      break;
    case 6:
      s = plat::StrFormatC("%ld", static_cast<long>(callRefId));
      break;
    case 7:
      s = out ? calledNumber : callingNumber;
      break;
    case 8:
      if (direction == kIncoming) {
        s = CallerDisplay() + " -> " + calledNumber;
        if (!calledName.empty()) s += ", " + calledName;
      } else if (out) {
        s = callingNumber + " " + callingName + " -> ";
        if (!calledCompany.empty() || !calledName.empty()) s += calledCompany + " , " + calledName;
        else s += calledNumber.empty() ? std::string("N.N.") : calledNumber;
      }
      break;
    default:
      break;
  }
  return s;
}

void CCallInfo::MarkExternalByLength() {
  std::size_t len = static_cast<std::size_t>(std::max(0, calls_detail::InternalNumberLength()));
  if (calledNumber.size() > len || callingNumber.size() > len) external = 1;
}

int CCallInfo::SetFromText(int layout, const std::string& text) {
  if (layout < 1 || layout > 6) return 0;
  direction = kOutgoing;
  std::vector<std::string> p = SplitTabs(text);
  switch (layout) {
    case 1:
      description = text;
      calledCompany = Part(p, 0);
      calledName = Part(p, 1);
      calledNumber = Part(p, 2);
      break;
    case 5: {
      description = text;
      std::vector<std::string> q;
      std::size_t start = 0;
      for (int i = 0; i < 2; ++i) {
        std::size_t e = text.find("\r\n", start);
        if (e == std::string::npos) break;
        q.push_back(text.substr(start, e - start));
        start = e + 2;
      }
      q.push_back(text.substr(start));
      while (q.size() < 3) q.insert(q.begin(), std::string());
      calledCompany = q[0];
      calledName = q[1];
      calledNumber = q[2];
      break;
    }
    case 2: {
      std::string when = Part(p, 0);
      std::size_t comma = when.find(", ");
      endTime = comma == std::string::npos ? 0 : ParseDateTime(when.substr(0, comma), when.substr(comma + 2));
      calledNumber = Part(p, 1);
      callingNumber = Part(p, 2);
      callingCompany = Part(p, 3);
      callingName = Part(p, 4);
      // A line of an incoming call: the own number goes to the calling
      // side, and each name stays with its number.
      std::string own = OwnNumber();
      if (!own.empty() && calledNumber == own) {
        std::swap(calledNumber, callingNumber);
        std::swap(calledCompany, callingCompany);
        std::swap(calledName, callingName);
      }
      break;
    }
    case 3: {
      description = text;
      beginTime = ParseDateTime(Known(Part(p, 0)), Known(Part(p, 1)));
      double price = calls_detail::PricePerUnit();
      double cost = plat::AtofC(Part(p, 2).c_str());
      units = price > 0 ? static_cast<int>(std::lround(cost / price)) : 0;
      chargeText1 = Known(Part(p, 3));
      chargeText2 = Known(Part(p, 4));
      calledNumber = Part(p, 5);
      callingNumber = Part(p, 6);
      break;
    }
    case 4: {
      description = text;
      std::size_t dash = text.find(" - ");
      if (dash != std::string::npos) {
        callingCompany = text.substr(0, dash);
        callingName = text.substr(dash + 3);
        callingNumber.clear();
      } else {
        callingCompany.clear();
        callingName.clear();
        callingNumber = text == "N.N." ? std::string() : text;
      }
      break;
    }
    case 6:
      if (p.size() == 1) {
        // The reference-id form that GetDescription(6) writes.
        callRefId = static_cast<int>(plat::AtolC(text.c_str()));
      } else {
        calledNumber = Part(p, 0);
        callingNumber = Part(p, 1);
        note = Part(p, 2);
        chargeText2 = Part(p, 3);
        chargeText1 = Part(p, 4);
        description = Part(p, 5);
      }
      break;
  }
  MarkExternalByLength();
  return 1;
}

std::string CCallInfo::GetPartnerNumber(const std::string& own) const {
  if (own.empty()) return direction == kOutgoing ? calledNumber : callingNumber;
  return calledNumber == own ? callingNumber : calledNumber;
}

int CCallInfo::Save(int mode, const std::string& file, const std::string& section) const {
  if (mode != 1) return 1;
  plat::ProfileBatch batch(file);
  SaveToBatch(mode, batch, section);
  return batch.Commit() ? 1 : 0;
}

int CCallInfo::SaveToBatch(int mode, plat::ProfileBatch& batch, const std::string& section) const {
  if (mode != 1) return 1;
  auto put = [&](const char* key, const std::string& v) { batch.Write(section.c_str(), key, v.c_str()); };
  put("CEDCMPY", calledCompany);
  put("CEDNAME", calledName);
  put("CEDNUM", calledNumber);
  put("CINCMPY", callingCompany);
  put("CINNAME", callingName);
  put("CINNUM", callingNumber);
  put("EXT", external ? "1" : "0");
  put("DIRECT", plat::StrFormatC("%i", direction));
  put("CECRI", plat::StrFormatC("%i", callbackCriterion));
  put("CC", plat::StrFormatC("%i", callbackCount));
  put("CMC", plat::StrFormatC("%i", callbackMaximum));
  put("CCTB", plat::StrFormatC("%ld", static_cast<long>(callbackTimeBegin)));
  put("CCTE", plat::StrFormatC("%ld", static_cast<long>(callbackTimeEnd)));
  put("CTIDA", plat::StrFormatC("%ld", static_cast<long>(callbackDate)));
  put("CTINTV", plat::StrFormatC("%ld", callbackInterval));
  put("CTSPT", plat::StrFormatC("%i", callbackType));
  put("CPRIO", plat::StrFormatC("%i", priority));
  return 1;
}

int CCallInfo::Load(int mode, const std::string& file, const std::string& section) {
  (void)mode;
  auto text = [&](const char* key, const char* def) {
    return plat::GetProfileText(section.c_str(), key, def, file, 128);
  };
  auto num = [&](const char* key, const char* def) { return plat::AtolC(text(key, def).c_str()); };
  calledName = text("CEDNAME", "");
  calledCompany = text("CEDCMPY", "");
  calledNumber = text("CEDNUM", "");
  callingNumber = text("CINNUM", "");
  callingName = text("CINNAME", "");
  callingCompany = text("CINCMPY", "");
  external = static_cast<int>(num("EXT", "0"));
  direction = static_cast<int>(num("DIRECT", "0"));
  callbackCriterion = static_cast<int>(num("CECRI", "0"));
  callbackCount = static_cast<int>(num("CC", "0"));
  callbackMaximum = static_cast<int>(num("CMC", "3"));
  callbackTimeBegin = static_cast<std::time_t>(num("CCTB", "0"));
  callbackTimeEnd = static_cast<std::time_t>(num("CCTE", "0"));
  callbackDate = static_cast<std::time_t>(num("CTIDA", "0"));
  callbackInterval = num("CTINTV", "0");
  priority = static_cast<int>(num("CPRIO", "0"));
  callbackType = static_cast<int>(num("CTSPT", "0"));
  if (callbackType == 5) {
    const std::time_t maxBegin = std::numeric_limits<std::time_t>::max() - 120;
    callbackTimeEnd = callbackTimeBegin > maxBegin ? std::numeric_limits<std::time_t>::max() : callbackTimeBegin + 120;
  }
  return 1;
}

void CCallInfo::SetOwnNumberSource(std::function<std::string()> source) {
  std::lock_guard<std::mutex> lock(g_ownMu);
  g_ownSource = std::move(source);
}

std::string CCallInfo::OwnNumber() {
  std::function<std::string()> src;
  {
    std::lock_guard<std::mutex> lock(g_ownMu);
    src = g_ownSource;
  }
  return src ? src() : std::string();
}
