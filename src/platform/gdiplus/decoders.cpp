#include "decoders.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>

#include "bmp_decode.h"

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

// Bitmap files through the one bitmap decoder. As GDI+ reads them, 32-bit pixels carry alpha
// only under an alpha mask; every other bitmap is opaque.
Status decodeBmp(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated) {
  const std::span<const std::uint8_t> bytes(data, size);
  const gdi::BmpHeaders h = gdi::readBmpHeaders(bytes);
  if (h.verdict != gdi::BmpHeaders::Pixels) return Status::UnknownImageFormat;
  const std::int64_t absH = h.layout.height < 0 ? -h.layout.height : h.layout.height;
  if (stated)
    *stated = QSize(int(std::min<std::int64_t>(h.layout.width, INT_MAX)), int(std::min<std::int64_t>(absH, INT_MAX)));
  if (!withinLimits(h.layout.width, absH, limits)) return Status::ValueOverflow;
  QImage img = gdi::decodeDib(bytes, h.layout);
  if (img.isNull()) return Status::UnknownImageFormat;
  const bool alpha = gdi::carriesAlpha(h);
  if (!alpha) gdi::makeOpaque(img);
  out = std::make_unique<Image>(img, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, ImageFormatBMP);
  return Status::Ok;
}

// The decoder of the content's format.
Status decodeAny(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                 std::unique_ptr<Image>& out, QSize* stated, Refusal& why) {
  if (!data || size == 0) return Status::InvalidParameter;
  if (startsWith(data, size, "\xFF\xD8\xFF", 3))
    return decodeJpeg(data, size, limits, options, out, stated, &why);
  if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return decodePng(data, size, limits, out, stated);
  if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6))
    return decodeGif(data, size, limits, out, stated, &why);
  if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4))
    return decodeTiff(data, size, limits, out, stated);
  if (startsWith(data, size, "BM", 2)) return decodeBmp(data, size, limits, out, stated);
  return Status::UnknownImageFormat;
}

}  // namespace

Status decodeImage(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                   std::unique_ptr<Image>& out, QSize* stated, Refusal* why) {
  out.reset();
  if (stated) *stated = QSize();
  Refusal refusal = Refusal::None;
  const Status status = decodeAny(data, size, limits, options, out, stated, refusal);
  if (why) *why = status != Status::ValueOverflow ? Refusal::None : refusal == Refusal::None ? Refusal::Size : refusal;
  return status;
}

Status loadImageFromBytes(const std::uint8_t* data, std::size_t size, std::unique_ptr<Image>& out,
                          const Limits& limits) {
  return decodeImage(data, size, limits, DecodeOptions(), out);
}

}  // namespace gdiplus
