// The three searches and the column sort of the member list.
#include <QTest>

#include "mainwindow_fixture.h"
#include "sORTED.h"

using namespace testsupport;

namespace {

class Search : public MainWindowTest {
 protected:
  void SetUp() override {
    pf.addKelas("X-1");
    pf.addKelas("X-2");
    pf.addMember("30", "Dewi Sartika", "X-1");
    pf.addMember("10", "Budi O'Neil", "X-2");
    pf.addMember("20", "Andi 50% Jaya", "X-1");
    pf.addMember("40", "Citra", "X-2");
    start();
  }
  void chooseClass(const QString& kelas) {
    QSignalBlocker b(w->CmbKelas);
    w->CmbKelas->setCurrentIndex(w->CmbKelas->findText(kelas));
  }
  void typeSearch(const QString& text) {
    QSignalBlocker b(w->Text1);
    w->Text1->setText(text);
  }
};

TEST_F(Search, ButtonSearchesWithinTheClassByName) {
  typeSearch("i");
  chooseClass("X-1");
  w->Command1_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Andi 50% Jaya", "Dewi Sartika"}));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2"}));
  EXPECT_EQ(w->Label1->text(), "2");
  chooseClass("Semua Kelas");
  w->Command1_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Andi 50% Jaya", "Budi O'Neil", "Citra", "Dewi Sartika"}));
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Search, ButtonFindingNothingEmptiesListAndSelectionWithOneMessage) {
  clickRow(1);
  ASSERT_FALSE(w->Text2->text().isEmpty());
  typeSearch("zzz");
  w->Command1_Click();
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data yang anda cai tidak ditemukan");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_TRUE(w->Text2->text().isEmpty());
  EXPECT_TRUE(w->Image2->picture().isEmpty());
}

TEST_F(Search, QuotesAreSafeAndWildcardsKeepTheirMeaning) {
  typeSearch("O'Neil");
  w->Command1_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Budi O'Neil"}));
  typeSearch("' or '1'='1");
  w->Command1_Click();
  EXPECT_EQ(w->Lv1->count(), 0);
  chooseClass("X-1");
  typeSearch("D_wi");
  w->Command1_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Dewi Sartika"}));
  chooseClass("Semua Kelas");
  typeSearch("50%");
  w->Command1_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Andi 50% Jaya"}));
}

TEST_F(Search, TypingRefillsByNumberOnEveryChangeWithoutAMessage) {
  clickRow(1);
  const QString selected = w->Text2->text();
  chooseClass("X-1");  // typing ignores the class
  QTest::keyClicks(w->Text1, "i");
  EXPECT_EQ(column(w->Lv1, 1), QStringList({"10", "20", "30", "40"}));
  QTest::keyClicks(w->Text1, "t");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Citra"}));
  EXPECT_EQ(w->Label1->text(), "1");
  EXPECT_EQ(w->Text2->text(), selected);  // a search that finds rows keeps the selection
  QTest::keyClicks(w->Text1, "qq");
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  EXPECT_TRUE(w->Text2->text().isEmpty());
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  EXPECT_EQ(w->Lv1->count(), 4);  // deleting widens the result again
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Search, EnterLooksUpTheExactNumberRegardlessOfCase) {
  pf.addMember("AB7", "Eko", "X-1");
  typeSearch("ab7");
  QTest::keyClick(w->Text1, Qt::Key_Return);
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Eko"}));
  EXPECT_EQ(w->Label1->text(), "1");

  clickRow(1);
  typeSearch("");
  QTest::keyClick(w->Text1, Qt::Key_Return);  // an empty number: nobody has one
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data yang anda cai tidak ditemukan"}));
  EXPECT_EQ(w->Text2->text(), "AB7");  // Enter keeps the selection
}

TEST_F(Search, RefreshClearsTheSearchAndListsEveryoneByNumberOrByName) {
  w->Text1->setText("Citra");
  ASSERT_EQ(w->Lv1->count(), 1);
  w->cmdbersih_Click();
  EXPECT_TRUE(w->Text1->text().isEmpty());
  EXPECT_EQ(column(w->Lv1, 1), QStringList({"10", "20", "30", "40"}));
  w->cmdbersih_Click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Andi 50% Jaya", "Budi O'Neil", "Citra", "Dewi Sartika"}));
  EXPECT_EQ(w->Label1->text(), "4");
}

class Sort : public MainWindowTest {};

TEST_F(Sort, HeaderClicksCycleUpAndDownWithIconsAndTicksStayWithTheirRows) {
  for (int i = 1; i <= 12; ++i) pf.addMember(QString::number(i), QString("Siswa %1").arg(QChar('a' + i)));
  start();
  w->Lv1->setChecked(2, true);  // "Siswa c", nis 2
  w->Lv1_ColumnClick(1);
  EXPECT_EQ(w->Lv1->columnIconKey(1), "down");
  EXPECT_EQ(column(w->Lv1, 0).mid(0, 4), QStringList({"1", "10", "11", "12"}));  // text order
  w->Lv1_ColumnClick(1);
  EXPECT_EQ(w->Lv1->columnIconKey(1), "up");
  EXPECT_EQ(column(w->Lv1, 0).mid(0, 3), QStringList({"9", "8", "7"}));
  w->Lv1_ColumnClick(1);
  EXPECT_EQ(w->Lv1->columnIconKey(1), "down");

  w->Lv1_ColumnClick(2);
  EXPECT_TRUE(w->Lv1->columnIconKey(1).isEmpty());
  EXPECT_EQ(w->Lv1->columnIconKey(2), "down");
  for (int i = 1; i <= w->Lv1->count(); ++i) EXPECT_EQ(w->Lv1->checked(i), w->Lv1->subItem(i, 1) == "2") << i;

  w->tampilData();  // a refill lists in query order again
  EXPECT_EQ(column(w->Lv1, 3).first(), "Siswa b");
  EXPECT_EQ(w->Lv1->columnIconKey(2), "down");
}

TEST_F(Sort, EmptyListOnlyTogglesTheIcon) {
  start();
  w->Lv1_ColumnClick(4);
  EXPECT_EQ(w->Lv1->columnIconKey(4), "down");
  EXPECT_EQ(w->Lv1->count(), 0);
}

TEST_F(Sort, TypedSortOrdersByParsedKeysWithoutRewritingCells) {
  ui::ListView lv;
  lv.addColumn("A");
  lv.addColumn("B");
  lv.addRows({{"10", "01/02/2024"}, {"9.5", "12/31/2023"}, {"", "03/15/2024"}, {"100", "01/01/2020"}});
  lv.setChecked(2, true);
  EXPECT_TRUE(sORTED::SortListView(lv, 1, 0, sORTED::kNumber));
  EXPECT_EQ(QStringList({lv.itemText(1), lv.itemText(2), lv.itemText(3), lv.itemText(4)}),
            QStringList({"", "9.5", "10", "100"}));
  EXPECT_TRUE(lv.checked(2));
  EXPECT_TRUE(sORTED::SortListView(lv, 2, 1, sORTED::kDate));
  EXPECT_EQ(QStringList({lv.subItem(1, 1), lv.subItem(2, 1), lv.subItem(3, 1), lv.subItem(4, 1)}),
            QStringList({"03/15/2024", "01/02/2024", "12/31/2023", "01/01/2020"}));
  lv.addRows({{"abc", "x"}});
  EXPECT_FALSE(sORTED::SortListView(lv, 1, 0, sORTED::kNumber));
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("ERROR IN SORT ROUTINE:\r\n13\t"));
}

}  // namespace
