#include "charges/dialogs/reportlines.h"

#include <QAbstractTableModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QTreeView>

#include <algorithm>
#include <limits>

#include "platform/dialogkit/dialog.h"
#include "platform/text.h"

namespace chargedlg {

void ReportLines::Clear() {
  text_.clear();
  ends_.clear();
}

void ReportLines::Reserve(std::size_t lines, std::size_t bytes) {
  ends_.reserve(lines);
  text_.reserve(bytes);
}

void ReportLines::Add(std::string_view line) {
  // Offsets are 32-bit: a list past 4 GiB of text keeps what it has.
  const std::size_t limit = std::min<std::size_t>(capacity_, std::numeric_limits<std::uint32_t>::max());
  if (text_.size() + line.size() > limit) return;
  text_.append(line);
  ends_.push_back(static_cast<std::uint32_t>(text_.size()));
}

std::string_view ReportLines::Line(std::size_t i) const {
  if (i >= ends_.size()) return {};
  const std::size_t from = i == 0 ? 0 : ends_[i - 1];
  return std::string_view(text_).substr(from, ends_[i] - from);
}

std::string_view ReportLines::Field(std::size_t i, int column) const {
  std::string_view line = Line(i);
  for (int c = 0; c < column; ++c) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {};
    line.remove_prefix(tab + 1);
  }
  return line.substr(0, line.find('\t'));
}

class ReportListModel : public QAbstractTableModel {
 public:
  ReportListModel(const ReportLines& lines, int columns) : lines_(lines), columns_(columns) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(lines_.Count(), INT32_MAX));
  }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : columns_; }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= heads.size()) return {};
    return heads[section];
  }
  QStringList heads;
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const std::size_t row = static_cast<std::size_t>(index.row());
    // The last column shows the rest of the line, as a list box would.
    std::string_view s = index.column() + 1 < columns_ ? lines_.Field(row, index.column()) : Rest(row);
    return QString::fromStdString(plat::Cp1252ToUtf8(std::string(s)));
  }
  void Reset(bool begin) { begin ? beginResetModel() : endResetModel(); }

 private:
  std::string_view Rest(std::size_t row) const {
    std::string_view line = lines_.Line(row);
    for (int c = 0; c + 1 < columns_; ++c) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string_view::npos) return {};
      line.remove_prefix(tab + 1);
    }
    return line;
  }
  const ReportLines& lines_;
  int columns_;
};

ReportListView::ReportListView(plat::Dialog& dialog, int id) {
  QWidget* old = dialog.Item(id);
  const plat::dlg::Node* node = dialog.GetTemplate().Find(id);
  const std::vector<int> tabs = node ? node->tabs : std::vector<int>{};
  model_ = std::make_unique<ReportListModel>(lines_, static_cast<int>(tabs.size()) + 1);
  if (!old || !old->parentWidget()) return;
  // The template's column heads stand over the columns.
  for (int head : node ? node->heads : std::vector<int>{})
    if (auto* label = qobject_cast<QLabel*>(dialog.Item(head))) model_->heads << label->text();
  view_ = new QTreeView(old->parentWidget());
  view_->setModel(model_.get());
  view_->setHeaderHidden(model_->heads.isEmpty());
  view_->header()->setSectionsMovable(false);
  view_->header()->setSectionsClickable(false);
  view_->setRootIsDecorated(false);
  view_->setUniformRowHeights(true);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setMinimumSize(old->minimumSize());
  // A tab stop ends a column as in a list box: a text that reaches the
  // next stop is cut there, never replaced by an ellipsis.
  view_->setTextElideMode(Qt::ElideNone);
  const int cw = std::max(1, view_->fontMetrics().averageCharWidth());
  int prev = 0;
  for (std::size_t i = 0; i < tabs.size(); ++i) {
    int width = (tabs[i] - prev) * cw / 4;
    if (static_cast<int>(i) < model_->heads.size())
      width = std::max(width, view_->fontMetrics().horizontalAdvance(model_->heads[static_cast<int>(i)]) + kCellPad);
    stops_.push_back(width);
    view_->setColumnWidth(static_cast<int>(i), width);
    prev = tabs[i];
  }
  old->setObjectName(QString());
  view_->setObjectName(QString::number(id));
  if (QLayout* top = old->window()->layout()) {
    delete top->replaceWidget(old, view_);
  }
  old->hide();
  view_->setEnabled(old->isEnabled());
}

ReportListView::~ReportListView() {
  // The view goes with its dialog; it must not outlive the model.
  if (view_) view_->setModel(nullptr);
}

ReportLines& ReportListView::BeginFill() {
  model_->Reset(true);
  lines_.Clear();
  return lines_;
}

void ReportListView::EndFill() {
  model_->Reset(false);
  FitColumns();
}

void ReportListView::FitColumns() {
  if (!view_) return;
  // The longest field of each column, found in one pass over the text.
  std::vector<std::string_view> longest(stops_.size());
  for (std::size_t i = 0; i < lines_.Count(); ++i) {
    std::string_view line = lines_.Line(i);
    if (line.find('\t') == std::string_view::npos) continue;  // a note runs across
    for (std::size_t c = 0; c < longest.size() && !line.empty(); ++c) {
      const std::size_t tab = line.find('\t');
      const std::string_view field = line.substr(0, tab);
      if (field.size() > longest[c].size()) longest[c] = field;
      if (tab == std::string_view::npos) break;
      line.remove_prefix(tab + 1);
    }
  }
  int grown = 0;
  for (std::size_t c = 0; c < stops_.size(); ++c) {
    const QString text = QString::fromStdString(plat::Cp1252ToUtf8(std::string(longest[c])));
    const int width = std::max(stops_[c], view_->fontMetrics().horizontalAdvance(text) + kCellPad);
    grown += width - view_->columnWidth(static_cast<int>(c));
    view_->setColumnWidth(static_cast<int>(c), width);
  }
  // Every column whole: the list grows rather than cut a value.
  if (grown > 0) view_->setMinimumWidth(view_->minimumWidth() + grown);
}

std::string ReportListView::Line(int i) const {
  return i < 0 ? std::string() : std::string(lines_.Line(static_cast<std::size_t>(i)));
}

int ReportListView::CurSel() const {
  if (!view_ || !view_->selectionModel()) return -1;
  const QModelIndexList rows = view_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void ReportListView::SetCurSel(int i) {
  if (!view_ || !view_->selectionModel()) return;
  if (i < 0 || i >= Count()) {
    view_->selectionModel()->clearSelection();
    return;
  }
  const QModelIndex idx = model_->index(i, 0);
  view_->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_->scrollTo(idx);
}

}  // namespace chargedlg
