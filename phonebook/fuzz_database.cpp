// Any file as the phone book (format 5 and 3 headers included): open,
// walk, look up, search and purge in a folder of its own; the file that
// remains must be a whole phone book or the untouched input.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/scratch.h"
#include "phonebook/database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string tmpl = fuzzscratch::File("pbXXXXXX");
  if (!::mkdtemp(tmpl.data())) return 0;
  const std::string dir = tmpl.c_str();
  const std::string path = dir + "/book.db";
  std::string input(reinterpret_cast<const char*>(data), size);
  std::ofstream(path, std::ios::binary) << input;
  {
    CMyDataBase db;
    db.SetLogSink([](const std::string&) {});
    if (db.Open(path)) {
      for (CMyDataBaseItem* it = db.First(-1); it;) {
        std::uint32_t off = it->FileOffset();
        it->Render("%c %k %n %i %f");
        it = db.Next(-1);
        if (it && it->FileOffset() == off) break;
      }
      CDataBaseParam p;
      p.SetText(size > 10 ? input.substr(1, 8) : "0711");
      if (db.FindRecord(PBP_NUMBER, p, "", 0) == PBS_FOUND) {
        CMyDataBaseParamInterface* hit = nullptr;
        db.FirstSearchHit(&hit);
        CDataBaseParam v;
        if (hit) hit->GetParam(PBP_TITLE_AND_NAME, &v);
      }
      db.FindByField(PBF_NAME, "a*", 0x400, -1);
      db.Last(-1);
      if (db.Current()->FileOffset()) db.DeleteItem(db.Current(), -1);
      db.Flush();
      std::ifstream in(path, std::ios::binary);
      std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (after.size() < DataBaseHeader::kSize || (after.size() - DataBaseHeader::kSize) % DataBaseRecord::kSize)
        std::abort();
    } else {
      std::ifstream in(path, std::ios::binary);
      std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (after != input) std::abort();  // what it does not open, it leaves alone
    }
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
