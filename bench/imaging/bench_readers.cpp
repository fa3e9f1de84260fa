// Our own BMP and ICO readers beside Qt's QImageReader on the same bytes, in memory: a
// card-sized picture at 8, 24 and 32 bits and as RLE8, and icons whose first entry is a
// 48 x 48 DIB or a 256 x 256 PNG.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <cstdint>
#include <string>
#include <vector>

#include "readers_bmp.h"
#include "readers_ico.h"

namespace {

constexpr int kW = 1011, kH = 638;

struct Out {
  std::vector<std::uint8_t> v;
  void u8(unsigned x) { v.push_back(std::uint8_t(x)); }
  void u16(unsigned x) { u8(x & 0xFF), u8(x >> 8); }
  void u32(std::uint32_t x) { u16(x & 0xFFFF), u16(x >> 16); }
};

std::uint8_t shade(int x, int y, int k) { return std::uint8_t((x * (k + 1) + y * (3 - k)) ^ (x / 64 * 37)); }

// Header fields of a 40-byte info header after "BM" and the file header.
std::vector<std::uint8_t> bmp(int bpp, std::uint32_t compression) {
  Out pal, px;
  if (bpp == 8)
    for (int i = 0; i < 256; ++i) pal.u32(std::uint32_t(i * 0x010203) & 0xFFFFFF);
  const int stride = ((kW * bpp + 31) & ~31) / 8;
  for (int y = 0; y < kH; ++y) {
    if (compression == 1) {  // runs of 16 pixels
      for (int x = 0; x < kW; x += 16) px.u8(std::min(16, kW - x)), px.u8(shade(x, y, 0));
      px.u8(0), px.u8(0);
      continue;
    }
    const std::size_t start = px.v.size();
    for (int x = 0; x < kW; ++x) {
      if (bpp == 8) px.u8(shade(x, y, 1));
      else for (int k = 0; k < bpp / 8; ++k) px.u8(k == 3 ? 255 : shade(x, y, k));
    }
    px.v.resize(start + std::size_t(stride), 0);
  }
  if (compression == 1) px.u8(0), px.u8(1);
  Out b;
  b.u8('B'), b.u8('M');
  const std::uint32_t offset = 54 + std::uint32_t(pal.v.size());
  b.u32(offset + std::uint32_t(px.v.size())), b.u32(0), b.u32(offset);
  b.u32(40), b.u32(kW), b.u32(kH), b.u16(1), b.u16(std::uint16_t(bpp)), b.u32(compression);
  b.u32(std::uint32_t(px.v.size())), b.u32(3780), b.u32(3780), b.u32(0), b.u32(0);
  b.v.insert(b.v.end(), pal.v.begin(), pal.v.end());
  b.v.insert(b.v.end(), px.v.begin(), px.v.end());
  return b.v;
}

std::vector<std::uint8_t> dibEntry(int side) {
  Out e;
  e.u32(40), e.u32(std::uint32_t(side)), e.u32(std::uint32_t(2 * side)), e.u16(1), e.u16(32);
  for (int i = 0; i < 6; ++i) e.u32(0);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) e.u32(0x80000000u | (std::uint32_t(shade(x, y, 0)) << 8));
  e.v.resize(e.v.size() + std::size_t(((side + 31) & ~31) / 8 * side), 0);
  return e.v;
}

std::vector<std::uint8_t> pngEntry(int side) {
  QImage img(side, side, QImage::Format_ARGB32);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) img.setPixel(x, y, qRgba(shade(x, y, 0), shade(x, y, 1), 90, (x + y) & 0xFF));
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return {out.begin(), out.end()};
}

std::vector<std::uint8_t> ico(std::vector<std::vector<std::uint8_t>> entries) {
  Out b;
  b.u16(0), b.u16(1), b.u16(std::uint16_t(entries.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
  for (const auto& e : entries) {
    b.u32(0), b.u16(1), b.u16(32), b.u32(std::uint32_t(e.size())), b.u32(offset);
    offset += std::uint32_t(e.size());
  }
  for (const auto& e : entries) b.v.insert(b.v.end(), e.begin(), e.end());
  return b.v;
}

const std::vector<std::vector<std::uint8_t>>& files() {
  static const std::vector<std::vector<std::uint8_t>> f = {
      bmp(24, 0), bmp(8, 0), bmp(32, 0), bmp(8, 1),
      ico({dibEntry(48), dibEntry(32), dibEntry(16)}), ico({pngEntry(256), dibEntry(48), dibEntry(32)})};
  return f;
}
const char* const kNames[] = {"bmp24", "bmp8", "bmp32", "bmp_rle8", "ico_dib48", "ico_png256"};

void ownReader(benchmark::State& state) {
  const auto& file = files()[std::size_t(state.range(0))];
  const bool icon = state.range(0) >= 4;
  state.SetLabel(kNames[state.range(0)]);
  for (auto _ : state) {
    imaging::LoadOptions o;
    o.iconIndex = 1;  // the first entry, as Qt's reader takes it
    const auto res = icon ? imaging::parseIco(file, o) : imaging::parseBmp(file, o);
    if (res.image.isNull()) state.SkipWithError("no picture");
    benchmark::DoNotOptimize(res.image.constBits());
  }
}

// Qt's reader as it stands, and with its picture brought to the 32 bits a pixel ours hands
// back (Qt keeps palette pictures at 8 bits).
void qtReader(benchmark::State& state) {
  const auto& file = files()[std::size_t(state.range(0))];
  const bool to32 = state.range(1) != 0;
  state.SetLabel(std::string(kNames[state.range(0)]) + (to32 ? " as 32 bits" : ""));
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
  for (auto _ : state) {
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, state.range(0) >= 4 ? "ico" : "bmp");
    QImage img = reader.read();
    if (to32) img = img.convertToFormat(QImage::Format_ARGB32);
    if (img.isNull()) state.SkipWithError("no picture");
    benchmark::DoNotOptimize(img.constBits());
  }
}

}  // namespace

BENCHMARK(ownReader)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);
BENCHMARK(qtReader)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}})->Unit(benchmark::kMicrosecond);
