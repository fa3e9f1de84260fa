#pragma once
// The program's one JPEG encoder: photos, QR pictures and card faces are all written by it,
// straight into an open file (the caller's temporary file beside the target).
#include <QByteArray>
#include <QImage>
#include <cstddef>
#include <cstdint>

namespace gdiplus {

// Pixel rows as the encoder takes them.
struct JpegRows {
  const std::uint8_t* top = nullptr;  // the first byte of the top row
  std::ptrdiff_t stride = 0;          // from a row to the one below it; negative for bottom-up rows
  int width = 0;
  int height = 0;
  // 3: blue, green, red; 4: blue, green, red and a byte that is ignored; 1: grey.
  int bytesPerPixel = 3;
};

struct JpegResult {
  bool initFailed = false;  // the encoder could not be set up; nothing was written
  int status = 0;           // 0, or the encoder's message code of its failure
  int writeError = 0;       // the errno of a failed write to the file (status then tells the encoder's code)
  bool ok() const { return !initFailed && status == 0; }
};

// Writes the rows to `fd` as a baseline JPEG: grey rows as one component, colour as 4:2:0, the
// standard tables scaled to `quality` (1 .. 100, values outside taken as the nearest end). A
// non-empty `comment` goes into a comment segment before the picture data.
JpegResult encodeJpeg(const JpegRows& rows, int quality, int fd, const QByteArray& comment = {});
// The same for a picture: grey pictures stay grey; any alpha is ignored.
JpegResult encodeJpeg(const QImage& image, int quality, int fd, const QByteArray& comment = {});

}  // namespace gdiplus
