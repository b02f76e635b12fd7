// A call data list over a real text file (a stand-in for the list of the
// charge subsystem) that records the actions asked of it, and a print
// binding that records the command stream.
#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "charges/calldata/calldatalist.h"
#include "charges/calldata/calldatareport.h"
#include "platform/text.h"

namespace dialogtest {

class FileCallDataList : public ICallDataSource {
 public:
  explicit FileCallDataList(std::string path) : path_(std::move(path)) {}
  void Write(const std::vector<std::string>& lines) {
    std::ofstream out(path_, std::ios::trunc | std::ios::binary);
    for (const std::string& l : lines) out << l << "\r\n";
  }
  bool FirstLine() override {
    in_ = std::ifstream(path_, std::ios::binary);
    return in_.good() && in_.peek() != std::char_traits<char>::eof();
  }
  bool NextLine(std::string* line) override {
    if (!std::getline(in_, *line)) return false;
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return true;
  }
  int EmptyList() override {
    in_.close();
    ++emptied;
    if (emptyFails) return 1;
    std::ofstream(path_, std::ios::trunc);
    return 0;
  }
  int Act(int code, const std::string& line) override {
    acts.emplace_back(code, line);
    return 0;
  }
  std::string GetReportText(int code) override { return plat::StrFormatC("R%d", code); }

  std::vector<std::pair<int, std::string>> acts;
  int emptied = 0;
  bool emptyFails = false;  // the file cannot be replaced

 private:
  std::string path_;
  std::ifstream in_;
};

class RecordingPrinter : public IReportPrinter {
 public:
  std::uint16_t Create(const char* fileName, std::uint32_t type, std::uint32_t del) override {
    calls.push_back(plat::StrFormatC("create %s %u %u", fileName, type, del));
    return job;
  }
  std::uint16_t Configure(std::uint16_t j, plat::WindowId) override {
    calls.push_back(plat::StrFormatC("config %u", j));
    return confirm ? 1 : 0;
  }
  std::uint16_t Sequence(std::uint16_t j, std::uint16_t cmd, std::uint16_t sub, std::uint16_t kind,
                         const void* data) override {
    std::string s = plat::StrFormatC("seq %u %u %u %u", j, cmd, sub, kind);
    if (kind == 5 && data) s += std::string(" ") + static_cast<const char*>(data);
    if (kind == 0 && data) s += " DATA";
    calls.push_back(s);
    return 1;
  }
  std::uint16_t LaTeX(std::uint16_t j, const char* text) override {
    calls.push_back(plat::StrFormatC("latex %u %s", j, text));
    return 1;
  }
  std::uint16_t Release(std::uint16_t j) override {
    calls.push_back(plat::StrFormatC("release %u", j));
    return 1;
  }
  std::uint16_t job = 3;
  bool confirm = true;
  std::vector<std::string> calls;
};

}  // namespace dialogtest
