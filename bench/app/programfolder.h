// A folder to start brimlow from in a benchmark: a copy of the binary
// beside links to the build's libraries, plug-ins and texts, the settings
// given, and a working folder whose table watches 21 (the own extension),
// 22 and 23.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>

namespace benchprogram {

inline void MakeFolder(const std::filesystem::path& build, const std::filesystem::path& home,
                       const std::string& settings) {
  namespace fs = std::filesystem;
  const fs::path dir = home / "bin";
  fs::create_directories(dir);
  fs::copy_file(build / "brimlow", dir / "brimlow");
  for (const char* f : {"velt_ger.lng", "velt_ger.hlp"})
    if (fs::exists(build / f)) fs::create_symlink(build / f, dir / f);
  for (const auto& e : fs::directory_iterator(build))
    if (e.path().extension() == ".so") fs::create_symlink(e.path(), dir / e.path().filename());
  std::ofstream(dir / "brimlow.ini") << settings;
  std::ofstream m(home / "montab.ini");
  m << "[MONTAB]\r\nMAINPHONE=21\r\nINTNUMLENGTH=2\r\n";
  for (const char* n : {"21", "22", "23"})
    m << "[MONTAB-" << n << "]\r\nINTNUMBER=" << n << "\r\nMONON=1\r\nMONSTAT=2\r\n";
}

}  // namespace benchprogram
