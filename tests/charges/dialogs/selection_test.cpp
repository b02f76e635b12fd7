// Dialog 191 on a real handler: what OK writes into the selection, what a
// wrong date or Cancel leaves alone, and how the list shows the flags.
#include <array>

#include "charges/dialogs/selectioncriteriadlg.h"
#include "chargedlg_support.h"
#include "platform/dialogkit/dlgscript.h"

using plat::DialogScript;
using S = CSelectionCriteriaDlg;

namespace {

class Selection : public chargedlgtest::ChargeDlgTest {
 protected:
  int Run(DialogScript::Steps& steps, int press = 1) {
    steps.Press(press).Do([&](plat::Dialog&) { loop.RunUntilIdle(); });
    S dlg(handler.get(), table.get());
    return dlg.DoModal(0);
  }
  std::array<std::int32_t, 60> Flags() const {
    std::array<std::int32_t, 60> f{};
    handler->GetExtensionFlags(60, f.data());
    return f;
  }
  static std::array<std::int32_t, 60> Only(std::initializer_list<int> on) {
    std::array<std::int32_t, 60> f{};
    for (int i : on) f[static_cast<std::size_t>(i)] = 1;
    return f;
  }
  std::int32_t Param(int id) { return *static_cast<const std::int32_t*>(handler->GetParameter(id)); }
};

TEST_F(Selection, EntriesKeepTheirIndexAndOkFlagsThoseChosen) {
  std::array<std::int32_t, 60> all{};
  all.fill(1);
  struct Case {
    const char* name;
    std::function<void(plat::Dialog&)> act;
    std::array<std::int32_t, 60> want;
  } cases[] = {
      // Slot 15 has no number: it is listed as "15" and still flagged.
      {"index 5 listed as 15", [](plat::Dialog& d) {
         for (int i = 0; i < 60; ++i) static_cast<S&>(d).SetEntrySelected(i, i == 5);
       }, Only({5})},
      {"a numbered one and an empty one", [](plat::Dialog& d) {
         for (int i = 0; i < 60; ++i) static_cast<S&>(d).SetEntrySelected(i, i == 11 || i == 59);
       }, Only({11, 59})},
      {"alle", [](plat::Dialog& d) { d.UserPress(S::IDC_ALL); }, all},
      {"none", [](plat::Dialog& d) {
         for (int i = 0; i < 60; ++i) static_cast<S&>(d).SetEntrySelected(i, false);
       }, Only({})},
  };
  for (const Case& c : cases) {
    handler->SelectExtension("-", 0);
    std::string text5, count;
    DialogScript script;
    auto& steps = script.When(191).Do([&](plat::Dialog& d) {
      text5 = d.GetLBText(S::IDC_LIST, 5);
      c.act(d);
      count = d.GetItemText(S::IDC_COUNT);
    });
    EXPECT_EQ(Run(steps), plat::IDOK) << c.name;
    EXPECT_EQ(text5, "15") << c.name;
    EXPECT_EQ(Flags(), c.want) << c.name;
    int n = 0;
    for (auto f : c.want) n += f != 0;
    EXPECT_EQ(count, std::to_string(n)) << c.name;
  }
}

TEST_F(Selection, OpeningShowsTheFlagsByIndex) {
  const std::array<std::int32_t, 60> want = Only({5, 11, 40});
  handler->SetExtensionFlags(60, want.data());
  std::vector<int> shown;
  DialogScript script;
  auto& steps = script.When(191).Do([&](plat::Dialog& d) { shown = static_cast<S&>(d).SelectedEntries(); });
  Run(steps, 2);
  EXPECT_EQ(shown, (std::vector<int>{5, 11, 40}));
  EXPECT_EQ(Flags(), want);
}

TEST_F(Selection, FieldsGoToTheirParameters) {
  config.PPCU = 0.25f;
  struct Case {
    const char* charge;
    int units;  // minimum units after OK
  } cases[] = {{"1,00", 4}, {"1.00", 4}, {"0,50", 2}, {"2", 8}};
  for (const Case& c : cases) {
    DialogScript script;
    auto& steps = script.When(191)
                      .Check(S::IDC_DURATION_ON, 1)
                      .Check(S::IDC_CHARGE_ON, 0)
                      .Check(S::IDC_EXTENSIONS_ON, 1)
                      .Check(S::IDC_PERIOD_ON, 1)
                      .Check(S::IDC_SHOW_NUMBERS, 0)
                      .Set(S::IDC_MIN_DURATION, "45")
                      .Set(S::IDC_MIN_CHARGE, c.charge);
    Run(steps);
    EXPECT_EQ(Param(12), 1) << c.charge;
    EXPECT_EQ(Param(13), 0) << c.charge;
    EXPECT_EQ(Param(11), 1) << c.charge;
    EXPECT_EQ(Param(9), 1) << c.charge;
    EXPECT_EQ(Param(6), 45) << c.charge;
    EXPECT_EQ(Param(10), c.units) << c.charge;
    EXPECT_EQ(handler->GetShowNumbers(), 0) << c.charge;
  }
}

TEST_F(Selection, PeriodFromTheBoxesAndWrongDatesStayOpen) {
  struct Case {
    const char* name;
    std::array<int, 5> from, to;  // day, month, year, hour, minute; 0 leaves the box empty
    bool taken;
    std::time_t wantFrom, wantTo;
  } cases[] = {
      {"a period", {3, 2, 2024, 8, 30}, {29, 2, 2024, 17, 5}, true,
       testsupport::LocalTime(2024, 2, 3, 8, 30, 0), testsupport::LocalTime(2024, 2, 29, 17, 5, 59)},
      {"no start day", {0, 2, 2024, 8, 30}, {29, 2, 2024, 17, 5}, true, 0,
       testsupport::LocalTime(2024, 2, 29, 17, 5, 59)},
      {"31 February", {31, 2, 2024, 0, 0}, {1, 3, 2024, 0, 0}, false, 0, 0},
      {"29 February 2023", {1, 1, 2023, 0, 0}, {29, 2, 2023, 0, 0}, false, 0, 0},
  };
  for (const Case& c : cases) {
    handler->SetTimeRange(1000, 2000);
    boxes.shown.clear();
    bool stillOpen = false;
    DialogScript script;
    auto pick = [](plat::Dialog& d, const int* ids, const std::array<int, 5>& v) {
      d.SetCurSel(ids[0], v[0]);
      d.SetCurSel(ids[1], v[1]);
      d.SetCurSel(ids[2], v[2] ? v[2] - S::kFirstYear + 1 : 0);
      d.SetCurSel(ids[3], v[3] + 1);
      d.SetCurSel(ids[4], v[4] + 1);
    };
    const int fromIds[] = {S::IDC_FROM_DAY, S::IDC_FROM_MONTH, S::IDC_FROM_YEAR, S::IDC_FROM_HOUR, S::IDC_FROM_MINUTE};
    const int toIds[] = {S::IDC_TO_DAY, S::IDC_TO_MONTH, S::IDC_TO_YEAR, S::IDC_TO_HOUR, S::IDC_TO_MINUTE};
    auto& steps = script.When(191)
                      .Do([&](plat::Dialog& d) {
                        pick(d, fromIds, c.from);
                        pick(d, toIds, c.to);
                      })
                      .Press(1)
                      .Do([&](plat::Dialog& d) {
                        loop.RunUntilIdle();
                        stillOpen = !d.Ended();
                      });
    const int result = Run(steps, 2);
    std::uint32_t from = 0, to = 0;
    handler->GetTimeRange(&from, &to);
    EXPECT_EQ(stillOpen, !c.taken) << c.name;
    EXPECT_EQ(result, c.taken ? plat::IDOK : plat::IDCANCEL) << c.name;
    if (c.taken) {
      EXPECT_EQ(from, static_cast<std::uint32_t>(c.wantFrom)) << c.name;
      EXPECT_EQ(to, static_cast<std::uint32_t>(c.wantTo)) << c.name;
      EXPECT_TRUE(boxes.shown.empty()) << c.name;
    } else {
      EXPECT_EQ(from, 1000u) << c.name;
      EXPECT_EQ(to, 2000u) << c.name;
      EXPECT_EQ(BoxTexts(), std::vector<std::string>{"T29.15"}) << c.name;
    }
  }
}

TEST_F(Selection, CancelChangesNothing) {
  const ChargeFileHeader before = handler->Header();
  DialogScript script;
  auto& steps = script.When(191).Do([](plat::Dialog& d) {
    d.UserPress(S::IDC_ALL);
    d.UserSetText(S::IDC_MIN_DURATION, "999");
  });
  Run(steps, 2);
  std::uint8_t a[ChargeFileHeader::kSize], b[ChargeFileHeader::kSize];
  before.Serialize(a);
  handler->Header().Serialize(b);
  EXPECT_EQ(std::string(a, a + sizeof a), std::string(b, b + sizeof b));
}

}  // namespace
