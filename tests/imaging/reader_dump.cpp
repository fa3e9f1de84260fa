#include "reader_dump.h"

#include <QCryptographicHash>
#include <QFile>

#include <span>

#include "metafile.h"
#include "readers_apng.h"
#include "readers_bmp.h"
#include "readers_ico.h"

namespace {

int errorLine(QTextStream& out, const QString& text) {
  out << "error\t" << text << "\n";
  return 1;
}

int okLine(QTextStream& out, const QImage& first, int frames) {
  // The bytes as decoded: premultiplied pixels stay premultiplied, as the file holds them.
  QImage img = first;
  if (img.format() != QImage::Format_ARGB32 && img.format() != QImage::Format_ARGB32_Premultiplied)
    img = img.convertToFormat(QImage::Format_ARGB32);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  for (int y = 0; y < img.height(); ++y)
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(img.constScanLine(y)), qsizetype(img.width()) * 4));
  out << "ok\t" << img.width() << "\t" << img.height() << "\t" << frames << "\t" << hash.result().toHex() << "\n";
  return 0;
}

// Still pictures: flags 0 means the reader does not take the file at all.
int dumpStill(const imaging::ReaderResult& res, const char* kind, QTextStream& out) {
  if (!res.flags) return errorLine(out, QString("bukan berkas %1").arg(kind));
  if (res.image.isNull()) return errorLine(out, QString("berkas %1 rusak atau tidak didukung").arg(kind));
  return okLine(out, res.image, 1);
}

}  // namespace

int dumpWithReader(const QString& reader, const QString& file, QTextStream& out) {
  if (reader != "bmp" && reader != "ico" && reader != "apng" && reader != "wmf") return 2;
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return errorLine(out, QString("berkas tidak dapat dibuka: %1").arg(f.errorString()));
  const QByteArray data = f.readAll();
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                            std::size_t(data.size()));
  imaging::LoadOptions options;
  if (reader == "bmp") return dumpStill(imaging::parseBmp(bytes, options), "BMP", out);
  if (reader == "ico") return dumpStill(imaging::parseIco(bytes, options), "ikon atau kursor", out);
  if (reader == "wmf") {
    // At its own size at 96 DPI over a transparent background.
    const auto meta = gdi::Metafile::parse(bytes);
    if (!meta) return errorLine(out, "bukan berkas WMF atau EMF yang dapat dibaca");
    const QImage img = meta->render(meta->sizePixels(96));
    if (img.isNull()) return errorLine(out, "gambar metafile terlalu besar");
    return okLine(out, img, 1);
  }
  const auto res = imaging::readApng(bytes, options);
  if (!res.flags) return errorLine(out, "bukan berkas PNG");
  if (res.frames.empty()) return errorLine(out, "berkas PNG rusak atau tidak didukung");
  return okLine(out, res.frames.front().image, int(res.frames.size()));
}
