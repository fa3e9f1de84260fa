// The metafile player and the EMF to placeable WMF conversion, over metafiles the tests write.
#include <gtest/gtest.h>

#include "byte_builder.h"
#include "metafile.h"
#include "metafile_convert.h"

using imaging_test::Bytes;

namespace {

Bytes wmfRec(std::uint16_t fn, std::initializer_list<int> words) {
  Bytes b;
  b.u32(std::uint32_t(3 + words.size())).u16(fn);
  for (int w : words) b.u16(std::uint16_t(w));
  return b;
}

// A placeable WMF of 100 x 50 units at 1440 an inch with the given records and an EOF.
Bytes wmf(const std::vector<Bytes>& records, bool placeable = true) {
  Bytes body;
  for (const Bytes& r : records) body.raw(r.span());
  body.raw(wmfRec(0, {}).span());
  Bytes b;
  if (placeable) b.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(100).u16(50).u16(1440).u32(0).u16(0);
  b.u16(1).u16(9).u16(0x300).u32(std::uint32_t(9 + body.size() / 2)).u16(4).u32(0).u16(0);
  return b.raw(body.span());
}

Bytes emfRec(std::uint32_t type, const Bytes& params) {
  Bytes b;
  b.u32(type).u32(std::uint32_t(8 + params.size())).raw(params.span());
  return b;
}

// An EMF whose frame is w x h hundredths of a millimetre on a reference device of 10 pixels
// a millimetre, so that record coordinates are tenths of the frame's 0.01 mm.
Bytes emf(const std::vector<Bytes>& records, int w = 10000, int h = 5000) {
  Bytes b;
  b.u32(1).u32(88).u32(0).u32(0).u32(std::uint32_t(w / 10)).u32(std::uint32_t(h / 10));
  b.u32(0).u32(0).u32(std::uint32_t(w)).u32(std::uint32_t(h)).u32(0x464D4520).u32(0x10000);
  b.u32(0).u32(0).u16(4).u16(0).u32(0).u32(0).u32(0).u32(1000).u32(500).u32(100).u32(50);
  for (const Bytes& r : records) b.raw(r.span());
  b.raw(emfRec(14, Bytes().u32(0).u32(0).u32(20)).span());
  return b;
}

const QRgb kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

}  // namespace

TEST(Metafile, RefusesRecordsThatDoNotAddUp) {
  Bytes truncated = wmf({wmfRec(0x041B, {0, 10, 0, 10})});
  truncated.v.resize(truncated.size() - 2);
  Bytes shortRecord = wmf({wmfRec(0x001E, {})});
  shortRecord.put32(40, 2);  // a record of two words
  Bytes emfPast = emf({});
  emfPast.put32(88 + 4, 4000);
  Bytes emfOdd = emf({});
  emfOdd.put32(88 + 4, 18);
  Bytes notPlaceable = wmf({}, false);
  const std::pair<const char*, Bytes> cases[] = {
      {"empty", Bytes()},
      {"truncated WMF", truncated},
      {"WMF record below its header", shortRecord},
      {"EMF record past the end", emfPast},
      {"EMF record not a multiple of 4", emfOdd},
      {"no placeable header, no window extent", notPlaceable},
      {"EMF of an empty frame", emf({}, 0, 0)},
  };
  for (const auto& [name, file] : cases) EXPECT_FALSE(gdi::Metafile::parse(file.span())) << name;
  const auto plain = gdi::Metafile::parse(wmf({wmfRec(0x020C, {720, 1440})}, false).span());
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->sizePixels(), QSize(96, 48));
}

TEST(Metafile, PlaysToolsShapesStateAndWindow) {
  // Left half a red rectangle; the blue brush made after SaveDC is gone after RestoreDC; the
  // window flipped upside down puts the lower quarter's ellipse at the top.
  const Bytes file = wmf({wmfRec(0x020B, {0, 0}), wmfRec(0x020C, {50, 100}),
                          wmfRec(0x02FC, {0, 0x00FF, 0x0000, 0}), wmfRec(0x012D, {0}),
                          wmfRec(0x02FA, {5, 0, 0, 0, 0}), wmfRec(0x012D, {1}), wmfRec(0x001E, {}),
                          wmfRec(0x02FC, {0, 0x0000, 0x00FF, 0}), wmfRec(0x012D, {2}), wmfRec(0x0127, {0xFFFF}),
                          wmfRec(0x041B, {50, 50, 0, 0}), wmfRec(0x020B, {50, 0}), wmfRec(0x020C, {-50, 100}),
                          wmfRec(0x012D, {2}), wmfRec(0x0418, {50, 100, 25, 50})});
  const auto meta = gdi::Metafile::parse(file.span());
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->kind(), gdi::Metafile::Wmf);
  EXPECT_EQ(meta->sizePixels(), QSize(7, 3));
  const QImage img = meta->render(QSize(100, 50), kWhite);
  EXPECT_EQ(img.pixel(25, 25), kRed);
  EXPECT_EQ(img.pixel(75, 12), kBlue);
  EXPECT_EQ(img.pixel(75, 40), kWhite);
}

TEST(Metafile, EmfMappingTextAndBitmaps) {
  Bytes dib;  // 2 x 1, 24 bits: blue, red
  dib.u32(40).u32(2).u32(1).u16(1).u16(24).zeros(24).u8(255).u8(0).u8(0).u8(0).u8(0).u8(255).u16(0);
  Bytes stretch;
  stretch.zeros(16).u32(0).u32(0).u32(0).u32(0).u32(2).u32(1).u32(80).u32(40).u32(120).u32(8).u32(0).u32(0x00CC0020);
  stretch.u32(100).u32(25).raw(dib.span());
  Bytes text;
  text.zeros(16).u32(1).u32(0).u32(0).u32(10).u32(30).u32(2).u32(76).u32(0).zeros(16).u32(0);
  text.u16('H').u16('H');
  Bytes font;
  font.u32(3).u32(std::uint32_t(-15)).zeros(12).u32(700).zeros(8).zeros(64);
  const Bytes file = emf({emfRec(17, Bytes().u32(8)), emfRec(9, Bytes().u32(100).u32(50)),
                          emfRec(11, Bytes().u32(1000).u32(500)), emfRec(81, stretch),
                          emfRec(82, font), emfRec(37, Bytes().u32(3)), emfRec(24, Bytes().u32(0x0000FF)),
                          emfRec(18, Bytes().u32(1)), emfRec(84, text)});
  const auto meta = gdi::Metafile::parse(file.span());
  ASSERT_TRUE(meta);
  EXPECT_EQ(meta->kind(), gdi::Metafile::Emf);
  EXPECT_EQ(meta->sizeHimetric(), QSizeF(10000, 5000));
  const QImage img = meta->render(QSize(100, 50));
  EXPECT_EQ(img.pixel(25, 10), kBlue);  // window 100 x 50 onto the 1000 x 500 device
  EXPECT_EQ(img.pixel(75, 10), kRed);
  EXPECT_EQ(img.pixel(50, 45), 0u);  // untouched: transparent
  int textPixels = 0;
  for (int y = 30; y < 50; ++y)
    for (int x = 10; x < 40; ++x) textPixels += img.pixel(x, y) == kRed;
  EXPECT_GT(textPixels, 10);
}

TEST(Metafile, EmfBecomesAPlaceableWmfOfItsOwnAspect) {
  gdi::Screen screen;  // 1920 x 1080 at 15 twips a pixel
  struct Case {
    int w, h, right, bottom;
  };
  for (const Case& c : {Case{19200, 10800, 3840, 2160}, Case{5000, 10000, 1920, 3840}, Case{10000, 10000, 3840, 3840}}) {
    const Bytes file = emf({emfRec(39, Bytes().u32(1).u32(0).u32(0x0000FF).u32(0)), emfRec(37, Bytes().u32(1)),
                            emfRec(43, Bytes().u32(0).u32(0).u32(std::uint32_t(c.w / 20)).u32(std::uint32_t(c.h / 10)))},
                           c.w, c.h);
    const auto out = imaging::emfToPlaceableWmf(file.span(), screen);
    ASSERT_GT(out.size(), 22u) << c.w;
    auto word = [&](std::size_t at) { return out[at] | (out[at + 1] << 8); };
    EXPECT_EQ(std::pair(word(10), word(12)), std::pair(c.right, c.bottom)) << c.w;
    EXPECT_EQ(word(14), 1440);
    EXPECT_EQ(word(20), c.right ^ c.bottom ^ 0x52B1);
    const auto wmfMeta = gdi::Metafile::parse(out);
    ASSERT_TRUE(wmfMeta);
    const QImage img = wmfMeta->render(QSize(40, 40));
    EXPECT_EQ(img.pixel(5, 20), kRed) << c.w;
    EXPECT_EQ(img.pixel(35, 20), kWhite) << c.w;
  }
  EXPECT_EQ(imaging::placeableHeader(3840, 2160)[20] | (imaging::placeableHeader(3840, 2160)[21] << 8), 0x55C1);
  EXPECT_TRUE(imaging::emfToPlaceableWmf(wmf({}).span(), screen).empty());
}
