// Start-up, list fill, class filter, photo of the clicked row, headers, read failures and close.
#include <QFile>
#include <QTest>

#include "Frmtentang.h"
#include "frmAggota.h"
#include "frmkelas.h"
#include "mainwindow_fixture.h"
#include "photo_files.h"
#include "vb.h"

using namespace testsupport;

namespace {

class Startup : public MainWindowTest {
 protected:
  // Chooses a class in the filter with the arrow key that lands on it, as the user does.
  void chooseClass(const QString& kelas) {
    const int target = w->CmbKelas->findText(kelas, Qt::MatchExactly);
    ASSERT_GE(target, 0) << kelas.toStdString();
    {
      QSignalBlocker b(w->CmbKelas);
      w->CmbKelas->setCurrentIndex(target == 0 ? 1 : target - 1);
    }
    QTest::keyClick(w->CmbKelas, target == 0 ? Qt::Key_Up : Qt::Key_Down);
  }
};

TEST_F(Startup, DatabaseThatCannotBeOpenedEndsWithTheFatalMessage) {
  QFile::remove(pf.path("database/database.mdb"));
  EXPECT_FALSE(Module1::bukaKoneksi());
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Fatal Error, Silakan Hub. Admin"}));
  EXPECT_EQ(dialogs.lastMsgBox().title, "Error Load");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_TRUE(endHook.ended());
  EXPECT_EQ(Module1::Conn, nullptr);
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

  EXPECT_TRUE(w->Caption().startsWith("Lentavo "));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"1", "2", "3"}));
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi", "Citra"}));
  EXPECT_EQ(row(w->Lv1, 2).mid(1, 8), QStringList({"002", "", "Budi", "", "Islam", "L", "", "X-1"}));
  EXPECT_EQ(w->Lv1->subItem(3, 7), "B003");
  EXPECT_GT(w->Lv1->subItem(1, 9).toInt(), 0);
  EXPECT_FALSE(w->Lv1->checked(1));
  EXPECT_EQ(w->Label1->text(), "3");

  QStringList kelas;
  for (int i = 0; i < w->CmbKelas->count(); ++i) kelas << w->CmbKelas->itemText(i);
  EXPECT_EQ(kelas, QStringList({"Semua Kelas", "X-1", "x-1b", "XI-2"}));
  EXPECT_EQ(w->CmbKelas->currentText(), "Semua Kelas");

  ado::Recordset rs;
  rs.Open("select lokasi from tblsetting", pf.db());
  EXPECT_EQ(rs.RecordCount(), 2);
  for (; !rs.EOF_(); rs.MoveNext()) EXPECT_EQ(rs.field("lokasi").toString(), pf.root());
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Startup, EmptyRegisterAndAProgramFolderWithAQuote) {
  const QString odd = pf.root() + "/O'Neil dan teman";
  QDir().mkpath(odd);
  QDir().rename(pf.path("database"), odd + "/database");
  vb::setProgramFolder(odd);
  start();
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
  EXPECT_EQ(w->CmbKelas->count(), 1);
  w->Lv1_Click();  // a click on an empty list does nothing
  EXPECT_TRUE(w->Text2->text().isEmpty());
  ado::Recordset rs;
  rs.Open("select lokasi from tblsetting where idtext = '2'", *Module1::Conn);
  EXPECT_EQ(rs.field("lokasi").toString(), odd);
}

TEST_F(Startup, HeadersFollowTheStoredCaptionsOrStayEmpty) {
  pf.addMember("1", "Ani");
  pf.db().Execute("update tlabel set [Label21(0)] = 'N I S', [Label21(3)] = NULL where idlabel = '2'");
  start();
  QStringList headers;
  for (int i = 1; i <= w->Lv1->columnCount(); ++i) headers << w->Lv1->columnText(i);
  EXPECT_EQ(headers,
            QStringList({"No", "N I S", "NISN", "Nama", "", "Agama", "Jenis Kelamin", "Barcode", "Kelas", ""}));
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(w->Lv2->columnText(i), headers[i - 1]);
  EXPECT_EQ(w->Label5->text(), "N I S");
  EXPECT_EQ(w->Label2->text(), " Kata Kunci : N I S atau Nama atau  atau Agama");
  EXPECT_FALSE(w->Lv2->isVisibleTo(w));
  closeAll();

  pf.db().Execute("DELETE * FROM tlabel");  // no caption row: the design captions stay
  start();
  EXPECT_EQ(w->Lv1->columnCount(), 10);
  EXPECT_EQ(w->Lv1->columnText(9), "Kelas");
  EXPECT_EQ(w->Lv1->count(), 1);
  EXPECT_EQ(w->Label5->text(), "Label5");
}

TEST_F(Startup, ClassFilterThroughTheBoxListsOneClassOrAllAndClearsOnNoMatch) {
  for (const char* k : {"X-1", "Kosong", "O'Neil", "Kelas Ä"}) pf.addKelas(QString::fromUtf8(k));
  pf.addMember("1", "Dewi", "X-1");
  pf.addMember("2", "Ani", "XI-2");
  pf.addMember("3", "Budi", "x-1");
  pf.addMember("4", "Eko", "O'Neil");
  pf.addMember("5", "Zoë", QString::fromUtf8("KELAS ä"));
  start();
  pf.writePhoto("photos/2.jpg", Qt::red);
  clickRow(1);
  ASSERT_EQ(w->Text2->text(), "2");
  const struct {
    const char* kelas;
    QStringList names;
    bool keepsSelection;
  } cases[] = {
      {"X-1", {"Budi", "Dewi"}, true},                              // classes compare regardless of case
      {"O'Neil", {"Eko"}, true},       {"Kelas Ä", {"Zoë"}, true},  // for every letter, not only A to Z
      {"Kosong", {}, false},           {"Semua Kelas", {"Ani", "Budi", "Dewi", "Eko", "Zoë"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kelas);
    chooseClass(QString::fromUtf8(c.kelas));
    EXPECT_EQ(column(w->Lv1, 3), c.names);
    if (!c.names.isEmpty()) EXPECT_EQ(column(w->Lv1, 0).last(), QString::number(c.names.size()));  // numbered anew
    EXPECT_EQ(w->Label1->text(), QString::number(c.names.size()));
    EXPECT_EQ(w->Text2->text().isEmpty(), !c.keepsSelection);
    EXPECT_EQ(w->Image2->picture().isEmpty(), !c.keepsSelection);
  }
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Startup, ReadFailuresSayWhatFailedAndLeaveAnEmptyList) {
  pf.addKelas("X-1");
  for (const char* n : {"Ani", "Budi", "Citra"}) pf.addMember(n, n, "X-1");
  start();
  clickRow(1);
  // Our words, then the engine's reason.
  const QString locked = "Data gagal dibaca: ";
  const struct {
    const char* what;
    std::function<void(Frmcari*)> act;
    bool clearsSelection;
  } cases[] = {
      {"typing", [](Frmcari* w) { QTest::keyClicks(w->Text1, "a"); }, true},
      {"Cari", [](Frmcari* w) { w->Command1->click(); }, true},
      {"Enter", [](Frmcari* w) { QTest::keyClick(w->Text1, Qt::Key_Return); }, false},
      {"class filter", [](Frmcari* w) { QTest::keyClick(w->CmbKelas, Qt::Key_Down); }, true},
      {"Refresh with a search typed",
       [](Frmcari* w) {
         w->Text1->blockSignals(true);  // the box holds a search, typed before the lock
         w->Text1->setText("Ani");
         w->Text1->blockSignals(false);
         w->cmdbersih->click();
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pf.db().Execute("BEGIN EXCLUSIVE");
    const size_t before = dialogs.msgBoxes().size();
    c.act(w);
    pf.db().Execute("ROLLBACK");
    ASSERT_EQ(dialogs.msgBoxes().size(), before + 1);  // one message, and not "not found"
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(locked)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
    EXPECT_EQ(w->Lv1->count(), 0);
    EXPECT_EQ(w->Label1->text(), "0");
    EXPECT_EQ(w->Text2->text().isEmpty(), c.clearsSelection);
    w->cmdbersih->click();
    EXPECT_EQ(w->Lv1->count(), 3);
    clickRow(1);
  }
}

TEST_F(Startup, DamagedRegisterIsReportedAtStartUp) {
  for (int i = 0; i < 300; ++i) pf.addMember(QString::number(i), QString("Siswa %1").arg(i), "X-1");
  pf.closeDb();
  QFile f(pf.path("database/database.mdb"));
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.seek(f.size() - 2048));
  f.write(QByteArray(64, '\xA5'));  // inside the last page: member rows
  f.close();
  start();
  EXPECT_EQ(w->Lv1->count(), 0);
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal dibaca: "))
      << dialogs.lastMsgBox().prompt.toStdString();
  EXPECT_GT(dialogs.lastMsgBox().prompt.size(), QString("Data gagal dibaca: ").size());
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
  EXPECT_EQ(w->Image2->sourceFile(), pf.path("images/temp.jpg"));
  EXPECT_FALSE(w->Image2->picture().isEmpty());
  // A photo that would take the decoder thousands of passes is refused: the blank photo.
  pf.addMember("88", "Citra");
  writeFile(pf.path("photos/88.jpg"), scanHeavyJpeg(6000, 6000, 7600));
  w->tampilData();
  clickRow(3);
  EXPECT_EQ(w->Text2->text(), "88");
  EXPECT_EQ(w->Image2->sourceFile(), pf.path("images/temp.jpg"));
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
  for (bool on : {true, false}) {
    w->Check1->click();
    for (int i = 1; i <= 3; ++i) {
      EXPECT_EQ(w->Lv1->checked(i), on);
      EXPECT_EQ(w->Lv1->selected(i), on);
    }
  }
}

TEST_F(Startup, ClosingEndsTheProgramAndEventsAfterTheConnectionClosedDoNothing) {
  pf.addKelas("X-1");
  pf.addMember("1", "Ani", "X-1");
  pf.addMember("2", "Budi", "X-1");
  for (bool viaTutup : {true, false}) {
    SCOPED_TRACE(viaTutup ? "Tutup" : "closed");
    start();
    w->show();
    frmAggota* f = forms::get<frmAggota>();
    f->show();
    frmkelas* k = forms::get<frmkelas>();
    w->Lv1->setChecked(1, true);
    w->Lv1->setCurrentIndex1(1);
    for (QLineEdit* e : {f->TextNis, f->TextNISN, f->TextNama}) e->setText("9");
    k->Text1->setText("X-1");
    if (viaTutup) {
      w->Cmdtutup->click();  // closes and releases the connection, ends the program, asks nothing
      EXPECT_EQ(Module1::Conn, nullptr);
      EXPECT_EQ(endHook.count(), 1);
    } else {
      Module1::Conn->Close();
    }
    QTest::keyClicks(w->Text1, "a");
    QTest::keyClick(w->Text1, Qt::Key_Return);
    QTest::keyClick(w->CmbKelas, Qt::Key_Down);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             w->Command1, w->cmdbersih, w->Command5, w->PushButton8, f->cmdSimpan, f->CMDHapus, k->CMDHapus})
      b->click();
    f->Form_Activate();
    w->tampilData();
    EXPECT_TRUE(dialogs.msgBoxes().empty());
    EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi"}));
    closeAll();
  }
  ado::Recordset rs;
  rs.Open("select * from tblanggota", pf.db());
  EXPECT_EQ(rs.RecordCount(), 2);
}

TEST_F(Startup, AboutBoxShowsTheTitleAndClosesOnlyOnItsSurfaceOrOk) {
  start();
  for (bool viaOk : {false, true}) {
    ScopedModalHook modal([&](QWidget* window, QWidget*) {
      auto* about = static_cast<Frmtentang*>(window);
      EXPECT_EQ(about->Label2[2]->text(), w->Caption());
      QTest::mouseClick(about->Label2[4], Qt::LeftButton);
      QTest::mouseClick(about->Image1, Qt::LeftButton);
      EXPECT_TRUE(forms::isLoaded<Frmtentang>());
      if (viaOk)
        about->Button1->click();
      else
        QTest::mouseClick(about, Qt::LeftButton, {}, QPoint(about->width() / 2, about->height() - 8));
      EXPECT_FALSE(forms::isLoaded<Frmtentang>());
    });
    w->PushButton4->click();
    EXPECT_EQ(modal.count(), 1);
  }
}

}  // namespace
