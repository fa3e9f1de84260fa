#include "photofile.h"

#include <QFile>
#include <QFileInfo>

#include "decoders.h"
#include "vb.h"

namespace photobox {

namespace {

// The photo road's limits are the picture library's: one set for every picture read. The
// message names them through this file's constants, which must say the same.
const gdiplus::Limits& limits() {
  const gdiplus::Limits& l = gdiplus::defaultLimits();
  Q_ASSERT(l.maxSide == kMaxPictureSide && l.maxPixels == kMaxPicturePixels);
  return l;
}

// No picture within the pixel limits needs a larger file; a larger one is not read at all.
constexpr qint64 kMaxFileBytes = qint64(512) << 20;

// The Exif orientation (1 .. 8) as Qt's mirror, flip and quarter turn, applied in that order.
QImage upright(QImage img, int orientation) {
  switch (orientation) {
    case 2: return img.mirrored(true, false);
    case 3: return img.mirrored(true, true);
    case 4: return img.mirrored(false, true);
    case 5: return img.mirrored(false, true).transformed(QTransform().rotate(90));
    case 6: return img.transformed(QTransform().rotate(90));
    case 7: return img.mirrored(true, false).transformed(QTransform().rotate(90));
    case 8: return img.transformed(QTransform().rotate(270));
    default: return img;
  }
}

// A grey JPEG's pixels, decoded with equal red, green and blue, as one channel.
QImage greyOf(const QImage& rgb) {
  QImage grey(rgb.size(), QImage::Format_Grayscale8);
  if (grey.isNull()) return rgb;
  const int w = rgb.width(), h = rgb.height();
  for (int y = 0; y < h; ++y) {
    const auto* from = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uchar* to = grey.scanLine(y);
    for (int x = 0; x < w; ++x) to[x] = uchar(qBlue(from[x]));
  }
  return grey;
}

int orientationOf(const gdiplus::Image& image) {
  const gdiplus::PropertyItem* item = image.property(gdiplus::PropertyTagOrientation);
  if (!item || item->value.size() < 2) return 1;
  return item->value[0] | item->value[1] << 8;
}

}  // namespace

QString photoFileName(const QString& nis) {
  if (nis.isEmpty()) return {};
  QString name = nis;
  bool leading = true;
  for (QChar& c : name) {
    if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F || (leading && c == u'.'))
      c = u'-';
    else
      leading = false;
  }
  return name + QStringLiteral(".jpg");
}

QString memberPhotoFile(const QString& nis) {
  const QString name = photoFileName(nis);
  return name.isEmpty() ? QString() : vb::programFolder() + QStringLiteral("/photos/") + name;
}

QString blankPhotoFile() { return vb::appPath(QStringLiteral("images/temp.jpg")); }

QString tooLargeMessage(QSize size) {
  return QStringLiteral("Gambar terlalu besar (%1 x %2 piksel). Paling besar %3 piksel per sisi dan %4 megapiksel.")
      .arg(size.width())
      .arg(size.height())
      .arg(kMaxPictureSide)
      .arg(kMaxPicturePixels / 1'000'000);
}

QString tooManyScansMessage(QSize size) {
  return QStringLiteral(
             "Gambar (%1 x %2 piksel) memerlukan terlalu banyak tahap untuk dibaca. Simpan ulang sebagai JPEG biasa.")
      .arg(size.width())
      .arg(size.height());
}

QString tooMuchMemoryMessage(QSize size) {
  return QStringLiteral(
             "Gambar (%1 x %2 piksel) memerlukan terlalu banyak memori untuk dibaca. Simpan ulang sebagai JPEG biasa "
             "atau perkecil ukurannya.")
      .arg(size.width())
      .arg(size.height());
}

QString animationTooLargeMessage(QSize size) {
  return QStringLiteral("Gambar bergerak terlalu besar (%1 x %2 piksel). Gambar dengan beberapa bingkai paling besar %3 "
                        "megapiksel.")
      .arg(size.width())
      .arg(size.height())
      .arg(kMaxPicturePixels / 2'000'000);
}

PictureFile readPictureFile(const QString& file, QSize maxPx, bool keepAspect, bool requireWhole) {
  PictureFile out;
  const QFileInfo info(file);
  if (file.isEmpty() || !info.isFile()) return out;
  out.status = PictureFile::Status::Unreadable;
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly) || f.size() <= 0) return out;
  // Read, never mapped: a file another program shortens while it is mapped would bring the
  // program down.
  if (f.size() > kMaxFileBytes) return out;
  const QByteArray copy = f.readAll();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(copy.constData());
  const std::size_t length = std::size_t(copy.size());
  gdiplus::DecodeOptions options;
  if (maxPx.isValid()) options.within = maxPx.expandedTo(QSize(1, 1));
  options.keepAspect = keepAspect;
  options.requireWhole = requireWhole;
  std::unique_ptr<gdiplus::Image> image;
  gdiplus::Refusal why = gdiplus::Refusal::None;
  const gdiplus::Status status = gdiplus::decodeImage(bytes, length, limits(), options, image, &out.size, &why);
  if (status == gdiplus::Status::ValueOverflow && out.size.isValid()) {
    out.status = why == gdiplus::Refusal::Scans       ? PictureFile::Status::TooManyScans
                 : why == gdiplus::Refusal::Memory    ? PictureFile::Status::TooMuchMemory
                 : why == gdiplus::Refusal::Animation ? PictureFile::Status::AnimationTooLarge
                                                      : PictureFile::Status::TooLarge;
    return out;
  }
  if (status != gdiplus::Status::Ok || !image) return out;
  const int orientation = orientationOf(*image);
  const bool turned = orientation >= 5 && orientation <= 8;
  // A GIF may hold transparent pixels whatever it reports; other formats say whether they
  // carry alpha. An opaque picture is shown and drawn as such, at no cost.
  const std::uint32_t format = image->rawFormatFirst();
  const bool jpeg = format == gdiplus::ImageFormatJPEG;
  const bool opaque =
      jpeg || (format != gdiplus::ImageFormatGIF && !(image->flags() & gdiplus::ImageFlagsHasAlpha));
  const bool grey = jpeg && image->pixelFormat() == gdiplus::PixelFormat8bppIndexed;
  QImage img = image->pixels();
  image.reset();
  if (opaque) img.reinterpretAsFormat(QImage::Format_RGB32);
  if (grey) img = greyOf(img);  // a QR picture stays one channel
  if (maxPx.isValid()) {
    // The decoder scaled a JPEG down only as far as it still covers the box; the rest is
    // done smoothly here, in the stored orientation.
    const QSize box = turned ? maxPx.transposed() : maxPx;
    const QSize stored = out.size;
    if (stored.width() > box.width() || stored.height() > box.height()) {
      const QSize want = keepAspect ? stored.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
                                    : stored.boundedTo(box);
      if (img.size() != want) img = img.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
  }
  if (!maxPx.isValid() && jpeg && orientation <= 1 && length <= std::size_t(kMaxPhotoFileBytes))
    out.jpeg = QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(length));
  out.image = upright(std::move(img), orientation);
  out.status = PictureFile::Status::Ok;
  return out;
}

}  // namespace photobox
