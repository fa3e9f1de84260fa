// The GDI stand-in as cBitmap24 uses it: bitmap layout, contexts and clipped copies. Its
// size limits are seen through cBitmap24.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dc.h"
#include "dib.h"
#include "handles.h"
#include "helpers.h"
#include "image.h"

using imaging_test::SourceDc;

// The depths the program uses, in either row order: a positive height keeps the top image
// row last in memory, a negative one first; blue comes first in a pixel.
TEST(GdiDib, PixelsLieWhereTheRowOrderPutsThem) {
  for (auto [bits, h] : {std::pair{24, 3}, {24, -3}, {32, 3}}) {
    auto d = gdi::Dib::create(2, h, bits);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->pixel(1, 2), qRgba(0, 0, 0, bits == 32 ? 0 : 255));  // new bitmaps start at 0
    d->setPixel(1, 0, qRgb(10, 20, 30));
    EXPECT_EQ(d->bits()[(h > 0 ? 2 : 0) * d->stride() + bits / 8], 30) << bits << " " << h;
    EXPECT_EQ(d->toImage().pixel(1, 0), qRgb(10, 20, 30));  // top row first
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

// A GDI+ bitmap made over a caller's rows reads and writes those very rows, the right way up
// whether they lie top-down or bottom-up, in straight or premultiplied alpha.
TEST(GdiplusOverRows, ReadsAndWritesTheCallersRowsInPlace) {
  constexpr int w = 3, h = 4;
  const struct {
    const char* what;
    bool bottomUp;
    gdiplus::PixelFormat format;
  } cases[] = {
      {"top-down, straight", false, gdiplus::PixelFormat32bppARGB},
      {"bottom-up, straight", true, gdiplus::PixelFormat32bppARGB},
      {"bottom-up, premultiplied", true, gdiplus::PixelFormat32bppPARGB},
  };
  // Row y of the picture: opaque grey y * 40, its alpha fully set so both formats agree.
  const auto colour = [](int x, int y) { return qRgba(y * 40, x * 10, 0, 255); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto memory = std::make_shared<std::vector<QRgb>>(std::size_t(w) * h);
    const auto memoryRow = [&](int y) { return memory->data() + std::ptrdiff_t(c.bottomUp ? h - 1 - y : y) * w; };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) memoryRow(y)[x] = colour(x, y);
    auto* top = reinterpret_cast<std::uint8_t*>(memoryRow(0));
    auto img = gdiplus::Image::over(w, h, c.bottomUp ? -w * 4 : w * 4, c.format, top, memory);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->borrowed(), memory->data());  // no copy of the rows
    const QImage shown = img->pixels();
    for (int y = 0; y < h; ++y) EXPECT_EQ(shown.pixel(1, y), colour(1, y)) << y;
    // A read lock of one row gives that row.
    const QRect row(1, 2, 2, 1);
    gdiplus::BitmapData data;
    ASSERT_EQ(img->lockBits(&row, gdiplus::ImageLockModeRead, gdiplus::PixelFormat32bppARGB, data), gdiplus::Status::Ok);
    EXPECT_EQ(static_cast<const QRgb*>(data.scan0)[0], colour(1, 2));
    EXPECT_EQ(static_cast<const QRgb*>(data.scan0)[1], colour(2, 2));
    img->unlockBits(data);
    // A write lock of one row lands in the caller's row of that picture row.
    ASSERT_EQ(img->lockBits(&row, gdiplus::ImageLockModeWrite, gdiplus::PixelFormat32bppARGB, data), gdiplus::Status::Ok);
    static_cast<QRgb*>(data.scan0)[0] = qRgba(1, 2, 3, 255);
    static_cast<QRgb*>(data.scan0)[1] = qRgba(4, 5, 6, 255);
    ASSERT_EQ(img->unlockBits(data), gdiplus::Status::Ok);
    EXPECT_EQ(memoryRow(2)[1], qRgba(1, 2, 3, 255));
    EXPECT_EQ(memoryRow(2)[2], qRgba(4, 5, 6, 255));
    EXPECT_EQ(memoryRow(1)[1], colour(1, 1));
    EXPECT_EQ(memoryRow(3)[1], colour(1, 3));
    // The rows stay alive with the image when their other owner lets go.
    const std::weak_ptr<std::vector<QRgb>> kept = memory;
    memory.reset();
    EXPECT_FALSE(kept.expired());
    img.reset();
    EXPECT_TRUE(kept.expired());
  }
}
