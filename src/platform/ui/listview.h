#pragma once
// The list view control in report view with VB's model: ListItems numbered from 1, each
// with a text, SubItems(1..n), a check box and a selection; ColumnHeaders with widths in
// twips; Sorted/SortKey/SortOrder text sort; header icons.
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTreeView>
#include <map>
#include <memory>
#include <vector>

namespace ui {

class ListViewModel;

enum ListSortOrder { lvwAscending = 0, lvwDescending = 1 };
enum ListViewMode { lvwIcon = 0, lvwSmallIcon = 1, lvwList = 2, lvwReport = 3 };

class ListView : public QTreeView {
  Q_OBJECT
 public:
  explicit ListView(QWidget* parent = nullptr);
  ~ListView() override;

  // --- ColumnHeaders
  // Adds a column at 1-based `index` (0 or count+1 appends); width in twips, -1 the default.
  void addColumn(const QString& text, int widthTwips = -1, int index = 0);
  void clearColumns();
  int columnCount() const;
  QString columnText(int index) const;               // 1-based
  int columnWidthTwips(int index) const;             // 1-based
  void setColumnIcon(int index, const QIcon& icon);  // 1-based; null icon clears
  QIcon columnIcon(int index) const;
  // The header's icon with the image-list key it came from ("up", "down"); an empty key
  // clears the icon.
  void setColumnIconKey(int index, const QString& key, const QIcon& icon);
  QString columnIconKey(int index) const;

  // --- ListItems
  // Adds a row at the end; returns its 1-based index. The first row put into an empty
  // list becomes the current, selected row.
  int addItem(const QString& text);
  // Adds a whole row: values[0] is the text, values[1..] the sub-items (faster for fills).
  int addRow(const QStringList& values);
  // Adds many rows at the end in one step (a fill of the whole list); unticked.
  void addRows(const QList<QStringList>& rows);
  void removeItem(int index);  // 1-based
  void clearItems();
  int count() const;
  QString itemText(int index) const;
  void setItemText(int index, const QString& text);
  QString subItem(int index, int sub) const;  // sub >= 1; "" when not set
  void setSubItem(int index, int sub, const QString& text);
  bool checked(int index) const;
  void setChecked(int index, bool on);
  bool selected(int index) const;
  void setSelected(int index, bool on);
  // The current row (SelectedItem), 0 when there is none.
  int currentIndex1() const;
  void setCurrentIndex1(int index);

  // --- display options
  bool Checkboxes = true;
  bool FullRowSelect = false, MultiSelect = false, FlatScrollBar = false, GridLines = false, HotTracking = false;
  int View = lvwReport;
  void applyOptions();
  // Report view with full-row selection, multiple selection, flat scroll bars, grid lines
  // and hot tracking: the look of the member list.
  void setReportStyle();
  // A picture behind the rows (the list's Picture); a null image removes it.
  void setBackgroundPicture(const QImage& picture);
  QImage backgroundPicture() const { return background_; }

  // --- sort: with Sorted on, rows are ordered by the text of column SortKey (0 = row
  // text, n = sub-item n), regardless of case; ticks and selection move with their rows.
  bool Sorted() const;
  void setSorted(bool on);
  int SortKey() const;
  void setSortKey(int key);
  int SortOrder() const;
  void setSortOrder(int order);

  ListViewModel* listModel() const;

 signals:
  void itemClicked();             // ItemClick / Click
  void itemDoubleClicked();       // DblClick
  void columnClicked(int index);  // ColumnClick, 1-based
  void itemCheck(int index);      // ItemCheck, 1-based

 private:
  int checkBoxPx(int col) const;
  int row0(int index) const;  // 1-based item index -> model row; throws when out of range
  int col0(int index) const;  // 1-based column index -> model column; throws when out of range
  void applyWidth(int col);
  // Selection changes made in code are gathered and handed to the view in one step
  // (selecting rows one by one is quadratic in Qt's selection model).
  void flushSelection();
  void selectFirstRow();

  std::map<int, bool> pendingSelection_;  // model row -> selected
  bool flushQueued_ = false;

  std::unique_ptr<ListViewModel> model_;
  QImage background_;
  class GridDelegate* grid_ = nullptr;
  bool settingWidth_ = false;
};

}  // namespace ui
