// The library's ten print jobs, the command tables that fill them, and the
// library-wide default printer. The exports of marpel32.h stand on these.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32types.h"
#include "print/engine.h"
#include "print/surface.h"

namespace marpel {

struct PrintJob {
  std::int16_t id = -1;
  std::string name;
  std::uint32_t fileType = 1;
  std::uint32_t deleteFlag = 1;
  int fd = -1;
  plat::WindowId owner = 0;
  std::unique_ptr<Surface> surface;
  bool startFailed = false;
  std::uint16_t deviceNumber = 0;
};

// The job in use with that id, else null.
PrintJob* FindJob(std::uint16_t id);
PageLayout& LayoutOf(std::uint16_t slot);
// A surface that printer commands can use: bound, and not after a failed
// start.
Surface* UsableSurface(PrintJob& job);
// Binds a job to a surface, as a confirmed print dialog does (tests, and
// the fuzz target's PDF in memory).
void BindSurface(PrintJob& job, std::unique_ptr<Surface> surface);
// Frees the job's device once: an unfinished document is abandoned.
void FreeSurface(PrintJob& job);

std::uint16_t CreatePrintFile(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag);
std::uint16_t ReleasePrintJob(std::uint16_t job);
std::uint16_t ConfigPrintJobEx(std::uint16_t job, plat::WindowId owner);
std::uint16_t ConfigPrintJob(plat::WindowId owner);
std::uint16_t PrintFile(const char* path);
std::uint16_t SetSequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                          const void* data);
std::uint16_t SetPageStyle(std::uint16_t job, const char* text);
std::uint16_t GetDeviceCaps(std::uint16_t job, std::uint16_t index);
std::uint16_t GetDimension(std::uint16_t job, std::uint16_t which, const char* text);
std::uint16_t SetInternalParam(const char* name, const char* value);
std::uint16_t ConvertUnit(std::uint16_t job, std::uint32_t from, float value, std::uint32_t* toUnit,
                          float* result);

// Back to the state at load: no jobs, fresh layouts and font slots, logging
// off (tests).
void ResetLibrary();

}  // namespace marpel
