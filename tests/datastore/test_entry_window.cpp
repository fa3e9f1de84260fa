// The entry window: field chain, capitals, photo choice, save, delete; and the class master.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QTest>

#include "Module1.h"
#include "forms.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "frmkelas.h"
#include "program_folder.h"
#include "scoped_hooks.h"
#include "scripted_dialogs.h"

using namespace testsupport;

namespace {

class EntryWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    pf.addKelas("X-1");
    pf.addKelas("XI-2");
    ASSERT_TRUE(Module1::bukaKoneksi());
  }
  void TearDown() override {
    for (QWidget* f : forms::loaded()) forms::unload(f);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Module1::tutupKoneksi();
  }
  frmAggota* open() {
    f = forms::get<frmAggota>();
    f->show();
    QApplication::setActiveWindow(f);
    return f;
  }
  void fill(const QString& nis, const QString& nisn, const QString& nama, const QString& kelas = "X-1") {
    f->TextNis->setText(nis);
    f->TextNISN->setText(nisn);
    f->TextNama->setText(nama);
    f->TextTTL->setText("Bandung, 2 Mei 2010");
    f->Textagama->setText("Islam");
    f->Textkelamin->setText("P");
    f->TextAlamat->setText("BC-" + nis);
    f->CmbKelas->setEditText(kelas);
  }
  int members(const QString& where = "1=1") {
    ado::Recordset rs;
    rs.Open("select count(*) as n from tblanggota where " + where, pf.db());
    return rs.field("n").toInt();
  }
  QVariantList memberRow(const QString& nis) {
    ado::Recordset rs;
    rs.Open("select * from tblanggota where nis = '" + ado::q(nis) + "'", pf.db());
    QVariantList r;
    if (!rs.EOF_())
      for (int i = 0; i < rs.fieldCount(); ++i) r << rs.field(i);
    return r;
  }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook endHook;
  frmAggota* f = nullptr;
};

TEST_F(EntryWindow, HiddenLoadKeepsDesignCaptionsUntilActivated) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'NIS', [Label21(4)] = NULL where idlabel = '2'");
  f = forms::get<frmAggota>();  // touched, not shown
  EXPECT_FALSE(f->isVisible());
  EXPECT_EQ(f->Label3->text(), "N I S");
  const QStringList design{f->Label3->text(), f->Label4->text(), f->Label5->text(),
                           f->Label6->text(), f->Label7->text(), f->Label12->text()};
  EXPECT_EQ(design, QStringList({"N I S", "NISN", "Nama", "Tempat, Tgl. Lahir", "Jenis Kelamin", "Agama"}));
  EXPECT_EQ(f->Textid->text(), "0");
  EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));
  QStringList kelas;
  for (int i = 0; i < f->CmbKelas->count(); ++i) kelas << f->CmbKelas->itemText(i);
  EXPECT_EQ(kelas, QStringList({"X-1", "XI-2"}));

  f->show();  // activation reads the stored captions; a Null one keeps its caption
  EXPECT_EQ(f->Label3->text(), "NIS");
  EXPECT_EQ(f->Label12->text(), "Agama");
  EXPECT_EQ(f->Label8->text(), "Barcode");
  pf.db().Execute("update tlabel set [Label21(0)] = 'Nomor Induk' where idlabel = '2'");
  f->Form_Activate();
  EXPECT_EQ(f->Label3->text(), "Nomor Induk");
}

TEST_F(EntryWindow, EnterMovesAlongTheFieldsAndNisIsTypedInCapitals) {
  open();
  f->TextNis->setFocus();
  QTest::keyClicks(f->TextNis, "ab/12c");
  EXPECT_EQ(f->TextNis->text(), "AB/12C");
  QWidget* const chain[] = {f->TextNis,   f->TextNISN,    f->TextNama,   f->TextTTL,
                            f->Textagama, f->Textkelamin, f->TextAlamat, f->CmbKelas};
  for (int i = 0; i + 1 < 8; ++i) {
    chain[i]->setFocus();
    QTest::keyClick(chain[i], Qt::Key_Return);
    EXPECT_TRUE(chain[i + 1]->hasFocus()) << i;
  }
  QTest::keyClicks(f->TextNama, "siti");
  EXPECT_EQ(f->TextNama->text(), "siti");  // only the number is forced to capitals
}

TEST_F(EntryWindow, PhotoSizeLimitIsExactlyAtTheBoundary) {
  open();
  QImage img(40, 50, QImage::Format_RGB32);
  img.fill(Qt::green);
  QByteArray jpg;
  {
    QBuffer b(&jpg);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "JPG");
  }
  // A valid JPEG padded after its end marker to the exact sizes.
  auto write = [&](const QString& name, int size) {
    QFile out(pf.path(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(jpg + QByteArray(size - jpg.size(), '\0'));
    return pf.path(name);
  };
  const QString ok = write("ok.JPG", 602400), big = write("big.jpg", 602401);

  dialogs.queueFile(big);
  f->cmdfoto_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Size File Photo Tidak boleh lebih dari 600 kb");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));

  dialogs.clear();
  dialogs.queueFile(ok);
  f->cmdfoto_Click();
  EXPECT_TRUE(dialogs.msgBoxes().empty());
  EXPECT_EQ(f->Image1->sourceFile(), ok);
  EXPECT_EQ(f->Image1->picture().width(), 40);
  const auto req = dialogs.callsOf(ScriptedDialogs::Kind::File).back().file;
  EXPECT_EQ(req.title, "Pilih File jpg");
  EXPECT_EQ(req.filter, "jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg");

  dialogs.clear();
  dialogs.queueFileCancel();
  f->cmdfoto_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Cancel was selected.");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbOKOnly);
  EXPECT_EQ(f->Image1->sourceFile(), ok);  // nothing changed
}

TEST_F(EntryWindow, RequiredFieldMessagesUseTheCaptionsWithTheirSpacing) {
  pf.db().Execute(
      "update tlabel set [Label21(0)] = 'NIS', [Label21(1)] = 'NISN', [Label21(2)] = 'Nama' "
      "where idlabel = '2'");
  open();
  fill("", "1", "Ani");
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "NIS tidak boleh kosong");
  EXPECT_TRUE(f->TextNis->hasFocus());
  fill("A1", "", "Ani");
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "NISN tidak boleh kosong");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_EQ(dialogs.lastMsgBox().title, vb::appTitle());
  fill("A1", "1", "");
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Namatidak boleh kosong");
  EXPECT_TRUE(f->TextNama->hasFocus());
  fill("A1", "1", "  ");  // blanks count as filled
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(members(), 1);
}

TEST_F(EntryWindow, AddWritesTheRowAndThePhotoThenASecondSaveChangesTheSameMember) {
  open();
  fill("12/3", "99", "Ani");
  f->Cmdcetak->setEnabled(false);
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbInformation);
  const QVariantList row = memberRow("12/3");
  ASSERT_EQ(row.size(), 9);
  EXPECT_EQ(row.mid(1), QVariantList({"12/3", "99", "Ani", "Bandung, 2 Mei 2010", "Islam", "P", "BC-12/3", "X-1"}));
  EXPECT_TRUE(QFile::exists(pf.path("photos/12-3.jpg")));  // the blank photo, under the slash rule
  EXPECT_FALSE(f->TextNis->isEnabled());
  EXPECT_TRUE(f->Cmdcetak->isEnabled());
  EXPECT_EQ(f->Textid->text(), row[0].toString());

  // Correcting the member just added changes it instead of refusing it as taken.
  f->TextNama->setText("Ani Lestari");
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(members(), 1);
  EXPECT_EQ(memberRow("12/3")[0], row[0]);
  EXPECT_EQ(memberRow("12/3")[3], "Ani Lestari");
}

TEST_F(EntryWindow, TakenNisIsRefusedRegardlessOfCaseAndNothingIsWritten) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'NIS' where idlabel = '2'");
  pf.addMember("AB1", "Lama");
  open();
  fill("ab1", "5", "Baru");
  f->cmdSimpan_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data denganNIS sdh ada di dalam database, gunakan yang lain");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_EQ(members(), 1);
  EXPECT_FALSE(QFile::exists(pf.path("photos/ab1.jpg")));
  EXPECT_TRUE(f->TextNis->isEnabled());
}

TEST_F(EntryWindow, ChangeKeepsTheIdAndRewritesAllColumnsWithTheChosenPhoto) {
  pf.addMember("7", "Asli", "X-1");
  open();
  ado::Recordset rs;
  rs.Open("select id from tblanggota", pf.db());
  const QString id = rs.field("id").toString();
  f->Textid->setText(id);
  fill("7", "77", "Ganti", "XI-2");
  pf.writePhoto("pilih.jpg", Qt::red, QSize(60, 80));
  photobox::PhotoBoxGlobal::loadInto(*f->Image1, pf.path("pilih.jpg"));
  f->cmdSimpan_Click();
  EXPECT_EQ(memberRow("7"),
            QVariantList({id.toLongLong(), "7", "77", "Ganti", "Bandung, 2 Mei 2010", "Islam", "P", "BC-7", "XI-2"}));
  EXPECT_EQ(photobox::PhotoBoxGlobal::LoadPictureFile(pf.path("photos/7.jpg")).width(), 60);

  // "Tambah" after a change starts a new member and leaves the changed one alone.
  f->Cmdtambah_Click();
  EXPECT_EQ(f->Textid->text(), "0");
  EXPECT_TRUE(f->TextNis->isEnabled());
  EXPECT_FALSE(f->Cmdcetak->isEnabled());
  EXPECT_TRUE(f->TextNama->text().isEmpty());
  fill("8", "88", "Kedua");
  f->cmdSimpan_Click();
  EXPECT_EQ(members(), 2);
  EXPECT_EQ(memberRow("7")[3], "Ganti");
}

TEST_F(EntryWindow, RefusedRowIsReportedAndNoPhotoIsWritten) {
  open();
  fill("R1", "1", QString(300, 'x'));  // longer than the column allows
  f->cmdSimpan_Click();
  ASSERT_FALSE(dialogs.msgBoxes().empty());
  EXPECT_NE(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal disimpan"));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_EQ(members(), 0);
  EXPECT_FALSE(QFile::exists(pf.path("photos/R1.jpg")));
  EXPECT_TRUE(f->TextNis->isEnabled());
}

TEST_F(EntryWindow, DeleteAsksByNumberAndKeepsThePhotoFile) {
  pf.addMember("5/1", "Ani");
  pf.addMember("6", "Budi");
  pf.writePhoto("photos/5-1.jpg", Qt::red);
  open();
  f->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");

  f->TextNis->setText("5/1");
  dialogs.expectMsgBox(ui::vbNo);
  f->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Apakah Anda Yakin Menghapus NIS 5/1 ?");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbYesNo);
  EXPECT_EQ(members(), 2);
  EXPECT_EQ(f->TextNis->text(), "5/1");

  dialogs.expectMsgBox(ui::vbYes);
  f->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Telah dihapus");
  EXPECT_EQ(members(), 1);
  EXPECT_EQ(members("nis = '6'"), 1);
  EXPECT_TRUE(QFile::exists(pf.path("photos/5-1.jpg")));
  EXPECT_TRUE(f->TextNis->text().isEmpty());
}

TEST_F(EntryWindow, FailedDeleteIsReportedAndKeepsTheMemberOnScreen) {
  pf.addMember("9", "Ani");
  pf.db().Execute("create trigger keep before delete on tblanggota begin select raise(abort, 'locked'); end");
  open();
  f->TextNis->setText("9");
  f->TextNama->setText("Ani");
  dialogs.expectMsgBox(ui::vbYes);
  f->CMDHapus_Click();
  EXPECT_NE(dialogs.lastMsgBox().prompt, "Telah dihapus");
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal dihapus"));
  EXPECT_EQ(members(), 1);
  EXPECT_EQ(f->TextNama->text(), "Ani");
}

TEST_F(EntryWindow, WebcamHandOverGoesToTheEntryWindowForInput) {
  open();
  f->Command1_Click();
  auto* cam = forms::get<frmWebcame>();
  EXPECT_EQ(cam->Caption(), "Input");
  EXPECT_TRUE(cam->isVisible());
  QImage crop(90, 120, QImage::Format_RGB32);
  crop.fill(Qt::cyan);
  EXPECT_TRUE(cam->serahkanFoto(crop));
  EXPECT_EQ(f->Image1->picture().width(), 90);
  EXPECT_TRUE(f->isVisible());
  EXPECT_FALSE(cam->isVisible());
  QFile t(pf.path("test.jpg"));
  ASSERT_TRUE(t.open(QIODevice::ReadOnly));
  EXPECT_EQ(t.read(2), "BM");  // a bitmap despite its name
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());
}

// --- class master

class ClassMaster : public EntryWindow {
 protected:
  QStringList listed(frmkelas* k) {
    QStringList l;
    for (int i = 1; i <= k->Lv1->count(); ++i) l << k->Lv1->itemText(i);
    return l;
  }
};

TEST_F(ClassMaster, AddChecksUniquenessRegardlessOfCaseAndRelistsInOrder) {
  auto* k = forms::get<frmkelas>();
  EXPECT_EQ(listed(k), QStringList({"X-1", "XI-2"}));
  k->Cmdtambah_Click();
  EXPECT_EQ(k->Cmdtambah->text(), "Simpan");
  EXPECT_EQ(k->Cmdtutup->text(), "Batal");
  k->Cmdtambah_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data belum lengkap");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Simpan");

  k->Text1->setText("x-1");
  k->Cmdtambah_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Nama Kelas sudah digunakan, silakan pilih  yang lain");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Master Kelamin");
  EXPECT_EQ(k->Cmdtambah->text(), "Simpan");

  k->Text1->setText("IX-'A'");
  k->Cmdtambah_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data Sudah Tersimpan");
  EXPECT_EQ(listed(k), QStringList({"IX-'A'", "X-1", "XI-2"}));
  EXPECT_EQ(k->Text1->text(), "IX-'A'");
  EXPECT_EQ(k->Cmdtambah->text(), "Tambah");
  EXPECT_EQ(k->Cmdtutup->text(), "Tutup");
}

TEST_F(ClassMaster, BatalAndNoChangeNothingAndDeleteRelists) {
  auto* k = forms::get<frmkelas>();
  k->Cmdtambah_Click();
  k->Text1->setText("Baru");
  k->Cmdtutup_Click();
  EXPECT_EQ(k->Cmdtambah->text(), "Tambah");
  EXPECT_TRUE(k->Text1->text().isEmpty());
  EXPECT_EQ(listed(k), QStringList({"X-1", "XI-2"}));
  EXPECT_TRUE(forms::isLoaded<frmkelas>());

  k->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Hapus");

  k->Lv1->setCurrentIndex1(1);
  k->Lv1_Click();
  k->Text1->setText("XI-2");  // typed over the chosen entry
  dialogs.expectMsgBox(ui::vbNo);
  k->CMDHapus_Click();
  EXPECT_EQ(listed(k), QStringList({"X-1", "XI-2"}));

  dialogs.expectMsgBox(ui::vbYes);
  k->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Telah dihapus");
  EXPECT_EQ(listed(k), QStringList({"X-1"}));  // the list shows what the table holds
  EXPECT_TRUE(k->Text1->text().isEmpty());

  k->Cmdtutup_Click();
  EXPECT_FALSE(forms::isLoaded<frmkelas>());
}

TEST_F(ClassMaster, EntryWindowRefillsItsClassesWhenTheMasterCloses) {
  open();
  f->CmbKelas->setEditText("XI-2");
  ScopedModalHook modal([](QWidget* w, QWidget*) {
    auto* k = static_cast<frmkelas*>(w);
    k->Cmdtambah_Click();
    k->Text1->setText("XII-3");
    k->Cmdtambah_Click();
  });
  f->Command2_Click();
  EXPECT_EQ(modal.count(), 1);
  EXPECT_EQ(modal.calls[0].owner, f);
  QStringList kelas;
  for (int i = 0; i < f->CmbKelas->count(); ++i) kelas << f->CmbKelas->itemText(i);
  EXPECT_EQ(kelas, QStringList({"X-1", "XI-2", "XII-3"}));
}

}  // namespace
