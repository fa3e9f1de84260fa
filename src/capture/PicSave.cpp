#include "PicSave.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>

#include "atomicfile.h"
#include "cBitmap24.h"
#include "giffile.h"
#include "mJpegWriter.h"
#include "vb.h"

namespace {

const QString kSource = QStringLiteral("PicSave");

// Result codes of a file that cannot be created, as the system gives them.
constexpr std::int32_t kPathNotFound = std::int32_t(0x80070003u);
constexpr std::int32_t kAccessDenied = std::int32_t(0x80070005u);
// Encoder status of a failed write.
constexpr int kWin32Error = 7;

[[noreturn]] void raise(long number, const QString& text) { throw vb::VbError(number, kSource, text); }

void copyInto(cBitmap24& dib, const QImage& img) {
  const int stride = dib.BytesPerScanLine();
  std::uint8_t* bits = dib.DIBSectionBitsPtr();
  for (int y = 0; y < img.height(); ++y) {  // bottom row first, blue green red
    const auto* src = reinterpret_cast<const QRgb*>(img.constScanLine(y));
    std::uint8_t* dst = bits + std::ptrdiff_t(img.height() - 1 - y) * stride;
    for (int x = 0; x < img.width(); ++x) {
      dst[x * 3] = std::uint8_t(qBlue(src[x]));
      dst[x * 3 + 1] = std::uint8_t(qGreen(src[x]));
      dst[x * 3 + 2] = std::uint8_t(qRed(src[x]));
    }
  }
}

}  // namespace

PicSave& PicSave::instance() {
  static PicSave shared;
  return shared;
}

void PicSave::SavePicture(const QImage& picture, const QString& fileName, long format, long jpegQualityPct) {
  if (picture.isNull() || format < 0 || format > 2 || jpegQualityPct < 1 || jpegQualityPct > 100)
    throw vb::VbError(kErrInvalidCall, QString(), QStringLiteral("Invalid procedure call or argument"));
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  if (rgb.isNull()) raise(kErrBitmap, QStringLiteral("GdipCreateBitmapFromHBITMAP error 3"));

  // A file that cannot be created fails as the system's stream does; the check comes first
  // so that every format reports it the same way.
  const QFileInfo target(fileName);
  const auto cannotOpen = [&] {
    const bool folder = QFileInfo(target.absolutePath()).isDir();
    raise(kErrOpen,
          QStringLiteral("SHCreateStreamOnFile error ") + QString::number(folder ? kAccessDenied : kPathNotFound));
  };
  if (!QFileInfo(target.absolutePath()).isDir() || (target.exists() && (target.isDir() || !target.isWritable())))
    cannotOpen();
  const QString saveError = QStringLiteral("GdipSaveImageToStream error ") + QString::number(kWin32Error);
  if (format == 1) {
    cBitmap24 dib;
    if (!dib.Create(rgb.width(), rgb.height()) || !dib.DIBSectionBitsPtr())
      raise(kErrBitmap, QStringLiteral("GdipCreateBitmapFromHBITMAP error 3"));
    copyInto(dib, rgb);
    try {
      mJpegWriter::SaveJPG(dib, fileName, std::int32_t(jpegQualityPct));
    } catch (const vb::VbError& e) {
      if (e.description.endsWith(QLatin1Char(' ') + QString::number(mJpegWriter::kCannotCreate))) cannotOpen();
      raise(kErrSave, saveError);
    }
    return;
  }
  QByteArray data;
  if (format == 0) {
    data = photobox::encodeGif(rgb);
  } else {
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(rgb)) data.clear();
  }
  if (data.isEmpty()) raise(kErrSave, saveError);
  // Written whole beside its place and put there only when complete, so a failure leaves
  // the old file (or none), never an empty or half-written one.
  bool opened = false;
  const bool saved = vb::replaceFileWith(fileName, [&](int fd) {
    opened = true;
    return vb::writeAll(fd, data.constData(), data.size());
  });
  if (!saved && !opened) cannotOpen();
  if (!saved) raise(kErrSave, saveError);
}
