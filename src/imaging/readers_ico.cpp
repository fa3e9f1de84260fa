#include "readers_ico.h"

#include <algorithm>

#include "dib.h"
#include "readers_alpha.h"
#include "readers_bmp.h"
#include "readers_png.h"
#include "screen.h"

#include "readers_ico.h"

#include "dib.h"
#include "ico_decode.h"
#include "readers_alpha.h"
#include "readers_png.h"
#include "screen.h"

namespace imaging {
namespace {

// A DIB entry through the platform's icon decoder. Colour bits with alpha keep it, and
// `alphaFlags` names its kind; otherwise the AND mask decides.
QImage decodeDibEntry(Bytes data, std::uint32_t& alphaFlags) {
  gdi::IconDib dib;
  if (!gdi::decodeIconDib(data, dib)) return {};
  alphaFlags = dib.bitCount == 32 ? analyzeAlpha(dib.colour) : 0;
  if (alphaFlags & kAlphaKindMask) {
    if (!(alphaFlags & 0x20000000)) dib.colour.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return dib.colour;
  }
  alphaFlags = kAlphaStraight;
  return gdi::maskedIconPixels(dib);
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

ReaderResult parseIco(Bytes src, LoadOptions& options, const LoadEventHandler& onLoad) {
  const std::optional<gdi::IconFile> file = gdi::readIconFile(src);
  if (!file) return {};
  const std::size_t count = file->entries.size();
  const bool cursor = file->cursor;
  ReaderResult res;
  res.flags = cursor ? kTypeCursor : kTypeIcon;
  if (!file->entriesRead) return res;
  for (const gdi::IconFileEntry& e : file->entries) res.props.push_back(e.dims);

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
  const gdi::IconFileEntry& e = file->entries[std::size_t(chosen)];
  const Bytes data = src.subspan(e.offset, e.size);
  if (cursor) {
    res.hotSpotX = e.hotX;
    res.hotSpotY = e.hotY;
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
