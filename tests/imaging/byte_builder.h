#pragma once
// Builds test files byte by byte: little- and big-endian fields, patches, and the small
// files the reader tests share.
#include <QBuffer>
#include <QImage>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

namespace imaging_test {

struct Bytes {
  std::vector<std::uint8_t> v;
  Bytes& u8(unsigned x) { v.push_back(std::uint8_t(x)); return *this; }
  Bytes& u16(unsigned x) { return u8(x & 0xFF).u8((x >> 8) & 0xFF); }
  Bytes& u32(std::uint32_t x) { return u16(x & 0xFFFF).u16(x >> 16); }
  Bytes& be32(std::uint32_t x) { return u8(x >> 24).u8(x >> 16).u8(x >> 8).u8(x); }
  Bytes& text(std::string_view s) { for (char c : s) u8(std::uint8_t(c)); return *this; }
  Bytes& raw(std::span<const std::uint8_t> b) { v.insert(v.end(), b.begin(), b.end()); return *this; }
  Bytes& zeros(std::size_t n) { v.resize(v.size() + n, 0); return *this; }
  Bytes& pad(std::size_t to) { if (v.size() < to) v.resize(to, 0); return *this; }
  Bytes& cut(std::size_t n) { v.resize(n); return *this; }
  Bytes& set(std::size_t at, std::uint8_t x) { v[at] = x; return *this; }
  Bytes& put32(std::size_t at, std::uint32_t x) { for (int i = 0; i < 4; ++i) v[at + i] = std::uint8_t(x >> (8 * i)); return *this; }
  std::size_t size() const { return v.size(); }
  std::span<const std::uint8_t> span() const { return v; }
};

// A bitmap file: file header, an info header of `headerSize` bytes (12 for a core header),
// then `tail` (masks, palette, pixels) as given.
inline Bytes bmpFile(std::uint32_t headerSize, std::int32_t w, std::int32_t h, int bpp, std::uint32_t compression,
                     std::span<const std::uint8_t> tail, std::int32_t ppm = 0, std::uint32_t colorsUsed = 0,
                     std::uint32_t imageSize = 0) {
  Bytes b;
  b.text("BM").u32(0).u32(0).u32(0).u32(headerSize);
  if (headerSize == 12) {
    b.u16(std::uint16_t(w)).u16(std::uint16_t(h)).u16(1).u16(std::uint16_t(bpp));
  } else {
    b.u32(std::uint32_t(w)).u32(std::uint32_t(h)).u16(1).u16(std::uint16_t(bpp)).u32(compression).u32(imageSize);
    b.u32(std::uint32_t(ppm)).u32(std::uint32_t(ppm)).u32(colorsUsed).u32(0);
    b.v.resize(14 + headerSize);
  }
  b.raw(tail);
  b.put32(2, std::uint32_t(b.size()));
  return b;
}

// A PNG file of the image, as Qt writes it.
inline std::vector<std::uint8_t> pngOf(const QImage& img) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return {out.begin(), out.end()};
}

}  // namespace imaging_test
