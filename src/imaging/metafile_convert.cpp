#include "metafile_convert.h"

#include <QImage>

#include <cmath>

#include "metafile.h"

namespace imaging {
namespace {

// The bitmap the EMF is drawn into: its own size at 96 DPI, the longer side at most this.
constexpr int kMaxRasterSide = 2048;

void put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
  v.push_back(std::uint8_t(x & 0xFF));
  v.push_back(std::uint8_t((x >> 8) & 0xFF));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

}  // namespace

PlaceableExtents placeableExtents(double width, double height, const gdi::Screen& screen) {
  if (!(width > 0) || !(height > 0)) return {};
  double right, bottom;
  if (width > height) {
    right = screen.twipsPerPixelX() * 256.0;
    bottom = right * height / width;
  } else {
    bottom = screen.twipsPerPixelY() * 256.0;
    right = bottom * width / height;
  }
  const double r = std::nearbyint(right), b = std::nearbyint(bottom);
  if (r < 1 || b < 1 || r > 32767 || b > 32767) return {};
  return {int(r), int(b)};
}

std::vector<std::uint8_t> placeableHeader(int right, int bottom) {
  std::vector<std::uint8_t> h;
  put32(h, 0x9AC6CDD7);
  put16(h, 0);  // metafile handle
  put16(h, 0);  // left
  put16(h, 0);  // top
  put16(h, std::uint32_t(right));
  put16(h, std::uint32_t(bottom));
  put16(h, 1440);
  put32(h, 0);
  std::uint16_t sum = 0;
  for (int i = 0; i < 20; i += 2) sum ^= std::uint16_t(h[std::size_t(i)] | (h[std::size_t(i) + 1] << 8));
  put16(h, sum);
  return h;
}

std::vector<std::uint8_t> emfToPlaceableWmf(std::span<const std::uint8_t> emf, const gdi::Screen& screen) {
  const auto meta = gdi::Metafile::parse(emf);
  if (!meta || meta->kind() != gdi::Metafile::Emf) return {};
  const QSizeF him = meta->sizeHimetric();
  const PlaceableExtents ext = placeableExtents(him.width(), him.height(), screen);
  if (ext.right == 0) return {};
  QSize size = meta->sizePixels(96);
  if (size.width() > kMaxRasterSide || size.height() > kMaxRasterSide)
    size = size.scaled(kMaxRasterSide, kMaxRasterSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
  // WMF bitmaps carry no alpha: drawn over white, kept as 24 bits.
  const QImage img = meta->render(size, 0xFFFFFFFF).convertToFormat(QImage::Format_BGR888);
  if (img.isNull()) return {};

  const std::uint32_t stride = (std::uint32_t(img.width()) * 3 + 3) & ~3u;
  const std::uint64_t dibBytes = 40 + std::uint64_t(stride) * std::uint32_t(img.height());
  const std::uint64_t recordWords = (28 + dibBytes) / 2;  // 28 bytes of record before the DIB
  std::vector<std::uint8_t> out = placeableHeader(ext.right, ext.bottom);
  const std::uint64_t totalWords = 9 + recordWords + 3;
  if (totalWords > 0xFFFFFFFFu) return {};
  // METAHEADER: in memory, 9 words, version 3.0, size, no objects, largest record, 0.
  put16(out, 1);
  put16(out, 9);
  put16(out, 0x0300);
  put32(out, std::uint32_t(totalWords));
  put16(out, 0);
  put32(out, std::uint32_t(recordWords));
  put16(out, 0);
  // StretchDIB of the whole bitmap onto the whole frame.
  put32(out, std::uint32_t(recordWords));
  put16(out, 0x0F43);
  put32(out, 0x00CC0020);  // SRCCOPY
  put16(out, 0);           // DIB_RGB_COLORS
  put16(out, std::uint32_t(img.height()));
  put16(out, std::uint32_t(img.width()));
  put16(out, 0);
  put16(out, 0);
  put16(out, std::uint32_t(ext.bottom));
  put16(out, std::uint32_t(ext.right));
  put16(out, 0);
  put16(out, 0);
  put32(out, 40);
  put32(out, std::uint32_t(img.width()));
  put32(out, std::uint32_t(img.height()));  // bottom-up
  put16(out, 1);
  put16(out, 24);
  for (int i = 0; i < 6; ++i) put32(out, 0);
  for (int y = img.height() - 1; y >= 0; --y) {
    const std::uint8_t* row = img.constScanLine(y);
    for (int x = 0; x < img.width(); ++x) {
      // Format_BGR888 holds blue, green, red in memory, as a DIB does.
      out.insert(out.end(), row + 3 * x, row + 3 * x + 3);
    }
    out.resize(out.size() + (stride - std::uint32_t(img.width()) * 3), 0);
  }
  // EOF record.
  put32(out, 3);
  put16(out, 0);
  return out;
}

}  // namespace imaging
