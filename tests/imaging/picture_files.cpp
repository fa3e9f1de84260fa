#include "picture_files.h"

#include <gif_lib.h>
#include <tiffio.h>

#include <QBuffer>
#include <QTemporaryFile>
#include <cstdio>
#include <cstring>
#include <functional>

#include <jpeglib.h>

#include "jpeg_files.h"

namespace imaging_test {

QImage solid(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(c);
  return img;
}

QByteArray jpegFile(const QImage& img, int orientation) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.convertToFormat(QImage::Format_RGB32).save(&buf, "JPEG", 95);
  if (!orientation) return bytes;
  // APP1 "Exif", little-endian TIFF header, IFD0 with the one orientation entry.
  QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
  exif.append(char(orientation)).append(QByteArray(3, '\0')).append(QByteArray(4, '\0'));
  QByteArray seg("\xFF\xE1", 2);
  const int len = int(exif.size()) + 2;
  seg.append(char(len >> 8)).append(char(len & 0xFF)).append(exif);
  return bytes.left(2) + seg + bytes.mid(2);
}

QByteArray cmykJpegFile(int w, int h, int c, int m, int y, int k) {
  // Adobe files hold the inks inverted.
  const JSAMPLE inks[4] = {JSAMPLE(255 - c), JSAMPLE(255 - m), JSAMPLE(255 - y), JSAMPLE(255 - k)};
  return testsupport::encodeJpeg(w, h, 4, JCS_CMYK, 100, {}, [&](int, JSAMPLE* row) {
    for (int x = 0; x < w; ++x) std::memcpy(row + std::size_t(4 * x), inks, 4);
  });
}

QByteArray pngFile(const QImage& img) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  img.save(&buf, "PNG");
  return bytes;
}

namespace {
int appendGif(GifFileType* gif, const GifByteType* data, int len) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
  return len;
}
}  // namespace

QByteArray gifFile(const std::vector<QImage>& frames, int delay) {
  QByteArray out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, appendGif, &err);
  // A fixed palette: index 0 transparent, 1.. the colours met, in order.
  std::vector<QRgb> colours{0};
  for (const QImage& f : frames)
    for (int y = 0; y < f.height(); ++y)
      for (int x = 0; x < f.width(); ++x) {
        const QRgb c = f.pixel(x, y);
        if (qAlpha(c) && std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
      }
  std::vector<GifColorType> table(256, GifColorType{0, 0, 0});
  for (std::size_t i = 0; i < colours.size() && i < 256; ++i)
    table[i] =
        GifColorType{GifByteType(qRed(colours[i])), GifByteType(qGreen(colours[i])), GifByteType(qBlue(colours[i]))};
  ColorMapObject* map = GifMakeMapObject(256, table.data());
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, frames[0].width(), frames[0].height(), 8, 0, map);
  GifFreeMapObject(map);
  const unsigned char loop[] = {1, 0, 0};
  EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
  EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
  EGifPutExtensionBlock(gif, 3, loop);
  EGifPutExtensionTrailer(gif);
  for (const QImage& f : frames) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_DO_NOT;
    gcb.DelayTime = delay;
    gcb.TransparentColor = 0;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext);
    EGifPutImageDesc(gif, 0, 0, f.width(), f.height(), false, nullptr);
    std::vector<GifPixelType> line(std::size_t(f.width()));
    for (int y = 0; y < f.height(); ++y) {
      for (int x = 0; x < f.width(); ++x) {
        const QRgb c = f.pixel(x, y);
        line[std::size_t(x)] =
            qAlpha(c) ? GifPixelType(std::find(colours.begin(), colours.end(), c) - colours.begin()) : 0;
      }
      EGifPutLine(gif, line.data(), f.width());
    }
  }
  EGifCloseFile(gif, &err);
  return out;
}

namespace {
// The file libtiff writes through `write`.
QByteArray writtenTiff(const std::function<void(TIFF*)>& write) {
  QTemporaryFile tmp;
  tmp.open();
  TIFF* tif = TIFFOpen(tmp.fileName().toLocal8Bit().constData(), "w");
  write(tif);
  TIFFClose(tif);
  return tmp.readAll();
}
}  // namespace

QByteArray tiffFile(const std::vector<QImage>& pages, bool alpha) {
  return writtenTiff([&](TIFF* tif) {
    for (const QImage& page : pages) {
      const QImage img = page.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(img.width()));
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(img.height()));
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, alpha ? 4 : 3);
      if (alpha) {
        const std::uint16_t unassociated = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &unassociated);
      }
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, std::uint32_t(img.height()));
      TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      for (int y = 0; y < img.height(); ++y)
        TIFFWriteScanline(tif, const_cast<uchar*>(img.constScanLine(y)), std::uint32_t(y));
      TIFFWriteDirectory(tif);
    }
  });
}

QByteArray sampleTiffFile(int photometric, int bits, const std::vector<std::uint16_t>& samples, bool alpha,
                          const std::vector<std::uint16_t>& colourMap, bool tiled) {
  return writtenTiff([&](TIFF* tif) {
    const std::uint16_t spp = std::uint16_t(samples.size()), unassociated = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, std::uint32_t(1));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, std::uint32_t(1));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    if (alpha) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &unassociated);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    if (bits == 32) TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(tif, tiled ? TIFFTAG_TILEWIDTH : TIFFTAG_ROWSPERSTRIP, std::uint32_t(tiled ? 16 : 1));
    if (tiled) TIFFSetField(tif, TIFFTAG_TILELENGTH, std::uint32_t(16));
    std::vector<std::uint16_t> map(colourMap);
    map.resize(std::size_t(3) << std::min(bits, 16));
    if (!colourMap.empty()) TIFFSetField(tif, TIFFTAG_COLORMAP, &map[0], &map[1u << bits], &map[2u << bits]);
    // A tile holds the pixel at its start; the rest of it lies outside the picture.
    std::vector<std::uint8_t> line(std::size_t(spp) * 4 * 256);
    for (std::size_t i = 0; i < spp; ++i) {
      const float f = samples[i] / 65535.0f;
      if (bits == 32)
        std::memcpy(&line[4 * i], &f, 4);
      else if (bits == 16)
        std::memcpy(&line[2 * i], &samples[i], 2);
      else
        line[i] = std::uint8_t(samples[i] << (8 - std::min(bits, 8)));  // one sample below 8 bits
    }
    if (tiled)
      TIFFWriteTile(tif, line.data(), 0, 0, 0, 0);
    else
      TIFFWriteScanline(tif, line.data(), 0);
  });
}

}  // namespace imaging_test
