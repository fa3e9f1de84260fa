#include "qrcode.h"

#include <zint.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <memory>

#include "atomicfile.h"
#include "encode_jpeg.h"
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

// The comment a QR picture carries: the drawing's version and a digest of the text, so a
// later print can tell a current picture from a stale one without decoding it. A change
// of the drawing above needs a new version, so that old pictures are made again.
const QByteArray kMarkKey = "lentavo-qr";
QByteArray markOf(const QString& text) {
  return "1 " + QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex();
}

// The payload of the first comment segment before the picture data of a JPEG header.
QByteArray jpegComment(const QByteArray& head) {
  const auto at = [&](qsizetype i) { return uchar(head.at(i)); };
  if (head.size() < 4 || at(0) != 0xFF || at(1) != 0xD8) return {};
  qsizetype pos = 2;
  while (pos + 4 <= head.size()) {
    if (at(pos) != 0xFF) return {};
    const uchar marker = at(pos + 1);
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return {};  // picture data or the end: no comment
    const qsizetype length = (qsizetype(at(pos + 2)) << 8) | at(pos + 3);
    if (length < 2 || pos + 2 + length > head.size()) return {};
    if (marker == 0xFE) return head.mid(pos + 4, length - 2);
    pos += 2 + length;
  }
  return {};
}

}  // namespace

QImage qrModules(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  if (utf8.size() > 7089) fail(QStringLiteral("The text is too long for a QR code (%1 bytes)").arg(utf8.size()));
  QImage out;
  if (utf8.isEmpty()) {
    // zint encodes no empty data; the picture of an empty text is the blank quiet area of
    // the smallest symbol, so the card still finds its picture and shows nothing.
    out = QImage(21 + 2 * kQuietModules, 21 + 2 * kQuietModules, QImage::Format_Mono);
    out.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    out.fill(1);
    return out;
  }
  std::unique_ptr<zint_symbol, SymbolDeleter> sym(ZBarcode_Create());
  if (!sym) fail(QStringLiteral("Out of memory"));
  sym->symbology = BARCODE_QRCODE;
  sym->input_mode = UNICODE_MODE;
  sym->whitespace_width = kQuietModules;
  sym->whitespace_height = kQuietModules;
  sym->scale = 0.5f;  // one pixel per module
  sym->show_hrt = 0;
  // Text outside Latin-1 goes in as UTF-8 with its ECI designator, so a reader gets
  // back the same characters rather than guessing the encoding.
  for (QChar c : text)
    if (c.unicode() > 0xff) sym->eci = 26;
  const int rc = ZBarcode_Encode_and_Buffer(sym.get(), reinterpret_cast<const unsigned char*>(utf8.constData()),
                                            int(utf8.size()), 0);
  if (rc >= ZINT_ERROR) fail(QStringLiteral("QR code not made: %1").arg(QString::fromLatin1(sym->errtxt)));
  const int w = sym->bitmap_width, h = sym->bitmap_height;
  const int modules = sym->width + 2 * kQuietModules;
  if (!sym->bitmap || w <= 0 || h <= 0 || w > 4000 || h > 4000 || modules < 1)
    fail(QStringLiteral("QR code not made: no picture"));
  // zint's bitmap is RGB, three bytes a pixel, rows without padding; each module is read
  // at its centre, whatever number of pixels zint gave it.
  const double step = double(w) / modules;
  const int rows = qMax(1, int(h / step + 0.5));
  out = QImage(modules, rows, QImage::Format_Mono);
  out.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  out.fill(1);
  for (int y = 0; y < rows; ++y) {
    const int sy = qMin(h - 1, int((y + 0.5) * step));
    for (int x = 0; x < modules; ++x) {
      const unsigned char* px = sym->bitmap + (size_t(sy) * w + qMin(w - 1, int((x + 0.5) * step))) * 3;
      if ((px[0] + px[1] + px[2]) / 3 < 128) out.setPixel(x, y, 0);
    }
  }
  return out;
}

void saveQrJpeg(const QString& text, const QString& file) {
  const QImage modules = qrModules(text).convertToFormat(QImage::Format_Grayscale8);
  const QImage img = modules.scaled(modules.width() * kPixelsPerModule, modules.height() * kPixelsPerModule,
                                    Qt::IgnoreAspectRatio, Qt::FastTransformation);
  // Replaced whole, but not waited for on the disk: a picture cut short by a crash lacks its
  // end marker and is made again by the next print (qrJpegShows).
  QString error;
  const bool written = vb::replaceFileWith(
      file,
      [&](int fd) {
        const gdiplus::JpegResult r = gdiplus::encodeJpeg(img, 90, fd, kMarkKey + ": " + markOf(text));
        return r.ok() ? 0 : r.writeError ? r.writeError : EIO;
      },
      false, &error);
  if (!written)
    fail(QStringLiteral("Cannot write the QR picture '%1': %2").arg(QDir::toNativeSeparators(file), error));
}

bool qrJpegShows(const QString& text, const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = f.read(4096);
  // A picture cut short lacks the end marker: it is made again.
  if (f.size() < 4 || !f.seek(f.size() - 2) || f.read(2) != QByteArray("\xFF\xD9", 2)) return false;
  return jpegComment(head) == kMarkKey + ": " + markOf(text);
}

}  // namespace barcode
