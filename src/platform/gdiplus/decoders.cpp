#include "decoders.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <climits>
#include <cstring>

namespace gdiplus {

const Limits& defaultLimits() {
  static const Limits l;
  return l;
}

bool withinLimits(std::int64_t width, std::int64_t height, const Limits& limits) {
  return width > 0 && height > 0 && width <= limits.maxSide && height <= limits.maxSide &&
         width * height <= limits.maxPixels;
}

namespace {

bool startsWith(const std::uint8_t* data, std::size_t size, const char* sig, std::size_t n) {
  return size >= n && std::memcmp(data, sig, n) == 0;
}

std::int32_t le32(const std::uint8_t* p) {
  return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                      std::uint32_t(p[3]) << 24);
}

Status decodeBmp(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated) {
  if (size < 26) return Status::UnknownImageFormat;
  const std::int32_t header = le32(data + 14);
  std::int64_t w, h;
  if (header == 12) {
    w = data[18] | data[19] << 8;
    h = data[20] | data[21] << 8;
  } else if (header >= 40 && size >= 26) {
    w = le32(data + 18);
    h = std::abs(std::int64_t(le32(data + 22)));
  } else {
    return Status::UnknownImageFormat;
  }
  if (stated) *stated = QSize(int(std::min<std::int64_t>(w, INT_MAX)), int(std::min<std::int64_t>(h, INT_MAX)));
  if (!withinLimits(w, h, limits)) return Status::ValueOverflow;
  QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
  QBuffer buf(&bytes);
  buf.open(QIODevice::ReadOnly);
  QImageReader reader(&buf, "bmp");
  const QImage img = reader.read();
  if (img.isNull() || img.width() != w || img.height() != h) return Status::UnknownImageFormat;
  const PixelFormat f = img.hasAlphaChannel() ? PixelFormat32bppARGB : PixelFormat24bppRGB;
  out = std::make_unique<Image>(img, f, ImageFormatBMP);
  return Status::Ok;
}

}  // namespace

Status loadImageFromBytes(const std::uint8_t* data, std::size_t size, std::unique_ptr<Image>& out,
                          const Limits& limits) {
  return decodeImage(data, size, limits, DecodeOptions(), out);
}

Status decodeImage(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                   std::unique_ptr<Image>& out, QSize* stated) {
  out.reset();
  if (stated) *stated = QSize();
  if (!data || size == 0) return Status::InvalidParameter;
  if (startsWith(data, size, "\xFF\xD8\xFF", 3)) return decodeJpeg(data, size, limits, options, out, stated);
  if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return decodePng(data, size, limits, out, stated);
  if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6))
    return decodeGif(data, size, limits, out, stated);
  if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4))
    return decodeTiff(data, size, limits, out, stated);
  if (startsWith(data, size, "BM", 2)) return decodeBmp(data, size, limits, out, stated);
  return Status::UnknownImageFormat;
}

}  // namespace gdiplus
