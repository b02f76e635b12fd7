// texolan32: the program's texts by (group, entry) from a language file,
// in shared, counted sessions, and a small map from keys to file paths.
// Texts are Windows-1252 and stay owned by the library until the last
// reference of their session is closed.
#pragma once
#include <cstdint>

#define VESKOAPI_EXPORT __attribute__((visibility("default")))

extern "C" {

// A session handle is an opaque id, never an address; -1 is no session.
using VESKOSESSION = std::int32_t;
constexpr VESKOSESSION VESKO_NO_SESSION = -1;

// 0 success (opened or shared); 1 no file or unreadable; 2 no memory;
// 3..13 the file's parse errors. *session is -1 on failure.
VESKOAPI_EXPORT std::int32_t VESKOAPIOpenSession(const char* keyOrPath, std::int32_t reserved, VESKOSESSION* session);
// 0; 1 when the handle is not an open session.
VESKOAPI_EXPORT std::int32_t VESKOAPICloseSession(VESKOSESSION session);
// The entry's text; the empty text when anything is unknown.
VESKOAPI_EXPORT const char* VESKOAPIGetTextParameter(VESKOSESSION session, std::int32_t group, std::int32_t entry,
                                     std::int32_t reserved);
// Entry -1 gives the group's description.
VESKOAPI_EXPORT const char* VESKOAPIGetDescriptionParameter(VESKOSESSION session, std::int32_t group, std::int32_t entry,
                                            std::int32_t reserved);
// Mode 1: information box, empty text; mode 2: box and version text;
// otherwise the version text only.
VESKOAPI_EXPORT const char* VESKOAPIGetVersion(std::int32_t mode);

// 0; -1 when no memory.
VESKOAPI_EXPORT std::int32_t VESKOAPIAddFileMapEntry(const char* first, const char* key, const char* path);
// field 1 first text, 2 key, 3 path: removes every entry whose field equals
// value. 0; -1 for another field.
VESKOAPI_EXPORT std::int32_t VESKOAPIDeleteMapEntriesOn(std::int32_t field, const char* value);
// 0; -1 when index is out of range.
VESKOAPI_EXPORT std::int32_t VESKOAPIDeleteMapEntry(std::int32_t index);

}  // extern "C"
