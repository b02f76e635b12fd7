// Printing phone book records through the print library: a job, the print
// dialog, 15 mm of paper kept free all round, five tab stops and one tabbed
// line per line of each record, two empty lines after each.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "phonebook/dialogs/pbstore.h"
#include "platform/win32types.h"

namespace pb {

// The print library's calls that printing makes (tests record them).
class IPrintSink {
 public:
  virtual ~IPrintSink() = default;
  virtual std::uint16_t Create(const std::string& name) = 0;          // MARPL_NO_JOB on failure
  virtual bool Configure(std::uint16_t job, plat::WindowId owner) = 0;  // false: the user cancelled
  virtual void Command(std::uint16_t job, std::uint16_t command, std::uint16_t sub, std::uint16_t kind,
                       const void* data) = 0;
  virtual void Release(std::uint16_t job) = 0;
};
IPrintSink& PrintSink();
void SetPrintSink(IPrintSink* sink);  // nullptr: the print library

// The five-line layout of a record, or six with the note.
std::string PrintTemplate(bool withNote);
// The document's name: text 11/67 for a list; for one record that text,
// " - " and the record's company and name (or its number, or "?"), so that
// it does not take the place of the list's document.
std::string PrintDocumentName(const PbRecord* one);
// hits: only these records; one: only this record (with its note); both
// null: every record in use. Returns the records printed.
int PrintRecords(plat::WindowId owner, IPhoneBookStore& store, const std::vector<std::int64_t>* hits,
                 const PbRecord* one);

}  // namespace pb
