// The charge-counter manager on the real filter and charge handler with a
// display that writes down every call: tiles and groups, what the PBX's
// events and charge replies set on them, the buttons with their boxes, the
// read-out question and the progress dialog, and the counter file.
#include <clocale>
#include <ctime>
#include <map>

#include "counter_support.h"
#include "core/callhandler/callhandler.h"
#include "charges/counter/readoutquestiondlg.h"
#include "core/wire/csta_message.h"

using countertest::CounterTest;
using plat::DialogScript;

namespace {

CSTAMessage Event(std::uint16_t type, const std::string& device) {
  CSTAMessage m;
  m.SetType(type);
  CSTAConnectionId c;
  c.callId = 7;
  c.device = device;
  c.Write(m, CSTAMessage::kDataAt);
  return m;
}

CSTAMessage Deleted(const std::string& device) {
  return chargewire::DeviceReply(EXTPBX_DELETEDEVICEUNITS_CONF, device);
}

CSTAMessage AllDeleted() {
  CSTAMessage m;
  m.SetType(CSTA_PRIVATE);
  m.SetU8(CSTAMessage::kDataAt, EXTPBX_DELALLREPORTLOGENTRIES_CONF);
  return m;
}

using Manager = CounterTest;

TEST_F(Manager, ThirtyWatchedExtensionsMakeThreeGroupsThatTheNextStartShowsAgain) {
  Watch(10, 30);
  CSumChargeHandler& m = Make();
  ASSERT_EQ(m.Groups().size(), 3u);
  EXPECT_EQ(display.lines[0], "param MaxColumns=3");
  EXPECT_EQ(display.lines[1], "param MaxRows=4");
  const std::vector<std::string> labels = {"Gr. 1", "Gr. 2", "Gr. 3"};
  const std::vector<std::size_t> sizes = {12, 12, 6};
  for (std::size_t g = 0; g < 3; ++g) {
    EXPECT_EQ(display.Last(m.Groups()[g]->item, "Label"), labels[g]);
    EXPECT_EQ(m.Groups()[g]->members.size(), sizes[g]);
    EXPECT_EQ(m.Groups()[g]->groupId, g);
  }
  EXPECT_EQ(display.Count("add 0 "), 3);
  EXPECT_EQ(m.Extensions().size(), 30u);
  // Tile 25 sits in the third group.
  const std::int32_t tile = ItemOf("35");
  EXPECT_EQ(display.Last(tile, "SmallLabel"), "35");
  EXPECT_EQ(display.Last(tile, "Contents"), "EUR  0.00");
  EXPECT_EQ(display.Last(tile, "SmallLabel.BackgroundColor"), "12632256");
  EXPECT_EQ(m.FindExtension(0, "35")->group, 2);

  // Kept at once, groups and count together.
  const std::string file = countertest::ReadFile(Ini());
  EXPECT_NE(file.find("NumberOfGroups=3\r\n"), std::string::npos);
  EXPECT_NE(file.find("[Group_02]\r\nGroupID=2\r\nShortName=Gr. 3\r\nDescription=\r\nMembers=34;35;36;37;38;39\r\n"),
            std::string::npos);

  const std::vector<std::string> first = display.lines;
  Drop();
  display = countertest::RecordingDisplay{};
  // A watched extension added since does not move the kept groups.
  core->Watch("40");
  Make();
  EXPECT_EQ(display.lines.size(), first.size());
  // The same tiles under the same labels.
  for (std::size_t i = 0; i < std::min(first.size(), display.lines.size()); ++i) EXPECT_EQ(display.lines[i], first[i]) << i;
  EXPECT_EQ(manager->FindExtension(0, "40"), nullptr);
}

TEST_F(Manager, StoredGroupsHiddenExtensionsAndAStaleGroupCount) {
  countertest::WriteFile(Ini(),
                         "[General]\r\nMaxColumns=2\r\nMaxRows=+5\r\nNumberOfGroups=9\r\nBKColorChargeNotify=255\r\n"
                         "[Group_00]\r\nGroupID=0\r\nShortName=Flur\r\nMembers=21;22;23\r\n"
                         "[Group_01]\r\nGroupID=1\r\nShortName=Keller\r\nMembers=23;24\r\n"
                         "[22]\r\nIntNumber=22\r\nDoDisplay=0\r\n"
                         "[24]\r\nIntNumber=24\r\nInternalName=Lager\r\nLastSum=3\r\n");
  Watch(21, 4);
  CSumChargeHandler& m = Make();
  ASSERT_EQ(m.Groups().size(), 2u);
  EXPECT_EQ(display.lines[0], "param MaxColumns=2");
  EXPECT_EQ(display.lines[1], "param MaxRows=5");
  EXPECT_EQ(display.Last(m.Groups()[1]->item, "Label"), "Keller");
  EXPECT_EQ(m.FindExtension(0, "22"), nullptr);
  ASSERT_EQ(m.Extensions().size(), 3u);  // 23 once, in its first group
  EXPECT_EQ(display.Count("add " + std::to_string(m.Groups()[1]->item) + " "), 1);
  const std::int32_t lager = ItemOf("24");
  EXPECT_EQ(display.Last(lager, "Label"), "Lager");
  EXPECT_EQ(display.Last(lager, "Contents"), "EUR  0.36");
  EXPECT_EQ(display.Last(lager, "SmallLabel.BackgroundColor"), "255");
}

TEST_F(Manager, NoTileWhenTheDisplayIsMissingOrRefusesItems) {
  Watch(10, 2);
  CSumChargeHandler m(&GlobalConfig());
  m.LoadSettings(Ini());
  EXPECT_EQ(m.AttachDisplay(&core->table, nullptr, charges.get()), 0);
  EXPECT_EQ(m.AttachDisplay(nullptr, &display, charges.get()), 0);
  display.refuseAdd = true;
  EXPECT_EQ(m.AttachDisplay(&core->table, &display, charges.get()), 1);
  ASSERT_EQ(m.Extensions().size(), 2u);
  EXPECT_EQ(m.Extensions()[0]->item, -1);
  EXPECT_EQ(display.Count("-1 "), 0);
}

TEST_F(Manager, UnitsFromThePbxSetTheMoneyAndTheColour) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  const std::int32_t tile = ItemOf("21");
  struct Case {
    long units;
    const char* contents;
    const char* colour;
    int stored;
  } cases[] = {
      {5, "EUR  0.60", "8553215", 5},
      {0, "EUR  0.00", "12632256", 0},
      {99999, "EUR 3932.04", "8553215", 32767},  // five digits are all the reply holds
      {-2, "EUR -0.24", "8553215", -2},
  };
  // Money in the file's and the plug-in's form, whatever the user's locale.
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  for (const Case& c : cases) {
    Feed(chargewire::UnitsReply("T21", c.units, "21"));
    EXPECT_EQ(display.Last(tile, "Contents"), c.contents) << c.units;
    EXPECT_EQ(display.Last(tile, "SmallLabel.BackgroundColor"), c.colour) << c.units;
    EXPECT_EQ(m.FindExtension(0, "21")->lastSum, c.stored);
    // Each change is in the file at once.
    SumChargeExtension disk("21");
    ASSERT_EQ(disk.Load(Ini()), 1);
    EXPECT_EQ(disk.lastSum, c.stored);
    EXPECT_EQ(disk.token, "T21");
  }
  if (german) std::setlocale(LC_ALL, "C");
  // Units of an extension that is not watched change nothing.
  const std::size_t before = display.lines.size();
  Feed(chargewire::UnitsReply("T99", 4, "99"));
  EXPECT_EQ(display.lines.size(), before);
}

TEST_F(Manager, CallEventsSetTheStateAndAClearedCallAsksForTheUnits) {
  Watch(21, 1);
  Make();
  const std::int32_t tile = ItemOf("21");
  struct Case {
    const char* devices;  // the PBX's device count, "" as it is
    std::uint16_t type;
    const char* state;
    std::vector<std::string> sent;
  } before[] = {
      {"", CSTA_DELIVERED, "1", {}},
      // Extension 21 sits in slot 11 of the monitor table: device 21 of a
      // PBX with more than 11 devices, no device of one with fewer.
      {"9", CSTA_CONNECTION_CLEARED, "0", {}},
      {"60", CSTA_CONNECTION_CLEARED, "0", {"12:21"}},
      {"", CSTA_ESTABLISHED, "1", {}},
      {"", CSTA_SERVICE_INITIATED, "1", {}},
  };
  for (const Case& c : before) {
    if (*c.devices) Feed(chargewire::DeviceReply(EXTPBX_GETMAXNUMBEROFDEVICES_CONF, c.devices));
    const std::size_t mark = Mark();
    Feed(Event(c.type, "21"));
    EXPECT_EQ(display.Last(tile, "State1"), c.state) << c.type;
    EXPECT_EQ(Sent(mark), c.sent) << c.type << " " << c.devices;
  }
  EXPECT_EQ(manager->FindExtension(0, "21")->token, "21");
  // The PBX's own name for the device wins.
  Feed(chargewire::UnitsReply("T21", 2, "21"));
  std::size_t mark = Mark();
  Feed(Event(CSTA_CONNECTION_CLEARED, "21"));
  EXPECT_EQ(display.Last(tile, "State1"), "0");
  EXPECT_EQ(Sent(mark), std::vector<std::string>{"12:T21"});
  // Another device, and a private reply of another kind: nothing.
  const std::size_t lines = display.lines.size();
  mark = Mark();
  Feed(Event(CSTA_CONNECTION_CLEARED, "22"));
  Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "4"));
  EXPECT_EQ(display.lines.size(), lines);
  EXPECT_TRUE(Sent(mark).empty());
  EXPECT_EQ(manager->ProcessCSTAMessage(Event(CSTA_HELD, "21")), 3);
}

TEST_F(Manager, UnitsAreZeroOnlyWhenThePbxConfirmsTheirDeletion) {
  Watch(21, 2);
  CSumChargeHandler& m = Make();
  const std::int32_t tile = ItemOf("21");
  // Before any units came in: the device of the extension's slot.
  std::size_t mark = Mark();
  Press(CSumChargeHandler::kDeleteUnits, "21");
  EXPECT_EQ(Sent(mark), std::vector<std::string>{"10:21"});
  Feed(Deleted("21"));
  EXPECT_EQ(display.Last(tile, "Contents"), "EUR  0.00");

  // The PBX names its devices its own way: that name is used from then on.
  Feed(chargewire::UnitsReply("T21", 7, "21"));
  Feed(chargewire::UnitsReply("T22", 3, "22"));
  mark = Mark();
  Press(CSumChargeHandler::kDeleteUnits, "21");
  EXPECT_EQ(Sent(mark), std::vector<std::string>{"10:T21"});
  EXPECT_EQ(m.FindExtension(0, "21")->lastSum, 7);
  EXPECT_EQ(display.Last(tile, "Contents"), "EUR  0.84");
  const std::time_t t0 = std::time(nullptr);
  Feed(Deleted("T21"));
  SumChargeExtension disk("21");
  ASSERT_EQ(disk.Load(Ini()), 1);
  EXPECT_EQ(disk.lastSum, 0);
  EXPECT_GE(disk.lastReset, t0);
  EXPECT_EQ(display.Last(tile, "Contents"), "EUR  0.00");
  EXPECT_EQ(m.FindExtension(0, "22")->lastSum, 3);

  // All sums: asked, then confirmed with "*".
  boxes.QueueAnswer(plat::IDNO);
  mark = Mark();
  General(CSumChargeHandler::kClearSums);
  EXPECT_TRUE(Sent(mark).empty());
  ASSERT_EQ(boxes.shown.back().caption, "Summen l\xf6schen");
  EXPECT_EQ(boxes.shown.back().text, "M\xf6" "chten Sie wirklich alle Summen l\xf6schen?");
  boxes.QueueAnswer(plat::IDYES);
  General(CSumChargeHandler::kClearSums);
  EXPECT_EQ(Sent(mark), std::vector<std::string>{"10:*"});
  EXPECT_EQ(m.FindExtension(0, "22")->lastSum, 3);
  Feed(Deleted("*"));
  EXPECT_EQ(m.FindExtension(0, "22")->lastSum, 0);
  SumChargeExtension disk22("22");
  ASSERT_EQ(disk22.Load(Ini()), 1);
  EXPECT_EQ(disk22.lastSum, 0);
  EXPECT_GE(disk22.lastReset, t0);
}

TEST_F(Manager, ReadOutWithYesAsksWhatToReadAndShowsTheExtensionsReport) {
  Watch(21, 3);
  CSumChargeHandler& m = Make();
  m.FindExtension(0, "22")->lastReset = 1600000000;
  const ChargeSelection before = charges->Header().selection;
  DialogScript script;
  std::map<int, std::string> shown;
  int preset = -2;
  bool deleteEnabled = false;
  script.When(226)
      .Do([&](plat::Dialog& d) {
        for (int id : {1708, 1709, 1710, 1711, 1712, 1713}) shown[id] = d.GetItemText(id);
        preset = d.GetRadioIndex(CReadOutQuestionDlg::IDC_ALL);
        deleteEnabled = d.IsItemEnabled(CReadOutQuestionDlg::IDC_DELETE);
      })
      .Press(plat::IDOK);
  boxes.QueueAnswer(plat::IDYES);
  std::size_t mark = Mark();
  Press(CSumChargeHandler::kReadRecords, "22");
  ASSERT_FALSE(boxes.shown.empty());
  EXPECT_EQ(boxes.shown.back().caption, "Information");
  EXPECT_EQ(boxes.shown.back().text.rfind("Sollen alle Gespr\xe4" "chsinformationen ausgelesen werden?\r\nStand:\t", 0),
            0u);
  EXPECT_EQ(Sent(mark), std::vector<std::string>{"0:"});
  EXPECT_TRUE(m.Listening());
  // A second request while this one runs.
  Press(CSumChargeHandler::kReadRecords, "21");
  EXPECT_EQ(boxes.shown.back().text, "Besetzt!");
  EXPECT_EQ(Sent(mark).size(), 1u);

  // The question waits until the reply's dispatch is over.
  const CSTAMessage count = chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "3");
  core->link.OnLinkMessage(linkev::kIncoming, 0, &count);
  EXPECT_TRUE(script.opened.empty());
  loop.RunUntilIdle();
  ASSERT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(script.opened[0].caption, "Frage");
  EXPECT_EQ(preset, CReadOutQuestionDlg::kAll);
  EXPECT_TRUE(deleteEnabled);
  EXPECT_EQ(shown[1709], "alte DS:");
  EXPECT_EQ(shown[1711], "0");
  EXPECT_EQ(shown[1710], "neue DS:");
  EXPECT_EQ(shown[1712], "3");
  EXPECT_EQ(shown[1708].rfind("Sie haben die Daten zuletzt ausgelesen am:", 0), 0u);
  EXPECT_EQ(shown[1713], "Wie m\xf6" "chten Sie vorgehen?");
  EXPECT_TRUE(m.ProgressOpen());
  ASSERT_NE(m.ProgressTexts(), nullptr);
  EXPECT_STREQ(m.ProgressTexts()[0], "Gespr\xe4" "chsinformationen auslesen...");
  EXPECT_STREQ(m.ProgressTexts()[1], "Reading all...");
  EXPECT_EQ(m.Mode(), CSumChargeHandler::kReading);
  EXPECT_EQ(Sent(mark).back(), "16:");
  Feed(chargewire::CountReply(EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF, "856"));
  Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "3"));
  EXPECT_STREQ(m.ProgressTexts()[1], "verf\xfc" "gbare Datens\xe4tze: 3");
  EXPECT_EQ(script.opened.size(), 1u);
  for (int i = 0; i < 2; ++i) Feed(chargewire::RecordReply(i, 1700000000 + i, 60, 2, "22", "0891"));
  // So does the report after the last record.
  const CSTAMessage last = chargewire::RecordReply(2, 1700000002, 60, 2, "22", "0891");
  core->link.OnLinkMessage(linkev::kIncoming, 0, &last);
  EXPECT_EQ(report->shown, 0);
  loop.RunUntilIdle();
  EXPECT_EQ(charges->ReadOutIndex(), 3);
  ASSERT_EQ(report->shown, 1);
  EXPECT_EQ(report->lastParent, 77u);
  EXPECT_EQ(report->during.from, 1600000000u);
  EXPECT_GE(report->during.to, 1700000000u);
  EXPECT_EQ(report->timeSwitch, 1);
  EXPECT_EQ(report->extSwitch, 1);
  int flagged = 0;
  for (int i = 0; i < 60; ++i) flagged += report->during.Flag(i);
  EXPECT_EQ(flagged, 1);
  // Afterwards: the user's selection as it was, the read-out done.
  ChargeSelection after = charges->Header().selection;
  after.recordsReadOut = before.recordsReadOut;
  EXPECT_TRUE(after == before);
  EXPECT_EQ(*static_cast<const std::int32_t*>(charges->GetParameter(11)), 0);
  EXPECT_FALSE(m.ProgressOpen());
  EXPECT_FALSE(m.Listening());
  EXPECT_EQ(m.Noted(), nullptr);
  EXPECT_EQ(m.Mode(), CSumChargeHandler::kIdle);
  EXPECT_EQ(core->filter.JobState(), jobstate::kFree);
}

TEST_F(Manager, ReadOutAnsweredNoShowsTheReportAndCancelForgets) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  struct Case {
    int answer;
    int reports;
  } cases[] = {{plat::IDNO, 1}, {plat::IDCANCEL, 0}};
  for (const Case& c : cases) {
    report->shown = 0;
    boxes.QueueAnswer(c.answer);
    const std::size_t mark = Mark();
    Press(CSumChargeHandler::kReadRecords, "21");
    EXPECT_TRUE(Sent(mark).empty());
    EXPECT_EQ(report->shown, c.reports) << c.answer;
    EXPECT_EQ(m.Noted(), nullptr);
    EXPECT_FALSE(m.Listening());
  }
  // A tile that is not there, and a button without a handler: nothing.
  const std::size_t boxesBefore = boxes.shown.size();
  manager->ExecuteCommand(CSumChargeHandler::kReadRecords, 77, 999);
  EXPECT_EQ(boxes.shown.size(), boxesBefore);
}

TEST_F(Manager, QuestionAnsweredNoneOrCancelled) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  struct Case {
    int press;   // 0: OK with "keine", else the button
    int reports;
  } cases[] = {{0, 1}, {plat::IDCANCEL, 0}};
  for (const Case& c : cases) {
    report->shown = 0;
    DialogScript script;
    if (c.press == 0) {
      script.When(226)
          .Check(CReadOutQuestionDlg::IDC_DELETE, 1)
          .Press(CReadOutQuestionDlg::IDC_NONE)
          .Press(plat::IDOK);
    } else {
      script.When(226).Press(c.press);
    }
    boxes.QueueAnswer(plat::IDYES);
    Press(CSumChargeHandler::kReadRecords, "21");
    const std::size_t mark = Mark();
    Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "3"));
    EXPECT_TRUE(Sent(mark).empty()) << c.press;
    EXPECT_EQ(report->shown, c.reports) << c.press;
    EXPECT_FALSE(m.Listening());
    EXPECT_FALSE(m.ProgressOpen());
    EXPECT_EQ(m.Noted(), nullptr);
  }
}

TEST_F(Manager, DeleteAfterwardsOnlyWhenNoRecordCameInMeanwhile) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  struct Case {
    const char* countAfter;
    bool deleted;
  } cases[] = {{"2", true}, {"3", false}};
  for (const Case& c : cases) {
    report->shown = 0;
    DialogScript script;
    script.When(226).Press(CReadOutQuestionDlg::IDC_ALL).Check(CReadOutQuestionDlg::IDC_DELETE, 1).Press(plat::IDOK);
    script.When(226).Press(plat::IDCANCEL);
    boxes.QueueAnswer(plat::IDYES);
    Press(CSumChargeHandler::kReadRecords, "21");
    Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "2"));
    EXPECT_TRUE(m.DeleteAfterwards());
    Feed(chargewire::CountReply(EXTPBX_GETMAXNUMBEROFCALLINFOS_CONF, "856"));
    Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "2"));
    for (int i = 0; i < 2; ++i) Feed(chargewire::RecordReply(i, 1700000100 + i, 30, 1, "21", "0891"));
    EXPECT_EQ(m.Mode(), CSumChargeHandler::kChecking) << c.countAfter;
    EXPECT_EQ(Sent().back(), "0:");
    EXPECT_EQ(report->shown, 0);
    const std::size_t mark = Mark();
    Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, c.countAfter));
    if (c.deleted) {
      EXPECT_EQ(Sent(mark), std::vector<std::string>{"14:"});
      EXPECT_EQ(m.Mode(), CSumChargeHandler::kDeleting);
      Feed(AllDeleted());
      EXPECT_EQ(charges->ReadOutIndex(), 0);
      EXPECT_EQ(report->shown, 1);
      EXPECT_EQ(script.opened.size(), 1u);
    } else {
      // The question comes again; cancelled, nothing is deleted.
      EXPECT_TRUE(Sent(mark).empty());
      EXPECT_EQ(script.opened.size(), 2u);
      EXPECT_EQ(report->shown, 0);
    }
    EXPECT_EQ(m.Mode(), CSumChargeHandler::kIdle);
    EXPECT_FALSE(m.Listening());
    EXPECT_FALSE(m.ProgressOpen());
    EXPECT_FALSE(m.DeleteAfterwards());
    EXPECT_EQ(m.Noted(), nullptr);
  }
}

TEST_F(Manager, CancelOfEitherProgressReleasesTheJobState) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  struct Case {
    plat::UINT start, cancel;
    std::string firstRequest;
    std::uint32_t state;
    const char* title;
    int reports;
  } cases[] = {
      {CSumChargeHandler::kReadSums, CSumChargeHandler::kCancelSums, "12:10", jobstate::kChargeSums,
       "Summengeb\xfchren auslesen...", 0},
      {CSumChargeHandler::kReadAllRecords, CSumChargeHandler::kCancelRecords, "16:", jobstate::kChargeReadout,
       "Gespr\xe4" "chsinformationen auslesen...", 1},
  };
  for (const Case& c : cases) {
    report->shown = 0;
    const std::size_t mark = Mark();
    General(c.start);
    EXPECT_EQ(Sent(mark), std::vector<std::string>{c.firstRequest});
    EXPECT_EQ(core->filter.JobState(), c.state);
    ASSERT_TRUE(m.ProgressOpen());
    EXPECT_STREQ(m.ProgressTexts()[0], c.title);
    // One at a time, from the general buttons too.
    General(CSumChargeHandler::kReadSums);
    General(CSumChargeHandler::kReadAllRecords);
    EXPECT_EQ(Sent(mark).size(), 1u);
    EXPECT_EQ(boxes.shown.back().text, "Besetzt!");
    manager->ExecuteCommand(c.cancel, 0, 0);
    loop.RunUntilIdle();
    EXPECT_EQ(core->filter.JobState(), jobstate::kFree) << c.cancel;
    EXPECT_EQ(charges->Job(), 0);
    EXPECT_FALSE(m.ProgressOpen());
    EXPECT_FALSE(m.Listening());
    EXPECT_EQ(report->shown, c.reports);
  }
}

TEST_F(Manager, ARefusedStartClosesTheProgressAndForgets) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  ASSERT_TRUE(core->filter.TakeOrRelease(jobstate::kViewJob, 1));
  for (plat::UINT start : {CSumChargeHandler::kReadSums, CSumChargeHandler::kReadAllRecords}) {
    const std::size_t mark = Mark();
    General(start);
    EXPECT_TRUE(Sent(mark).empty());
    EXPECT_FALSE(m.ProgressOpen()) << start;
    EXPECT_FALSE(m.Listening());
    EXPECT_EQ(m.Mode(), CSumChargeHandler::kIdle);
  }
  core->filter.TakeOrRelease(jobstate::kViewJob, 0);
  // Free again: the next start runs.
  General(CSumChargeHandler::kReadSums);
  EXPECT_TRUE(m.ProgressOpen());
}

TEST_F(Manager, SumsReadOutSetsEachCounterAndEndsAfterTheLastDevice) {
  Watch(10, 3);
  CSumChargeHandler& m = Make();
  ASSERT_EQ(charges->DeviceCount(), 50);
  General(CSumChargeHandler::kReadSums);
  for (int d = 10; d < 60; ++d) Feed(chargewire::UnitsReply(std::to_string(d), d, std::to_string(d)));
  EXPECT_TRUE(m.ProgressOpen());
  EXPECT_EQ(Sent().back(), "12:60");
  Feed(chargewire::UnitsReply("60", 0, ""));
  EXPECT_FALSE(m.ProgressOpen());
  EXPECT_FALSE(m.Listening());
  for (int d = 10; d < 13; ++d) {
    EXPECT_EQ(m.FindExtension(0, std::to_string(d))->lastSum, d);
    EXPECT_EQ(m.FindExtension(1, std::to_string(d))->number, std::to_string(d));
  }
}

TEST_F(Manager, CallButtonDialsTheExtensionAndGivesARefusedRecordBack) {
  Watch(21, 2);
  core->table.SetMainPhone("21");
  Make();
  std::size_t mark = core->link.sent.size();
  Press(CSumChargeHandler::kCall, "22");
  ASSERT_EQ(core->link.sent.size(), mark + 1);
  EXPECT_EQ(core->link.sent.back().record.Type(), CSTA_MAKE_CALL);
  CCallInfo* first = core->handler.LastDialled();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->calledNumber, "22");
  EXPECT_NE(first->connectedMark, -1);
  // A call is current: the next one is refused and its record released.
  const std::size_t pool = core->handler.PoolSize();
  Press(CSumChargeHandler::kCall, "22");
  EXPECT_EQ(core->link.sent.size(), mark + 1);
  core->handler.PurgeReleasedCalls();
  EXPECT_EQ(core->handler.PoolSize(), pool);
}

TEST_F(Manager, InformationButtonRelabelsAndKeepsTheRecord) {
  Watch(21, 1);
  CSumChargeHandler& m = Make();
  m.FindExtension(0, "21")->lastReset = 1700000000;  // 14.11.23 in any zone near Europe
  const std::int32_t tile = ItemOf("21");
  info.answer = plat::IDCANCEL;
  Press(CSumChargeHandler::kInfo, "21");
  EXPECT_EQ(info.shown, 1);
  EXPECT_EQ(display.Of(tile, "Label").size(), 1u);
  info.answer = plat::IDOK;
  Press(CSumChargeHandler::kInfo, "21");
  EXPECT_EQ(display.Last(tile, "Label").rfind("Neu 1", 0), 0u);
  EXPECT_EQ(display.Last(tile, "Label").size(), std::string("Neu 14.11.23").size());
  SumChargeExtension disk("21");
  ASSERT_EQ(disk.Load(Ini()), 1);
  EXPECT_EQ(disk.name, "Neu");
  EXPECT_EQ(disk.showCheckIn, 1);
}

TEST_F(Manager, CounterFileAfterASaveByteForByte) {
  Watch(21, 2);
  CSumChargeHandler& m = Make();
  m.FindExtension(0, "22")->SetComment("C:\\new\tTab\r\nZeile");
  Drop();
  EXPECT_EQ(countertest::ReadFile(Ini()),
            "[General]\r\nMaxColumns=3\r\nMaxRows=4\r\nMaxDisplaysOnDefault=12\r\nBlinkOnState1=1\r\n"
            "ShowGroupsInOverview=0\r\nNumberOfGroups=1\r\nBKColorDisplay=49087\r\nBKColorChargeNotify=8553215\r\n"
            "[Group_00]\r\nGroupID=0\r\nShortName=Gr. 1\r\nDescription=\r\nMembers=21;22\r\n"
            "[21]\r\nIntNumber=21\r\nInternalName=\r\nIDToken=\r\nComment=\r\nGroup=0\r\nLastSum=0\r\nLastReset=0\r\n"
            "DoDisplay=1\r\nShowCheckIn=0\r\nReceiver=\r\nPrintAsReceipt=0\r\n"
            "[22]\r\nIntNumber=22\r\nInternalName=\r\nIDToken=\r\nComment=C:\\\\new\\tTab\\r\\nZeile\r\nGroup=0\r\n"
            "LastSum=0\r\nLastReset=0\r\nDoDisplay=1\r\nShowCheckIn=0\r\nReceiver=\r\nPrintAsReceipt=0\r\n");
  Make();
  EXPECT_EQ(manager->FindExtension(0, "22")->comment, "C:\\new\tTab\r\nZeile");
}

// A count that arrives while the question is open (another window asked)
// must not open a second question inside the first one's loop.
TEST_F(Manager, OneQuestionAtATime) {
  Watch(21, 2);
  CSumChargeHandler& m = Make();
  DialogScript script;
  int inner = 0;
  script.When(226)
      .Do([&](plat::Dialog&) {
        ++inner;
        if (inner > 1) return;
        ASSERT_EQ(charges->RequestRecordCount(), 1);
        Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "4"));
        loop.RunUntilIdle();  // the question's own loop
      })
      .Press(plat::IDCANCEL);
  script.When(226).Press(plat::IDCANCEL);
  boxes.QueueAnswer(plat::IDYES);
  Press(CSumChargeHandler::kReadRecords, "22");
  Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "3"));
  loop.RunUntilIdle();
  EXPECT_EQ(script.opened.size(), 1u);
  EXPECT_EQ(inner, 1);
  EXPECT_FALSE(m.Listening());
  EXPECT_EQ(m.Noted(), nullptr);
  // Afterwards a new request asks again.
  boxes.QueueAnswer(plat::IDYES);
  Press(CSumChargeHandler::kReadRecords, "22");
  Feed(chargewire::CountReply(EXTPBX_GETNUMBEROFCALLINFOS_CONF, "3"));
  loop.RunUntilIdle();
  EXPECT_EQ(script.opened.size(), 2u);
}

}  // namespace
