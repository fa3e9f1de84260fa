// Start-up, list fill, class filter, photo of the clicked row, headers, resize and close.
#include <QFile>
#include <QLocale>
#include <QSignalBlocker>

#include <QTest>

#include "Frmtentang.h"
#include "frmAggota.h"
#include "mainwindow_fixture.h"
#include "twips.h"
#include "vb.h"

using namespace testsupport;

namespace {

class Startup : public MainWindowTest {};

TEST_F(Startup, OpeningFailsWithTheFatalMessageAndEndsWithoutCreatingAFile) {
  struct Case {
    const char* what;
    std::function<void(ProgramFolder&)> arrange;
  };
  const Case cases[] = {
      {"missing file", [](ProgramFolder& p) { QFile::remove(p.path("database/database.mdb")); }},
      {"missing folder", [](ProgramFolder& p) { QDir(p.path("database")).removeRecursively(); }},
      {"not a database",
       [](ProgramFolder& p) {
         QFile f(p.path("database/database.mdb"));
         ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
         f.write(QByteArray(4096, 'x'));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder p;
    c.arrange(p);
    ScriptedDialogs d;
    ScopedEndHook end;
    EXPECT_FALSE(Module1::bukaKoneksi());
    ASSERT_EQ(d.msgBoxes().size(), 1u);
    EXPECT_EQ(d.lastMsgBox().prompt, "Fatal Error, Silakan Hub. Admin");
    EXPECT_EQ(d.lastMsgBox().title, "Error Load");
    EXPECT_EQ(d.lastMsgBox().flags, ui::vbCritical);
    EXPECT_TRUE(end.ended());
    EXPECT_EQ(Module1::Conn, nullptr);
    if (QString(c.what) != "not a database") EXPECT_FALSE(QFile::exists(p.path("database/database.mdb")));
  }
}

TEST_F(Startup, WrongPasswordIsRefused) {
  ado::Connection c;
  c.ConnectionString = "Data Source=" + pf.path("database/database.mdb");
  c.setProperty("Jet OLEDB:Database Password", "718404");
  EXPECT_THROW(c.Open(), vb::VbError);
  c.setProperty("Jet OLEDB:Database Password", "");
  EXPECT_THROW(c.Open(), vb::VbError);
  EXPECT_TRUE(Module1::bukaKoneksi());
  EXPECT_TRUE(dialogs.msgBoxes().empty());
  EXPECT_FALSE(endHook.ended());
}

TEST_F(Startup, LoadListsAllMembersByNameNumberedAndCounted) {
  pf.addKelas("X-1");
  pf.addKelas("XI-2");
  pf.addKelas("x-1b");
  pf.addMember("003", "Citra", "X-1", "B003");
  pf.addMember("001", "Ani", "XI-2");
  pf.addMember("002", "Budi", "X-1");
  pf.db().Execute("update tblanggota set nisn = NULL, ttl = NULL where nis = '002'");
  pf.db().Execute("insert into tblsetting (idtext) values ('3')");
  start();

  EXPECT_EQ(w->Caption(), vb::appTitle());
  EXPECT_TRUE(w->Caption().startsWith("Lentavo "));
  ASSERT_EQ(w->Lv1->count(), 3);
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2", "3"}));
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi", "Citra"}));
  EXPECT_EQ(row(w->Lv1, 2).mid(1, 8), QStringList({"002", "", "Budi", "", "Islam", "L", "", "X-1"}));
  EXPECT_EQ(w->Lv1->subItem(3, 7), "B003");
  EXPECT_FALSE(w->Lv1->subItem(1, 9).isEmpty());
  EXPECT_FALSE(w->Lv1->checked(1));
  EXPECT_EQ(w->Label1->text(), "3");

  QStringList kelas;
  for (int i = 0; i < w->CmbKelas->count(); ++i) kelas << w->CmbKelas->itemText(i);
  EXPECT_EQ(kelas, QStringList({"Semua Kelas", "X-1", "x-1b", "XI-2"}));
  EXPECT_EQ(w->CmbKelas->currentText(), "Semua Kelas");

  ado::Recordset rs;
  rs.Open("select lokasi from tblsetting", pf.db());
  int rows = 0;
  for (; !rs.EOF_(); rs.MoveNext(), ++rows) EXPECT_EQ(rs.field("lokasi").toString(), pf.root());
  EXPECT_EQ(rows, 2);
}

TEST_F(Startup, EmptyRegisterShowsAnEmptyListAndZero) {
  start();
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  EXPECT_EQ(w->CmbKelas->count(), 1);
  w->Lv1_Click();  // a click on an empty list does nothing
  EXPECT_TRUE(w->Text2->text().isEmpty());
}

TEST_F(Startup, ProgramFolderWithAQuoteIsStoredAsItIs) {
  ProgramFolder p;
  const QString odd = p.root() + "/O'Neil dan teman";
  QDir().mkpath(odd);
  QDir().rename(p.path("database"), odd + "/database");
  vb::setProgramFolder(odd);
  start();
  ado::Recordset rs;
  ado::Connection c;
  c.ConnectionString = "Data Source=" + odd + "/database/database.mdb";
  c.setProperty("Jet OLEDB:Database Password", "718403");
  c.Open();
  rs.Open("select lokasi from tblsetting where idtext = '2'", c);
  EXPECT_EQ(rs.field("lokasi").toString(), odd);
}

TEST(CountFormat, GroupsThousandsByTheLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::Indonesian, QLocale::Indonesia));
  EXPECT_EQ(vb::formatCount(1234), "1.234");
  EXPECT_EQ(vb::formatCount(0), "0");
  EXPECT_EQ(vb::formatCount(1234567), "1.234.567");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(vb::formatCount(1234), "1,234");
  QLocale::setDefault(before);
}

TEST_F(Startup, HeadersFollowTheStoredCaptions) {
  pf.db().Execute(
      "update tlabel set [Label21(0)] = 'N I S', [Label21(1)] = 'NISN', [Label21(2)] = 'Nama', "
      "[Label21(3)] = 'Tempat, Tgl. Lahir', [Label21(4)] = 'Agama', [Label21(5)] = 'Jenis Kelamin' "
      "where idlabel = '2'");
  start();
  QStringList headers;
  for (int i = 1; i <= w->Lv1->columnCount(); ++i) headers << w->Lv1->columnText(i);
  EXPECT_EQ(headers, QStringList({"No", "N I S", "NISN", "Nama", "Tempat, Tgl. Lahir", "Agama", "Jenis Kelamin",
                                  "Barcode", "Kelas", ""}));
  const int lv1Widths[] = {400, 1250, 1850, 2500, 1800, 1800, 1800, 1800, 8500, 0};
  const int lv2Widths[] = {400, 950, 1450, 2500, 1500, 1500, 1500, 1800, 8500, 0};
  ASSERT_EQ(w->Lv2->columnCount(), 10);
  for (int i = 1; i <= 10; ++i) {
    EXPECT_EQ(w->Lv1->columnWidthTwips(i), lv1Widths[i - 1]) << i;
    EXPECT_EQ(w->Lv2->columnWidthTwips(i), lv2Widths[i - 1]) << i;
    EXPECT_EQ(w->Lv2->columnText(i), headers[i - 1]);
  }
  EXPECT_EQ(w->Label5->text(), "N I S");
  EXPECT_EQ(w->Label2->text(), " Kata Kunci : N I S atau Nama atau Tempat, Tgl. Lahir atau Agama");
  EXPECT_FALSE(w->Lv2->isVisibleTo(w));
  EXPECT_EQ(w->Lv2->count(), 0);
}

TEST_F(Startup, MissingCaptionRowOrNullCaptionsStillGiveTenColumns) {
  pf.addMember("1", "Ani");
  pf.db().Execute("update tlabel set [Label21(0)] = NULL, [Label21(3)] = '' where idlabel = '2'");
  {
    start();
    ASSERT_EQ(w->Lv1->columnCount(), 10);
    EXPECT_EQ(w->Lv1->columnText(2), "");
    EXPECT_EQ(w->Lv1->columnText(5), "");
    EXPECT_EQ(w->Lv1->columnText(4), "Nama");
    EXPECT_EQ(w->Lv1->subItem(1, 9).toInt() > 0, true);
    closeAll();
  }
  pf.db().Execute("DELETE * FROM tlabel");
  start();
  ASSERT_EQ(w->Lv1->columnCount(), 10);
  EXPECT_EQ(w->Lv1->columnText(1), "No");
  EXPECT_EQ(w->Lv1->columnText(9), "Kelas");
  EXPECT_EQ(w->Lv1->count(), 1);
  EXPECT_EQ(w->Label5->text(), "Label5");  // the design captions stay
}

TEST_F(Startup, ClassFilterListsOneClassOrAllAndClearsOnNoMatch) {
  pf.addKelas("X-1");
  pf.addKelas("Kosong");
  pf.addKelas("O'Neil");
  pf.addMember("1", "Dewi", "X-1");
  pf.addMember("2", "Ani", "XI-2");
  pf.addMember("3", "Budi", "x-1");
  pf.addMember("4", "Eko", "O'Neil");
  start();
  pf.writePhoto("photos/2.jpg", Qt::red);
  clickRow(1);
  ASSERT_EQ(w->Text2->text(), "2");

  auto choose = [&](const QString& kelas) {
    {
      QSignalBlocker b(w->CmbKelas);
      w->CmbKelas->setCurrentIndex(w->CmbKelas->findText(kelas, Qt::MatchExactly));
    }
    w->CmbKelas_Click();
  };
  choose("X-1");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Budi", "Dewi"}));  // classes compare regardless of case
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2"}));
  EXPECT_EQ(w->Label1->text(), "2");
  EXPECT_EQ(w->Text2->text(), "2");  // a fill keeps the selected member

  choose("O'Neil");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Eko"}));

  choose("Kosong");
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  EXPECT_TRUE(w->Text2->text().isEmpty());
  EXPECT_TRUE(w->Image2->picture().isEmpty());

  choose("Semua Kelas");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi", "Dewi", "Eko"}));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2", "3", "4"}));
  EXPECT_EQ(w->Label1->text(), "4");
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Startup, ClickedRowShowsItsPhotoByTheSlashRule) {
  pf.addMember("12/3", "Ani");
  pf.addMember("77", "Budi");
  pf.writePhoto("photos/12-3.jpg", Qt::blue, QSize(33, 44));
  start();
  clickRow(1);
  EXPECT_EQ(w->Text2->text(), "12/3");
  EXPECT_EQ(w->Image2->sourceFile(), pf.path("photos/12-3.jpg"));
  EXPECT_EQ(w->Image2->picture().width(), 33);

  clickRow(2);  // no photo file: the blank photo
  EXPECT_EQ(w->Text2->text(), "77");
  EXPECT_EQ(w->Image2->sourceFile(), pf.path("images/temp.jpg"));
  EXPECT_FALSE(w->Image2->picture().isEmpty());
  clickRow(1);
  QFile::remove(pf.path("images/temp.jpg"));
  clickRow(2);  // nor a blank photo: empty, never the previous member's picture
  EXPECT_TRUE(w->Image2->picture().isEmpty());

  w->bersih();
  EXPECT_TRUE(w->Text2->text().isEmpty());
  EXPECT_TRUE(w->Image2->picture().isEmpty());
}

TEST_F(Startup, SelectAllTicksAndSelectsThenClearsEveryRow) {
  for (const char* n : {"Ani", "Budi", "Citra"}) pf.addMember(n, n);
  start();
  w->Check1->setCheckState(Qt::Checked);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(w->Lv1->checked(i));
    EXPECT_TRUE(w->Lv1->selected(i));
  }
  w->Check1->setCheckState(Qt::Unchecked);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_FALSE(w->Lv1->checked(i));
    EXPECT_FALSE(w->Lv1->selected(i));
  }
}

TEST_F(Startup, ResizeRuleInTwips) {
  start();
  for (QSize px : {QSize(1280, 800), QSize(900, 620), QSize(1600, 1000)}) {
    SCOPED_TRACE(px.width());
    w->resize(px);
    w->Form_Resize();
    const long long SW = twips::width(w), SH = twips::height(w);
    EXPECT_EQ(twips::width(w->Frame1), SW);
    EXPECT_EQ(twips::width(w->GroupBox1), SW);
    EXPECT_EQ(twips::width(w->Frame2), SW);
    EXPECT_NEAR(twips::left(w->Frame3), twips::width(w->GroupBox1) - 2500, 15);
    EXPECT_NEAR(twips::width(w->Lv1), twips::width(w->GroupBox1) - twips::width(w->Frame3) - 300, 15);
    EXPECT_NEAR(twips::height(w->Lv1), SH - (975 + 855 + 1215 + 700), 15);
    EXPECT_NEAR(twips::top(w->Frame2), twips::top(w->Lv1) + twips::height(w->Lv1) + 2000, 15);
    EXPECT_EQ(twips::left(w->Label1), twips::left(w->Frame3));
    EXPECT_LE(w->Frame2->geometry().bottom(), w->StatusBar2->geometry().top());
  }
}

TEST_F(Startup, ResizeToTooSmallSkipsTheRefusedSizes) {
  start();
  w->resize(1280, 800);
  w->Form_Resize();
  const int lvHeight = w->Lv1->height();
  w->setMinimumSize(1, 1);
  w->resize(400, 120);  // the list's height would be negative
  w->Form_Resize();
  EXPECT_EQ(w->Lv1->height(), lvHeight);
  EXPECT_EQ(twips::width(w->Frame2), twips::width(w));  // later steps still ran
}

TEST_F(Startup, ClosingClosesTheConnectionAndEndsTheProgram) {
  start();
  w->show();
  forms::get<frmAggota>()->show();
  ASSERT_NE(Module1::Conn, nullptr);
  w->Cmdtutup->click();
  EXPECT_EQ(Module1::Conn, nullptr);
  EXPECT_EQ(endHook.count(), 1);
  EXPECT_TRUE(dialogs.msgBoxes().empty());  // nothing is asked
}

TEST_F(Startup, AboutBoxShowsTheTitleAndClosesOnlyOnItsSurfaceOrOk) {
  start();
  ScopedModalHook modal([&](QWidget* window, QWidget* owner) {
    auto* about = qobject_cast<Frmtentang*>(window);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(owner, w);
    EXPECT_EQ(about->Label2[2]->text(), w->Caption());
    QTest::mouseClick(about->Label2[4], Qt::LeftButton);
    QTest::mouseClick(about->Image1, Qt::LeftButton);
    QTest::mouseClick(about->Frame1, Qt::LeftButton);
    EXPECT_TRUE(forms::isLoaded<Frmtentang>());
    QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(about->width() / 2, about->height() - 8));
    EXPECT_FALSE(forms::isLoaded<Frmtentang>());
  });
  w->PushButton4->click();
  EXPECT_EQ(modal.count(), 1);

  ScopedModalHook viaOk([](QWidget* window, QWidget*) {
    static_cast<Frmtentang*>(window)->Button1->click();
    EXPECT_FALSE(forms::isLoaded<Frmtentang>());
  });
  w->PushButton4_Click();
  EXPECT_EQ(viaOk.count(), 1);
}

}  // namespace
