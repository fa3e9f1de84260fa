#include "giffile.h"

#include <gif_lib.h>

#include <QHash>
#include <vector>

namespace photobox {
namespace {

int writeTo(GifFileType* gif, const GifByteType* data, int len) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
  return len;
}

struct Closer {
  void operator()(GifFileType* g) const {
    int err = 0;
    EGifCloseFile(g, &err);
  }
};

}  // namespace

QByteArray encodeGif(const QImage& source) {
  if (source.isNull() || source.width() > 65535 || source.height() > 65535) return {};
  const QImage argb = source.convertToFormat(QImage::Format_ARGB32);
  // One index is kept for transparency; a picture of up to 255 colours keeps them exactly,
  // a richer one is dithered onto a fixed colour cube.
  QList<QRgb> table;
  QHash<QRgb, int> exact;
  bool transparent = false;
  for (int y = 0; y < argb.height() && exact.size() <= 255; ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width() && exact.size() <= 255; ++x) {
      if (qAlpha(line[x]) < 128) {
        transparent = true;
        continue;
      }
      const QRgb c = line[x] | 0xff000000u;
      if (!exact.contains(c)) exact.insert(c, int(exact.size()));
    }
  }
  QImage opaque = argb.convertToFormat(QImage::Format_RGB32);
  QImage indexed;
  if (exact.size() <= 255) {
    table.resize(exact.size());
    for (auto it = exact.cbegin(); it != exact.cend(); ++it) table[it.value()] = it.key();
    indexed = opaque.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
  } else {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b) table << qRgb(r * 51, g * 255 / 6, b * 51);
    indexed = opaque.convertToFormat(QImage::Format_Indexed8, table, Qt::DiffuseDither);
  }
  const int transparentIndex = int(table.size());
  std::vector<GifColorType> colours(256, GifColorType{0, 0, 0});
  for (int i = 0; i < table.size(); ++i)
    colours[size_t(i)] =
        GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])), GifByteType(qBlue(table[i]))};
  colours[size_t(transparentIndex)] = GifColorType{255, 255, 255};

  QByteArray out;
  int err = 0;
  std::unique_ptr<GifFileType, Closer> gif(EGifOpen(&out, writeTo, &err));
  if (!gif) return {};
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  if (!map) return {};
  EGifSetGifVersion(gif.get(), true);
  const bool ok = EGifPutScreenDesc(gif.get(), argb.width(), argb.height(), 8, 0, map) == GIF_OK;
  GifFreeMapObject(map);
  if (!ok) return {};
  if (transparent) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
    gcb.DelayTime = 0;
    gcb.TransparentColor = transparentIndex;
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, int(n), ext) != GIF_OK) return {};
  }
  if (EGifPutImageDesc(gif.get(), 0, 0, argb.width(), argb.height(), false, nullptr) != GIF_OK) return {};
  std::vector<GifPixelType> line(size_t(argb.width()));
  for (int y = 0; y < argb.height(); ++y) {
    const uchar* idx = indexed.constScanLine(y);
    const QRgb* px = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      line[size_t(x)] = qAlpha(px[x]) < 128 ? GifPixelType(transparentIndex) : idx[x];
    if (EGifPutLine(gif.get(), line.data(), argb.width()) != GIF_OK) return {};
  }
  GifFileType* g = gif.release();
  if (EGifCloseFile(g, &err) != GIF_OK) return {};
  return out;
}

}  // namespace photobox
