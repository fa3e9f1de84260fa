#include "qrcode.h"

#include <zint.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <memory>

#include "vb.h"

namespace barcode {
namespace {

const QString kSource = QStringLiteral("QRCode");
constexpr long kErrQr = 5;  // invalid procedure call or argument

[[noreturn]] void fail(const QString& description) { throw vb::VbError(kErrQr, kSource, description); }

struct SymbolDeleter {
  void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

// Quiet zone around the symbol, in modules, as the QR standard asks.
constexpr int kQuietModules = 4;
// Pixels per module: large enough for a phone or a scanner to read it off a printed card.
constexpr int kPixelsPerModule = 8;

}  // namespace

void saveQrJpeg(const QString& text, const QString& file) {
  std::unique_ptr<zint_symbol, SymbolDeleter> sym(ZBarcode_Create());
  if (!sym) fail(QStringLiteral("Out of memory"));
  sym->symbology = BARCODE_QRCODE;
  sym->input_mode = UNICODE_MODE;
  sym->whitespace_width = kQuietModules;
  sym->whitespace_height = kQuietModules;
  sym->scale = 0.5f;  // one pixel per module; scaled up below without blurring
  sym->show_hrt = 0;
  const QByteArray utf8 = text.toUtf8();
  // Text outside Latin-1 goes in as UTF-8 with its ECI designator, so a reader gets
  // back the same characters rather than guessing the encoding.
  bool latin1 = true;
  for (QChar c : text)
    if (c.unicode() > 0xff) latin1 = false;
  if (!latin1) sym->eci = 26;
  if (utf8.size() > 7089) fail(QStringLiteral("The text is too long for a QR code (%1 bytes)").arg(utf8.size()));
  QImage img;
  if (utf8.isEmpty()) {
    // zint encodes no empty data; the picture of an empty text is the blank quiet area of
    // the smallest symbol, so the card still finds its picture and shows nothing.
    img = QImage((21 + 2 * kQuietModules) * kPixelsPerModule, (21 + 2 * kQuietModules) * kPixelsPerModule,
                 QImage::Format_Grayscale8);
    img.fill(255);
  } else {
    const int rc = ZBarcode_Encode_and_Buffer(sym.get(), reinterpret_cast<const unsigned char*>(utf8.constData()),
                                              int(utf8.size()), 0);
    if (rc >= ZINT_ERROR) fail(QStringLiteral("QR code not made: %1").arg(QString::fromLatin1(sym->errtxt)));
    const int w = sym->bitmap_width, h = sym->bitmap_height;
    if (!sym->bitmap || w <= 0 || h <= 0 || w > 4000 || h > 4000) fail(QStringLiteral("QR code not made: no picture"));

    // zint's bitmap is RGB, three bytes a pixel, rows without padding.
    QImage small(w, h, QImage::Format_Grayscale8);
    const unsigned char* src = sym->bitmap;
    for (int y = 0; y < h; ++y) {
      uchar* line = small.scanLine(y);
      for (int x = 0; x < w; ++x, src += 3) line[x] = (src[0] + src[1] + src[2]) / 3 < 128 ? 0 : 255;
    }
    const int modules = qMax(1, sym->width + 2 * kQuietModules);
    const int pixelsPerModule = qMax(1, w / modules);
    const int factor = qMax(1, kPixelsPerModule / pixelsPerModule);
    img = small.scaled(w * factor, h * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  }

  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly))
    fail(QStringLiteral("Cannot write the QR picture '%1': %2").arg(QDir::toNativeSeparators(file), out.errorString()));
  QImageWriter writer(&out, "jpeg");
  writer.setQuality(90);
  if (!writer.write(img)) {
    out.cancelWriting();
    fail(QStringLiteral("Cannot write the QR picture '%1': %2")
             .arg(QDir::toNativeSeparators(file), writer.errorString()));
  }
  if (!out.commit())
    fail(QStringLiteral("Cannot write the QR picture '%1': %2").arg(QDir::toNativeSeparators(file), out.errorString()));
}

}  // namespace barcode
