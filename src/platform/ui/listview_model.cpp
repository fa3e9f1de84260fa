#include "listview_model.h"

#include <algorithm>
#include <numeric>

namespace ui {

ListViewModel::ListViewModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListViewModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(cols_.size());
}

QString ListViewModel::cell(int row, int col) const {
  const QStringList& t = rows_[static_cast<size_t>(row)].texts;
  return col >= 0 && col < t.size() ? t[col] : QString();
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return cell(index.row(), index.column());
    case Qt::CheckStateRole:
      if (index.column() == 0 && checkable_)
        return rows_[static_cast<size_t>(index.row())].checked ? Qt::Checked : Qt::Unchecked;
      return {};
    default:
      return {};
  }
}

bool ListViewModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::CheckStateRole || index.column() != 0 || !checkable_) return false;
  const bool on = value.toInt() == Qt::Checked;
  Row& r = rows_[static_cast<size_t>(index.row())];
  if (r.checked == on) return true;
  r.checked = on;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit userChecked(index.row());
  return true;
}

Qt::ItemFlags ListViewModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0 && checkable_) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ListViewModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const Column& c = cols_[static_cast<size_t>(section)];
  if (role == Qt::DisplayRole) return c.text;
  if (role == Qt::DecorationRole && !c.icon.isNull()) return c.icon;
  return {};
}

void ListViewModel::insertColumnAt(int pos, Column c) {
  beginInsertColumns(QModelIndex(), pos, pos);
  cols_.insert(cols_.begin() + pos, std::move(c));
  endInsertColumns();
}

void ListViewModel::clearColumns() {
  if (cols_.empty()) return;
  beginRemoveColumns(QModelIndex(), 0, columnCount() - 1);
  cols_.clear();
  endRemoveColumns();
}

void ListViewModel::setColumnIcon(int col, const QIcon& icon, const QString& key) {
  cols_[static_cast<size_t>(col)].icon = icon;
  cols_[static_cast<size_t>(col)].iconKey = key;
  emit headerDataChanged(Qt::Horizontal, col, col);
}

bool ListViewModel::before(const QString& a, const QString& b) const {
  const int c = QString::compare(a, b, Qt::CaseInsensitive);
  return sortOrder_ == 0 ? c < 0 : c > 0;
}

int ListViewModel::insertPosition(const QString& key) const {
  const auto it = std::upper_bound(rows_.begin(), rows_.end(), key, [this](const QString& k, const Row& r) {
    return before(k, r.texts.value(sortKey_));
  });
  return static_cast<int>(it - rows_.begin());
}

int ListViewModel::appendRow(QStringList texts) {
  const int pos = sorted_ ? insertPosition(texts.value(sortKey_)) : rowCount();
  beginInsertRows(QModelIndex(), pos, pos);
  rows_.insert(rows_.begin() + pos, Row{std::move(texts), false});
  endInsertRows();
  return pos;
}

void ListViewModel::appendRows(const QList<QStringList>& rows) {
  if (rows.isEmpty()) return;
  const int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(rows.size()) - 1);
  rows_.reserve(rows_.size() + static_cast<size_t>(rows.size()));
  for (const QStringList& t : rows) rows_.push_back(Row{t, false});
  endInsertRows();
  // The rows already there are in order; a stable sort puts each new one after its equals,
  // as adding them one by one would.
  if (sorted_) resort();
}

void ListViewModel::removeRowAt(int row) {
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void ListViewModel::clearRows() {
  beginResetModel();
  rows_.clear();
  endResetModel();
}

void ListViewModel::setCell(int row, int col, const QString& text) {
  QStringList& t = rows_[static_cast<size_t>(row)].texts;
  while (t.size() <= col) t << QString();
  if (t[col] == text) return;
  t[col] = text;
  if (col < columnCount()) emit dataChanged(index(row, col), index(row, col), {Qt::DisplayRole});
  if (sorted_ && col == sortKey_) placeRow(row);
}

void ListViewModel::setChecked(int row, bool on) {
  Row& r = rows_[static_cast<size_t>(row)];
  if (r.checked == on) return;
  r.checked = on;
  emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void ListViewModel::setCheckable(bool on) {
  if (checkable_ == on) return;
  checkable_ = on;
  if (!rows_.empty() && !cols_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0));
}

void ListViewModel::setSortState(bool sorted, int key, int order) {
  const bool changed = sorted != sorted_ || key != sortKey_ || order != sortOrder_;
  sorted_ = sorted;
  sortKey_ = key;
  sortOrder_ = order;
  if (sorted_ && changed) resort();
}

void ListViewModel::resort() {
  const int n = rowCount();
  std::vector<int> order(static_cast<size_t>(n));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return before(rows_[static_cast<size_t>(a)].texts.value(sortKey_),
                  rows_[static_cast<size_t>(b)].texts.value(sortKey_));
  });
  if (std::is_sorted(order.begin(), order.end())) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> newPos(static_cast<size_t>(n));
  std::vector<Row> sortedRows;
  sortedRows.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    newPos[static_cast<size_t>(order[static_cast<size_t>(i)])] = i;
    sortedRows.push_back(std::move(rows_[static_cast<size_t>(order[static_cast<size_t>(i)])]));
  }
  rows_ = std::move(sortedRows);
  // Selection and the current row are persistent indexes: they follow their rows.
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& i : from) to << index(newPos[static_cast<size_t>(i.row())], i.column());
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListViewModel::placeRow(int row) {
  const QString key = rows_[static_cast<size_t>(row)].texts.value(sortKey_);
  // Binary search over the other rows, which are in order.
  auto keyAt = [&](int i) { return rows_[static_cast<size_t>(i < row ? i : i + 1)].texts.value(sortKey_); };
  int lo = 0, hi = rowCount() - 1;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (before(key, keyAt(mid)))
      hi = mid;
    else
      lo = mid + 1;
  }
  const int dest = lo;  // position among the others
  if (dest == row) return;
  beginMoveRows(QModelIndex(), row, row, QModelIndex(), dest > row ? dest + 1 : dest);
  if (dest > row)
    std::rotate(rows_.begin() + row, rows_.begin() + row + 1, rows_.begin() + dest + 1);
  else
    std::rotate(rows_.begin() + dest, rows_.begin() + row, rows_.begin() + row + 1);
  endMoveRows();
}

}  // namespace ui
