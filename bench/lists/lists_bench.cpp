// The callback list's Save of 200 entries and the speed-dial store's
// SetEntry, each against its yardstick: one WritePrivateProfileString on a
// file of the same final size, measured in the same run. Both should stay
// within 4 times their yardstick (one replacement of the file each).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "bench/bound.h"
#include "app/lists/callbacklist.h"
#include "app/lists/shortdial.h"
#include "core/callhandler/callhandler.h"
#include "platform/profile.h"

namespace {

std::string Dir() {
  static const std::string dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("brimlow_lists_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d.string();
  }();
  return dir;
}

struct ListFixture {
  CCallHandler handler;
  CCallBackList list;
  std::string file = Dir() + "/cblist.ini";
  ListFixture() {
    list.callHandler = &handler;
    for (int i = 0; i < 200; ++i) {
      CCallInfo* c = list.NewCallFor(18);
      c->calledCompany = "Firma " + std::to_string(i);
      c->calledName = "Herr Nummer " + std::to_string(i);
      c->calledNumber = "030" + std::to_string(1000000 + i);
      c->callbackType = i % 6;
      c->priority = i % 5;
      list.CCallInfoList::AddCall(c);
    }
    list.Save(file);
  }
};

ListFixture& Lists() {
  static ListFixture f;
  return f;
}

// One key rewritten in a copy of the file the measured operation leaves.
void PlainWrite(benchmark::State& state, const std::string& like, const char* section) {
  const std::string copy = like + ".plain";
  std::filesystem::copy_file(like, copy, std::filesystem::copy_options::overwrite_existing);
  int n = 0;
  for (auto _ : state) {
    const std::string v = std::to_string(n++ & 1);
    if (!plat::WritePrivateProfileString(section, "CC", v.c_str(), copy.c_str())) state.SkipWithError("write failed");
  }
}

void BM_PlainWriteCallbackFile(benchmark::State& state) { PlainWrite(state, Lists().file, "CBLIST-100"); }
BENCHMARK(BM_PlainWriteCallbackFile)->Unit(benchmark::kMicrosecond);

void BM_SaveCallbackList200(benchmark::State& state) {
  ListFixture& f = Lists();
  // A changed list every time: an unchanged file is not written at all.
  CCallInfo* changing = f.list.GetCall(100);
  for (auto _ : state) {
    changing->callbackCount ^= 1;
    if (f.list.Save(f.file) != 1) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveCallbackList200)->Unit(benchmark::kMicrosecond);

struct DialFixture {
  std::string file = Dir() + "/sdfn.ini";
  std::unique_ptr<CShortDialHandler> store;
  ShortDialEntry entry;
  DialFixture() {
    store = std::make_unique<CShortDialHandler>(file);
    ShortDialEntry::Put(entry.company, "Stadtwerke");
    ShortDialEntry::Put(entry.name, "Frau Schulz");
    ShortDialEntry::Put(entry.number, "0407777123");
    ShortDialEntry::Put(entry.entryText, "Frau Schulz");
    for (int n = 0; n < CShortDialHandler::kEntries; ++n) store->SetEntry(n, entry);
  }
};

DialFixture& Dials() {
  static DialFixture f;
  return f;
}

void BM_PlainWriteSpeedDialFile(benchmark::State& state) { PlainWrite(state, Dials().file, "SHRTDIAL-10"); }
BENCHMARK(BM_PlainWriteSpeedDialFile)->Unit(benchmark::kMicrosecond);

void BM_SetEntry(benchmark::State& state) {
  DialFixture& f = Dials();
  int n = 0;
  for (auto _ : state) {
    f.entry.recordRef = n;
    if (f.store->SetEntry(n++ % CShortDialHandler::kEntries, f.entry) != 0) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SetEntry)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchbound::Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const bool met = benchbound::CheckRatios(
      reporter, {{"callback list save of 200 / one profile write", "BM_SaveCallbackList200", "BM_PlainWriteCallbackFile", 4.0},
                 {"speed-dial entry set / one profile write", "BM_SetEntry", "BM_PlainWriteSpeedDialFile", 4.0}});
  std::filesystem::remove_all(Dir());
  return met ? 0 : 1;
}
