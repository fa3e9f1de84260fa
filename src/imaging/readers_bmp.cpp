#include "readers_bmp.h"

#include <cmath>

#include "bmp_decode.h"
#include "readers_alpha.h"
#include "readers_png.h"

namespace imaging {
namespace {

std::int32_t roundHalfEven(double v) { return std::int32_t(std::nearbyint(v)); }

// Alpha as the analysis found it: none makes the picture opaque, premultiplied says so in
// the image format.
void applyAlphaKind(QImage& img, std::uint32_t flags) {
  const int kind = transparencyKind(flags);
  if (kind == 0) {
    for (int y = 0; y < img.height(); ++y) {
      auto* p = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x) p[x] |= 0xFF000000u;
    }
  } else if (!(flags & 0x20000000)) {
    img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
  }
}

ReaderResult readEmbedded(Bytes src, std::uint64_t start, std::uint64_t imageSize, LoadOptions& options,
                          const LoadEventHandler& onLoad) {
  ReaderResult res;
  res.flags = kTypeBitmap;
  const Bytes embedded = src.subspan(start, imageSize);
  const bool png = imageSize >= 8 && embedded[0] == 0x89 && embedded[1] == 'P';
  QImage img;
  if (png) {
    img = decodePng(embedded);
  } else if (imageSize >= 2 && embedded[0] == 0xFF && embedded[1] == 0xD8) {
    img = decodeJpeg(embedded);
  }
  if (img.isNull()) return res;
  res.props = {{img.width(), img.height(), 0}};
  if (!png) {
    if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
    applyAlphaKind(img, 0);
    res.image = img;
    return res;
  }
  res.flags = analyzeAlpha(img) | kTypeBitmap;
  res.props[0][2] = transparencyKind(res.flags);
  if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
  // The decoded PNG is straight ARGB. With alpha the picture takes the pixels in the form
  // the analysis names (premultiplied ones multiplied out, as the alpha conversion locks
  // them); without, they are flattened.
  if (res.flags & 0x40000000) {
    img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  } else if (!(res.flags & kAlphaKindMask)) {
    // No usable alpha: drawn over opaque white.
    QImage white(img.size(), QImage::Format_ARGB32);
    white.fill(0xFFFFFFFFu);
    for (int y = 0; y < img.height(); ++y) {
      const auto* s = reinterpret_cast<const std::uint32_t*>(img.constScanLine(y));
      auto* d = reinterpret_cast<std::uint32_t*>(white.scanLine(y));
      for (int x = 0; x < img.width(); ++x) {
        const std::uint32_t a = s[x] >> 24, ia = 255 - a;
        auto ch = [&](int sh) { return (((s[x] >> sh) & 0xFF) * a + 255 * ia + 127) / 255; };
        d[x] = 0xFF000000u | (ch(16) << 16) | (ch(8) << 8) | ch(0);
      }
    }
    img = white;
  }
  res.image = img;
  return res;
}

}  // namespace

ReaderResult parseBmp(Bytes src, LoadOptions& options, const LoadEventHandler& onLoad) {
  const gdi::BmpHeaders h = gdi::readBmpHeaders(src);
  if (h.pixelsPerMetreX > 0) options.imageDpi = roundHalfEven(h.pixelsPerMetreX * 0.0254);
  ReaderResult res;
  switch (h.verdict) {
    case gdi::BmpHeaders::NotBitmap:
      return res;
    case gdi::BmpHeaders::Embedded:
      return readEmbedded(src, h.embeddedOffset, h.embeddedSize, options, onLoad);
    case gdi::BmpHeaders::NoPicture:
      res.flags = kTypeBitmap;
      return res;
    case gdi::BmpHeaders::Pixels:
      break;
  }
  res.flags = kTypeBitmap;
  if (h.headerSize == 12) {
    // A core header raises the event before its pixels are read.
    res.props = {{h.width, h.height, 0}};
    if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
    res.image = gdi::decodeDib(src, h.layout);
    return res;
  }
  QImage img = gdi::decodeDib(src, h.layout);
  if (img.isNull()) return res;
  // A 40-byte header goes to the picture loader, which keeps the source itself.
  if (h.headerSize != 40 && options.keepOriginalFormat) res.flags |= kSourceKept;
  if (h.bitCount == 32) res.flags |= analyzeAlpha(img);
  res.props = {{h.width, h.height, transparencyKind(res.flags)}};
  if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
  if (h.bitCount == 32) applyAlphaKind(img, res.flags);
  res.image = std::move(img);
  return res;
}

}  // namespace imaging
