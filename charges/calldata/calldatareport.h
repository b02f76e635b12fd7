// The printed list of the own workstation's call data ("Liste drucken"):
// one print job of the print library filled with a fixed command stream.
// The library is reached through a thin binding so that tests record the
// stream; the program binds the library's exports.
#pragma once
#include <cstdint>
#include <string>

#include "platform/win32types.h"

class ICallDataSource;

class IReportPrinter {
 public:
  virtual ~IReportPrinter() = default;
  virtual std::uint16_t Create(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag) = 0;
  // The print dialog: 1 when a printer was chosen.
  virtual std::uint16_t Configure(std::uint16_t job, plat::WindowId owner) = 0;
  virtual std::uint16_t Sequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                                 const void* data) = 0;
  virtual std::uint16_t LaTeX(std::uint16_t job, const char* text) = 0;
  virtual std::uint16_t Release(std::uint16_t job) = 0;
};

// The print library itself.
class CMarpelReportPrinter : public IReportPrinter {
 public:
  std::uint16_t Create(const char* fileName, std::uint32_t fileType, std::uint32_t deleteFlag) override;
  std::uint16_t Configure(std::uint16_t job, plat::WindowId owner) override;
  std::uint16_t Sequence(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                         const void* data) override;
  std::uint16_t LaTeX(std::uint16_t job, const char* text) override;
  std::uint16_t Release(std::uint16_t job) override;
};

// The start of every report: the document named document, its style and
// font, and the page geometry of the configuration's page texts.
void BeginReport(IReportPrinter& printer, std::uint16_t job, const char* document);

// A line of the list (date, time, cost, the two charge texts, the called
// and the calling number, tab-separated) as a row of the printed list, its
// parts under the headings: date, time ("von"), the first charge text
// ("bis"), cost, caller, called. Missing parts stay empty.
std::string CallDataReportRow(const std::string& line);

// Prints the list: true when the job was filled and handed to the printer;
// false when no job could be taken (logged) or the print dialog was
// cancelled. Every job taken is released, printed or not.
bool PrintCallDataReport(ICallDataSource& list, IReportPrinter& printer, plat::WindowId owner);
