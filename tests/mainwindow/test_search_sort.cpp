// The three searches, the column sort of the member list, and the text fields' refusal of
// control characters.
#include <QClipboard>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QTest>

#include "frmAggota.h"
#include "frmkelas.h"
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
    pf.addMember("40", "Citra", "X-2", QString(), "7319");
    pf.addMember("70", "Zoë Ärzte", "X-1");
    pf.addMember("80", "Straße Putri", "X-2");
    start();
  }
  void chooseClass(const QString& kelas) {
    QSignalBlocker b(w->CmbKelas);
    w->CmbKelas->setCurrentIndex(w->CmbKelas->findText(kelas));
  }
  void setSearch(const QString& text) {
    QSignalBlocker b(w->Text1);
    w->Text1->setText(text);
  }
  // Types into the search box key by key, any letter (QTest::keyClicks knows Latin-1 only).
  void type(const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w->Text1, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
};

TEST_F(Search, TypingFindsRegardlessOfCaseForEveryLetterWithWildcardsAndQuotes) {
  const struct {
    const char* typed;
    QStringList nis;
  } cases[] = {
      {"ZOË", {"70"}}, {"ärz", {"70"}},  {"STRAẞE", {"80"}}, {"STRASSE", {}},  // ß is one letter
      {"50%", {"20"}}, {"D_wi", {"30"}}, {"O'Neil", {"10"}}, {"' or '1'='1", {}},
      {"731", {"40"}},  // the national number alone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    setSearch(QString());
    type(QString::fromUtf8(c.typed));
    EXPECT_EQ(column(w->Lv1, 1), c.nis);
    EXPECT_EQ(w->Label1->text(), QString::number(c.nis.size()));
  }
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Search, ButtonSearchesWithinTheClassByNameAndSaysWhenNothingIsFound) {
  clickRow(1);
  setSearch("i");
  chooseClass("X-1");
  w->Command1->click();
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Andi 50% Jaya", "Dewi Sartika", "Zoë Ärzte"}));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2", "3"}));
  EXPECT_EQ(w->Label1->text(), "3");
  EXPECT_FALSE(w->Text2->text().isEmpty());
  EXPECT_TRUE(dialogs.msgBoxes().empty());

  chooseClass("Semua Kelas");  // runs the statement without a class: found nothing, not failed
  setSearch("zzz");
  w->Command1->click();
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data yang anda cai tidak ditemukan"}));
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_TRUE(w->Text2->text().isEmpty());
  EXPECT_TRUE(w->Image2->picture().isEmpty());
}

TEST_F(Search, TypingRefillsOnEveryChangeKeepsTheSelectionUntilNothingIsFound) {
  clickRow(1);
  const QString selected = w->Text2->text();
  chooseClass("X-1");  // typing ignores the class
  QTest::keyClicks(w->Text1, "i");
  EXPECT_EQ(column(w->Lv1, 1), QStringList({"10", "20", "30", "40", "70", "80"}));
  QTest::keyClicks(w->Text1, "t");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Citra"}));
  EXPECT_EQ(w->Text2->text(), selected);
  QTest::keyClicks(w->Text1, "qq");
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_TRUE(w->Text2->text().isEmpty());
  for (int i = 0; i < 3; ++i) QTest::keyClick(w->Text1, Qt::Key_Backspace);
  EXPECT_EQ(w->Lv1->count(), 6);  // deleting widens the result again
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Search, EnterLooksUpTheExactNumberRegardlessOfCase) {
  pf.addMember("AB7", "Eko", "X-1");
  setSearch("ab7");
  QTest::keyClick(w->Text1, Qt::Key_Return);
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Eko"}));
  EXPECT_EQ(w->Label1->text(), "1");

  clickRow(1);
  setSearch("");
  QTest::keyClick(w->Text1, Qt::Key_Return);  // an empty number: nobody has one
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data yang anda cai tidak ditemukan"}));
  EXPECT_EQ(w->Text2->text(), "AB7");  // Enter keeps the selection
}

TEST_F(Search, RefreshClearsTheSearchAndListsEveryoneByNumberOrByName) {
  w->Text1->setText("Citra");
  ASSERT_EQ(w->Lv1->count(), 1);
  w->cmdbersih->click();
  EXPECT_TRUE(w->Text1->text().isEmpty());
  EXPECT_EQ(column(w->Lv1, 1), QStringList({"10", "20", "30", "40", "70", "80"}));
  w->cmdbersih->click();
  EXPECT_EQ(column(w->Lv1, 3).first(), "Andi 50% Jaya");
  EXPECT_EQ(w->Label1->text(), "6");
}

TEST_F(Search, TextFieldsDropControlCharactersFromPastesAndInput) {
  frmAggota* f = forms::get<frmAggota>();
  frmkelas* k = forms::get<frmkelas>();
  const QChar nul(0);
  QLineEdit* fields[] = {w->Text1, f->TextNis, f->TextNama, f->TextAlamat, f->CmbKelas->lineEdit(), k->Text1};
  for (QLineEdit* field : fields) {
    SCOPED_TRACE(field->objectName().toStdString() + "/" + field->parent()->objectName().toStdString());
    field->clear();
    QApplication::clipboard()->setText(QString("Bu") + nul + "di\t\r\n");
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    QInputMethodEvent commit;
    commit.setCommitString(QString(nul) + "!");
    QApplication::sendEvent(field, &commit);
    EXPECT_EQ(field->text(), "Budi!");
  }
  w->Text1->clear();
  QApplication::clipboard()->setText(QString("Bu") + nul + "di");
  QTest::keyClick(w->Text1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Budi O'Neil"}));  // the whole word is searched
}

class Sort : public MainWindowTest {
 protected:
  void clickHeader(int k) {
    QHeaderView* h = w->Lv1->header();
    const int x = h->sectionViewportPosition(k - 1) + h->sectionSize(k - 1) / 2;
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
  }
};

TEST_F(Sort, HeaderClicksCycleDownAndUpWithIconsAndTicksStayWithTheirRows) {
  for (int i = 1; i <= 12; ++i) pf.addMember(QString::number(i), QString("Siswa %1").arg(QChar('a' + i)));
  start();
  w->show();
  w->Lv1->setChecked(2, true);  // "Siswa c", nis 2
  const struct {
    int column;
    const char* icon;
    QStringList firstNumbers;
  } clicks[] = {{1, "down", {"1", "10", "11"}},
                {1, "up", {"9", "8", "7"}},  // the numbers as text
                {1, "down", {"1", "10", "11"}},
                {2, "down", {"1", "10", "11"}}};
  for (const auto& c : clicks) {
    clickHeader(c.column);
    EXPECT_EQ(w->Lv1->columnIconKey(c.column), c.icon);
    EXPECT_EQ(column(w->Lv1, 0).mid(0, 3), c.firstNumbers);
  }
  EXPECT_TRUE(w->Lv1->columnIconKey(1).isEmpty());
  for (int i = 1; i <= w->Lv1->count(); ++i) EXPECT_EQ(w->Lv1->checked(i), w->Lv1->subItem(i, 1) == "2") << i;

  w->tampilData();  // a refill lists in query order again
  EXPECT_EQ(column(w->Lv1, 3).first(), "Siswa b");
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
