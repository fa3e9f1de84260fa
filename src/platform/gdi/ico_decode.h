#pragma once
// The one decoder of Windows icon (.ico) and cursor (.cur) files: the directory with every
// entry's range checked, the size and depth each entry's own data states, the choice of an
// entry by index, size and depth, and the pixels of a DIB entry (colour bits through the
// bitmap decoder, then the AND mask). PNG entries are handed back as their bytes. The
// picture loader, CreateIconFromResourceEx and the imaging library's own reader all read
// icons here, with the bitmap limits of dibSizeAllowed.
#include <QImage>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "bmp_decode.h"

namespace gdi {

struct IconFileEntry {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  bool png = false;
  // Width, height and bit depth as the entry's own data gives them (a DIB's header, a PNG's
  // IHDR; the directory's depth for a PNG icon when it names a usable one).
  std::array<std::int32_t, 3> dims{};
  int hotX = 0, hotY = 0;  // a cursor's hot spot from its directory entry
};

struct IconFile {
  bool cursor = false;
  std::vector<IconFileEntry> entries;
  // False when an entry is too short for the header it must start with; the file is an
  // icon file all the same, but no picture comes of it.
  bool entriesRead = true;
};

// Null when the bytes are not an icon or cursor file: shorter than 56 bytes, reserved bytes
// not 0, a type other than 1 or 2, no entries, a directory past the end, or an entry whose
// data lies inside the directory or past the end.
std::optional<IconFile> readIconFile(ByteSpan file);

// The entry (counted from 0) that the 1-based index, or the wanted size and depth, choose
// among entries of (width, height, depth). A wanted depth of 0 becomes screenDepth once
// the choice by size needs a depth.
int chooseIconEntry(std::span<const std::array<std::int32_t, 3>> entries, int iconIndex, int iconCx, int iconCy,
                    int& iconDepth, int screenDepth);

// The colour pixels and the AND mask of a DIB entry (header, masks or palette, colour rows
// bottom-up, then the mask rows). The mask is read in place: the entry's bytes must outlive
// the IconDib.
struct IconDib {
  QImage colour;  // Format_ARGB32, top row first: alpha as stored at 32 bits, else opaque
  int bitCount = 0;
  ByteSpan maskRows;  // bottom row first, maskStride bytes each
  std::size_t maskStride = 0;
  // Whether the AND mask is set at (x, y), y from the top.
  bool masked(int x, int y) const {
    const std::uint8_t b = maskRows[std::size_t(colour.height() - 1 - y) * maskStride + std::size_t(x >> 3)];
    return (b >> (7 - (x & 7))) & 1;
  }
};
bool decodeIconDib(ByteSpan entry, IconDib& out);

// The pixels with the mask applied: under a set mask bit a pixel is transparent, except that
// a white pixel of a 1-bit image, which would invert the screen, is opaque black.
QImage maskedIconPixels(const IconDib& dib);
// The pixels as the icon draws them: a 32-bit image with any alpha by its alpha, any other
// through its mask.
QImage iconPixels(const IconDib& dib);

}  // namespace gdi
