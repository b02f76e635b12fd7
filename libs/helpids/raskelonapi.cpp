#include "libs/helpids/raskelonapi.h"

#include <algorithm>
#include <cstdint>
#include <list>
#include <mutex>
#include <new>
#include <string>

#include "platform/msgbox.h"

namespace {

constexpr char kEmpty[] = "";
constexpr char kVersion[] = "RASKELON Version 1.0";

struct HelpIdEntry {
  plat::WindowId key;
  std::int32_t helpId;
};

struct Table {
  std::mutex lock;
  std::list<HelpIdEntry> entries;  // oldest first
};

Table& Tab() {
  static Table t;
  return t;
}

std::list<HelpIdEntry>::iterator Oldest(Table& t, plat::WindowId key) {
  return std::find_if(t.entries.begin(), t.entries.end(),
                      [key](const HelpIdEntry& e) { return e.key == key; });
}

}  // namespace

extern "C" {

std::int32_t RASKELONAddHelpID(plat::WindowId key, std::int32_t helpId) {
  Table& t = Tab();
  try {
    std::lock_guard<std::mutex> g(t.lock);
    t.entries.push_back(HelpIdEntry{key, helpId});
    return 0;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

std::int32_t RASKELONDeleteHelpID(plat::WindowId key) {
  Table& t = Tab();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = Oldest(t, key);
  if (it == t.entries.end()) return -1;
  t.entries.erase(it);
  return 0;
}

std::int32_t RASKELONGetHelpID(plat::WindowId key) {
  Table& t = Tab();
  std::lock_guard<std::mutex> g(t.lock);
  auto it = Oldest(t, key);
  return it == t.entries.end() ? -1 : it->helpId;
}

const char* RASKELONGetVersion(std::int32_t mode) {
  if (mode == 1 || mode == 2) {
    try {
      plat::MessageBox(0, std::string("ombrel32\r\n") + kVersion, "ombrel32",
                       plat::MB_OK | plat::MB_ICONINFORMATION);
    } catch (...) {
      // Nothing may leave an export; a box that cannot be shown is no failure.
    }
  }
  return mode == 1 ? kEmpty : kVersion;
}

}  // extern "C"
