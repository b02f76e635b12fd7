// Lookups of incoming-call workers beside the main thread's saves, edits
// and purges: each worker sees whole records of its own search only.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "phonebook/database.h"
#include "tests/phonebook/pbtemp.h"

TEST(PhoneBookThreads, WorkerLookupsBesideSavesAndPurges) {
  pbtest::TempFolder dir("pb_threads");
  CMyDataBase db;
  db.SetLogSink([](const std::string&) {});
  ASSERT_EQ(db.Open(dir / "book.db"), 1);
  for (int i = 0; i < 40; ++i) {
    CMyDataBaseItem* e = db.GetEmptyItem(-1);
    e->SetFieldText(PBF_NUMBER, "0711" + std::to_string(i));
    e->SetFieldText(PBF_COMPANY, "C" + std::to_string(i));
    ASSERT_EQ(db.SaveItem(e, -1), 1);
  }
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0}, found{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w)
    workers.emplace_back([&, w] {
      for (int k = 0; !stop.load() || k < 50; ++k) {
        int i = (k * 7 + w) % 40;
        CDataBaseParam p;
        p.SetText("0711" + std::to_string(i));
        if (db.FindRecord(PBP_NUMBER, p, "", 0) != PBS_FOUND) continue;
        CMyDataBaseParamInterface* hit = nullptr;
        if (db.FirstSearchHit(&hit) != PBS_DONE || !hit) {
          ++wrong;
          continue;
        }
        CDataBaseParam v;
        hit->GetParam(PBP_COMPANY, &v);
        // the company of the number asked for, or its edited form
        if (v.Text() != "C" + std::to_string(i) && v.Text() != "E" + std::to_string(i)) ++wrong;
        ++found;
      }
    });
  for (int round = 0; round < 30; ++round) {
    CMyDataBaseItem* e = db.GetEmptyItem(-1);
    e->SetFieldText(PBF_NUMBER, "0999" + std::to_string(round));
    db.SaveItem(e, -1);
    db.FindByField(PBF_COMPANY, "C*", 0, -1);
    if (CMyDataBaseItem* h = db.FirstHit(-1)) {
      std::string num = h->GetFieldText(PBF_NUMBER);
      h->SetFieldText(PBF_COMPANY, "E" + num.substr(4));
      db.UpdateItem(h, -1);
    }
    db.Last(-1);
    db.DeleteItem(db.Current(), -1);
  }
  stop = true;
  for (auto& t : workers) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(found.load(), 0);
}
