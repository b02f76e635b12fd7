// Any 666 bytes as a phone book record: decoded, stored back, decoded
// again; the second store must give the first one's bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "phonebook/item.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CMyDataBaseItem a;
  std::memcpy(a.GetRecord().data(), data, size < DataBaseRecord::kSize ? size : DataBaseRecord::kSize);
  a.TakeRecord();
  DataBaseRecord first = a.StoreRecord();
  CMyDataBaseItem b;
  b.GetRecord() = first;
  b.TakeRecord();
  if (b.StoreRecord().bytes != first.bytes) std::abort();
  for (int id = 1; id <= 14; ++id) (void)a.GetFieldText(id);
  (void)a.Render(size > 700 ? std::string(reinterpret_cast<const char*>(data) + 666, size - 666) : "%c%k%n%i%f%");
  (void)a.RenderForPrint("%f\r\n%n");
  (void)a.Match(PBF_NUMBER, "0*", PBM_CONTAINS, PBM_NO_CASE);
  CDataBaseParam v;
  (void)a.GetParam(PBP_DEFLECT_NUMBER, &v);
  return 0;
}
