#include "scenario.h"

#include <map>
#include <sstream>
#include <vector>

#include "core/base/globalconfig.h"
#include "core/iface/viewhub.h"
#include "scenario_rig.h"
#include "platform/eventloop.h"
#include "platform/msgbox.h"
#include "platform/text.h"
#include "platform/textid.h"
#include "tests/phonebook/fake/fake_phonebook.h"

namespace {

// Every text id reads as "T<group>.<entry>", so checks can name the text.
const char* TestText(int group, int entry) {
  static thread_local char buf[32];
  plat::FormatC(buf, sizeof buf, "T%i.%i", group, entry);
  return buf;
}

struct Field {
  char kind;  // b u8, w u16, d u32, t text
  std::size_t at;
  std::size_t width;
};

const std::map<std::string, Field>& Fields() {
  static const std::map<std::string, Field> f = {
      {"invoke", {'d', 0, 4}},        {"xref", {'d', 4, 4}},         {"callid", {'d', 10, 4}},
      {"device", {'t', 14, 64}},      {"alerting", {'t', 80, 64}},   {"calling", {'t', 148, 64}},
      {"called", {'t', 216, 64}},     {"callid2", {'d', 80, 4}},     {"device2", {'t', 84, 64}},
      {"releasing", {'t', 80, 64}},   {"conferencing", {'t', 150, 64}}, {"added", {'t', 218, 64}},
      {"code", {'w', 10, 2}},         {"kind", {'b', 10, 1}},        {"text", {'t', 11, 100}},
      {"count", {'t', 22, 11}},       {"index", {'t', 11, 11}},      {"ref", {'d', 10, 4}},
      {"fwd", {'w', 40, 2}},          {"snap", {'w', 140, 2}},       {"snapcount", {'w', 10, 2}},
      {"snapdevice", {'t', 16, 64}},  {"ext", {'t', 10, 64}},        {"dial", {'t', 74, 64}},
      {"num80", {'t', 80, 64}},       {"num84", {'t', 84, 64}},      {"filter", {'w', 74, 2}},
      {"flags", {'b', 76, 1}},        {"devices", {'t', 11, 11}},        {"stopref", {'d', 10, 4}},
  };
  return f;
}

const std::map<std::string, int>& TypeNames() {
  static const std::map<std::string, int> t = {
      {"clear", 9},         {"conferenceconf", 12}, {"consult", 13},     {"consultconf", 14},
      {"deflect", 15},      {"hold", 21},           {"makecall", 23},    {"makecallconf", 24},
      {"queryfwd", 31},     {"fwdconf", 32},        {"transfer", 51},    {"failure", 53},
      {"conferenced", 55},  {"cleared", 56},        {"delivered", 57},   {"established", 59},
      {"held", 61},         {"retrieved", 65},      {"service", 66},     {"transferred", 67},
      {"private", 93},      {"monitor", 111},       {"monitorconf", 114}, {"monitorstop", 117},
      {"monitorstopconf", 118}, {"snapshot", 122},  {"snapshotconf", 123}, {"caps", 124},
      {"capsconf", 125},
  };
  return t;
}

bool ParseField(const std::string& key, Field* out) {
  auto it = Fields().find(key);
  if (it != Fields().end()) {
    *out = it->second;
    return true;
  }
  std::size_t at = key.find('@');
  if (at == std::string::npos) return false;
  std::string k = key.substr(0, at);
  std::size_t off = static_cast<std::size_t>(std::stoul(key.substr(at + 1)));
  if (k == "u8") *out = {'b', off, 1};
  else if (k == "u16") *out = {'w', off, 2};
  else if (k == "u32") *out = {'d', off, 4};
  else if (k == "text") *out = {'t', off, 64};
  else return false;
  return true;
}

std::string ReadField(const CSTAMessage& m, const Field& f) {
  switch (f.kind) {
    case 'b': return std::to_string(m.U8(f.at));
    case 'w': return std::to_string(m.U16(f.at));
    case 'd': return std::to_string(m.U32(f.at));
    default: return m.Text(f.at, f.width);
  }
}

void WriteField(CSTAMessage& m, const Field& f, const std::string& v) {
  switch (f.kind) {
    case 'b': m.SetU8(f.at, static_cast<std::uint8_t>(std::stoul(v))); break;
    case 'w': m.SetU16(f.at, static_cast<std::uint16_t>(std::stol(v))); break;
    case 'd': m.SetU32(f.at, static_cast<std::uint32_t>(std::stoul(v))); break;
    default: m.SetText(f.at, f.width, v); break;
  }
}

int TypeOf(const std::string& word) {
  auto it = TypeNames().find(word);
  if (it != TypeNames().end()) return it->second;
  return std::stoi(word);
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> out;
  std::string cur;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any || !cur.empty()) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur += c;
    }
  }
  if (any || !cur.empty()) out.push_back(cur);
  return out;
}

std::pair<std::string, std::string> KeyValue(const std::string& word) {
  std::size_t eq = word.find('=');
  if (eq == std::string::npos) return {word, ""};
  return {word.substr(0, eq), word.substr(eq + 1)};
}

}  // namespace


// Swaps in what a rig needs of the process-wide state and puts it back.
struct Scenario::Global {
  CGlobalConfig saved = GlobalConfig();
  Global() {
    GlobalConfig().SDFN.clear();
    GlobalConfig().CHLO = 0;
    GlobalConfig().PBXLO = 0;
    GlobalConfig().GLO = 0;
    GlobalConfig().TOLECSTALOGDLL = 0;
    plat::SetTextSource(&TestText);
  }
  ~Global() {
    GlobalConfig() = saved;
    plat::SetTextSource(nullptr);
    plat::SetMessageBoxImpl(nullptr);
  }
};

Scenario::Scenario() = default;
Scenario::~Scenario() {
  rig_.reset();
  global_.reset();
}
Scenario::Rig& Scenario::rig() { return *rig_; }

std::string Scenario::Run(const std::string& script) {
  if (!global_) global_ = std::make_unique<Global>();
  rig_.reset();
  rig_ = std::make_unique<Rig>();
  Rig& r = *rig_;
  plat::SetMessageBoxImpl(&r.boxes);
  if (prepare) prepare(r);
  std::ostringstream failures;
  std::istringstream in(script);
  std::string line;
  int lineNo = 0;
  auto fail = [&](const std::string& what) { failures << "line " << lineNo << ": " << what << "\n"; };

  auto callText = [](CCallInfo* c) { return c ? c->callingNumber + ">" + c->calledNumber : std::string("none"); };
  auto checkCall = [&](CCallInfo* c, const std::vector<std::string>& w, std::size_t from) {
    if (from < w.size() && w[from] == "none") {
      if (c) fail("expected no call, got " + callText(c));
      return;
    }
    if (!c) {
      fail("expected a call, got none");
      return;
    }
    for (std::size_t i = from; i < w.size(); ++i) {
      auto [k, v] = KeyValue(w[i]);
      std::string got;
      if (k == "calling") got = c->callingNumber;
      else if (k == "called") got = c->calledNumber;
      else if (k == "state") got = std::to_string(c->state);
      else if (k == "dir") got = std::to_string(c->direction);
      else if (k == "callid") got = std::to_string(c->callId);
      else if (k == "ext") got = std::to_string(c->external);
      else if (k == "name") got = c->callingName;
      else if (k == "cname") got = c->calledName;
      else if (k == "company") got = c->callingCompany;
      else if (k == "ref") got = std::to_string(c->callRefId);
      else if (k == "mark") got = std::to_string(c->connectedMark);
      else { fail("unknown call field " + k); continue; }
      if (got != v) fail("call " + k + ": expected '" + v + "', got '" + got + "'");
    }
  };

  while (std::getline(in, line)) {
    ++lineNo;
    std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::vector<std::string> w = Split(line);
    if (w.empty()) continue;
    const std::string& op = w[0];
    try {
      if (op == "set") {
        CGlobalConfig& c = GlobalConfig();
        int v = std::stoi(w.at(2));
        const std::string& k = w.at(1);
        if (k == "CUTOFFLEADINGDIGIT") c.CUTOFFLEADINGDIGIT = static_cast<std::uint16_t>(v);
        else if (k == "CBLAFNEWCWNS") c.CBLAFNEWCWNS = v;
        else if (k == "CBLASONE") c.CBLASONE = v;
        else if (k == "IO1008") c.IO1008 = v;
        else if (k == "GDOH") c.GDOH = v;
        else if (k == "NPLLAIDB") c.NPLLAIDB = v;
        else if (k == "DialOfficeDigits") c.DialOfficeDigits = static_cast<std::uint16_t>(v);
        else fail("unknown setting " + k);
      } else if (op == "watch") {
        CMonitorEntry e;
        e.SetNumber(w.at(1));
        e.watchMode = static_cast<std::uint32_t>(std::stoi(w.at(2)));
        e.monitoringOn = 1;
        if (!r.table.SetEntry(e)) fail("no slot for " + w[1]);
        CMonitorEntry* entry = r.table.FindByNumber(w[1]);
        for (std::size_t i = 3; i < w.size(); ++i) {
          auto [k, v] = KeyValue(w[i]);
          if (k == "main") r.table.SetMainPhone(w[1]);
          else if (k == "xref" && entry) {
            entry->crossRefId = static_cast<std::uint32_t>(std::stoul(v));
            entry->monitorState = CMonitorEntry::kMonitored;
          }
        }
      } else if (op == "book") {
        r.book.Add(w.at(1), w.at(2), "", w.at(3));
      } else if (op == "answer") {
        const std::string& a = w.at(1);
        r.boxes.QueueAnswer(a == "yes" ? plat::IDYES : a == "no" ? plat::IDNO : a == "ok" ? plat::IDOK : plat::IDCANCEL);
      } else if (op == "prompt") {
        r.prompt.answers.push_back(w.at(1) == "ok" ? plat::IDOK : plat::IDCANCEL);
      } else if (op == "refuse") {
        r.link.refuse = w.at(1) == "on";
      } else if (op == "listener") {
        auto l = std::make_unique<RecordingListener>(w.at(1), &r.listenerOrder);
        r.filter.RegisterListener(l.get(), nullptr, static_cast<std::int16_t>(std::stoi(w.at(2))));
        r.listeners[w[1]] = std::move(l);
      } else if (op == "pbx") {
        CSTAMessage m;
        m.SetType(static_cast<std::uint16_t>(TypeOf(w.at(1))));
        for (std::size_t i = 2; i < w.size(); ++i) {
          auto [k, v] = KeyValue(w[i]);
          if (k == "conn") {
            std::istringstream list(v);
            std::string item;
            std::uint16_t n = 0;
            while (std::getline(list, item, ',')) {
              std::size_t colon = item.find(':');
              CSTAConnectionId c;
              c.device = item.substr(0, colon);
              c.callId = static_cast<std::uint32_t>(std::stoul(item.substr(colon + 1)));
              c.Write(m, 288 + n * 138u);
              ++n;
            }
            m.SetU16(286, n);
            continue;
          }
          Field f;
          if (!ParseField(k, &f)) {
            fail("unknown field " + k);
            continue;
          }
          WriteField(m, f, v);
        }
        r.result = static_cast<int>(r.link.OnLinkMessage(linkev::kIncoming, 0, &m));
        r.Settle();
      } else if (op == "dial") {
        int as = 12;
        if (w.size() > 2) as = std::stoi(KeyValue(w[2]).second);
        CCallInfo* c = r.handler.GetFreeCall(as);
        c->calledNumber = w.at(1);
        r.result = r.handler.MakeCall(c, as);
        r.Settle();
      } else if (op == "redial") {
        r.result = r.handler.Redial(12);
        r.Settle();
      } else if (op == "hold") {
        r.held = r.handler.GetCurrentCall(17);
        r.result = r.handler.HoldCall(r.held, 22);
        r.Settle();
      } else if (op == "clear") {
        CCallInfo* c = w.size() > 1 && w[1] == "second" ? r.handler.GetSecondCall(17) : r.handler.GetCurrentCall(17);
        r.result = r.handler.ClearCall(c, hub::kIdAssistant);
        r.Settle();
      } else if (op == "consult") {
        CCallInfo* active = r.handler.GetCurrentCall(17);
        if (!active) active = r.held;
        r.consult = r.handler.GetFreeCall(11);
        r.consult->calledNumber = w.at(1);
        r.result = r.handler.ConsultationCall(active, r.consult, 11);
        r.Settle();
      } else if (op == "transfer") {
        CCallInfo* active = r.handler.GetCurrentCall(17);
        r.result = r.handler.TransferCall(r.held, active ? active : r.consult, 11);
        r.Settle();
      } else if (op == "start") {
        r.link.Open();
        r.Settle();
      } else if (op == "stop") {
        r.link.StartStop(0);
        r.Settle();
      } else if (op == "job") {
        r.result = r.filter.TakeOrRelease(static_cast<std::uint32_t>(std::stoul(w.at(1))), w.at(2) == "take" ? 1 : 0);
      } else if (op == "advance") {
        r.loop.Advance(std::stoull(w.at(1)));
        r.Settle();
      } else if (op == "purge") {
        r.handler.PurgeReleasedCalls();
      } else if (op == "settle") {
        r.Settle();
      } else if (op == "skip") {
        r.sentAt = r.link.sent.size();
        r.hubAt = r.view.messages.size();
        r.eventAt = r.link.events.size();
        r.drawAt = r.drawing.events.size();
        r.boxAt = r.boxes.shown.size();
      } else if (op == "expect") {
        const std::string& what = w.at(1);
        if (what == "sent") {
          if (r.sentAt >= r.link.sent.size()) {
            fail("expected a sent " + w.at(2) + ", nothing sent");
            continue;
          }
          const CSTAMessage& m = r.link.sent[r.sentAt++].record;
          int type = TypeOf(w.at(2));
          if (m.Type() != type) {
            fail("sent type: expected " + std::to_string(type) + ", got " + std::to_string(m.Type()));
            continue;
          }
          for (std::size_t i = 3; i < w.size(); ++i) {
            auto [k, v] = KeyValue(w[i]);
            if (k == "note") {
              if (std::to_string(r.link.sent[r.sentAt - 1].note) != v) fail("sent note differs");
              continue;
            }
            Field f;
            if (!ParseField(k, &f)) {
              fail("unknown field " + k);
              continue;
            }
            std::string got = ReadField(m, f);
            if (got != v) fail("sent " + k + ": expected '" + v + "', got '" + got + "'");
          }
        } else if (what == "resent") {
          if (r.sentAt == 0 || r.sentAt >= r.link.sent.size()) {
            fail("expected a repeat, nothing sent");
            continue;
          }
          if (!(r.link.sent[r.sentAt].record == r.link.sent[r.sentAt - 1].record)) fail("repeat differs in its bytes");
          ++r.sentAt;
        } else if (what == "quiet") {
          if (r.sentAt < r.link.sent.size())
            fail("unexpected sent type " + std::to_string(r.link.sent[r.sentAt].record.Type()));
        } else if (what == "hub") {
          if (r.hubAt >= r.view.messages.size()) {
            fail("expected hub " + w.at(2) + ", none");
            continue;
          }
          const HubRecord& h = r.view.messages[r.hubAt++];
          if (std::to_string(h.code) != w.at(2)) {
            fail("hub: expected " + w[2] + ", got " + std::to_string(h.code));
            continue;
          }
          for (std::size_t i = 3; i < w.size(); ++i) {
            auto [k, v] = KeyValue(w[i]);
            std::string got = k == "w" ? std::to_string(h.w) : k == "call" ? h.callText : "?";
            if (k == "match") got = h.match.call ? callText(h.match.call) + (h.match.record ? "+record" : "") : "none";
            if (got != v) fail("hub " + w[2] + " " + k + ": expected '" + v + "', got '" + got + "'");
          }
        } else if (what == "nohub") {
          if (r.hubAt < r.view.messages.size())
            fail("unexpected hub " + std::to_string(r.view.messages[r.hubAt].code));
        } else if (what == "event") {
          while (r.eventAt < r.link.events.size() && r.link.events[r.eventAt] == linkev::kIncoming) ++r.eventAt;
          if (r.eventAt >= r.link.events.size()) {
            fail("expected link event " + w.at(2) + ", none");
            continue;
          }
          plat::UINT e = r.link.events[r.eventAt++];
          if (std::to_string(e) != w.at(2)) fail("link event: expected " + w[2] + ", got " + std::to_string(e));
        } else if (what == "noevent") {
          for (std::size_t i = r.eventAt; i < r.link.events.size(); ++i)
            if (r.link.events[i] != linkev::kIncoming) fail("unexpected link event " + std::to_string(r.link.events[i]));
        } else if (what == "draw") {
          if (r.drawAt >= r.drawing.events.size()) {
            fail("expected a drawing event, none");
            continue;
          }
          const auto& d = r.drawing.events[r.drawAt++];
          if (d.device != w.at(2) || std::to_string(d.type) != w.at(3))
            fail("drawing: expected " + w[2] + " " + w[3] + ", got " + d.device + " " + std::to_string(d.type));
        } else if (what == "current") {
          checkCall(r.handler.GetCurrentCall(17), w, 2);
        } else if (what == "second") {
          checkCall(r.handler.GetSecondCall(17), w, 2);
        } else if (what == "last") {
          checkCall(r.handler.LastDialled(), w, 2);
        } else if (what == "result") {
          if (std::to_string(r.result) != w.at(2)) fail("result: expected " + w[2] + ", got " + std::to_string(r.result));
        } else if (what == "count") {
          const std::string& k = w.at(2);
          long got = -1;
          if (k == "missed") got = static_cast<long>(r.missed.numbers.size());
          else if (k == "calldata") got = static_cast<long>(r.callData.lines.size());
          else if (k == "callbacks") got = static_cast<long>(r.callbacks.entries.size());
          else if (k == "boxes") got = static_cast<long>(r.boxes.shown.size());
          else if (k == "pool") got = static_cast<long>(r.handler.PoolSize());
          else if (k == "prompts") got = r.prompt.shown;
          else if (k == "timers") got = r.view.timerStarts;
          else if (k == "chargefailed") got = static_cast<long>(r.charge.failed.size());
          else if (k == "nocall") got = r.missed.noCall;
          else if (k.rfind("listener:", 0) == 0 && r.listeners.count(k.substr(9)))
            got = static_cast<long>(r.listeners[k.substr(9)]->types.size());
          else fail("unknown count " + k);
          if (std::to_string(got) != w.at(3)) fail("count " + k + ": expected " + w[3] + ", got " + std::to_string(got));
        } else if (what == "box") {
          if (r.boxAt >= r.boxes.shown.size()) {
            fail("expected a message box, none");
            continue;
          }
          const std::string& text = r.boxes.shown[r.boxAt++].text;
          if (text.find(w.at(2)) == std::string::npos) fail("box: '" + text + "' lacks '" + w[2] + "'");
        } else if (what == "job") {
          if (std::to_string(r.filter.JobState()) != w.at(2))
            fail("job: expected " + w[2] + ", got " + std::to_string(r.filter.JobState()));
        } else if (what == "linkstate") {
          if (std::to_string(r.link.state) != w.at(2))
            fail("link state: expected " + w[2] + ", got " + std::to_string(r.link.state));
        } else if (what == "monitor") {
          CMonitorEntry* e = r.table.FindByNumber(w.at(2));
          std::string got = e ? std::to_string(e->monitorState) : "none";
          if (got != w.at(3)) fail("monitor " + w[2] + ": expected " + w[3] + ", got " + got);
        } else if (!extension || !extension(r, w, fail)) {
          fail("unknown check " + what);
        }
      } else if (!extension || !extension(r, w, fail)) {
        fail("unknown statement " + op);
      }
    } catch (const std::exception& e) {
      fail(std::string("bad statement: ") + e.what());
    }
  }
  return failures.str();
}

std::string RunScenario(const std::string& script) {
  Scenario s;
  return s.Run(script);
}
