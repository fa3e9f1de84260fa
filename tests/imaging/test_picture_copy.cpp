// A picture copied at a size: the size rules, the canvas limits, alpha kept straight or
// premultiplied, metafiles over a transparent or filled canvas, icons.
#include <gtest/gtest.h>

#include "graphics.h"
#include "picture_copy.h"

namespace {

QImage onePixel(QRgb p, int w = 1, int h = 1) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(p);
  return img;
}

imaging::PictureSource metafile(QColor c) {
  imaging::PictureSource s;
  s.natural = QSize(40, 20);
  s.render = [c](QPainter& p, const QRectF& r) { p.fillRect(QRectF(r.x(), r.y(), r.width() / 2, r.height()), c); };
  return s;
}

}  // namespace

TEST(PictureCopy, SizesAndCanvasLimits) {
  struct Case {
    int w, h, outW, outH;
    bool made;
  };
  const Case cases[] = {{0, 0, 40, 20, true},   {32, 0, 32, 20, true},        {0, -5, 40, 20, true},
                        {7, 9, 7, 9, true},     {40000, 1, 40000, 1, false},  {30000, 30000, 30000, 30000, false}};
  imaging::PictureSource s{onePixel(0xFF102030, 40, 20), 0x1000000};
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    const auto res = imaging::pictureToArgb(s, w, h, {});
    EXPECT_EQ(std::pair(w, h), std::pair(c.outW, c.outH)) << c.w << "x" << c.h;
    EXPECT_EQ(res.flags != 0, c.made) << c.w << "x" << c.h;
    if (c.made) EXPECT_EQ(res.image.pixel(c.outW - 1, c.outH - 1), 0xFF102030u);  // edges keep their colour
  }
}

TEST(PictureCopy, AlphaComesOutStraightOnceOrPremultiplied) {
  struct Case {
    const char* name;
    imaging::PictureSource source;
    bool pargb;
    std::uint32_t flags;
    QRgb pixel;  // as stored
  };
  const Case cases[] = {
      {"premultiplied, truncated", {onePixel(0x80400000), 0x41000001}, false, 0x21000001, 0x807F0000},
      {"premultiplied kept", {onePixel(0x80400000), 0x41000001}, true, 0x41000001, 0x80400000},
      {"straight, not inflated", {onePixel(0x80C80000), 0x21000001}, false, 0x21000001, 0x80C70000},
      {"no alpha kind: opaque", {onePixel(0x00C80000), 0x1000000}, false, 0x1000000, 0xFFC80000},
      {"metafile drawing half transparent", metafile(QColor(200, 0, 0, 128)), false, 0x21000001, 0x80C70000},
  };
  for (const Case& c : cases) {
    int w = 0, h = 0;
    imaging::PictureCopyOptions o;
    o.bmpAlphaTypeAsPargb = c.pargb;
    const auto res = imaging::pictureToArgb(c.source, w, h, o);
    EXPECT_EQ(res.flags, c.flags) << c.name;
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(res.image.constBits())[0], c.pixel) << c.name;
  }
}

TEST(PictureCopy, MetafileBackgroundAndIcon) {
  int w = 0, h = 0;
  const auto clear = imaging::pictureToArgb(metafile(Qt::blue), w, h, {});
  EXPECT_EQ(clear.flags, 0x21000001u);
  EXPECT_EQ(clear.image.pixel(0, 0), 0xFF0000FFu);
  EXPECT_EQ(clear.image.pixel(39, 0), 0u);
  imaging::PictureCopyOptions fill;
  fill.fillTransparency = true;
  fill.fillTransparencyColor = 0x80000005;  // the window colour
  const auto filled = imaging::pictureToArgb(metafile(Qt::blue), w, h, fill);
  EXPECT_EQ(filled.flags, 0x1000000u);
  EXPECT_EQ(filled.image.pixel(39, 0), 0xFFFFFFFFu);

  imaging::PictureCopyOptions icon;
  icon.returnAsIcon = true;
  int iw = 3, ih = 2;
  const auto res = imaging::pictureToArgb({onePixel(0xFF010203)}, iw, ih, icon);
  EXPECT_EQ(res.flags, 0x3000000u);
  ASSERT_EQ(res.iconResource.size(), 40u + 3 * 4 * 2 + 4 * 2);
  const std::uint32_t* header = reinterpret_cast<const std::uint32_t*>(res.iconResource.data());
  EXPECT_EQ(header[1], 3u);
  EXPECT_EQ(header[2], 4u);
  EXPECT_EQ(header[3], 0x00200001u);
  EXPECT_EQ(header[10], 0xFF010203u);
}

namespace {

// Top row red, green; bottom row blue, white.
QImage fourColours() {
  QImage img(2, 2, QImage::Format_ARGB32);
  img.setPixel(0, 0, 0xFFFF0000);
  img.setPixel(1, 0, 0xFF00FF00);
  img.setPixel(0, 1, 0xFF0000FF);
  img.setPixel(1, 1, 0xFFFFFFFF);
  return img;
}

}  // namespace

// What an interpolated drawing samples beyond the source's edges: the wrap mode's tiles or
// mirror images, or with Clamp emptiness. The top-left corner of the drawing shows it.
TEST(GdiplusDrawing, WrapModeDecidesWhatTheEdgesSample) {
  struct Case {
    const char* name;
    int wrap;  // -1: no attributes
    int size, mode;
    bool green, blue, opaque;  // the corner mixes in green (the tile to its left), blue (above)
  } cases[] = {
      {"tile", gdiplus::WrapModeTile, 8, 7, true, true, true},
      {"flip x", gdiplus::WrapModeTileFlipX, 8, 7, false, true, true},
      {"flip y", gdiplus::WrapModeTileFlipY, 8, 7, true, false, true},
      {"flip xy", gdiplus::WrapModeTileFlipXY, 8, 7, false, false, true},
      {"clamp", gdiplus::WrapModeClamp, 8, 7, false, false, false},
      {"clamp, bilinear", gdiplus::WrapModeClamp, 8, 3, false, false, false},
      {"clamp at the source's size", gdiplus::WrapModeClamp, 2, 7, false, false, true},
      {"clamp, nearest neighbour", gdiplus::WrapModeClamp, 8, 5, false, false, true},
      {"no attributes", -1, 8, 7, false, false, true},
  };
  for (const Case& c : cases) {
    QImage canvas(c.size, c.size, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(0u);
    gdiplus::ImageAttributes attributes;
    attributes.wrapMode = c.wrap;
    {
      QPainter p(&canvas);
      ASSERT_EQ(gdiplus::drawPixels(p, fourColours(), QRect(0, 0, c.size, c.size), QRect(0, 0, 2, 2), c.mode,
                                    c.wrap < 0 ? nullptr : &attributes),
                gdiplus::Status::Ok)
          << c.name;
    }
    const QRgb corner = canvas.pixel(0, 0);
    EXPECT_EQ(qGreen(corner) > 20, c.green) << c.name << std::hex << " " << corner;
    EXPECT_EQ(qBlue(corner) > 20, c.blue) << c.name << std::hex << " " << corner;
    EXPECT_EQ(qAlpha(corner) == 255, c.opaque) << c.name << std::hex << " " << corner;
  }
}

// An opaque picture copied at another size keeps opaque edges of its own colours; a
// transparent one keeps its edges as they are.
TEST(PictureCopy, EdgesOfAnOpaquePictureAreNotBlendedWithEmptiness) {
  struct Case {
    int w, h;
  } cases[] = {{8, 8}, {12, 5}, {3, 3}, {1, 1}};
  for (const Case& c : cases) {
    int w = c.w, h = c.h;
    const auto res = imaging::pictureToArgb({fourColours(), 0x1000000}, w, h, {});
    ASSERT_EQ(res.flags, 0x1000000u) << c.w << "x" << c.h;
    for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1)})
      EXPECT_EQ(qAlpha(res.image.pixel(corner)), 255) << c.w << "x" << c.h << " " << corner.x() << "," << corner.y();
    if (w >= 4 && h >= 4) {
      EXPECT_EQ(res.image.pixel(0, 0), 0xFFFF0000u) << c.w << "x" << c.h;
      EXPECT_EQ(res.image.pixel(w - 1, h - 1), 0xFFFFFFFFu) << c.w << "x" << c.h;
    }
  }
}
