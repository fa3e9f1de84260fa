#pragma once
// Picture files byte by byte: a JPEG, one with an EXIF orientation, one claiming a size.
#include <QBuffer>
#include <QFile>
#include <QImage>

namespace testsupport {

// Left quarter blue, the rest red: which way up a picture came out shows.
inline QByteArray jpegBytes(int w, int h) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(Qt::red);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 4; ++x) img.setPixel(x, y, qRgb(0, 0, 255));
  QByteArray out;
  QBuffer b(&out);
  b.open(QIODevice::WriteOnly);
  img.save(&b, "JPEG");
  return out;
}

// An APP1 segment with one IFD entry, Orientation (0x0112), right after the SOI marker.
inline QByteArray withOrientation(const QByteArray& jpeg, int orientation) {
  const QByteArray exif = QByteArray("Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 25) +
                          char(orientation) + QByteArray(6, '\0');
  return jpeg.left(2) + "\xFF\xE1" + char(0) + char(exif.size() + 2) + exif + jpeg.mid(2);
}

// The SOF0 header patched to claim w x h.
inline QByteArray withClaimedSize(QByteArray jpeg, int w, int h) {
  const char dims[] = {char(h >> 8), char(h & 0xFF), char(w >> 8), char(w & 0xFF)};
  return jpeg.replace(jpeg.indexOf("\xFF\xC0") + 5, 4, QByteArray(dims, 4));
}

inline QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  return path;
}

}  // namespace testsupport
