#include "Modulekamera.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "dib.h"

namespace Modulekamera {

std::int64_t bitsSize(const BitmapInfoHeader& h) {
  if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS) return h.biSizeImage;
  if (h.biWidth <= 0 || h.biBitCount == 0) return -1;
  const std::int64_t rowBytes = ((std::int64_t(h.biWidth) * h.biBitCount + 31) & ~std::int64_t(31)) / 8;
  const std::int64_t rows = h.biHeight < 0 ? -std::int64_t(h.biHeight) : std::int64_t(h.biHeight);
  return rowBytes * rows;
}

gdi::Handle DIBkeBitmap(std::span<const std::int32_t> packed) {
  BitmapInfoHeader h;
  if (packed.size_bytes() < sizeof h) return 0;
  std::memcpy(&h, packed.data(), sizeof h);
  if (h.biSize < sizeof h || h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > gdi::kMaxDibSide ||
      std::abs(std::int64_t(h.biHeight)) > gdi::kMaxDibSide)
    return 0;
  const int bits = h.biBitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;

  // Where the colour table and the pixels start, in array elements.
  std::int64_t at = h.biSize / 4;
  std::vector<QRgb> palette;
  if (h.biCompression == BI_BITFIELDS) {
    // Three masks follow a 40-byte header; only the layouts a bitmap holds as they are.
    if (bits != 16 && bits != 32) return 0;
    if (h.biSize == sizeof h) {
      if (std::int64_t(packed.size()) < at + 3) return 0;
      const auto r = std::uint32_t(packed[at]), g = std::uint32_t(packed[at + 1]), b = std::uint32_t(packed[at + 2]);
      const bool standard = bits == 16 ? (r == 0x7C00 && g == 0x03E0 && b == 0x001F)
                                       : (r == 0xFF0000 && g == 0x00FF00 && b == 0x0000FF);
      if (!standard) return 0;
      at += 3;
    }
    at += h.biClrUsed;
  } else if (h.biCompression == BI_RGB) {
    std::int64_t entries = h.biClrUsed;
    if (bits <= 8) {
      if (entries == 0 || entries > (std::int64_t(1) << bits)) entries = std::int64_t(1) << bits;
      if (std::int64_t(packed.size()) < at + entries) return 0;
      for (std::int64_t i = 0; i < entries; ++i) palette.push_back(0xFF000000u | (std::uint32_t(packed[at + i]) & 0xFFFFFFu));
      entries = std::max<std::int64_t>(entries, h.biClrUsed);
    }
    at += entries;
  } else {
    return 0;  // a compressed frame: no bitmap holds it
  }

  const std::int64_t size = bitsSize(h);
  if (size <= 0 || size > gdi::kMaxDibBytes) return 0;
  if (at > std::int64_t(packed.size()) || (std::int64_t(packed.size()) - at) * 4 < size) return 0;

  std::uint8_t* dest = nullptr;
  const gdi::Handle bmp = gdi::createDIBSection(h.biWidth, h.biHeight, bits, &dest, palette);
  if (bmp == 0 || !dest) return 0;
  std::memcpy(dest, packed.data() + at, std::size_t(size));
  return bmp;
}

Picture::~Picture() { gdi::deleteObject(bitmap_); }

QImage Picture::image() const {
  auto dib = gdi::find<gdi::Dib>(bitmap_);
  return dib ? dib->toImage() : QImage();
}

std::unique_ptr<Picture> BitmapKePicture(gdi::Handle bitmap, gdi::Handle) {
  if (!gdi::find<gdi::Dib>(bitmap)) return nullptr;
  return std::make_unique<Picture>(bitmap);
}

}  // namespace Modulekamera
