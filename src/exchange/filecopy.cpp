#include "filecopy.h"


#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "atomicfile.h"

namespace exchange {

bool replaceFile(const QString& from, const QString& to, bool durable, QString* error) {
  return vb::copyFileAtomically(from, to, durable, error);
}

QStringList jpgFiles(const QString& dir) {
  QStringList names;
  for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files, QDir::Name))
    if (f.fileName().contains(QLatin1String(".jpg"), Qt::CaseInsensitive)) names << f.fileName();
  return names;
}

QString withSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

QString someNames(const QStringList& names, int shown) {
  const QString first = names.mid(0, shown).join(QStringLiteral(", "));
  return names.size() <= shown ? first : QStringLiteral("%1 dan %2 file lainnya").arg(first).arg(names.size() - shown);
}

}  // namespace exchange
