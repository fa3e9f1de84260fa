// What the settings window sets is what prints: a header font and a hidden field row,
// set through the windows, found again on the card in the PDF.
#include <QRegularExpression>

#include "../report/report_fixture.h"
#include "carddesign_fixture.h"
#include "cardreport.h"
#include "frmlabel.h"

using namespace testsupport;

namespace {

class PrintedFace : public CardDesignTest {
 protected:
  // The box in points of the first word `text` on the card, by pdftotext -bbox.
  QRectF word(const QString& pdf, const QString& text) {
    const QString html = reporttest::runTool("pdftotext", {"-bbox", pdf, "-"});
    static const QRegularExpression w(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    for (auto it = w.globalMatch(html); it.hasNext();) {
      const auto m = it.next();
      if (m.captured(5) == text)
        return QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                      QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()));
    }
    return {};
  }
  QString print(const QString& name) {
    report::CardReportX r;
    r.ReportFile = pf.path("temp/04.rep");
    r.SetConnection("gg", "Data Source=" + pf.path("database/database.mdb") + ";Jet OLEDB:Database Password=718403");
    r.Connect("gg");
    QString sql = reporttest::kMainQuery;
    r.SetDatasetSQL("datasiswa", sql);
    r.OpenDataset("datasiswa");
    reporttest::ScopedRunHook hook;
    r.Run();
    report::renderToPdf(hook.jobs.at(0), pf.path(name));
    return pf.path(name);
  }
};

TEST_F(PrintedFace, AHeaderFontAndAHiddenRowSetInTheWindowsShowOnThePrintedCard) {
  pf.addMember("77", "Rina", "XI", "KARTU-77");
  pf.db().Execute("insert into tbltemp (id) select id from tblanggota");
  pf.db().Execute("update tblsetting set barcode = 'QR Code'");
  barcode::saveQrJpeg("KARTU-77", pf.path("barcode/1.jpg"));
  const QString before = print("before.pdf");

  open();
  QFont f("Liberation Serif");
  f.setPointSizeF(14);
  f.setBold(true);
  f.setUnderline(true);
  dialogs.queueFont(f, QColor(200, 0, 0));
  QTest::mouseDClick(s->LabelHeader[2], Qt::LeftButton);
  click(s->cmdSimpan);
  ScopedModalHook modal([&](QWidget* w, QWidget*) {
    auto* l = static_cast<frmlabel*>(w);
    click(l->Check21[3]);  // "Tempat, Tgl. Lahir"
    click(l->Command1);
  });
  click(s->Command13);
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Simpan Sukses", "Data tersimpan"}));
  const QString after = print("after.pdf");

  // Twips of the preview card to points of the printed card.
  const double k = 85.60 / 25.4 * 72 / cardface::kWidth;
  const QRectF sma0 = word(before, "SMA"), sma = word(after, "SMA");
  ASSERT_FALSE(sma.isEmpty());
  EXPECT_GT(sma.height(), sma0.height() * 1.2);
  EXPECT_NEAR(sma.top(), s->LabelHeader[2]->twips().top() * k, 1.5);
  EXPECT_GT(word(after, "Jl.").top(), word(before, "Jl.").top() + 2);  // the next line moved down
  EXPECT_TRUE(reporttest::runTool("pdffonts", {after}).contains("LiberationSerif-Bold"));
  for (const char* hidden : {"Tempat,", "Bandung,"}) {  // the caption and the member's value
    EXPECT_FALSE(word(before, hidden).isEmpty()) << hidden;
    EXPECT_TRUE(word(after, hidden).isEmpty()) << hidden;
  }
  EXPECT_NEAR(word(after, "Agama").top(), word(before, "Agama").top(), 0.1);  // the gap is kept
  const double step = word(after, "NISN").top() - word(after, "NIS").top();   // rows are evenly spaced
  EXPECT_GT(step, 1);
  EXPECT_NEAR(word(after, "Agama").top() - word(after, "NISN").top(), 3 * step, 0.2);
  EXPECT_EQ(reporttest::decodePage(after, 1), QStringList{"KARTU-77"});
  // Red text, underlined: red pixels in the header line and a red run below the word.
  const QImage page = reporttest::rasterise(after, 1);
  const double px = 300.0 / 72;
  int red = 0, longest = 0;
  for (int y = int(sma.top() * px); y < int((sma.bottom() + 3) * px); ++y) {
    int run = 0;
    for (int x = int(sma.left() * px); x < int(sma.right() * px); ++x) {
      const QColor c = page.pixelColor(x, y);
      const bool r = c.red() > 150 && c.green() < 90 && c.blue() < 90;
      red += r;
      run = r ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  EXPECT_GT(red, 50);
  EXPECT_GT(longest, int(sma.width() * px * 0.8));
}

}  // namespace
