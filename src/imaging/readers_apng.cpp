#include "readers_apng.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "dib.h"
#include "readers_alpha.h"
#include "readers_png.h"

namespace imaging {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kMaxFrames = 4095;
// All composed frames together stay within this many bytes.
constexpr std::int64_t kMaxFrameBytes = gdi::kMaxDibBytes;

const std::array<std::uint32_t, 256>& crcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

// The chunk's CRC (over type and data) against the four bytes behind its data.
bool crcMatches(ByteReader& r, std::uint64_t data, std::uint64_t length) {
  return chunkCrc(r.at(data - 4), length + 4) == r.be32(data + length);
}

void appendBe32(QByteArray& out, std::uint32_t v) {
  const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
  out.append(b, 4);
}

// Straight-alpha "source over" of one pixel.
std::uint32_t over(std::uint32_t s, std::uint32_t d) {
  const std::uint32_t sa = s >> 24;
  if (sa == 255) return s;
  if (sa == 0) return d;
  const std::uint32_t fa = sa * 255, fb = (d >> 24) * (255 - sa), a = fa + fb;
  auto ch = [&](int sh) { return (((s >> sh) & 0xFF) * fa + ((d >> sh) & 0xFF) * fb + a / 2) / a; };
  return (((a + 127) / 255) << 24) | (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

}  // namespace

std::uint32_t chunkCrc(const std::uint8_t* bytes, std::size_t count) {
  const auto& t = crcTable();
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < count; ++i) c = t[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

bool ApngReader::readAcTL(ByteReader& r, std::uint64_t data, std::uint64_t length) {
  if (frameCount_ != 0 || length < 8 || !crcMatches(r, data, length)) return false;
  const std::uint32_t count = r.be32(data);
  if (count < 2 || count > kMaxFrames) return false;
  frameCount_ = int(count);
  frames_.resize(count);
  // The loop count goes out as a 16-bit value.
  loopCount_ = std::clamp<std::int64_t>(std::int32_t(r.be32(data + 4)), 0, 0xFFFF);
  return true;
}

bool ApngReader::readFcTL(ByteReader& r, std::uint64_t data, std::uint64_t length) {
  if (frameCount_ == 0 && frames_.empty()) frames_.resize(1);
  if (length < 26 || !crcMatches(r, data, length)) return false;
  if (r.be32(data) != nextSequence_) return false;
  ++nextSequence_;
  ++fcTLCount_;
  if (std::size_t(fcTLCount_) > frames_.size()) return false;
  Frame& f = frames_[std::size_t(fcTLCount_ - 1)];
  f.width = std::int32_t(r.be32(data + 4));
  f.height = std::int32_t(r.be32(data + 8));
  f.x = std::int32_t(r.be32(data + 12));
  f.y = std::int32_t(r.be32(data + 16));
  if (f.x < 0 || f.width < 1 || f.x + f.width > width_) return false;
  if (f.y < 0 || f.height < 1 || f.y + f.height > height_) return false;
  const double num = (r.be32(data + 20) >> 16), den = (r.be32(data + 20) & 0xFFFF);
  const double delay = (den == 0 || den == 100) ? num : den == 1000 ? num / 10 : num / (den / 100);
  f.delay = int(std::nearbyint(std::min(delay, 2147483647.0)));
  f.dispose = r.u8(data + 24);
  f.blend = r.u8(data + 25);
  if (f.dispose == 2) disposesToPrevious_ = true;
  return true;
}

bool ApngReader::readFdAT(ByteReader& r, std::uint64_t data, std::uint64_t length) {
  if (length < 4 || !crcMatches(r, data, length)) return false;
  if (r.be32(data) != nextSequence_) return false;
  ++nextSequence_;
  // Frame data follows the image data and belongs to the frame control read last.
  if (fcTLCount_ < 1 || firstImageData_ == 0) return false;
  frames_[std::size_t(fcTLCount_ - 1)].pieces.emplace_back(data + 4, length - 4);
  return true;
}

int ApngReader::scanChunks(Bytes source, int imageWidth, int imageHeight) {
  *this = ApngReader();
  width_ = imageWidth;
  height_ = imageHeight;
  ByteReader r(source);
  if (source.size() < 8 || std::memcmp(source.data(), kSignature, 8) != 0) return 0;
  std::uint64_t pos = 8;
  for (;;) {
    if (!r.has(pos, 12)) return 0;  // ran out of bytes before IEND
    const std::int32_t signedLength = std::int32_t(r.be32(pos));
    if (signedLength < 0) return 0;
    const std::uint64_t length = std::uint64_t(signedLength), data = pos + 8;
    if (!r.has(pos, length + 12)) return 0;
    const char* type = reinterpret_cast<const char*>(r.at(pos + 4));
    auto is = [&](const char* t) { return std::memcmp(type, t, 4) == 0; };
    if (is("acTL")) {
      if (!readAcTL(r, data, length)) return 0;
    } else if (is("fcTL")) {
      if (!readFcTL(r, data, length)) return 0;
    } else if (is("IDAT")) {
      if (frameCount_ < 2) return 0;
      if (nextSequence_ == 1)
        frames_[0].pieces.emplace_back(data, length);
      else
        defaultIsNotFirstFrame_ = true;
      if (firstImageData_ == 0) firstImageData_ = pos;
    } else if (is("fdAT")) {
      if (!readFdAT(r, data, length)) return 0;
    } else if (is("IEND")) {
      return frameCount_;
    }
    pos += length + 12;
  }
}

std::vector<ApngFrame> ApngReader::composeFrames(const QImage& defaultImage, Bytes source) const {
  ByteReader r(source);
  // The one-frame PNGs keep everything before the first image data; IHDR must be where the
  // frame size is written.
  if (frameCount_ < 2 || int(frames_.size()) != frameCount_ || firstImageData_ < 33 || !r.has(0, firstImageData_) ||
      r.be32(8) != 13 || std::memcmp(r.at(12), "IHDR", 4) != 0)
    return {};
  if (!gdi::dibSizeAllowed(width_, height_) || width_ * height_ * 4 * frameCount_ > kMaxFrameBytes) return {};
  QImage canvas(int(width_), int(height_), QImage::Format_ARGB32);
  if (canvas.isNull()) return {};
  canvas.fill(0);
  QImage saved;
  std::vector<ApngFrame> out;
  const QByteArray prefix(reinterpret_cast<const char*>(source.data()), qsizetype(firstImageData_));
  for (int i = 0; i < frameCount_; ++i) {
    const Frame& f = frames_[std::size_t(i)];
    int dispose = f.dispose;
    if (i == 0 && dispose == 2) dispose = 1;
    if (i == frameCount_ - 1) dispose = 0;

    QImage frame;
    if (i == 0 && !defaultIsNotFirstFrame_) {
      frame = defaultImage.convertToFormat(QImage::Format_ARGB32);
    } else {
      if (f.pieces.empty()) return {};
      QByteArray png = prefix;
      auto* p = reinterpret_cast<std::uint8_t*>(png.data());
      for (int k = 0; k < 4; ++k) {
        p[16 + k] = std::uint8_t(std::uint32_t(f.width) >> (24 - 8 * k));
        p[20 + k] = std::uint8_t(std::uint32_t(f.height) >> (24 - 8 * k));
      }
      const std::uint32_t ihdrCrc = chunkCrc(p + 12, 17);
      for (int k = 0; k < 4; ++k) p[29 + k] = std::uint8_t(ihdrCrc >> (24 - 8 * k));
      for (const auto& [offset, length] : f.pieces) {
        QByteArray chunk("IDAT");
        chunk.append(reinterpret_cast<const char*>(r.at(offset)), qsizetype(length));
        appendBe32(png, std::uint32_t(length));
        png.append(chunk);
        appendBe32(png, chunkCrc(reinterpret_cast<const std::uint8_t*>(chunk.constData()), std::size_t(chunk.size())));
      }
      png.append("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
      frame = decodePng({reinterpret_cast<const std::uint8_t*>(png.constData()), std::size_t(png.size())});
    }
    if (frame.isNull()) return {};

    if (dispose == 2) saved = canvas.copy(0, int(f.y), canvas.width(), int(f.height));
    const int w = std::min<int>(frame.width(), canvas.width() - int(f.x));
    const int h = w > 0 ? std::min<int>(frame.height(), canvas.height() - int(f.y)) : 0;
    for (int y = 0; y < h; ++y) {
      const auto* s = reinterpret_cast<const std::uint32_t*>(frame.constScanLine(y));
      auto* d = reinterpret_cast<std::uint32_t*>(canvas.scanLine(int(f.y) + y)) + f.x;
      if (f.blend == 0)
        std::memcpy(d, s, std::size_t(w) * 4);
      else
        for (int x = 0; x < w; ++x) d[x] = over(s[x], d[x]);
    }
    out.push_back({canvas, f.delay});  // shares the pixels until the canvas changes

    if (dispose == 1) {
      for (int y = 0; y < h; ++y)
        std::memset(reinterpret_cast<std::uint32_t*>(canvas.scanLine(int(f.y) + y)) + f.x, 0, std::size_t(w) * 4);
    } else if (dispose == 2 && !saved.isNull()) {
      for (int y = 0; y < saved.height(); ++y)
        std::memcpy(canvas.scanLine(int(f.y) + y), saved.constScanLine(y), std::size_t(canvas.width()) * 4);
    }
  }
  return out;
}

ApngResult readApng(Bytes source, LoadOptions& options, const LoadEventHandler& onLoad) {
  ApngResult res;
  if (source.size() < 8 || std::memcmp(source.data(), kSignature, 8) != 0) return res;
  res.flags = kTypePng;
  const QImage image = decodePng(source);
  if (image.isNull()) return res;
  ApngReader reader;
  int count = reader.scanChunks(source, image.width(), image.height());
  if (count < 2) count = 1;
  const std::uint32_t alpha = analyzeAlpha(image);
  res.props = {{image.width(), image.height(), count * 16 + transparencyKind(alpha)}};
  if (!raiseLoadEvent(onLoad, 7, res.props, options)) return res;
  const bool several = res.props[0][2] / 16 > 1;
  res.flags = alpha | (several ? kSeveralFrames : 0) | (count > 1 ? kTypeAnimatedPng : kTypePng);
  if (count > 1) {
    res.frames = reader.composeFrames(image, source);
    res.loopCount = reader.loopCount();
  }
  if (res.frames.empty()) {
    res.flags = (res.flags & 0xE7FFFFFFu) | kTypePng;
    res.loopCount = 0;
    res.frames.push_back({image, 0});
  }
  return res;
}

}  // namespace imaging
