// The command streams of the program's printed reports, as they send them,
// with generated rows.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace printtest {

struct Command {
  std::uint16_t cmd, sub, kind;
  std::string text;
};

struct Report {
  std::string name;         // the job's file name
  std::string header;       // the page header
  std::string title;        // the first tabbed line
  std::string format;       // the table format
  std::vector<std::string> head;  // table header cells
  std::vector<std::vector<std::string>> rows;
  std::vector<Command> stream;
  bool bigTitle = false;    // the title is set in 14 pt
};

enum class Kind { CallData, Evaluation0, Evaluation1, ChargeReport, ChargeInvoice, TotalCharges };
const char* KindName(Kind k);
Report MakeReport(Kind k, int rows);

}  // namespace printtest
