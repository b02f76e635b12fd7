// A plug-in for the binding's tests: every entry it has writes its call to
// a log that the test reads through TestPlugInLog. Built once per prefix
// and set of entries (TP_PREFIX, TP_SUBSET).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugins/dllifc.h"

#define TP_CAT2(a, b) a##b
#define TP_CAT(a, b) TP_CAT2(a, b)
#define TP_ENTRY(name) TP_CAT(TP_PREFIX, name)
#define TP_STR2(a) #a
#define TP_STR(a) TP_STR2(a)

namespace {
std::string g_log;
std::string g_position = "0,0,0,0";
int g_failGetParam = 0;
int g_unterminated = 0;  // texts fill the whole buffer, no end
// Where a test merges the calls of both plug-ins with its own record.
void (*g_sink)(const char* prefix, const char* call) = nullptr;

void Add(const std::string& call) {
  g_log += call;
  g_log += ';';
  if (g_sink) g_sink(TP_STR(TP_PREFIX), call.c_str());
}

void Note(const char* fmt, long a = 0, long b = 0, long c = 0) {
  char line[160];
  std::snprintf(line, sizeof line, fmt, a, b, c);
  Add(line);
}
}  // namespace

extern "C" {

const char* TestPlugInLog() { return g_log.c_str(); }
void TestPlugInClear() { g_log.clear(); }
void TestPlugInSetSink(void (*sink)(const char*, const char*)) { g_sink = sink; }
void TestPlugInSet(const char* key, int value) {
  if (std::strcmp(key, "failGetParam") == 0) g_failGetParam = value;
  if (std::strcmp(key, "unterminated") == 0) g_unterminated = value;
}

int32_t TP_ENTRY(GetName)(char* text) {
  Note("GetName");
  std::snprintf(text, DLLIFC_TEXT_SIZE, "recorder %s", TP_STR(TP_PREFIX));
  if (g_unterminated) std::memset(text, 'n', DLLIFC_TEXT_SIZE);
  return 0;
}

int32_t TP_ENTRY(Create)(DLLIFC_WINDOW parent, int32_t id, int32_t reserved) {
  Note("Create(%ld,%ld,%ld)", parent != 0, id, reserved);
  return 0;
}

int32_t TP_ENTRY(VisualStateFunction)(int32_t state, int32_t value) {
  Note("VisualStateFunction(%ld,%ld)", state, value);
  return 0;
}

#ifndef TP_SUBSET
int32_t TP_ENTRY(GetVersion)(uint16_t* major, uint16_t* minor) {
  Note("GetVersion");
  *major = 3;
  *minor = 7;
  return 5;  // dropped by the host
}
int32_t TP_ENTRY(CSTAMessageHandlerProc)(const unsigned char* record) {
  Note("CSTAMessageHandlerProc(%ld)", record[8] | (record[9] << 8));
  return 0;
}
int32_t TP_ENTRY(Close)() {
  Note("Close");
  return 0;
}
int32_t TP_ENTRY(LoadCountrySpecificData)(int32_t a, int32_t b) {
  Note("LoadCountrySpecificData(%ld,%ld)", a, b);
  return 0;
}
int32_t TP_ENTRY(GetNumberOfParams)(int32_t a) {
  Note("GetNumberOfParams(%ld)", a);
  return 0;
}
int32_t TP_ENTRY(GetParamName)(uint16_t index, char* text) {
  Note("GetParamName(%ld)", index);
  if (index != 0) return 1;
  std::snprintf(text, DLLIFC_TEXT_SIZE, "%s", DLLIFC_PARAM_WNDPOSITION);
  if (g_unterminated) std::memset(text, 'p', DLLIFC_TEXT_SIZE);
  return 0;
}
int32_t TP_ENTRY(SetParamAsString)(const char* name, const char* value) {
  Add(std::string("SetParamAsString(") + name + "=" + value + ")");
  if (std::strcmp(name, DLLIFC_PARAM_WNDPOSITION) == 0) g_position = value;
  return 0;
}
int32_t TP_ENTRY(GetParamAsString)(const char* name, char* text) {
  Add(std::string("GetParamAsString(") + name + ")");
  // A failing plug-in may leave anything in the buffer.
  std::snprintf(text, DLLIFC_TEXT_SIZE, "%s", g_failGetParam ? "7,7,7,7" : g_position.c_str());
  if (g_unterminated) std::memset(text, 'v', DLLIFC_TEXT_SIZE);
  return g_failGetParam ? 1 : 0;
}
int32_t TP_ENTRY(SetDatabaseInterface)(void* p) {
  Note("SetDatabaseInterface(%ld)", p != nullptr);
  return 0;
}
int32_t TP_ENTRY(SetDeviceContentsInterface)(void* p) {
  Note("SetDeviceContentsInterface(%ld)", p != nullptr);
  return 0;
}
int32_t TP_ENTRY(SetParentMessageHandlerProc)(intptr_t h) {
  Note("SetParentMessageHandlerProc(%ld)", static_cast<long>(h));
  return 0;
}
int32_t TP_ENTRY(AddItem)(DLLIFC_ITEM parent, DLLIFC_ITEM* item, intptr_t user) {
  Note("AddItem(%ld,%ld)", parent, static_cast<long>(user));
  *item = 42;
  return 0;
}
int32_t TP_ENTRY(ItemGetNumberOfParams)(DLLIFC_ITEM item, int32_t) {
  Note("ItemGetNumberOfParams(%ld)", item);
  return 0;
}
int32_t TP_ENTRY(ItemGetParamName)(DLLIFC_ITEM item, uint16_t index, char*, int32_t) {
  Note("ItemGetParamName(%ld,%ld)", item, index);
  return 0;
}
int32_t TP_ENTRY(ItemSetParamAsString)(DLLIFC_ITEM item, const char* name, const char* value) {
  {
  char n[16];
  std::snprintf(n, sizeof n, "%d", static_cast<int>(item));
  Add(std::string("ItemSetParamAsString(") + n + "," + name + "=" + value + ")");
  }
  return 0;
}
int32_t TP_ENTRY(ItemGetParamAsString)(DLLIFC_ITEM item, const char*, char*) {
  Note("ItemGetParamAsString(%ld)", item);
  return 0;
}
#endif

}  // extern "C"
