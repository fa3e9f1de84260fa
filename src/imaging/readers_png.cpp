#include "readers_png.h"

#include "decoders.h"
#include "dib.h"

namespace imaging {
namespace {

using Decoder = gdiplus::Status (*)(const std::uint8_t*, std::size_t, const gdiplus::Limits&,
                                    std::unique_ptr<gdiplus::Image>&);

// The readers take any picture a bitmap may hold.
QImage decodeWithin(Decoder decoder, Bytes source) {
  gdiplus::Limits limits;
  limits.maxSide = gdi::kMaxDibSide;
  limits.maxPixels = gdi::kMaxDibBytes / 4;
  std::unique_ptr<gdiplus::Image> image;
  if (source.size() < 8 || decoder(source.data(), source.size(), limits, image) != gdiplus::Status::Ok) return {};
  return image->pixels();
}

}  // namespace

QImage decodePng(Bytes source) { return decodeWithin(gdiplus::decodePng, source); }

QImage decodeJpeg(Bytes source) { return decodeWithin(gdiplus::decodeJpeg, source); }

}  // namespace imaging
