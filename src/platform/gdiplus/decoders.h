#pragma once
// Decoding encoded image bytes into GDI+ images. Every file is untrusted: the size its header
// states is checked against the limits before any pixel memory is allocated, so a small file
// that claims a huge picture (a decompression bomb) is refused, not decoded.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "image.h"

namespace gdiplus {

struct Limits {
  // The same bounds as the photo road: 12000 pixels a side, 40 megapixels a frame.
  int maxSide = 12000;
  std::int64_t maxPixels = 40'000'000;
  // Pixels over all frames of an animation as stored, frames x picture size as shown, and
  // the number of frames or pages.
  std::int64_t maxTotalPixels = 400'000'000;
  std::int64_t maxComposedPixels = 4'000'000'000;
  unsigned maxFrames = 10'000;
};
const Limits& defaultLimits();
bool withinLimits(std::int64_t width, std::int64_t height, const Limits& limits);

// Loads an image from bytes, the decoder chosen by the content's signature (JPEG, PNG, GIF,
// TIFF, BMP). UnknownImageFormat for anything else; the bytes are copied where frames are
// decoded later.
Status loadImageFromBytes(const std::uint8_t* data, std::size_t size, std::unique_ptr<Image>& out,
                          const Limits& limits = defaultLimits());

Status decodeJpeg(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodePng(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodeTiff(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);

}  // namespace gdiplus
