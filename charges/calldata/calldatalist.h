// What the call data dialogs need of the own workstation's call data list
// (one text line per connected call of the own extension): its lines, its
// emptying, its actions on a line and the texts of its printed report.
#pragma once
#include <string>
#include <vector>

class ICallDataSource {
 public:
  // Action codes of Act.
  enum : int { kCallBack = 0, kShow = 1, kToCallbackList = 2, kToPhoneBook = 5 };

  virtual ~ICallDataSource() = default;
  // Starts reading at the first line; false when there is nothing to read.
  virtual bool FirstLine() = 0;
  // Each line of the file in order (empty ones may come; callers skip
  // them); false once the file has no more lines.
  virtual bool NextLine(std::string* line) = 0;
  // Empties the list and its file; 0 on success, else the lines stay.
  virtual int EmptyList() = 0;
  // Runs the action of code on the call that line describes; may open
  // dialogs of its own.
  virtual int Act(int code, const std::string& line) = 0;
  // 0 title, 1 column header, 2 column format, 3 date line, 4 own number.
  virtual std::string GetReportText(int code) = 0;
};

// The list's lines in file order, empty lines skipped: a blank line in the
// middle of the file hides none of the lines after it.
inline std::vector<std::string> ReadCallDataLines(ICallDataSource& list) {
  std::vector<std::string> lines;
  if (!list.FirstLine()) return lines;
  std::string line;
  while (list.NextLine(&line))
    if (!line.empty()) lines.push_back(line);
  return lines;
}
