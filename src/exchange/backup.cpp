#include "backup.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include "Module1.h"
#include "ado.h"
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

// The designer's element pictures, each side's background and the card faces.
bool isDesignPicture(const QString& name) {
  static const QStringList faces{QStringLiteral("depan.jpg"), QStringLiteral("belakang.jpg"),
                                 QStringLiteral("depan2.jpg"), QStringLiteral("back2.jpg")};
  return name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive) || name.endsWith(QLatin1String("_templatar.jpg")) ||
         faces.contains(name);
}

}  // namespace

QString PilihFolder(const QString& title) { return ui::browseForFolder(title); }

QString datedFolder(const QString& destination) {
  return exchange::withSlash(destination) + QStringLiteral("Backup - ") +
         QDate::currentDate().toString(QStringLiteral("yyyy.MM.dd"));
}

QStringList BuatBackup(const Sources& from, const QString& folder, const std::atomic<bool>& cancel) {
  const QString to = exchange::withSlash(folder);
  if (!QDir().mkpath(folder)) return {QDir(folder).dirName()};
  QStringList failed;
  const QString dbName = QFileInfo(from.database).fileName();
  if (!copyDatabase(from.database, to + dbName)) failed << dbName;

  if (!QFileInfo(from.photos).isDir()) failed << QStringLiteral("photos");
  const QDir photos(from.photos);
  QDirIterator it(from.photos, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext() && !cancel) {
    const QFileInfo f(it.next());
    const QString rel = photos.relativeFilePath(f.filePath());
    const bool ok = f.isDir() ? QDir().mkpath(to + rel) : exchange::replaceFile(f.filePath(), to + rel, false);
    if (!ok) failed << rel;
  }

  const QDir images(from.images);
  for (const QString& name : images.entryList(QDir::Files))
    if (!cancel && isDesignPicture(name) && !exchange::replaceFile(images.filePath(name), to + name, false))
      failed << name;
  return failed;
}

}  // namespace backup
