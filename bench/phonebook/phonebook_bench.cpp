// The phone book on 100,000 records, each figure beside its yardstick:
// - a caller lookup (hits and misses, three fields read) against a linear
//   scan of the file for the number: at most 100 us and 1/100 of the scan;
// - open with the number index against one sequential read() of the file:
//   at most 2 times (CPU time, as every bound here that reads from the page
//   cache);
// - a purge against copying the file with fdatasync: at most 3 times;
// - a "*" name search against the sequential read: at most 3 times.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bound.h"
#include "bench/phonebook/benchbook.h"
#include "phonebook/database.h"
#include "platform/fileio.h"

namespace {

using benchbook::kRecords;
using benchbook::Number;

const benchbook::Book& TheBook() {
  static const benchbook::Book book("brimlow_pb_bench_", "Stuttgart");
  return book;
}
std::string Dir() { return TheBook().dir; }
std::string WriteBook(const std::string& name) { return TheBook().Write(name); }

CMyDataBase& OpenBook() {
  static CMyDataBase* db = [] {
    auto* d = new CMyDataBase;
    d->SetLogSink([](const std::string&) {});
    d->Open(WriteBook("lookup.db"));
    return d;
  }();
  return *db;
}

void BM_CallerLookup(benchmark::State& state) {
  CMyDataBase& db = OpenBook();
  int i = 0;
  std::size_t found = 0;
  for (auto _ : state) {
    CDataBaseParam p;
    // hits and misses in turn
    p.SetText(i % 2 ? Number((i * 7919) % kRecords) : "0999" + std::to_string(i));
    if (db.FindRecord(PBP_NUMBER, p, "", 0) == PBS_FOUND) {
      CMyDataBaseParamInterface* hit = nullptr;
      db.FirstSearchHit(&hit);
      CDataBaseParam a, b, c;
      hit->GetParam(PBP_NUMBER, &a);
      hit->GetParam(PBP_COMPANY, &b);
      hit->GetParam(PBP_TITLE_AND_NAME, &c);
      found += a.Length() + b.Length() + c.Length();
    }
    ++i;
  }
  benchmark::DoNotOptimize(found);
}
BENCHMARK(BM_CallerLookup)->Unit(benchmark::kMicrosecond);

// Yardstick: the number searched by reading the file from the start.
void BM_LinearScanLookup(benchmark::State& state) {
  std::string path = WriteBook("scan.db");
  std::vector<char> buf(1024 * DataBaseRecord::kSize);
  int i = 0;
  for (auto _ : state) {
    std::string wanted = i % 2 ? Number((i * 7919) % kRecords) : "0999" + std::to_string(i);
    int fd = ::open(path.c_str(), O_RDONLY);
    off_t at = DataBaseHeader::kSize;
    bool hit = false;
    for (ssize_t n; !hit && (n = ::pread(fd, buf.data(), buf.size(), at)) > 0; at += n)
      for (ssize_t k = 0; k + static_cast<ssize_t>(DataBaseRecord::kSize) <= n; k += DataBaseRecord::kSize)
        if (buf[static_cast<std::size_t>(k) + 4] && std::strcmp(&buf[static_cast<std::size_t>(k) + 146], wanted.c_str()) == 0) {
          hit = true;
          break;
        }
    ::close(fd);
    benchmark::DoNotOptimize(hit);
    ++i;
  }
}
BENCHMARK(BM_LinearScanLookup)->Unit(benchmark::kMicrosecond);

void BM_OpenWithIndex(benchmark::State& state) {
  std::string path = WriteBook("open.db");
  for (auto _ : state) {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    benchmark::DoNotOptimize(db.Open(path));
  }
}
BENCHMARK(BM_OpenWithIndex)->Unit(benchmark::kMillisecond);

// Yardstick for open and the name search: the whole file through read().
void BM_SequentialRead(benchmark::State& state) { benchbook::SequentialRead(state, WriteBook("read.db")); }
BENCHMARK(BM_SequentialRead)->Unit(benchmark::kMillisecond);

void BM_NameSearchWithStar(benchmark::State& state) {
  CMyDataBase& db = OpenBook();
  for (auto _ : state) benchmark::DoNotOptimize(db.FindByField(PBF_NAME, "zz*", 0, -1));  // no hit: the whole file
}
BENCHMARK(BM_NameSearchWithStar)->Unit(benchmark::kMillisecond);

void BM_Purge(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::string path = WriteBook("purge.db");
    std::filesystem::remove(Dir() + "/delitems.db");
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    db.Open(path);
    state.ResumeTiming();
    benchmark::DoNotOptimize(db.Purge(0, 1));
  }
}
BENCHMARK(BM_Purge)->Unit(benchmark::kMillisecond);

// Yardstick: the file copied to a new one, synced.
void BM_CopyWithFdatasync(benchmark::State& state) {
  std::string from = WriteBook("copy.db");
  std::string to = Dir() + "/copy2.db";
  std::vector<char> buf(1024 * DataBaseRecord::kSize);
  for (auto _ : state) {
    int in = ::open(from.c_str(), O_RDONLY);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    for (ssize_t n; (n = ::read(in, buf.data(), buf.size())) > 0;)
      if (::write(out, buf.data(), static_cast<std::size_t>(n)) != n) break;
    ::fdatasync(out);
    ::close(out);
    ::close(in);
  }
}
BENCHMARK(BM_CopyWithFdatasync)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchbound::Reporter r;
  benchmark::RunSpecifiedBenchmarks(&r);
  benchmark::Shutdown();
  bool met = benchbound::CheckMicroseconds(r, "caller lookup", "BM_CallerLookup", 100);
  met = benchbound::CheckRatios(r, {{"caller lookup / linear scan", "BM_CallerLookup", "BM_LinearScanLookup", 0.01},
                                    {"open with the index / sequential read", "BM_OpenWithIndex", "BM_SequentialRead", 2.0, true},
                                    {"purge / copy with fdatasync", "BM_Purge", "BM_CopyWithFdatasync", 3.0},
                                    {"\"*\" name search / sequential read", "BM_NameSearchWithStar", "BM_SequentialRead", 3.0, true}}) &&
        met;
  return met ? 0 : 1;
}
