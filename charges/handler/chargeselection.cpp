// Selection, matching and report lines of the charge and log handler.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "charges/handler/chargeandloghandler.h"
#include "charges/handler/chargetime.h"
#include "core/base/globalconfig.h"
#include "platform/text.h"

namespace {

constexpr const char* kPlaceholderTexts[CChargeAndLogHandler::kPlaceholders] = {
    "%Date%",        "%StartTime%",   "%EndTime%",     "%Duration%",    "%Units%",          "%CallerNr%",
    "%CalledNr%",    "%Price%",       "%PriceUnit%",   "%PricePerUnit%", "%SumOfQuery%",    "%Cause%",
    "%CauseName%",   "%MinCharge%",   "%MaxCharge%",   "%MinDuration%", "%MaxDuration%",    "%MinUnits%",
    "%MaxUnits%",    "%CostCenter%",  "%AllSelDevices%", "%DurationFTime%"};

constexpr const char* kFilterNames[] = {"intern, abgehend",     "alle, ungefiltert", "extern, kommend",
                                        "intern, abgehend ex.", "Einzelne Nummer <%s>", "alle im Zeitraum"};

constexpr char kListSeparator = ';';
constexpr std::size_t kReadBufRecords = 512;

std::string T(plat::TextId id) { return plat::GetTextOr(id, ""); }

// The monitor table's key of a number (its leading digits without leading
// zeros) as a number; false when it has none or too many digits.
bool NumberKeyOf(std::string_view s, std::uint64_t* key) {
  std::size_t n = 0;
  while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
  if (n == 0) return false;
  std::size_t first = 0;
  while (first + 1 < n && s[first] == '0') ++first;
  if (n - first > 19) return false;
  std::uint64_t v = 0;
  for (std::size_t i = first; i < n; ++i) v = v * 10 + static_cast<std::uint64_t>(s[i] - '0');
  *key = v;
  return true;
}

std::string Bounded(const char* s, std::size_t size) {
  std::string out = s ? s : "";
  if (out.size() > size - 1) out.resize(size - 1);
  return out;
}

// An amount as typed: digits, then "," or "." and at most two decimals
// (further ones dropped). -1 when it is not an amount.
long long ParseCents(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+') ++p;
  long long whole = 0;
  bool any = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    any = true;
    if (whole < 100000000000LL) whole = whole * 10 + (*p - '0');
  }
  long long frac = 0;
  if (*p == ',' || *p == '.') {
    ++p;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
      any = true;
      if (digits < 2) frac = frac * 10 + (*p - '0');
    }
    if (digits == 1) frac *= 10;
  }
  return any ? whole * 100 + frac : -1;
}

}  // namespace

const char* CChargeAndLogHandler::Placeholder(int i) { return i >= 0 && i < kPlaceholders ? kPlaceholderTexts[i] : ""; }

std::string CChargeAndLogHandler::GetFieldName(int i) { return i >= 0 && i < kPlaceholders ? kPlaceholderTexts[i] : ""; }

// ---------------------------------------------------------------- indices

void CChargeAndLogHandler::RefreshIndexCache() {
  if (!monitors_) {
    cachedNumbers_.clear();
    indexByKey_.clear();
    return;
  }
  bool same = cachedNumbers_.size() == static_cast<std::size_t>(kExtensions);
  for (int i = 0; same && i < kExtensions; ++i) {
    const CMonitorEntry* e = monitors_->EntryAt(i);
    same = (e ? e->number : std::string()) == cachedNumbers_[static_cast<std::size_t>(i)];
  }
  if (same) return;
  cachedNumbers_.assign(kExtensions, std::string());
  indexByKey_.clear();
  for (int i = 0; i < kExtensions; ++i) {
    const CMonitorEntry* e = monitors_->EntryAt(i);
    if (!e) continue;
    cachedNumbers_[static_cast<std::size_t>(i)] = e->number;
    std::uint64_t key = 0;
    if (NumberKeyOf(e->number, &key)) indexByKey_.emplace_back(key, i);
  }
  // The first entry of a number wins, as the table's own lookup does.
  std::stable_sort(indexByKey_.begin(), indexByKey_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  indexByKey_.erase(std::unique(indexByKey_.begin(), indexByKey_.end(),
                                [](const auto& a, const auto& b) { return a.first == b.first; }),
                    indexByKey_.end());
}

int CChargeAndLogHandler::IndexOf(std::string_view number) {
  if (!inScan_) RefreshIndexCache();
  std::uint64_t key = 0;
  if (!NumberKeyOf(number, &key)) return -1;
  auto it = std::lower_bound(indexByKey_.begin(), indexByKey_.end(), key,
                             [](const auto& a, std::uint64_t k) { return a.first < k; });
  return it != indexByKey_.end() && it->first == key ? it->second : -1;
}

std::string CChargeAndLogHandler::DeviceTextOf(int index) {
  if (!monitors_) return {};
  const CMonitorEntry* e = monitors_->EntryAt(index);
  return e ? e->number : std::string();
}

// ---------------------------------------------------------------- selection

int CChargeAndLogHandler::SelectExtension(const std::string& number, int value) {
  ChargeSelection& s = header_.selection;
  if (number == "*" || number == "-") {
    for (int i = 0; i < kExtensions; ++i) s.SetFlag(i, number == "*" ? 1 : 0);
    return number == "*" ? 2 : 3;
  }
  const int i = IndexOf(number);
  if (i < 0) return 0;
  s.SetFlag(i, value);
  return s.Flag(i);
}

int CChargeAndLogHandler::SetExtensionFlags(int n, const std::int32_t* values) {
  if (!values) return 0;
  for (int i = 0; i < std::min(n, kExtensions); ++i) header_.selection.SetFlag(i, values[i]);
  return 1;
}

int CChargeAndLogHandler::GetExtensionFlags(int n, std::int32_t* out) const {
  if (!out) return 0;
  for (int i = 0; i < std::min(n, kExtensions); ++i) out[i] = header_.selection.Flag(i);
  return 1;
}

int CChargeAndLogHandler::IsExtensionSelected(const std::string& number) {
  const int i = IndexOf(number);
  return i < 0 ? 0 : header_.selection.Flag(i);
}

int CChargeAndLogHandler::SetTimeRange(std::uint32_t from, std::uint32_t to) {
  if (to != 0) header_.selection.to = to;
  header_.selection.from = from;
  return to == 0 ? 1 : 0;
}

int CChargeAndLogHandler::GetTimeRange(std::uint32_t* from, std::uint32_t* to) const {
  const ChargeSelection& s = header_.selection;
  if (from) *from = s.from;
  if (to) *to = s.to != 0 ? s.to : readTime_;
  return s.from != 0 || s.to != 0 ? 1 : 0;
}

std::int64_t CChargeAndLogHandler::PriceCents() const {
  const double p = static_cast<double>(Config().PPCU);
  if (!std::isfinite(p) || p <= 0 || p > 1e9) return 0;
  return static_cast<std::int64_t>(std::llround(p * 100.0));
}

std::string CChargeAndLogHandler::Money(std::int64_t cents, const char* format) const {
  return plat::StrFormatC(format, static_cast<double>(cents) / 100.0);
}

int CChargeAndLogHandler::SetMinUnits(int kind, const char* text) {
  if (!text) return 0;
  if (kind == 0) {
    header_.selection.minUnits = static_cast<std::uint16_t>(std::clamp(plat::AtolC(text), 0L, 65535L));
    return 1;
  }
  if (kind != 1) return 0;
  const std::int64_t price = PriceCents();
  const long long cents = ParseCents(text);
  if (price <= 0 || cents < 0) return 0;
  header_.selection.minUnits = static_cast<std::uint16_t>(std::min<long long>(cents / price, 65535));
  return 1;
}

std::string CChargeAndLogHandler::GetMinUnitsText(int kind) const {
  const std::uint16_t u = header_.selection.minUnits;
  if (kind == 0) return plat::StrFormatC("%i", static_cast<int>(u));
  if (kind == 1) return Money(static_cast<std::int64_t>(u) * PriceCents(), "%.2f");
  return {};
}

int CChargeAndLogHandler::SetShowNumbers(int value) {
  header_.selection.showNumbers = static_cast<std::uint16_t>(value);
  return 1;
}

int CChargeAndLogHandler::SetParameter(int id, const void* value) {
  if (id < 0 || id > 15) return 0;
  const auto* i32 = static_cast<const std::int32_t*>(value);
  switch (id) {
    case 0:
      if (!value) return 0;
      std::copy(i32, i32 + columns_.size(), columns_.begin());
      return 1;
    case 1:
      if (!value) return 0;
      pattern_ = Bounded(static_cast<const char*>(value), kPatternSize);
      return 1;
    case 2:
    case 4:
      if (!value) return 0;
      (id == 2 ? param2_ : param4_) = *i32;
      return 1;
    default: break;
  }
  if (!value) return 0;
  const std::int32_t v = *i32;
  switch (id) {
    case 6: header_.selection.minDuration = static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); break;
    case 7: switches_[kSwCalled] = v; break;
    case 8: switches_[kSwCalling] = v; break;
    case 9: switches_[kSwTimeRange] = v; break;
    case 10: header_.selection.minUnits = static_cast<std::uint16_t>(std::clamp(v, 0, 65535)); break;
    case 11: switches_[kSwExtensions] = v; break;
    case 12: switches_[kSwMinDuration] = v; break;
    case 13: switches_[kSwMinUnits] = v; break;
    case 14: copyMatches_ = v; break;
    case 15:
      if (v >= 0 && v <= 5) filterMode_ = v;
      break;
    default: break;
  }
  return 0;
}

const void* CChargeAndLogHandler::GetParameter(int id, const char* argument) {
  switch (id) {
    case 1: return pattern_.c_str();
    case 6: paramValue_ = header_.selection.minDuration; return &paramValue_;
    case 7: return &switches_[kSwCalled];
    case 8: return &switches_[kSwCalling];
    case 9: return &switches_[kSwTimeRange];
    case 10: paramValue_ = header_.selection.minUnits; return &paramValue_;
    case 11: return &switches_[kSwExtensions];
    case 12: return &switches_[kSwMinDuration];
    case 13: return &switches_[kSwMinUnits];
    case 14: return &copyMatches_;
    case 16:
      if (!monitors_ || !argument) return nullptr;
      paramText_ = monitors_->NameOf(argument, 1);
      return paramText_.c_str();
    default: return nullptr;
  }
}

// ---------------------------------------------------------------- matching

bool CChargeAndLogHandler::InRange(std::uint32_t start) const {
  const ChargeSelection& s = header_.selection;
  return start >= s.from && (s.to == 0 || start <= s.to);
}

bool CChargeAndLogHandler::PatternFits(std::string_view number) const {
  const std::string_view p = pattern_;
  const std::size_t star = p.find('*');
  if (star == 0) {
    std::string_view rest = p.substr(1);
    rest = rest.substr(0, rest.find('*'));
    return number.find(rest) != std::string_view::npos;
  }
  return number.substr(0, star == std::string_view::npos ? p.size() : star) ==
         p.substr(0, star == std::string_view::npos ? p.size() : star);
}

int CChargeAndLogHandler::MatchesSelection(const ChargeRecord& r, int mode) {
  if (r.start == 0) return 0;
  const ChargeSelection& s = header_.selection;
  auto flagged = [&s](int i) { return i >= 0 && i < kExtensions && s.Flag(i) != 0; };
  auto on = [this](int sw) { return switches_[static_cast<std::size_t>(sw)] != 0; };
  auto limits = [&]() {
    if (on(kSwMinDuration) && r.duration < s.minDuration) return false;
    if (on(kSwMinUnits) && r.units < s.minUnits) return false;
    if (on(kSwTimeRange) && !InRange(r.start)) return false;
    return true;
  };
  switch (mode) {
    case kModeAll: return 1;
    case kModeInternal:
    case kModeInternalEx: {
      const int i = IndexOf(r.Calling());
      return flagged(i) && r.duration >= s.minDuration && InRange(r.start) && r.units >= s.minUnits ? 1 : 0;
    }
    case kModeExternal: {
      if (on(kSwExtensions) && !flagged(IndexOf(r.Called()))) return 0;
      if (!limits()) return 0;
      const std::string_view calling = r.Calling();
      return (!calling.empty() && calling[0] == '0') || calling.size() >= 4 ? 1 : 0;
    }
    case kModeNumber: {
      if ((on(kSwCalling) && r.Calling() == pattern_) || (on(kSwCalled) && r.Called() == pattern_)) return 1;
      if (!((on(kSwCalling) && PatternFits(r.Calling())) || (on(kSwCalled) && PatternFits(r.Called())))) return 0;
      if (on(kSwExtensions)) {
        int i = IndexOf(r.Called());
        if (i < 0) i = IndexOf(r.Calling());
        if (!flagged(i)) return 0;
      }
      return limits() ? 1 : 0;
    }
    case kModePeriod: {
      if (!InRange(r.start)) return 0;
      if (on(kSwMinDuration) && r.duration < s.minDuration) return 0;
      if (on(kSwMinUnits) && r.units < s.minUnits) return 0;
      if (!on(kSwExtensions)) return 1;
      return (on(kSwCalled) && flagged(IndexOf(r.Called()))) || (on(kSwCalling) && flagged(IndexOf(r.Calling()))) ? 1
                                                                                                                : 0;
    }
    default: return 0;
  }
}

// ---------------------------------------------------------------- reading

void CChargeAndLogHandler::DropReadBuffer() {
  readBufFirst_ = 0;
  readBufCount_ = 0;
}

bool CChargeAndLogHandler::ReadRecordAt(std::uint32_t n, ChargeRecord* out) {
  if (!chargeOpen_) return false;
  if (n < readBufFirst_ || n >= readBufFirst_ + readBufCount_) {
    // Reports walk the whole file: read it in blocks, not record by record.
    readBuf_.resize(kReadBufRecords * ChargeRecord::kSize);
    const long long got =
        chargeFile_.ReadBlock(ChargeFileHeader::kSize + static_cast<std::uint64_t>(n) * ChargeRecord::kSize,
                              readBuf_.data(), readBuf_.size());
    readBufFirst_ = n;
    readBufCount_ = got > 0 ? static_cast<std::uint64_t>(got) / ChargeRecord::kSize : 0;
    if (readBufCount_ == 0) return false;
  }
  *out = ChargeRecord::Parse(readBuf_.data() + (n - readBufFirst_) * ChargeRecord::kSize);
  return true;
}

int CChargeAndLogHandler::ReadNextMatching(int first, int mode) {
  read_.Clear();
  if (!chargeOpen_) return 0;
  if (first) {
    reportNext_ = 0;
    DropReadBuffer();
    RefreshIndexCache();
    if (selOpen_) {
      std::uint8_t h[ChargeFileHeader::kSize];
      header_.Serialize(h);
      if (!selFile_.TruncateTo(0) || selFile_.WriteHeader(h) != 0) Log(selName_ + ": " + std::strerror(errno));
    }
  }
  inScan_ = true;
  ChargeRecord r;
  int found = 0;
  while (ReadRecordAt(reportNext_, &r)) {
    header_.readOffset = static_cast<std::uint32_t>(ChargeFileHeader::kSize + static_cast<std::uint64_t>(reportNext_) * ChargeRecord::kSize);
    ++reportNext_;
    if (!MatchesSelection(r, mode)) continue;
    read_ = r;
    found = 1;
    break;
  }
  inScan_ = false;
  if (found && copyMatches_ && selOpen_) {
    std::uint8_t b[ChargeRecord::kSize];
    read_.Serialize(b);
    if (selFile_.Append(b) == 0) Log(selName_ + ": " + std::strerror(errno));
  }
  return found;
}

// ---------------------------------------------------------------- lines

std::string CChargeAndLogHandler::GetFirstReportLine(int kind, int mode, const char* pattern, int patternFlag) {
  if (Config().CPROCON == 0) return {};
  switch (kind) {
    case 0:
    case 3:
      header_.sumIndex = 0;
      return GetNextReportLine(kind, mode);
    case 1:
      querySum_ = 0;
      if (pattern) {
        pattern_ = Bounded(pattern, kPatternSize);
        patternFlag_ = patternFlag;
      }
      break;
    case 4: querySum_ = 0; break;
    default: return {};
  }
  if (!ReadNextMatching(1, mode)) return {};
  querySum_ += read_.units;
  return FormatReportLine(1, kind == 4 ? 1 : 0);
}

std::string CChargeAndLogHandler::GetNextReportLine(int kind, int mode) {
  if (Config().CPROCON == 0) return {};
  switch (kind) {
    case 0:
    case 3: {
      if (header_.sumIndex >= static_cast<std::uint32_t>(deviceCount_)) return {};
      std::string line = FormatReportLine(kind, 0);
      ++header_.sumIndex;
      return line;
    }
    case 1:
    case 4:
      if (!ReadNextMatching(0, mode)) return {};
      querySum_ += read_.units;
      return FormatReportLine(1, kind == 4 ? 1 : 0);
    default: return {};
  }
}

const std::string& CChargeAndLogHandler::FormatReportLine(int kind, int style) {
  const std::int64_t price = PriceCents();
  const std::string& currency = Config().CAUN;
  const int si = static_cast<int>(std::min<std::uint32_t>(header_.sumIndex, kMaxDevices - 1));
  switch (kind) {
    case 0:
    case 3: {
      const std::int32_t units = sums_[static_cast<std::size_t>(si)];
      line_ = plat::StrFormatC("%s\t%6i\t%8.2f", names_[static_cast<std::size_t>(si)].c_str(), units,
                               static_cast<double>(units * price) / 100.0);
      if (kind == 3) {
        line_ += '\t';
        if (monitors_) line_ += monitors_->NameOf(plat::StrFormatC("%i", si + 10), 1);
      }
      break;
    }
    case 1: {
      const ChargeRecord& r = read_;
      const std::string called = header_.selection.showNumbers == 0 ? "*" : std::string(r.Called());
      const std::string calling(r.Calling());
      const std::string date = FormatChargeTime(r.start, "%d.%m.%y");
      const std::string time = FormatChargeTime(r.start, "%H:%M:%S");
      const double money = static_cast<double>(r.units * price) / 100.0;
      if (style == 2) {
        line_ = plat::StrFormatC("%s\t%s\t%d\t%s\t%s\t%d", date.c_str(), time.c_str(), r.duration, calling.c_str(),
                                 called.c_str(), r.units);
      } else {
        line_ = plat::StrFormatC(style == 1 ? "\t%s\t%s\t%s\t%s\t%s\t%5.2f %s" : "%s\t%s\t%s\t%s\t%s\t%5.2f %s",
                                 date.c_str(), time.c_str(), FormatChargeDuration(r.duration).c_str(), calling.c_str(),
                                 called.c_str(), money, currency.c_str());
      }
      break;
    }
    case 4: break;
    default: line_.clear(); break;
  }
  if (line_.size() > kLineSize - 1) line_.resize(kLineSize - 1);
  return line_;
}

const std::string& CChargeAndLogHandler::FormatTemplateLine(const char*) {
  const ChargeRecord& r = read_;
  const std::string called = header_.selection.showNumbers == 0 ? "*" : std::string(r.Called());
  line_ = plat::StrFormatC("\t%s\t%s\t%s\t%s\t%s\t%d", FormatChargeTime(r.start, "%d.%m.%y").c_str(),
                           FormatChargeTime(r.start, "%H:%M:%S").c_str(), FormatChargeDuration(r.duration).c_str(),
                           std::string(r.Calling()).c_str(), called.c_str(), r.units);
  if (line_.size() > kLineSize - 1) line_.resize(kLineSize - 1);
  return line_;
}

int CChargeAndLogHandler::FillPartyNumbers(const ChargeRecord& record, const char* templ, char* out, std::size_t size) {
  if (!out || size == 0) return 0;
  std::string s = Bounded(templ, size);
  auto replace = [&s](const char* token, std::string_view with) {
    const std::size_t at = s.find(token);
    if (at != std::string::npos) s.replace(at, std::strlen(token), with);
  };
  replace("%CallingPartyNr%", record.Calling());
  replace("%CalledPartyNr%", record.Called());
  plat::CopyBounded(out, size, s.c_str());
  return 1;
}

// ---------------------------------------------------------------- summaries

std::string CChargeAndLogHandler::GetSummaryText(int kind, int style) {
  const std::int64_t price = PriceCents();
  const std::string& currency = Config().CAUN;
  switch (kind) {
    case 1:
      if (style < 0 || style > 3) return {};
      return T(plat::TextId(48, 20 - style));
    case 2: {
      if (style != 1 && style != 2) return {};
      const ChargeSelection& s = header_.selection;
      std::string text;
      for (int i = 0; i < kExtensions;) {
        if (!s.Flag(i)) {
          ++i;
          continue;
        }
        int j = i;
        while (j + 1 < kExtensions && s.Flag(j + 1)) ++j;
        const std::string a = DeviceTextOf(i), b = DeviceTextOf(j);
        const std::string lead = text.empty() ? std::string() : text + kListSeparator + " ";
        if (j == i) text = lead + a;
        else if (j == i + 1) text = lead + a + ", " + b;
        else text = lead + a + "-" + b;
        i = j + 1;
      }
      if (style == 2) return plat::StrFormatC("%s %s", T(plat::TextId(48, 16)).c_str(), text.c_str());
      return text;
    }
    case 3: {
      if (style != 1 && style != 2) return {};
      const ChargeSelection& s = header_.selection;
      std::uint32_t from = s.from, to = s.to != 0 ? s.to : readTime_;
      if (s.from == 0 && s.to == 0) {
        ChargeRecord first;
        from = ReadRecordAt(0, &first) ? first.start : 0;
      }
      const std::string a = FormatChargeTime(from, "%d.%m.%y, %H:%M h");
      const std::string b = FormatChargeTime(to, "%d.%m.%y, %H:%M h");
      if (style == 1) return plat::StrFormatC("%s - %s", a.c_str(), b.c_str());
      return plat::StrFormatC("%s %s - %s", T(plat::TextId(48, 15)).c_str(), a.c_str(), b.c_str());
    }
    case 6: {
      std::int64_t units = querySum_;
      if (style == 3) {
        units = 0;
        for (int i = 0; i < deviceCount_; ++i) units += sums_[static_cast<std::size_t>(i)];
      }
      const std::string money = Money(units * price, "%6.2f");
      if (style == 0 || style == 1) return plat::StrFormatC("%s %s", money.c_str(), currency.c_str());
      if (style == 2 || style == 3)
        return plat::StrFormatC("%s %s %s", T(plat::TextId(48, 14)).c_str(), money.c_str(), currency.c_str());
      return {};
    }
    case 7: {
      if (style != 2) return {};
      const std::string name = filterMode_ == kModeNumber ? plat::StrFormatC(kFilterNames[4], pattern_.c_str())
                                                           : kFilterNames[filterMode_];
      return plat::StrFormatC("%s: %s", T(plat::TextId(48, 41)).c_str(), name.c_str());
    }
    default: return {};
  }
}
