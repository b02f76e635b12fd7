// Any file contents under any header and record size: every read, walk and
// in-place write must stay inside whole records and never crash.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/scratch.h"
#include "phonebook/structfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::string tmpl = fuzzscratch::File("structXXXXXX");
  char* path = tmpl.data();
  int fd = ::mkstemp(path);
  if (fd < 0) return 0;
  std::size_t body = size - 3;
  if (body && ::write(fd, data + 3, body) != static_cast<ssize_t>(body)) {
    ::close(fd);
    ::unlink(path);
    return 0;
  }
  ::close(fd);
  const int header = data[0] % 40;
  const int record = data[1] % 24;  // 0 included: must give no records
  const std::uint8_t ops = data[2];
  CStructFile f(header, record);
  if (f.OpenOrCreate(path) == 0) {
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(header + record + 1), 0xAB);
    f.ReadHeader(buf.data());
    std::uint32_t count = f.GetRecordCount();
    f.ReadFirst(buf.data());
    for (std::uint32_t i = 0; i < count + 2; ++i) f.ReadNext(buf.data());
    for (std::uint32_t i = 0; i < count + 2; ++i) f.ReadPrevious(buf.data());
    f.ReadLast(buf.data());
    f.ReadRecord(static_cast<std::int32_t>(ops) - 100, buf.data());
    f.ReadAt(ops, buf.data());
    if (ops & 1) f.WriteAt(ops, buf.data());
    if (ops & 2) f.WriteRecord(static_cast<std::int32_t>(ops % 5), buf.data());
    if (ops & 4) f.WriteNext(buf.data());
    if (ops & 8) f.Append(buf.data());
    if (ops & 16) f.TruncateTo(ops % 3);
    std::uint32_t after = f.GetRecordCount();
    std::uint64_t want = (header > 0 ? static_cast<std::uint64_t>(header) : 0) +
                         static_cast<std::uint64_t>(after) * static_cast<std::uint64_t>(record);
    if (record == 0 && after != 0) std::abort();
    if (after > 0 && f.FileSize() < want) std::abort();
    // Reads alone leave the file as it was, even one shorter than its header.
    if ((ops & 31) == 0 && f.FileSize() != body) std::abort();
  }
  f.Close();
  ::unlink(path);
  return 0;
}
