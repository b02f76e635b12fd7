// The view with the program's own call windows in their slots: the
// assistant, the keypad, the new-record question and the connection
// drawing, offscreen.
#include <gtest/gtest.h>

#include "app/callwin/assistantdlg.h"
#include "app/callwin/dialdlg.h"
#include "app/callwin/newrecordquestiondlg.h"
#include "app/view/callwindows.h"
#include "tests/phonebook/fake/fake_phonebook.h"
#include "tests/platform/dialogkit/testapp.h"
#include "viewrig.h"

using viewrig::Rig;
using V = CBrimlowView;

namespace {

CSTAMessage Delivered(std::uint32_t callId, const std::string& calling) {
  CSTAMessage m;
  m.SetType(CSTA_DELIVERED);
  m.SetU32(10, callId);
  m.SetText(14, 64, "21");
  m.SetText(80, 64, "21");
  m.SetText(148, 64, calling);
  m.SetText(216, 64, "21");
  return m;
}

class ViewCallWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    r.Build(/*withWindows=*/false);
    InstallCallWindows(*r.view, *r.doc);
    CMonitorEntry e;
    e.SetNumber("21");
    e.watchMode = 2;
    e.monitoringOn = 1;
    r.doc->MonitorTable().SetPartner(nullptr);
    r.doc->MonitorTable().SetEntry(e);
    r.doc->MonitorTable().SetMainPhone("21");
    r.doc->CallHandler().phoneBook = &book;
  }
  void TearDown() override {
    r.view.reset();
    r.doc->CallHandler().phoneBook = nullptr;
  }
  void Start() {
    r.view->Create();
    r.view->OnInitialUpdate();
    r.loop.RunUntilIdle();
    r.Quiet();
  }
  void Incoming(const std::string& calling, std::uint32_t callId) {
    CSTAMessage m = Delivered(callId, calling);
    r.fake->link.OnLinkMessage(linkev::kIncoming, 0, &m);
    r.doc->CallHandler().JoinWorkers();
    r.loop.RunUntilIdle();
  }
  template <class W>
  W& Get(V::WindowSlot slot) {
    return *dynamic_cast<W*>(r.view->Window(slot));
  }
  Rig r;
  FakePhoneBook book;
};

}  // namespace

TEST_F(ViewCallWindows, TheAssistantOpensAtStartWithTheMainPhoneAndShowsACall) {
  GlobalConfig().ASCA = 1;
  Start();
  ASSERT_TRUE(r.view->IsOpen(V::kAssistant));
  CAssistantDlg& a = Get<CAssistantDlg>(V::kAssistant);
  EXPECT_TRUE(a.IsCreated());
  EXPECT_EQ(a.GetItemText(CAssistantDlg::IDC_NUMBERTEXT), "21");
  EXPECT_NE(r.doc->Filter().drawing, nullptr);
  book.Add("0301234", "Muster GmbH", "", "Meier");
  Incoming("00301234", 100);
  EXPECT_EQ(r.tray.icon, V::kIconIncoming);
  EXPECT_NE(a.GetItemText(CAssistantDlg::IDC_CALLER).find("Meier"), std::string::npos)
      << a.GetItemText(CAssistantDlg::IDC_CALLER);
  EXPECT_FALSE(r.view->IsOpen(V::kQuestion));  // a known caller: no question
}

TEST_F(ViewCallWindows, AnUnknownCallerIsAskedAboutAndYesStoresARecord) {
  Start();
  Incoming("0407777", 101);
  ASSERT_TRUE(r.view->IsOpen(V::kQuestion));
  CNewRecordQuestionDlg& q = Get<CNewRecordQuestionDlg>(V::kQuestion);
  ASSERT_TRUE(q.IsCreated());
  EXPECT_TRUE(r.view->IsOpen(V::kAssistant));  // the call opened the assistant too
  ASSERT_TRUE(q.UserPress(plat::IDOK));  // "Ja", answered by a posted 1053
  r.loop.RunUntilIdle();
  EXPECT_FALSE(r.view->IsOpen(V::kQuestion));
  EXPECT_FALSE(q.IsCreated());
  ASSERT_EQ(book.records.size(), 1u);
  EXPECT_EQ(book.records[0]->number, "407777");
  // The next stranger is asked again.
  r.doc->CallHandler().GetCurrentCall(10)->Release();
  Incoming("0408888", 102);
}

TEST_F(ViewCallWindows, TheKeypadFollowsTheCallAndEverythingGoesAtDestruction) {
  Start();
  EXPECT_TRUE(r.view->RunCommand(V::ID_KEYPAD));
  ASSERT_TRUE(r.view->IsOpen(V::kKeypad));
  CDialDlg& k = Get<CDialDlg>(V::kKeypad);
  EXPECT_FALSE(k.InCall());
  Incoming("0407777", 103);
  EXPECT_TRUE(k.InCall());
  EXPECT_TRUE(r.view->RunCommand(V::ID_ASSISTANT));
  CAssistantDlg& a = Get<CAssistantDlg>(V::kAssistant);
  r.view->ShowStep(0);
  r.view->ShowStep(1);
  EXPECT_TRUE(a.IsCreated());
  r.view->Destroy();
  EXPECT_FALSE(a.IsCreated());
  EXPECT_FALSE(k.IsCreated());
  EXPECT_FALSE(Get<CNewRecordQuestionDlg>(V::kQuestion).IsCreated());
  EXPECT_EQ(r.doc->Filter().drawing, nullptr);
}
