// The bitmap file reader and the alpha analysis, over files the tests write.
#include <gtest/gtest.h>

#include "byte_builder.h"
#include "readers_alpha.h"
#include "readers_bmp.h"

using imaging_test::bmpFile;
using imaging_test::Bytes;

namespace {

imaging::ReaderResult read(const Bytes& b, imaging::LoadOptions* o = nullptr, const imaging::LoadEventHandler& ev = {}) {
  imaging::LoadOptions local;
  return imaging::parseBmp(b.span(), o ? *o : local, ev);
}

// Two rows of 2 x 24-bit pixels: bottom row blue, red; top row green, white (rows padded to 8).
const std::vector<std::uint8_t> kPixels24 = {255, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 255, 255, 255, 0, 0};

}  // namespace

TEST(BmpReader, RefusesOrTakesByLengthAndHeader) {
  struct Case {
    const char* name;
    Bytes file;
    std::uint32_t flags;
    bool picture;
  };
  const Bytes core = bmpFile(12, 2, 2, 24, 0, kPixels24), info = bmpFile(40, 2, 2, 24, 0, kPixels24);
  const std::uint8_t jpegTail[4] = {0xFF, 0xD8, 0xFF, 0xD9};
  const Case cases[] = {
      {"1 byte", Bytes().text("B"), 0, false},
      {"15 bytes", Bytes().text("BM").zeros(13), 0, false},
      {"16 bytes", Bytes().text("BM").zeros(12).u16(12), 0, false},
      {"17 bytes: no room for the header size", Bytes().text("BM").zeros(15), 0, false},
      {"18 bytes: a header size, no header", Bytes().text("BM").zeros(12).u32(12), 0, false},
      {"not BM", Bytes(info).set(1, 'A'), 0, false},
      {"core", core, 0x1000000, true},
      {"core cut short", Bytes(core).cut(core.size() - 1), 0, false},
      {"info", info, 0x1000000, true},
      {"info cut short", Bytes(info).cut(info.size() - 1), 0x1000000, false},
      {"planes 2", Bytes(info).set(26, 2), 0, false},
      {"header 13", bmpFile(13, 2, 2, 24, 0, kPixels24), 0, false},
      {"header 125", bmpFile(125, 2, 2, 24, 0, kPixels24), 0, false},
      {"header past the end", bmpFile(124, 2, 2, 24, 0, kPixels24).cut(100), 0, false},
      {"bit count 33", bmpFile(40, 2, 2, 33, 0, kPixels24), 0, false},
      {"bit count 2", bmpFile(40, 2, 2, 2, 0, kPixels24), 0, false},
      {"24 bits RLE8", bmpFile(40, 2, 2, 24, 1, kPixels24), 0, false},
      {"24 bits compression 6", bmpFile(40, 2, 2, 24, 6, kPixels24), 0, false},
      {"24 bits JPEG-compressed", bmpFile(40, 2, 2, 24, 4, kPixels24), 0x1000000, false},
      {"bit count 0 uncompressed", bmpFile(40, 2, 2, 0, 0, kPixels24), 0, false},
      {"embedded image of size 0", bmpFile(40, 2, 2, 0, 4, jpegTail, 0, 0, 0), 0x1000000, false},
      {"embedded image past the end", bmpFile(40, 2, 2, 0, 4, jpegTail, 0, 0, 5), 0x1000000, false},
      {"absurd size", bmpFile(40, 0x7FFFFFFF, -0x7FFFFFFF - 1, 32, 0, kPixels24), 0x1000000, false},
      {"width 0", bmpFile(40, 0, 2, 24, 0, {}), 0x1000000, false},
      {"palette count past the end", bmpFile(40, 2, 2, 8, 0, kPixels24, 0, 0xFFFFFFFF), 0x1000000, false},
      {"300 colours for 8 bits, pixels cut short", bmpFile(40, 2, 2, 8, 0, Bytes().zeros(4 * 300 + 7).span(), 0, 300),
       0x1000000, false},
  };
  for (const Case& c : cases) {
    const auto res = read(c.file);
    EXPECT_EQ(res.flags, c.flags) << c.name;
    EXPECT_EQ(!res.image.isNull(), c.picture) << c.name;
  }
}

TEST(BmpReader, DecodesEveryDepthAndHeaderTheSame) {
  const QRgb blue = 0xFF0000FF, red = 0xFFFF0000, green = 0xFF00FF00, white = 0xFFFFFFFF;
  // The same 2 x 2 picture in several depths: top row green, white; bottom row blue, red.
  const std::vector<std::uint8_t> pal4 = {255, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 255, 255, 0};
  const Bytes pal8 = Bytes().raw(pal4).zeros(4 * 252).raw(std::vector<std::uint8_t>{0, 1, 0, 0, 2, 3, 0, 0});
  // More colours counted than 8 bits can use: the pixels lie behind all of them.
  const Bytes pal300 = Bytes().raw(pal4).zeros(4 * 296).raw(std::vector<std::uint8_t>{0, 1, 0, 0, 2, 3, 0, 0});
  const Bytes pal4File = Bytes().raw(pal4).raw(std::vector<std::uint8_t>{0x01, 0, 0, 0, 0x23, 0, 0, 0});
  const Bytes rgb555 = Bytes().u16(0x001F).u16(0x7C00).u16(0x03E0).u16(0x7FFF);  // 5-5-5 as stored by default
  const Bytes pixels565 = Bytes().u16(0x001F).u16(0xF800).u16(0x07E0).u16(0xFFFF);
  // Bit fields after a 40-byte header: masks at 54, pixels at 66.
  const Bytes rgb565 = Bytes().u32(0xF800).u32(0x07E0).u32(0x001F).raw(pixels565.span());
  const Bytes argb32 = Bytes().u32(0xFF).u32(0xFF0000).u32(0xFF00).u32(0xFFFFFF);
  const Bytes rle8 =
      Bytes().raw(pal4).zeros(4 * 252).raw(std::vector<std::uint8_t>{1, 0, 1, 1, 0, 0, 1, 2, 1, 3, 0, 0, 0, 1});
  const Bytes rle4 = Bytes().raw(pal4).raw(std::vector<std::uint8_t>{2, 0x01, 0, 0, 2, 0x23, 0, 1});
  // Masks inside a 56-byte header: nothing is added behind it.
  const Bytes in56 =
      bmpFile(56, 2, 2, 16, 3, pixels565.span()).put32(54, 0xF800).put32(58, 0x07E0).put32(62, 0x001F);
  const std::vector<std::uint8_t> topDown = {0, 255, 0, 255, 255, 255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0};
  const std::pair<const char*, Bytes> cases[] = {
      {"core 24", bmpFile(12, 2, 2, 24, 0, kPixels24)},
      {"info 24", bmpFile(40, 2, 2, 24, 0, kPixels24)},
      {"v4 24", bmpFile(108, 2, 2, 24, 0, kPixels24)},
      {"v5 24", bmpFile(124, 2, 2, 24, 0, kPixels24)},
      {"os/2 16-byte header", bmpFile(16, 2, 2, 24, 0, kPixels24)},
      {"top-down", bmpFile(40, 2, -2, 24, 0, topDown)},
      {"4 bits", bmpFile(40, 2, 2, 4, 0, pal4File.span(), 0, 4)},
      {"8 bits, 256 colours", bmpFile(40, 2, 2, 8, 0, pal8.span())},
      {"8 bits, 300 colours", bmpFile(40, 2, 2, 8, 0, pal300.span(), 0, 300)},
      {"5-5-5", bmpFile(40, 2, 2, 16, 0, rgb555.span())},
      {"bit fields 5-6-5", bmpFile(40, 2, 2, 16, 3, rgb565.span())},
      {"bit fields in a 56-byte header", in56},
      {"32 bits, alpha all 0", bmpFile(40, 2, 2, 32, 0, argb32.span())},
      {"RLE8", bmpFile(40, 2, 2, 8, 1, rle8.span(), 0, 0, 14)},
      {"RLE4", bmpFile(40, 2, 2, 4, 2, rle4.span(), 0, 4, 8)},
  };
  for (const auto& [name, file] : cases) {
    const auto res = read(file);
    ASSERT_EQ(res.image.size(), QSize(2, 2)) << name;
    const std::vector<QRgb> pixels = {res.image.pixel(0, 0), res.image.pixel(1, 0), res.image.pixel(0, 1),
                                      res.image.pixel(1, 1)};
    EXPECT_EQ(pixels, (std::vector<QRgb>{green, white, blue, red})) << name;
  }
  EXPECT_EQ(read(bmpFile(40, 2, -2, 24, 0, topDown)).props, (imaging::PicProps{{2, -2, 0}}));
}

TEST(BmpReader, KeepsSourceFlagDpiAndLoadEvent) {
  imaging::LoadOptions o;
  o.keepOriginalFormat = true;
  o.imageDpi = 72;
  EXPECT_EQ(read(bmpFile(40, 2, 2, 24, 0, kPixels24), &o).flags, 0x1000000u);  // the loader keeps it itself
  EXPECT_EQ(o.imageDpi, 72);
  EXPECT_EQ(read(bmpFile(108, 2, 2, 24, 0, kPixels24, 3780), &o).flags, 0x1000400u);
  EXPECT_EQ(o.imageDpi, 96);

  int raised = 0;
  const auto res = read(bmpFile(40, 2, 2, 24, 0, kPixels24), &o, [&](imaging::LoadEvent& ev) {
    ++raised;
    EXPECT_EQ(ev.picType, 1);
    EXPECT_EQ(ev.props, (imaging::PicProps{{2, 2, 0}}));
    ev.options.manageStyle = 2;
    ev.abortLoading = true;
  });
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(res.flags, 0x1000000u);
  EXPECT_TRUE(res.image.isNull());
  EXPECT_EQ(o.manageStyle, 2);
}

TEST(BmpReader, RunLengthStreamsStayInsideTheirBounds) {
  const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
      {"run past the row", {255, 1, 255, 1, 0, 1}},
      {"delta past the picture", {0, 2, 255, 255, 5, 1, 0, 1}},
      {"absolute run cut short", {0, 200, 1, 2}},
      {"delta cut short", {0, 2, 1}},
      {"no end of bitmap", {0, 0, 0, 0, 0, 0, 0, 0, 3, 1}},
  };
  for (const auto& [name, stream] : cases) {
    const auto size = std::uint32_t(stream.size());
    const auto res = read(bmpFile(40, 3, 2, 8, 1, Bytes().zeros(8).raw(stream).span(), 0, 2, size));
    EXPECT_EQ(res.flags, 0x1000000u) << name;
    EXPECT_EQ(res.image.size(), QSize(3, 2)) << name;
  }
}

TEST(BmpReader, AlphaOfThirtyTwoBitsAndEmbeddedPng) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> pixels;
    std::uint32_t flags;
    QImage::Format format;
  };
  const Case cases[] = {
      {"alpha all 0: opaque", {0x00102030, 0x00405060}, 0x1000000, QImage::Format_ARGB32},
      {"clear black and opaque", {0x00000000, 0xFF405060}, 0x21000001, QImage::Format_ARGB32},
      {"alpha 128 over red 200", {0x80C80000, 0xFF000000}, 0x21000001, QImage::Format_ARGB32},
      {"alpha 128, colours within", {0x80808080, 0xFF000000}, 0x41000001, QImage::Format_ARGB32_Premultiplied},
  };
  for (const Case& c : cases) {
    Bytes px;
    for (auto p : c.pixels) px.u32(p);
    const auto res = read(bmpFile(40, 2, 1, 32, 0, px.span()));
    EXPECT_EQ(res.flags, c.flags) << c.name;
    EXPECT_EQ(res.image.format(), c.format) << c.name;
    EXPECT_EQ(res.props[0][2], int(c.flags >> 29) & 3) << c.name;
    if (c.flags == 0x1000000) EXPECT_EQ(res.image.pixel(0, 0), 0xFF102030) << c.name;
  }
  QImage img(3, 2, QImage::Format_ARGB32);
  img.fill(qRgba(200, 10, 10, 128));
  const auto res = read(bmpFile(40, 3, 2, 0, 5, imaging_test::pngOf(img), 0, 0,
                                std::uint32_t(imaging_test::pngOf(img).size())));
  EXPECT_EQ(res.flags, 0x21000001u);
  EXPECT_EQ(res.props, (imaging::PicProps{{3, 2, 1}}));
  EXPECT_EQ(res.image.pixel(2, 1), qRgba(200, 10, 10, 128));
  // Colours within their alpha read as premultiplied: the picture holds them multiplied out.
  img.fill(qRgba(100, 20, 10, 128));
  const auto pre =
      read(bmpFile(40, 3, 2, 0, 5, imaging_test::pngOf(img), 0, 0, std::uint32_t(imaging_test::pngOf(img).size())));
  EXPECT_EQ(pre.flags, 0x41000001u);
  ASSERT_EQ(pre.image.format(), QImage::Format_ARGB32_Premultiplied);
  EXPECT_EQ(reinterpret_cast<const QRgb*>(pre.image.constScanLine(1))[2], qRgba(50, 10, 5, 128));
}

// The verdict depends on which pixels come first: only the walk order decides.
TEST(AlphaAnalysis, VerdictFollowsTheFirstDecisivePixel) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> pixels;
    std::uint32_t verdict;
  };
  const Case cases[] = {
      {"empty", {}, 0},
      {"all opaque", {0xFF112233, 0xFF445566}, 0},
      {"all zero", {0, 0, 0}, 0},
      {"zero and opaque", {0, 0xFF010203}, 0x20000001},
      {"opaque and clear colour", {0xFF010203, 0x00010203}, 0},
      {"clear colour, then opaque", {0x00010203, 0xFF010203}, 0x20000001},
      {"partial, then clear colour", {0x80404040, 0x00010203}, 0x20000001},
      {"clear colour, then partial", {0x00010203, 0x80404040}, 0x40000001},
      {"partial within alpha", {0x80808080}, 0x40000001},
      {"partial over its alpha", {0x80810000}, 0x20000001},
      {"a single clear colour", {0x00FFFFFF}, 0},
      {"opaque run, then clear colour", {0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006,
                                         0xFF000007, 0xFF000008, 0x00010203}, 0},
      {"clear colour, then opaque run", {0x00010203, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000005, 0xFF000006,
                                         0xFF000007, 0xFF000008, 0xFF000009}, 0x20000001},
  };
  for (const Case& c : cases) EXPECT_EQ(imaging::analyzeAlpha(c.pixels.data(), c.pixels.size()), c.verdict) << c.name;
  QImage gray(2, 2, QImage::Format_Grayscale8);
  gray.fill(7);
  EXPECT_EQ(imaging::analyzeAlpha(gray), 0u);
}
