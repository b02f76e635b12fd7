#include "charges/calldata/selectedcallinfolist.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "core/base/globalconfig.h"
#include "core/base/globallog.h"
#include "core/callhandler/callhandler.h"
#include "core/calls/callinfo.h"
#include "core/iface/viewhub.h"
#include "core/iface/databaseinterface.h"
#include "platform/fileio.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/textid.h"

namespace {

void Blank(std::string& s) {
  for (char& c : s)
    if (c == '\t' || c == '\r' || c == '\n' || c == '\0') c = ' ';
}

std::string Text(plat::TextId id) {
  const char* t = plat::GetText(id);
  return t ? t : "";
}

void Log(const std::string& what, const std::string& path, int err) {
  GlobalLog().WriteEntry(plat::StrFormatC("Gespr\xe4" "chsdaten: %s %s (%s)", what.c_str(), path.c_str(),
                                          std::strerror(err)).c_str());
}

// Who holds the phone book while the list searches it: the call handler's
// workers search it too.
std::unique_lock<std::mutex> HoldPhoneBook(CCallHandler* handler) {
  return handler ? handler->LockPhoneBook() : std::unique_lock<std::mutex>();
}

}  // namespace

CSelectedCallInformationList::CSelectedCallInformationList(std::string path) : path_(std::move(path)) {
  if (path_.empty()) return;
  // Kept when it is there; a new one is created empty and closed again.
  if (const int err = MakeFile()) ReportUnwritableFile(path_, err);
}

// On a fresh machine the folders above the file (a mapped drive root) are
// not there either.
int CSelectedCallInformationList::MakeFile() {
  if (!plat::MakeParentFolders(path_)) return errno ? errno : EIO;
  if (file_.CreateIfMissing(path_.c_str()) == 0) return file_.LastError();  // 0: it was there
  return file_.CloseChecked() ? 0 : file_.LastError();
}

CSelectedCallInformationList::~CSelectedCallInformationList() {
  reader_.Close();
  file_.CloseChecked();
}

// ---------------------------------------------------------------- writing

std::string CSelectedCallInformationList::FormLine(const CCallInfo& call) {
  CCallInfo copy;
  copy.CopyFrom(call);
  copy.owner = nullptr;
  for (std::string* s : {&copy.calledCompany, &copy.calledName, &copy.calledNumber, &copy.callingCompany,
                         &copy.callingName, &copy.callingNumber, &copy.chargeText1, &copy.chargeText2, &copy.note})
    Blank(*s);
  std::string line = copy.GetDescription(3);
  // The currency comes from the settings: no line break of it either.
  for (char& c : line)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return line;
}

int CSelectedCallInformationList::AddCall(CCallInfo* call) {
  if (!call || call->connectedMark != 1 || path_.empty()) return 0;
  const std::string line = FormLine(*call);
  if (!file_.OpenAppend(path_.c_str())) {
    int err = file_.LastError();
    // A file (or its folder) removed while the program runs is made again.
    if (err == ENOENT && (err = MakeFile()) == 0 && !file_.OpenAppend(path_.c_str())) err = file_.LastError();
    if (err != 0) {
      ReportUnwritableFile(path_, err);
      return 0;
    }
  }
  const bool written = file_.WriteLineDurably(line.c_str()) == 1;
  const int writeError = file_.LastError();
  const bool closed = file_.CloseChecked();
  if (!written || !closed) {
    ReportUnwritableFile(path_, written ? file_.LastError() : writeError);
    return 0;
  }
  return 1;
}

int CSelectedCallInformationList::EmptyList() {
  reader_.Close();
  current_.clear();
  lookAhead_.clear();
  if (path_.empty()) return 1;
  // One replacement: a kill or a full disk leaves the old lines or none.
  if (!plat::io::ReplaceFile(path_, std::string())) {
    Log("nicht geleert:", path_, errno);
    return 1;
  }
  return 0;
}

// ---------------------------------------------------------------- reading

bool CSelectedCallInformationList::ReadAhead(std::string* line) {
  while (reader_.Next(line))
    if (!line->empty()) return true;
  line->clear();
  return false;
}

bool CSelectedCallInformationList::FirstLine() {
  current_.clear();
  lookAhead_.clear();
  if (path_.empty() || !reader_.Open(path_)) return false;
  return ReadAhead(&lookAhead_);
}

const char* CSelectedCallInformationList::NextLineText() {
  current_.swap(lookAhead_);
  ReadAhead(&lookAhead_);
  return current_.empty() ? nullptr : current_.c_str();
}

bool CSelectedCallInformationList::NextLine(std::string* line) {
  const bool more = NextLineText() != nullptr;
  if (line) *line = current_;
  return more;
}

const char* CSelectedCallInformationList::ReadLine(bool clear, int mode) {
  if (clear) {
    lineBuffer_[0] = '\0';
    return lineBuffer_;
  }
  if (mode == 0 && (path_.empty() || !reader_.Open(path_))) {
    lineBuffer_[0] = '\0';
    return lineBuffer_;
  }
  std::string line;
  if (mode != 0 && mode != 1) return lineBuffer_;
  if (!reader_.Next(&line)) line.clear();
  plat::CopyBounded(lineBuffer_, sizeof lineBuffer_, line.c_str());
  return lineBuffer_;
}

// ---------------------------------------------------------------- report

std::string CSelectedCallInformationList::OwnNumber() const {
  return callHandler ? callHandler->GetOwnNumber() : std::string();
}

std::string CSelectedCallInformationList::GetReportText(int code) {
  switch (code) {
    case 0:
      return Text(plat::TextId(58, 1));
    case 1: {
      std::string s = Text(plat::TextId(58, 2));
      s += '\t';
      s += Text(plat::TextId(58, 3));
      s += '\t';
      s += Text(plat::TextId(58, 4));
      s += '\t';
      s += Text(plat::TextId(58, 5));
      s += '\t';
      s += Text(plat::TextId(58, 6));
      s += '\t';
      s += Text(plat::TextId(58, 7));
      return s;
    }
    case 2:
      // One column a heading; the printed list puts each line's parts
      // under them. "bis" shows the first charge text, mostly "?".
      return "r{31. 12. 99},r{23:59:00},l{?},r{999.99 XX},l{0099000011112222},l{0099000011112222}";
    case 3:
      return plat::StrFormatC("%s:\t%s", Text(plat::TextId(58, 2)).c_str(), GlobalConfig().GetReportString(257, 1));
    case 4:
      return plat::StrFormatC("%s:\t%s", Text(plat::TextId(58, 8)).c_str(), OwnNumber().c_str());
    default:
      return std::string();
  }
}

// ---------------------------------------------------------------- actions

bool CSelectedCallInformationList::FillFromLine(CCallInfo& call, const std::string& line) {
  if (line.empty() || !call.SetFromText(3, line)) return false;
  return !call.calledNumber.empty() || !call.callingNumber.empty();
}

int CSelectedCallInformationList::Act(int code, const std::string& line) {
  switch (code) {
    case kCallBack: CallBack(line); break;
    case kShow: Show(line); break;
    case kToCallbackList: ToCallbackList(line); break;
    case kToPhoneBook: ToPhoneBook(line); break;
    default: break;
  }
  return 0;
}

void CSelectedCallInformationList::CallBack(const std::string& line) {
  if (!callHandler) return;
  CCallInfo* call = callHandler->GetFreeCall(kRequester);
  if (!call) return;
  if (FillFromLine(*call, line) && callHandler->WaitForHandset(kRequester) &&
      callHandler->MakeCall(call, kRequester) == 1)
    return;  // the call handler's current call now
  // A refused request the handler keeps as its last dialled, for redial.
  if (callHandler->LastDialled() != call) call->Release();
}

void CSelectedCallInformationList::Show(const std::string& line) {
  if (!callHandler) return;
  CCallInfo* call = callHandler->GetFreeCall(kRequester);
  if (!call) return;
  if (FillFromLine(*call, line)) {
    const std::string own = OwnNumber();
    // The line is read as an outgoing call; a call to the own extension
    // has its partner on the calling side.
    if (!own.empty() && call->calledNumber == own && call->callingNumber != own)
      call->direction = CCallInfo::kIncoming;
    const std::string partner = call->GetPartnerNumber(own);
    if (phoneBook && !partner.empty()) {
      std::unique_lock<std::mutex> lock = HoldPhoneBook(callHandler);
      CDataBaseParam number;
      number.SetText(partner);
      CMyDataBaseParamInterface* hit = nullptr;
      if (phoneBook->FindRecord(PBP_NUMBER, number, "", 0) == PBS_FOUND &&
          phoneBook->FirstSearchHit(&hit) == PBS_DONE && hit)
        call->SetPartyFromParams(hit);
    }
    if (showCall) showCall(*call);
  }
  call->Release();
}

void CSelectedCallInformationList::ToCallbackList(const std::string& line) {
  if (!callbackList) return;
  CCallInfo* entry = callbackList->NewCallFor(kRequester);
  if (!entry) return;
  if (FillFromLine(*entry, line) && callbackList->AddCall(entry) == 1) return;
  entry->Release();
}

void CSelectedCallInformationList::ToPhoneBook(const std::string& line) {
  if (!callHandler || !phoneBook) return;
  CCallInfo call;
  if (!FillFromLine(call, line)) return;
  const std::string own = OwnNumber();
  std::string number, company, name;
  if (!own.empty() && call.callingNumber == own) {
    number = call.calledNumber;
    company = call.calledCompany;
    name = call.calledName;
  } else if (!own.empty() && call.calledNumber == own) {
    number = call.callingNumber;
    company = call.callingCompany;
    name = call.callingName;
  }
  // A record without a number helps no one.
  if (number.empty()) return;
  std::unique_lock<std::mutex> lock = HoldPhoneBook(callHandler);
  CDataBaseParam key;
  key.SetText(number);
  if (phoneBook->FindRecord(PBP_NUMBER, key, "", 0) == PBS_FOUND) {
    if (lock.owns_lock()) lock.unlock();
    plat::MessageBox(view, Text(plat::TextId(58, 0)), "", plat::MB_OK | plat::MB_ICONINFORMATION);
    return;
  }
  CMyDataBaseParamInterface* rec = nullptr;
  if (phoneBook->NewRecord(&rec) != PBS_DONE || !rec) return;
  CDataBaseIdList ids;
  ids.Allocate(1);
  ids.SetAt(0, 0);
  CDataBaseParam v;
  v.SetText(number);
  rec->SetParam(PBP_NUMBER, v, &ids);
  v.SetText(company);
  rec->SetParam(PBP_SET_COMPANY, v, &ids);
  v.SetText(name);
  rec->SetParam(PBP_SET_NAME, v, &ids);
  const bool stored = phoneBook->UpdateRecord(&rec) == PBS_DONE;
  // The new record becomes the search's first hit, which the database
  // dialog shows.
  if (stored) phoneBook->FindRecord(PBP_NUMBER, key, "", 0);
  if (lock.owns_lock()) lock.unlock();
  if (stored && view) plat::SendMessage(view, hub::kOpenDatabase, 0, 0);
}
