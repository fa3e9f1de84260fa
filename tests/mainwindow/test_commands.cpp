// The main window's commands: photo, entry window, deletes, task windows.
#include <QDir>
#include <QFile>

#include "Frmbackup.h"
#include "Frmimport.h"
#include "Frmrestore.h"
#include "Form4.h"
#include "Module3.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "frmlabel.h"
#include "frmsetting.h"
#include "mainwindow_fixture.h"

using namespace testsupport;

namespace {

class Commands : public MainWindowTest {
 protected:
  int members(const QString& where = "1=1") {
    ado::Recordset rs;
    rs.Open("select count(*) as n from tblanggota where " + where, pf.db());
    return rs.field("n").toInt();
  }
};

TEST_F(Commands, DeleteTickedRemovesExactlyThoseRowsAfterTheQuestion) {
  for (const char* n : {"Ani", "Budi", "Citra", "Dewi", "Eko"}) pf.addMember(QString(n).left(1), n);
  start();
  w->Lv1->setChecked(1, true);
  w->Lv1->setChecked(3, true);
  w->Lv1->setChecked(5, true);
  w->Lv1->setCurrentIndex1(2);

  dialogs.expectMsgBox(ui::vbNo);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Apakah Anda Yakin Menghapus 3  data? ");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Konfirmasi");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbYesNo);
  EXPECT_EQ(w->Lv1->count(), 5);
  EXPECT_EQ(members(), 5);

  dialogs.expectMsgBox(ui::vbYes);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Telah dihapus");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Hapus");
  EXPECT_EQ(column(w->Lv1, 3), QStringList({"Budi", "Dewi"}));
  EXPECT_EQ(column(w->Lv1, 0), QStringList({"2", "4"}));  // the others keep their numbers
  EXPECT_EQ(w->Label1->text(), "5");                      // the count is not rewritten
  EXPECT_EQ(members(), 2);
  EXPECT_EQ(members("nama in ('Budi', 'Dewi')"), 2);
}

TEST_F(Commands, DeleteTickedWithNothingTickedOrNoCurrentRow) {
  pf.addMember("1", "Ani");
  pf.addMember("2", "Budi");
  start();
  w->Lv1->setCurrentIndex1(0);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
  w->Lv1->setCurrentIndex1(1);
  w->Command5_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Silakan pilih / ceklist data yang ingin dihapus");
  EXPECT_EQ(members(), 2);
}

TEST_F(Commands, FailedDeleteOfTickedRowsDeletesNoneAndSaysWhy) {
  struct Case {
    const char* what;
    std::function<void(Frmcari*, ProgramFolder&)> arrange;
    const char* message;
  };
  const Case cases[] = {
      // Not an id: refused, never put in a statement; the member before it stays too.
      {"not an id", [](Frmcari* w, ProgramFolder&) { w->Lv1->setSubItem(1, 9, "2 or 1=1"); },
       "Data gagal dihapus: Type mismatch"},
      {"locked", [](Frmcari*, ProgramFolder& p) { p.db().Execute("BEGIN EXCLUSIVE"); },
       "Data gagal dihapus: database is locked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder p;
    for (const char* n : {"Ani", "Budi", "Citra"}) p.addMember(QString(n).left(1), n);
    start();
    for (int i = 1; i <= 3; ++i) w->Lv1->setChecked(i, true);
    w->Lv1->setCurrentIndex1(1);
    c.arrange(w, p);
    dialogs.expectMsgBox(ui::vbYes);
    w->Command5->click();
    EXPECT_EQ(dialogs.lastMsgBox().prompt, c.message);
    EXPECT_EQ(dialogs.lastMsgBox().title, "Hapus");
    EXPECT_EQ(column(w->Lv1, 3), QStringList({"Ani", "Budi", "Citra"}));
    for (int i = 1; i <= 3; ++i) EXPECT_TRUE(w->Lv1->checked(i));
    p.closeDb();  // ends the lock
    ado::Recordset rs;
    rs.Open("select * from tblanggota", p.db());
    EXPECT_EQ(rs.RecordCount(), 3);
    closeAll();
  }
}

TEST_F(Commands, DeleteAllEmptiesTableAndPhotoFilesButKeepsSubFolders) {
  pf.addMember("1", "Ani");
  pf.addMember("2", "Budi");
  pf.writePhoto("photos/1.jpg", Qt::red);
  pf.writePhoto("photos/2.jpg", Qt::red);
  QFile::setPermissions(pf.path("photos/2.jpg"), QFile::ReadOwner);
  QDir().mkpath(pf.path("photos/arsip"));
  pf.writePhoto("photos/arsip/lama.jpg", Qt::red);
  start();

  dialogs.expectMsgBox(ui::vbNo);
  w->PushButton8_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Yakin anda ingin menghapus semua Record ?");
  EXPECT_EQ(dialogs.lastMsgBox().title, "hapus");
  EXPECT_EQ(members(), 2);
  EXPECT_TRUE(QFile::exists(pf.path("photos/1.jpg")));

  dialogs.expectMsgBox(ui::vbYes);
  w->PushButton8_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Semua Record Telah berhasil dihapus");
  EXPECT_EQ(members(), 0);
  EXPECT_TRUE(QDir(pf.path("photos")).entryList(QDir::Files).isEmpty());
  EXPECT_TRUE(QFile::exists(pf.path("photos/arsip/lama.jpg")));
  EXPECT_EQ(w->Lv1->count(), 0);
  EXPECT_EQ(w->Label1->text(), "0");
}

TEST_F(Commands, DeleteAllKeepsPhotosWhenTheRowsCannotBeDeleted) {
  pf.addMember("1", "Ani");
  pf.writePhoto("photos/1.jpg", Qt::red);
  start();
  Module1::Conn->Execute("create trigger keep before delete on tblanggota begin select raise(abort, 'locked'); end");
  dialogs.expectMsgBox(ui::vbYes);
  w->PushButton8_Click();
  EXPECT_NE(dialogs.lastMsgBox().prompt, "Semua Record Telah berhasil dihapus");
  EXPECT_EQ(members(), 1);
  EXPECT_TRUE(QFile::exists(pf.path("photos/1.jpg")));
}

TEST(FolderEmptying, ReportsWhetherTheFolderIsEmptyAfterwards) {
  QTemporaryDir d;
  EXPECT_FALSE(Module3::HapusIsiFolder(d.path() + "/none"));
  QFile(d.path() + "/a.jpg").open(QIODevice::WriteOnly);
  QFile(d.path() + "/.hidden").open(QIODevice::WriteOnly);
  EXPECT_TRUE(Module3::HapusIsiFolder(d.path()));
  EXPECT_TRUE(QDir(d.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(Commands, SaveFotoNeedsAMemberAndWritesUnderTheSlashRule) {
  pf.addMember("12/3", "Ani");
  start();
  w->Command3_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "silakan Pilih salah satu siswa");
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());

  clickRow(1);
  pf.writePhoto("baru.JPG", Qt::yellow, QSize(45, 60));
  dialogs.queueFile(pf.path("baru.JPG"));
  w->cmdfoto_Click();
  EXPECT_EQ(w->Image2->picture().width(), 45);
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::File).back().file.filter, "jpeg file (*.jpg)|*.jpg");

  dialogs.queueFileCancel();  // a cancelled choice changes nothing
  w->cmdfoto_Click();
  EXPECT_EQ(w->Image2->picture().width(), 45);
  EXPECT_TRUE(dialogs.msgBoxes().size() == 1);

  w->Command3_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Foto berhasil di simpan");
  EXPECT_EQ(photobox::PhotoBoxGlobal::LoadPictureFile(pf.path("photos/12-3.jpg")).width(), 45);
}

TEST_F(Commands, UbahFillsTheEntryWindowFromTheCurrentRow) {
  start();
  w->PushButton11_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data masih kosong");
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
  closeAll();

  pf.addMember("9/1", "Ani", "X-1", "QR-9");
  pf.writePhoto("photos/9-1.jpg", Qt::blue, QSize(21, 28));
  start();
  clickRow(1);
  w->Lv1_DblClick();
  auto* f = forms::get<frmAggota>();
  EXPECT_TRUE(f->isVisible());
  EXPECT_EQ(QStringList({f->TextNis->text(), f->TextNISN->text(), f->TextNama->text(), f->TextTTL->text(),
                         f->Textagama->text(), f->Textkelamin->text(), f->TextAlamat->text(),
                         f->CmbKelas->currentText(), f->Textid->text()}),
            row(w->Lv1, 1).mid(1));
  EXPECT_FALSE(f->TextNis->isEnabled());
  EXPECT_EQ(f->Image1->picture().width(), 21);
}

TEST_F(Commands, UbahWithoutACurrentRowChangesNothing) {
  pf.addMember("1", "Ani");
  start();
  w->Lv1->setCurrentIndex1(0);
  w->PushButton11_Click();
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Commands, TambahDataOpensTheEntryWindowWithoutPrintAndRefills) {
  pf.addMember("1", "Ani");
  start();
  pf.addMember("2", "Budi");
  w->Command4_Click();
  auto* f = forms::get<frmAggota>();
  EXPECT_TRUE(f->isVisible());
  EXPECT_FALSE(f->Cmdcetak->isEnabled());
  EXPECT_EQ(w->Lv1->count(), 2);
}

TEST_F(Commands, WebcamPhotoForTheMainWindowGoesToItsPhoto) {
  start();
  w->Command2_Click();
  auto* cam = forms::get<frmWebcame>();
  EXPECT_EQ(cam->Caption(), "Cari");
  QImage crop(50, 70, QImage::Format_RGB32);
  crop.fill(Qt::magenta);
  cam->serahkanFoto(crop);
  EXPECT_EQ(w->Image2->picture().width(), 50);
  EXPECT_TRUE(w->isVisible());
  EXPECT_FALSE(forms::isLoaded<frmAggota>());
}

TEST_F(Commands, TaskWindowsOpenModallyAndOnlyImportAndRestoreRefill) {
  pf.addMember("1", "Ani");
  start();
  ScopedModalHook modal([&](QWidget*, QWidget* owner) {
    EXPECT_EQ(owner, w);
    pf.addMember(QString::number(100 + w->Lv1->count()), "Zaki");  // a change the window made
  });
  struct Case {
    QToolButton* button;
    const char* cls;
    bool refills;
  };
  const Case cases[] = {{w->PushButton1, "Frmimport", true},   {w->PushButton5, "Form4", false},
                        {w->PushButton7, "frmsetting", false}, {w->PushButton2, "Frmbackup", false},
                        {w->PushButton3, "Frmrestore", true},  {w->PushButton4, "Frmtentang", false}};
  for (const Case& c : cases) {
    const int before = w->Lv1->count();
    c.button->click();
    EXPECT_EQ(modal.calls.back().className, c.cls);
    EXPECT_EQ(w->Lv1->count(), c.refills ? members() : before) << c.cls;
  }
}

TEST_F(Commands, CaptionWindowRebuildsTheColumnsAndLabel5Only) {
  pf.addMember("1", "Ani");
  start();
  const QString hint = w->Label2->text();
  pf.db().Execute("update tlabel set [Label21(0)] = 'Nomor' where idlabel = '2'");
  forms::get<frmlabel>()->gantiformat();
  ASSERT_EQ(w->Lv1->columnCount(), 10);
  EXPECT_EQ(w->Lv1->columnText(2), "Nomor");
  EXPECT_EQ(w->Lv1->columnText(10), "ID");
  EXPECT_GT(w->Lv1->columnWidthTwips(10), 0);
  EXPECT_EQ(w->Label5->text(), "Nomor");
  EXPECT_EQ(w->Label2->text(), hint);
  EXPECT_EQ(w->Lv1->count(), 1);
  EXPECT_EQ(w->Lv2->columnText(2), "NIS");
}

TEST_F(Commands, UserGuideAndWebSiteOpenWithTheSystemHandler) {
  start();
  w->bukaPanduan();  // no guide in the program folder
  EXPECT_EQ(dialogs.lastMsgBox().prompt,
            "Terjadi kesalahan saat memuat file bantuan, pastikan pc anda telah terinstall Adobe Reader / PDF Reader");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  QFile(pf.path("panduan.pdf")).open(QIODevice::WriteOnly);
  dialogs.clear();
  w->bukaPanduan();
  w->bukaWeb();
  const auto opened = dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].prompt, pf.path("panduan.pdf"));
  EXPECT_TRUE(opened[1].prompt.startsWith("https://"));
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Commands, RowStripesPaintOneBandPerRow) {
  for (const char* n : {"Ani", "Budi", "Citra"}) pf.addMember(n, n);
  start();
  w->resize(1200, 800);
  w->show();
  w->warnaBaris(*w->Lv1);
  const QImage bands = w->Lv1->backgroundPicture();
  const int h = bands.height() / 3;
  ASSERT_GT(h, 0);
  EXPECT_EQ(bands.width(), w->Lv1->width());
  const QColor cyan(200, 225, 225), yellow(225, 225, 200);
  EXPECT_EQ(bands.pixelColor(5, h / 2), cyan);
  EXPECT_EQ(bands.pixelColor(bands.width() - 1, h + h / 2), yellow);
  EXPECT_EQ(bands.pixelColor(5, 2 * h + h / 2), cyan);

  w->Lv1->clearItems();
  w->warnaBaris(*w->Lv1);  // no rows: a blank picture, no band
  EXPECT_EQ(w->Lv1->backgroundPicture().pixelColor(0, 0), w->Lv1->palette().color(QPalette::Base));
}

}  // namespace
