#include "backup.h"

#include <algorithm>

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include "Module1.h"
#include "ado.h"
#include "atomicfile.h"
#include "dialogs.h"
#include "filecopy.h"
#include "vb.h"

namespace backup {

namespace {

// A read transaction holds the shared lock, so no write lands in the file while its
// bytes are copied.
bool copyDatabase(const QString& file, const QString& to) {
  ado::Connection c;
  c.ConnectionString = QStringLiteral("Data Source=") + file;
  c.setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(Module1::kDatabasePassword));
  return vb::resumeNext([&] {
    c.Open();
    c.BeginTrans();
    ado::Recordset rs;
    rs.Open(QStringLiteral("select count(*) from sqlite_master"), c);
    const bool copied = exchange::replaceFile(file, to, true);
    c.RollbackTrans();
    if (!copied) throw std::runtime_error("copy");
  });
}

// A temporary file of the program's own file helper.
bool isTemporary(const QString& name) {
  return name.startsWith(QLatin1String(vb::kTemporaryPrefix)) && name.endsWith(QLatin1String(".tmp"));
}


}  // namespace

bool isCardPicture(const QString& name) {
  static const QStringList faces{QStringLiteral("depan.jpg"), QStringLiteral("belakang.jpg"),
                                 QStringLiteral("depan2.jpg"), QStringLiteral("back2.jpg")};
  return name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive) ||
         name.endsWith(QLatin1String("_templatar.jpg"), Qt::CaseInsensitive) ||
         faces.contains(name, Qt::CaseInsensitive);
}

bool isUnfinished(const QString& folder) {
  return QFileInfo::exists(exchange::withSlash(folder) + QLatin1String(kUnfinishedMarker));
}

QString PilihFolder(const QString& title) { return ui::browseForFolder(title); }

QString datedFolder(const QString& destination) {
  return exchange::withSlash(destination) + QStringLiteral("Backup - ") +
         QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"));
}

QStringList BuatBackup(const Sources& from, const QString& folder, const std::atomic<bool>& cancel) {
  const QString to = exchange::withSlash(folder);
  const QString pictures = to + QLatin1String(kCardPictureFolder) + u'/';
  if (!QDir().mkpath(folder) ||
      !vb::replaceFileBytes(to + QLatin1String(kUnfinishedMarker),
                            "Backup ini belum selesai dibuat. Buat backup baru; restore dari folder ini ditolak.\n"))
    return {QDir(folder).dirName()};
  vb::removeLeftTemporaries(folder);
  QStringList failed;

  if (!QFileInfo(from.photos).isDir()) failed << QStringLiteral("photos");
  const QDir photos(from.photos);
  QDirIterator it(from.photos, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext() && !cancel) {
    const QFileInfo f(it.next());
    if (isTemporary(f.fileName())) continue;
    const QString rel = photos.relativeFilePath(f.filePath());
    const bool ok = f.isDir() ? QDir().mkpath(to + rel) : exchange::replaceFile(f.filePath(), to + rel, true);
    if (!ok) failed << rel;
  }

  const QDir images(from.images);
  const QStringList names = images.entryList(QDir::Files);
  if (std::any_of(names.begin(), names.end(), isCardPicture) && !QDir().mkpath(pictures))
    failed << QLatin1String(kCardPictureFolder);
  else
    vb::removeLeftTemporaries(pictures);
  for (const QString& name : names)
    if (!cancel && isCardPicture(name) && !exchange::replaceFile(images.filePath(name), pictures + name, true))
      failed << QLatin1String(kCardPictureFolder) + u'/' + name;

  // Last, so a folder without its database cannot be taken for a backup.
  const QString dbName = QFileInfo(from.database).fileName();
  if (!cancel && !copyDatabase(from.database, to + dbName)) failed << dbName;
  if (!cancel && failed.isEmpty()) {
    if (QFile::remove(to + QLatin1String(kUnfinishedMarker)))
      vb::syncFolder(QFile::encodeName(folder));
    else
      failed << QLatin1String(kUnfinishedMarker);
  }
  return failed;
}

}  // namespace backup
