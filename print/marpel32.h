// marpel32: the print library. A caller takes one of ten print jobs, lets
// the user choose a printer, fills the job with numbered commands (document,
// page settings in a small LaTeX-like language, page header, tables, tabbed
// lines) and releases it. Every result is 16 bits; nothing is thrown across.
// Texts are Windows-1252 and stay owned by the caller. Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/win32types.h"

#define MARPLAPI_EXPORT __attribute__((visibility("default")))

extern "C" {

// Job ids: a slot index while in use; MARPL_NO_JOB for a failed create.
enum : std::uint16_t { MARPL_FIRST_JOB = 0, MARPL_LAST_JOB = 9, MARPL_JOBS = 10, MARPL_NO_JOB = 0xFFFF };

// File types of MARPLAPICreatePrintFile.
enum : std::uint16_t {
  MARPL_FILE_READ = 0,
  MARPL_FILE_TEXT = 1,
  MARPL_FILE_LATEX = 2,
  MARPL_FILE_TEXT3 = 3,
  MARPL_FILE_PRINTER = 4,
};

// Delete flag: 1 deletes a plain file when its job is released.
enum : std::uint16_t { MARPL_KEEP_FILE = 2, MARPL_DELETE_FILE = 1 };

// Commands of MARPLAPISetSequence.
enum : std::uint16_t {
  MARPL_CMD_START_DOC = 1,
  MARPL_CMD_END_DOC = 2,
  MARPL_CMD_TABS_PERCENT = 3,   // data: int32 list ended by -1
  MARPL_CMD_TABS_DEVICE = 4,    // data: int32 list ended by -1
  MARPL_CMD_BEGIN_TABLE = 6,    // data: column format
  MARPL_CMD_END_TABLE = 7,
  MARPL_CMD_TABLE_HEADER = 8,
  MARPL_CMD_PAGE_HEADER = 9,
  MARPL_CMD_PAGE_FOOTER = 10,
  MARPL_CMD_LINE = 11,          // text file: a line; printer: a tabbed line
  MARPL_CMD_TABBED_LINE = 12,
  MARPL_CMD_LEFT_MARGIN = 17,
  MARPL_CMD_TOP_MARGIN = 18,
  MARPL_CMD_TEXT = 22,          // text at the position, no line feed
  MARPL_CMD_TABLE_ROW = 32,
  MARPL_CMD_TABLE_LINE = 33,
  MARPL_CMD_LATEX = 34,
  MARPL_CMD_TABLE_END_MARK = 50,  // ends a handler table
};

// Sub-commands.
enum : std::uint16_t {
  MARPL_SUB_PERCENT = 13,        // margins: percent of the page
  MARPL_SUB_MM = 16,             // margins: millimetres
  MARPL_SUB_HEADER_FROM_FORMAT = 19,
  MARPL_SUB_HEADER_READ = 21,    // table header: read the text and print it
  MARPL_SUB_DEFAULT = 22,
  MARPL_SUB_HEADER_SET = 23,     // page header: store
  MARPL_SUB_HEADER_SET_PRINT = 24,
  MARPL_SUB_HEADER_SET_PRINT2 = 25,
  MARPL_SUB_HEADER_PRINT = 26,   // page header: print the stored one now
};

// Kinds of the data argument.
enum : std::uint16_t {
  MARPL_KIND_NONE = 0,
  MARPL_KIND_NUMBER = 2,   // int16 (positions) or int32 list ended by -1 (tab stops)
  MARPL_KIND_NUMBER3 = 3,  // int16
  MARPL_KIND_NUMBER4 = 4,  // as 2
  MARPL_KIND_TEXT = 5,     // zero-terminated text
  MARPL_KIND_TEXT6 = 6,
};

// A tab-stop list is read up to this many numbers; its -1 must be among
// them (so it holds at most 63 stops).
enum : std::uint16_t { MARPL_MAX_TABS = 64 };

// Units of a measure.
enum : std::uint32_t {
  MARPL_UNIT_MM = 0,
  MARPL_UNIT_CM = 1,
  MARPL_UNIT_PT = 2,
  MARPL_UNIT_IN = 3,
  MARPL_UNIT_DEVICE = 4,
};

// Indexes of MARPLAPIGetDeviceContextCaps (those of the platform's device
// capabilities); other indexes answer 0.
enum : std::uint16_t {
  MARPL_CAPS_HORZSIZE = 4,    // millimetres
  MARPL_CAPS_VERTSIZE = 6,
  MARPL_CAPS_HORZRES = 8,     // device units
  MARPL_CAPS_VERTRES = 10,
  MARPL_CAPS_BITSPIXEL = 12,
  MARPL_CAPS_PLANES = 14,
  MARPL_CAPS_ASPECTX = 40,
  MARPL_CAPS_ASPECTY = 42,
  MARPL_CAPS_ASPECTXY = 44,
  MARPL_CAPS_LOGPIXELSX = 88,  // dots per inch
  MARPL_CAPS_LOGPIXELSY = 90,
  MARPL_CAPS_HANDLE = 1280,    // a non-zero number of the job's device
};

// Which extent MARPLAPIGetDeviceContextDimension answers.
enum : std::uint16_t { MARPL_DIM_WIDTH = 1, MARPL_DIM_HEIGHT = 2 };

#pragma pack(push, 1)
struct MARPLMEASURE {
  std::uint32_t unit;  // MARPL_UNIT_...
  float value;
};

// The twelve measures of a page and the flags of the page dialog: 100
// bytes, little-endian.
struct PAGEPARAMS {
  MARPLMEASURE topMargin;       // 0
  MARPLMEASURE oddSideMargin;   // 8
  MARPLMEASURE evenSideMargin;  // 16
  MARPLMEASURE headHeight;      // 24
  MARPLMEASURE headSep;         // 32
  MARPLMEASURE topSkip;         // 40
  MARPLMEASURE footHeight;      // 48
  MARPLMEASURE footSkip;        // 56
  MARPLMEASURE textHeight;      // 64
  MARPLMEASURE textWidth;       // 72
  MARPLMEASURE pageHeight;      // 80
  MARPLMEASURE pageWidth;       // 88
  std::uint32_t flags;          // 96
};
#pragma pack(pop)

// PAGEPARAMS flags: a set bit disables that field of the page dialog.
enum : std::uint32_t {
  MARPL_PP_TOPMARGIN = 0x1,
  MARPL_PP_ODDSIDEMARGIN = 0x2,
  MARPL_PP_EVENSIDEMARGIN = 0x4,
  MARPL_PP_HEADHEIGHT = 0x8,
  MARPL_PP_HEADSEP = 0x10,
  MARPL_PP_TOPSKIP = 0x20,
  MARPL_PP_FOOTHEIGHT = 0x40,
  MARPL_PP_FOOTSKIP = 0x80,
  MARPL_PP_TEXTWIDTH = 0x100,
  MARPL_PP_TEXTHEIGHT = 0x200,
  MARPL_PP_PAGEWIDTH = 0x400,
  MARPL_PP_PAGEHEIGHT = 0x800,
  MARPL_PP_NOPAGESIZE = 0x1000,  // the page size box is disabled
};

// The text of MARPLAPIConvertBaseUnitToString never needs more than this
// many bytes, terminating zero included.
enum : std::uint16_t { MARPL_UNIT_TEXT_SIZE = 48 };

// --- jobs ---
// 0-9, or MARPL_NO_JOB when all ten are in use, the name is null, the type is
// unknown or the file cannot be opened.
MARPLAPI_EXPORT std::uint16_t MARPLAPICreatePrintFile(const char* fileName, std::uint32_t fileType,
                                                      std::uint32_t deleteFlag);
// 1, or 0 for a job not in use.
MARPLAPI_EXPORT std::uint16_t MARPLAPIReleasePrintJob(std::uint16_t job);
// The print dialog for the job: 1 when the user chose a printer, else 0.
MARPLAPI_EXPORT std::uint16_t MARPLAPIConfigPrintJobEx(std::uint16_t job, plat::WindowId owner);
// The default printer for MARPLAPIPrintFile, without a dialog: 1, or 0 when
// there is none.
MARPLAPI_EXPORT std::uint16_t MARPLAPIConfigPrintJob(plat::WindowId owner);
// Prints a text file (Linux path) on the printer of MARPLAPIConfigPrintJob,
// which it then frees: 1, or 0 when the file does not open or no printer was
// chosen.
MARPLAPI_EXPORT std::uint16_t MARPLAPIPrintFile(const char* path, std::uint32_t reserved);

// --- commands ---
MARPLAPI_EXPORT std::uint16_t MARPLAPISetSequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub,
                                                  std::uint16_t kind, const void* data);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetStringSequence(std::uint16_t job, std::uint16_t command,
                                                        std::uint16_t sub, const char* text);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetLaTeXCommand(std::uint16_t job, const char* text);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetPageHeader(std::uint16_t job, const char* text);
// "dina4", or any LaTeX command.
MARPLAPI_EXPORT std::uint16_t MARPLAPISetPageStyle(std::uint16_t job, const char* text);
MARPLAPI_EXPORT std::uint16_t MARPLAPIBeginTable(std::uint16_t job, const char* format);
// Prints the stored table header; the text is not read.
MARPLAPI_EXPORT std::uint16_t MARPLAPITableHeader(std::uint16_t job, const char* text);
MARPLAPI_EXPORT std::uint16_t MARPLAPITableEntry(std::uint16_t job, const char* text);
// A rule only for a null or empty text.
MARPLAPI_EXPORT std::uint16_t MARPLAPITableLine(std::uint16_t job, const char* text);
MARPLAPI_EXPORT std::uint16_t MARPLAPIEndTable(std::uint16_t job);
MARPLAPI_EXPORT std::uint16_t MARPLAPITabbedText(std::uint16_t job, const char* text);

// --- the printer ---
MARPLAPI_EXPORT std::uint16_t MARPLAPIGetDeviceContextCaps(std::uint16_t job, std::uint16_t index);
// The text's width or height in device units with the job's font.
MARPLAPI_EXPORT std::uint16_t MARPLAPIGetDeviceContextDimension(std::uint16_t job, std::uint16_t which,
                                                                const char* text);
// "GlobalLogging" (command trace) or "FontLogging" to "fonts.log": on for a
// value starting with "on" or "ein" in any case, else off. Returns 0.
MARPLAPI_EXPORT std::uint16_t MARPLAPISetInternalParam(const char* name, const char* value);

// --- page parameters and units ---
// The page dialog: 1 when confirmed, else 0 (also for an owner that is no
// window).
MARPLAPI_EXPORT std::uint16_t MARPLAPIConfigPageParams(PAGEPARAMS* params, plat::WindowId owner);
// "%.2f %s" of units 0-3 into out (MARPL_UNIT_TEXT_SIZE bytes): 1, else 0.
MARPLAPI_EXPORT std::uint16_t MARPLAPIConvertBaseUnitToString(std::uint32_t unit, float value, char* out);
// Unit (a unit name anywhere in the text, else device units) and value (a
// decimal number, point or comma): 1, or 0 for a null argument.
MARPLAPI_EXPORT std::uint16_t MARPLAPIConvertStringToBaseUnit(const char* text, MARPLMEASURE* out);
// Converts value from one unit into inout->unit, rounded to tenths, into
// inout->value: 1, or 0 for an unknown job (device units need its printer).
MARPLAPI_EXPORT std::uint16_t MARPLAPIConvertUnit(std::uint16_t job, std::uint32_t fromUnit, float value,
                                                  MARPLMEASURE* inout);

// --- accepted and without effect: each answers 0 ---
MARPLAPI_EXPORT std::uint16_t MARPLAPISetDeviceContextFont(std::uint16_t job, const void* font);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetNotificationParams(std::uint16_t job, plat::WindowId window,
                                                            std::uint32_t message);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetStringParam(std::uint16_t job, const char* name, const char* value);
MARPLAPI_EXPORT std::uint16_t MARPLAPIAckNotification(std::uint16_t job, std::uint32_t code);
MARPLAPI_EXPORT std::uint16_t MARPLAPIGetAPICaps(std::uint16_t index);
MARPLAPI_EXPORT std::uint16_t MARPLAPIGetDeviceContextFont(std::uint16_t job, void* font);
MARPLAPI_EXPORT std::uint16_t MARPLAPIPrintJob(std::uint16_t job);
MARPLAPI_EXPORT std::uint16_t MARPLAPISetParam(std::uint16_t job, std::uint16_t param, std::uint32_t value);

}  // extern "C"

static_assert(sizeof(MARPLMEASURE) == 8);
static_assert(sizeof(PAGEPARAMS) == 100);
static_assert(offsetof(PAGEPARAMS, headHeight) == 24);
static_assert(offsetof(PAGEPARAMS, textHeight) == 64);
static_assert(offsetof(PAGEPARAMS, pageWidth) == 88);
static_assert(offsetof(PAGEPARAMS, flags) == 96);
