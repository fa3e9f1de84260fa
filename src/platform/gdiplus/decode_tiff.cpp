// TIFF over libtiff: stripped and tiled pages in any layout libtiff's RGBA reader knows. Pages
// are counted up front and decoded when selected, each page's size checked first; libtiff
// itself is held to a bounded allocation and kept quiet.
#include <tiffio.h>

#include <QByteArray>
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "decoders.h"

namespace gdiplus {
namespace {

struct Memory {
  QByteArray bytes;
  toff_t pos = 0;
};

tsize_t readProc(thandle_t h, tdata_t buf, tsize_t n) {
  auto* m = static_cast<Memory*>(h);
  const toff_t size = toff_t(m->bytes.size());
  if (m->pos >= size || n <= 0) return 0;
  const toff_t take = std::min<toff_t>(toff_t(n), size - m->pos);
  std::memcpy(buf, m->bytes.constData() + m->pos, take);
  m->pos += take;
  return tsize_t(take);
}
tsize_t writeProc(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t seekProc(thandle_t h, toff_t off, int whence) {
  auto* m = static_cast<Memory*>(h);
  const toff_t size = toff_t(m->bytes.size());
  toff_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : size;
  if (whence != SEEK_SET && std::int64_t(off) < 0 && toff_t(-std::int64_t(off)) > base) return toff_t(-1);
  m->pos = base + off;
  return m->pos;
}
int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return toff_t(static_cast<Memory*>(h)->bytes.size()); }
int mapProc(thandle_t, tdata_t*, toff_t*) { return 0; }
void unmapProc(thandle_t, tdata_t, toff_t) {}
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

class TiffPages : public FrameSource {
 public:
  TiffPages(std::unique_ptr<Memory> mem, TIFF* tif, unsigned pages, Limits limits)
      : mem_(std::move(mem)), tif_(tif), pages_(pages), limits_(limits) {}
  ~TiffPages() override { TIFFClose(tif_); }
  unsigned count() const override { return pages_; }
  QImage frame(unsigned index) override {
    if (index >= pages_ || !TIFFSetDirectory(tif_, tdir_t(index))) return {};
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &h);
    if (!withinLimits(w, h, limits_)) return {};
    if (QImage straight = direct(w, h); !straight.isNull()) return straight;
    char msg[1024];
    if (!TIFFRGBAImageOK(tif_, msg)) return {};
    // libtiff's RGBA raster carries premultiplied alpha, whatever the file stores.
    QImage img(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
    if (img.isNull()) return {};
    auto* raster = reinterpret_cast<std::uint32_t*>(img.bits());
    if (!TIFFReadRGBAImageOriented(tif_, w, h, raster, ORIENTATION_TOPLEFT, 1)) return {};
    // libtiff gives red in the low byte; ARGB32 wants blue there.
    const std::size_t n = std::size_t(w) * h;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t v = raster[i];
      raster[i] = (v & 0xFF00FF00u) | ((v & 0xFF) << 16) | ((v >> 16) & 0xFF);
    }
    return img.convertToFormat(QImage::Format_ARGB32);
  }
  // Pages of grey, palette, RGB or CMYK samples of 1 to 16 bits (or 32-bit floats from 0 to
  // 1) with no alpha or an unassociated one, read as stored: the RGBA raster would premultiply the alpha (losing
  // colour under it) and keeps only the high byte of 16-bit grey and colour-map values, where
  // scaling rounds to the nearest level. Null for any other layout.
  QImage direct(std::uint32_t w, std::uint32_t h) {
    std::uint16_t bits = 0, spp = 0, photometric = 0, planar = PLANARCONFIG_CONTIG, orientation = ORIENTATION_TOPLEFT;
    std::uint16_t extra = 0, *types = nullptr, inkset = INKSET_CMYK, sampleFormat = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_INKSET, &inkset);
    TIFFGetFieldDefaulted(tif_, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    if (!TIFFGetField(tif_, TIFFTAG_PHOTOMETRIC, &photometric)) return {};
    TIFFGetField(tif_, TIFFTAG_EXTRASAMPLES, &extra, &types);
    const int colours = photometric == PHOTOMETRIC_RGB ? 3 : photometric == PHOTOMETRIC_SEPARATED ? 4 : 1;
    if (photometric == PHOTOMETRIC_SEPARATED && (inkset != INKSET_CMYK || extra != spp - 4)) return {};
    const bool known = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
                       photometric == PHOTOMETRIC_PALETTE || colours > 1;
    const bool alpha = extra == 1 && types[0] == EXTRASAMPLE_UNASSALPHA;
    const bool floats = sampleFormat == SAMPLEFORMAT_IEEEFP && bits == 32 &&
                        (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_RGB);
    const bool depthOk = bits == 8 || bits == 16 || (colours == 1 && (bits == 1 || bits == 2 || bits == 4));
    const bool tiled = TIFFIsTiled(tif_);
    if (!known || !(floats || (depthOk && sampleFormat == SAMPLEFORMAT_UINT)) || planar != PLANARCONFIG_CONTIG ||
        orientation != ORIENTATION_TOPLEFT || (tiled && bits < 8) || (extra != 0 && !alpha) ||
        spp != colours + extra || (photometric == PHOTOMETRIC_PALETTE && bits > 8))
      return {};
    const std::int64_t lineBytes = (std::int64_t(w) * spp * bits + 7) / 8;
    if (TIFFScanlineSize64(tif_) != lineBytes) return {};
    std::uint32_t tileW = 0, tileH = 0;
    std::vector<std::uint8_t> tile, band;
    if (tiled) {
      TIFFGetField(tif_, TIFFTAG_TILEWIDTH, &tileW);
      TIFFGetField(tif_, TIFFTAG_TILELENGTH, &tileH);
      const std::int64_t tileBytes = std::int64_t(tileW) * tileH * spp * (bits / 8);
      if (tileW == 0 || tileH == 0 || tileW > limits_.maxSide || tileH > limits_.maxSide ||
          TIFFTileSize64(tif_) != tileBytes || tileBytes > limits_.maxPixels * 4)
        return {};
      tile.resize(std::size_t(tileBytes));
      band.resize(std::size_t(lineBytes) * tileH);
    }
    // One band of tiles at a time, copied into whole lines.
    auto readLine = [&](std::uint32_t y, std::uint8_t* out) {
      if (!tiled) return TIFFReadScanline(tif_, out, y, 0) == 1;
      const std::size_t pixelBytes = std::size_t(spp) * (bits / 8);
      if (y % tileH == 0) {
        for (std::uint32_t x = 0; x < w; x += tileW) {
          if (TIFFReadTile(tif_, tile.data(), x, y, 0, 0) < 0) return false;
          const std::size_t n = std::size_t(std::min(tileW, w - x)) * pixelBytes;
          for (std::uint32_t row = 0; row < tileH && y + row < h; ++row)
            std::memcpy(band.data() + std::size_t(row) * std::size_t(lineBytes) + x * pixelBytes,
                        tile.data() + std::size_t(row) * tileW * pixelBytes, n);
        }
      }
      std::memcpy(out, band.data() + std::size_t(y % tileH) * std::size_t(lineBytes), std::size_t(lineBytes));
      return true;
    };
    std::uint16_t *mapR = nullptr, *mapG = nullptr, *mapB = nullptr;
    if (photometric == PHOTOMETRIC_PALETTE && !TIFFGetField(tif_, TIFFTAG_COLORMAP, &mapR, &mapG, &mapB)) return {};
    // Old writers store 8-bit colour maps; those are taken as they stand.
    bool map8 = true;
    for (unsigned i = 0; mapR && i < (1u << bits); ++i) map8 = map8 && mapR[i] < 256 && mapG[i] < 256 && mapB[i] < 256;
    const std::uint32_t maxValue = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    auto to8 = [](std::uint32_t v16) { return std::uint32_t((v16 * 255 + 32895) >> 16); };
    auto scaled = [&](std::uint32_t v) {
      if (floats) {
        float f;
        std::memcpy(&f, &v, 4);
        return f > 0 ? std::uint32_t(std::min(f, 1.0f) * 255 + 0.5f) : 0u;  // NaN and below 0 as 0
      }
      return bits == 16 ? to8(v) : (v * 255 + maxValue / 2) / maxValue;
    };
    std::vector<std::uint8_t> line(std::size_t(lineBytes) + 8);
    QImage img(int(w), int(h), QImage::Format_ARGB32);
    if (img.isNull()) return {};
    for (std::uint32_t y = 0; y < h; ++y) {
      if (!readLine(y, line.data())) return {};
      auto sample = [&](std::size_t i) -> std::uint32_t {
        if (bits == 32) return reinterpret_cast<const std::uint32_t*>(line.data())[i];
        if (bits == 16) return reinterpret_cast<const std::uint16_t*>(line.data())[i];
        if (bits == 8) return line[i];
        const std::size_t bit = i * bits;
        return (line[bit / 8] >> (8 - bits - bit % 8)) & maxValue;
      };
      auto* out = reinterpret_cast<std::uint32_t*>(img.scanLine(int(y)));
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::size_t i = std::size_t(x) * spp;
        std::uint32_t r, g, b;
        if (photometric == PHOTOMETRIC_PALETTE) {
          const std::uint32_t v = sample(i);
          r = map8 ? mapR[v] : to8(mapR[v]);
          g = map8 ? mapG[v] : to8(mapG[v]);
          b = map8 ? mapB[v] : to8(mapB[v]);
        } else if (colours == 1) {
          r = g = b = scaled(photometric == PHOTOMETRIC_MINISWHITE ? maxValue - sample(i) : sample(i));
        } else if (colours == 3) {
          r = scaled(sample(i));
          g = scaled(sample(i + 1));
          b = scaled(sample(i + 2));
        } else {
          // Ink over white: each colour is what cyan, magenta or yellow and black leave of it.
          const std::uint64_t k = maxValue - sample(i + 3), full = std::uint64_t(maxValue) * maxValue;
          auto ink = [&](std::uint32_t c) {
            const std::uint64_t v = (maxValue - c) * k;
            return std::uint32_t((v * 255 + full / 2) / full);
          };
          r = ink(sample(i));
          g = ink(sample(i + 1));
          b = ink(sample(i + 2));
        }
        const std::uint32_t a = alpha ? scaled(sample(i + colours)) : 255;
        out[x] = a << 24 | r << 16 | g << 8 | b;
      }
    }
    return img;
  }
  bool hasAlpha() {
    std::uint16_t extra = 0, *types = nullptr;
    return TIFFGetField(tif_, TIFFTAG_EXTRASAMPLES, &extra, &types) && extra > 0;
  }
  double dpi(bool& real) {
    float x = 0;
    std::uint16_t unit = RESUNIT_INCH;
    real = TIFFGetField(tif_, TIFFTAG_XRESOLUTION, &x) && x > 0;
    TIFFGetFieldDefaulted(tif_, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!real || unit == RESUNIT_NONE) {
      real = false;
      return 96;
    }
    return unit == RESUNIT_CENTIMETER ? x * 2.54 : x;
  }

 private:
  std::unique_ptr<Memory> mem_;
  TIFF* tif_;
  unsigned pages_;
  Limits limits_;
};

}  // namespace

Status decodeTiff(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out) {
  return decodeTiff(data, size, limits, out, nullptr);
}

Status decodeTiff(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                  QSize* stated) {
  auto mem = std::make_unique<Memory>();
  mem->bytes = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return Status::OutOfMemory;
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(limits.maxPixels * 4 + (1 << 20)));
  TIFFOpenOptionsSetErrorHandlerExtR(opts, quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, quiet, nullptr);
  TIFF* tif = TIFFClientOpenExt("memory", "rm", mem.get(), readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                                unmapProc, opts);
  TIFFOpenOptionsFree(opts);
  if (!tif) return Status::GenericError;
  std::uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  if (stated) *stated = QSize(int(std::min<std::uint32_t>(w, INT_MAX)), int(std::min<std::uint32_t>(h, INT_MAX)));
  if (w > 0 && h > 0 && !withinLimits(w, h, limits)) {
    TIFFClose(tif);
    return Status::ValueOverflow;
  }
  unsigned pages = 1;
  while (pages < limits.maxFrames && TIFFReadDirectory(tif)) ++pages;
  auto source = std::make_unique<TiffPages>(std::move(mem), tif, pages, limits);
  QImage first = source->frame(0);
  if (first.isNull()) return Status::GenericError;
  bool real = false;
  const double dpi = source->dpi(real);
  const bool alpha = source->hasAlpha();
  std::unique_ptr<FrameSource> frames;
  if (pages > 1) frames = std::move(source);
  out = std::make_unique<Image>(std::move(first), alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, ImageFormatTIFF,
                                std::move(frames));
  out->setResolution(dpi, dpi, real);
  return Status::Ok;
}

}  // namespace gdiplus
