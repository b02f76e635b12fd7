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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + plat::StrFormatC("/profile_fuzz_%ld.ini", static_cast<long>(::getpid()));
  }();
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
  std::remove(file.c_str());
  return 0;
}
