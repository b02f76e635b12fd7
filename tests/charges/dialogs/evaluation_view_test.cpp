// The view's call evaluation commands: 32803 keeps one modeless dialog 201
// and the view closes it, giving the handler its switches back, before the
// handler goes; 32801 runs the modal one on the service record file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractButton>
#include <QDialog>

#include <fstream>

#include "app/view/chargewindows.h"
#include "charges/dialogs/callevaluationdlg.h"
#include "charges/handler/chargeandloghandler.h"
#include "platform/dialogkit/dlgscript.h"
#include "tests/app/view/viewrig.h"
#include "tests/platform/dialogkit/testapp.h"

namespace {

using E = CCallEvaluationDlg;

std::vector<QDialog*> Open201() {
  std::vector<QDialog*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->findChild<QWidget*>("1573")) out.push_back(d);
  return out;
}

class EvaluationCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    testapp::App();
    r = std::make_unique<viewrig::Rig>();
    r->Start(/*withWindows=*/false);
    InstallChargeWindows(*r->view, *r->doc);
  }
  void TearDown() override { r.reset(); }
  std::int32_t Switch(int id) { return *static_cast<const std::int32_t*>(r->view->Charges().GetParameter(id)); }
  std::unique_ptr<viewrig::Rig> r;
};

TEST_F(EvaluationCommands, OneModelessEntriesWindowClosedBeforeTheHandlerGoes) {
  CChargeAndLogHandler& h = r->view->Charges();
  const std::int32_t off = 0;
  for (int id : {7, 8, 9, 11, 12, 13}) h.SetParameter(id, &off);
  h.SetParameter(1, "*");
  ASSERT_TRUE(r->view->Commands().Run(32803));
  ASSERT_EQ(Open201().size(), 1u);
  QDialog* d = Open201().front();
  // The user takes filter 4 with every switch on.
  auto* radio = d->findChild<QAbstractButton*>("1577");
  ASSERT_NE(radio, nullptr);
  radio->click();
  for (const char* id : {"1589", "1590", "1594", "1592", "1602", "1595"}) {
    auto* box = d->findChild<QAbstractButton*>(id);
    ASSERT_NE(box, nullptr) << id;
    box->setChecked(true);
  }
  d->findChild<QAbstractButton*>("1596")->click();
  EXPECT_EQ(Switch(7), 1);
  EXPECT_EQ(Switch(12), 1);
  // A second command raises the open one.
  ASSERT_TRUE(r->view->Commands().Run(32803));
  EXPECT_EQ(Open201().size(), 1u);
  r->view->Destroy();
  EXPECT_TRUE(Open201().empty());
  for (int id : {7, 8, 9, 11, 12, 13}) EXPECT_EQ(Switch(id), 0) << id;
}

TEST_F(EvaluationCommands, ServiceRecordsRunModalOnTheViewsFile) {
  const auto path = r->globals.dir / "service.xxx";
  std::ofstream(path, std::ios::binary) << "0\t15.01.24\t12:00:00\t00:00:30\t21\t0301111\t1\r\n";
  r->view->ServiceRecords().SetFileName(path.string());
  std::vector<std::string> lines;
  plat::DialogScript script;
  script.When(201).Do([&](plat::Dialog& d) {
    const auto& l = static_cast<E&>(d).Lines();
    for (std::size_t i = 0; i < l.Count(); ++i) lines.emplace_back(l.Line(i));
    EXPECT_EQ(static_cast<E&>(d).Source(), E::kServiceFile);
  }).Press(1);
  ASSERT_TRUE(r->view->Commands().Run(32801));
  EXPECT_EQ(lines, std::vector<std::string>{"0\t15.01.24\t12:00:00\t00:00:30\t21\t0301111\t1"});
  EXPECT_EQ(script.opened.size(), 1u);
}

}  // namespace
