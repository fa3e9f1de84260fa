#include "readers_bmp.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "dib.h"
#include "readers_alpha.h"
#include "readers_png.h"

namespace imaging {
namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiJpeg = 4, kBiPng = 5;

std::int64_t strideOf(std::int64_t width, int bitCount) {
  return ((std::max<std::int64_t>(width, 0) * bitCount + 31) & ~std::int64_t(31)) / 8;
}

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
  int shift = 0;
  int bits = 0;
  std::uint32_t max = 0;
  explicit Channel(std::uint32_t mask) {
    if (!mask) return;
    shift = std::countr_zero(mask);
    bits = std::bit_width(mask >> shift);
    max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  }
  std::uint32_t operator()(std::uint32_t v, std::uint32_t mask) const {
    if (!bits) return 0;
    const std::uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return (x >> (bits - 8)) & 0xFF;
    return (x * 255 + max / 2) / max;
  }
};

// The colour table as opaque pixels; indices past its end stay opaque black.
void readPalette(ByteReader& r, const DibLayout& l, std::uint32_t (&lut)[256]) {
  std::fill(std::begin(lut), std::end(lut), 0xFF000000u);
  const std::uint64_t n = std::min<std::uint64_t>(l.paletteCount, 256);
  for (std::uint64_t i = 0; i < n; ++i) {
    const std::uint64_t at = l.paletteOffset + i * std::uint64_t(l.paletteEntryBytes);
    if (!r.has(at, 3)) break;
    const std::uint8_t* p = r.at(at);
    lut[i] = 0xFF000000u | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
  }
}

// Run-length decoding into a canvas prefilled with palette entry 0; skipped pixels keep it.
void decodeRle(ByteReader& r, const DibLayout& l, const std::uint32_t (&lut)[256], QImage& img) {
  const std::int64_t w = l.width, h = l.height;  // bottom-up only
  const bool four = l.compression == kBiRle4;
  std::uint64_t p = l.pixelOffset;
  const std::uint64_t end = std::min<std::uint64_t>(l.pixelEnd, r.size());
  std::int64_t x = 0, y = 0;  // y counts file rows from the bottom
  auto* bits = reinterpret_cast<std::uint32_t*>(img.bits());
  const std::int64_t pitch = img.bytesPerLine() / 4;
  auto put = [&](std::uint32_t index) {
    if (x < w && y < h) bits[(h - 1 - y) * pitch + x] = lut[index & 0xFF];
    ++x;
  };
  while (p + 2 <= end && y < h) {
    const std::uint8_t n = *r.at(p), c = *r.at(p + 1);
    p += 2;
    if (n > 0) {
      const int count = int(std::min<std::int64_t>(n, std::max<std::int64_t>(0, w - x)));
      if (count > 0) {
        std::uint32_t* row = bits + (h - 1 - y) * pitch + x;
        if (four) {
          for (int i = 0; i < count; ++i) row[i] = lut[(i & 1) ? (c & 0x0F) : (c >> 4)];
        } else {
          std::fill(row, row + count, lut[c]);
        }
      }
      x += n;
    } else if (c == 0) {
      x = 0;
      ++y;
    } else if (c == 1) {
      break;
    } else if (c == 2) {
      if (p + 2 > end) break;
      x += *r.at(p);
      y += *r.at(p + 1);
      p += 2;
    } else {
      const std::uint64_t bytes = four ? (c + 1u) / 2 : c;
      if (p + bytes > end) break;
      for (int i = 0; i < c; ++i) {
        const std::uint8_t b = *r.at(p + (four ? std::uint64_t(i / 2) : std::uint64_t(i)));
        put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      p += (bytes + 1) & ~std::uint64_t(1);
    }
  }
}

std::int32_t roundHalfEven(double v) { return std::int32_t(std::nearbyint(v)); }

}  // namespace

QImage decodeDib(Bytes source, const DibLayout& l) {
  const std::int64_t w = l.width, absH = l.height < 0 ? -l.height : l.height;
  if (!gdi::dibSizeAllowed(w, absH)) return {};
  const bool rle = l.compression == kBiRle8 || l.compression == kBiRle4;
  switch (l.bitCount) {
    case 1:
    case 4:
    case 8:
      if (!(l.compression == kBiRgb || (l.compression == kBiRle8 && l.bitCount == 8) ||
            (l.compression == kBiRle4 && l.bitCount == 4)))
        return {};
      if (rle && l.height < 0) return {};
      break;
    case 16:
    case 24:
    case 32:
      if (!(l.compression == kBiRgb || (l.compression == kBiBitfields && l.bitCount != 24))) return {};
      break;
    default:
      return {};
  }
  ByteReader r(source);
  const std::int64_t stride = strideOf(w, l.bitCount);
  if (!rle && !r.has(l.pixelOffset, std::uint64_t(stride) * std::uint64_t(absH))) return {};
  QImage img(int(w), int(absH), QImage::Format_ARGB32);
  if (img.isNull()) return {};

  std::uint32_t lut[256];
  if (l.bitCount <= 8) readPalette(r, l, lut);
  if (rle) {
    img.fill(lut[0]);
    decodeRle(r, l, lut, img);
    return img;
  }

  std::uint32_t masks[4] = {0x7C00, 0x3E0, 0x1F, 0};
  if (l.compression == kBiBitfields) std::copy(std::begin(l.masks), std::end(l.masks), masks);
  const bool standard32 = l.bitCount == 32 && (l.compression == kBiRgb || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 &&
                                                                          masks[2] == 0xFF && (masks[3] == 0 || masks[3] == 0xFF000000u)));
  const Channel cr(masks[0]), cg(masks[1]), cb(masks[2]), ca(masks[3]);

  for (std::int64_t row = 0; row < absH; ++row) {
    const std::uint8_t* src = r.at(l.pixelOffset + std::uint64_t(row) * std::uint64_t(stride));
    auto* dst = reinterpret_cast<std::uint32_t*>(img.scanLine(int(l.height > 0 ? absH - 1 - row : row)));
    switch (l.bitCount) {
      case 1:
        for (std::int64_t x = 0; x < w; ++x) dst[x] = lut[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      case 4:
        for (std::int64_t x = 0; x < w; ++x) dst[x] = lut[(x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4)];
        break;
      case 8:
        for (std::int64_t x = 0; x < w; ++x) dst[x] = lut[src[x]];
        break;
      case 16:  // drawn opaque whatever the masks say
        for (std::int64_t x = 0; x < w; ++x) {
          const std::uint32_t v = std::uint32_t(src[2 * x]) | (std::uint32_t(src[2 * x + 1]) << 8);
          dst[x] = 0xFF000000u | (cr(v, masks[0]) << 16) | (cg(v, masks[1]) << 8) | cb(v, masks[2]);
        }
        break;
      case 24:
        for (std::int64_t x = 0; x < w; ++x)
          dst[x] = 0xFF000000u | (std::uint32_t(src[3 * x + 2]) << 16) | (std::uint32_t(src[3 * x + 1]) << 8) | src[3 * x];
        break;
      default:
        if (standard32) {
          std::memcpy(dst, src, std::size_t(w) * 4);
        } else {
          for (std::int64_t x = 0; x < w; ++x) {
            std::uint32_t v;
            std::memcpy(&v, src + 4 * x, 4);
            dst[x] = (ca(v, masks[3]) << 24) | (cr(v, masks[0]) << 16) | (cg(v, masks[1]) << 8) | cb(v, masks[2]);
          }
        }
    }
  }
  return img;
}

namespace {

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

ReaderResult readCore(Bytes src, LoadOptions& options, const LoadEventHandler& onLoad) {
  ByteReader r(src);
  const std::int64_t w = r.u16(18), h = r.u16(20);
  const int planes = r.u16(22), bpp = r.u16(24);
  if (!r.ok() || planes != 1 || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24)) return {};
  const std::uint64_t palette = bpp <= 8 ? 3ull << bpp : 0;
  const std::uint64_t required = 26 + std::uint64_t(strideOf(w, bpp)) * std::uint64_t(h) + palette;
  if (required > src.size()) return {};
  ReaderResult res;
  res.flags = kTypeBitmap;
  res.props = {{std::int32_t(w), std::int32_t(h), 0}};
  if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
  DibLayout l;
  l.width = w;
  l.height = h;
  l.bitCount = bpp;
  l.paletteOffset = 26;
  l.paletteCount = bpp <= 8 ? 1u << bpp : 0;
  l.paletteEntryBytes = 3;
  l.pixelOffset = 26 + palette;
  l.pixelEnd = required;
  res.image = decodeDib(src, l);
  return res;
}

ReaderResult readEmbedded(Bytes src, std::uint32_t headerSize, std::uint32_t imageSize, LoadOptions& options,
                          const LoadEventHandler& onLoad) {
  ReaderResult res;
  res.flags = kTypeBitmap;
  const std::uint64_t start = 14ull + headerSize;
  if (imageSize == 0 || start + imageSize > src.size()) return res;
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
  // PNG alpha is straight whatever the analysis calls it; only an image without usable alpha
  // is flattened.
  if (!(res.flags & kAlphaKindMask)) {
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
  ByteReader r(src);
  if (src.size() < 18 || src[0] != 'B' || src[1] != 'M') return {};
  const std::uint32_t headerSize = r.u32(14);
  if (headerSize == 12) return readCore(src, options, onLoad);
  // Header sizes the record has room for; anything else is not a bitmap we take.
  if (headerSize < 16 || headerSize > 124) return {};
  if (14ull + headerSize > src.size()) return {};

  std::int32_t slot[31] = {};
  slot[0] = std::int32_t(headerSize);
  std::memcpy(&slot[1], src.data() + 18, headerSize - 4);
  const std::int64_t width = slot[1], height = slot[2];
  if ((slot[3] & 0xFFFF) != 1) return {};
  if (slot[6] > 0) options.imageDpi = roundHalfEven(slot[6] * 0.0254);
  const int bpp = int(std::uint32_t(slot[3]) >> 16);
  if (bpp > 32) return {};
  const std::uint32_t compression = std::uint32_t(slot[4]), imageSize = std::uint32_t(slot[5]);
  const std::uint64_t colorsUsed = std::uint32_t(slot[8]);
  const std::uint64_t absH = std::uint64_t(height < 0 ? -height : height);
  const std::uint64_t stride = std::uint64_t(strideOf(width, bpp));

  DibLayout l;
  l.width = width;
  l.height = height;
  l.bitCount = bpp;
  l.compression = compression;
  l.paletteOffset = 14ull + headerSize;
  std::uint64_t required = 0;
  switch (bpp) {
    case 0:
      if (compression != kBiJpeg && compression != kBiPng) return {};
      return readEmbedded(src, headerSize, imageSize, options, onLoad);
    case 1:
    case 4:
    case 8:
      l.paletteCount = colorsUsed ? colorsUsed : 1u << bpp;
      l.pixelOffset = 14ull + headerSize + 4 * l.paletteCount;
      if (compression == kBiRle8 || compression == kBiRle4) {
        required = l.pixelOffset + imageSize;
        l.pixelEnd = imageSize ? required : src.size();
      } else {
        required = l.pixelOffset + stride * absH;
        l.pixelEnd = required;
      }
      break;
    case 16:
    case 24:
    case 32:
      l.pixelOffset = 14ull + headerSize;
      if (compression == kBiBitfields) {
        if (headerSize <= 40 && bpp != 24) {
          if (!r.has(l.pixelOffset, 12)) return {};
          for (int i = 0; i < 3; ++i) l.masks[i] = r.u32(l.pixelOffset + 4 * std::uint64_t(i));
          l.pixelOffset += 12;
        } else {
          for (int i = 0; i < 4; ++i) l.masks[i] = std::uint32_t(slot[10 + i]);
        }
      } else if (compression == kBiJpeg || compression == kBiPng) {
        ReaderResult res;
        res.flags = kTypeBitmap;
        return res;
      } else if (compression != kBiRgb) {
        return {};
      }
      l.pixelOffset += 4 * colorsUsed;
      required = l.pixelOffset + stride * absH;
      l.pixelEnd = required;
      break;
    default:
      return {};
  }

  ReaderResult res;
  res.flags = kTypeBitmap;
  // More colours than the depth can index is a damaged header, not a longer palette.
  if (required > src.size() || (bpp <= 8 && l.paletteCount > (1u << bpp))) return res;
  QImage img = decodeDib(src, l);
  if (img.isNull()) return res;
  // A 40-byte header goes to the picture loader, which keeps the source itself.
  if (headerSize != 40 && options.keepOriginalFormat) res.flags |= kSourceKept;
  if (bpp == 32) res.flags |= analyzeAlpha(img);
  res.props = {{slot[1], slot[2], transparencyKind(res.flags)}};
  if (!raiseLoadEvent(onLoad, 1, res.props, options)) return res;
  if (bpp == 32) applyAlphaKind(img, res.flags);
  res.image = std::move(img);
  return res;
}

}  // namespace imaging
