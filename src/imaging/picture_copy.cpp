#include "picture_copy.h"

#include <array>
#include <cstring>

#include "dib.h"
#include "graphics.h"
#include "readers_common.h"

namespace imaging {

QRgb systemColor(int index) {
  static constexpr std::array<QRgb, 31> kScheme = {
      0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000, 0x000000, 0x000000, 0xB4B4B4,
      0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0, 0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969,
      0xE3E3E3, 0x000000, 0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
  return 0xFF000000u | (index >= 0 && index < int(kScheme.size()) ? kScheme[std::size_t(index)] : 0);
}

QRgb oleColorToRgb(std::uint32_t color) {
  if (color & 0x80000000u) return systemColor(int(color & 0xFF));
  return qRgb(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

PictureCopy pictureToArgb(const PictureSource& src, int& width, int& height, const PictureCopyOptions& options) {
  PictureCopy out;
  const bool metafile = bool(src.render);
  const QSize natural = metafile ? src.natural : src.image.size();
  if (!metafile && src.image.isNull()) return out;
  if (width < 1 && height < 1) {
    width = natural.width();
    height = natural.height();
  } else if (width < 1) {
    width = natural.width();
  } else if (height < 1) {
    height = natural.height();
  }
  if (!gdi::dibSizeAllowed(width, height)) return out;

  QImage canvas(width, height, QImage::Format_ARGB32_Premultiplied);
  if (canvas.isNull()) return out;
  bool transparent = metafile || (src.flags & kAlphaKindMask);
  canvas.fill(options.fillTransparency ? oleColorToRgb(options.fillTransparencyColor) : 0u);
  if (options.fillTransparency) transparent = false;
  {
    QPainter p(&canvas);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    if (metafile) {
      src.render(p, QRectF(0, 0, width, height));
    } else {
      QImage img = src.image.convertToFormat(QImage::Format_ARGB32);
      if (!(src.flags & kAlphaKindMask)) {
        img = img.convertToFormat(QImage::Format_RGB32);  // the alpha byte means nothing
      } else if (!(src.flags & 0x20000000)) {
        img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
      }
      // An opaque source is drawn with its edges mirrored beyond it, so that they are not
      // blended with emptiness; a transparent one keeps its own edges as they are.
      gdiplus::ImageAttributes mirrored;
      mirrored.wrapMode = gdiplus::WrapModeTileFlipXY;
      gdiplus::drawPixels(p, img, QRect(0, 0, width, height), img.rect(), gdiplus::InterpolationModeHighQualityBicubic,
                          (src.flags & kAlphaKindMask) ? nullptr : &mirrored);
    }
  }

  if (options.returnAsIcon) {
    // Icon resources carry straight alpha.
    const QImage straight = canvas.convertToFormat(QImage::Format_ARGB32);
    const std::size_t maskStride = std::size_t(((width + 31) & ~31) / 8);
    std::vector<std::uint8_t>& r = out.iconResource;
    r.assign(40, 0);
    const std::uint32_t header[4] = {40, std::uint32_t(width), std::uint32_t(height) * 2, 0x00200001};
    std::memcpy(r.data(), header, sizeof header);
    for (int y = height - 1; y >= 0; --y)
      r.insert(r.end(), straight.constScanLine(y), straight.constScanLine(y) + std::size_t(width) * 4);
    r.resize(r.size() + maskStride * std::size_t(height), 0);
    out.image = straight;
    out.flags = kTypeIcon;
    return out;
  }

  out.flags = kTypeBitmap;
  if (!transparent) {
    out.image = canvas.convertToFormat(QImage::Format_ARGB32);
    return out;
  }
  if (options.bmpAlphaTypeAsPargb) {
    out.flags = 0x41000001;
    out.image = canvas;
    return out;
  }
  // The canvas is premultiplied by construction; clamp all the same so no channel wraps.
  for (int y = 0; y < height; ++y) {
    auto* px = reinterpret_cast<std::uint32_t*>(canvas.scanLine(y));
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = px[x], a = p >> 24;
      if (a == 0 || a == 255 || (p & 0xFFFFFF) == 0) continue;
      auto ch = [&](int sh) { return std::min<std::uint32_t>(255, ((p >> sh) & 0xFF) * 255 / a); };
      px[x] = (a << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
    }
  }
  canvas.reinterpretAsFormat(QImage::Format_ARGB32);
  out.flags |= kAlphaStraight;
  out.image = canvas;
  return out;
}

}  // namespace imaging
