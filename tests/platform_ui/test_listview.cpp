#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPixmap>

#include "listview.h"
#include "listview_model.h"
#include "vb.h"

namespace {

void mouse(QWidget* w, QEvent::Type type, QPoint pos) {
  QMouseEvent e(type, pos, w->mapToGlobal(pos), Qt::LeftButton,
                type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

QStringList column(const ui::ListView& lv, int sub) {
  QStringList out;
  for (int i = 1; i <= lv.count(); ++i) out << (sub == 0 ? lv.itemText(i) : lv.subItem(i, sub));
  return out;
}

class ListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lv.MultiSelect = true;
    lv.applyOptions();
    lv.addColumn("No", 400);
    lv.addColumn("Nama", 2500);
    lv.addColumn("", 0);
  }
  ui::ListView lv;
};

TEST_F(ListViewTest, ColumnsKeepTwipsAndMapToFixedPixels) {
  EXPECT_EQ(lv.columnCount(), 3);
  EXPECT_EQ(lv.columnText(2), "Nama");
  EXPECT_EQ(lv.columnWidthTwips(1), 400);
  EXPECT_EQ(lv.columnWidthTwips(3), 0);
  // 15 twips per pixel whatever the screen: 400 -> 26.67 -> 27, 2500 -> 166.67 -> 167;
  // the first column also makes room for the check box beside its text.
  const int box = lv.header()->sectionSize(0) - 27;
  EXPECT_GT(box, 10);
  EXPECT_EQ(lv.header()->sectionSize(1), 167);
  // A zero-width column exists and holds data, it just takes no room.
  EXPECT_EQ(lv.header()->sectionSize(2), 0);
  EXPECT_EQ(lv.model()->columnCount(), 3);

  lv.addColumn("First", -1, 1);  // insert at the front with the default width
  EXPECT_EQ(lv.columnText(1), "First");
  EXPECT_EQ(lv.columnText(2), "No");
  EXPECT_EQ(lv.columnWidthTwips(1), 1440);
  EXPECT_EQ(lv.header()->sectionSize(0), 96 + box);
  EXPECT_EQ(lv.header()->sectionSize(1), 27);

  try {
    lv.columnText(9);
    FAIL() << "no error for a missing column";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 35600);
  }
  lv.clearColumns();
  EXPECT_EQ(lv.columnCount(), 0);
}

TEST_F(ListViewTest, RowsHoldTextSubItemsTicksAndSelection) {
  EXPECT_EQ(lv.addItem("1"), 1);
  lv.setSubItem(1, 1, "Budi");
  lv.setSubItem(1, 2, "17");
  EXPECT_EQ(lv.addRow({"2", "Ani", "18"}), 2);
  EXPECT_EQ(lv.addRow({"3"}), 3);
  ASSERT_EQ(lv.count(), 3);
  EXPECT_EQ(lv.itemText(2), "2");
  EXPECT_EQ(lv.subItem(1, 1), "Budi");
  EXPECT_EQ(lv.subItem(2, 2), "18");
  EXPECT_EQ(lv.subItem(3, 2), "");  // never set
  // The hidden column's text is there for readers even though it takes no room.
  EXPECT_EQ(lv.model()->data(lv.model()->index(1, 2)).toString(), "18");

  EXPECT_FALSE(lv.checked(1));  // new rows are unticked
  lv.setChecked(2, true);
  lv.setSelected(1, true);
  lv.setSelected(3, true);
  EXPECT_TRUE(lv.checked(2));
  EXPECT_TRUE(lv.selected(1));
  EXPECT_FALSE(lv.selected(2));
  EXPECT_TRUE(lv.selected(3));
  lv.setSelected(1, false);
  EXPECT_FALSE(lv.selected(1));

  // Removing a row keeps the others with their texts, ticks and selection.
  lv.removeItem(1);
  ASSERT_EQ(lv.count(), 2);
  EXPECT_EQ(column(lv, 0), QStringList({"2", "3"}));
  EXPECT_TRUE(lv.checked(1));
  EXPECT_FALSE(lv.checked(2));
  EXPECT_TRUE(lv.selected(2));

  try {
    lv.itemText(5);
    FAIL() << "no error for a missing row";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 35600);
  }

  lv.clearItems();
  EXPECT_EQ(lv.count(), 0);
  EXPECT_EQ(lv.currentIndex1(), 0);
}

TEST_F(ListViewTest, CurrentRowAndSingleSelection) {
  lv.addRows({{"1", "a"}, {"2", "b"}, {"3", "c"}});
  EXPECT_EQ(lv.currentIndex1(), 1);  // a fill makes its first row the current, selected one
  EXPECT_TRUE(lv.selected(1));
  lv.addRow({"4", "d"});  // later rows leave it where it is
  EXPECT_EQ(lv.currentIndex1(), 1);
  lv.clearItems();
  lv.addRow({"5", "e"});
  EXPECT_EQ(lv.currentIndex1(), 1);
  lv.addRows({{"6", "f"}});
  lv.setCurrentIndex1(2);
  EXPECT_EQ(lv.currentIndex1(), 2);
  EXPECT_TRUE(lv.selected(2));

  ui::ListView single;
  single.addColumn("No");
  single.addRows({{"1"}, {"2"}});
  single.setSelected(1, true);
  single.setSelected(2, true);
  EXPECT_FALSE(single.selected(1));  // one row at a time
  EXPECT_TRUE(single.selected(2));
  EXPECT_EQ(single.currentIndex1(), 2);
}

TEST_F(ListViewTest, SelectAllThenNoneReachesTheView) {
  QList<QStringList> rows;
  for (int i = 1; i <= 50; ++i) rows << QStringList{QString::number(i), "x"};
  lv.addRows(rows);
  for (int i = 1; i <= lv.count(); ++i) {
    lv.setChecked(i, true);
    lv.setSelected(i, true);
  }
  lv.setSelected(7, false);
  EXPECT_TRUE(lv.selected(50));
  EXPECT_FALSE(lv.selected(7));
  QApplication::processEvents();
  // What the user sees: the view's own selection.
  EXPECT_EQ(lv.selectionModel()->selectedRows().size(), 49);
  EXPECT_FALSE(lv.selectionModel()->isRowSelected(6, QModelIndex()));
  for (int i = 1; i <= lv.count(); ++i) {
    lv.setChecked(i, false);
    lv.setSelected(i, false);
  }
  QApplication::processEvents();
  EXPECT_TRUE(lv.selectionModel()->selectedRows().isEmpty());
  EXPECT_FALSE(lv.checked(1));
}

TEST_F(ListViewTest, TickingByUserRaisesItemCheckButCodeDoesNot) {
  lv.addRows({{"1"}, {"2"}});
  QList<int> checks;
  QObject::connect(&lv, &ui::ListView::itemCheck, [&](int i) { checks << i; });
  lv.setChecked(1, true);
  EXPECT_TRUE(checks.isEmpty());
  // What the view does when the user clicks the box.
  lv.model()->setData(lv.model()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
  EXPECT_EQ(checks, QList<int>({2}));
  EXPECT_TRUE(lv.checked(2));
  EXPECT_TRUE(lv.model()->flags(lv.model()->index(0, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(lv.model()->flags(lv.model()->index(0, 1)) & Qt::ItemIsUserCheckable);
}

TEST_F(ListViewTest, ClicksBecomeVbEvents) {
  lv.addRows({{"1", "a"}, {"2", "b"}});
  lv.resize(400, 300);
  lv.show();
  int clicks = 0, doubles = 0;
  QList<int> cols;
  QObject::connect(&lv, &ui::ListView::itemClicked, [&] { ++clicks; });
  QObject::connect(&lv, &ui::ListView::itemDoubleClicked, [&] { ++doubles; });
  QObject::connect(&lv, &ui::ListView::columnClicked, [&](int c) { cols << c; });
  const QPoint row2 = lv.visualRect(lv.model()->index(1, 1)).center();
  mouse(lv.viewport(), QEvent::MouseButtonPress, row2);
  mouse(lv.viewport(), QEvent::MouseButtonRelease, row2);
  const QPoint row1 = lv.visualRect(lv.model()->index(0, 1)).center();
  mouse(lv.viewport(), QEvent::MouseButtonPress, row1);
  mouse(lv.viewport(), QEvent::MouseButtonRelease, row1);
  mouse(lv.viewport(), QEvent::MouseButtonDblClick, row1);
  mouse(lv.viewport(), QEvent::MouseButtonRelease, row1);
  const QPoint head2(lv.header()->sectionViewportPosition(1) + 5, lv.header()->height() / 2);
  mouse(lv.header()->viewport(), QEvent::MouseButtonPress, head2);
  mouse(lv.header()->viewport(), QEvent::MouseButtonRelease, head2);
  EXPECT_EQ(clicks, 2);  // the double click's first click counts too
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(cols, QList<int>({2}));  // 1-based like ColumnHeaders
  EXPECT_EQ(lv.currentIndex1(), 1);  // the double-clicked row is current
}

TEST_F(ListViewTest, SortedByKeyIgnoresCaseAndCarriesTicksAndSelection) {
  lv.addRows({{"1", "budi"}, {"2", "Ani"}, {"3", "citra"}, {"10", "ANI"}, {"11", "Beni"}});
  lv.setChecked(1, true);   // budi
  lv.setSelected(3, true);  // citra
  lv.setSortKey(1);
  lv.setSortOrder(ui::lvwAscending);
  lv.setSorted(true);
  // Equal keys regardless of case keep their order: "Ani" came before "ANI".
  EXPECT_EQ(column(lv, 1), QStringList({"Ani", "ANI", "Beni", "budi", "citra"}));
  EXPECT_EQ(column(lv, 0), QStringList({"2", "10", "11", "1", "3"}));
  EXPECT_TRUE(lv.checked(4));
  EXPECT_TRUE(lv.selected(5));
  EXPECT_FALSE(lv.selected(1));
  EXPECT_FALSE(lv.checked(1));

  lv.setSortOrder(ui::lvwDescending);
  EXPECT_EQ(column(lv, 1), QStringList({"citra", "budi", "Beni", "Ani", "ANI"}));
  EXPECT_TRUE(lv.checked(2));
  EXPECT_TRUE(lv.selected(1));

  // Numbers sort as text.
  lv.setSortKey(0);
  lv.setSortOrder(ui::lvwAscending);
  EXPECT_EQ(column(lv, 0), QStringList({"1", "10", "11", "2", "3"}));

  // While sorted, new rows and changed keys take their place.
  lv.addRow({"0", "zz"});
  EXPECT_EQ(lv.itemText(1), "0");
  lv.setItemText(1, "9");
  EXPECT_EQ(lv.itemText(lv.count()), "9");
  lv.addRows({{"25", "x"}, {"100", "y"}});
  EXPECT_EQ(column(lv, 0), QStringList({"1", "10", "100", "11", "2", "25", "3", "9"}));

  // Switching sorting off leaves the order; later rows are appended.
  lv.setSorted(false);
  lv.addRow({"05"});
  EXPECT_EQ(column(lv, 0), QStringList({"1", "10", "100", "11", "2", "25", "3", "9", "05"}));
  EXPECT_FALSE(lv.Sorted());

  try {
    lv.setSortOrder(5);
    FAIL() << "no error for an invalid sort order";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 380);
  }
}

TEST_F(ListViewTest, SortingAnEmptyListAndHeaderIcons) {
  lv.setSorted(true);
  EXPECT_EQ(lv.count(), 0);
  QPixmap pm(16, 16);
  pm.fill(Qt::red);
  const QIcon down(pm);
  lv.setColumnIcon(2, down);
  EXPECT_FALSE(lv.columnIcon(2).isNull());
  EXPECT_TRUE(lv.columnIcon(1).isNull());
  EXPECT_TRUE(lv.model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).canConvert<QIcon>());
  lv.setColumnIcon(2, QIcon());
  EXPECT_TRUE(lv.columnIcon(2).isNull());

  lv.setColumnIconKey(1, "down", down);
  EXPECT_EQ(lv.columnIconKey(1), "down");
  EXPECT_FALSE(lv.columnIcon(1).isNull());
  lv.setColumnIconKey(1, "", down);
  EXPECT_EQ(lv.columnIconKey(1), "");
  EXPECT_TRUE(lv.columnIcon(1).isNull());
  // New columns after a rebuild carry no icon.
  lv.setColumnIconKey(2, "up", down);
  lv.clearColumns();
  lv.addColumn("No");
  lv.addColumn("Nama");
  EXPECT_EQ(lv.columnIconKey(2), "");
  EXPECT_FALSE(lv.model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
}

TEST(ListViewPlain, CheckboxesOffAndRowsBeforeColumns) {
  ui::ListView lv;
  lv.Checkboxes = false;
  lv.applyOptions();
  lv.addRow({"1", "a", "b"});  // no columns yet: the texts wait for them
  lv.addColumn("No");
  lv.addColumn("X");
  EXPECT_EQ(lv.subItem(1, 1), "a");
  EXPECT_EQ(lv.subItem(1, 2), "b");
  EXPECT_FALSE(lv.model()->flags(lv.model()->index(0, 0)) & Qt::ItemIsUserCheckable);
  EXPECT_FALSE(lv.model()->data(lv.model()->index(0, 0), Qt::CheckStateRole).isValid());
}

}  // namespace
