// Arbitrary bytes as an INI file: reads of every kind, then a write, which
// must leave a file that reads back the written value.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/profile.h"
#include "platform/text.h"
#include "fuzz/scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = fuzzscratch::File("profile.ini");
  if (FILE* f = std::fopen(file.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const char* p = file.c_str();
  char buf[64];
  plat::GetPrivateProfileString(nullptr, nullptr, "", buf, sizeof buf, p);
  plat::GetPrivateProfileString("GLOBCONF", nullptr, "", buf, sizeof buf, p);
  plat::GetPrivateProfileString("GLOBCONF", "PPCU", "0.12", buf, sizeof buf, p);
  plat::GetPrivateProfileString("globconf", "ppcu", "", buf, 2, p);
  plat::GetPrivateProfileInt("CHARGES", "Active", 0, p);
  plat::GetPrivateProfileInt("a", "b", 0, p);

  // The section name comes from the input so that writes land in sections
  // the file really has.
  std::string section(reinterpret_cast<const char*>(data), size < 8 ? size : 8);
  for (char& c : section)
    if (c == '\0') c = 'x';
  if (plat::WritePrivateProfileString(section.c_str(), "FuzzKey", "v 1", p)) {
    if (plat::GetProfileText(section.c_str(), "FuzzKey", "", file) != "v 1") std::abort();
    plat::WritePrivateProfileString(section.c_str(), "FuzzKey", nullptr, p);
  }
  plat::WritePrivateProfileString("GLOBCONF", nullptr, nullptr, p);

  // The same writes one by one and as one batch give the same bytes. The
  // names and values are cut from the input, so they hit its own sections.
  static const std::string batchFile = file + ".batch";
  auto readAll = [](const std::string& f) {
    std::string out;
    if (FILE* in = std::fopen(f.c_str(), "rb")) {
      char buf[4096];
      std::size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) out.append(buf, n);
      std::fclose(in);
    }
    return out;
  };
  std::string base = readAll(file);
  if (FILE* f = std::fopen(batchFile.c_str(), "wb")) {
    std::fwrite(base.data(), 1, base.size(), f);
    std::fclose(f);
  }
  plat::ProfileBatch batch(batchFile);
  for (std::size_t i = 0; i + 3 <= size && i < 96; i += 3) {
    std::string sec(1, static_cast<char>('A' + data[i] % 4));
    std::string key(1, static_cast<char>('k' + data[i + 1] % 3));
    std::string val(reinterpret_cast<const char*>(data + i), 3);
    for (char& c : val)
      if (c == '\0') c = '0';
    const int what = data[i + 2] % 5;
    const char* k = what == 4 ? nullptr : key.c_str();
    const char* v = what >= 3 ? nullptr : val.c_str();
    const bool single = plat::WritePrivateProfileString(sec.c_str(), k, v, p) != 0;
    if (batch.Write(sec.c_str(), k, v) != single) std::abort();
  }
  if (!batch.Commit()) std::abort();
  if (readAll(file) != readAll(batchFile)) std::abort();
  std::remove(batchFile.c_str());
  std::remove(file.c_str());
  return 0;
}
