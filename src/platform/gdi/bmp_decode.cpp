#include "bmp_decode.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "byte_reader.h"
#include "dib.h"

namespace gdi {
namespace {

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
  const std::uint64_t n = std::min<std::uint64_t>(l.paletteCount, std::uint64_t(1) << std::min(l.bitCount, 8));
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
  const bool four = l.compression == BI_RLE4;
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

}  // namespace

QImage decodeDib(ByteSpan source, const DibLayout& l) {
  const std::int64_t w = l.width, absH = l.height < 0 ? -l.height : l.height;
  if (!dibSizeAllowed(w, absH)) return {};
  const bool rle = l.compression == BI_RLE8 || l.compression == BI_RLE4;
  switch (l.bitCount) {
    case 1:
    case 4:
    case 8:
      if (!(l.compression == BI_RGB || (l.compression == BI_RLE8 && l.bitCount == 8) ||
            (l.compression == BI_RLE4 && l.bitCount == 4)))
        return {};
      if (rle && l.height < 0) return {};
      break;
    case 16:
    case 24:
    case 32:
      if (!(l.compression == BI_RGB || (l.compression == BI_BITFIELDS && l.bitCount != 24))) return {};
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
  if (l.compression == BI_BITFIELDS) std::copy(std::begin(l.masks), std::end(l.masks), masks);
  const bool standard32 =
      l.bitCount == 32 && (l.compression == BI_RGB || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF &&
                                                       (masks[3] == 0 || masks[3] == 0xFF000000u)));
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
          dst[x] =
              0xFF000000u | (std::uint32_t(src[3 * x + 2]) << 16) | (std::uint32_t(src[3 * x + 1]) << 8) | src[3 * x];
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

BmpHeaders readBmpHeaders(ByteSpan src) {
  BmpHeaders h;
  ByteReader r(src);
  // The header size, read first of all, lies at bytes 14 to 17: a shorter source cannot be a
  // bitmap, and nothing is read past its end.
  if (src.size() < 18 || src[0] != 'B' || src[1] != 'M') return h;
  h.headerSize = r.u32(14);
  DibLayout& l = h.layout;
  if (h.headerSize == 12) {
    const std::int64_t w = r.u16(18), height = r.u16(20);
    const int planes = r.u16(22), bpp = r.u16(24);
    if (!r.ok() || planes != 1 || !(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24)) return h;
    const std::uint64_t palette = bpp <= 8 ? 3ull << bpp : 0;
    const std::uint64_t required = 26 + std::uint64_t(strideOf(w, bpp)) * std::uint64_t(height) + palette;
    if (required > src.size()) return h;
    h.width = std::int32_t(w);
    h.height = std::int32_t(height);
    h.bitCount = bpp;
    l.width = w;
    l.height = height;
    l.bitCount = bpp;
    l.paletteOffset = 26;
    l.paletteCount = bpp <= 8 ? 1u << bpp : 0;
    l.paletteEntryBytes = 3;
    l.pixelOffset = 26 + palette;
    l.pixelEnd = required;
    h.verdict = BmpHeaders::Pixels;
    return h;
  }
  // Header sizes up to the largest header (124 bytes); anything else is not a bitmap we take.
  if (h.headerSize < 16 || h.headerSize > 124 || 14ull + h.headerSize > src.size()) return h;
  std::int32_t slot[31] = {};
  std::memcpy(&slot[1], src.data() + 18, h.headerSize - 4);
  if ((slot[3] & 0xFFFF) != 1) return h;
  h.width = slot[1];
  h.height = slot[2];
  h.pixelsPerMetreX = slot[6] > 0 ? slot[6] : 0;
  const int bpp = int(std::uint32_t(slot[3]) >> 16);
  if (bpp > 32) return h;
  h.bitCount = bpp;
  h.compression = std::uint32_t(slot[4]);
  const std::uint32_t compression = h.compression, imageSize = std::uint32_t(slot[5]);
  const std::uint64_t colorsUsed = std::uint32_t(slot[8]);
  const std::uint64_t absH = std::uint64_t(h.height < 0 ? -std::int64_t(h.height) : h.height);
  const std::uint64_t stride = std::uint64_t(strideOf(h.width, bpp));
  l.width = h.width;
  l.height = h.height;
  l.bitCount = bpp;
  l.compression = compression;
  l.paletteOffset = 14ull + h.headerSize;
  std::uint64_t required = 0;
  switch (bpp) {
    case 0:
      if (compression != BI_JPEG && compression != BI_PNG) return h;
      h.embeddedOffset = 14ull + h.headerSize;
      h.embeddedSize = imageSize;
      h.verdict =
          imageSize == 0 || h.embeddedOffset + imageSize > src.size() ? BmpHeaders::NoPicture : BmpHeaders::Embedded;
      return h;
    case 1:
    case 4:
    case 8:
      // Every colour the header counts lies before the pixels, however many the depth can use.
      l.paletteCount = colorsUsed ? colorsUsed : 1u << bpp;
      l.pixelOffset = 14ull + h.headerSize + 4 * l.paletteCount;
      if (compression == BI_RLE8 || compression == BI_RLE4) {
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
      l.pixelOffset = 14ull + h.headerSize;
      if (compression == BI_BITFIELDS) {
        if (h.headerSize <= 40 && bpp != 24) {
          if (!r.has(l.pixelOffset, 12)) return h;
          for (int i = 0; i < 3; ++i) l.masks[i] = r.u32(l.pixelOffset + 4 * std::uint64_t(i));
          l.pixelOffset += 12;
        } else {
          for (int i = 0; i < 4; ++i) l.masks[i] = std::uint32_t(slot[10 + i]);
        }
      } else if (compression == BI_JPEG || compression == BI_PNG) {
        h.verdict = BmpHeaders::NoPicture;
        return h;
      } else if (compression != BI_RGB) {
        return h;
      }
      l.pixelOffset += 4 * colorsUsed;
      required = l.pixelOffset + stride * absH;
      l.pixelEnd = required;
      break;
    default:
      return h;
  }
  h.verdict = required > src.size() ? BmpHeaders::NoPicture : BmpHeaders::Pixels;
  return h;
}

void makeOpaque(QImage& img) {
  for (int y = 0; y < img.height(); ++y) {
    auto* p = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) p[x] |= 0xFF000000u;
  }
}

QImage decodeBmp(ByteSpan file, BmpHeaders* headers) {
  BmpHeaders h = readBmpHeaders(file);
  QImage img = h.verdict == BmpHeaders::Pixels ? decodeDib(file, h.layout) : QImage();
  if (headers) *headers = h;
  return img;
}

}  // namespace gdi
