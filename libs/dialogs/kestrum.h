// kestrum: the common dialogs library (progress text, time and date entry,
// text input). Each dialog is driven by a parameter block that starts with
// its own size; the library refuses a block whose size is not this one.
// Texts are Windows-1252 and stay owned by the caller.
#pragma once
#include <cstdint>

#include "platform/win32types.h"

#define KESTRUM_EXPORT __attribute__((visibility("default")))

extern "C" {

// Progress dialog flags.
enum : std::uint32_t {
  KESTRUM_PF_SHOWBUTTON = 0x1,     // show the button at creation
  KESTRUM_PF_NOTIFY = 0x2,         // the button sends the message
  KESTRUM_PF_DISABLEPARENT = 0x10, // disable the parent while the dialog exists
  KESTRUM_PF_SHOWICON = 0x20,      // show the icon at creation
  KESTRUM_PF_BUTTONTEXT = 0x80,    // other commands: show the button with its text
  KESTRUM_PF_HIDEBUTTON = 0x100,   // other commands: hide the button
  KESTRUM_PF_NOTIFYWINDOW = 0x800, // notify the window in `notify`, not the parent
};

struct PROGRESSPARAMS {
  std::uint16_t size;        // sizeof(PROGRESSPARAMS)
  plat::WindowId parent;
  std::uint32_t flags;
  std::uint32_t message;     // sent when the button is pressed
  std::uint32_t icon;        // 1 information, 2 warning, 3 error, 4 question
  const char* buttonText;
  std::uint8_t position;     // 0 to 100
  plat::WindowId notify;     // with KESTRUM_PF_NOTIFYWINDOW
};

// Text block of the progress commands; a null text leaves that text as it is.
struct PROGRESSTEXTS {
  const char* title;
  const char* line1;
  const char* line2;
  const char* line3;
};

// Progress commands.
enum : std::uint16_t {
  KESTRUM_PROGRESS_CREATE = 1,
  KESTRUM_PROGRESS_DESTROY = 2,
  KESTRUM_PROGRESS_TEXTS = 3,
  KESTRUM_PROGRESS_TEXTS2 = 4,
  KESTRUM_PROGRESS_ICON = 5,
  KESTRUM_PROGRESS_BUTTON = 6,
  KESTRUM_PROGRESS_POSITION = 7,
};

// A broken-down calendar time: nine 32-bit values (month 0-11, years since 1900).
struct KESTRUMTIME {
  std::int32_t sec, min, hour, mday, mon, year, wday, yday, isdst;
};

enum : std::uint32_t {
  KESTRUM_DT_INTIME = 0x1,        // initial time from `time`
  KESTRUM_DT_INTM = 0x2,          // initial time from `tm` (when 0x1 is clear)
  KESTRUM_DT_OUTTIME = 0x4,       // result into `resultTime`
  KESTRUM_DT_OUTTM = 0x8,         // result into `resultTm`
  KESTRUM_DT_DATEFORMATS = 0x10,  // the date format box can be changed
  KESTRUM_DT_TIMEFORMATS = 0x20,  // the time format box can be changed
  KESTRUM_DT_DATEFORMAT = 0x40,   // preselect `dateFormat`
  KESTRUM_DT_TIMEFORMAT = 0x80,   // preselect `timeFormat`
  KESTRUM_DT_NEEDTIME = 0x400,    // OK does nothing while the time field is empty
  KESTRUM_DT_NEEDDATE = 0x800,    // OK does nothing while the date field is empty
};

struct DATETIMEPARAMS {
  std::uint16_t size;        // sizeof(DATETIMEPARAMS)
  plat::WindowId parent;
  const char* title;         // null: "Datum und Uhrzeit eingeben"
  std::uint32_t flags;
  std::int64_t time;         // seconds since 1970
  KESTRUMTIME tm;
  const char* dateFormat;    // a format name, e.g. "dd.mm.yyyy"
  const char* timeFormat;    // "HH:MM" or "HH:MM:SS"
  std::int64_t resultTime;
  KESTRUMTIME resultTm;
};

struct INPUTPARAMS {
  std::uint16_t size;        // sizeof(INPUTPARAMS)
  plat::WindowId parent;
  const char* caption;       // null: "Eingabe..."
  const void* reserved;      // not read
  const char* okText;        // null: "OK"
  const char* cancelText;    // null: "Abbrechen"
  const char* prompt;
  const char* defaultText;
  char* buffer;              // the result
  std::uint16_t bufferSize;  // bytes, terminating zero included
  std::uint16_t length;      // result: length of the text entered
};

using KESTRUMHANDLE = std::uint32_t;  // 0: none

KESTRUM_EXPORT std::uint16_t KESTRUMHasFeature(std::uint16_t feature, std::uint16_t option);
KESTRUM_EXPORT std::uint16_t KESTRUMLoadCountrySpecificData(std::uint16_t value, std::uint32_t reserved);
// Returns the handle's four text buffers (title, lines 1 to 3), or null.
KESTRUM_EXPORT const char* const* KESTRUMShowProgressTextDialogEx(KESTRUMHANDLE* handle,
                                                                  std::uint16_t command,
                                                                  const PROGRESSTEXTS* texts,
                                                                  const PROGRESSPARAMS* params);
// 1 when the user confirmed, else 0.
KESTRUM_EXPORT std::uint16_t KESTRUMTimeAndDateDialog(DATETIMEPARAMS* params);
// Variant 1: one line, 2: several lines. 1 when the user confirmed, else 0.
KESTRUM_EXPORT std::uint16_t KESTRUMInputDialog(INPUTPARAMS* params, std::uint16_t variant);

}  // extern "C"
