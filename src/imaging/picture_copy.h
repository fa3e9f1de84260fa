#pragma once
// A picture drawn at a requested pixel size into 32-bit pixels, returned as a bitmap (with
// straight or premultiplied alpha) or as an icon.
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <functional>
#include <vector>

namespace imaging {

struct PictureSource {
  // A raster picture and its flags word (the transparency kind in bits 29-30 tells straight
  // 0x20000000 from premultiplied 0x40000000 pixels; no kind: the alpha byte means nothing).
  QImage image;
  std::uint32_t flags = 0;
  // A metafile instead: draws itself into the rectangle; `natural` is its size in pixels.
  std::function<void(QPainter&, const QRectF&)> render;
  QSize natural;
};

struct PictureCopyOptions {
  bool returnAsIcon = false;
  bool bmpAlphaTypeAsPargb = false;
  bool fillTransparency = false;
  // OLE colour 0x00BBGGRR; with bit 31 set, the system colour numbered by the low byte.
  std::uint32_t fillTransparencyColor = 0;
};

struct PictureCopy {
  // 0 on failure; else 0x1000000 (bitmap) or 0x3000000 (icon), with 0x20000001 (straight) or
  // 0x41000001 (premultiplied) when the copy has transparency.
  std::uint32_t flags = 0;
  QImage image;  // Format_ARGB32, or Format_ARGB32_Premultiplied when the flags say so
  // For an icon: the icon resource (40-byte header with the height doubled, 32-bit pixels
  // bottom-up, an AND mask of zeros).
  std::vector<std::uint8_t> iconResource;
};

// Sizes below 1 take the picture's own (each side on its own). The canvas is refused
// (flags 0) beyond the bitmap limits of gdi::kMaxDibSide and gdi::kMaxDibBytes.
PictureCopy pictureToArgb(const PictureSource& source, int& width, int& height, const PictureCopyOptions& options);

// The system colour `index` as 0xAARRGGBB (opaque), with the platform's default scheme.
QRgb systemColor(int index);
// An OLE colour (0x00BBGGRR, or a system colour with bit 31) as opaque 0xAARRGGBB.
QRgb oleColorToRgb(std::uint32_t color);

}  // namespace imaging
