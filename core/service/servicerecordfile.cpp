#include "core/service/servicerecordfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/base/globallog.h"
#include "platform/fileio.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {

using L = ServiceRecordLayout;

// A field that ends with a zero byte, read no further than its width.
std::string Field(const std::uint8_t* rec, std::size_t off, std::size_t width) {
  const char* p = reinterpret_cast<const char*>(rec + off);
  std::size_t n = 0;
  while (n < width && p[n] != '\0') ++n;
  return std::string(p, n);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

CServiceRecordFile::CServiceRecordFile() { Reset(); }

CServiceRecordFile::~CServiceRecordFile() { file_.Close(); }

void CServiceRecordFile::Reset() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  view_ = 0;
  monitors_ = nullptr;
  filter_ = nullptr;
  charges_ = nullptr;
  plat::CopyBounded(fileName_, sizeof fileName_, kDefaultName);
  recordSize_ = 856;
  startPending_ = false;
}

void CServiceRecordFile::SetFileName(const std::string& stored) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  plat::CopyBounded(fileName_, sizeof fileName_, stored.c_str());
}

std::string CServiceRecordFile::MappedName() const { return plat::MapPath(fileName_); }

int CServiceRecordFile::Link(plat::WindowId view, CMonitorTable* monitors, IBcdNumberSource* filter,
                             CChargeAndLogHandler* charges) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  view_ = view;
  monitors_ = monitors;
  filter_ = filter;
  charges_ = charges;
  return 1;
}

std::string CServiceRecordFile::FormatDuration(long seconds) {
  // Arithmetic: a duration is no time of day, no time zone enters it.
  if (seconds < 0) seconds = 0;
  return plat::StrFormatC("%02ld:%02ld:%02ld", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

std::string CServiceRecordFile::FormLine(const std::uint8_t* rec) const {
  std::string index = Field(rec, L::kIndex, L::kIndexSize);
  long t = plat::AtolC(Field(rec, L::kTime, L::kTimeSize).c_str());
  if (t < 0) t = 0;
  long dur = plat::AtolC(Field(rec, L::kDuration, L::kDurationSize).c_str());
  std::string units = Field(rec, L::kUnits, L::kUnitsSize);

  std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  char when[64] = "";
  if (localtime_r(&tt, &tm)) std::strftime(when, sizeof when, "%d.%m.%y\t%H:%M:%S", &tm);

  std::string first, second;
  if (filter_) {
    filter_->UnpackBcdNumbers(rec + L::kDigits, &first, &second);
    if (first.size() > kNumberChars) first.resize(kNumberChars);
    if (second.size() > kNumberChars) second.resize(kNumberChars);
  }
  return index + "\t" + when + "\t" + FormatDuration(dur) + "\t" + first + "\t" + second + "\t" + units;
}

int CServiceRecordFile::Failed(const std::string& path, int err) {
  LogFileFailure(path, err ? err : EIO);
  return 0;
}

int CServiceRecordFile::WriteRecord(const std::uint8_t* data, std::size_t size) {
  if (!data || size == 0) return 0;
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::uint8_t rec[L::kSize] = {};
  std::memcpy(rec, data, size < L::kSize ? size : L::kSize);
  const std::string path = MappedName();
  switch (rec[L::kKind]) {
    case kStartFile:
      // A new read-out starts empty, even one that brings no record; the
      // replacement is atomic, so a kill leaves the old file or an empty one.
      // When that fails, the next record replaces the file instead, so the
      // read-out never lands behind the old one.
      file_.Close();
      startPending_ = !plat::io::ReplaceFile(path, "");
      return startPending_ ? Failed(path, errno) : 1;
    case kAppendRecord: {
      const std::string line = FormLine(rec);
      // A file that went missing is made anew with this line, so the record
      // is not lost.
      if (startPending_ || !FileExists(path)) {
        if (!plat::io::ReplaceFile(path, line + file_.GetSeparator())) return Failed(path, errno);
        startPending_ = false;
        return 1;
      }
      if (!file_.OpenAppend(path.c_str())) return Failed(path, file_.LastError());
      bool ok = file_.WriteLineDurably(line.c_str()) == 1;
      int err = file_.LastError();
      if (!file_.CloseChecked() && ok) {
        ok = false;
        err = file_.LastError();
      }
      return ok ? 1 : Failed(path, err);
    }
    default:
      return 1;
  }
}

int CServiceRecordFile::OpenForReading(int how) {
  if (how != 0) return 0;
  std::lock_guard<std::recursive_mutex> lock(mu_);
  file_.Close();
  file_.SetFileName(MappedName().c_str());
  return file_.OpenRead();
}

std::string CServiceRecordFile::FirstLine() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::string line;
  file_.FirstToken(line);
  return line;
}

std::string CServiceRecordFile::NextLine() {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  std::string line;
  file_.NextToken(line);
  return line;
}

int CServiceRecordFile::CopyTo(const std::string& target) {
  if (target.empty()) return 0;
  std::lock_guard<std::recursive_mutex> lock(mu_);
  if (!OpenForReading(0)) return Failed(MappedName(), file_.LastError());
  std::string copy;
  const std::string separator = file_.GetSeparator();
  for (std::string line = FirstLine(); !line.empty(); line = NextLine()) copy += line + separator;
  file_.Close();
  // The target is the user's file: it is replaced only by a complete,
  // synced copy, never emptied first.
  const std::string path = plat::MapPath(target);
  if (!plat::io::ReplaceFile(path, copy)) return Failed(path, errno);
  return 1;
}

int CServiceRecordFile::OpenExisting(const std::string& name) {
  std::lock_guard<std::recursive_mutex> lock(mu_);
  const std::string path = plat::MapPath(name);
  file_.Close();
  if (file_.CreateIfMissing(path.c_str()) == 1) {
    file_.Close();
    return 0;
  }
  file_.SetFileName(path.c_str());
  return file_.OpenRead() ? 1 : 0;
}
