// The list view with VB's model: columns in twips, rows from 1, ticks, the current row,
// selection, sorting, and the user's clicks as VB events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QTest>

#include "error_number.h"
#include "listview.h"
#include "vb.h"

namespace {

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
  EXPECT_EQ(lv.columnWidthTwips(1), 400);
  // 15 twips per pixel whatever the screen: 400 -> 26.67 -> 27, 2500 -> 166.67 -> 167;
  // the first column also makes room for the check box beside its text.
  const int box = lv.header()->sectionSize(0) - 27;
  EXPECT_GT(box, 10);
  EXPECT_EQ(lv.header()->sectionSize(1), 167);
  EXPECT_EQ(lv.header()->sectionSize(2), 0);  // there, holding data, taking no room
  lv.addColumn("First", -1, 1);               // at the front, with the default width
  EXPECT_EQ(lv.columnText(2), "No");
  EXPECT_EQ(lv.header()->sectionSize(0), 96 + box);
  EXPECT_EQ(lv.header()->sectionSize(1), 27);  // the old first column gives up the box's room
  EXPECT_EQ(testsupport::errorNumber([&] { lv.columnText(9); }), 35600);
}

TEST_F(ListViewTest, RowsHoldTextSubItemsTicksAndSelection) {
  EXPECT_EQ(lv.addItem("1"), 1);
  lv.setSubItem(1, 1, "Budi");
  EXPECT_EQ(lv.addRow({"2", "Ani", "18"}), 2);
  EXPECT_EQ(lv.addRow({"3"}), 3);
  EXPECT_EQ(lv.subItem(1, 1), "Budi");
  EXPECT_EQ(lv.subItem(2, 2), "18");  // in the column that takes no room
  EXPECT_EQ(lv.subItem(3, 2), "");    // never set
  EXPECT_FALSE(lv.checked(1));        // new rows are unticked
  lv.setChecked(2, true);
  lv.setSelected(1, false);
  lv.setSelected(3, true);
  // Removing a row keeps the others with their texts, ticks and selection.
  lv.removeItem(1);
  EXPECT_EQ(column(lv, 0), QStringList({"2", "3"}));
  EXPECT_TRUE(lv.checked(1));
  EXPECT_FALSE(lv.selected(1));
  EXPECT_TRUE(lv.selected(2));
  EXPECT_EQ(testsupport::errorNumber([&] { lv.itemText(5); }), 35600);
  lv.clearItems();
  EXPECT_EQ(lv.count(), 0);
  EXPECT_EQ(lv.currentIndex1(), 0);
}

TEST_F(ListViewTest, AFillMakesItsFirstRowCurrent) {
  lv.addRows({{"1", "a"}, {"2", "b"}, {"3", "c"}});
  EXPECT_EQ(lv.currentIndex1(), 1);
  EXPECT_TRUE(lv.selected(1));
  lv.addRow({"4", "d"});  // later rows leave it where it is
  EXPECT_EQ(lv.currentIndex1(), 1);
  lv.clearItems();
  lv.addRow({"5", "e"});  // row by row as well
  EXPECT_EQ(lv.currentIndex1(), 1);
  lv.addRows({{"6", "f"}});
  lv.setCurrentIndex1(2);
  EXPECT_EQ(lv.currentIndex1(), 2);
  EXPECT_TRUE(lv.selected(2));

  ui::ListView single;  // one selected row at a time, which is also the current one
  single.addColumn("No");
  single.addRows({{"1"}, {"2"}});
  single.setSelected(2, true);
  EXPECT_FALSE(single.selected(1));
  EXPECT_EQ(single.currentIndex1(), 2);
}

TEST_F(ListViewTest, SelectAllThenNoneReachesTheView) {
  QList<QStringList> rows;
  for (int i = 1; i <= 50; ++i) rows << QStringList{QString::number(i), "x"};
  lv.addRows(rows);
  for (bool on : {true, false}) {
    for (int i = 1; i <= lv.count(); ++i) {
      lv.setChecked(i, on);
      lv.setSelected(i, on && i != 7);
    }
    EXPECT_EQ(lv.selected(50), on);
    QApplication::processEvents();
    // What the user sees: the view's own selection.
    EXPECT_EQ(lv.selectionModel()->selectedRows().size(), on ? 49 : 0);
    EXPECT_EQ(lv.checked(1), on);
  }
}

TEST_F(ListViewTest, TheUsersClicksTicksAndColumnClicksBecomeVbEvents) {
  lv.addRows({{"1", "a"}, {"2", "b"}});
  lv.resize(400, 300);
  lv.show();
  int clicks = 0, doubles = 0;
  QList<int> cols, checks;
  QObject::connect(&lv, &ui::ListView::itemClicked, [&] { ++clicks; });
  QObject::connect(&lv, &ui::ListView::itemDoubleClicked, [&] { ++doubles; });
  QObject::connect(&lv, &ui::ListView::columnClicked, [&](int c) { cols << c; });
  QObject::connect(&lv, &ui::ListView::itemCheck, [&](int i) { checks << i; });
  const QRect row1 = lv.visualRect(lv.model()->index(0, 1)), row2 = lv.visualRect(lv.model()->index(1, 1));
  QTest::mouseClick(lv.viewport(), Qt::LeftButton, {}, row2.center());
  for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                         QEvent::MouseButtonRelease}) {
    QMouseEvent e(t, row1.center(), lv.viewport()->mapToGlobal(row1.center()), Qt::LeftButton,
                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(lv.viewport(), &e);
  }
  QTest::mouseClick(lv.header()->viewport(), Qt::LeftButton, {},
                    QPoint(lv.header()->sectionViewportPosition(1) + 5, lv.header()->height() / 2));
  EXPECT_EQ(clicks, 2);  // the double click's first click counts too
  EXPECT_EQ(doubles, 1);
  EXPECT_EQ(cols, QList<int>({2}));  // 1-based like ColumnHeaders
  EXPECT_EQ(lv.currentIndex1(), 1);  // the double-clicked row is current
  lv.setChecked(1, true);            // a tick set in code raises nothing
  const QRect box = lv.visualRect(lv.model()->index(1, 0));
  QTest::mouseClick(lv.viewport(), Qt::LeftButton, {}, QPoint(box.left() + 10, box.center().y()));
  EXPECT_EQ(checks, QList<int>({2}));
  EXPECT_TRUE(lv.checked(2));
}

TEST_F(ListViewTest, SortedByKeyIgnoresCaseAndCarriesTicksAndSelection) {
  lv.addRows({{"1", "budi"}, {"2", "Ani"}, {"3", "citra"}, {"10", "ANI"}, {"11", "Beni"}});
  lv.setSelected(1, false);
  lv.setChecked(1, true);   // budi
  lv.setSelected(3, true);  // citra
  lv.setSortKey(1);
  lv.setSorted(true);
  // Equal keys regardless of case keep their order: "Ani" came before "ANI".
  EXPECT_EQ(column(lv, 1), QStringList({"Ani", "ANI", "Beni", "budi", "citra"}));
  EXPECT_TRUE(lv.checked(4));
  EXPECT_TRUE(lv.selected(5));
  lv.setSortOrder(ui::lvwDescending);
  EXPECT_EQ(column(lv, 1), QStringList({"citra", "budi", "Beni", "Ani", "ANI"}));
  EXPECT_TRUE(lv.selected(1));
  // Numbers sort as text; while sorted, new rows and changed keys take their place.
  lv.setSortKey(0);
  lv.setSortOrder(ui::lvwAscending);
  lv.addRow({"0", "zz"});
  lv.setItemText(1, "9");
  lv.addRows({{"25", "x"}, {"100", "y"}});
  EXPECT_EQ(column(lv, 0), QStringList({"1", "10", "100", "11", "2", "25", "3", "9"}));
  // Switching sorting off leaves the order; later rows are appended.
  lv.setSorted(false);
  lv.addRow({"05"});
  EXPECT_EQ(column(lv, 0).last(), "05");
  EXPECT_EQ(testsupport::errorNumber([&] { lv.setSortOrder(5); }), 380);
}

TEST_F(ListViewTest, HeaderIconsGoWithTheirKeyAndNotIntoARebuild) {
  QPixmap pm(16, 16);
  pm.fill(Qt::red);
  lv.setColumnIconKey(2, "down", QIcon(pm));
  EXPECT_EQ(lv.columnIconKey(2), "down");
  EXPECT_TRUE(lv.model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
  lv.setColumnIconKey(2, "", QIcon(pm));
  EXPECT_FALSE(lv.model()->headerData(1, Qt::Horizontal, Qt::DecorationRole).isValid());
  lv.setColumnIconKey(2, "up", QIcon(pm));
  lv.clearColumns();
  lv.addColumn("No");
  lv.addColumn("Nama");
  EXPECT_EQ(lv.columnIconKey(2), "");
}

TEST(ListViewPlain, CheckboxesOffAndRowsBeforeColumns) {
  ui::ListView lv;
  lv.Checkboxes = false;
  lv.applyOptions();
  lv.addRow({"1", "a", "b"});  // no columns yet: the texts wait for them
  lv.addColumn("No");
  lv.addColumn("X");
  EXPECT_EQ(lv.subItem(1, 2), "b");
  EXPECT_FALSE(lv.model()->flags(lv.model()->index(0, 0)) & Qt::ItemIsUserCheckable);
}

}  // namespace
