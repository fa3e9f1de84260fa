// What the printed card shows, read back off the PDF: no text covered by the photo or the
// code, hidden field rows left out, the back's texts wrapped in their places, and the
// A4 sheet's grid of cards.
#include <QDir>
#include <set>

#include "cardface.h"
#include "cardtemplate.h"
#include "report_fixture.h"

using namespace reporttest;

namespace {

constexpr double kPtPerMm = 72 / 25.4;

class PrintedCard : public ReportFolder {
 protected:
  // Prints the ticked members with `templateName`; the job stays for its settings.
  QString print(const QString& templateName) {
    job = runSteps(templateName);
    const QString file = pf.path(templateName + QStringLiteral(".pdf"));
    report::renderToPdf(job, file);
    return file;
  }
  // The place of a card side's item on the first card of the page, in points.
  QRectF place(const QString& templateName, const QString& item) {
    const report::CardTemplate t = report::loadTemplate(templ(templateName));
    cardface::Face face = t.side == QLatin1String("back") ? cardface::back(job.face) : cardface::front(job.face);
    const QRect r = cardface::find(face, item)->box;
    const double kx = t.card.width() * kPtPerMm / cardface::kWidth, ky = t.card.height() * kPtPerMm / cardface::kHeight;
    const QPointF o = t.cardOrigin(0) * kPtPerMm;
    return QRectF(o.x() + r.x() * kx, o.y() + r.y() * ky, r.width() * kx, r.height() * ky);
  }
  // The codes a scanner reads in `pt` of the first page.
  QStringList codesIn(const QString& pdf, const QRectF& pt) {
    const QImage page = rasterise(pdf, 1);
    const double k = 300 / 72.0;
    const QString crop = pdf + QStringLiteral("-crop.png");
    page.copy(QRectF(pt.topLeft() * k, pt.size() * k).toRect()).save(crop);
    return decodeCodes(crop);
  }
  static QRectF ink(const QRectF& r) { return r.adjusted(0, r.height() * 0.15, 0, -r.height() * 0.15); }
  static QStringList texts(const std::vector<Word>& words) {
    QStringList out;
    for (const Word& w : words) out << w.text;
    return out;
  }

  report::Job job;
};

TEST_F(PrintedCard, NoTextIsCoveredByThePhotoOrTheCode) {
  addTicked(QStringLiteral("2024/00017"), QStringLiteral("Muhammad Rizky Pratama"), QStringLiteral("SMA1-2024-0017"));
  pf.db().Execute(
      QStringLiteral("update tblsetting set textisi = 'Kartu ini berlaku selama pemegang masih "
                     "tercatat sebagai siswa dan wajib dibawa setiap hari'"));
  struct Case {
    const char* templateName;
    const char* code;  // the code's place on the card; none on the back
  };
  for (const Case& c : {Case{"01.rep", "Barcode"}, Case{"02.rep", "qrcode"}, Case{"03.rep", "Barcode"},
                        Case{"04.rep", "qrcode"}, Case{"05.rep", nullptr}}) {
    SCOPED_TRACE(c.templateName);
    const QString name = QString::fromLatin1(c.templateName);
    const QString pdf = print(name);
    const std::vector<Word> words = pdfWords(pdf).at(0);
    ASSERT_GT(words.size(), 15u);
    std::vector<std::pair<QString, QRectF>> covering;
    if (c.code) {
      covering.emplace_back(QString::fromLatin1(c.code), place(name, QString::fromLatin1(c.code)));
      covering.emplace_back(QStringLiteral("photo"), place(name, QStringLiteral("photo")));
      // The code is drawn in that place.
      EXPECT_EQ(codesIn(pdf, covering[0].second), QStringList{QStringLiteral("SMA1-2024-0017")});
    }
    for (const Word& w : words) {
      for (const auto& [what, r] : covering)
        EXPECT_FALSE(w.box.intersects(r)) << w.text.toStdString() << " under " << what.toStdString();
      for (const Word& o : words)  // nor by another text, beyond the font's room above and below the letters
        if (&o != &w)
          EXPECT_FALSE(ink(w.box).intersects(ink(o.box))) << w.text.toStdString() << " and " << o.text.toStdString();
    }
  }
}

// A member photo of another shape than its place is drawn whole in it, in proportion and
// centred: a wide one across the place's width, a tall one down its height.
TEST_F(PrintedCard, AMemberPhotoIsFittedInItsPlaceInProportionAndCentred) {
  const struct {
    const char* nis;
    QSize size;
  } cases[] = {{"W1", {400, 200}}, {"T1", {150, 400}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nis);
    const QString nis = QString::fromLatin1(c.nis);
    pf.db().Execute(QStringLiteral("delete from tbltemp"));
    addTicked(nis, QStringLiteral("Foto ") + nis, QStringLiteral("F-") + nis);
    QImage photo(c.size, QImage::Format_RGB32);
    photo.fill(qRgb(255, 0, 255));  // a colour the card's own face does not use
    ASSERT_TRUE(photo.save(pf.path(QStringLiteral("photos/") + nis + QStringLiteral(".jpg")), "JPG", 95));
    const QString pdf = print(QStringLiteral("03.rep"));
    const QRectF box = place(QStringLiteral("03.rep"), QStringLiteral("photo"));
    // The photo's pixels on the page, looked for well around its place.
    const QImage page = rasterise(pdf, 1);
    const double k = 300 / 72.0;
    const QRect around = QRectF(box.topLeft() * k, box.size() * k).toRect().adjusted(-40, -40, 40, 40);
    QRect found;
    for (int y = std::max(0, around.top()); y <= std::min(page.height() - 1, around.bottom()); ++y)
      for (int x = std::max(0, around.left()); x <= std::min(page.width() - 1, around.right()); ++x) {
        const QRgb p = page.pixel(x, y);
        if (qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) > 200) found |= QRect(x, y, 1, 1);
      }
    ASSERT_FALSE(found.isEmpty());
    const QRectF drawn(found.left() / k, found.top() / k, found.width() / k, found.height() / k);
    const double px = 1 / k;  // one pixel of the page picture, in points
    // Inside its place, filling it one way, the photo's shape kept and centred.
    EXPECT_GE(drawn.left(), box.left() - px);
    EXPECT_GE(drawn.top(), box.top() - px);
    EXPECT_LE(drawn.right(), box.right() + px);
    EXPECT_LE(drawn.bottom(), box.bottom() + px);
    EXPECT_NEAR(std::max(drawn.width() / box.width(), drawn.height() / box.height()), 1.0, 0.02);
    EXPECT_NEAR(drawn.width() / drawn.height(), double(c.size.width()) / c.size.height(), 0.03);
    EXPECT_NEAR(drawn.center().x(), box.center().x(), 2 * px);
    EXPECT_NEAR(drawn.center().y(), box.center().y(), 2 * px);
  }
}

TEST_F(PrintedCard, AHiddenFieldRowPrintsNeitherItsCaptionNorItsValue) {
  addTicked(QStringLiteral("7731"), QStringLiteral("Rina"), QStringLiteral("R-7731"));
  pf.db().Execute(
      QStringLiteral("update tblanggota set nisn = '0099887766', ttl = 'Garut', agama = 'Katolik', "
                     "kelamin = 'Perempuan', kelas = 'XI-IPS-2'"));
  pf.db().Execute(
      QStringLiteral("update tlabel set \"Label21(0)\" = 'Induk', \"Label21(1)\" = 'Nasional', "
                     "\"Label21(2)\" = 'Siswa', \"Label21(3)\" = 'Lahir', \"Label21(4)\" = 'Iman', "
                     "\"Label21(5)\" = 'Gender', \"Label21(6)\" = 'Rombel'"));
  const char* const caption[7] = {"Induk", "Nasional", "Siswa", "Lahir", "Iman", "Gender", "Rombel"};
  const char* const value[7] = {"7731", "0099887766", "Rina", "Garut", "Katolik", "Perempuan", "XI-IPS-2"};
  for (int hidden = 0; hidden < 7; ++hidden) {
    SCOPED_TRACE(hidden);
    for (int i = 0; i < 7; ++i)
      pf.db().Execute(QStringLiteral("update tlabel set \"check21(%1)\" = %2").arg(i).arg(i == hidden ? 0 : 1));
    const QStringList shown = texts(pdfWords(print(QStringLiteral("03.rep"))).at(0));
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(shown.contains(QString::fromLatin1(caption[i])), i != hidden) << caption[i];
      EXPECT_EQ(shown.contains(QString::fromLatin1(value[i])), i != hidden) << value[i];
    }
  }
}

TEST_F(PrintedCard, TheBackWrapsItsTextsInTheirPlaces) {
  addTicked(QStringLiteral("B1"), QStringLiteral("Budi"), QStringLiteral("B-1"));
  struct Case {
    const char* column;
    const char* item;
    QString text;
    int lines;  // at least
  };
  const Case cases[] = {
      {"textisi", "Label2",
       "Pemegang kartu wajib menjaga kebersihan sekolah, menghormati guru serta sesama pelajar, dan menunjukkan "
       "identitasnya kepada petugas piket apabila diminta.\nKehilangan segera dilaporkan kepada bagian tata usaha.",
       4},
      {"textbawah", "Label3", "Penemu kartu mohon mengembalikannya ke alamat sekolah tertera terima kasih", 2},
  };
  for (const Case& c : cases)
    pf.db().Execute(QStringLiteral("update tblsetting set %1 = '%2'").arg(c.column, ado::q(c.text)));
  const std::vector<Word> words = pdfWords(print(QStringLiteral("05.rep"))).at(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    const QRectF box = place(QStringLiteral("05.rep"), QString::fromLatin1(c.item)).adjusted(-1, -1, 1, 1);
    std::set<int> lineTops;
    double afterBreak = -1;
    size_t at = 0;  // every word in order, none cut off, all inside the place
    for (const QString& token : c.text.split(u' ')) {
      const QStringList parts = token.split(u'\n');
      for (int k = 0; k < parts.size(); ++k) {
        while (at < words.size() && words[at].text != parts[k]) ++at;
        ASSERT_LT(at, words.size()) << parts[k].toStdString();
        EXPECT_TRUE(box.contains(words[at].box)) << parts[k].toStdString();
        lineTops.insert(int(words[at].box.top()));
        if (k > 0) afterBreak = words[at].box.left();
      }
    }
    EXPECT_GE(int(lineTops.size()), c.lines);
    if (c.text.contains(u'\n')) EXPECT_NEAR(afterBreak, box.left(), 3);  // a line break starts a line
  }
}

TEST_F(PrintedCard, TheA4SheetHoldsTwoCardsARowFiveRowsAPageWithThreeMillimetreGaps) {
  for (int i = 0; i < 11; ++i) {
    pf.addMember(QStringLiteral("G%1").arg(i), QStringLiteral("Nama%1").arg(i, 2, 10, QLatin1Char('0')));
    tick(idOf(QStringLiteral("G%1").arg(i)));
  }
  const QSizeF card(85.60 * kPtPerMm, 53.98 * kPtPerMm);
  const double gap = 3 * kPtPerMm;
  // Where a card puts its member's name, from a card printed on its own.
  const std::vector<Word> single = pdfWords(print(QStringLiteral("03.rep"))).at(0);
  const auto nameAt = [](const std::vector<Word>& words, const QString& name) {
    for (const Word& w : words)
      if (w.text == name) return w.box.topLeft();
    return QPointF(-1000, -1000);
  };
  const QPointF inCard = nameAt(single, QStringLiteral("Nama00"));
  const std::vector<std::vector<Word>> pages = pdfWords(print(QStringLiteral("01.rep")));
  ASSERT_EQ(pages.size(), 2u);
  const QPointF first = nameAt(pages[0], QStringLiteral("Nama00")) - inCard;  // the first card's corner
  for (int i = 0; i < 11; ++i) {                                              // by name: ten a page, two a row
    const int page = i / 10, column = i % 2, row = i % 10 / 2;
    const QPointF got = nameAt(pages[size_t(page)], QStringLiteral("Nama%1").arg(i, 2, 10, QLatin1Char('0'))) - inCard;
    EXPECT_NEAR(got.x(), first.x() + column * (card.width() + gap), 0.5) << i;
    EXPECT_NEAR(got.y(), first.y() + row * (card.height() + gap), 0.5) << i;
  }
  // The grid stands in the middle of the sheet, at least the template's margin from its edges.
  const double right = kA4Pt.width() - (first.x() + 2 * card.width() + gap);
  const double bottom = kA4Pt.height() - (first.y() + 5 * card.height() + 4 * gap);
  EXPECT_NEAR(first.x(), right, 0.5);
  EXPECT_NEAR(first.y(), bottom, 0.5);
  EXPECT_GE(std::min(first.x(), first.y()), 7 * kPtPerMm - 0.5);
}

}  // namespace
