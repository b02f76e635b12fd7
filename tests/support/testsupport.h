// Small helpers shared by the tests.
#pragma once

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace testsupport {

// Switches the process to a German locale (decimal comma) for one scope and
// back afterwards, the way Qt does from the environment. When the machine has
// no compiled German locale it builds one into a temporary folder with
// localedef; Active() is false only when even that fails.
class GermanLocale {
 public:
  GermanLocale() : before_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    if (!active_) {
      const std::string dir = (std::filesystem::temp_directory_path() / "brimlow-locale").string();
      std::filesystem::create_directories(dir);
      const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
      if (std::system(cmd.c_str()) == 0) {
        ::setenv("LOCPATH", dir.c_str(), 1);
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
      }
    }
  }
  ~GermanLocale() { std::setlocale(LC_ALL, before_.c_str()); }
  GermanLocale(const GermanLocale&) = delete;
  GermanLocale& operator=(const GermanLocale&) = delete;
  bool Active() const { return active_; }

 private:
  std::string before_;
  bool active_ = false;
};

// Seconds since 1970 of a local calendar time; the C library decides
// daylight saving.
inline std::time_t LocalTime(int year, int month, int day, int hour, int min, int sec) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace testsupport
