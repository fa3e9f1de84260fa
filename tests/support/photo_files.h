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

// A grey progressive JPEG of w x h whose every one of `scans` scans is a full pass over the
// picture that changes nothing: small on disk, but each scan costs the decoder a pass.
inline QByteArray scanHeavyJpeg(int w, int h, int scans) {
  QByteArray out("\xFF\xD8", 2);
  const auto segment = [&](uchar marker, const QByteArray& body) {
    out += char(0xFF);
    out += char(marker);
    out += char((body.size() + 2) >> 8);
    out += char((body.size() + 2) & 0xFF);
    out += body;
  };
  segment(0xDB, QByteArray(1, 0) + QByteArray(64, 1));
  segment(0xC2, QByteArray("\x08", 1) + char(h >> 8) + char(h & 0xFF) + char(w >> 8) + char(w & 0xFF) +
                    QByteArray("\x01\x01\x11\x00", 4));
  // One AC table: the end-of-band runs 0x00 .. 0xE0, each with a code of 4 bits.
  QByteArray dht("\x10", 1);
  dht += QByteArray(3, 0) + char(15) + QByteArray(12, 0);
  for (int r = 0; r < 15; ++r) dht += char(r << 4);
  segment(0xC4, dht);
  // Every block of the one component ends its band at once: runs of up to 32767 blocks.
  QByteArray data;
  quint32 acc = 0;
  int bits = 0;
  const auto put = [&](quint32 v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc = acc << 1 | ((v >> i) & 1);
      if (++bits == 8) {
        data += char(acc);
        if (uchar(acc) == 0xFF) data += char(0);
        acc = 0;
        bits = 0;
      }
    }
  };
  for (qint64 left = qint64((w + 7) / 8) * ((h + 7) / 8); left > 0;) {
    const int run = int(qMin<qint64>(left, 32767));
    int r = 0;
    while ((2 << r) <= run) ++r;
    put(quint32(r), 4);
    put(quint32(run - (1 << r)), r);
    left -= run;
  }
  if (bits) put(0xFF, 8 - bits);
  for (int i = 0; i < scans; ++i) {
    segment(0xDA, QByteArray("\x01\x01\x00\x01\x3F\x00", 6));
    out += data;
  }
  return out + QByteArray("\xFF\xD9", 2);
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
