// Sessions and the file map. The incoming-call worker reads texts while
// the main thread opens and closes sessions, so both lists sit behind one
// lock. Handles are ids that are never handed out twice: a stale handle of a
// closed session finds nothing instead of freed memory.
#include "libs/texts/veskoapi.h"

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "libs/texts/langfile.h"
#include "platform/msgbox.h"

namespace {

constexpr char kEmpty[] = "";
constexpr char kVersion[] = "VESKOAPI Version 1.1";

struct Session {
  VESKOSESSION id = VESKO_NO_SESSION;
  std::string fileName;
  std::int64_t refCount = 1;
  std::vector<texolan::TextGroup> groups;
};

struct MapEntry {
  std::string first, key, path;
};

struct Library {
  std::mutex lock;
  std::vector<std::unique_ptr<Session>> sessions;  // in order of opening
  std::vector<MapEntry> map;                       // in order of adding
  VESKOSESSION lastId = 0;
};

Library& Lib() {
  static Library lib;
  return lib;
}

Session* FindSession(Library& lib, VESKOSESSION id) {
  if (id == VESKO_NO_SESSION) return nullptr;
  for (auto& s : lib.sessions) {
    if (s->id == id) return s.get();
  }
  return nullptr;
}

// Counts one more reference to the open session of that file; false when
// none is open. Called with the lock held.
bool ShareOpenSession(Library& lib, const std::string& fullPath, VESKOSESSION* out) {
  for (auto& s : lib.sessions) {
    if (s->fileName == fullPath) {
      ++s->refCount;
      *out = s->id;
      return true;
    }
  }
  return false;
}

// The group of an open session, or null. Called with the lock held.
const texolan::TextGroup* FindGroupOf(Library& lib, VESKOSESSION session, std::int32_t group) {
  const Session* s = FindSession(lib, session);
  return s ? texolan::FindGroup(s->groups, group) : nullptr;
}

// The file-status query: true when something exists at path.
bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

std::string FullPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::canonical(path, ec);
  if (ec) p = std::filesystem::absolute(path, ec).lexically_normal();
  return p.string();
}

const char* Str(const char* s) { return s ? s : kEmpty; }

void ShowInfoBox() {
  try {
    plat::MessageBox(0, std::string("texolan32\r\n") + kVersion, "texolan32",
                     plat::MB_OK | plat::MB_ICONINFORMATION);
  } catch (...) {
    // Nothing may leave an export; a box that cannot be shown is no failure.
  }
}

}  // namespace

extern "C" {

std::int32_t VESKOAPIOpenSession(const char* keyOrPath, std::int32_t /*reserved*/, VESKOSESSION* session) {
  if (session) *session = VESKO_NO_SESSION;
  if (!session) return texolan::kNoFile;
  Library& lib = Lib();
  try {
    const std::string key = Str(keyOrPath);
    std::string path;
    {
      std::lock_guard<std::mutex> g(lib.lock);
      for (const MapEntry& e : lib.map) {
        if (e.key == key) {
          path = e.path;
          break;
        }
      }
    }
    if (!FileExists(path)) path = key;
    if (!FileExists(path) || std::filesystem::is_directory(path)) return texolan::kNoFile;
    const std::string full = FullPath(path);

    {
      std::lock_guard<std::mutex> g(lib.lock);
      if (ShareOpenSession(lib, full, session)) return texolan::kParseOk;
    }

    // Parsed outside the lock so that readers are not held up by the file.
    auto fresh = std::make_unique<Session>();
    fresh->fileName = full;
    const int rc = texolan::ParseLanguageFile(full, fresh->groups);
    if (rc != texolan::kParseOk) return rc;

    std::lock_guard<std::mutex> g(lib.lock);
    // Another thread may have opened the file while this one parsed it.
    if (ShareOpenSession(lib, full, session)) return texolan::kParseOk;
    if (lib.lastId == std::numeric_limits<VESKOSESSION>::max()) return texolan::kNoMemory;
    fresh->id = ++lib.lastId;
    lib.sessions.push_back(std::move(fresh));
    *session = lib.sessions.back()->id;
    return texolan::kParseOk;
  } catch (const std::bad_alloc&) {
    return texolan::kNoMemory;
  } catch (const std::exception&) {
    return texolan::kNoFile;
  }
}

std::int32_t VESKOAPICloseSession(VESKOSESSION session) {
  std::unique_ptr<Session> gone;  // freed after the lock is dropped
  Library& lib = Lib();
  std::lock_guard<std::mutex> g(lib.lock);
  for (auto it = lib.sessions.begin(); it != lib.sessions.end(); ++it) {
    if ((*it)->id != session || session == VESKO_NO_SESSION) continue;
    if (--(*it)->refCount == 0) {
      gone = std::move(*it);
      lib.sessions.erase(it);
    }
    return 0;
  }
  return 1;
}

const char* VESKOAPIGetTextParameter(VESKOSESSION session, std::int32_t group, std::int32_t entry,
                                     std::int32_t /*reserved*/) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> g(lib.lock);
  const texolan::TextGroup* grp = FindGroupOf(lib, session, group);
  const texolan::TextEntry* e = grp ? texolan::FindEntry(*grp, entry) : nullptr;
  return e ? e->text.c_str() : kEmpty;
}

const char* VESKOAPIGetDescriptionParameter(VESKOSESSION session, std::int32_t group, std::int32_t entry,
                                            std::int32_t /*reserved*/) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> g(lib.lock);
  const texolan::TextGroup* grp = FindGroupOf(lib, session, group);
  if (!grp) return kEmpty;
  if (entry == -1) return grp->description.c_str();
  const texolan::TextEntry* e = texolan::FindEntry(*grp, entry);
  return e ? e->description.c_str() : kEmpty;
}

const char* VESKOAPIGetVersion(std::int32_t mode) {
  if (mode == 1 || mode == 2) ShowInfoBox();
  return mode == 1 ? kEmpty : kVersion;
}

std::int32_t VESKOAPIAddFileMapEntry(const char* first, const char* key, const char* path) {
  Library& lib = Lib();
  try {
    MapEntry e{Str(first), Str(key), Str(path)};
    std::lock_guard<std::mutex> g(lib.lock);
    lib.map.push_back(std::move(e));
    return 0;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

std::int32_t VESKOAPIDeleteMapEntriesOn(std::int32_t field, const char* value) {
  if (field < 1 || field > 3) return -1;
  const std::string v = Str(value);
  Library& lib = Lib();
  std::lock_guard<std::mutex> g(lib.lock);
  std::erase_if(lib.map, [&](const MapEntry& e) {
    const std::string& f = field == 1 ? e.first : field == 2 ? e.key : e.path;
    return f == v;
  });
  return 0;
}

std::int32_t VESKOAPIDeleteMapEntry(std::int32_t index) {
  Library& lib = Lib();
  std::lock_guard<std::mutex> g(lib.lock);
  if (index < 0 || static_cast<std::size_t>(index) >= lib.map.size()) return -1;
  lib.map.erase(lib.map.begin() + index);
  return 0;
}

}  // extern "C"
