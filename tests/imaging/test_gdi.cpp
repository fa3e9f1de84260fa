// The GDI stand-in: bitmap layout, contexts and clipped copies.
#include <gtest/gtest.h>

#include "dc.h"
#include "dib.h"
#include "handles.h"
#include "helpers.h"
#include "screen.h"

using imaging_test::SourceDc;

TEST(GdiDib, StrideFollowsDepthAndWidth) {
  EXPECT_EQ(gdi::Dib::strideFor(1, 1), 4);
  EXPECT_EQ(gdi::Dib::strideFor(33, 1), 8);
  EXPECT_EQ(gdi::Dib::strideFor(9, 4), 8);
  EXPECT_EQ(gdi::Dib::strideFor(5, 8), 8);
  EXPECT_EQ(gdi::Dib::strideFor(3, 16), 8);
  EXPECT_EQ(gdi::Dib::strideFor(5, 24), 16);
  EXPECT_EQ(gdi::Dib::strideFor(3, 32), 12);
  EXPECT_EQ(gdi::Dib::strideFor(4, 12), -1);  // no such depth
  EXPECT_EQ(gdi::Dib::strideFor(0, 24), -1);
}

TEST(GdiDib, RefusesEmptyAndOversizedBitmaps) {
  EXPECT_EQ(gdi::Dib::create(0, 5, 24), nullptr);
  EXPECT_EQ(gdi::Dib::create(5, 0, 24), nullptr);
  EXPECT_EQ(gdi::Dib::create(gdi::kMaxDibSide + 1, 1, 8), nullptr);
  EXPECT_EQ(gdi::Dib::create(20000, 20000, 32), nullptr);  // 1.6 GB of pixels
  std::uint8_t* bits = reinterpret_cast<std::uint8_t*>(1);
  EXPECT_EQ(gdi::createDIBSection(-3, 3, 24, &bits), 0);
  EXPECT_EQ(bits, nullptr);
}

TEST(GdiDib, PositiveHeightKeepsTheBottomRowFirst) {
  auto up = gdi::Dib::create(2, 3, 24);
  up->setPixel(0, 0, qRgb(10, 20, 30));             // top image row
  EXPECT_EQ(up->bits()[2 * up->stride() + 0], 30);  // blue first, in the last memory row
  EXPECT_EQ(up->bits()[2 * up->stride() + 2], 10);
  auto down = gdi::Dib::create(2, -3, 24);
  down->setPixel(0, 0, qRgb(10, 20, 30));
  EXPECT_EQ(down->bits()[0], 30);
  EXPECT_EQ(down->absHeight(), 3);
  EXPECT_FALSE(down->bottomUp());
}

TEST(GdiDib, PixelsRoundTripAtEveryDepth) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bpp);
    std::vector<QRgb> pal;
    if (bpp <= 8) pal = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 132)};
    auto d = gdi::Dib::create(11, 3, bpp, pal);
    ASSERT_TRUE(d);
    d->setPixel(10, 2, qRgb(255, 255, 255));
    d->setPixel(9, 2, bpp == 1 ? qRgb(0, 0, 0) : qRgb(0, 0, 132));
    EXPECT_EQ(d->pixel(10, 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(d->pixel(9, 2) & 0xFFFFFF, bpp == 1 ? 0u : 0x000084u);
    EXPECT_EQ(d->pixel(0, 0) & 0xFFFFFF, 0u);  // new bitmaps start at 0
    // The image view shows the same pixels, top row first.
    QImage img = d->toImage();
    EXPECT_EQ(img.pixel(10, 2) & 0xFFFFFF, 0xFFFFFFu);
    img.setPixel(0, 0, bpp <= 8 ? 1u : 0xFFFFFFFFu);
    ASSERT_TRUE(d->fromImage(img.convertToFormat(QImage::Format_RGB32)));
    EXPECT_EQ(d->pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
  }
}

TEST(GdiDc, SelectKeepsOneOwnerAndDeleteWaits) {
  const std::size_t before = imaging_test::liveHandles();
  {
    SourceDc a(4, 4);
    ASSERT_NE(a.old, 0);
    const gdi::Handle other = gdi::createCompatibleDC(0);
    EXPECT_EQ(gdi::selectObject(other, a.bitmap), 0);  // already in a
    EXPECT_FALSE(gdi::deleteObject(a.bitmap));         // still selected
    EXPECT_EQ(gdi::currentBitmap(a.dc), a.bitmap);
    EXPECT_TRUE(gdi::deleteDC(other));
    EXPECT_FALSE(gdi::deleteDC(other));
  }
  EXPECT_EQ(gdi::objectCount(), before);
}

TEST(GdiDc, BitBltClipsOnBothSides) {
  SourceDc src(4, 3);
  src.fill([](int x, int y) { return qRgb(x * 10, y * 10, 7); });
  SourceDc dst(3, 3);
  dst.fill([](int, int) { return qRgb(1, 1, 1); });
  // From (-1, 1) of the source to (1, -1) of the destination: only the part that lies in
  // both bitmaps moves.
  ASSERT_TRUE(gdi::bitBlt(dst.dc, 1, -1, 10, 10, src.dc, -1, 1, gdi::SRCCOPY));
  auto d = dst.dib();
  // Destination (2, 0) took source (0, 2); everything else kept its colour.
  EXPECT_EQ(d->pixel(2, 0) & 0xFFFFFF, qRgb(0, 20, 7) & 0xFFFFFF);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      if (!(x == 2 && y == 0)) {
        EXPECT_EQ(d->pixel(x, y) & 0xFFFFFF, 0x010101u) << x << "," << y;
      }
  // Nothing at all overlaps: success, no change.
  EXPECT_TRUE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, src.dc, 4, 0, gdi::SRCCOPY));
  EXPECT_FALSE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, src.dc, 0, 0, 0x00EE0086));  // not a copy
  EXPECT_FALSE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, 0, 0, 0, gdi::SRCCOPY));
}

TEST(GdiDc, CopiesBetweenDepthsAndWithinOneBitmap) {
  SourceDc src(3, 2, 32);
  src.fill([](int x, int y) { return qRgba(x, y, 200, 99); });
  SourceDc dst(3, 2, 24);
  ASSERT_TRUE(gdi::bitBlt(dst.dc, 0, 0, 3, 2, src.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(dst.dib()->pixel(2, 1), qRgb(2, 1, 200));
  ASSERT_TRUE(gdi::bitBlt(src.dc, 0, 0, 3, 2, dst.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(src.dib()->pixel(2, 1), qRgba(2, 1, 200, 0));  // the fourth byte is cleared
  // An overlapping move inside one bitmap reads the pixels as they were.
  SourceDc one(4, 1);
  one.fill([](int x, int) { return qRgb(x, 0, 0); });
  ASSERT_TRUE(gdi::bitBlt(one.dc, 1, 0, 3, 1, one.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(qRed(one.dib()->pixel(3, 0)), 2);
  EXPECT_EQ(qRed(one.dib()->pixel(1, 0)), 0);
}

TEST(GdiDc, StretchBltTakesTheNearestPixel) {
  SourceDc src(2, 2);
  src.fill([](int x, int y) { return qRgb(x * 100, y * 100, 0); });
  SourceDc dst(4, 4);
  ASSERT_TRUE(gdi::stretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
  auto d = dst.dib();
  EXPECT_EQ(d->pixel(1, 1), qRgb(0, 0, 0));
  EXPECT_EQ(d->pixel(2, 1), qRgb(100, 0, 0));
  EXPECT_EQ(d->pixel(3, 3), qRgb(100, 100, 0));
  EXPECT_FALSE(gdi::stretchBlt(dst.dc, 0, 0, -4, 4, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
}

TEST(GdiDc, PainterAndFillDrawTheTopRowAtTheEndOfMemory) {
  SourceDc s(5, 4);
  {
    gdi::DcPainter p(s.dc);
    ASSERT_TRUE(p.isActive());
    p->fillRect(QRect(0, 0, 5, 1), QColor(255, 0, 0));
  }
  const std::uint8_t* lastRow = s.bits + 3 * s.dib()->stride();
  EXPECT_EQ(lastRow[0], 0);
  EXPECT_EQ(lastRow[2], 255);
  EXPECT_EQ(s.bits[2], 0);
  ASSERT_TRUE(gdi::fillRect(s.dc, QRect(3, 2, 10, 10), qRgb(0, 0, 255)));
  EXPECT_EQ(s.dib()->pixel(4, 3), qRgb(0, 0, 255));
  EXPECT_EQ(s.dib()->pixel(2, 3), qRgb(0, 0, 0));
}

TEST(GdiDc, ScreenContextHasNoPixelsAndScreenIsSettable) {
  const gdi::Handle screenDc = gdi::getDC(0);
  ASSERT_NE(screenDc, 0);
  SourceDc s(2, 2);
  EXPECT_FALSE(gdi::bitBlt(s.dc, 0, 0, 2, 2, screenDc, 0, 0, gdi::SRCCOPY));
  const gdi::Screen saved = gdi::screen();
  gdi::Screen big = saved;
  big.dpiX = big.dpiY = 144;
  big.bitsPerPixel = 24;
  gdi::setScreen(big);
  EXPECT_EQ(gdi::screen().twipsPerPixelX(), 10);
  gdi::BitmapInfo info;
  const gdi::Handle ddb = gdi::createCompatibleBitmap(screenDc, 3, 2);
  ASSERT_TRUE(gdi::getBitmapInfo(ddb, info));
  EXPECT_EQ(info.bitCount, 24);
  EXPECT_EQ(info.bits, nullptr);  // not a section
  gdi::setScreen(saved);
  EXPECT_TRUE(gdi::deleteObject(ddb));
  EXPECT_TRUE(gdi::releaseDC(0, screenDc));
}
