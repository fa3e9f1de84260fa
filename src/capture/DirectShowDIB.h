#pragma once
// Turns a video frame as the renderer hands it out (a packed bitmap: BITMAPINFOHEADER,
// colour table or colour masks, pixel bits, in 32-bit elements) into a picture. A frame
// that cannot be read gives a null picture and leaves the reason in LastError and
// LastDescription; every size is worked out in 64 bits and checked before a byte is read.
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

class DirectShowDIB {
 public:
  static DirectShowDIB& instance();

  // The picture, upright; null on failure. Throws vb::VbError 9 for an empty array.
  QImage CreatePicture(const std::vector<std::int32_t>& LongDIB);

  std::int32_t LastError = 0;
  QString LastDescription;

  // The frame of a picture as the renderer gives it: a 40-byte header and the bits of a
  // bottom-up 32-bit bitmap.
  static std::vector<std::int32_t> packFrame(const QImage& frame);

 private:
  QImage fail(const char* call, std::uint32_t code);
};
