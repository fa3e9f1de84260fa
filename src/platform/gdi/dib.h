#pragma once
// A device-independent bitmap: rows padded to 4 bytes, bottom-up in memory when the height
// is positive (memory row 0 is the bottom image row), top-down when it is negative.
// Colours cross this interface as QRgb (0xAARRGGBB); in memory they are blue, green, red
// (and a fourth byte at 32 bits), 5-5-5 at 16 bits, palette indices at 1, 4 and 8 bits.
#include <QImage>
#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

#include "handles.h"

namespace gdi {

// Largest bitmap we make: each side, and the pixel memory in bytes.
constexpr int kMaxDibSide = 32768;
constexpr std::int64_t kMaxDibBytes = std::int64_t(512) << 20;
// Whether a 32-bit bitmap of w x h stays within those limits.
inline bool dibSizeAllowed(std::int64_t w, std::int64_t h) {
  return w > 0 && h > 0 && w <= kMaxDibSide && h <= kMaxDibSide && w * h * 4 <= kMaxDibBytes;
}

class Dib : public Object {
 public:
  // Null when the size or depth is not acceptable or the memory can't be had. `height`
  // keeps its sign. For 1, 4 and 8 bits a missing palette becomes a gray ramp; a shorter
  // one is padded with black. `section` tells a DIB section (pixels reachable by the
  // program) from a device-dependent bitmap.
  static std::shared_ptr<Dib> create(int width, int height, int bitCount, std::vector<QRgb> palette = {},
                                     bool section = true);

  // Bytes in one row: (width * bitCount + 31) / 32 * 4, or -1 when out of range.
  static std::int64_t strideFor(std::int64_t width, int bitCount);

  int width() const { return width_; }
  int height() const { return height_; }  // signed, as created
  int absHeight() const { return height_ < 0 ? -height_ : height_; }
  bool bottomUp() const { return height_ > 0; }
  int bitCount() const { return bitCount_; }
  int stride() const { return stride_; }
  bool isSection() const { return section_; }
  std::int64_t sizeImage() const { return std::int64_t(stride_) * absHeight(); }
  std::uint8_t* bits() { return bits_.get(); }
  const std::uint8_t* bits() const { return bits_.get(); }
  const std::vector<QRgb>& palette() const { return palette_; }

  // Start of image row y, counted from the top whatever the memory order.
  std::uint8_t* scanLine(int y) { return bits_.get() + std::int64_t(memoryRow(y)) * stride_; }
  const std::uint8_t* scanLine(int y) const { return bits_.get() + std::int64_t(memoryRow(y)) * stride_; }
  int memoryRow(int y) const { return height_ > 0 ? height_ - 1 - y : y; }

  // Pixel at (x, y), y from the top; no bounds check. Below 32 bits alpha reads as 255;
  // writing to a palette bitmap picks the nearest palette colour.
  QRgb pixel(int x, int y) const;
  void setPixel(int x, int y, QRgb c);
  int nearestIndex(QRgb c) const;

  // A top-down copy in the nearest QImage format, and the way back (same size only).
  QImage toImage() const;
  bool fromImage(const QImage& img);

  // Which device context holds this bitmap selected (0 for none); a stock bitmap can sit in
  // any number of them and is never deleted.
  Handle selectedIn = 0;
  bool stock = false;

 private:
  Dib() = default;
  int width_ = 0, height_ = 0, bitCount_ = 0, stride_ = 0;
  bool section_ = true;
  std::unique_ptr<std::uint8_t[]> bits_;
  std::vector<QRgb> palette_;
};

// Makes a bitmap and registers it; 0 when it can't be made. `bits`, when given, receives the
// pixel memory (null on failure).
Handle createDIBSection(int width, int height, int bitCount, std::uint8_t** bits = nullptr,
                        const std::vector<QRgb>& palette = {});

// What a bitmap handle describes (the height always positive; `bits` null unless a section).
struct BitmapInfo {
  int width = 0;
  int height = 0;
  int stride = 0;
  int planes = 1;
  int bitCount = 0;
  std::uint8_t* bits = nullptr;
};
bool getBitmapInfo(Handle bitmap, BitmapInfo& info);

// Frees a bitmap; refused (false) while it is selected into a device context.
bool deleteObject(Handle obj);

}  // namespace gdi
