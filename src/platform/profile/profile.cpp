#include "profile.h"

#include <QFile>
#include <QStringList>

#include "atomicfile.h"

namespace profile {
namespace {

// Profile files are small; they are read whole. Bytes are taken as Latin-1 so that any
// byte survives a read/modify/write unchanged.
bool readLines(const QString& file, QStringList& lines) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QByteArray data = f.read(4 * 1024 * 1024);
  QString text = QString::fromLatin1(data);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  lines = text.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return true;
}

QString sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith('[')) return QString();
  const int end = t.indexOf(']');
  return end < 0 ? t.mid(1).trimmed() : t.mid(1, end - 1).trimmed();
}

bool isSection(const QString& line) { return line.trimmed().startsWith('['); }

// Key of a "key=value" line, or a null string for other lines.
QString keyOf(const QString& line) {
  const int eq = line.indexOf('=');
  if (eq < 0) return QString();
  return line.left(eq).trimmed();
}

QString valueOf(const QString& line) {
  QString v = line.mid(line.indexOf('=') + 1).trimmed();
  // Surrounding quotes of a value are dropped on read, as the system does.
  if (v.size() >= 2 && ((v.startsWith('"') && v.endsWith('"')) || (v.startsWith('\'') && v.endsWith('\''))))
    v = v.mid(1, v.size() - 2);
  return v;
}

}  // namespace

QString getPrivateProfileString(const QString& section, const QString& key, const QString& def, int size,
                                const QString& file) {
  QString result = def;
  QStringList lines;
  if (readLines(file, lines)) {
    bool inSection = false;
    for (const QString& line : lines) {
      if (isSection(line)) {
        inSection = sectionName(line).compare(section, Qt::CaseInsensitive) == 0;
        continue;
      }
      if (!inSection) continue;
      const QString k = keyOf(line);
      if (!k.isNull() && k.compare(key, Qt::CaseInsensitive) == 0) {
        result = valueOf(line);
        break;
      }
    }
  }
  if (size <= 0) return QString();
  if (result.size() > size - 1) result.truncate(size - 1);
  return result;
}

bool writePrivateProfileString(const QString& section, const QString& key, const QString& value, const QString& file) {
  QStringList lines;
  readLines(file, lines);  // a missing file starts empty

  int sectionAt = -1, sectionEnd = -1, keyAt = -1;
  for (int i = 0; i < lines.size(); ++i) {
    if (isSection(lines[i])) {
      if (sectionAt >= 0 && sectionEnd < 0) sectionEnd = i;
      if (sectionAt < 0 && sectionName(lines[i]).compare(section, Qt::CaseInsensitive) == 0) sectionAt = i;
      continue;
    }
    if (sectionAt >= 0 && sectionEnd < 0 && keyAt < 0) {
      const QString k = keyOf(lines[i]);
      if (!k.isNull() && k.compare(key, Qt::CaseInsensitive) == 0) keyAt = i;
    }
  }
  if (sectionAt >= 0 && sectionEnd < 0) sectionEnd = lines.size();

  const QString entry = key + '=' + value;
  if (value.isNull()) {
    if (keyAt < 0) return true;
    lines.removeAt(keyAt);
  } else if (keyAt >= 0) {
    lines[keyAt] = entry;
  } else if (sectionAt >= 0) {
    // New keys go after the section's last non-blank line.
    int at = sectionEnd;
    while (at - 1 > sectionAt && lines[at - 1].trimmed().isEmpty()) --at;
    lines.insert(at, entry);
  } else {
    lines << '[' + section + ']' << entry;
  }

  return vb::replaceFileBytes(file, lines.join(QLatin1String("\r\n")).toLatin1() + "\r\n");
}

}  // namespace profile
