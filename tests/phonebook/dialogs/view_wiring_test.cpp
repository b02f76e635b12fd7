// The phone book's windows on the view's hub: a call's match opens a
// record view, 1039 and the call's end close it, the database command opens
// the database window, and the picker is the program's.
#include <gtest/gtest.h>

#include <cstring>

#include "app/view/phonebookwindows.h"
#include "core/callhandler/callpartners.h"
#include "phonebook/dialogs/dbview.h"
#include "phonebook/iface/picker.h"
#include "tests/app/view/viewrig.h"
#include "tests/phonebook/dialogs/memstore.h"
#include "tests/phonebook/dialogs/pbtest_support.h"

TEST(PhoneBookOnTheHub, RecordViewsDatabaseWindowAndPicker) {
  testapp::App();
  plat::SetTextSource(&pbtest::TestText);
  viewrig::Rig rig;
  rig.Build(false);
  pbtest::MemStore store;
  store.Add("Alpha", "Anton", "0401");
  GlobalConfig().BCPW = 0;
  GlobalConfig().ECPW = 0;
  auto windows = InstallPhoneBookWindows(*rig.view, &store);
  ASSERT_TRUE(windows);
  EXPECT_NE(CurrentPhoneBookPicker(), nullptr);

  pb::RecordParams params(store.records[0]);
  CCallInfo call;
  call.callId = 5;
  CallRecordMatch match{&params, &call, 0};
  plat::SendMessage(rig.view->Id(), hub::kShowRecordMatch, 17, 0, &match, sizeof match);
  EXPECT_EQ(windows->RecordViews().OpenCount(), 1);
  rig.Hub(hub::kCloseRecordView, 0, 0);
  EXPECT_EQ(windows->RecordViews().OpenCount(), 0);

  plat::SendMessage(rig.view->Id(), hub::kShowRecordMatch, 17, 0, &match, sizeof match);
  ASSERT_EQ(windows->RecordViews().OpenCount(), 1);
  rig.Hub(hub::kCallCleared, 17, viewrig::Rig::P(&call));
  EXPECT_EQ(windows->RecordViews().OpenCount(), 0);

  EXPECT_TRUE(rig.view->RunCommand(CBrimlowView::ID_DATABASE));
  rig.loop.RunUntilIdle();
  EXPECT_TRUE(rig.view->IsOpen(CBrimlowView::kDatabase));
  rig.view.reset();
  windows.reset();
  EXPECT_EQ(CurrentPhoneBookPicker(), nullptr);
  plat::SetTextSource(nullptr);
}
