#pragma once
// Decoding encoded image bytes into GDI+ images. Every file is untrusted: the size its header
// states is checked against the limits before any pixel memory is allocated, so a small file
// that claims a huge picture (a decompression bomb) is refused, not decoded.
#include <cstddef>
#include <cstdint>
#include <memory>

#include <QSize>

#include "image.h"

namespace gdiplus {

struct Limits {
  // The same bounds as the photo road: 12000 pixels a side, 40 megapixels a frame.
  int maxSide = 12000;
  std::int64_t maxPixels = 40'000'000;
  // Pixels over all frames of an animation as stored (each is decoded when the file is read
  // and again when composed), frames x picture size as shown, and the number of frames or
  // pages.
  std::int64_t maxTotalPixels = 400'000'000;
  std::int64_t maxComposedPixels = 4'000'000'000;
  unsigned maxFrames = 10'000;
  // A progressive JPEG may hold any number of scans, each a full pass over the picture; real
  // encoders write about a dozen. Bounded in number, and in pixels over all scans (100 passes
  // over a picture at the pixel limit), so that a small file can't keep the decoder busy for
  // long.
  int maxScans = 500;
  std::int64_t maxScanPixels = 100 * maxPixels;
  // What a JPEG read whole before its rows come out (progressive, or its colours in separate
  // scans) holds at once: every component's coefficients, two bytes each, beside the decoded
  // picture. A 40-megapixel picture with full colour detail would take 400 MB; one with the
  // usual halved colour detail takes 280 MB and fits.
  std::int64_t maxDecodeBytes = 320'000'000;
};
const Limits& defaultLimits();
// Why the limits refused a picture: its size, the scans of a progressive JPEG, the memory a
// JPEG read whole takes, or the canvas of an animation, which counts once for every frame up
// to two: whoever plays an animation keeps it decoded beside the picture shown of it.
enum class Refusal { None, Size, Scans, Memory, Animation };
bool withinLimits(std::int64_t width, std::int64_t height, const Limits& limits);

// Loads an image from bytes, the decoder chosen by the content's signature (JPEG, PNG, GIF,
// TIFF, BMP). UnknownImageFormat for anything else; the bytes are copied where frames are
// decoded later.
Status loadImageFromBytes(const std::uint8_t* data, std::size_t size, std::unique_ptr<Image>& out,
                          const Limits& limits = defaultLimits());

// What a caller may ask of a decode besides the limits.
struct DecodeOptions {
  // A JPEG is decoded at the smallest of the scales 1/8, 2/8, 4/8 and 8/8 (those libjpeg-turbo
  // decodes fastest) that still covers the size the picture, turned upright by its Exif
  // orientation, takes in this box: in proportion with `keepAspect`, else each side no larger
  // than the box's. An empty box, and every other format, decode at full size.
  QSize within;
  bool keepAspect = true;
  // A JPEG whose data is cut short or corrupt is refused rather than filled in.
  bool requireWhole = false;
};

// As loadImageFromBytes, with options; `stated` (when given) gets the picture size the
// file's header states, also for a picture the limits refuse, or an invalid size when no
// header could be read. ValueOverflow is the refusal by the limits, and `why` (when given)
// tells what they refused.
Status decodeImage(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                   std::unique_ptr<Image>& out, QSize* stated = nullptr, Refusal* why = nullptr);

Status decodeJpeg(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodePng(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
Status decodeTiff(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out);
// The same, telling the stated size as decodeImage does.
Status decodeJpeg(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                  std::unique_ptr<Image>& out, QSize* stated, Refusal* why = nullptr);
Status decodePng(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated);
Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated, Refusal* why = nullptr);
Status decodeTiff(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                  QSize* stated);

}  // namespace gdiplus
