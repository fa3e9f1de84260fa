#include "dib.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gdi {
namespace {
bool validDepth(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

std::uint8_t expand5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }

QImage::Format imageFormat(int bpp) {
  switch (bpp) {
    case 1:
      return QImage::Format_Mono;
    case 4:
    case 8:
      return QImage::Format_Indexed8;
    case 16:
      return QImage::Format_RGB555;
    case 24:
      return QImage::Format_BGR888;
    default:
      return QImage::Format_ARGB32;
  }
}
}  // namespace

std::int64_t Dib::strideFor(std::int64_t width, int bitCount) {
  if (width <= 0 || width > kMaxDibSide || !validDepth(bitCount)) return -1;
  return (width * bitCount + 31) / 32 * 4;
}

std::shared_ptr<Dib> Dib::create(int width, int height, int bitCount, std::vector<QRgb> palette, bool section) {
  const std::int64_t absH = height < 0 ? -std::int64_t(height) : height;
  const std::int64_t stride = strideFor(width, bitCount);
  if (stride < 0 || absH == 0 || absH > kMaxDibSide || stride * absH > kMaxDibBytes) return nullptr;
  std::shared_ptr<Dib> d(new Dib);
  d->bits_.reset(new (std::nothrow) std::uint8_t[std::size_t(stride * absH)]());
  if (!d->bits_) return nullptr;
  d->width_ = width;
  d->height_ = height;
  d->bitCount_ = bitCount;
  d->stride_ = int(stride);
  d->section_ = section;
  if (bitCount <= 8) {
    const int n = 1 << bitCount;
    if (palette.empty()) {
      for (int i = 0; i < n; ++i) {
        int v = n == 1 ? 0 : i * 255 / (n - 1);
        palette.push_back(qRgb(v, v, v));
      }
    }
    palette.resize(std::size_t(n), qRgb(0, 0, 0));
    d->palette_ = std::move(palette);
  }
  return d;
}

QRgb Dib::pixel(int x, int y) const {
  const std::uint8_t* row = scanLine(y);
  switch (bitCount_) {
    case 1:
      return palette_[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
      return palette_[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
    case 8:
      return palette_[row[x]];
    case 16: {
      unsigned v = unsigned(row[2 * x]) | (unsigned(row[2 * x + 1]) << 8);
      return qRgb(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    }
    case 24:
      return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:
      return qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
  }
}

int Dib::nearestIndex(QRgb c) const {
  int best = 0;
  long bestDist = -1;
  for (std::size_t i = 0; i < palette_.size(); ++i) {
    long dr = qRed(c) - qRed(palette_[i]), dg = qGreen(c) - qGreen(palette_[i]), db = qBlue(c) - qBlue(palette_[i]);
    long dist = dr * dr + dg * dg + db * db;
    if (bestDist < 0 || dist < bestDist) {
      bestDist = dist;
      best = int(i);
      if (dist == 0) break;
    }
  }
  return best;
}

void Dib::setPixel(int x, int y, QRgb c) {
  std::uint8_t* row = scanLine(y);
  switch (bitCount_) {
    case 1: {
      const std::uint8_t mask = std::uint8_t(0x80 >> (x & 7));
      if (nearestIndex(c))
        row[x >> 3] |= mask;
      else
        row[x >> 3] &= std::uint8_t(~mask);
      break;
    }
    case 4: {
      const int i = nearestIndex(c);
      std::uint8_t& b = row[x >> 1];
      b = (x & 1) ? std::uint8_t((b & 0xF0) | i) : std::uint8_t((b & 0x0F) | (i << 4));
      break;
    }
    case 8:
      row[x] = std::uint8_t(nearestIndex(c));
      break;
    case 16: {
      unsigned v = (unsigned(qRed(c) >> 3) << 10) | (unsigned(qGreen(c) >> 3) << 5) | unsigned(qBlue(c) >> 3);
      row[2 * x] = std::uint8_t(v);
      row[2 * x + 1] = std::uint8_t(v >> 8);
      break;
    }
    case 24:
      row[3 * x] = std::uint8_t(qBlue(c));
      row[3 * x + 1] = std::uint8_t(qGreen(c));
      row[3 * x + 2] = std::uint8_t(qRed(c));
      break;
    default:
      row[4 * x] = std::uint8_t(qBlue(c));
      row[4 * x + 1] = std::uint8_t(qGreen(c));
      row[4 * x + 2] = std::uint8_t(qRed(c));
      row[4 * x + 3] = std::uint8_t(qAlpha(c));
      break;
  }
}

QImage Dib::toImage() const {
  const int h = absHeight();
  QImage img(width_, h, imageFormat(bitCount_));
  if (img.isNull()) return img;
  if (bitCount_ <= 8) img.setColorTable(QList<QRgb>(palette_.begin(), palette_.end()));
  if (bitCount_ == 4) {
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* src = scanLine(y);
      std::uint8_t* dst = img.scanLine(y);
      for (int x = 0; x < width_; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
    }
    return img;
  }
  const std::size_t rowBytes = std::size_t((std::int64_t(width_) * bitCount_ + 7) / 8);
  for (int y = 0; y < h; ++y) std::memcpy(img.scanLine(y), scanLine(y), rowBytes);
  return img;
}

bool Dib::fromImage(const QImage& src) {
  const int h = absHeight();
  if (src.width() != width_ || src.height() != h) return false;
  const QImage::Format fmt = imageFormat(bitCount_);
  const std::size_t rowBytes = std::size_t((std::int64_t(width_) * bitCount_ + 7) / 8);
  if (bitCount_ >= 24 && src.format() != fmt && src.depth() >= 24) {
    // Between full-colour formats each pixel converts on its own: a band of rows at a time,
    // so that a large picture is not held a second time in the DIB's format.
    constexpr int kBand = 256;
    for (int y0 = 0; y0 < h; y0 += kBand) {
      const QImage band = src.copy(0, y0, width_, std::min(kBand, h - y0)).convertToFormat(fmt);
      if (band.isNull()) return false;
      for (int y = 0; y < band.height(); ++y) std::memcpy(scanLine(y0 + y), band.constScanLine(y), rowBytes);
    }
    return true;
  }
  const QList<QRgb> table(palette_.begin(), palette_.end());
  QImage img = (bitCount_ <= 8) ? src.convertToFormat(fmt, table, Qt::ThresholdDither | Qt::AvoidDither)
                                : src.convertToFormat(fmt);
  if (img.isNull()) return false;
  if (bitCount_ == 4) {
    for (int y = 0; y < h; ++y) {
      const std::uint8_t* s = img.constScanLine(y);
      std::uint8_t* d = scanLine(y);
      for (int x = 0; x < width_; ++x) {
        std::uint8_t i = s[x] & 0x0F;
        d[x >> 1] = (x & 1) ? std::uint8_t((d[x >> 1] & 0xF0) | i) : std::uint8_t((d[x >> 1] & 0x0F) | (i << 4));
      }
    }
    return true;
  }
  for (int y = 0; y < h; ++y) std::memcpy(scanLine(y), img.constScanLine(y), rowBytes);
  return true;
}

Handle createDIBSection(int width, int height, int bitCount, std::uint8_t** bits, const std::vector<QRgb>& palette) {
  if (bits) *bits = nullptr;
  auto dib = Dib::create(width, height, bitCount, palette, true);
  if (!dib) return 0;
  std::uint8_t* p = dib->bits();
  Handle h = addObject(dib);
  if (h && bits) *bits = p;
  return h;
}

bool getBitmapInfo(Handle bitmap, BitmapInfo& info) {
  auto dib = find<Dib>(bitmap);
  if (!dib) return false;
  info.width = dib->width();
  info.height = dib->absHeight();
  info.stride = dib->stride();
  info.planes = 1;
  info.bitCount = dib->bitCount();
  info.bits = dib->isSection() ? dib->bits() : nullptr;
  return true;
}

bool deleteObject(Handle obj) {
  auto dib = find<Dib>(obj);
  if (!dib) return false;
  if (dib->stock) return true;
  if (dib->selectedIn != 0) return false;
  return removeObject(obj);
}

}  // namespace gdi
