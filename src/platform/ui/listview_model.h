#pragma once
// The rows and columns behind ui::ListView. Rows are plain values: their texts (row text
// first, then the sub-items) and the tick. The selection lives in the view.
#include <QAbstractTableModel>
#include <QIcon>
#include <QStringList>
#include <vector>

namespace ui {

class ListViewModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  struct Row {
    QStringList texts;
    bool checked = false;
  };
  struct Column {
    QString text;
    int widthTwips = 1440;
    QIcon icon;
    QString iconKey;
  };

  explicit ListViewModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // Columns (0-based here; the view speaks 1-based).
  const std::vector<Column>& columns() const { return cols_; }
  void insertColumnAt(int pos, Column c);
  void clearColumns();
  void setColumnIcon(int col, const QIcon& icon, const QString& key = QString());
  void setColumnWidthTwips(int col, int twips) { cols_[col].widthTwips = twips; }

  // Rows (0-based).
  const std::vector<Row>& rows() const { return rows_; }
  int appendRow(QStringList texts);
  void appendRows(const QList<QStringList>& rows);
  void removeRowAt(int row);
  void clearRows();
  QString cell(int row, int col) const;
  void setCell(int row, int col, const QString& text);
  void setChecked(int row, bool on);
  void setCheckable(bool on);

  // Sort; with `sorted` on every change keeps the rows in order.
  bool sorted() const { return sorted_; }
  int sortKey() const { return sortKey_; }
  int sortOrder() const { return sortOrder_; }
  void setSortState(bool sorted, int key, int order);

 signals:
  // The user ticked or unticked a row (not raised for ticks set in code).
  void userChecked(int row);

 private:
  bool before(const QString& a, const QString& b) const;
  int insertPosition(const QString& key) const;  // stable: after equal keys
  void resort();
  void placeRow(int row);  // moves one row to its sorted place

  std::vector<Row> rows_;
  std::vector<Column> cols_;
  bool checkable_ = true;
  bool sorted_ = false;
  int sortKey_ = 0;
  int sortOrder_ = 0;
};

}  // namespace ui
