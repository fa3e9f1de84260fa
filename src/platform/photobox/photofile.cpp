#include "photofile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include "vb.h"

namespace photobox {

namespace {

bool beyondLimits(QSize s) {
  return s.width() > kMaxPictureSide || s.height() > kMaxPictureSide ||
         qint64(s.width()) * s.height() > kMaxPicturePixels;
}

// Room for a picture within the limits even in a format of 8 bytes a pixel.
constexpr int kAllocationLimitMb = int(kMaxPicturePixels * 8 / (1024 * 1024)) + 1;

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

PictureFile readPictureFile(const QString& file, QSize maxPx, bool keepAspect) {
  PictureFile out;
  const QFileInfo info(file);
  if (file.isEmpty() || !info.isFile()) return out;
  out.status = PictureFile::Status::Unreadable;
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return out;
  // A small file is read whole, so the bytes that are decoded are the bytes kept.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  const bool whole = !maxPx.isValid() && f.size() <= kMaxPhotoFileBytes;
  if (whole) {
    bytes = f.readAll();
    buffer.open(QIODevice::ReadOnly);
  }
  QImageReader reader(whole ? static_cast<QIODevice*>(&buffer) : &f);
  reader.setAutoTransform(true);
  reader.setAllocationLimit(kAllocationLimitMb);
  out.size = reader.size();
  if (out.size.isValid() && beyondLimits(out.size)) {
    out.status = PictureFile::Status::TooLarge;
    return out;
  }
  // The header's size and a scaled size are in the stored orientation.
  const QImageIOHandler::Transformations turn = reader.transformation();
  const bool turned = turn & QImageIOHandler::TransformationRotate90;
  const bool jpeg = reader.format() == "jpeg";
  if (out.size.isValid() && maxPx.isValid()) {
    const QSize box = turned ? maxPx.transposed() : maxPx;
    if (out.size.width() > box.width() || out.size.height() > box.height())
      reader.setScaledSize(keepAspect ? out.size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
                                      : out.size.boundedTo(box));
  }
  QImage img = reader.read();
  if (img.isNull()) return out;
  if (!out.size.isValid()) {  // a format that tells its size only by decoding
    out.size = turned ? img.size().transposed() : img.size();
    if (beyondLimits(out.size)) {
      out.status = PictureFile::Status::TooLarge;
      return out;
    }
  }
  if (whole && jpeg && turn == QImageIOHandler::TransformationNone) out.jpeg = bytes;
  out.image = std::move(img);
  out.status = PictureFile::Status::Ok;
  return out;
}

}  // namespace photobox
