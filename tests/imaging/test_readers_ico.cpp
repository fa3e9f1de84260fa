// The icon and cursor reader, over files the tests write.
#include <gtest/gtest.h>

#include "byte_builder.h"
#include "readers_ico.h"
#include "screen.h"

using imaging_test::Bytes;

namespace {

// A DIB entry of w x h at 32 or 1 bits: colour rows bottom-up, then the AND mask.
Bytes dibEntry(int w, int h, int bpp, std::uint32_t colour, bool maskSet = false) {
  Bytes b;
  b.u32(40).u32(std::uint32_t(w)).u32(std::uint32_t(2 * h)).u16(1).u16(std::uint16_t(bpp)).zeros(24);
  if (bpp == 1) b.u32(0).u32(0x00FFFFFF);
  const int stride = ((w * bpp + 31) & ~31) / 8, maskStride = ((w + 31) & ~31) / 8;
  for (int y = 0; y < h; ++y) {
    if (bpp == 32)
      for (int x = 0; x < w; ++x) b.u32(colour);
    else
      for (int i = 0; i < stride; ++i) b.u8(colour ? 0xFF : 0);
  }
  for (int i = 0; i < maskStride * h; ++i) b.u8(maskSet ? 0xFF : 0);
  return b;
}

struct Entry {
  Bytes data;
  int dirDepth = 32;
  int hotX = 0, hotY = 0;
};

Bytes iconFile(const std::vector<Entry>& entries, int type = 1) {
  Bytes b;
  b.u16(0).u16(std::uint16_t(type)).u16(std::uint16_t(entries.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
  for (const Entry& e : entries) {
    b.u8(0).u8(0).u8(0).u8(0);
    if (type == 2)
      b.u16(std::uint16_t(e.hotX)).u16(std::uint16_t(e.hotY));
    else
      b.u16(1).u16(std::uint16_t(e.dirDepth));
    b.u32(std::uint32_t(e.data.size())).u32(offset);
    offset += std::uint32_t(e.data.size());
  }
  for (const Entry& e : entries) b.raw(e.data.span());
  return b.pad(56);
}

imaging::ReaderResult read(const Bytes& b, imaging::LoadOptions o = {}) { return imaging::parseIco(b.span(), o); }

}  // namespace

TEST(IcoReader, RefusesABadDirectory) {
  const Bytes good = iconFile({{dibEntry(2, 2, 32, 0xFF112233)}});
  auto patched = [&](std::size_t at, std::uint8_t v) { return Bytes(good).set(at, v); };
  const Bytes entry = dibEntry(2, 2, 32, 1);
  struct Case {
    const char* name;
    Bytes file;
    std::uint32_t flags;
    bool picture;
  };
  const Case cases[] = {
      {"sound", good, 0x3000000, true},
      {"55 bytes", Bytes(good).cut(55), 0, false},
      {"00 01 01 00", patched(1, 1), 0, false},
      {"type 3", patched(2, 3), 0, false},
      {"no entries", patched(4, 0), 0, false},
      {"directory past the end", patched(5, 1), 0, false},
      {"data end past the end", patched(6 + 8 + 1, 0x40), 0, false},
      {"data inside the directory", patched(6 + 12, 6), 0, false},
      {"negative size", patched(6 + 11, 0x80), 0, false},
      {"entry too short for its header", iconFile({{Bytes{{40, 0, 0, 0, 2}}}}), 0x3000000, false},
      {"mask cut off", iconFile({{Bytes(entry).cut(entry.size() - 1)}}), 0x3000000, false},
      {"depth 3", iconFile({{dibEntry(2, 2, 3, 0)}}), 0x3000000, false},
      {"offset + size past 32 bits", Bytes(good).put32(6 + 8, 0x7FFFFFFF).put32(6 + 12, 0x7FFFFFFF), 0, false},
  };
  for (const Case& c : cases) {
    const auto res = read(c.file);
    EXPECT_EQ(res.flags, c.flags) << c.name;
    EXPECT_EQ(!res.image.isNull(), c.picture) << c.name;
  }
  // A depth past 8 bits keeps only its low byte, so it cannot spill into the size of the key.
  EXPECT_EQ(read(iconFile({{Bytes(entry).set(15, 1)}})).props, (imaging::PicProps{{2, 2, 32}}));
}

TEST(IcoReader, ChoosesByIndexSizeAndDepth) {
  const imaging::PicProps entries = {{16, 16, 32}, {32, 32, 8}, {32, 32, 32}, {48, 48, 32}};
  struct Case {
    int index, cx, cy, depth, screenDepth, chosen;
  };
  const Case cases[] = {
      {0, 32, 32, 0, 32, 2}, {0, 32, 32, 0, 8, 1}, {0, 64, 64, 0, 32, 3}, {0, 16, 16, 0, 32, 0},
      {0, 32, 32, 24, 8, 2}, {5, 0, 0, 0, 32, 3},  {2, 0, 0, 0, 32, 1},
  };
  for (const Case& c : cases) {
    int depth = c.depth;
    EXPECT_EQ(imaging::chooseIconEntry(entries, c.index, c.cx, c.cy, depth, c.screenDepth), c.chosen)
        << c.index << " " << c.cx << " " << c.depth << " " << c.screenDepth;
  }

  // Through the file: the entries' own headers give the table, the system metrics the size.
  const Bytes file = iconFile({{dibEntry(16, 16, 32, 0xFF0000FF)}, {dibEntry(32, 32, 32, 0xFF00FF00)},
                               {dibEntry(8, 8, 32, 0xFFFF0000)}});
  imaging::LoadOptions o;
  const auto res = imaging::parseIco(file.span(), o);
  EXPECT_EQ(res.props, (imaging::PicProps{{16, 16, 32}, {32, 32, 32}, {8, 8, 32}}));
  EXPECT_EQ(res.image.size(), QSize(32, 32));
  EXPECT_EQ(res.image.pixel(5, 5), 0xFF00FF00);
  EXPECT_EQ(o.iconDepth, gdi::screen().bitsPerPixel);
  imaging::LoadOptions small;
  small.iconIndex = -1;
  EXPECT_EQ(imaging::parseIco(file.span(), small).image.pixel(0, 0), 0xFF0000FF);
  EXPECT_EQ(small.iconCx, gdi::screen().smallIconWidth);
  imaging::LoadOptions third;
  third.iconIndex = 5;
  EXPECT_EQ(imaging::parseIco(file.span(), third).image.size(), QSize(8, 8));
  EXPECT_EQ(third.iconCx, 0);

  bool aborted = false;
  imaging::LoadOptions ev;
  const auto none = imaging::parseIco(file.span(), ev, [&](imaging::LoadEvent& e) {
    EXPECT_EQ(e.picType, 3);
    aborted = e.abortLoading = true;
  });
  EXPECT_TRUE(aborted);
  EXPECT_EQ(none.flags, 0x3000000u);
  EXPECT_TRUE(none.image.isNull());
}

TEST(IcoReader, MaskAlphaAndPngEntries) {
  imaging::LoadOptions style2;
  style2.manageStyle = 2;
  style2.iconIndex = 1;
  // The AND mask makes pixels transparent when the colours carry no alpha; a white pixel of a
  // 1-bit icon under it would invert the screen and shows black.
  struct Masked {
    const char* name;
    Bytes entry;
    QRgb pixel;
  } maskCases[] = {
      {"32 bits under the mask", dibEntry(2, 2, 32, 0x00112233, true), 0x00112233u},
      {"32 bits clear of it", dibEntry(2, 2, 32, 0x00112233), 0xFF112233u},
      {"1-bit white under the mask", dibEntry(2, 2, 1, 1, true), 0xFF000000u},
      {"1-bit black under the mask", dibEntry(2, 2, 1, 0, true), 0u},
      {"1-bit white clear of it", dibEntry(2, 2, 1, 1), 0xFFFFFFFFu},
  };
  for (const Masked& c : maskCases) {
    const auto res = imaging::parseIco(iconFile({{c.entry}}).span(), style2);
    EXPECT_EQ(res.flags, 0x23000001u) << c.name;
    EXPECT_EQ(res.image.pixel(1, 1), c.pixel) << c.name;
  }
  auto alpha = imaging::parseIco(iconFile({{dibEntry(2, 2, 32, 0x80C02233, true)}}).span(), style2);
  EXPECT_EQ(alpha.flags, 0x23000001u);
  EXPECT_EQ(alpha.image.pixel(0, 0), 0x80C02233u);

  QImage img(3, 5, QImage::Format_ARGB32);
  img.fill(qRgba(1, 2, 3, 200));
  Bytes png;
  png.raw(imaging_test::pngOf(img));
  const Bytes cur = iconFile({{png, 0, 7, 9}}, 2);
  const std::vector<std::uint8_t> before = cur.v;
  imaging::LoadOptions own;
  own.iconIndex = 1;
  const auto res = imaging::parseIco(cur.span(), own);
  EXPECT_EQ(res.flags, 0x25000001u);
  EXPECT_EQ(res.props, (imaging::PicProps{{3, 5, 32}}));  // depth from the colour type
  EXPECT_EQ(res.image.pixel(2, 4), qRgba(1, 2, 3, 200));
  EXPECT_EQ(std::pair(res.hotSpotX, res.hotSpotY), std::pair(7, 9));
  EXPECT_EQ(cur.v, before);
}

// The colours a DIB entry's header counts all lie before its pixels, as in a bitmap file,
// however many the depth can use; the pixels must still fit in the entry.
TEST(IcoReader, CountedColoursLieBeforeThePixels) {
  // 2 x 2 at `bpp` bits counting `used` colours (colour 1 blue 192, the rest 0x7F7F7F7F), every
  // pixel colour 1 at 8 bits or 0xFF112233 at 32 bits, then a clear mask; `cut` bytes short.
  auto entry = [](int bpp, std::uint32_t used, std::size_t cut = 0) {
    Bytes b;
    b.u32(40).u32(2).u32(4).u16(1).u16(std::uint16_t(bpp)).zeros(16).u32(used).u32(0);
    for (std::uint32_t i = 0; i < (used ? used : (bpp <= 8 ? 1u << bpp : 0)); ++i) b.u32(i == 1 ? 0xC0 : 0x7F7F7F7F);
    for (int y = 0; y < 2; ++y) bpp == 8 ? b.u8(1).u8(1).u8(0).u8(0) : b.u32(0xFF112233).u32(0xFF112233);
    b.zeros(8);
    return b.cut(b.size() - cut);
  };
  struct Case {
    const char* name;
    Bytes entry;
    bool picture;
    QRgb pixel;
  } cases[] = {
      {"8 bits, the depth's 256", entry(8, 0), true, 0xFF0000C0u},
      {"8 bits counting 2", entry(8, 2), true, 0xFF0000C0u},
      {"8 bits counting 300", entry(8, 300), true, 0xFF0000C0u},
      {"8 bits counting 300, mask cut short", entry(8, 300, 1), false, 0},
      {"32 bits counting 2", entry(32, 2), true, 0xFF112233u},
      {"32 bits counting 2^32 - 1", entry(32, 0).put32(32, 0xFFFFFFFF), false, 0},
  };
  for (const Case& c : cases) {
    imaging::LoadOptions o;
    o.iconIndex = 1;
    const auto res = imaging::parseIco(iconFile({{c.entry}}).span(), o);
    EXPECT_EQ(res.flags & 0xF000000u, 0x3000000u) << c.name;
    ASSERT_EQ(!res.image.isNull(), c.picture) << c.name;
    if (c.picture) EXPECT_EQ(res.image.pixel(1, 1), c.pixel) << c.name;
  }
}
