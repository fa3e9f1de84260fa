#pragma once
// Writes a picture to a file as GIF (0), JPEG (1) or PNG (2). The file is replaced whole
// or not at all. Failures are thrown as vb::VbError with the numbers below and a
// description naming the step that failed.
#include <QImage>
#include <QString>
#include <cstdint>

class PicSave {
 public:
  static PicSave& instance();

  static constexpr long kErrBitmap = long(std::int32_t(0x80044848u));  // the picture cannot be made a bitmap
  static constexpr long kErrOpen = long(std::int32_t(0x80044850u));    // the file cannot be created
  static constexpr long kErrSave = long(std::int32_t(0x80044858u));    // encoding or writing failed
  static constexpr long kErrInvalidCall = 5;                           // no picture, format, quality

  void SavePicture(const QImage& picture, const QString& fileName, long format, long jpegQualityPct);
};
