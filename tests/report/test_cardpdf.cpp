// Cards as they come out of the PDF writer: pages and sizes, what a card shows, codes
// that a scanner reads back off the printed page, and pictures that are missing.
#include <QDir>

#include "atomicfile.h"
#include "cardface.h"
#include "report_fixture.h"

using namespace reporttest;

namespace {

class CardPdfTest : public ReportFolder {
 protected:
  // Renders the main window's job of the ticked members with `templateName`.
  QString print(const QString& templateName, const QString& file = QStringLiteral("cards.pdf")) {
    report::renderToPdf(runSteps(templateName), pf.path(file));
    return pf.path(file);
  }
  QString text(const QString& pdf) {
    return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).simplified();
  }
  static QColor pixelAt(const QImage& page, QPointF mm) { return page.pixelColor((mm * 300 / 25.4).toPoint()); }
  static bool near(QColor a, QColor b, int tolerance = 30) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
  }
};

TEST_F(CardPdfTest, EachTemplateGivesItsPagesAndStoresSharedPicturesOnce) {
  for (int i = 1; i <= 11; ++i) {
    pf.addMember(QStringLiteral("N%1").arg(i), QStringLiteral("Siswa %1").arg(i, 2, 10, QLatin1Char('0')));
    tick(idOf(QStringLiteral("N%1").arg(i)));
  }
  for (const char* t : {"03.rep", "05.rep"}) expectPages(print(QString::fromLatin1(t)), 11, kCardPt);
  expectPages(print(QStringLiteral("01.rep")), 2, kA4Pt);
  // The card face and the blank photo are drawn on every card but stored once, as JPEG.
  QFile front(print(QStringLiteral("03.rep")));
  ASSERT_TRUE(front.open(QIODevice::ReadOnly));
  const QByteArray bytes = front.readAll();
  EXPECT_EQ(bytes.count("/Subtype /Image"), 2);
  EXPECT_EQ(bytes.count("/Filter /DCTDecode"), 2);
}

TEST_F(CardPdfTest, TheCardShowsTheTickedCaptionsWithTheirValuesAndTheCardTexts) {
  pf.addMember(QStringLiteral("77"), QStringLiteral("Rina Marlina"), QStringLiteral("XI IPS 2"));
  tick(idOf(QStringLiteral("77")));
  pf.db().Execute(
      QStringLiteral("update tlabel set \"Label21(2)\" = 'Siswa', \"check21(1)\" = 0, "
                     "\"check21(4)\" = NULL where idlabel = '2'"));
  const QString front = text(print(QStringLiteral("03.rep")));
  for (const char* shown :
       {"SMA NEGERI 1 CONTOH", "Siswa : Rina Marlina", "NIS : 77", "Kelas : XI IPS 2", "Kepala Sekolah,",
        "Bandung, 1 Mei 2010"})  // a value runs on past the preview's column, never cut short
    EXPECT_TRUE(front.contains(QString::fromLatin1(shown))) << shown << " in " << front.toStdString();
  EXPECT_FALSE(front.contains(QStringLiteral("NISN")));   // unticked
  EXPECT_FALSE(front.contains(QStringLiteral("Agama")));  // a Null flag is not ticked

  // Without the caption row every field shows under its own name, cut where the value
  // column begins.
  pf.db().Execute(QStringLiteral("delete from tlabel"));
  const QString plain = text(print(QStringLiteral("03.rep")));
  for (const char* caption : {"NIS :", "NISN :", "Nama :", "Agama :", "Jenis Kela :", "Kelas :"})
    EXPECT_TRUE(plain.contains(QString::fromLatin1(caption))) << caption;
  const QString back = text(print(QStringLiteral("05.rep")));
  EXPECT_TRUE(back.contains(QStringLiteral("KARTU PELAJAR")));
  EXPECT_TRUE(back.contains(QStringLiteral("tidak dapat dipindahtangankan")));
}

TEST_F(CardPdfTest, PrintedCodesReadBackAsTheMembersBarcodes) {
  addTicked(QStringLiteral("A1"), QStringLiteral("Ani"), QStringLiteral("SMA1-2024-0042"));
  addTicked(QStringLiteral("B2"), QStringLiteral("Bayu"), QStringLiteral("Bayu – 12/3 é"));
  // A QR picture that is not the member's current one is printed as it is.
  barcode::saveQrJpeg(QStringLiteral("EARLIER"), pf.path(QStringLiteral("barcode/%1.jpg").arg(idOf("B2"))));
  const QString code128 = print(QStringLiteral("03.rep"), QStringLiteral("c128.pdf"));
  EXPECT_EQ(decodePage(code128, 1), QStringList{QStringLiteral("SMA1-2024-0042")});
  const QString qr = print(QStringLiteral("04.rep"), QStringLiteral("qr.pdf"));
  EXPECT_EQ(decodePage(qr, 1), QStringList{QStringLiteral("SMA1-2024-0042")});
  EXPECT_EQ(decodePage(qr, 2), QStringList{QStringLiteral("EARLIER")});
}

TEST_F(CardPdfTest, MissingOrUnreadablePicturesLeaveAWhiteCardTheBlankPhotoOrAnEmptyFrame) {
  pf.addMember(QStringLiteral("P/1"), QStringLiteral("Ada Foto"));
  pf.addMember(QStringLiteral("P/2"), QStringLiteral("Tanpa Foto"), QString(), QStringLiteral("P2-QR"));
  for (const char* nis : {"P/1", "P/2"}) tick(idOf(QString::fromLatin1(nis)));
  tick(424242);  // ticked, then deleted; an old QR picture of that id is still there
  barcode::saveQrJpeg(QStringLiteral("STALE"), pf.path(QStringLiteral("barcode/424242.jpg")));
  pf.writePhoto(QStringLiteral("photos/P-1.jpg"), QColor(220, 20, 20), QSize(300, 400));  // "/" becomes "-"
  QFile junk(pf.path(QStringLiteral("barcode/%1.jpg").arg(idOf(QStringLiteral("P/2")))));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write(QByteArray("\xff\xd8\xff\xe0 truncated jpeg") + QByteArray(100, '\0'));
  junk.close();
  // The photo's place on the card in millimetres, its centre and the middle of its left edge.
  cardface::Face layout = cardface::front({});
  const QRect tw = cardface::find(layout, QStringLiteral("photo"))->box;
  const QRectF place(tw.x() * 85.60 / cardface::kWidth, tw.y() * 53.98 / cardface::kHeight,
                     tw.width() * 85.60 / cardface::kWidth, tw.height() * 53.98 / cardface::kHeight);
  const QPointF photo = place.center(), frameEdge(place.left(), place.center().y()), stripe(40.0, 53.6);
  const QImage blank(pf.path(QStringLiteral("images/temp.jpg"))), face(pf.path(QStringLiteral("images/depan2.jpg")));
  const QColor blankCentre = blank.pixelColor(blank.width() / 2, blank.height() / 2);
  const QColor faceStripe = face.pixelColor(int(40.0 / 85.60 * face.width()), int(53.6 / 53.98 * face.height()));

  // In name order: the deleted member, Ada, Tanpa.
  QString file = print(QStringLiteral("04.rep"));
  expectPages(file, 3, kCardPt);
  for (int page : {1, 3}) EXPECT_TRUE(decodePage(file, page).isEmpty()) << page;
  EXPECT_TRUE(near(pixelAt(rasterise(file, 2), photo), QColor(220, 20, 20)));
  EXPECT_TRUE(near(pixelAt(rasterise(file, 3), photo), blankCentre));
  EXPECT_TRUE(near(pixelAt(rasterise(file, 3), stripe), faceStripe));  // the card face shows under the texts

  // Without the card face the card is white; without the blank photo an empty frame.
  for (const char* gone : {"images/depan2.jpg", "images/temp.jpg"}) ASSERT_TRUE(QFile::remove(pf.path(gone)));
  file = print(QStringLiteral("04.rep"));
  const QImage third = rasterise(file, 3);
  EXPECT_TRUE(near(pixelAt(rasterise(file, 2), photo), QColor(220, 20, 20)));
  EXPECT_TRUE(near(pixelAt(third, photo), Qt::white, 5));
  EXPECT_TRUE(near(pixelAt(third, stripe), Qt::white, 5));
  EXPECT_FALSE(near(pixelAt(third, frameEdge), Qt::white, 40));
}

TEST_F(CardPdfTest, APdfIsReplacedOnlyWhenItIsComplete) {
  pf.addMember(QStringLiteral("R1"), QStringLiteral("Rina"));
  tick(idOf(QStringLiteral("R1")));
  const QString target = pf.path(QStringLiteral("out.pdf"));
  QFile old(target);
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("earlier print");
  old.close();
  const report::Job job = runSteps(QStringLiteral("03.rep"));
  report::Job broken = job, empty = job;
  broken.templateFile = templ(QStringLiteral("missing.rep"));
  empty.rows.clear();
  EXPECT_THROW(report::renderToPdf(broken, target), vb::VbError);
  EXPECT_THROW(report::renderToPdf(empty, target), vb::VbError);
  EXPECT_THROW(report::renderToPdf(job, pf.path(QStringLiteral("no/such/folder/out.pdf"))), vb::VbError);
  ASSERT_TRUE(old.open(QIODevice::ReadOnly));
  EXPECT_EQ(old.readAll(), QByteArray("earlier print"));
  old.close();

  report::renderToPdf(job, target);
  expectPages(target, 1, kCardPt);
  EXPECT_EQ(
      QDir(pf.root()).entryList({QStringLiteral("out.pdf*"), QStringLiteral(".out.pdf*"),
                                 QString::fromLatin1(vb::kTemporaryPrefix) + QLatin1Char('*')},
                                QDir::Files | QDir::Hidden),
      QStringList{QStringLiteral("out.pdf")});
}

}  // namespace
