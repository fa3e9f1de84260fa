#include "icon.h"

#include <cstring>
#include <memory>

#include "decoders.h"
#include "ico_decode.h"

namespace gdi {
namespace {

std::shared_ptr<Dib> copyDib(const Dib& src, int bitCount = 0) {
  auto d = Dib::create(src.width(), src.height(), bitCount ? bitCount : src.bitCount(), src.palette());
  if (!d) return nullptr;
  if (!bitCount || bitCount == src.bitCount())
    std::memcpy(d->bits(), src.bits(), std::size_t(src.sizeImage()));
  else
    d->fromImage(src.toImage());
  return d;
}

std::shared_ptr<Dib> monoMask(int w, int h) { return Dib::create(w, h, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}); }

// Scales an icon's image to w x h and builds the icon again.
Handle scaledIcon(const Icon& icon, int w, int h) {
  QImage img = icon.toImage();
  if (img.isNull()) return 0;
  if (w > 0 && h > 0 && (w != img.width() || h != img.height()))
    img = img.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return iconFromImage(img, icon.isIcon, icon.hotX, icon.hotY);
}

}  // namespace

int Icon::width() const { return colour ? colour->width() : mask ? mask->width() : 0; }
int Icon::height() const { return colour ? colour->absHeight() : mask ? mask->absHeight() / 2 : 0; }

QImage Icon::toImage() const {
  if (!mask) return {};
  const int w = width(), h = height();
  QImage out(w, h, QImage::Format_ARGB32);
  if (out.isNull()) return out;
  bool alpha = false;
  const bool mono = !colour || colour->bitCount() == 1;
  if (colour && colour->bitCount() == 32)
    for (int y = 0; y < h && !alpha; ++y)
      for (int x = 0; x < w && !alpha; ++x) alpha = qAlpha(colour->pixel(x, y)) != 0;
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      if (alpha) {
        line[x] = colour->pixel(x, y);
        continue;
      }
      const bool see = (mask->pixel(x, y) & 0xFFFFFF) != 0;
      const QRgb c = colour ? colour->pixel(x, y) : mask->pixel(x, y + h);
      // A white pixel under the mask would invert the screen; a picture shows it black.
      if (see)
        line[x] = mono && (c & 0xFFFFFF) == 0xFFFFFF ? 0xFF000000u : qRgba(0, 0, 0, 0);
      else
        line[x] = c | 0xFF000000u;
    }
  }
  return out;
}

Handle iconFromImage(const QImage& argb, bool isIcon, int hotX, int hotY) {
  if (argb.isNull()) return 0;
  const QImage img = argb.convertToFormat(QImage::Format_ARGB32);
  auto icon = std::make_shared<Icon>();
  icon->colour = Dib::create(img.width(), img.height(), 32);
  icon->mask = monoMask(img.width(), img.height());
  if (!icon->colour || !icon->mask) return 0;
  for (int y = 0; y < img.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      icon->colour->setPixel(x, y, line[x]);
      icon->mask->setPixel(x, y, qAlpha(line[x]) == 0 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    }
  }
  icon->isIcon = isIcon;
  icon->hotX = hotX;
  icon->hotY = hotY;
  return addObject(icon);
}

Handle createIconIndirect(const IconInfo& info) {
  auto mask = find<Dib>(info.hbmMask);
  if (!mask) return 0;
  auto icon = std::make_shared<Icon>();
  icon->mask = copyDib(*mask);
  if (auto c = find<Dib>(info.hbmColor)) icon->colour = copyDib(*c);
  if (!icon->mask || (info.hbmColor && !icon->colour)) return 0;
  icon->isIcon = info.fIcon;
  icon->hotX = info.xHotspot;
  icon->hotY = info.yHotspot;
  return addObject(icon);
}

bool getIconInfo(Handle h, IconInfo& info) {
  auto icon = find<Icon>(h);
  if (!icon || !icon->mask) return false;
  info = IconInfo{};
  info.fIcon = icon->isIcon;
  info.xHotspot = icon->hotX;
  info.yHotspot = icon->hotY;
  info.hbmMask = addObject(copyDib(*icon->mask));
  if (icon->colour) info.hbmColor = addObject(copyDib(*icon->colour));
  return info.hbmMask != 0;
}

bool destroyIcon(Handle h) { return find<Icon>(h) && removeObject(h); }

Handle createIconFromResourceEx(const std::uint8_t* data, std::size_t size, bool isIcon, int width, int height) {
  if (!data || size < 40) return 0;
  QImage img;
  if (std::memcmp(data, "\x89PNG", 4) == 0) {
    // The one PNG decoder, with the limits every picture read shares.
    std::unique_ptr<gdiplus::Image> png;
    if (gdiplus::loadImageFromBytes(data, size, png) != gdiplus::Status::Ok) return 0;
    img = png->pixels().convertToFormat(QImage::Format_ARGB32);
  } else {
    IconDib dib;
    if (!decodeIconDib(ByteSpan(data, size), dib)) return 0;
    img = iconPixels(dib);
  }
  if (img.isNull()) return 0;
  if (width > 0 && height > 0 && (width != img.width() || height != img.height()))
    img = img.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return iconFromImage(img, isIcon);
}

Handle copyImage(Handle h, int type, int cx, int cy, unsigned flags) {
  if (type == IMAGE_ICON) {
    auto icon = find<Icon>(h);
    return icon ? scaledIcon(*icon, cx, cy) : 0;
  }
  if (type != IMAGE_BITMAP) return 0;
  auto src = find<Dib>(h);
  if (!src) return 0;
  const int w = cx > 0 ? cx : src->width(), hh = cy > 0 ? cy : src->absHeight();
  std::shared_ptr<Dib> d;
  if (w == src->width() && hh == src->absHeight()) {
    d = Dib::create(w, src->absHeight(), src->bitCount(), src->palette(), (flags & LR_CREATEDIBSECTION) != 0);
    if (!d) return 0;
    for (int y = 0; y < hh; ++y) std::memcpy(d->scanLine(y), src->scanLine(y), std::size_t(src->stride()));
  } else {
    d = Dib::create(w, hh, src->bitCount(), src->palette(), (flags & LR_CREATEDIBSECTION) != 0);
    if (!d || !d->fromImage(src->toImage().scaled(w, hh))) return 0;
  }
  return addObject(d);
}

}  // namespace gdi
