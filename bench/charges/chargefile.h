// The charge file both charge benchmarks read: a header and records of
// calls, one in a hundred from a watched extension. Made once a size and
// folder, then reused; the folder goes at exit.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "charges/handler/chargerecord.h"

namespace benchcharges {

inline std::string MakeChargeFile(const std::string& folder, int records) {
  const auto dir = std::filesystem::temp_directory_path() / (folder + "_" + std::to_string(::getpid()));
  if (std::filesystem::create_directories(dir)) {
    static std::vector<std::filesystem::path> made;
    if (made.empty())
      std::atexit([] {
        std::error_code ec;
        for (const auto& d : made) std::filesystem::remove_all(d, ec);
      });
    made.push_back(dir);
  }
  const std::string path = (dir / ("charges" + std::to_string(records) + ".log")).string();
  if (std::filesystem::exists(path)) return path;
  std::string bytes(ChargeFileHeader::kSize, '\0');
  ChargeFileHeader::Default().Serialize(reinterpret_cast<std::uint8_t*>(bytes.data()));
  bytes.reserve(bytes.size() + static_cast<std::size_t>(records) * ChargeRecord::kSize);
  for (int i = 0; i < records; ++i) {
    ChargeRecord r;
    r.start = 1704067200u + static_cast<std::uint32_t>(i) * 31u;
    r.duration = static_cast<std::int16_t>(30 + i % 600);
    r.units = static_cast<std::int16_t>(1 + i % 5);
    r.SetCalling(i % 100 == 0 ? "21" : "0891234" + std::to_string(i % 1000));
    r.SetCalled("0301234" + std::to_string(i % 977));
    std::uint8_t b[ChargeRecord::kSize];
    r.Serialize(b);
    bytes.append(reinterpret_cast<char*>(b), sizeof b);
  }
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

}  // namespace benchcharges
