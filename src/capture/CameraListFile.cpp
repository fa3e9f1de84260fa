#include "CameraListFile.h"

#include <QDir>
#include <QFile>

#include "atomicfile.h"

namespace CameraListFile {

QString path() { return QDir::current().filePath(QStringLiteral("Settings.txt")); }

List parse(const QByteArray& bytes) {
  const QString text = QString::fromUtf8(bytes);
  QStringList fields;
  bool cut = false;
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto isBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
  while (i < n) {
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') || isBreak(text[i]))) ++i;
    if (i >= n) break;
    QString field;
    if (text[i] == QLatin1Char('"')) {
      for (++i; i < n; ++i) {
        if (text[i] != QLatin1Char('"')) {
          field += text[i];
        } else if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
          field += QLatin1Char('"');
          ++i;
        } else {
          ++i;
          break;
        }
      }
      while (i < n && text[i] != QLatin1Char(',') && !isBreak(text[i])) ++i;
    } else {
      const qsizetype start = i;
      while (i < n && text[i] != QLatin1Char(',') && !isBreak(text[i])) ++i;
      field = text.mid(start, i - start).trimmed();
    }
    if (i < n && text[i] == QLatin1Char(',')) ++i;
    if (fields.size() > kMaxCameras) {  // the index and kMaxCameras captions are in
      cut = true;
      break;
    }
    fields << field;
  }
  List list;
  if (!fields.isEmpty()) list.index = fields.takeFirst();
  list.captions = fields;
  list.cut = cut;
  return list;
}

QByteArray format(int currentCamera, const QStringList& captions) {
  QString out = QString::number(currentCamera) + QLatin1String("\r\n");
  for (QString c : captions) out += QLatin1Char('"') + c.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1String("\"\r\n");
  return out.toUtf8();
}

Read read(List& list) {
  QFile f(path());
  if (!f.exists() || !f.open(QIODevice::ReadOnly)) return Read::Missing;
  // One byte past the bound tells a file that is too large, whatever its size claims.
  const QByteArray bytes = f.read(kMaxBytes + 1);
  if (bytes.size() > kMaxBytes) return Read::TooLarge;
  list = parse(bytes);
  return Read::Ok;
}

bool write(int currentCamera, const QStringList& captions) {
  return vb::replaceFileBytes(path(), format(currentCamera, captions));
}

}  // namespace CameraListFile
