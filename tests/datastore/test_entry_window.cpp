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
  void open() {
    f = forms::get<frmAggota>();
    f->show();
    QApplication::setActiveWindow(f);
  }
  void fill(const QString& nis, const QString& nisn = "1", const QString& nama = "Ani") {
    int i = 0;
    for (QLineEdit* e : {f->TextNis, f->TextNISN, f->TextNama, f->TextTTL, f->Textagama, f->Textkelamin, f->TextAlamat})
      e->setText(QStringList{nis, nisn, nama, "Bandung", "Islam", "P", "BC-" + nis}.at(i++));
    f->CmbKelas->setEditText("XI-2");
  }
  static void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  void choose(const QString& file) {  // "Add Foto" with the file picked in the dialog
    dialogs.queueFile(file);
    click(f->cmdfoto);
  }
  // A stored member opened for a change, as the main window's "Ubah" does.
  void edit(const QString& nis, const QByteArray& photo) {
    writeFile(pf.path("photos/" + nis + ".jpg"), photo);
    open();
    f->Textid->setText(QString::number(members("nis = '" + nis + "'", "max(id)")));
    fill(nis);
    for (const QString& photo : {pf.path("images/temp.jpg"), pf.path("photos/" + nis + ".jpg")})
      vb::resumeNext([&] { photobox::PhotoBoxGlobal::loadInto(*f->Image1, photo); });
    f->TextNis->setEnabled(false);
  }
  int members(const QString& where = "1=1", const QString& what = "count(*)") {
    ado::Recordset rs;
    rs.Open("select " + what + " as n from tblanggota where " + where, pf.db());
    return rs.field("n").toInt();
  }
  // The centre of the photo on a member's printed front card.
  QColor printedPhoto(const QString& nis) {
    report::Job job;
    job.fieldNames = QStringList{"nis"};
    job.rows = {{nis}};
    report::CardRenderer card(job,
                              std::make_shared<report::CardTemplate>(report::loadTemplate(pf.path("temp/03.rep"))));
    QImage page(1011, 638, QImage::Format_RGB32);  // 85.60 x 53.98 mm at 300 dpi
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    QPainter p(&page);
    card.render(p, [] { return false; });
    return page.pixelColor(148, 361);  // 12.5 x 30.6 mm
  }

  ProgramFolder pf;
  ScriptedDialogs dialogs;
  ScopedEndHook endHook;
  frmAggota* f = nullptr;
};

TEST_F(EntryWindow, LoadsHiddenWithDesignCaptionsAndChainsTheFieldsWithTheNumberInCapitals) {
  pf.db().Execute("update tlabel set [Label21(0)] = 'Nomor', [Label21(4)] = NULL where idlabel = '2'");
  f = forms::get<frmAggota>();  // touched, not shown
  const QStringList design{f->Label3->text(), f->Label4->text(), f->Label5->text(),
                           f->Label6->text(), f->Label7->text(), f->Label12->text()};
  EXPECT_EQ(design, QStringList({"N I S", "NISN", "Nama", "Tempat, Tgl. Lahir", "Jenis Kelamin", "Agama"}));
  EXPECT_EQ(f->Textid->text(), "0");
  EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));
  open();  // activation reads the stored captions; a Null one keeps its caption
  EXPECT_EQ(QStringList({f->Label3->text(), f->Label12->text(), f->Label8->text()}),
            QStringList({"Nomor", "Agama", "Barcode"}));
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
}

TEST_F(EntryWindow, AddFotoRefusesFilesBeyondTheSizeOrPixelLimitsAndKeepsThePhoto) {
  open();
  const QByteArray jpg = jpegBytes(40, 50);  // padded after its end marker to the limit and beyond
  const std::pair<QByteArray, QString> cases[] = {
      {jpg + QByteArray(602401 - jpg.size(), '\0'), "Size File Photo Tidak boleh lebih dari 600 kb"},
      {withClaimedSize(jpegBytes(8, 8), 20000, 5000),
       "Gambar terlalu besar (20000 x 5000 piksel). Paling "
       "besar 12000 piksel per sisi dan 40 megapiksel."},
      {withClaimedSize(jpegBytes(8, 8), 13000, 4000), "Gambar terlalu besar (13000 x 4000 piksel)"},
      // Within the size limits, but 7600 passes to decode.
      {scanHeavyJpeg(6000, 6000, 7600), "Gambar (6000 x 6000 piksel) memerlukan terlalu banyak tahap untuk dibaca"},
      {"", "Cancel was selected."}};
  for (const auto& [bytes, message] : cases) {
    bytes.isEmpty() ? dialogs.queueFileCancel() : dialogs.queueFile(writeFile(pf.path("foto.jpg"), bytes));
    click(f->cmdfoto);
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(f->Image1->sourceFile(), pf.path("images/temp.jpg"));
  }
  dialogs.clear();
  choose(writeFile(pf.path("ok.JPG"), jpg + QByteArray(602400 - jpg.size(), '\0')));
  EXPECT_TRUE(dialogs.msgBoxes().empty());
  EXPECT_EQ(f->Image1->picture().width(), 40);
}

TEST_F(EntryWindow, RequiredFieldsThenAddThenASecondSaveChangesTheSameMemberAndARefusedRowIsReported) {
  pf.db().Execute(
      "update tlabel set [Label21(0)] = 'NIS', [Label21(1)] = 'NISN', [Label21(2)] = 'Nama' where idlabel = '2'");
  open();
  const std::tuple<QString, QString, QString, QString> cases[] = {{"", "1", "Ani", "NIS tidak boleh kosong"},
                                                                  {"A1", "", "Ani", "NISN tidak boleh kosong"},
                                                                  {"A1", "1", "", "Namatidak boleh kosong"}};
  for (const auto& [nis, nisn, nama, message] : cases) {
    fill(nis, nisn, nama);
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, message);
  }
  fill("12/3", "99", "  ");  // blanks count as filled
  f->Cmdcetak->setEnabled(false);
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data berhasil di simpan");
  EXPECT_EQ(readFile(pf.path("photos/12-3.jpg")), readFile(pf.path("images/temp.jpg")));  // the blank, byte for byte
  EXPECT_FALSE(f->TextNis->isEnabled());
  EXPECT_TRUE(f->Cmdcetak->isEnabled());
  f->TextNama->setText("Ani Lestari");
  click(f->cmdSimpan);
  EXPECT_EQ(members("nama = 'Ani Lestari' and kelas = 'XI-2' and barcode = 'BC-12/3' and nisn = '99'"), members());

  click(f->Cmdtambah);
  fill("R1", "1", QString(300, 'x'));  // longer than the column allows
  click(f->cmdSimpan);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal disimpan"));
  EXPECT_FALSE(QFile::exists(pf.path("photos/R1.jpg")));
}

TEST_F(EntryWindow, SaveStoresEveryFieldAsTypedForANewAndForAChangedMember) {
  pf.addMember("U-7", "Lama", "X-1", "LAMA");
  const QString oldId = QString::number(members("nis = 'U-7'", "max(id)"));
  // Every column with its own value, so a value written into a neighbour's column shows.
  const char* const columns[] = {"nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"};
  const struct {
    bool change;  // the member opened for a change, as the main window's "Ubah" fills it
    QStringList typed;  // in the order of `columns`; a change keeps its number
  } cases[] = {
      {false, {"2024/0101", "0099887766", "Siti O'Hara", "Bandung, 2 Mei 2010", "Kristen", "P", "BC-77", "XII-IPA 3"}},
      {true, {"U-7", "0011", "Budi Baru", "Garut, 9 Juni 2009", "Hindu", "L", "QR-9", "X-1"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.change ? "change" : "add");
    open();
    click(f->Cmdtambah);
    if (c.change) {
      f->Textid->setText(oldId);
      f->TextNis->setText(c.typed[0]);
      f->TextNis->setEnabled(false);
    }
    QLineEdit* const fields[] = {f->TextNis,   f->TextNISN,    f->TextNama,   f->TextTTL,
                                 f->Textagama, f->Textkelamin, f->TextAlamat, f->CmbKelas->lineEdit()};
    for (int i = c.change ? 1 : 0; i < 8; ++i) {
      fields[i]->clear();
      fields[i]->setFocus();
      QTest::keyClicks(fields[i], c.typed[i]);
    }
    const QString photo = writeFile(pf.path(c.change ? "ubah.jpg" : "baru.jpg"), jpegBytes(c.change ? 30 : 60, 40));
    choose(photo);
    dialogs.clear();
    click(f->cmdSimpan);
    ASSERT_EQ(dialogs.msgBoxTexts(), QStringList{"Data berhasil di simpan"});

    const QString id = c.change ? oldId : QString::number(members("1=1", "max(id)"));
    ado::Recordset rs;
    rs.Open("select * from tblanggota where id = " + id, pf.db());
    ASSERT_FALSE(rs.EOF_());
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(vb::text(rs.field(QString::fromLatin1(columns[i]))), c.typed[i]) << columns[i];
    EXPECT_EQ(readFile(pf.path("photos/" + QString(c.typed[0]).replace('/', '-') + ".jpg")), readFile(photo));
    forms::unload<frmAggota>();
  }
  EXPECT_EQ(members(), 2);  // the change added no row
}

TEST_F(EntryWindow, QuotesAndLetterCaseInTheDuplicateCheckAndTheDeleteWhichKeepsThePhoto) {
  pf.addMember("B1", "Tetap");
  for (const QString nis : {"O'1", "x' or 'a'='a"}) {
    pf.addMember(nis, "D'Arc");
    writeFile(pf.path("photos/" + nis + ".jpg"), "foto");
    open();
    fill(nis.toUpper());
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.lastMsgBox().prompt, "Data denganNIS sdh ada di dalam database, gunakan yang lain");
    dialogs.clear();
    dialogs.expectMsgBox(ui::vbYes);
    click(f->CMDHapus);
    EXPECT_EQ(dialogs.msgBoxTexts(),
              QStringList({"Apakah Anda Yakin Menghapus NIS " + nis.toUpper() + " ?", "Telah dihapus"}));
    EXPECT_EQ(members("nis = 'B1'"), members()) << nis.toStdString();
    EXPECT_EQ(readFile(pf.path("photos/" + nis + ".jpg")), "foto");
  }
  f->TextNis->setText("B1");
  pf.db().Execute("create trigger keep before delete on tblanggota begin select raise(abort, 'locked'); end");
  dialogs.expectMsgBox(ui::vbYes);
  click(f->CMDHapus);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Data gagal dihapus"));
  EXPECT_EQ(f->TextNis->text(), "B1");
}

TEST_F(EntryWindow, ChangeStoresPhotosAsTheyCameUprightAndWebcamPicturesAsJpeg) {
  pf.addMember("7", "Asli");
  const QByteArray own = jpegBytes(30, 40), chosen = jpegBytes(60, 80);
  edit("7", own);
  click(f->cmdSimpan);
  EXPECT_EQ(readFile(pf.path("photos/7.jpg")), own);  // unchanged picture, unchanged file
  choose(writeFile(pf.path("pilih.jpg"), chosen));
  click(f->cmdSimpan);
  EXPECT_EQ(readFile(pf.path("photos/7.jpg")), chosen);
  choose(writeFile(pf.path("miring.jpg"), withOrientation(jpegBytes(40, 20), 6)));  // the phone held turned
  EXPECT_EQ(f->Image1->picture().image().size(), QSize(20, 40));
  click(f->cmdSimpan);
  QImageReader stored(pf.path("photos/7.jpg"));  // upright with no orientation left to apply
  stored.setAutoTransform(false);
  const QImage up = stored.read();
  EXPECT_EQ(up.size(), QSize(20, 40));
  EXPECT_GT(up.pixelColor(10, 3).blue(), 200);  // the picture's left edge is its top
  click(f->Command1);                           // the webcam hands over a bitmap named test.jpg: stored as JPEG
  ASSERT_TRUE(forms::get<frmWebcame>()->serahkanFoto(QImage(pf.path("pilih.jpg"))));
  click(f->cmdSimpan);
  EXPECT_EQ(QImageReader(pf.path("photos/7.jpg")).format(), "jpeg");
}

TEST_F(EntryWindow, ClearingEmptiesThePhotoEvenWithoutTheBlankSoItIsNotSavedForTheNextMember) {
  open();
  choose(writeFile(pf.path("lama.jpg"), jpegBytes(60, 80)));
  ASSERT_TRUE(QFile::remove(pf.path("images/temp.jpg")));
  click(f->Cmdtambah);
  EXPECT_TRUE(f->Image1->picture().isEmpty());
  fill("N1");
  click(f->cmdSimpan);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data berhasil di simpan"}));
  EXPECT_TRUE(QDir(pf.path("photos")).isEmpty());
}

TEST_F(EntryWindow, NeverOverwritesThePhotoOfAnotherMemberOrAPhotoThatCannotBeShown) {
  pf.addMember("2024/002", "Pertama");
  const QByteArray first = jpegBytes(30, 40);
  writeFile(pf.path("photos/2024-002.jpg"), first);
  open();
  for (const QString nis : {"2024-002", "2024\\002"}) {
    click(f->Cmdtambah);
    dialogs.clear();
    choose(writeFile(pf.path("kedua.jpg"), jpegBytes(60, 80)));
    fill(nis);
    click(f->cmdSimpan);
    EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Data berhasil di simpan",
                                                  "Foto tidak disimpan: file foto "
                                                  "2024-002.jpg sudah dipakai anggota dengan NIS 2024/002."}));
    EXPECT_EQ(members("nis = '" + nis + "'"), 1);  // the row is saved
    EXPECT_EQ(QDir(pf.path("photos")).entryList(QDir::Files), QStringList({"2024-002.jpg"}));
    EXPECT_EQ(readFile(pf.path("photos/2024-002.jpg")), first);
  }
  // A stored photo the window cannot show stays when the member is changed.
  const std::pair<QString, QByteArray> unshown[] = {{"8", "not a picture"},
                                                    {"9", withClaimedSize(jpegBytes(8, 8), 13000, 4000)}};
  for (const auto& [nis, bytes] : unshown) {
    pf.addMember(nis, "Ani");
    edit(nis, bytes);
    click(f->cmdSimpan);
    EXPECT_EQ(readFile(pf.path("photos/" + nis + ".jpg")), bytes);
  }
}

TEST_F(EntryWindow, TheCardPrintsThePhotoTheWindowSaved) {
  pf.writePhoto("merah.jpg", QColor(220, 20, 20), QSize(300, 400));
  open();
  for (const QString nis : {"12/3", "12\\4", ".5"}) {
    click(f->Cmdtambah);
    choose(pf.path("merah.jpg"));
    fill(nis);
    click(f->cmdSimpan);
    const QColor printed = printedPhoto(nis);
    EXPECT_GT(printed.red() - printed.green(), 150) << nis.toStdString();
  }
  const QColor blank = printedPhoto("12/9");  // no photo: the blank one
  EXPECT_LT(blank.red() - blank.green(), 50);
}

QStringList listed(frmkelas* k) {
  QStringList l;
  for (int i = 1; i <= k->Lv1->count(); ++i) l << k->Lv1->itemText(i);
  return l;
}

TEST_F(EntryWindow, ClassMasterKeepsUniqueNamesWithQuotesAndTheEntryWindowRefillsItsClasses) {
  open();
  ScopedModalHook modal([this](QWidget* w, QWidget*) {
    auto* k = static_cast<frmkelas*>(w);
    const std::pair<QString, QString> cases[] = {{"", "Data belum lengkap"},
                                                 {"x-1", "Nama Kelas sudah digunakan, silakan pilih  yang lain"},
                                                 {"IX-'A'", "Data Sudah Tersimpan"}};
    k->Cmdtambah_Click();
    for (const auto& [name, message] : cases) {
      k->Text1->setText(name);
      k->Cmdtambah_Click();
      EXPECT_EQ(dialogs.lastMsgBox().prompt, message);
    }
    k->Text1->setText("XI-2");
    dialogs.expectMsgBox(ui::vbYes);
    k->CMDHapus_Click();
    EXPECT_EQ(listed(k), QStringList({"IX-'A'", "X-1"}));
  });
  click(f->Command2);
  EXPECT_EQ(f->CmbKelas->count(), 2);
  EXPECT_EQ(f->CmbKelas->itemText(0), "IX-'A'");
}

}  // namespace
