#include "Module3.h"

#include <QDir>
#include <QFile>

namespace Module3 {

namespace {
// Every entry but the real sub-folders; a symbolic link counts as a file, whatever it
// points at.
QFileInfoList files(const QDir& dir) {
  QFileInfoList out;
  for (const QFileInfo& e : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
    if (e.isSymLink() || !e.isDir()) out << e;
  return out;
}
}  // namespace

bool HapusIsiFolder(const QString& folder) {
  QDir dir(folder);
  if (!dir.exists()) return false;
  // Unlinking needs no write permission on the file itself, so read-only files go without
  // a permission change, and a link is removed as a link, never followed.
  for (const QFileInfo& f : files(dir)) QFile::remove(f.filePath());
  return files(dir).isEmpty();
}

}  // namespace Module3
