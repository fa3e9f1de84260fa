// The entry window: field chain, capitals, photo choice, save, delete; and the class master.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImageReader>
#include <QPainter>
#include <QTest>

#include "Module1.h"
#include "cardrender.h"
#include "forms.h"
#include "frmAggota.h"
#include "frmWebcame.h"
#include "frmkelas.h"
#include "photo_files.h"
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
    for (QWidget* w : forms::loaded()) forms::unload(w);
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
    QLineEdit* const fields[] = {f->TextNis, f->TextNISN, f->TextNama, f->TextTTL, f->Textagama, f->Textkelamin};
    const QString values[] = {nis, nisn, nama, "Bandung, 2 Mei 2010", "Islam", "P"};
    for (int i = 0; i < 6; ++i) fields[i]->setText(values[i]);
    f->TextAlamat->setText("BC-" + nis);
    f->CmbKelas->setEditText(kelas);
  }
  static void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  void choose(const QString& file) {  // "Add Foto" with the file picked in the dialog
    dialogs.queueFile(file);
    click(f->cmdfoto);
  }
  // A stored member opened for a change, as the main window's "Ubah" does.
  void edit(const QString& nis) {
    open();
    const QVariantList row = memberRow(nis);
    f->Textid->setText(row[0].toString());
    fill(nis, row[2].toString(), row[3].toString());
    vb::resumeNext([&] { photobox::PhotoBoxGlobal::loadInto(*f->Image1, pf.path("images/temp.jpg")); });
    vb::resumeNext([&] { photobox::PhotoBoxGlobal::loadInto(*f->Image1, pf.path("photos/" + nis + ".jpg")); });
    f->TextNis->setEnabled(false);
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
    for (int i = 0; !rs.EOF_() && i < rs.fieldCount(); ++i) r << rs.field(i);
    return r;
  }
  // The centre of the photo on the printed front card of a member.
  QColor printedPhoto(const QString& nis) {
    report::Job job;
    job.fieldNames = QStringList{"nis"};
    job.rows = {{nis}};
    report::CardRenderer card(job, std::make_shared<report::CardTemplate>(report::loadTemplate(pf.path("temp/03.rep"))));
    QImage page(1011, 638, QImage::Format_RGB32);  // 85.60 x 53.98 mm at 300 dpi
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    QPainter p(&page);
    card.render(p, [] { return false; });
    p.end();
    return page.pixelColor(int(12.5 / 25.4 * 300), int(30.6 / 25.4 * 300));
  }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook endHook;
  frmAggota* f = nullptr;
};

bool isRed(QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; }

TEST_F(EntryWindow, HiddenLoadKeepsDesignCaptionsUntilActivated) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'NIS', [Label21(4)] = NULL where idlabel = '2'");
  f = forms::get<frmAggota>();  // touched, not shown
  const QStringList design{f->Label3->text(), f->Label4->text(), f->Label5->text(),
                           f->Label6->text(), f->Label7->text(), f->Label12->text()};
  EXPECT_EQ(design, QStringList({"N I S", "NISN", "Nama", "Tempat, Tgl. Lahir", "Jenis Kelamin", "Agama"}));
  EXPECT_EQ(f->Textid->text(), "0");
  EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));
  EXPECT_EQ(f->CmbKelas->count(), 2);
  f->show();  // activation reads the stored captions; a Null one keeps its caption
  EXPECT_EQ(f->Label3->text(), "NIS");
  EXPECT_EQ(f->Label12->text(), "Agama");
  EXPECT_EQ(f->Label8->text(), "Barcode");
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

TEST_F(EntryWindow, AddFotoRefusesFilesBeyondTheSizeOrPixelLimitsBeforeShowingThem) {
  open();
  const QByteArray jpg = jpegBytes(40, 50);
  writeFile(pf.path("ok.JPG"), jpg + QByteArray(602400 - jpg.size(), '\0'));  // padded after its end marker
  writeFile(pf.path("big.jpg"), jpg + QByteArray(602401 - jpg.size(), '\0'));
  writeFile(pf.path("claims.jpg"), withClaimedSize(jpegBytes(8, 8), 20000, 5000));
  writeFile(pf.path("wide.jpg"), withClaimedSize(jpegBytes(8, 8), 13000, 4000));
  struct Case {
    const char* file;
    QString message;
    int flags;
  };
  for (const Case& c : {Case{"big.jpg", "Size File Photo Tidak boleh lebih dari 600 kb", ui::vbExclamation},
                        Case{"claims.jpg", "Gambar terlalu besar (20000 x 5000 piksel)", ui::vbOKOnly},
                        Case{"wide.jpg", "Gambar terlalu besar (13000 x 4000 piksel)", ui::vbOKOnly},
                        Case{"", "Cancel was selected.", ui::vbOKOnly}}) {
    dialogs.clear();
    if (*c.file) choose(pf.path(c.file));
    else {
      dialogs.queueFileCancel();
      click(f->cmdfoto);
    }
    ASSERT_EQ(dialogs.msgBoxes().size(), 1u) << c.file;
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, c.flags);
    EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));  // the photo stays
  }
  dialogs.clear();
  choose(pf.path("ok.JPG"));
  EXPECT_TRUE(dialogs.msgBoxes().empty());
  EXPECT_EQ(f->Image1->picture().width(), 40);
  const auto req = dialogs.callsOf(ScriptedDialogs::Kind::File).back().file;
  EXPECT_EQ(req.title, "Pilih File jpg");
  EXPECT_EQ(req.filter, "jpeg file (*.jpg;*.jpeg)|*.jpg;*.jpeg");
}

TEST_F(EntryWindow, RequiredFieldMessagesUseTheCaptionsWithTheirSpacing) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'NIS', [Label21(1)] = 'NISN', [Label21(2)] = 'Nama' where idlabel = '2'");
  open();
  struct Case {
    QString nis, nisn, nama, message;
    QWidget* focus;
  };
  for (const Case& c : {Case{"", "1", "Ani", "NIS tidak boleh kosong", f->TextNis},
                        Case{"A1", "", "Ani", "NISN tidak boleh kosong", f->TextNISN},
                        Case{"A1", "1", "", "Namatidak boleh kosong", f->TextNama}}) {
    fill(c.nis, c.nisn, c.nama);
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, c.message);
    EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
    EXPECT_TRUE(c.focus->hasFocus()) << c.message.toStdString();
  }
  fill("A1", "1", "  ");  // blanks count as filled
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(members(), 1);
}

TEST_F(EntryWindow, AddWritesTheRowAndTheBlankPhotoThenASecondSaveChangesTheSameMember) {
  open();
  fill("12/3", "99", "Ani");
  f->Cmdcetak->setEnabled(false);
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbInformation);
  const QVariantList row = memberRow("12/3");
  ASSERT_EQ(row.size(), 9);
  EXPECT_EQ(row.mid(1), QVariantList({"12/3", "99", "Ani", "Bandung, 2 Mei 2010", "Islam", "P", "BC-12/3", "X-1"}));
  EXPECT_EQ(readFile(pf.path("photos/12-3.jpg")), readFile(pf.path("images/temp.jpg")));  // byte for byte
  EXPECT_FALSE(f->TextNis->isEnabled());
  EXPECT_TRUE(f->Cmdcetak->isEnabled());
  f->TextNama->setText("Ani Lestari");  // corrected: the same member changes
  click(f->cmdSimpan);
  EXPECT_EQ(members(), 1);
  EXPECT_EQ(memberRow("12/3")[0], row[0]);
  EXPECT_EQ(memberRow("12/3")[3], "Ani Lestari");
}

TEST_F(EntryWindow, QuotesAndLetterCaseInTheDuplicateCheckAndTheDelete) {
  pf.addMember("B1", "Tetap");
  for (const QString& nis : {QString("O'1"), QString("x' or 'a'='a")}) {
    pf.addMember(nis, "D'Arc");
    open();
    fill(nis.toUpper(), "5", "Baru");
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data denganNIS sdh ada di dalam database, gunakan yang lain");
    EXPECT_EQ(members(), 2);
    EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());

    dialogs.expectMsgBox(ui::vbNo);
    click(f->CMDHapus);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Apakah Anda Yakin Menghapus NIS " + nis.toUpper() + " ?");
    EXPECT_EQ(members(), 2);
    dialogs.expectMsgBox(ui::vbYes);
    click(f->CMDHapus);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Telah dihapus");
    EXPECT_EQ(members(), 1) << nis.toStdString();
    EXPECT_EQ(members("nis = 'B1'"), 1);
    EXPECT_TRUE(f->TextNis->text().isEmpty());
  }
}

TEST_F(EntryWindow, ChangeRewritesTheRowAndStoresPhotosAsTheyCameUpright) {
  pf.addMember("7", "Asli");
  const QByteArray own = jpegBytes(30, 40), chosen = jpegBytes(60, 80);
  writeFile(pf.path("photos/7.jpg"), own);
  edit("7");
  const QString id = f->Textid->text();
  fill("7", "77", "Ganti", "XI-2");
  click(f->cmdSimpan);
  EXPECT_EQ(memberRow("7"), QVariantList({id.toLongLong(), "7", "77", "Ganti", "Bandung, 2 Mei 2010", "Islam", "P", "BC-7", "XI-2"}));
  EXPECT_EQ(readFile(pf.path("photos/7.jpg")), own);  // unchanged picture, unchanged file

  choose(writeFile(pf.path("pilih.jpg"), chosen));
  click(f->cmdSimpan);
  EXPECT_EQ(readFile(pf.path("photos/7.jpg")), chosen);

  writeFile(pf.path("miring.jpg"), withOrientation(jpegBytes(40, 20), 6));  // taken with the phone turned
  choose(pf.path("miring.jpg"));
  EXPECT_EQ(f->Image1->picture().image().size(), QSize(20, 40));
  click(f->cmdSimpan);
  QImageReader stored(pf.path("photos/7.jpg"));  // no orientation applied: stored upright
  stored.setAutoTransform(false);
  const QImage up = stored.read();
  EXPECT_EQ(up.size(), QSize(20, 40));
  EXPECT_TRUE(up.pixelColor(10, 3).blue() > 200);  // the picture's left edge is its top
}

TEST_F(EntryWindow, ClearingEmptiesThePhotoEvenWithoutTheBlankSoItIsNotSavedForTheNextMember) {
  open();
  writeFile(pf.path("lama.jpg"), jpegBytes(60, 80));
  choose(pf.path("lama.jpg"));
  ASSERT_TRUE(QFile::remove(pf.path("images/temp.jpg")));
  click(f->Cmdtambah);
  EXPECT_TRUE(f->Image1->picture().isEmpty());
  fill("N1", "1", "Baru");
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data berhasil di simpan"}));
  EXPECT_EQ(members(), 1);
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());
}

TEST_F(EntryWindow, PhotoOfAnotherMemberWithTheSameFileNameIsNeverOverwritten) {
  pf.addMember("2024/002", "Pertama");
  const QByteArray first = jpegBytes(30, 40), second = jpegBytes(60, 80);
  for (const QString& nis : {QString("2024-002"), QString("2024\\002")}) {
    writeFile(pf.path("photos/2024-002.jpg"), first);
    open();
    f->Cmdtambah_Click();
    dialogs.clear();
    choose(writeFile(pf.path("kedua.jpg"), second));
    fill(nis, "2", "Kedua");
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.msgBoxTexts(),
              QStringList({"Data berhasil di simpan",
                           "Foto tidak disimpan: file foto 2024-002.jpg sudah dipakai anggota dengan NIS 2024/002."}));
    EXPECT_EQ(members("nis = '" + ado::q(nis) + "'"), 1);  // the row is saved
    EXPECT_EQ(readFile(pf.path("photos/2024-002.jpg")), first);
    EXPECT_EQ(readFile(pf.path("kedua.jpg")), second);
    EXPECT_EQ(QDir(pf.path("photos")).count(), 3u) << nis.toStdString();  // ".", ".." and the first photo
    pf.db().Execute("delete from tblanggota where nis = '" + ado::q(nis) + "'");
  }
}

TEST_F(EntryWindow, AMemberPhotoThatCannotBeShownIsNotReplacedByTheBlank) {
  for (const QByteArray& bytes : {QByteArray("not a picture"), withClaimedSize(jpegBytes(8, 8), 13000, 4000)}) {
    pf.addMember("8", "Ani");
    writeFile(pf.path("photos/8.jpg"), bytes);
    edit("8");
    EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
    EXPECT_EQ(readFile(pf.path("photos/8.jpg")), bytes);
    pf.db().Execute("delete from tblanggota");
  }
}

TEST_F(EntryWindow, TheCardPrintsThePhotoTheWindowSaved) {
  pf.writePhoto("merah.jpg", QColor(220, 20, 20), QSize(300, 400));
  for (const QString& nis : {QString("12/3"), QString("12\\4"), QString(".5")}) {
    open();
    f->Cmdtambah_Click();
    choose(pf.path("merah.jpg"));
    fill(nis, "1", "Ani");
    click(f->cmdSimpan);
    EXPECT_TRUE(isRed(printedPhoto(nis))) << nis.toStdString();
  }
  EXPECT_FALSE(isRed(printedPhoto("12/9")));  // no photo: the blank one
}

TEST_F(EntryWindow, RefusedRowIsReportedAndNoPhotoIsWritten) {
  open();
  fill("R1", "1", QString(300, 'x'));  // longer than the column allows
  click(f->cmdSimpan);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal disimpan"));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_EQ(members(), 0);
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());
  EXPECT_TRUE(f->TextNis->isEnabled());
}

TEST_F(EntryWindow, DeleteNeedsANumberKeepsThePhotoFileAndReportsAFailure) {
  pf.addMember("5/1", "Ani");
  pf.writePhoto("photos/5-1.jpg", Qt::red);
  open();
  click(f->CMDHapus);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
  EXPECT_EQ(dialogs.lastMsgBox().title, "Korvanta");
  f->TextNis->setText("5/1");
  pf.db().Execute("create trigger keep before delete on tblanggota begin select raise(abort, 'locked'); end");
  dialogs.expectMsgBox(ui::vbYes);
  click(f->CMDHapus);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal dihapus"));
  EXPECT_EQ(f->TextNis->text(), "5/1");
  pf.db().Execute("drop trigger keep");
  dialogs.expectMsgBox(ui::vbYes);
  click(f->CMDHapus);
  EXPECT_EQ(members(), 0);
  EXPECT_TRUE(QFile::exists(pf.path("photos/5-1.jpg")));
}

TEST_F(EntryWindow, WebcamHandOverGoesToTheEntryWindowForInput) {
  open();
  click(f->Command1);
  auto* cam = forms::get<frmWebcame>();
  EXPECT_EQ(cam->Caption(), "Input");
  QImage crop(90, 120, QImage::Format_RGB32);
  crop.fill(Qt::cyan);
  EXPECT_TRUE(cam->serahkanFoto(crop));
  EXPECT_EQ(f->Image1->picture().width(), 90);
  EXPECT_FALSE(cam->isVisible());
  EXPECT_TRUE(readFile(pf.path("test.jpg")).startsWith("BM"));  // a bitmap despite its name
}

// --- class master

QStringList listed(frmkelas* k) {
  QStringList l;
  for (int i = 1; i <= k->Lv1->count(); ++i) l << k->Lv1->itemText(i);
  return l;
}

TEST_F(EntryWindow, ClassMasterAddsUniqueNamesWithQuotesAndTheEntryWindowRefillsItsClasses) {
  open();
  ScopedModalHook modal([this](QWidget* w, QWidget*) {
    auto* k = static_cast<frmkelas*>(w);
    EXPECT_EQ(listed(k), QStringList({"X-1", "XI-2"}));
    k->Cmdtambah_Click();
    EXPECT_EQ(k->Cmdtutup->text(), "Batal");
    k->Cmdtambah_Click();
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data belum lengkap");
    k->Text1->setText("x-1");  // taken, regardless of case
    k->Cmdtambah_Click();
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Nama Kelas sudah digunakan, silakan pilih  yang lain");
    EXPECT_EQ(dialogs.lastMsgBox().title, "Master Kelamin");
    k->Text1->setText("IX-'A'");
    k->Cmdtambah_Click();
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data Sudah Tersimpan");
    EXPECT_EQ(listed(k), QStringList({"IX-'A'", "X-1", "XI-2"}));
    EXPECT_EQ(k->Text1->text(), "IX-'A'");
    EXPECT_EQ(k->Cmdtambah->text(), "Tambah");
  });
  click(f->Command2);
  EXPECT_EQ(modal.count(), 1);
  QStringList kelas;
  for (int i = 0; i < f->CmbKelas->count(); ++i) kelas << f->CmbKelas->itemText(i);
  EXPECT_EQ(kelas, QStringList({"IX-'A'", "X-1", "XI-2"}));
}

TEST_F(EntryWindow, ClassMasterBatalAndNoChangeNothingAndDeleteRelists) {
  auto* k = forms::get<frmkelas>();
  k->Cmdtambah_Click();
  k->Text1->setText("Baru");
  k->Cmdtutup_Click();
  EXPECT_EQ(k->Cmdtambah->text(), "Tambah");
  EXPECT_TRUE(k->Text1->text().isEmpty());
  k->CMDHapus_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Pilih Record yang akan di hapus");
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
  k->Cmdtutup_Click();
  EXPECT_FALSE(forms::isLoaded<frmkelas>());
}

}  // namespace
