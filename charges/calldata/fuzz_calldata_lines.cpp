// Arbitrary file bytes through both ways of reading the call data file and
// the actions' reading of a line: the lines must be those of a plain split
// at line ends, never longer than their limits.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "charges/calldata/selectedcallinfolist.h"
#include "core/calls/callinfo.h"
#include "fuzz/scratch.h"
#include "platform/fileio.h"

namespace {

std::vector<std::string> PlainSplit(const std::string& bytes) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= bytes.size()) {
    std::size_t nl = bytes.find('\n', start);
    std::string line = bytes.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > CallDataLineReader::kMaxLine) line.resize(CallDataLineReader::kMaxLine);
    if (!line.empty()) out.push_back(line);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzzscratch::File("calldata");
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!plat::io::ReplaceFile(path, bytes)) return 0;
  {
    CSelectedCallInformationList list(path);
    std::vector<std::string> lines;
    if (list.FirstLine()) {
      std::string line;
      while (list.NextLine(&line)) lines.push_back(line);
    }
    if (lines != PlainSplit(bytes)) __builtin_trap();
    for (const std::string& l : lines) {
      CCallInfo call;
      call.SetFromText(3, l);
      (void)call.GetDescription(3);
    }
    // Every line of the file, empty ones too, one buffer each.
    std::size_t reads = 0;
    for (const char* p = list.ReadLine(false, 0); reads <= size; p = list.ReadLine(false, 1), ++reads)
      if (std::strlen(p) >= CSelectedCallInformationList::kBufferSize) __builtin_trap();
    list.Act(ICallDataSource::kShow, lines.empty() ? std::string() : lines.front());
  }
  ::unlink(path.c_str());
  return 0;
}
