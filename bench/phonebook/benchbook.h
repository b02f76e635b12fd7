// The phone book file the phone book's benchmarks run on: 100,000 records
// written directly, every 100th deleted, in a folder of the run's own that
// goes at exit.
#pragma once
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "phonebook/database.h"
#include "platform/fileio.h"

namespace benchbook {

constexpr int kRecords = 100000;

inline std::string Number(int i) { return "0" + std::to_string(7110000000LL + static_cast<long long>(i) * 7); }

class Book {
 public:
  // The folder is prefix and the process id; town, when given, on every record.
  Book(const std::string& prefix, const std::string& town = {}) {
    auto d = std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    dir = d.string();
    DataBaseHeader h = DataBaseHeader::Fresh("bench.db");
    h.SetCount(kRecords);
    bytes.assign(reinterpret_cast<const char*>(h.data()), DataBaseHeader::kSize);
    CMyDataBaseItem it;
    for (int i = 0; i < kRecords; ++i) {
      it.Clear();
      it.SetFieldText(PBF_COMPANY, "Firma " + std::to_string(i));
      it.SetFieldText(PBF_TITLE, i % 2 ? "Herr" : "Frau");
      it.SetFieldText(PBF_NAME, "Name" + std::to_string(i));
      if (!town.empty()) it.SetFieldText(PBF_TOWN, town);
      it.SetFieldText(PBF_NUMBER, Number(i));
      it.SetRecordInUse(i % 100 != 99);
      bytes.append(reinterpret_cast<const char*>(it.StoreRecord().data()), DataBaseRecord::kSize);
    }
  }
  // The folder goes with its files (several copies of 66 MB).
  ~Book() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  Book(const Book&) = delete;
  Book& operator=(const Book&) = delete;

  // The file written afresh as name in the folder; its path.
  std::string Write(const std::string& name) const {
    const std::string path = dir + "/" + name;
    plat::io::ReplaceFile(path, bytes);
    return path;
  }

  std::string dir;
  std::string bytes;
};

// Yardstick: the whole file through read().
inline void SequentialRead(benchmark::State& state, const std::string& path) {
  std::vector<char> buf(1 << 20);
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    std::size_t total = 0;
    for (ssize_t n; (n = ::read(fd, buf.data(), buf.size())) > 0;) total += static_cast<std::size_t>(n);
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
}

}  // namespace benchbook
