#include "DirectShowDIB.h"

#include <cstring>

#include "photofile.h"
#include "vb.h"

namespace {

// System codes the failures are reported with.
constexpr std::uint32_t kInvalidParameter = 87;  // a header no bitmap can have
constexpr std::uint32_t kNotEnoughMemory = 8;    // a bitmap beyond the picture limits
constexpr std::uint32_t kOutOfMemory = 0x8007000E;

constexpr std::uint32_t kBiRgb = 0, kBiBitfields = 3;

struct Header {
  std::uint32_t size;
  std::int32_t width, height;
  std::uint16_t planes, bitCount;
  std::uint32_t compression, sizeImage;
  std::int32_t xPels, yPels;
  std::uint32_t clrUsed, clrImportant;
};
static_assert(sizeof(Header) == 40);

// A colour mask as a shift and a scale to 8 bits.
struct Channel {
  int shift = 0;
  std::uint32_t max = 0;
  bool set(std::uint32_t mask) {
    if (mask == 0) return false;
    shift = 0;
    while (!(mask & 1u)) {
      mask >>= 1;
      ++shift;
    }
    if (mask & (mask + 1)) return false;  // not one run of bits
    max = mask;
    return true;
  }
  int value(std::uint32_t px) const { return int((std::uint64_t((px >> shift) & max) * 255 + max / 2) / max); }
};

}  // namespace

DirectShowDIB& DirectShowDIB::instance() {
  static DirectShowDIB shared;
  return shared;
}

QImage DirectShowDIB::fail(const char* call, std::uint32_t code) {
  LastError = static_cast<std::int32_t>(code);
  LastDescription = QString::fromLatin1(call) + QStringLiteral(" error 0x") +
                    QStringLiteral("%1").arg(code, 8, 16, QLatin1Char('0')).toUpper() + QStringLiteral(" (") +
                    QString::number(LastError) + QLatin1Char(')');
  return {};
}

QImage DirectShowDIB::CreatePicture(const std::vector<std::int32_t>& LongDIB) {
  if (LongDIB.empty()) throw vb::VbError(9, QStringLiteral("DirectShowDIB"), QStringLiteral("Subscript out of range"));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(LongDIB.data());
  const std::int64_t total = std::int64_t(LongDIB.size()) * 4;
  Header h{};
  if (total < std::int64_t(sizeof h)) return fail("CreateDIBSection", kInvalidParameter);
  std::memcpy(&h, bytes, sizeof h);

  const std::int64_t width = h.width, rows = h.height < 0 ? -std::int64_t(h.height) : std::int64_t(h.height);
  const int bpp = h.bitCount;
  const bool masks = h.compression == kBiBitfields;
  const bool bppOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  if (h.size < 40 || h.size > total || h.planes != 1 || width <= 0 || rows == 0 || !bppOk ||
      (h.compression != kBiRgb && !masks) || (masks && bpp != 16 && bpp != 32))
    return fail("CreateDIBSection", kInvalidParameter);
  const std::int64_t tableMax = bpp <= 8 ? (std::int64_t(1) << bpp) : 0;
  const std::int64_t table = h.clrUsed ? std::int64_t(h.clrUsed) : tableMax;
  if (bpp <= 8 && table > tableMax) return fail("CreateDIBSection", kInvalidParameter);
  if (width > photobox::kMaxPictureSide || rows > photobox::kMaxPictureSide ||
      width * rows > photobox::kMaxPicturePixels)
    return fail("CreateDIBSection", kNotEnoughMemory);

  // The three masks follow a 40-byte header; a larger header holds them itself.
  std::int64_t offset = std::int64_t(h.size);
  std::uint32_t mask[3] = {0x7C00, 0x03E0, 0x001F};
  if (bpp == 32) mask[0] = 0xFF0000, mask[1] = 0xFF00, mask[2] = 0xFF;
  if (masks) {
    if (40 + 12 > total) return fail("CreateDIBSection", kInvalidParameter);
    std::memcpy(mask, bytes + 40, 12);
    if (h.size == 40) offset += 12;
  }
  Channel ch[3];
  for (int i = 0; i < 3; ++i)
    if (!ch[i].set(mask[i])) return fail("CreateDIBSection", kInvalidParameter);
  const std::int64_t tableAt = offset;
  offset += table * 4;
  const std::int64_t stride = (width * bpp + 31) / 32 * 4;
  if (offset > total || stride * rows > total - offset) return fail("SetDIBits", kInvalidParameter);

  QImage out(int(width), int(rows), QImage::Format_RGB32);
  if (out.isNull()) return fail("OleCreatePictureIndirect", kOutOfMemory);
  std::vector<QRgb> colours(size_t(table), qRgb(0, 0, 0));
  for (std::int64_t i = 0; i < table; ++i) {
    const std::uint8_t* q = bytes + tableAt + i * 4;  // blue, green, red, reserved
    colours[size_t(i)] = qRgb(q[2], q[1], q[0]);
  }
  for (std::int64_t y = 0; y < rows; ++y) {
    const std::uint8_t* src = bytes + offset + (h.height < 0 ? y : rows - 1 - y) * stride;
    auto* dst = reinterpret_cast<QRgb*>(out.scanLine(int(y)));
    for (std::int64_t x = 0; x < width; ++x) {
      switch (bpp) {
        case 24:
          dst[x] = qRgb(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]);
          break;
        case 16:
        case 32: {
          std::uint32_t px = 0;
          std::memcpy(&px, src + x * (bpp / 8), size_t(bpp / 8));
          dst[x] = qRgb(ch[0].value(px), ch[1].value(px), ch[2].value(px));
          break;
        }
        default: {
          const std::int64_t bit = x * bpp;
          const int index = (src[bit / 8] >> (8 - bpp - bit % 8)) & ((1 << bpp) - 1);
          // An index beyond a short table shows black, as the palette's unused entries do.
          dst[x] = index < table ? colours[size_t(index)] : qRgb(0, 0, 0);
        }
      }
    }
  }
  LastError = 0;
  LastDescription.clear();
  return out;
}

std::vector<std::int32_t> DirectShowDIB::packFrame(const QImage& frame) {
  const QImage img = frame.convertToFormat(QImage::Format_RGB32);
  const Header h{40, img.width(), img.height(), 1, 32, kBiRgb, std::uint32_t(img.sizeInBytes()), 0, 0, 0, 0};
  std::vector<std::int32_t> out(10 + size_t(img.width()) * size_t(img.height()));
  std::memcpy(out.data(), &h, sizeof h);
  for (int y = 0; y < img.height(); ++y)  // bottom row first
    std::memcpy(out.data() + 10 + size_t(img.height() - 1 - y) * size_t(img.width()), img.constScanLine(y),
                size_t(img.width()) * 4);
  return out;
}
