#include "photobox.h"

#include <QBuffer>
#include <QImageWriter>
#include <QMouseEvent>
#include <QPainter>
#include <cerrno>

#include "atomicfile.h"
#include "encode_jpeg.h"
#include "giffile.h"
#include "vb.h"

namespace photobox {

namespace {

const QString kSource = QStringLiteral("PhotoBox");

[[noreturn]] void fail(long number, const char* text) { throw vb::VbError(number, kSource, QString::fromLatin1(text)); }

bool hasTransparency(const QImage& img) {
  if (!img.hasAlphaChannel()) return false;
  const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x)
      if (qAlpha(line[x]) != 255) return true;
  }
  return false;
}

}  // namespace

PhotoBox::PhotoBox(QWidget* parent) : QWidget(parent) {}

void PhotoBox::setPicture(const Picture& p) {
  pic_ = p;
  update();
}

void PhotoBox::paintEvent(QPaintEvent*) {
  if (pic_.isEmpty()) return;
  QPainter painter(this);
  const QImage& img = pic_.image();
  if (!Stretch) {
    painter.drawImage(QPoint(0, 0), img);
    return;
  }
  // Fit inside the control, proportions kept, centred.
  QSize target = img.size().scaled(size(), Qt::KeepAspectRatio);
  if (target.isEmpty()) return;
  const QRect r(QPoint((width() - target.width()) / 2, (height() - target.height()) / 2), target);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(r, img);
}

void PhotoBox::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) emit clicked();
  QWidget::mousePressEvent(e);
}

namespace PhotoBoxGlobal {

Picture LoadPictureFile(const QString& fileName, int, int) {
  PictureFile file = readPictureFile(fileName);
  switch (file.status) {
    case PictureFile::Status::Ok:
      return Picture(std::move(file.image), std::move(file.jpeg));
    case PictureFile::Status::Missing:
      fail(vb::kErrFileNotFound, "File not found");
    case PictureFile::Status::TooLarge:
      throw vb::VbError(vb::kErrInvalidPicture, kSource, tooLargeMessage(file.size));
    case PictureFile::Status::TooManyScans:
      throw vb::VbError(vb::kErrInvalidPicture, kSource, tooManyScansMessage(file.size));
    case PictureFile::Status::TooMuchMemory:
      throw vb::VbError(vb::kErrInvalidPicture, kSource, tooMuchMemoryMessage(file.size));
    case PictureFile::Status::AnimationTooLarge:
      throw vb::VbError(vb::kErrInvalidPicture, kSource, animationTooLargeMessage(file.size));
    case PictureFile::Status::Unreadable:
      break;
  }
  fail(vb::kErrInvalidPicture, "Invalid picture");
}

void loadInto(PhotoBox& box, const QString& fileName) {
  Picture p = LoadPictureFile(fileName);
  box.setPicture(p);
  box.setSourceFile(fileName);
}

void showMemberPhoto(PhotoBox& box, const QString& nis) {
  box.setPicture(Picture());
  box.setSourceFile(QString());
  vb::resumeNext([&] { loadInto(box, blankPhotoFile()); });
  vb::resumeNext([&] { loadInto(box, memberPhotoFile(nis)); });
}

void SavePictureFile(const Picture& pic, const QString& fileName, int kind) {
  if (pic.isEmpty()) fail(380, "Invalid property value");
  // Every way below replaces the file atomically: any failure leaves the old file.
  const auto store = [&](const QByteArray& bytes) {
    if (!vb::replaceFileBytes(fileName, bytes)) fail(75, "Path/File access error");
  };
  if (kind == 9 && fileName.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive)) {
    // The designer's element pictures: a real GIF under their ".gif" names.
    const QByteArray gif = encodeGif(pic.image());
    if (gif.isEmpty()) fail(481, "Invalid picture");
    store(gif);
    return;
  }
  if (!pic.jpeg().isEmpty()) {
    // Stored as it came: encoding again would lose quality at every save.
    store(pic.jpeg());
    return;
  }
  if (hasTransparency(pic.image())) {
    // A picture with transparent parts (a logo) goes out as PNG so its transparency
    // survives; the loader reads either by content, whatever the name.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(pic.image())) fail(75, "Path/File access error");
    store(png);
    return;
  }
  const QImage& img = pic.image();
  if (!vb::replaceFileWith(fileName, [&](int fd) {
        const gdiplus::JpegResult r = gdiplus::encodeJpeg(img, 90, fd);
        return r.ok() ? 0 : r.writeError ? r.writeError : EIO;
      }))
    fail(75, "Path/File access error");
}

}  // namespace PhotoBoxGlobal

}  // namespace photobox
