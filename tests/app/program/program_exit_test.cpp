// brimlow as a process against the simulated PBX, ended by a terminate
// request (SIGTERM, SIGHUP) or the tray's "Beenden" while one window is
// open: every modal dialog of the command table, a dialog opened from a
// dialog, a message box, the choosers, the assistant on a call, the
// keypad and the plug-in windows. Each run ends with status 0 in time,
// stores the time of the exit, saves the callback list, keeps the watched
// extensions and leaves no process behind.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <sstream>
#include <thread>

#include "platform/profile.h"
#include "programrig.h"
#include "tests/support/pbxrig.h"
#include "tools/pbxsim/pbxsim.h"

namespace {

using namespace programrig;
using testsupport::FileBytes;
using testsupport::PutFile;

const std::string kMonTab = pbxrig::MonTab("21", {"21", "22", "23"}, "Nebenstelle");
// One callback entry, written with fewer keys than the program writes: the
// save at the exit is seen by the keys it adds.
const std::string kCallbacks =
    "[CBLIST]\r\nLC=1\r\n[CBLIST-1]\r\nCEDNAME=Probe\r\nCEDNUM=0301234567\r\nDIRECT=2\r\nEXT=1\r\n";

// One program run from its own folder, under the test's control.
struct Session {
  Folder folder;
  pbxsim::PbxSim sim;
  Child child;
  std::time_t started = 0;

  explicit Session(const std::string& name) : folder(name) {}

  bool Start() {
    if (!sim.Start()) return false;
    PutFile(folder.Ini(),
            "[GLOBCONF]\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nCPID=2\r\nCBLASOBOS=0\r\nGLO=1\r\n"
            "GLFN=program.log\r\n[TOOLS]\r\nTOLEUPLV=1\r\nTOLEUCLV=1\r\n");
    PutFile(Path("montab.ini"), kMonTab);
    PutFile(Path("cblist.ini"), kCallbacks);
    auto env = ProgramEnv();
    env["PALOMIR_COM3"] = sim.SlavePath();
    started = std::time(nullptr);
    if (!programrig::Start(child, (folder.bin / "brimlow").string(), folder.home.string(), env, true)) return false;
    if (!child.WaitShown(20000)) return false;
    // Running: the last step of the start-up, the snapshots, answered.
    return sim.WaitForCount(CSTA_SNAPSHOT_DEVICE, 3, 20000) && WaitAnswer("modal", "modal 0 -");
  }
  std::string Path(const char* name) const { return (folder.home / name).string(); }

  bool WaitAnswer(const std::string& request, const std::string& expected, int ms = 10000) {
    return WaitUntil([&] { return child.Ask(request) == expected; }, ms);
  }
  bool WaitAnswerHas(const std::string& request, const std::string& part, int ms = 10000) {
    return WaitUntil([&] { return child.Ask(request).find(part) != std::string::npos; }, ms);
  }
  bool Command(unsigned id) { return child.Ask("command " + std::to_string(id)) == "ok"; }
  // A modal window of that name is the innermost one.
  bool Modal(const std::string& name) { return WaitAnswerHas("modal", " " + name); }
  bool Window(const std::string& name) {
    return WaitUntil([&] { return (child.Ask("windows") + " ").find(" " + name + " ") != std::string::npos; }, 10000);
  }
};

struct Row {
  const char* name;
  std::function<bool(Session&)> open;
};

// The command's dialog is up and modal (a box it shows on top may be the
// innermost loop).
std::function<bool(Session&)> ModalCommand(unsigned id, const std::string& window) {
  return [id, window](Session& s) {
    return s.Command(id) && s.Window(window) &&
           WaitUntil([&] { return s.child.Ask("modal").rfind("modal 0", 0) != 0; }, 10000);
  };
}
std::function<bool(Session&)> ModelessCommand(unsigned id, const std::string& window) {
  return [id, window](Session& s) { return s.Command(id) && s.Window(window); };
}

bool RingingCall(Session& s) {
  s.sim.IncomingCall("0301234567", "21");
  return s.Window("dialog102");
}

bool AnsweredCall(Session& s) {
  const std::uint32_t call = s.sim.IncomingCall("0301234567", "21");
  if (!s.Window("dialog102")) return false;
  s.sim.Answer(call);
  // The answer has reached the program once the sim has nothing in flight
  // and a round trip through the control has passed.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  return s.child.Ask("modal") == "modal 0 -";
}

// The callback list, and from it a new entry's settings (dialog 124).
bool DialogFromDialog(Session& s) {
  return s.Command(32781) && s.Modal("dialog145") && s.child.Ask("click 1152") == "ok" && s.Modal("dialog124") &&
         s.WaitAnswerHas("modal", "modal 2 ");
}

// The callback list, and from it the missed-calls list: two command
// dialogs, one in the other.
bool ListFromList(Session& s) {
  return s.Command(32781) && s.Modal("dialog145") && s.child.Ask("click 1143") == "ok" && s.Modal("dialog160");
}

const Row kRows[] = {
    {"Autostart", ModalCommand(32775, "dialog144")},
    {"SystemConnection", ModalCommand(32776, "dialog168")},
    {"Colour", ModalCommand(32777, "colourdialog")},
    {"Font", ModalCommand(32780, "fontdialog")},
    {"CallbackList", ModalCommand(32781, "dialog145")},
    {"CustomerInfo", ModalCommand(32783, "dialog157")},
    {"MissedCalls", ModalCommand(32784, "dialog160")},
    {"MissedSetup", ModalCommand(32785, "dialog170")},
    {"CallbackSetup", ModalCommand(32786, "dialog171")},
    {"SpeedDial", ModalCommand(32787, "dialog163")},
    {"Extensions", ModalCommand(32788, "dialog162")},
    {"OwnWorkstation", ModalCommand(32789, "dialog164")},
    {"GeneralSettings", ModalCommand(32790, "dialog172")},
    {"AssistantSetup", ModalCommand(32791, "dialog181")},
    {"CallData", ModalCommand(32792, "dialog182")},
    {"CallDataOrder", ModalCommand(32793, "dialog192")},
    {"ChargeEvaluation", ModalCommand(32796, "dialog190")},
    {"TotalCharges", ModalCommand(32797, "dialog188")},
    {"Extras", ModalCommand(32798, "dialog196")},
    {"ServiceRecords", ModalCommand(32801, "dialog201")},
    {"ChargeFileChooser", ModalCommand(32807, "filedialog")},
    {"About", ModalCommand(57664, "dialog100")},
    {"MessageBox", ModalCommand(68, "messagebox")},
    {"DialogFromDialog", DialogFromDialog},
    {"ListFromList", ListFromList},
    {"AssistantRinging", RingingCall},
    {"AssistantAnswered", AnsweredCall},
    {"Assistant", ModelessCommand(32771, "dialog102")},
    {"Keypad", ModelessCommand(32772, "dialog108")},
    {"Overview", ModelessCommand(32774, "dialog158")},
    {"Database", ModelessCommand(32779, "dialog123")},
    {"ChargeFileEntries", ModelessCommand(32803, "dialog201")},
    {"ConnectionViewer", ModelessCommand(32815, "dialog129")},
    {"DisplayControl", ModelessCommand(32816, "dialog130")},
};

std::string Key(const std::string& ini, const char* section, const char* key) {
  return plat::GetProfileText(section, key, "", ini);
}

// Every key the test wrote still has its value.
void ExpectKeysKept(const std::string& written, const std::string& file) {
  std::istringstream in(written);
  std::string line, section;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    EXPECT_EQ(Key(file, section.c_str(), line.substr(0, eq).c_str()), line.substr(eq + 1))
        << "[" << section << "] " << line.substr(0, eq);
  }
}

enum class Request { kSigterm, kSighup, kTray };

const char* Name(Request r) { return r == Request::kSigterm ? "SIGTERM" : r == Request::kSighup ? "SIGHUP" : "tray"; }

// Opens the row's window, sends the request and checks the end.
void RunRow(const Row& row, Request request, bool silentPbx = false) {
  Session s(std::string("program_exit_") + row.name + "_" + Name(request));
  ASSERT_TRUE(s.Start()) << "not running";
  ASSERT_TRUE(row.open(s)) << row.name << " did not open; last: " << s.child.Ask("modal") << " / "
                           << s.child.Ask("windows");
  if (silentPbx) s.sim.SetAnswering(false);
  const pid_t group = s.child.pid;
  const auto t0 = Clock::now();
  if (request == Request::kTray)
    ASSERT_EQ(s.child.Ask("tray 57665"), "ok");
  else
    ::kill(s.child.pid, request == Request::kSigterm ? SIGTERM : SIGHUP);
  const int status = s.child.Wait(10000);
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  const std::time_t ended = std::time(nullptr);
  EXPECT_EQ(status, 0) << "no clean end within 10 s";
  EXPECT_TRUE(WaitUntil([&] { return GroupGone(group); }, 2000)) << "a process was left behind";

  const std::string ini = s.folder.Ini();
  const long llot = std::atol(Key(ini, "GLOBCONF", "LLOT").c_str());
  EXPECT_GE(llot, static_cast<long>(s.started));
  EXPECT_LE(llot, static_cast<long>(ended));
  const std::string callbacks = s.Path("cblist.ini");
  EXPECT_EQ(Key(callbacks, "CBLIST", "LC"), "1");
  EXPECT_EQ(Key(callbacks, "CBLIST-1", "CEDNUM"), "0301234567");
  EXPECT_EQ(Key(callbacks, "CBLIST-1", "CPRIO"), "0") << "the callback list was not saved";
  ExpectKeysKept(kMonTab, s.Path("montab.ini"));
  if (!silentPbx) {
    EXPECT_GE(s.sim.ReceivedCount(CSTA_MONITOR_STOP), 3u);
  }
  std::printf("[ exit row ] %-18s %-7s%s status %d  %.2f s  LLOT %s\n", row.name, Name(request),
              silentPbx ? " (PBX silent)" : "", status, seconds, llot >= static_cast<long>(s.started) ? "ok" : "missing");
}

class ExitUnderWindow : public ::testing::TestWithParam<std::tuple<std::size_t, Request>> {};

TEST_P(ExitUnderWindow, EndsCleanlyAndKeepsTheData) {
  RunRow(kRows[std::get<0>(GetParam())], std::get<1>(GetParam()));
}

std::string RowName(const ::testing::TestParamInfo<std::tuple<std::size_t, Request>>& info) {
  return std::string(kRows[std::get<0>(info.param)].name) + "_" + Name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Signals, ExitUnderWindow,
                         ::testing::Combine(::testing::Range<std::size_t>(0, std::size(kRows)),
                                            ::testing::Values(Request::kSigterm, Request::kSighup)),
                         RowName);

// The tray's "Beenden" under modal dialogs (the tray offers it there too).
std::size_t Index(const char* name) {
  for (std::size_t i = 0; i < std::size(kRows); ++i)
    if (std::string(kRows[i].name) == name) return i;
  return 0;
}

INSTANTIATE_TEST_SUITE_P(Tray, ExitUnderWindow,
                         ::testing::Combine(::testing::Values(Index("GeneralSettings"), Index("MessageBox"),
                                                              Index("DialogFromDialog"), Index("ChargeFileChooser"),
                                                              Index("AssistantRinging")),
                                            ::testing::Values(Request::kTray)),
                         RowName);

// A PBX that has gone silent answers none of the stop steps: the exit still
// comes within the steps' time-outs.
TEST(ExitSilentPbx, SigtermUnderADialogEndsWithoutTheStopAnswers) {
  RunRow(kRows[Index("GeneralSettings")], Request::kSigterm, true);
}

// A second request while the first one is under way is not lost: with the
// PBX silent the second one closes the link at once.
TEST(ExitTwice, ASecondSigtermWhileStoppingEndsTheProgram) {
  Session s("program_exit_twice");
  ASSERT_TRUE(s.Start());
  ASSERT_TRUE(ModalCommand(32790, "dialog172")(s));
  s.sim.SetAnswering(false);
  ::kill(s.child.pid, SIGTERM);
  ASSERT_TRUE(WaitUntil([&] { return s.sim.ReceivedCount(CSTA_MONITOR_STOP) >= 1; }, 5000));
  ::kill(s.child.pid, SIGTERM);
  EXPECT_EQ(s.child.Wait(10000), 0);
  EXPECT_NE(Key(s.folder.Ini(), "GLOBCONF", "LLOT"), "");
}

}  // namespace

namespace {

// A terminate request while the link is still starting (the window just
// up, the monitors not yet all asked for) ends the program as well.
TEST(ExitEarly, SigtermWhileTheLinkStartsEndsTheProgram) {
  Session s("program_exit_early");
  ASSERT_TRUE(s.sim.Start());
  PutFile(s.folder.Ini(), "[GLOBCONF]\r\nSDFN=montab.ini\r\nCBLFN=cblist.ini\r\nCPID=2\r\nCBLASOBOS=0\r\n");
  PutFile(s.Path("montab.ini"), kMonTab);
  auto env = ProgramEnv();
  env["PALOMIR_COM3"] = s.sim.SlavePath();
  s.started = std::time(nullptr);
  ASSERT_TRUE(programrig::Start(s.child, (s.folder.bin / "brimlow").string(), s.folder.home.string(), env, true));
  ASSERT_TRUE(s.child.WaitShown(20000));
  const pid_t group = s.child.pid;
  ::kill(s.child.pid, SIGTERM);
  EXPECT_EQ(s.child.Wait(10000), 0);
  EXPECT_TRUE(WaitUntil([&] { return GroupGone(group); }, 2000));
  EXPECT_GE(std::atol(Key(s.folder.Ini(), "GLOBCONF", "LLOT").c_str()), static_cast<long>(s.started));
  ExpectKeysKept(kMonTab, s.Path("montab.ini"));
}

}  // namespace
