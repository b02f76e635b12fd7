// The call windows in the assembled program against the simulated PBX:
// an incoming call in the assistant from ringing to its end, the keypad's
// dial and hang-up, a memory key, and the question about an unknown
// caller. Screenshots of the windows go to the build folder's "shots".
#include <QDialog>
#include <QPixmap>

#include "app/dialogs/subscriberoverviewdlg.h"
#include "platform/filedlg.h"
#include "tests/app/e2e/e2erig.h"

namespace {

using e2e::Program;
using e2e::Shot;
using A = CAssistantDlg;
using K = CDialDlg;
using V = CBrimlowView;

TEST(CallWindowsE2E, AnIncomingCallRingsIsAnsweredAndEndsInTheAssistant) {
  Program p;
  ASSERT_TRUE(p.Start("ASCA=1\r\nPPCU=0.12\r\nCAUN=DM\r\n"));
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->IsOpen());
  EXPECT_EQ(a->GetItemText(A::IDC_NUMBERTEXT), "21");
  Shot(a->Window(), "assistant_idle");

  const auto t0 = e2e::Clock::now();
  const std::uint32_t call = p.sim.IncomingCall("0301234567", "21");
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconIncoming; }, 1000));
  EXPECT_LT(e2e::Clock::now() - t0, std::chrono::seconds(1));
  EXPECT_NE(a->GetItemText(A::IDC_CALLER).find("301234567"), std::string::npos) << a->GetItemText(A::IDC_CALLER);
  EXPECT_TRUE(a->IsItemVisible(A::IDC_HANGUP));
  EXPECT_EQ(a->GetItemText(A::IDC_HANGUP), e2e::Text(15, 64));
  EXPECT_EQ(p.tray.Last().record.icon, V::kIconIncoming);
  Shot(a->Window(), "assistant_ringing");

  p.sim.Answer(call);
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconOutgoing; }));
  Shot(a->Window(), "assistant_connected");

  p.sim.Clear(call, "21");
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconIdle; }));
  EXPECT_EQ(a->GetItemText(A::IDC_CHARGE), " 0.00 DM");
  EXPECT_FALSE(a->IsItemVisible(A::IDC_HANGUP));
  EXPECT_TRUE(p.Pump([&] { return p.tray.Last().record.icon == V::kIconIdle; }));
  Shot(a->Window(), "assistant_ended");
  EXPECT_TRUE(p.Exit());
  EXPECT_EQ(p.exitStatus, 0);
}

TEST(CallWindowsE2E, TheKeypadDialsAndHangsUpItsOwnCall) {
  Program p;
  ASSERT_TRUE(p.Start());
  ASSERT_TRUE(p.View().RunCommand(V::ID_KEYPAD));
  K* k = p.Keypad();
  ASSERT_NE(k, nullptr);
  ASSERT_TRUE(p.Pump([&] { return k->IsOpen(); }));
  ASSERT_TRUE(k->UserPress(K::IDC_KEY1 + 1));  // "2"
  ASSERT_TRUE(k->UserPress(K::IDC_KEY1 + 1));
  EXPECT_EQ(k->GetItemText(K::IDC_NUMBER), "22");
  EXPECT_FALSE(k->IsItemEnabled(K::IDC_HANGUP));
  ASSERT_TRUE(k->UserPress(K::IDC_DIAL));
  ASSERT_TRUE(p.MadeCallTo("22"));
  ASSERT_TRUE(p.Pump([&] { return k->InCall(); }));
  EXPECT_TRUE(k->IsItemEnabled(K::IDC_HANGUP));
  EXPECT_FALSE(k->IsItemEnabled(K::IDC_DIAL));
  Shot(k->Window(), "keypad_in_call");

  ASSERT_TRUE(k->UserPress(K::IDC_HANGUP));
  EXPECT_TRUE(p.sim.WaitForCount(CSTA_CLEAR_CONNECTION, 1, 3000));
  ASSERT_TRUE(p.Pump([&] { return !k->InCall() && k->GetItemText(K::IDC_NUMBER).empty(); }));
  EXPECT_FALSE(k->IsItemEnabled(K::IDC_HANGUP));
  EXPECT_TRUE(p.Pump([&] { return !p.sim.HasCall(p.LastCall()); }));
  EXPECT_TRUE(p.Exit());
}

TEST(CallWindowsE2E, AMemoryKeyDialsItsEntryOnceWhileItsCallIsGoingOn) {
  Program p;
  testsupport::PutFile(p.sdfn, std::string(e2e::kMonTab) +
                                   "[SHRTDIAL-01]\r\nFM=\r\nNM=Kunde\r\nNR=0301234567\r\nTE=Kunde\r\nTT=\r\nFN=\r\n"
                                   "DBR=0\r\nIX=1\r\nSP=1\r\nEXT=1\r\n");
  ASSERT_TRUE(p.Start("ASCA=1\r\n"));
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->GetItemText(A::IDC_LABEL1), "Kunde");
  EXPECT_EQ(a->GetItemText(A::IDC_LABEL1 + 1), "*");
  ASSERT_TRUE(a->UserPress(A::IDC_M1));
  ASSERT_TRUE(p.MadeCallTo("301234567"));
  // Pressed again while its own call goes on: nothing more is dialled.
  p.Idle(200);
  ASSERT_TRUE(a->UserPress(A::IDC_M1));
  p.Idle(300);
  EXPECT_EQ(p.MadeCalls().size(), 1u);
  EXPECT_TRUE(p.Exit());
}

TEST(CallWindowsE2E, AnUnknownExternalCallerIsAskedAboutAndYesClosesTheQuestion) {
  Program p;
  ASSERT_TRUE(p.Start("AWNNCI=1\r\n"));
  const std::uint32_t call = p.sim.IncomingCall("0309876543", "21");
  ASSERT_TRUE(p.Pump([&] { return p.View().IsOpen(V::kQuestion); }, 2000));
  plat::Dialog* q = p.Question();
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->GetItemText(1226), e2e::Text(1, 3));
  Shot(q->Window(), "question_173");
  ASSERT_TRUE(q->UserPress(plat::IDOK));
  ASSERT_TRUE(p.Pump([&] { return !p.View().IsOpen(V::kQuestion) && !q->IsCreated(); }));
  p.sim.Clear(call, "21");
  EXPECT_TRUE(p.Exit());
}

TEST(CallWindowsE2E, APhoneBookCallerShowsByNameWithinASecond) {
  Program p;
  // The PBX puts its trunk digit before the caller's number; the book
  // holds it as the user writes it.
  ASSERT_TRUE(e2e::PutRecord(p.dnfn, "Muster GmbH", "Erika Muster", "030 1234567"));
  ASSERT_TRUE(p.Start("ASCA=1\r\n"));
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  const auto t0 = e2e::Clock::now();
  const std::uint32_t call = p.sim.IncomingCall("00301234567", "21");
  ASSERT_TRUE(p.Pump([&] { return a->GetItemText(A::IDC_CALLER).find("Muster GmbH") != std::string::npos; }, 1000))
      << a->GetItemText(A::IDC_CALLER);
  EXPECT_LT(e2e::Clock::now() - t0, std::chrono::seconds(1));
  EXPECT_NE(a->GetItemText(A::IDC_CALLER).find("Erika Muster"), std::string::npos);
  EXPECT_EQ(a->CurrentIcon(), A::kIconIncoming);
  // A known caller is not asked about.
  p.Idle(300);
  EXPECT_FALSE(p.View().IsOpen(V::kQuestion));
  Shot(a->Window(), "assistant_known_caller");
  p.sim.Answer(call);
  p.sim.Clear(call, "21");
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconIdle; }));
  EXPECT_TRUE(p.Exit());
}

TEST(CallWindowsE2E, YesToTheQuestionPutsTheUnknownCallerIntoThePhoneBook) {
  Program p;
  ASSERT_TRUE(e2e::PutRecord(p.dnfn, "Andere AG", "Max Meier", "0407654321"));
  ASSERT_TRUE(p.Start("AWNNCI=1\r\n"));
  const std::uint32_t call = p.sim.IncomingCall("00309876543", "21");
  ASSERT_TRUE(p.Pump([&] { return p.View().IsOpen(V::kQuestion); }, 2000));
  ASSERT_TRUE(p.Question()->UserPress(plat::IDOK));
  ASSERT_TRUE(p.Pump([&] { return !p.View().IsOpen(V::kQuestion); }));
  p.Idle(200);
  p.sim.Clear(call, "21");
  ASSERT_TRUE(p.Pump([&] { return p.Doc().CallHandler().GetCurrentCall(hub::kIdView) == nullptr; }));
  EXPECT_TRUE(p.Exit());
  EXPECT_EQ(e2e::RecordsWithNumber(p.dnfn, "0309876543"), 1);
  EXPECT_EQ(e2e::RecordsWithNumber(p.dnfn, "0407654321"), 1);
  EXPECT_EQ(e2e::RecordsWithNumber(p.dnfn, "309876543"), 0);
}

// 32808 puts another phone book in place: the one in use is written
// first, the new name goes into the settings, and its callers are known
// at once.
TEST(CallWindowsE2E, TheDatabaseCommandSwitchesThePhoneBookAndItsCallersAreKnown) {
  Program p;
  const std::string other = (p.root / "home" / "kunden.db").string();
  ASSERT_TRUE(e2e::PutRecord(p.dnfn, "Andere AG", "Max Meier", "0407654321"));
  ASSERT_TRUE(e2e::PutRecord(other, "Muster GmbH", "Erika Muster", "0301234567"));
  ASSERT_TRUE(p.Start("ASCA=1\r\n"));
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  plat::ScriptedFileDialog files;
  plat::SetFileDialogImpl(&files);
  files.answers = {"", other};
  ASSERT_TRUE(p.app->Frame()->IsCommandEnabled(V::ID_DATABASE_FILE));
  p.app->Frame()->RunCommand(V::ID_DATABASE_FILE);  // cancelled: nothing changes
  EXPECT_EQ(p.Doc().Database().Path(), p.dnfn);
  p.app->Frame()->RunCommand(V::ID_DATABASE_FILE);
  plat::SetFileDialogImpl(nullptr);
  ASSERT_EQ(files.requests.size(), 2u);
  const plat::FileDialogRequest& r = files.requests[1];
  EXPECT_EQ(r.fileName, p.dnfn);  // it starts at the book in use
  EXPECT_EQ(r.defaultSuffix, "db");
  ASSERT_FALSE(r.filters.empty());
  EXPECT_EQ(r.filters[0].second, "*.db");
  EXPECT_EQ(p.Doc().Database().Path(), other);
  EXPECT_EQ(GlobalConfig().DNFN, other);

  const std::uint32_t call = p.sim.IncomingCall("00301234567", "21");  // the trunk digit first
  ASSERT_TRUE(p.Pump([&] { return a->GetItemText(A::IDC_CALLER).find("Muster GmbH") != std::string::npos; }, 2000))
      << a->GetItemText(A::IDC_CALLER);
  EXPECT_NE(a->GetItemText(A::IDC_CALLER).find("Erika Muster"), std::string::npos);
  p.Idle(300);
  EXPECT_FALSE(p.View().IsOpen(V::kQuestion));  // a known caller is not asked about
  p.sim.Answer(call);
  p.sim.Clear(call, "21");
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconIdle; }));
  EXPECT_TRUE(p.Exit());
  // The next start opens the chosen book; the old one is whole.
  EXPECT_NE(testsupport::FileBytes(p.Ini()).find("DNFN=" + other + "\r\n"), std::string::npos);
  EXPECT_EQ(e2e::RecordsWithNumber(p.dnfn, "0407654321"), 1);
  EXPECT_EQ(e2e::RecordsWithNumber(other, "0301234567"), 1);
}

TEST(CallWindowsE2E, APhoneBookThatCannotBeOpenedLeavesTheOneInUse) {
  Program p;
  ASSERT_TRUE(e2e::PutRecord(p.dnfn, "Muster GmbH", "Erika Muster", "0301234567"));
  ASSERT_TRUE(p.Start("ASCA=1\r\n"));
  const std::string missing = (p.root / "home" / "fehlt" / "neu.db").string();
  plat::ScriptedFileDialog files;
  plat::SetFileDialogImpl(&files);
  files.answers = {missing};
  p.app->Frame()->RunCommand(V::ID_DATABASE_FILE);
  plat::SetFileDialogImpl(nullptr);
  EXPECT_EQ(p.Doc().Database().Path(), p.dnfn);
  EXPECT_TRUE(p.Doc().Database().IsOpen());
  EXPECT_EQ(GlobalConfig().DNFN, p.dnfn);
  ASSERT_TRUE(p.Pump([&] { return p.boxes.Saw(missing); }, 2000));
  EXPECT_TRUE(p.boxes.Saw(e2e::Text(43, 4)));
  // Its callers are still known.
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  const std::uint32_t call = p.sim.IncomingCall("00301234567", "21");
  ASSERT_TRUE(p.Pump([&] { return a->GetItemText(A::IDC_CALLER).find("Muster GmbH") != std::string::npos; }, 2000));
  p.sim.Clear(call, "21");
  ASSERT_TRUE(p.Pump([&] { return a->CurrentIcon() == A::kIconIdle; }));
  EXPECT_TRUE(p.Exit());
}

// 32794 switches the overview's hover texts off and on again.
TEST(CallWindowsE2E, TheOverviewsDisplaySwitchTurnsItsHoverTextsOffAndOn) {
  Program p;
  ASSERT_TRUE(p.Start());
  ASSERT_TRUE(p.app->Frame()->RunCommand(V::ID_OVERVIEW));
  auto* overview = dynamic_cast<CSubscriberOverviewDlg*>(p.View().Window(V::kOverview));
  ASSERT_NE(overview, nullptr);
  ASSERT_TRUE(p.Pump([&] { return overview->FilledRows() > 0; })) << overview->FilledRows();
  auto tip = [&] { return overview->Item(CSubscriberOverviewDlg::NameId(0))->toolTip(); };
  EXPECT_TRUE(overview->HoverTexts());
  EXPECT_FALSE(tip().isEmpty());
  const bool states[] = {false, true, false};
  for (bool on : states) {
    ASSERT_TRUE(p.app->Frame()->RunCommand(32794));
    EXPECT_EQ(overview->HoverTexts(), on);
    EXPECT_EQ(tip().isEmpty(), !on);
  }
  EXPECT_TRUE(p.Exit());
}

}  // namespace

// The assistant's close box asks whether to end the program: "Nein" hides
// the assistant, "Ja" ends the program the normal way (the link stopped).
TEST(CallWindowsE2E, TheAssistantsCloseQuestionYesEndsTheProgram) {
  Program p;
  ASSERT_TRUE(p.Start("ASCA=1\r\n"));
  A* a = p.Assistant();
  ASSERT_NE(a, nullptr);
  ASSERT_TRUE(a->IsOpen());
  p.boxes.fallback = plat::IDNO;
  a->CloseBox();
  ASSERT_TRUE(p.Pump([&] { return a->Window() && !a->Window()->isVisible(); }));
  EXPECT_TRUE(p.app->Frame()->isVisible());

  p.boxes.rules.push_back({e2e::Text(15, 52), plat::IDYES});
  a->CloseBox();
  EXPECT_TRUE(p.Pump([&] { return p.app->Frame()->Closed(); }, 8000));
  EXPECT_EQ(p.boxes.shown.size(), 2u);
  EXPECT_TRUE(p.boxes.Saw(e2e::Text(15, 52)));
  EXPECT_GE(p.sim.ReceivedCount(CSTA_MONITOR_STOP), 3u);
}
