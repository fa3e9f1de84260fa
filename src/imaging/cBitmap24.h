#pragma once
// A 24-bit bitmap (blue, green, red; rows padded to 4 bytes; bottom row first in memory)
// selected into its own memory device context. Callers copy a picture or a window region
// into it and hand it to the JPEG writer, which reads its size, stride and pixels.
#include <cstdint>
#include <memory>

#include "dc.h"

class cBitmap24 {
 public:
  cBitmap24() = default;
  ~cBitmap24();
  cBitmap24(const cBitmap24&) = delete;
  cBitmap24& operator=(const cBitmap24&) = delete;

  // Puts a copy of the bitmap on the clipboard; True when it got there. As a DIB it is
  // refused with a message.
  bool CopyToClipboard(bool bAsDIB = false);
  // Makes the 24-bit section of lWidth x lHeight (both above 0, bottom-up); True on success,
  // False for sizes a bitmap can't have (gdi::kMaxDibSide, gdi::kMaxDibBytes).
  bool CreateDIB(gdi::Handle lhDC, std::int32_t lWidth, std::int32_t lHeight, gdi::Handle& hDib);
  // A bitmap of the picture's size holding a copy of it; `picThis` is the picture's bitmap
  // handle.
  void CreateFromPicture(gdi::Handle picThis);
  // Frees what the object holds and makes a new bitmap; False when it can't be made.
  bool Create(std::int32_t lWidth, std::int32_t lHeight);

  std::int32_t BytesPerScanLine() const;
  // The last requested size, whether or not a bitmap exists.
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }

  // Copies from lhDC at (lSrcLeft, lSrcTop) into the bitmap at (0, 0); a negative width or
  // height stands for the bitmap's own. Clipped to both sides.
  void LoadPictureBlt(gdi::Handle lhDC, std::int32_t lSrcLeft = 0, std::int32_t lSrcTop = 0,
                      std::int32_t lSrcWidth = -1, std::int32_t lSrcHeight = -1, std::uint32_t eRop = gdi::SRCCOPY);
  // Copies the bitmap out to lhDC; negative sizes likewise stand for the bitmap's own.
  void PaintPicture(gdi::Handle lhDC, std::int32_t lDestLeft = 0, std::int32_t lDestTop = 0,
                    std::int32_t lDestWidth = -1, std::int32_t lDestHeight = -1, std::int32_t lSrcLeft = 0,
                    std::int32_t lSrcTop = 0, std::uint32_t eRop = gdi::SRCCOPY);

  gdi::Handle hDC() const { return hDC_; }
  gdi::Handle hDib() const { return hDib_; }
  // The pixel memory; null when there is no bitmap.
  std::uint8_t* DIBSectionBitsPtr() const { return bits_; }

  // Fills the visible pixels with noise (colour: blue 0, random green and red; gray: three
  // equal bytes). The row padding is left alone.
  void RandomiseBits(bool bGray = false);
  void ClearUp();
  // A new bitmap of lNewWidth x lNewHeight, bilinear from this one (an exact copy at the
  // same size); null when it can't be made. A source narrower or lower than 2 pixels can't
  // be scaled: vb::VbError 9.
  std::unique_ptr<cBitmap24> Resample(std::int32_t lNewHeight, std::int32_t lNewWidth);

 private:
  void ResampleDib(cBitmap24& dest);

  gdi::Handle hDib_ = 0;
  gdi::Handle hBmpOld_ = 0;
  gdi::Handle hDC_ = 0;
  std::uint8_t* bits_ = nullptr;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};
