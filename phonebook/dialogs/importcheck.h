// The import file as the import sees it: its lines split into columns and
// the links from file columns to phone book fields (at most 100 pairs, the
// used ones at the front).
#pragma once
#include <array>
#include <string>
#include <vector>

#include "phonebook/dialogs/importreader.h"

namespace pb {

class CDataBaseImportFileChecker {
 public:
  static constexpr int kMaxLinks = 100;

  CDataBaseImportFileChecker() { ClearLinks(); }

  int ClearLinks();
  // 1 when the file was read and holds text; 0 when it cannot be read or
  // is binary.
  int OpenFile(const std::string& path);
  // Counts the lines and the first line's columns; 0 when not open.
  int Scan();
  long GetLineCount() const { return lines_; }
  long GetColumnCount() const { return columns_; }
  long GetLineNumber() const { return lineNumber_; }
  // how 1: from the start, one line read; 2: back to the start, nothing
  // read (result 2); other: the next line. 1 when a line was read.
  int ReadLine(int how);
  // kind 1: the name of field n; else column n of the last line read. A
  // column the line lacks is empty and counted in MissingColumns().
  std::string GetColumn(int n, int kind);
  // The pair of this column, else the first free one: its index, -1 when
  // the column is outside 0..99 or the table is full.
  int AddLink(int column, int field);
  int RemoveLink(int field);
  // -1: cursor to the start (0); 0: the column at the cursor; 1: its field
  // (both step on); -1 for other values.
  int NextLink(int what);
  // which 0: the field linked to column value; 1: the column linked to
  // field value; -1 when none.
  int FindLink(int value, int which) const;
  int GetLink(int index, int which) const;
  int GetLinkCount() const;
  std::string GetLinkText(int index, const std::string& separator);
  int CloseFile();

  void SetSeparator(char c) { reader_.SetSeparator(c); }
  char Separator() const { return reader_.Separator(); }
  bool IsOpen() const { return open_; }
  // Columns asked for that the line lacked, since the file was opened.
  long MissingColumns() const { return missing_; }
  // Lines skipped for their length in the current pass.
  long SkippedLines() const { return static_cast<long>(reader_.Skipped()); }
  std::size_t PhysicalLine() const { return reader_.PhysicalLine(); }
  const std::vector<std::string>& Columns() const { return line_; }

 private:
  struct Link {
    int column = -1;
    int field = -1;
  };
  std::array<Link, kMaxLinks> links_;
  int cursor_ = 0;
  ImportLines reader_;
  std::vector<std::string> line_;
  bool open_ = false;
  long lines_ = 0;
  long columns_ = 0;
  long lineNumber_ = 0;
  long missing_ = 0;
};

}  // namespace pb
