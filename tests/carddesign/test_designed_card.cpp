// A card front laid out in the designer prints as designed: its face, rasterised from the
// PDF of the card printing road, has the background colour and the logo where it was
// dragged, and the member's QR code still reads.
#include "../report/report_fixture.h"
#include "cetakKartu.h"
#include "designer_fixture.h"

using namespace testsupport;

namespace {

class DesignedCard : public DesignerTest {};

TEST_F(DesignedCard, PrintsWithItsBackgroundAndTheLogoWhereItWasDragged) {
  gambar("Front", "latar", QColor(200, 30, 30), QSize(300, 200));
  gambar("Front", "logo1", QColor(20, 40, 220));
  buka();
  seret(w("logo1"), QPoint(40, 30));
  ASSERT_EQ(el("logo1").rect(), QRectF(1080, 810, 1095, 1095));
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());

  pf.addMember("77", "Rina", "XI", "KARTU-77");
  pf.db().Execute("update tblsetting set barcode = 'QR Code'");
  pf.db().Execute("insert into tbltemp (id) select id from tblanggota");
  reporttest::ScopedRunHook hook;
  report::CardReportX r;
  ASSERT_TRUE(cetakKartu::jalankan(r, cetakKartu::template_(cetakKartu::Menu::Front, cetakKartu::jenisBarcode()),
                                   "Cetak Kartu Siswa", reporttest::kMainQuery,
                                   [&] { cetakKartu::buatQr(r, 0, r.RecordCount()); }));
  ASSERT_EQ(hook.jobs.size(), 1u);
  const QString pdf = pf.path("kartu.pdf");
  report::renderToPdf(hook.jobs[0], pdf);
  const QImage page = reporttest::rasterise(pdf, 1);
  ASSERT_FALSE(page.isNull());
  const double pxPerMm = page.width() / 85.60;
  const QColor ground = page.pixelColor(int(75 * pxPerMm), int(28 * pxPerMm));  // no text lies there
  EXPECT_NEAR(ground.red(), 200, 30);
  EXPECT_NEAR(ground.green(), 30, 30);
  EXPECT_NEAR(ground.blue(), 30, 30);
  QRect logo;
  for (int y = 0; y < page.height() / 2; ++y)
    for (int x = 0; x < page.width() / 2; ++x)
      if (const QColor c = page.pixelColor(x, y); c.blue() > 160 && c.red() < 90 && c.green() < 110)
        logo |= QRect(x, y, 1, 1);
  const double mmX = 85.60 / desain::kCanvasWidth, mmY = 53.98 / desain::kCanvasHeight;
  EXPECT_NEAR(logo.left() / pxPerMm, 1080 * mmX, 0.5);
  EXPECT_NEAR(logo.top() / pxPerMm, 810 * mmY, 0.5);
  EXPECT_NEAR((logo.right() + 1) / pxPerMm, 2175 * mmX, 0.5);
  EXPECT_NEAR((logo.bottom() + 1) / pxPerMm, 1905 * mmY, 0.5);
  EXPECT_EQ(reporttest::decodePage(pdf, 1), QStringList{"KARTU-77"});
}

}  // namespace
