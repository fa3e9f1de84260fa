// Cards as they come out: the PDF's pages and sizes, codes that a scanner reads back off
// the printed page, and what a card shows when its pictures are missing.
#include <QDirIterator>

#include "qrcode.h"
#include "report_fixture.h"

using namespace reporttest;

namespace {

class CardPdfTest : public ReportFolder {
 protected:
  // Ticks every member and renders the main window's job with `templateName`.
  QString printAll(const QString& templateName, const QString& file = QStringLiteral("cards.pdf")) {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select id from tblanggota"), pf.db());
    for (; !rs.EOF_(); rs.MoveNext()) tick(rs.field(0).toLongLong());
    rs.Close();
    const report::Job job = runSteps(templateName);
    report::renderToPdf(job, pdf(file));
    return pdf(file);
  }
  void expectPages(const QString& file, int count, QSizeF mm) {
    const std::vector<QSizeF> sizes = pdfPageSizes(file);
    ASSERT_EQ(int(sizes.size()), count);
    for (const QSizeF& s : sizes) {
      EXPECT_NEAR(s.width(), mm.width(), 0.1);
      EXPECT_NEAR(s.height(), mm.height(), 0.1);
    }
  }
};

TEST_F(CardPdfTest, CardTemplatesGiveOneCardAPageAtCardSizeAndA4SheetsHoldTenCards) {
  for (int i = 1; i <= 11; ++i)
    pf.addMember(QStringLiteral("N%1").arg(i), QStringLiteral("Siswa %1").arg(i, 2, 10, QLatin1Char('0')));
  expectPages(printAll(QStringLiteral("03.rep"), QStringLiteral("front.pdf")), 11, QSizeF(85.60, 53.98));
  // The card face and the blank photo are drawn on every card but stored once, as JPEG.
  QFile front(pdf(QStringLiteral("front.pdf")));
  ASSERT_TRUE(front.open(QIODevice::ReadOnly));
  const QByteArray bytes = front.readAll();
  EXPECT_EQ(bytes.count("/Subtype /Image"), 2);
  EXPECT_EQ(bytes.count("/Filter /DCTDecode"), 2);
  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  expectPages(printAll(QStringLiteral("05.rep"), QStringLiteral("back.pdf")), 11, QSizeF(85.60, 53.98));
  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  expectPages(printAll(QStringLiteral("01.rep"), QStringLiteral("sheet.pdf")), 2, QSizeF(210.0, 297.0));
}

TEST_F(CardPdfTest, TheCardShowsTheTickedCaptionsWithTheirValuesAndTheCardTexts) {
  pf.addMember(QStringLiteral("77"), QStringLiteral("Rina Marlina"), QStringLiteral("XI IPS 2"));
  pf.db().Execute(
      QStringLiteral("update tlabel set \"Label21(2)\" = 'Nama Lengkap', \"check21(1)\" = 0, "
                     "\"check21(4)\" = NULL where idlabel = '2'"));
  auto text = [&](const QString& file) {
    const ToolResult r = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    return QString::fromUtf8(r.out).simplified();
  };
  const QString front = text(printAll(QStringLiteral("03.rep"), QStringLiteral("front.pdf")));
  EXPECT_TRUE(front.contains(QStringLiteral("SMA NEGERI 1 CONTOH"))) << front.toStdString();
  EXPECT_TRUE(front.contains(QStringLiteral("Nama Lengkap : Rina Marlina"))) << front.toStdString();
  EXPECT_TRUE(front.contains(QStringLiteral("NIS : 77"))) << front.toStdString();
  EXPECT_TRUE(front.contains(QStringLiteral("Kelas : XI IPS 2"))) << front.toStdString();
  EXPECT_TRUE(front.contains(QStringLiteral("Kepala Sekolah,"))) << front.toStdString();
  EXPECT_FALSE(front.contains(QStringLiteral("NISN")));   // unticked
  EXPECT_FALSE(front.contains(QStringLiteral("Agama")));  // a Null flag is not ticked

  // Without the caption row every field shows under the template's own caption.
  pf.db().Execute(QStringLiteral("delete from tlabel"));
  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  const QString plain = text(printAll(QStringLiteral("03.rep"), QStringLiteral("plain.pdf")));
  for (const char* caption : {"NIS :", "NISN :", "Nama :", "Agama :", "Jenis Kelamin :", "Kelas :"})
    EXPECT_TRUE(plain.contains(QString::fromLatin1(caption))) << caption;

  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  const QString back = text(printAll(QStringLiteral("05.rep"), QStringLiteral("back.pdf")));
  EXPECT_TRUE(back.contains(QStringLiteral("KARTU PELAJAR")));
  EXPECT_TRUE(back.contains(QStringLiteral("tidak dapat dipindahtangankan")));
}

TEST_F(CardPdfTest, APrintedCode128ReadsBackAsTheMembersBarcode) {
  pf.addMember(QStringLiteral("2024/0042"), QStringLiteral("Siti Nurhaliza"), QStringLiteral("XII IPA 1"),
               QStringLiteral("SMA1-2024-0042"));
  const QString file = printAll(QStringLiteral("03.rep"));
  EXPECT_EQ(decodePage(file, 1), QStringList{QStringLiteral("SMA1-2024-0042")});
}

TEST_F(CardPdfTest, PrintedQrCodesReadBackAsTheMembersBarcodes) {
  pf.addMember(QStringLiteral("A1"), QStringLiteral("Ani"), QString(), QStringLiteral("QR-ANI-0001"));
  pf.addMember(QStringLiteral("B2"), QStringLiteral("Bayu"), QString(), QStringLiteral("Bayu – 12/3 é"));
  for (const char* nis : {"A1", "B2"}) {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select id, barcode from tblanggota where nis = '%1'").arg(QLatin1String(nis)), pf.db());
    barcode::saveQrJpeg(rs.field(1).toString(),
                        pf.path(QStringLiteral("barcode/%1.jpg").arg(rs.field(0).toLongLong())));
  }
  // Card fronts: each card carries its own member's code.
  const QString cards = printAll(QStringLiteral("04.rep"));
  EXPECT_EQ(decodePage(cards, 1), QStringList{QStringLiteral("QR-ANI-0001")});
  EXPECT_EQ(decodePage(cards, 2), QStringList{QStringLiteral("Bayu – 12/3 é")});
  // The A4 sheet carries both on one page.
  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  QStringList sheet = decodePage(printAll(QStringLiteral("02.rep"), QStringLiteral("sheet.pdf")), 1);
  sheet.sort();
  EXPECT_EQ(sheet, (QStringList{QStringLiteral("Bayu – 12/3 é"), QStringLiteral("QR-ANI-0001")}));
}

TEST_F(CardPdfTest, MissingPicturesLeaveAWhiteCardTheBlankPhotoOrAnEmptyFrame) {
  pf.addMember(QStringLiteral("P/1"), QStringLiteral("Ada Foto"));
  pf.addMember(QStringLiteral("P/2"), QStringLiteral("Tanpa Foto Muhammad Rizky Pratama Wijaya Kusuma Atmaja"),
               QStringLiteral("XII IPA 1"));
  pf.writePhoto(QStringLiteral("photos/P-1.jpg"), QColor(220, 20, 20), QSize(300, 400));  // "/" becomes "-"
  const QPointF photoCentre(3.5 + 9.0, 18.6 + 12.0);  // the photo box of the front templates
  const QPointF faceStripe(40.0, 53.6);               // the card face's bottom stripe
  const QImage blank(pf.path(QStringLiteral("images/temp.jpg")));
  const QColor blankCentre = blank.pixelColor(blank.width() / 2, blank.height() / 2);

  QString file = printAll(QStringLiteral("03.rep"), QStringLiteral("with.pdf"));
  QImage first = rasterise(file, 1), second = rasterise(file, 2);  // in name order: Ada, Tanpa
  EXPECT_TRUE(near(pixelAt(first, photoCentre.x(), photoCentre.y()), QColor(220, 20, 20)));
  EXPECT_TRUE(near(pixelAt(second, photoCentre.x(), photoCentre.y()), blankCentre));
  EXPECT_TRUE(near(pixelAt(first, faceStripe.x(), faceStripe.y()), QColor(0x1f, 0x3c, 0x88)));

  // Without the card face the card is white; without the blank photo an empty frame.
  ASSERT_TRUE(QFile::remove(pf.path(QStringLiteral("images/depan2.jpg"))));
  ASSERT_TRUE(QFile::remove(pf.path(QStringLiteral("images/temp.jpg"))));
  pf.db().Execute(QStringLiteral("delete * from tbltemp"));
  file = printAll(QStringLiteral("03.rep"), QStringLiteral("without.pdf"));
  expectPages(file, 2, QSizeF(85.60, 53.98));
  first = rasterise(file, 1);
  second = rasterise(file, 2);
  EXPECT_TRUE(near(pixelAt(first, photoCentre.x(), photoCentre.y()), QColor(220, 20, 20)));
  EXPECT_TRUE(near(pixelAt(second, photoCentre.x(), photoCentre.y()), Qt::white, 5));
  EXPECT_TRUE(near(pixelAt(second, faceStripe.x(), faceStripe.y()), Qt::white, 5));
  EXPECT_FALSE(near(pixelAt(second, 3.55, photoCentre.y()), Qt::white, 40));  // the frame's left edge
}

TEST_F(CardPdfTest, UnreadablePicturesAreLeftOutLikeMissingOnes) {
  pf.addMember(QStringLiteral("X1"), QStringLiteral("Rusak"), QString(), QStringLiteral("X1-QR"));
  const QByteArray junk = QByteArray("\xff\xd8\xff\xe0 truncated jpeg") + QByteArray(100, '\0');
  for (const QString& rel : {QStringLiteral("photos/X1.jpg"), QStringLiteral("images/depan2.jpg"),
                             QStringLiteral("barcode/%1.jpg").arg(idOf(QStringLiteral("X1")))}) {
    QFile f(pf.path(rel));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(junk);
  }
  const QString file = printAll(QStringLiteral("04.rep"));
  expectPages(file, 1, QSizeF(85.60, 53.98));
  EXPECT_TRUE(decodePage(file, 1).isEmpty());
}

TEST_F(CardPdfTest, ARowOfADeletedMemberPrintsAnEmptyCardWithoutAnyCode) {
  pf.addMember(QStringLiteral("K1"), QStringLiteral("Kartika"), QString(), QStringLiteral("K1-CODE"));
  // 424242 was ticked, then deleted; an old QR picture of that id is still there.
  barcode::saveQrJpeg(QStringLiteral("STALE"), pf.path(QStringLiteral("barcode/424242.jpg")));
  barcode::saveQrJpeg(QStringLiteral("K1-CODE"),
                      pf.path(QStringLiteral("barcode/%1.jpg").arg(idOf(QStringLiteral("K1")))));
  for (const char* t : {"03.rep", "04.rep"}) {
    SCOPED_TRACE(t);
    pf.db().Execute(QStringLiteral("delete * from tbltemp"));
    tick(424242);
    const QString file = printAll(QString::fromLatin1(t), QString::fromLatin1(t) + QStringLiteral(".pdf"));
    expectPages(file, 2, QSizeF(85.60, 53.98));
    // The Null name sorts first: the empty card, then Kartika's.
    EXPECT_TRUE(decodePage(file, 1).isEmpty());
    EXPECT_EQ(decodePage(file, 2), QStringList{QStringLiteral("K1-CODE")});
  }
}

TEST_F(CardPdfTest, APdfIsReplacedOnlyWhenItIsComplete) {
  pf.addMember(QStringLiteral("R1"), QStringLiteral("Rina"));
  const QString target = pdf(QStringLiteral("out.pdf"));
  QFile old(target);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("earlier print");
  old.close();
  tick(idOf(QStringLiteral("R1")));
  report::Job job = runSteps(QStringLiteral("03.rep"));

  report::Job broken = job;
  broken.templateFile = templ(QStringLiteral("missing.rep"));
  EXPECT_THROW(report::renderToPdf(broken, target), vb::VbError);
  report::Job empty = job;
  empty.rows.clear();
  EXPECT_THROW(report::renderToPdf(empty, target), vb::VbError);
  EXPECT_THROW(report::renderToPdf(job, pf.path(QStringLiteral("no/such/folder/out.pdf"))), vb::VbError);
  QFile kept(target);
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), QByteArray("earlier print"));
  kept.close();

  report::renderToPdf(job, target);
  expectPages(target, 1, QSizeF(85.60, 53.98));
  EXPECT_EQ(
      QDir(pf.root()).entryList({QStringLiteral("out.pdf*"), QStringLiteral(".out.pdf*")}, QDir::Files | QDir::Hidden),
      QStringList{QStringLiteral("out.pdf")});
}

}  // namespace
