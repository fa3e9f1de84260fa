#include "Module3.h"

#include <QDir>
#include <QFile>

namespace Module3 {

bool HapusIsiFolder(const QString& folder) {
  QDir dir(folder);
  if (!dir.exists()) return false;
  const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
  for (const QString& name : files) {
    const QString path = dir.filePath(name);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner);
    QFile::remove(path);  // a file that cannot be deleted is skipped
  }
  return dir.entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

}  // namespace Module3
