#include "ico_decode.h"

#include <algorithm>

#include "byte_reader.h"
#include "dib.h"

namespace gdi {
namespace {

constexpr std::uint32_t kPngMagic = 0x474E5089;  // 0x89 "PNG" read as one little-endian value

}  // namespace

std::optional<IconFile> readIconFile(ByteSpan src) {
  ByteReader r(src);
  if (src.size() < 56 || src[0] != 0 || src[1] != 0 || (src[2] != 1 && src[2] != 2)) return std::nullopt;
  const std::uint32_t count = r.u16(4);
  const std::uint64_t dirEnd = std::uint64_t(count) * 16 + 6;
  if (count == 0 || dirEnd > src.size()) return std::nullopt;
  IconFile file;
  file.cursor = src[2] == 2;
  file.entries.resize(count);
  for (std::uint32_t n = 0; n < count; ++n) {
    const std::uint64_t dir = 6 + 16 * std::uint64_t(n);
    const std::int64_t size = r.i32(dir + 8), offset = r.i32(dir + 12);
    if (size < 0 || offset < std::int64_t(dirEnd) || std::uint64_t(offset + size) > src.size()) return std::nullopt;
    IconFileEntry& e = file.entries[n];
    e.offset = std::uint64_t(offset);
    e.size = std::uint64_t(size);
    e.hotX = r.u16(dir + 4);
    e.hotY = r.u16(dir + 6);
  }
  for (std::uint32_t n = 0; n < count && file.entriesRead; ++n) {
    IconFileEntry& e = file.entries[n];
    ByteReader er(src.subspan(e.offset, e.size));
    e.png = e.size >= 4 && er.u32(0) == kPngMagic;
    if (e.png) {
      e.dims[0] = std::int32_t(er.be32(16));
      e.dims[1] = std::int32_t(er.be32(20));
      const int dirDepth = src[6 + 16 * n + 6];
      if (file.cursor || dirDepth == 0 || dirDepth > 32) {
        const int colourType = er.u8(25);
        e.dims[2] = (colourType == 4 || colourType == 6) ? 32 : colourType == 2 ? 24 : er.u8(24);
      } else {
        e.dims[2] = dirDepth;
      }
    } else {
      e.dims[0] = er.i32(4);
      e.dims[1] = er.i32(8) / 2;
      // Only the low byte: a larger depth must not spill into the size part of the choice.
      e.dims[2] = er.u16(14) & 0xFF;
    }
    file.entriesRead = er.ok();
  }
  return file;
}

int chooseIconEntry(std::span<const std::array<std::int32_t, 3>> entries, int iconIndex, int iconCx, int iconCy,
                    int& iconDepth, int screenDepth) {
  const int count = int(entries.size());
  if (count <= 1) return 0;
  if (iconIndex >= 1) return std::min(iconIndex, count) - 1;
  struct Sorted {
    int index;
    std::int64_t key;
  };
  std::vector<Sorted> sorted;
  for (int i = 0; i < count; ++i)
    sorted.push_back({i, ((std::int64_t(entries[std::size_t(i)][0]) + entries[std::size_t(i)][1]) * 256) |
                             (entries[std::size_t(i)][2] & 0xFF)});
  std::stable_sort(sorted.begin(), sorted.end(), [](const Sorted& a, const Sorted& b) { return a.key < b.key; });
  const std::int64_t wanted = (std::int64_t(iconCx) + iconCy) * 256;
  auto sizePart = [](std::int64_t key) { return key & ~std::int64_t(0xFF); };
  std::size_t pos = 0;
  while (pos < sorted.size() && sizePart(sorted[pos].key) < wanted) ++pos;
  if (pos == sorted.size()) return sorted.back().index;
  if (iconDepth == 0) iconDepth = screenDepth;
  const std::int64_t depth = iconDepth;
  if ((sorted[pos].key & 0xFF) >= depth) return sorted[pos].index;
  for (std::size_t j = pos + 1; j < sorted.size(); ++j) {
    if (sizePart(sorted[j].key) != sizePart(sorted[j - 1].key)) return sorted[j - 1].index;
    if ((sorted[j].key & 0xFF) >= depth) return sorted[j].index;
  }
  return sorted.back().index;
}

bool decodeIconDib(ByteSpan data, IconDib& out) {
  ByteReader r(data);
  const std::uint32_t hs = r.u32(0);
  if (!r.ok() || hs < 40 || hs > 124 || !r.has(0, hs)) return false;
  DibLayout l;
  l.width = r.i32(4);
  const std::int32_t storedHeight = r.i32(8);
  if (storedHeight <= 0) return false;
  l.height = storedHeight / 2;  // colour rows, then as many mask rows
  l.bitCount = r.u16(14);
  l.compression = r.u32(16);
  const std::uint64_t colorsUsed = r.u32(32);
  l.paletteOffset = hs;
  if (l.compression == BI_BITFIELDS && (l.bitCount == 16 || l.bitCount == 32)) {
    if (hs == 40) {
      for (int i = 0; i < 3; ++i) l.masks[i] = r.u32(40 + 4 * std::uint64_t(i));
      l.paletteOffset += 12;
    } else {
      for (int i = 0; i < 4; ++i) l.masks[i] = hs >= 56 || i < 3 ? r.u32(40 + 4 * std::uint64_t(i)) : 0;
    }
  } else if (l.compression != BI_RGB) {
    return false;
  }
  if (!r.ok() || !dibSizeAllowed(l.width, l.height)) return false;
  // As in a bitmap file, every colour the header counts lies before the pixels, however many
  // the depth can use (only those are read); above 8 bits the counted colours are skipped.
  l.paletteCount = l.bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << l.bitCount) : 0;
  l.pixelOffset = l.paletteOffset + 4 * (l.bitCount <= 8 ? l.paletteCount : colorsUsed);
  const std::uint64_t colourBytes = std::uint64_t(((l.width * l.bitCount + 31) & ~31) / 8) * std::uint64_t(l.height);
  const std::uint64_t maskStride = std::uint64_t(((l.width + 31) & ~31) / 8);
  const std::uint64_t maskOffset = l.pixelOffset + colourBytes;
  if (!r.has(maskOffset, maskStride * std::uint64_t(l.height))) return false;
  l.pixelEnd = maskOffset;
  QImage colour = decodeDib(data, l);
  if (colour.isNull()) return false;
  out.colour = std::move(colour);
  out.maskRows = data.subspan(maskOffset, maskStride * std::uint64_t(l.height));
  out.maskStride = std::size_t(maskStride);
  out.bitCount = l.bitCount;
  return true;
}

QImage maskedIconPixels(const IconDib& dib) {
  QImage img = dib.colour;
  const bool mono = dib.bitCount == 1;
  for (int y = 0; y < img.height(); ++y) {
    auto* p = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      if (!dib.masked(x, y))
        p[x] |= 0xFF000000u;
      else
        p[x] = mono && (p[x] & 0xFFFFFF) == 0xFFFFFF ? 0xFF000000u : (p[x] & 0xFFFFFF);
    }
  }
  return img;
}

QImage iconPixels(const IconDib& dib) {
  if (dib.bitCount == 32)
    for (int y = 0; y < dib.colour.height(); ++y) {
      const auto* p = reinterpret_cast<const std::uint32_t*>(dib.colour.constScanLine(y));
      for (int x = 0; x < dib.colour.width(); ++x)
        if (p[x] >> 24) return dib.colour;
    }
  return maskedIconPixels(dib);
}

}  // namespace gdi
