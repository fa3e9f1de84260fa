// cBitmap24: layout, refused sizes, copies in and out, noise, resampling, clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <array>
#include <limits>

#include "error_number.h"
#include "cBitmap24.h"
#include "handles.h"
#include "helpers.h"
#include "scripted_dialogs.h"
#include "vb.h"

using imaging_test::SourceDc;

namespace {

// Byte k (0 blue, 1 green, 2 red) of pixel x in memory row r.
std::uint8_t at(const cBitmap24& b, int x, int r, int k) {
  return b.DIBSectionBitsPtr()[std::int64_t(r) * b.BytesPerScanLine() + x * 3 + k];
}
std::array<int, 3> pixel(const cBitmap24& b, int x, int r) { return {at(b, x, r, 0), at(b, x, r, 1), at(b, x, r, 2)}; }
void put(cBitmap24& b, int x, int r, int blue, int green, int red) {
  std::uint8_t* p = b.DIBSectionBitsPtr() + std::int64_t(r) * b.BytesPerScanLine() + x * 3;
  p[0] = std::uint8_t(blue);
  p[1] = std::uint8_t(green);
  p[2] = std::uint8_t(red);
}

TEST(Bitmap24, RefusedSizesKeepTheRequestAndHoldNothing) {
  const std::size_t before = imaging_test::liveHandles();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  cBitmap24 b;
  ASSERT_TRUE(b.Create(5, 5));
  // Zero, negative (no top-down bitmaps), oversized, and sizes whose byte count does not
  // fit in 64 bits: all refused alike, none wrapping round.
  const std::pair<std::int32_t, std::int32_t> sizes[] = {{0, 5},       {5, 0},         {-2, 5},      {5, -5},
                                                         {40000, 2},   {20000, 20000}, {kMax, kMax}, {kMin, kMin},
                                                         {kMax, kMin}, {1000000000, 1}};
  for (auto [w, h] : sizes) {
    EXPECT_FALSE(b.Create(w, h)) << w << "x" << h;
    EXPECT_EQ(b.Width(), w);
    EXPECT_EQ(b.Height(), h);
    EXPECT_TRUE(b.DIBSectionBitsPtr() == nullptr && b.hDC() == 0 && b.hDib() == 0);
  }
  EXPECT_EQ(gdi::objectCount(), before);
  // A stride beyond 32 bits is the overflow error, not a wrapped number.
  EXPECT_EQ(testsupport::errorNumber([&] { b.BytesPerScanLine(); }), 6);
}

TEST(Bitmap24, StrideBlackStartAndClearUpThatKeepsTheSize) {
  const std::size_t before = imaging_test::liveHandles();
  {
    cBitmap24 b;
    for (auto [w, stride] : {std::pair{1, 4}, {2, 8}, {3, 12}, {4, 12}}) {
      ASSERT_TRUE(b.Create(w, 3)) << w;  // each one frees the one before
      EXPECT_EQ(b.BytesPerScanLine(), stride) << w;
      EXPECT_TRUE(std::all_of(b.DIBSectionBitsPtr(), b.DIBSectionBitsPtr() + stride * 3, [](int v) { return v == 0; }));
    }
    EXPECT_EQ(gdi::objectCount(), before + 2);  // its context and its bitmap
    b.ClearUp();
    EXPECT_EQ(gdi::objectCount(), before);
    EXPECT_EQ(b.Width(), 4);
    EXPECT_EQ(b.DIBSectionBitsPtr(), nullptr);
    ASSERT_TRUE(b.Create(2, 2));
  }
  EXPECT_EQ(gdi::objectCount(), before);
}

TEST(Bitmap24, LoadPictureBltClipsAndKeepsBottomRowFirst) {
  SourceDc src(5, 5);
  src.fill([](int x, int y) { return qRgb(x, y, 100 + 10 * y + x); });
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 2));
  b.LoadPictureBlt(src.dc, 1, 2, -1, -1, gdi::SRCCOPY);
  // Memory row 0 is the bottom image row: source row 3; row 1 is source row 2.
  EXPECT_EQ(pixel(b, 0, 0), (std::array<int, 3>{131, 3, 1}));
  EXPECT_EQ(pixel(b, 2, 1), (std::array<int, 3>{123, 2, 3}));
  // A region larger than both sides (the designer passes twice its size) is clipped; the
  // part without source pixels stays as it was.
  ASSERT_TRUE(b.Create(3, 2));
  b.LoadPictureBlt(src.dc, 3, 4, 6, 4, gdi::SRCCOPY);
  EXPECT_EQ(pixel(b, 1, 1), (std::array<int, 3>{144, 4, 4}));  // top row took source (4, 4)
  EXPECT_EQ(pixel(b, 2, 1), (std::array<int, 3>{0, 0, 0}));    // beyond the source's right edge
  EXPECT_EQ(pixel(b, 0, 0), (std::array<int, 3>{0, 0, 0}));    // below its bottom edge
  cBitmap24 empty;
  empty.LoadPictureBlt(src.dc);  // into an empty object nothing happens
  EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

TEST(Bitmap24, PaintPictureAndCreateFromPictureCopyOutAndIn) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(2, 2));
  put(b, 0, 1, 1, 2, 3);  // top-left
  put(b, 1, 0, 4, 5, 6);  // bottom-right
  SourceDc out(4, 4);
  b.PaintPicture(out.dc, 1, 1, -1, -1, 0, 0, gdi::SRCCOPY);
  EXPECT_EQ(out.dib()->pixel(1, 1), qRgb(3, 2, 1));
  EXPECT_EQ(out.dib()->pixel(2, 2), qRgb(6, 5, 4));
  EXPECT_EQ(out.dib()->pixel(3, 3), qRgb(0, 0, 0));

  cBitmap24 copy;
  const gdi::Handle pic = gdi::createDIBSection(3, 2, 32);
  gdi::find<gdi::Dib>(pic)->setPixel(0, 0, qRgb(200, 100, 50));
  copy.CreateFromPicture(pic);
  EXPECT_EQ(copy.Height(), 2);
  EXPECT_EQ(pixel(copy, 0, 1), (std::array<int, 3>{50, 100, 200}));
  EXPECT_TRUE(gdi::deleteObject(pic));  // left free for its owner
  cBitmap24 none;
  none.CreateFromPicture(pic);  // an unknown handle makes no bitmap
  EXPECT_EQ(none.DIBSectionBitsPtr(), nullptr);
}

TEST(Bitmap24, RandomiseBitsLeavesBlueAndPaddingAlone) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 4));  // 9 bytes of pixels and 3 of padding a row
  std::fill_n(b.DIBSectionBitsPtr(), 12 * 4, 0xAB);
  for (bool gray : {false, true}) {
    b.RandomiseBits(gray);
    for (int r = 0; r < 4; ++r) {
      for (int x = 0; x < 3; ++x) {
        const auto p = pixel(b, x, r);
        EXPECT_TRUE(gray ? p[0] == p[1] && p[1] == p[2] : p[0] == 0);
      }
      EXPECT_EQ(b.DIBSectionBitsPtr()[r * 12 + 11], 0xAB);
    }
  }
}

TEST(Bitmap24, ResampleCopiesAtTheSameSizeInterpolatesOtherwiseAndNeedsTwoPixels) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(5, 3));
  b.RandomiseBits(false);
  auto same = b.Resample(3, 5);
  ASSERT_TRUE(same);
  EXPECT_TRUE(std::equal(b.DIBSectionBitsPtr(), b.DIBSectionBitsPtr() + 16 * 3, same->DIBSectionBitsPtr()));
  EXPECT_EQ(b.Resample(0, 4), nullptr);  // no bitmap of that size

  ASSERT_TRUE(b.Create(2, 2));
  put(b, 0, 0, 10, 11, 0);
  put(b, 1, 0, 21, 14, 100);
  put(b, 0, 1, 50, 60, 200);
  put(b, 1, 1, 90, 70, 255);
  auto c = b.Resample(4, 4);  // height first; scale 0.25 both ways
  ASSERT_TRUE(c);
  EXPECT_EQ(pixel(*c, 0, 0), (std::array<int, 3>{10, 11, 0}));  // source (0, 0)
  // (2, 0): the mean of (0, 0) and (1, 0); 15.5 -> 16 and 12.5 -> 12 (halves to even).
  EXPECT_EQ(pixel(*c, 2, 0), (std::array<int, 3>{16, 12, 50}));
  // (1, 1): rows mixed 3:1 and rounded (20, 23, 50 | 38, 28, 139), then columns 3:1.
  EXPECT_EQ(pixel(*c, 1, 1), (std::array<int, 3>{24, 24, 72}));
  EXPECT_EQ(pixel(*c, 3, 3), (std::array<int, 3>{65, 54, 200}));

  for (auto [w, h] : {std::pair{1, 3}, {3, 1}}) {
    ASSERT_TRUE(b.Create(w, h));
    EXPECT_EQ(testsupport::errorNumber([&] { b.Resample(4, 4); }), 9) << w << "x" << h;  // before any read
  }
}

TEST(Bitmap24, CopyToClipboardAsBitmapOrRefusedAsDib) {
  testsupport::ScriptedDialogs dialogs;
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 2));
  put(b, 0, 1, 0, 0, 255);  // top-left red
  const std::size_t before = imaging_test::liveHandles();
  ASSERT_TRUE(b.CopyToClipboard(false));
  EXPECT_EQ(gdi::objectCount(), before);
  const QImage img = QGuiApplication::clipboard()->image();
  ASSERT_EQ(img.size(), QSize(3, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 0));

  QGuiApplication::clipboard()->setText(QStringLiteral("keep"));
  EXPECT_FALSE(b.CopyToClipboard(true));
  EXPECT_EQ(dialogs.msgBoxTexts(),
            QStringList{"I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"});
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbOKOnly);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("keep"));
}

}  // namespace
