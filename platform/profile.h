// Private-profile (INI) files with the semantics the program relies on:
// section and key names match without regard to case, values are trimmed,
// reads are cut to the buffer size minus one, every write goes straight to
// the file and leaves all other lines byte for byte, and the file is created
// by the first write. Nothing is cached, so several objects may share a file.
// Paths are Linux paths (see paths.h for stored Windows-style names).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platform/win32types.h"

namespace plat {

// Copies the value (or the default when section or key is missing) into
// buf, at most size-1 bytes, always terminated; returns the bytes copied.
// With key nullptr: the section's key names, with section nullptr: all
// section names, each terminated and the list ended by a second terminator
// (cut to the buffer, then returning size-2).
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def,
                              char* buf, DWORD size, const char* file);
std::string GetProfileText(const char* section, const char* key, const char* def,
                           const std::string& file, std::size_t size = 256);

// Leading decimal number of the value (optional sign); the default when the
// key is missing; 0 when the value does not start with a number.
UINT GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);

// value nullptr removes the key; key nullptr removes the section.
// Writes the whole file through a temporary and a rename.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const char* file);

// Many writes to one file in one replacement (one read, one temporary, one
// fsync, one rename): the file ends up with exactly the bytes that the same
// WritePrivateProfileString calls in the same order leave, and a kill at any
// instant leaves either all of them or none. A list or table saves through
// one batch, so a crash never mixes old and new entries.
class ProfileBatch {
 public:
  explicit ProfileBatch(std::string file);
  ~ProfileBatch();
  ProfileBatch(const ProfileBatch&) = delete;
  ProfileBatch& operator=(const ProfileBatch&) = delete;

  // As WritePrivateProfileString (value nullptr removes the key, key
  // nullptr the section); false for what that call refuses, which is left
  // out while the rest goes on.
  bool Write(const char* section, const char* key, const char* value);
  bool RemoveSection(const char* section);
  std::size_t Pending() const;
  // Applies what was queued. False when the file could not be read or
  // replaced; the file is then as it was. The queue is empty afterwards.
  bool Commit();

 private:
  struct Op;
  std::string file_;
  std::vector<Op> ops_;
};

// While a scope lives, this thread's reads of its file parse the file once:
// a loader that reads many keys pays one read, not one per key. The reads
// see the file as it was at the first of them; a write to the file through
// this thread makes the next read fetch it again. Scopes may nest.
class ProfileReadScope {
 public:
  explicit ProfileReadScope(const std::string& file);
  ~ProfileReadScope();
  ProfileReadScope(const ProfileReadScope&) = delete;
  ProfileReadScope& operator=(const ProfileReadScope&) = delete;

  struct Snapshot;

 private:
  Snapshot* snapshot_;
};

}  // namespace plat
