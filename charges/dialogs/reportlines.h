// The lines of a charge report list, kept in one buffer: a list of a
// million calls costs its text and one offset a line, not a widget item
// each. ReportListView shows them in place of the template's tab-stop list.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QPointer>
#include <QTreeView>

namespace plat {
class Dialog;
}

namespace chargedlg {

class ReportLines {
 public:
  void Clear();
  void Reserve(std::size_t lines, std::size_t bytes);
  // A line past the capacity (at most 4 GiB of text) is not added.
  void Add(std::string_view line);
  void SetCapacity(std::size_t bytes) { capacity_ = bytes; }
  std::size_t Count() const { return ends_.size(); }
  std::string_view Line(std::size_t i) const;
  // The tab-separated field of a line; empty past its last field.
  std::string_view Field(std::size_t i, int column) const;

 private:
  std::string text_;
  std::vector<std::uint32_t> ends_;  // where each line ends in text_
  std::size_t capacity_ = UINT32_MAX;
};

class ReportListModel;

// Replaces the dialog's tab-stop list of that id by a view over lines; the
// view takes the control id as its name, the template's column heads as
// its header and the template's tab stops as its columns' least widths: a
// column grows to its longest value, so no value is cut.
class ReportListView {
 public:
  ReportListView(plat::Dialog& dialog, int id);
  ~ReportListView();
  ReportListView(const ReportListView&) = delete;
  ReportListView& operator=(const ReportListView&) = delete;

  // Filling: the view is told once, at EndFill, not at every line.
  ReportLines& BeginFill();
  void EndFill();
  const ReportLines& Lines() const { return lines_; }
  int Count() const { return static_cast<int>(lines_.Count()); }
  std::string Line(int i) const;
  int CurSel() const;
  void SetCurSel(int i);  // -1 clears
  QTreeView* View() const { return view_.data(); }

 private:
  // Room around a cell's text, so that it is never cut.
  static constexpr int kCellPad = 14;
  void FitColumns();

  std::vector<int> stops_;  // the columns' least widths
  ReportLines lines_;
  std::unique_ptr<ReportListModel> model_;
  QPointer<QTreeView> view_;
};

}  // namespace chargedlg
