#include "readers_alpha.h"

namespace imaging {
namespace {

constexpr unsigned kZero = 1, kClearColour = 2, kOpaque = 4, kPartial = 8;

// Walks pixels while keeping its marks, so that rows of an image continue one walk.
struct AlphaWalk {
  unsigned marks = 0;
  bool notPremultiplied = false;
  std::uint32_t previous = 0;
  bool started = false;

  // False once the verdict is settled.
  bool feed(const std::uint32_t* px, std::size_t n) {
    if (n == 0) return true;
    if (!started) {
      previous = px[0] ^ 1u;  // the first pixel always differs from its "predecessor"
      started = true;
    }
    for (std::size_t i = 0; i < n; ++i) {
      // Runs of opaque pixels only mark O until a clear colour has been seen; test eight at
      // once, which is the common case of an opaque picture.
      if (!(marks & kClearColour) && i + 8 <= n) {
        std::uint32_t all = 0xFFFFFFFFu;
        for (std::size_t k = 0; k < 8; ++k) all &= px[i + k];
        if ((all >> 24) == 255) {
          marks |= kOpaque;
          previous = px[i + 7];
          i += 7;
          continue;
        }
      }
      const std::uint32_t p = px[i];
      if (p == previous) continue;
      previous = p;
      const unsigned a = p >> 24;
      if (p == 0) {
        marks |= kZero;
      } else if (a == 0) {
        if ((marks & kPartial) || ((marks & kClearColour) && (marks & kOpaque))) return settle();
        marks |= kClearColour;
      } else if (a == 255) {
        if (marks & kClearColour) return settle();
        marks |= kOpaque;
      } else {
        if (a < (p & 0xFF) || a < ((p >> 8) & 0xFF) || a < ((p >> 16) & 0xFF)) return settle();
        marks |= kPartial;
      }
    }
    return true;
  }
  bool settle() {
    notPremultiplied = true;
    return false;
  }
  std::uint32_t verdict() const {
    if (notPremultiplied) return 0x20000001;
    if (marks == (kZero | kOpaque)) return 0x20000001;
    if (marks & kPartial) return 0x40000001;
    return 0;
  }
};

}  // namespace

std::uint32_t analyzeAlpha(const std::uint32_t* pixels, std::size_t count) {
  if (!pixels) return 0;
  AlphaWalk walk;
  walk.feed(pixels, count);
  return walk.verdict();
}

std::uint32_t analyzeAlpha(const QImage& image) {
  if (image.isNull()) return 0;
  QImage img = image;
  const auto f = img.format();
  if (f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied && f != QImage::Format_RGB32)
    img = img.convertToFormat(QImage::Format_ARGB32);
  if (img.isNull()) return 0;
  AlphaWalk walk;
  for (int y = 0; y < img.height(); ++y)
    if (!walk.feed(reinterpret_cast<const std::uint32_t*>(img.constScanLine(y)), std::size_t(img.width()))) break;
  return walk.verdict();
}

}  // namespace imaging
