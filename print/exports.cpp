// The flat exports: each one checks its arguments, calls the library and
// lets nothing escape across the boundary.
#include <algorithm>
#include <cstring>
#include <exception>

#include "print/jobs.h"
#include "print/marpel32.h"
#include "print/pagedlg.h"

namespace {

template <class F>
std::uint16_t Guard(F&& f, std::uint16_t failed = 0) noexcept {
  try {
    return f();
  } catch (...) {
    return failed;
  }
}

}  // namespace

extern "C" {

std::uint16_t MARPLAPICreatePrintFile(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag) {
  return Guard([&] { return marpel::CreatePrintFile(fileName, fileType, deleteFlag); }, MARPL_NO_JOB);
}

std::uint16_t MARPLAPIReleasePrintJob(std::uint16_t job) {
  return Guard([&] { return marpel::ReleasePrintJob(job); });
}

std::uint16_t MARPLAPIConfigPrintJobEx(std::uint16_t job, plat::WindowId owner) {
  return Guard([&] { return marpel::ConfigPrintJobEx(job, owner); });
}

std::uint16_t MARPLAPIConfigPrintJob(plat::WindowId owner) {
  return Guard([&] { return marpel::ConfigPrintJob(owner); });
}

std::uint16_t MARPLAPIPrintFile(const char* path, std::uint32_t) {
  return Guard([&] { return marpel::PrintFile(path); });
}

std::uint16_t MARPLAPISetSequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                                  const void* data) {
  return Guard([&] { return marpel::SetSequence(job, command, sub, kind, data); });
}

std::uint16_t MARPLAPISetStringSequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub,
                                        const char* text) {
  return MARPLAPISetSequence(job, command, sub, MARPL_KIND_TEXT, text);
}

std::uint16_t MARPLAPISetLaTeXCommand(std::uint16_t job, const char* text) {
  return text ? MARPLAPISetSequence(job, MARPL_CMD_LATEX, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, text) : 0;
}

std::uint16_t MARPLAPISetPageHeader(std::uint16_t job, const char* text) {
  return text ? MARPLAPISetSequence(job, MARPL_CMD_PAGE_HEADER, MARPL_SUB_HEADER_SET, MARPL_KIND_TEXT, text) : 0;
}

std::uint16_t MARPLAPISetPageStyle(std::uint16_t job, const char* text) {
  return Guard([&] { return marpel::SetPageStyle(job, text); });
}

std::uint16_t MARPLAPIBeginTable(std::uint16_t job, const char* format) {
  return format ? MARPLAPISetSequence(job, MARPL_CMD_BEGIN_TABLE, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, format) : 0;
}

std::uint16_t MARPLAPITableHeader(std::uint16_t job, const char* text) {
  return text ? MARPLAPISetSequence(job, MARPL_CMD_TABLE_HEADER, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, text) : 0;
}

std::uint16_t MARPLAPITableEntry(std::uint16_t job, const char* text) {
  return text ? MARPLAPISetSequence(job, MARPL_CMD_TABLE_ROW, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, text) : 0;
}

std::uint16_t MARPLAPITableLine(std::uint16_t job, const char* text) {
  if (text && *text) return 0;
  return MARPLAPISetSequence(job, MARPL_CMD_TABLE_LINE, MARPL_SUB_DEFAULT, MARPL_KIND_NONE, text);
}

std::uint16_t MARPLAPIEndTable(std::uint16_t job) {
  return MARPLAPISetSequence(job, MARPL_CMD_END_TABLE, 0, MARPL_KIND_NONE, nullptr);
}

std::uint16_t MARPLAPITabbedText(std::uint16_t job, const char* text) {
  return text ? MARPLAPISetSequence(job, MARPL_CMD_TABBED_LINE, MARPL_SUB_DEFAULT, MARPL_KIND_TEXT, text) : 0;
}

std::uint16_t MARPLAPIGetDeviceContextCaps(std::uint16_t job, std::uint16_t index) {
  return Guard([&] { return marpel::GetDeviceCaps(job, index); });
}

std::uint16_t MARPLAPIGetDeviceContextDimension(std::uint16_t job, std::uint16_t which, const char* text) {
  return Guard([&] { return marpel::GetDimension(job, which, text); });
}

std::uint16_t MARPLAPISetInternalParam(const char* name, const char* value) {
  return Guard([&] { return marpel::SetInternalParam(name, value); });
}

std::uint16_t MARPLAPIConfigPageParams(PAGEPARAMS* params, plat::WindowId owner) {
  return Guard([&] { return marpel::RunPageParamsDialog(params, owner); });
}

std::uint16_t MARPLAPIConvertBaseUnitToString(std::uint32_t unit, float value, char* out) {
  return Guard([&]() -> std::uint16_t {
    if (!out || unit > MARPL_UNIT_IN) return 0;
    return marpel::FormatMeasure(static_cast<int>(unit), value, out, MARPL_UNIT_TEXT_SIZE) ? 1 : 0;
  });
}

std::uint16_t MARPLAPIConvertStringToBaseUnit(const char* text, MARPLMEASURE* out) {
  return Guard([&]() -> std::uint16_t {
    if (!text || !out) return 0;
    marpel::Measure m;
    marpel::ReadMeasure(text, &m);
    out->unit = static_cast<std::uint32_t>(m.unit);
    out->value = static_cast<float>(std::clamp(m.value, -3.0e38, 3.0e38));
    return 1;
  });
}

std::uint16_t MARPLAPIConvertUnit(std::uint16_t job, std::uint32_t fromUnit, float value, MARPLMEASURE* inout) {
  return Guard([&]() -> std::uint16_t {
    if (!inout) return 0;
    return marpel::ConvertUnit(job, fromUnit, value, &inout->unit, &inout->value);
  });
}

std::uint16_t MARPLAPISetDeviceContextFont(std::uint16_t, const void*) { return 0; }
std::uint16_t MARPLAPISetNotificationParams(std::uint16_t, plat::WindowId, std::uint32_t) { return 0; }
std::uint16_t MARPLAPISetStringParam(std::uint16_t, const char*, const char*) { return 0; }
std::uint16_t MARPLAPIAckNotification(std::uint16_t, std::uint32_t) { return 0; }
std::uint16_t MARPLAPIGetAPICaps(std::uint16_t) { return 0; }
std::uint16_t MARPLAPIGetDeviceContextFont(std::uint16_t, void*) { return 0; }
std::uint16_t MARPLAPIPrintJob(std::uint16_t) { return 0; }
std::uint16_t MARPLAPISetParam(std::uint16_t, std::uint16_t, std::uint32_t) { return 0; }

}  // extern "C"
