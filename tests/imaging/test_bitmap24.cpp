// cBitmap24: layout, creation limits, copies in and out, noise and resampling.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "cBitmap24.h"
#include "dialogs.h"
#include "msgbox.h"
#include "handles.h"
#include "helpers.h"
#include "vb.h"

using imaging_test::SourceDc;

namespace {

// Byte k (0 blue, 1 green, 2 red) of pixel x in memory row r.
std::uint8_t at(const cBitmap24& b, int x, int r, int k) {
  return b.DIBSectionBitsPtr()[std::int64_t(r) * b.BytesPerScanLine() + x * 3 + k];
}
void put(cBitmap24& b, int x, int r, int blue, int green, int red) {
  std::uint8_t* p = b.DIBSectionBitsPtr() + std::int64_t(r) * b.BytesPerScanLine() + x * 3;
  p[0] = std::uint8_t(blue);
  p[1] = std::uint8_t(green);
  p[2] = std::uint8_t(red);
}

// Records message boxes; any other dialog fails the test.
struct RecordingDialogs : ui::DialogHost {
  RecordingDialogs() : previous(ui::setDialogHost(this)) {}
  ~RecordingDialogs() override { ui::setDialogHost(previous); }
  int msgBox(const QString& prompt, int flags, const QString& title) override {
    prompts.push_back(prompt);
    this->flags.push_back(flags);
    titles.push_back(title);
    return 1;
  }
  QString inputBox(const QString&, const QString&, const QString&) override { return fail(QString()); }
  ui::FileAnswer file(const ui::FileRequest&) override { return fail(ui::FileAnswer{}); }
  ui::FontAnswer font(const QFont&, const QColor&) override { return fail(ui::FontAnswer{}); }
  ui::ColorAnswer color(const QColor&) override { return fail(ui::ColorAnswer{}); }
  ui::FolderAnswer folder(const QString&) override { return fail(ui::FolderAnswer{}); }
  bool openDocument(const QString&) override { return fail(false); }
  template <class T>
  T fail(T v) {
    ADD_FAILURE() << "unexpected dialog";
    return v;
  }
  ui::DialogHost* previous;
  QStringList prompts, titles;
  std::vector<int> flags;
};

}  // namespace

TEST(Bitmap24, StrideAndSizeForNarrowWidths) {
  const int strides[] = {4, 8, 12, 12};
  for (int w = 1; w <= 4; ++w) {
    cBitmap24 b;
    ASSERT_TRUE(b.Create(w, 3)) << w;
    EXPECT_EQ(b.BytesPerScanLine(), strides[w - 1]) << w;
    EXPECT_EQ(b.Width(), w);
    EXPECT_EQ(b.Height(), 3);
    EXPECT_NE(b.hDC(), 0);
    EXPECT_NE(b.hDib(), 0);
    ASSERT_NE(b.DIBSectionBitsPtr(), nullptr);
    for (int i = 0; i < strides[w - 1] * 3; ++i) ASSERT_EQ(b.DIBSectionBitsPtr()[i], 0);  // starts black
  }
}

TEST(Bitmap24, RefusedSizesKeepTheRequestAndHoldNothing) {
  const std::size_t before = imaging_test::liveHandles();
  cBitmap24 b;
  ASSERT_TRUE(b.Create(5, 5));
  // Zero, negative (no top-down bitmaps) and oversized requests all fail the same way.
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-2, 5}, {5, -5}, {40000, 2}, {20000, 20000}}) {
    EXPECT_FALSE(b.Create(w, h)) << w << "x" << h;
    EXPECT_EQ(b.Width(), w);
    EXPECT_EQ(b.Height(), h);
    EXPECT_EQ(b.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(b.hDC(), 0);
    EXPECT_EQ(b.hDib(), 0);
  }
  EXPECT_EQ(gdi::objectCount(), before);
  // A stride beyond 32 bits is the overflow error, not a wrapped number.
  EXPECT_FALSE(b.Create(1000000000, 1));
  try {
    b.BytesPerScanLine();
    ADD_FAILURE() << "no overflow error";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, 6);
  }
}

TEST(Bitmap24, ClearUpFreesEverythingButKeepsTheSize) {
  const std::size_t before = imaging_test::liveHandles();
  {
    cBitmap24 b;
    ASSERT_TRUE(b.Create(7, 2));
    ASSERT_TRUE(b.Create(8, 3));  // the first bitmap goes
    EXPECT_EQ(gdi::objectCount(), before + 2);
    b.ClearUp();
    EXPECT_EQ(gdi::objectCount(), before);
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Height(), 3);
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
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(at(b, x, 0, 2), 1 + x);
    EXPECT_EQ(at(b, x, 0, 1), 3);
    EXPECT_EQ(at(b, x, 1, 1), 2);
    EXPECT_EQ(at(b, x, 1, 0), 100 + 20 + 1 + x);
  }
  // A region larger than both sides (the designer passes twice its size) is clipped; the
  // part without source pixels stays as it was.
  ASSERT_TRUE(b.Create(3, 2));
  b.LoadPictureBlt(src.dc, 3, 4, 6, 4, gdi::SRCCOPY);
  EXPECT_EQ(at(b, 0, 1, 2), 3);  // top-left took source (3, 4)
  EXPECT_EQ(at(b, 1, 1, 2), 4);
  EXPECT_EQ(at(b, 1, 1, 1), 4);
  EXPECT_EQ(at(b, 2, 1, 0), 0);                              // beyond the source's right edge
  for (int x = 0; x < 3; ++x) EXPECT_EQ(at(b, x, 0, 0), 0);  // below its bottom edge
  // Into an empty object nothing happens.
  cBitmap24 empty;
  empty.LoadPictureBlt(src.dc);
  EXPECT_EQ(empty.DIBSectionBitsPtr(), nullptr);
}

TEST(Bitmap24, PaintPictureCopiesOutWithItsOwnSize) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(2, 2));
  put(b, 0, 1, 1, 2, 3);  // top-left
  put(b, 1, 0, 4, 5, 6);  // bottom-right
  SourceDc out(4, 4);
  b.PaintPicture(out.dc, 1, 1, -1, -1, 0, 0, gdi::SRCCOPY);
  auto d = out.dib();
  EXPECT_EQ(d->pixel(1, 1), qRgb(3, 2, 1));
  EXPECT_EQ(d->pixel(2, 2), qRgb(6, 5, 4));
  EXPECT_EQ(d->pixel(3, 3), qRgb(0, 0, 0));
}

TEST(Bitmap24, CreateFromPictureCopiesThePicture) {
  const gdi::Handle pic = gdi::createDIBSection(3, 2, 32);
  {
    auto dib = gdi::find<gdi::Dib>(pic);
    dib->setPixel(0, 0, qRgb(200, 100, 50));
    dib->setPixel(2, 1, qRgb(1, 2, 3));
  }
  cBitmap24 b;
  b.CreateFromPicture(pic);
  ASSERT_NE(b.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
  EXPECT_EQ(at(b, 0, 1, 2), 200);
  EXPECT_EQ(at(b, 0, 1, 0), 50);
  EXPECT_EQ(at(b, 2, 0, 0), 3);
  // The picture is left free for its owner.
  EXPECT_TRUE(gdi::deleteObject(pic));
  // An unknown handle makes no bitmap.
  cBitmap24 none;
  none.CreateFromPicture(pic);
  EXPECT_EQ(none.DIBSectionBitsPtr(), nullptr);
  EXPECT_EQ(none.Width(), 0);
}

TEST(Bitmap24, RandomiseBitsLeavesBlueAndPaddingAlone) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 4));  // 9 bytes of pixels and 3 of padding a row
  const int stride = b.BytesPerScanLine();
  for (int r = 0; r < 4; ++r)
    for (int i = 0; i < stride; ++i) b.DIBSectionBitsPtr()[r * stride + i] = 0xAB;
  b.RandomiseBits(false);
  int nonZero = 0;
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(at(b, x, r, 0), 0);
      nonZero += at(b, x, r, 1) != 0 || at(b, x, r, 2) != 0;
    }
    for (int i = 9; i < stride; ++i) EXPECT_EQ(b.DIBSectionBitsPtr()[r * stride + i], 0xAB);
  }
  EXPECT_GT(nonZero, 0);
  b.RandomiseBits(true);
  for (int r = 0; r < 4; ++r) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(at(b, x, r, 0), at(b, x, r, 1));
      EXPECT_EQ(at(b, x, r, 1), at(b, x, r, 2));
    }
    for (int i = 9; i < stride; ++i) EXPECT_EQ(b.DIBSectionBitsPtr()[r * stride + i], 0xAB);
  }
}

TEST(Bitmap24, ResampleToTheSameSizeIsAnExactCopy) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(5, 3));
  b.RandomiseBits(false);
  auto c = b.Resample(3, 5);
  ASSERT_TRUE(c);
  ASSERT_EQ(c->Width(), 5);
  ASSERT_EQ(c->Height(), 3);
  for (int r = 0; r < 3; ++r)
    for (int i = 0; i < 15; ++i) EXPECT_EQ(c->DIBSectionBitsPtr()[r * 16 + i], b.DIBSectionBitsPtr()[r * 16 + i]);
  // A one-pixel bitmap copies too: nothing is interpolated.
  cBitmap24 dot;
  ASSERT_TRUE(dot.Create(1, 1));
  put(dot, 0, 0, 9, 8, 7);
  auto d = dot.Resample(1, 1);
  ASSERT_TRUE(d);
  EXPECT_EQ(at(*d, 0, 0, 2), 7);
}

TEST(Bitmap24, ResampleTwoByTwoToFourByFour) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(2, 2));
  put(b, 0, 0, 10, 11, 0);
  put(b, 1, 0, 21, 14, 100);
  put(b, 0, 1, 50, 60, 200);
  put(b, 1, 1, 90, 70, 255);
  auto c = b.Resample(4, 4);  // height first
  ASSERT_TRUE(c);
  auto pixel = [&](int x, int r) { return std::array<int, 3>{at(*c, x, r, 0), at(*c, x, r, 1), at(*c, x, r, 2)}; };
  // Scale 0.25 both ways. (0, 0) is source (0, 0).
  EXPECT_EQ(pixel(0, 0), (std::array<int, 3>{10, 11, 0}));
  // (2, 0): the mean of (0, 0) and (1, 0); 15.5 -> 16 and 12.5 -> 12 (halves to even).
  EXPECT_EQ(pixel(2, 0), (std::array<int, 3>{16, 12, 50}));
  // (1, 1): rows mixed 3:1 and rounded (20, 23, 50 | 38, 28, 139), then columns 3:1:
  // 24.5 -> 24, 24.25 -> 24, 72.25 -> 72.
  EXPECT_EQ(pixel(1, 1), (std::array<int, 3>{24, 24, 72}));
  // (3, 3): rows 1:3 (40, 48, 150 | 73, 56, 216), columns 1:3: 64.75 -> 65, 54, 199.5 -> 200.
  EXPECT_EQ(pixel(3, 3), (std::array<int, 3>{65, 54, 200}));
}

TEST(Bitmap24, ResampleNeedsTwoPixelsEachWay) {
  for (auto [w, h] : {std::pair{1, 3}, {3, 1}}) {
    cBitmap24 b;
    ASSERT_TRUE(b.Create(w, h));
    try {
      b.Resample(4, 4);
      ADD_FAILURE() << w << "x" << h << " resampled";
    } catch (const vb::VbError& e) {
      EXPECT_EQ(e.number, 9);
    }
  }
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 3));
  EXPECT_EQ(b.Resample(0, 4), nullptr);  // no bitmap of that size
  cBitmap24 empty;
  EXPECT_EQ(empty.Resample(4, 4), nullptr);
}

TEST(Bitmap24, CopyToClipboardPutsTheImageThere) {
  imaging_test::ensureGuiApp();
  cBitmap24 b;
  ASSERT_TRUE(b.Create(3, 2));
  put(b, 0, 1, 0, 0, 255);  // top-left red
  put(b, 2, 0, 255, 0, 0);  // bottom-right blue
  const std::size_t before = imaging_test::liveHandles();
  ASSERT_TRUE(b.CopyToClipboard(false));
  EXPECT_EQ(gdi::objectCount(), before);
  const QImage img = QGuiApplication::clipboard()->image();
  ASSERT_EQ(img.size(), QSize(3, 2));
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(img.pixel(2, 1), qRgb(0, 0, 255));
  EXPECT_EQ(img.pixel(1, 0), qRgb(0, 0, 0));
}

TEST(Bitmap24, CopyToClipboardAsDibIsRefusedWithAMessage) {
  imaging_test::ensureGuiApp();
  QGuiApplication::clipboard()->setText(QStringLiteral("keep"));
  RecordingDialogs dialogs;
  cBitmap24 b;
  ASSERT_TRUE(b.Create(2, 2));
  EXPECT_FALSE(b.CopyToClipboard(true));
  ASSERT_EQ(dialogs.prompts.size(), 1);
  EXPECT_EQ(dialogs.prompts[0],
            QStringLiteral("I don't know how to put a DIB on the clipboard! Copy as bitmap instead!!!"));
  EXPECT_EQ(dialogs.flags[0], ui::vbOKOnly);
  EXPECT_EQ(dialogs.titles[0], vb::appTitle());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("keep"));
}
