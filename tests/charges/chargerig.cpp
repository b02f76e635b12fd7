#include "chargerig.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "charges/handler/chargewire.h"
#include "core/iface/pbxlink.h"

namespace {

void Feed(Scenario::Rig& r, const CSTAMessage& m) {
  r.link.OnLinkMessage(linkev::kIncoming, 0, &m);
  r.Settle();
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ChargeRig::ChargeRig(const std::filesystem::path& folder) : dir(folder) {
  std::filesystem::create_directories(dir);
  handler = std::make_unique<CChargeAndLogHandler>(&config);
}

ChargeRig::~ChargeRig() {
  handler.reset();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

void ChargeRig::Attach(Scenario::Rig& r) {
  handler->SetPartners(nullptr, &r.link, r.filter.MessageSink(), &r.table);
  r.filter.charge = handler.get();
  handler->AddListener(&listener);
}

bool ChargeRig::Handle(Scenario::Rig& r, const std::vector<std::string>& w, const Scenario::Fail& fail) {
  CChargeAndLogHandler& h = *handler;
  if (w.at(0) == "charge") {
    const std::string& what = w.at(1);
    if (what == "start") {
      const std::string& k = w.at(2);
      result = k == "all"     ? h.StartAllRecordsReadOut()
               : k == "new"   ? h.StartNewRecordsReadOut()
               : k == "sums"  ? h.StartSumsReadOut()
               : k == "count" ? h.RequestRecordCount()
                              : -99;
      if (result == -99) fail("unknown start " + k);
    } else if (what == "cancel") {
      result = w.at(2) == "sums" ? h.CancelSumsReadOut() : h.CancelRecordsReadOut();
    } else if (what == "delete") {
      result = w.at(2) == "all" ? h.DeleteAllPbxRecords() : h.DeleteDeviceUnits(w.at(2));
    } else if (what == "save") {
      result = h.SaveState();
    } else if (what == "close") {
      h.SaveState();
      h.CloseFiles();
    } else if (what == "record") {
      Feed(r, chargewire::RecordReply(std::stol(w.at(2)), std::stoll(w.at(3)), std::stol(w.at(4)), std::stol(w.at(5)),
                                      w.at(6), w.at(7)));
    } else if (what == "units") {
      Feed(r, chargewire::UnitsReply(w.at(2), std::stol(w.at(3)), w.size() > 4 ? w[4] : ""));
    } else if (what == "reply") {
      const int kind = std::stoi(w.at(2));
      const std::string text = w.size() > 3 ? w[3] : "";
      if (kind == 1 || kind == 17) Feed(r, chargewire::CountReply(static_cast<std::uint8_t>(kind), text));
      else Feed(r, chargewire::DeviceReply(static_cast<std::uint8_t>(kind), text));
    } else {
      return false;
    }
    r.Settle();
    return true;
  }
  if (w.at(0) != "expect" || w.at(1) != "charge") return false;
  const std::string& what = w.at(2);
  auto same = [&fail](const std::string& name, long long got, const std::string& want) {
    if (std::to_string(got) != want) fail("charge " + name + ": expected " + want + ", got " + std::to_string(got));
  };
  if (what == "records") {
    same("records", h.RecordCount(), w.at(3));
  } else if (what == "record") {
    const std::string bytes = ReadFileBytes(FilePath());
    const std::size_t at = ChargeFileHeader::kSize + std::stoul(w.at(3)) * ChargeRecord::kSize;
    if (bytes.size() < at + ChargeRecord::kSize) {
      fail("no record " + w[3]);
      return true;
    }
    const ChargeRecord c = ChargeRecord::Parse(reinterpret_cast<const std::uint8_t*>(bytes.data() + at));
    std::ostringstream got;
    got << c.start << " " << c.duration << " " << c.units << " " << c.Calling() << " " << c.Called();
    const std::string want = w.at(4) + " " + w.at(5) + " " + w.at(6) + " " + w.at(7) + " " + w.at(8);
    if (got.str() != want) fail("record " + w[3] + ": expected '" + want + "', got '" + got.str() + "'");
  } else if (what == "listener") {
    auto& n = listener.notices;
    if (w.size() > 3 && w[3] == "none") {
      if (listenerAt < n.size()) fail("unexpected listener code " + std::to_string(n[listenerAt].first));
      return true;
    }
    for (std::size_t i = 3; i < w.size(); ++i) {
      if (listenerAt >= n.size()) {
        fail("expected listener " + w[i] + ", none");
        return true;
      }
      const auto [code, number] = n[listenerAt++];
      const std::string got = w[i].find(':') == std::string::npos ? std::to_string(code)
                                                                   : std::to_string(code) + ":" + std::to_string(number);
      if (got != w[i]) fail("listener: expected " + w[i] + ", got " + got);
    }
  } else if (what == "job") {
    same("job", h.Job(), w.at(3));
  } else if (what == "index") {
    same("index", h.ReadOutIndex(), w.at(3));
  } else if (what == "available") {
    same("available", h.AvailableCount(), w.at(3));
  } else if (what == "result") {
    same("result", result, w.at(3));
  } else if (what == "devices") {
    same("devices", h.DeviceCount(), w.at(3));
  } else if (what == "sum") {
    same("sum " + w.at(3), h.Sum(std::stoi(w[3])), w.at(4));
  } else {
    return false;
  }
  return true;
}

ChargeScenario::ChargeScenario()
    : base_(std::filesystem::temp_directory_path() / ("brimlow-charges-" + std::to_string(::getpid()))) {
  scenario_.prepare = [this](Scenario::Rig& r) {
    charge_.reset();
    charge_ = std::make_unique<ChargeRig>(base_ / std::to_string(++runs_));
    if (before_) before_(*charge_);
    charge_->handler->OpenChargeFile(charge_->FilePath());
    charge_->Attach(r);
  };
  scenario_.extension = [this](Scenario::Rig& r, const std::vector<std::string>& w, const Scenario::Fail& fail) {
    return charge_ && charge_->Handle(r, w, fail);
  };
}

ChargeScenario::~ChargeScenario() {
  std::error_code ec;
  std::filesystem::remove_all(base_, ec);
}

std::string ChargeScenario::Run(const std::string& script, const std::function<void(ChargeRig&)>& before) {
  before_ = before;
  return scenario_.Run(script);
}
