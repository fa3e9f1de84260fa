#include "readers_ico.h"

#include <algorithm>

#include "dib.h"
#include "readers_alpha.h"
#include "readers_bmp.h"
#include "readers_png.h"
#include "screen.h"

namespace imaging {
namespace {

constexpr std::uint32_t kPngMagic = 0x474E5089;

struct Entry {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  bool png = false;
};

// A DIB entry: header, colour table or masks, colour bits, then the AND mask, all inside
// the entry's own bytes. Pixels under a set mask bit are transparent unless the colour bits
// carry alpha; `alphaFlags` says which.
QImage decodeDibEntry(Bytes data, std::uint32_t& alphaFlags) {
  ByteReader r(data);
  const std::uint32_t hs = r.u32(0);
  if (!r.ok() || hs < 40 || hs > 124 || !r.has(0, hs)) return {};
  DibLayout l;
  l.width = r.i32(4);
  const std::int32_t storedHeight = r.i32(8);
  if (storedHeight <= 0) return {};
  l.height = storedHeight / 2;
  l.bitCount = r.u16(14);
  l.compression = r.u32(16);
  const std::uint64_t colorsUsed = r.u32(32);
  l.paletteOffset = hs;
  if (l.compression == 3 && (l.bitCount == 16 || l.bitCount == 32)) {
    if (hs == 40) {
      for (int i = 0; i < 3; ++i) l.masks[i] = r.u32(40 + 4 * std::uint64_t(i));
      l.paletteOffset += 12;
    } else {
      for (int i = 0; i < 4; ++i) l.masks[i] = hs >= 56 || i < 3 ? r.u32(40 + 4 * std::uint64_t(i)) : 0;
    }
  } else if (l.compression != 0) {
    return {};
  }
  if (!r.ok() || !gdi::dibSizeAllowed(l.width, l.height)) return {};
  l.paletteCount = l.bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << l.bitCount) : 0;
  if (l.paletteCount > 256) return {};
  l.pixelOffset = l.paletteOffset + 4 * l.paletteCount;
  const std::uint64_t colourBytes = std::uint64_t(((l.width * l.bitCount + 31) & ~31) / 8) * std::uint64_t(l.height);
  const std::uint64_t maskStride = std::uint64_t(((l.width + 31) & ~31) / 8);
  const std::uint64_t maskOffset = l.pixelOffset + colourBytes;
  if (!r.has(maskOffset, maskStride * std::uint64_t(l.height))) return {};
  l.pixelEnd = maskOffset;
  QImage img = decodeDib(data, l);
  if (img.isNull()) return {};

  alphaFlags = l.bitCount == 32 ? analyzeAlpha(img) : 0;
  if (alphaFlags & kAlphaKindMask) {
    if (!(alphaFlags & 0x20000000)) img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return img;
  }
  for (int y = 0; y < img.height(); ++y) {
    const std::uint8_t* m = r.at(maskOffset + std::uint64_t(img.height() - 1 - y) * maskStride);
    auto* p = reinterpret_cast<std::uint32_t*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x) {
      // A set mask bit is transparent, over any colour: a picture cannot invert the screen
      // behind it, and image viewers show such pixels transparent too.
      p[x] = ((m[x >> 3] >> (7 - (x & 7))) & 1) ? (p[x] & 0xFFFFFF) : (p[x] | 0xFF000000u);
    }
  }
  alphaFlags = kAlphaStraight;
  return img;
}

// The system makes an icon at the size asked for; 0 x 0 keeps the entry's own.
QImage toIconSize(const QImage& img, int cx, int cy) {
  if (cx < 1 || cy < 1 || (img.width() == cx && img.height() == cy) || !gdi::dibSizeAllowed(cx, cy)) return img;
  const QImage::Format f = img.format();
  QImage scaled = img.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                      .scaled(cx, cy, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return scaled.convertToFormat(f);
}

}  // namespace

int chooseIconEntry(const PicProps& entries, int iconIndex, int iconCx, int iconCy, int& iconDepth, int screenDepth) {
  const int count = int(entries.size());
  if (count <= 1) return 0;
  if (iconIndex >= 1) return std::min(iconIndex, count) - 1;
  struct Sorted {
    int index;
    std::int64_t key;
  };
  std::vector<Sorted> sorted;
  for (int i = 0; i < count; ++i)
    sorted.push_back({i, ((std::int64_t(entries[i][0]) + entries[i][1]) * 256) | (entries[i][2] & 0xFF)});
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

ReaderResult parseIco(Bytes src, LoadOptions& options, const LoadEventHandler& onLoad) {
  ByteReader r(src);
  if (src.size() < 56 || src[0] != 0 || src[1] != 0 || (src[2] != 1 && src[2] != 2)) return {};
  const std::uint32_t count = r.u16(4);
  const std::uint64_t dirEnd = std::uint64_t(count) * 16 + 6;
  if (count == 0 || dirEnd > src.size()) return {};
  std::vector<Entry> entries(count);
  for (std::uint32_t n = 0; n < count; ++n) {
    const std::int64_t size = r.i32(6 + 16 * n + 8), offset = r.i32(6 + 16 * n + 12);
    if (size < 0 || offset < std::int64_t(dirEnd) || std::uint64_t(offset + size) > src.size()) return {};
    entries[n].offset = std::uint64_t(offset);
    entries[n].size = std::uint64_t(size);
  }
  const bool cursor = src[2] == 2;
  ReaderResult res;
  res.flags = cursor ? kTypeCursor : kTypeIcon;

  for (std::uint32_t n = 0; n < count; ++n) {
    Entry& e = entries[n];
    ByteReader er(src.subspan(e.offset, e.size));
    e.png = e.size >= 4 && er.u32(0) == kPngMagic;
    std::array<std::int32_t, 3> col{};
    if (e.png) {
      col[0] = std::int32_t(er.be32(16));
      col[1] = std::int32_t(er.be32(20));
      const int dirDepth = src[6 + 16 * n + 6];
      if (cursor || dirDepth == 0 || dirDepth > 32) {
        const int colourType = er.u8(25);
        col[2] = (colourType == 4 || colourType == 6) ? 32 : colourType == 2 ? 24 : er.u8(24);
      } else {
        col[2] = dirDepth;
      }
    } else {
      col[0] = er.i32(4);
      col[1] = er.i32(8) / 2;
      col[2] = er.u16(14) & 0xFF;
    }
    if (!er.ok()) {
      res.props.clear();
      return res;
    }
    res.props.push_back(col);
  }

  if (!raiseLoadEvent(onLoad, int(res.flags >> 24), res.props, options)) return res;
  if (res.props.size() != count) return res;  // the handler must not change the table's shape
  if (options.iconDepth < 0) options.iconDepth = 0;
  if (options.iconCx < 1 || options.iconCy < 1) {
    const gdi::Screen& s = gdi::screen();
    if (options.iconIndex == 0) {
      options.iconCx = s.iconWidth;
      options.iconCy = s.iconHeight;
    } else if (options.iconIndex < 0) {
      options.iconCx = s.smallIconWidth;
      options.iconCy = s.smallIconHeight;
    } else {
      options.iconCx = options.iconCy = 0;
    }
  }
  const int chosen = chooseIconEntry(res.props, options.iconIndex, options.iconCx, options.iconCy, options.iconDepth,
                                     gdi::screen().bitsPerPixel);
  const Entry& e = entries[std::size_t(chosen)];
  const Bytes data = src.subspan(e.offset, e.size);
  if (cursor) {
    res.hotSpotX = r.u16(6 + 16 * std::uint64_t(chosen) + 4);
    res.hotSpotY = r.u16(6 + 16 * std::uint64_t(chosen) + 6);
  }
  QImage img;
  if (e.png) {
    img = decodePng(data);
    if (img.isNull()) return res;
    res.flags |= kAlphaStraight;
    res.pngEntry = img;
  } else {
    std::uint32_t alphaFlags = 0;
    img = decodeDibEntry(data, alphaFlags);
    if (img.isNull()) return res;
    if (cursor) res.hotSpotY &= 0x7FFF;
    if (options.manageStyle == 2 || options.manageStyle == -1) res.flags |= alphaFlags;
  }
  res.image = toIconSize(img, options.iconCx, options.iconCy);
  return res;
}

}  // namespace imaging
