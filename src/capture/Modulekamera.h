#pragma once
// A video frame as a packed bitmap (a 40-byte BITMAPINFOHEADER, the colour table, then the
// pixel rows, all in one array of 32-bit integers) turned into a bitmap, and a bitmap
// wrapped in a picture that owns it.
#include <QImage>
#include <cstdint>
#include <memory>
#include <span>

#include "handles.h"

namespace Modulekamera {

struct BitmapInfoHeader {
  std::uint32_t biSize = 0;
  std::int32_t biWidth = 0;
  std::int32_t biHeight = 0;
  std::uint16_t biPlanes = 0;
  std::uint16_t biBitCount = 0;
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;

// Bytes of pixel data the header describes: rows padded to 32 bits times the rows for
// BI_RGB and BI_BITFIELDS, biSizeImage for a compressed frame; -1 when it can't be worked out.
std::int64_t bitsSize(const BitmapInfoHeader& h);

// A bitmap of the frame (the caller owns it), or 0 when the array is too short for what the
// header says, the format is one a bitmap can't hold (compressed, odd masks) or the size is
// beyond the bitmap limits.
gdi::Handle DIBkeBitmap(std::span<const std::int32_t> packed);

// A picture holding a bitmap; it deletes the bitmap when it goes.
class Picture {
 public:
  explicit Picture(gdi::Handle bitmap) : bitmap_(bitmap) {}
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  gdi::Handle Handle() const { return bitmap_; }
  QImage image() const;

 private:
  gdi::Handle bitmap_;
};

// Null when `bitmap` is no bitmap; then the caller still owns it. The palette is not used:
// frames with a colour table carry it inside the bitmap.
std::unique_ptr<Picture> BitmapKePicture(gdi::Handle bitmap, gdi::Handle palette);

}  // namespace Modulekamera
