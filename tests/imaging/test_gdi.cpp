// The GDI stand-in: bitmap layout, contexts and clipped copies. Its size limits are seen
// through cBitmap24.
#include <gtest/gtest.h>

#include "dc.h"
#include "dib.h"
#include "handles.h"
#include "helpers.h"

using imaging_test::SourceDc;

TEST(GdiDib, PixelsRoundTripAtEveryDepthInEitherRowOrder) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bpp);
    std::vector<QRgb> pal;
    if (bpp <= 8) pal = {qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(255, 0, 0), qRgb(0, 0, 132)};
    auto d = gdi::Dib::create(11, 3, bpp, pal);
    ASSERT_TRUE(d);
    d->setPixel(10, 2, qRgb(255, 255, 255));
    d->setPixel(9, 2, bpp == 1 ? qRgb(0, 0, 0) : qRgb(0, 0, 132));
    EXPECT_EQ(d->pixel(9, 2) & 0xFFFFFF, bpp == 1 ? 0u : 0x000084u);
    EXPECT_EQ(d->pixel(0, 0) & 0xFFFFFF, 0u);                    // new bitmaps start at 0
    EXPECT_EQ(d->toImage().pixel(10, 2) & 0xFFFFFF, 0xFFFFFFu);  // top row first
  }
  // A positive height keeps the top image row last in memory, a negative one first.
  for (int h : {3, -3}) {
    auto d = gdi::Dib::create(2, h, 24);
    d->setPixel(0, 0, qRgb(10, 20, 30));
    EXPECT_EQ(d->bits()[(h > 0 ? 2 : 0) * d->stride()], 30) << h;  // blue first
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
    EXPECT_TRUE(gdi::deleteDC(other));
    EXPECT_FALSE(gdi::deleteDC(other));
  }
  EXPECT_EQ(gdi::objectCount(), before);
}

TEST(GdiDc, BitBltClipsOnBothSidesAndConvertsDepths) {
  SourceDc src(4, 3);
  src.fill([](int x, int y) { return qRgb(x * 10, y * 10, 7); });
  SourceDc dst(3, 3);
  dst.fill([](int, int) { return qRgb(1, 1, 1); });
  // From (-1, 1) of the source to (1, -1) of the destination: only destination (2, 0),
  // from source (0, 2), lies in both bitmaps.
  ASSERT_TRUE(gdi::bitBlt(dst.dc, 1, -1, 10, 10, src.dc, -1, 1, gdi::SRCCOPY));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(dst.dib()->pixel(x, y), x == 2 && y == 0 ? qRgb(0, 20, 7) : qRgb(1, 1, 1)) << x << "," << y;
  EXPECT_TRUE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, src.dc, 4, 0, gdi::SRCCOPY));  // no overlap: no change
  EXPECT_FALSE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, src.dc, 0, 0, 0x00EE0086));   // not a copy
  const gdi::Handle screenDc = gdi::getDC(0);
  EXPECT_FALSE(gdi::bitBlt(dst.dc, 0, 0, 3, 3, screenDc, 0, 0, gdi::SRCCOPY));  // the screen has no pixels
  gdi::releaseDC(0, screenDc);

  SourceDc wide(3, 2, 32);
  wide.fill([](int x, int y) { return qRgba(x, y, 200, 99); });
  ASSERT_TRUE(gdi::bitBlt(dst.dc, 0, 0, 3, 2, wide.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(dst.dib()->pixel(2, 1), qRgb(2, 1, 200));
  ASSERT_TRUE(gdi::bitBlt(wide.dc, 0, 0, 3, 2, dst.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(wide.dib()->pixel(2, 1), qRgba(2, 1, 200, 0));  // the fourth byte is cleared
  // An overlapping move inside one bitmap reads the pixels as they were.
  SourceDc one(4, 1);
  one.fill([](int x, int) { return qRgb(x, 0, 0); });
  ASSERT_TRUE(gdi::bitBlt(one.dc, 1, 0, 3, 1, one.dc, 0, 0, gdi::SRCCOPY));
  EXPECT_EQ(qRed(one.dib()->pixel(3, 0)), 2);
}

TEST(GdiDc, StretchPainterAndFill) {
  SourceDc src(2, 2);
  src.fill([](int x, int y) { return qRgb(x * 100, y * 100, 0); });
  SourceDc s(4, 4);
  ASSERT_TRUE(gdi::stretchBlt(s.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));  // nearest pixel
  EXPECT_EQ(s.dib()->pixel(1, 1), qRgb(0, 0, 0));
  EXPECT_EQ(s.dib()->pixel(2, 1), qRgb(100, 0, 0));
  EXPECT_EQ(s.dib()->pixel(3, 3), qRgb(100, 100, 0));
  EXPECT_FALSE(gdi::stretchBlt(s.dc, 0, 0, -4, 4, src.dc, 0, 0, 2, 2, gdi::SRCCOPY));
  {
    gdi::DcPainter p(s.dc);
    ASSERT_TRUE(p.isActive());
    p->fillRect(QRect(0, 0, 4, 1), QColor(255, 0, 0));
  }
  EXPECT_EQ(s.bits[3 * s.dib()->stride() + 2], 255);  // the top row is the last in memory
  ASSERT_TRUE(gdi::fillRect(s.dc, QRect(3, 2, 10, 10), qRgb(0, 0, 255)));
  EXPECT_EQ(s.dib()->pixel(3, 3), qRgb(0, 0, 255));
  EXPECT_EQ(s.dib()->pixel(2, 3), qRgb(100, 100, 0));
}
