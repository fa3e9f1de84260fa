#pragma once
// Our own reader of Windows bitmap files (core, info and larger headers; 1, 4, 8, 16, 24 and
// 32 bits; RLE4, RLE8 and bit fields; an embedded JPEG or PNG image).
#include "readers_common.h"

namespace imaging {

// flags 0: not a bitmap file this reader takes (the caller tries the other readers).
// Otherwise flags carry type 1 (0x1000000), 0x400 when the picture was built from the pixels
// with options.keepOriginalFormat set, and for 32-bit pixels the alpha analysis; the image is
// null when the file was taken but no picture came out. props: (width, height as stored,
// transparency kind). options.imageDpi is set from the stored horizontal resolution.
ReaderResult parseBmp(Bytes source, LoadOptions& options, const LoadEventHandler& onLoad = {});

// Decodes one DIB (header at `header`, its masks and palette behind it, pixels at
// `pixelOffset`) into 32-bit pixels, top row first; the icon reader shares it. Bit-field and
// 32-bit pixels keep their alpha byte as stored; every other depth comes out opaque.
// A null image when the header, the sizes or the bytes don't add up.
struct DibLayout {
  std::int64_t width = 0;
  std::int64_t height = 0;  // signed: negative is top-down
  int bitCount = 0;
  std::uint32_t compression = 0;
  std::uint64_t paletteOffset = 0;
  std::uint64_t paletteCount = 0;
  int paletteEntryBytes = 4;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha for bit fields
  std::uint64_t pixelOffset = 0;
  std::uint64_t pixelEnd = 0;  // end of the pixel bytes (RLE streams stop here)
};
QImage decodeDib(Bytes source, const DibLayout& layout);

}  // namespace imaging
