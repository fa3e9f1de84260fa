#pragma once
// The one decoder of Windows bitmaps: the headers of a bitmap file (core, info and larger
// headers) and the pixels of any DIB (1, 4, 8, 16, 24 and 32 bits; RLE4, RLE8 and bit
// fields). Every size and offset is checked against the bytes before it is used, and no
// picture beyond the bitmap limits (dibSizeAllowed) is made. The picture loader, the GDI+
// decoders, the icon decoder and the imaging library's own reader all read bitmaps here.
#include <QImage>

#include <cstdint>
#include <span>

namespace gdi {

using ByteSpan = std::span<const std::uint8_t>;

constexpr std::uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5;

// Where one DIB's parts lie in the bytes.
struct DibLayout {
  std::int64_t width = 0;
  std::int64_t height = 0;  // signed: negative is top-down
  int bitCount = 0;
  std::uint32_t compression = BI_RGB;
  std::uint64_t paletteOffset = 0;
  std::uint64_t paletteCount = 0;         // entries read (at most 2^bitCount are used)
  int paletteEntryBytes = 4;              // 3 under a core header
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for bit fields
  std::uint64_t pixelOffset = 0;
  std::uint64_t pixelEnd = 0;  // end of the pixel bytes (run-length streams stop here)
};

// The pixels as Format_ARGB32, top row first. 32-bit pixels keep the alpha they store;
// every other depth comes out opaque. Null when the layout, the sizes or the bytes don't
// add up.
QImage decodeDib(ByteSpan bytes, const DibLayout& layout);

// What the headers of a bitmap file say, checked in the order the picture class's reader
// takes them.
struct BmpHeaders {
  enum Verdict {
    NotBitmap,  // not a bitmap file this decoder takes
    NoPicture,  // a bitmap file whose pixels can't be had (cut short, or an image we don't expand)
    Embedded,   // the pixels are a JPEG or PNG file at embeddedOffset, embeddedSize bytes
    Pixels,     // layout says where the pixels are; the bytes hold them all
  };
  Verdict verdict = NotBitmap;
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;   // as stored
  std::int32_t height = 0;  // as stored: negative for top-down
  int bitCount = 0;
  std::uint32_t compression = BI_RGB;
  // The stated horizontal resolution in pixels per metre; 0 when the file states none or
  // the headers were refused before it.
  std::int32_t pixelsPerMetreX = 0;
  std::uint64_t embeddedOffset = 0;
  std::uint64_t embeddedSize = 0;
  DibLayout layout;
};
BmpHeaders readBmpHeaders(ByteSpan file);

// Whether a bitmap's fourth bytes are alpha, as GDI+ and the picture loader take them: only
// 32-bit pixels under an alpha mask.
inline bool carriesAlpha(const BmpHeaders& h) { return h.bitCount == 32 && h.layout.masks[3] != 0; }
// Sets every pixel's alpha to opaque (Format_ARGB32), for a bitmap that carries none.
void makeOpaque(QImage& argb32);

// A bitmap file's picture (readBmpHeaders, then decodeDib); null when it has none.
QImage decodeBmp(ByteSpan file, BmpHeaders* headers = nullptr);

}  // namespace gdi
