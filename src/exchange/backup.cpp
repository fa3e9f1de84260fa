#include "backup.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "Module1.h"
#include "ado.h"
#include "atomicfile.h"
#include "dialogs.h"
#include "filecopy.h"
#include "vb.h"

namespace backup {

namespace {

// A read transaction holds the shared lock, so no write lands in the file while its
// bytes are copied. The copy reaches the disk with the rest of the backup folder.
bool copyDatabase(const QString& file, const QString& to) {
  ado::Connection c;
  c.ConnectionString = QStringLiteral("Data Source=") + file;
  c.setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(Module1::kDatabasePassword));
  return vb::resumeNext([&] {
    c.Open();
    c.BeginTrans();
    ado::Recordset rs;
    rs.Open(QStringLiteral("select count(*) from sqlite_master"), c);
    const bool copied = exchange::replaceFile(file, to, false);
    c.RollbackTrans();
    if (!copied) throw std::runtime_error("copy");
  });
}

// A temporary file of the program's own file helper.
bool isTemporary(const QString& name) {
  return name.startsWith(QLatin1String(vb::kTemporaryPrefix)) && name.endsWith(QLatin1String(".tmp"));
}

// The temporary name of a folder under construction: the prefix and form of the file helper's
// temporary files, so it never names a backup, and the pid of the run that builds it.
const QRegularExpression& buildingName() {
  static const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(vb::kTemporaryPrefix) +
                                     QStringLiteral("(\\d+)-\\d+\\.tmp$"));
  return re;
}

// Removes the folders that killed backups left in `parent`: built but never put in place, or
// an earlier backup that was replaced and not yet removed.
void removeLeftFolders(const QString& parent) {
  const QDir dir(parent);
  const QStringList left = dir.entryList({QLatin1String(vb::kTemporaryPrefix) + u'*'},
                                         QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
  for (const QString& f : left) {
    const QRegularExpressionMatch m = buildingName().match(f);
    if (m.hasMatch() && !vb::processRunning(m.captured(1).toLongLong())) QDir(dir.filePath(f)).removeRecursively();
  }
}

// A new empty folder under a temporary name beside `folder`; "" when none can be made.
QString makeFreshFolder(const QString& folder) {
  const QByteArray target = QFile::encodeName(folder);
  for (int attempt = 0; attempt < 64; ++attempt) {
    const QByteArray name = vb::temporaryNameBeside(target);
    if (::mkdir(name.constData(), 0755) == 0) return QFile::decodeName(name);
    if (errno != EEXIST) return {};
  }
  return {};
}

// Brings every file and folder of `root` to the disk, so the folder put in place is whole
// after a power cut too.
bool syncTree(const QString& root) {
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo f(it.next());
    if (f.isDir())
      vb::syncFolder(QFile::encodeName(f.filePath()));
    else if (!vb::syncFile(f.filePath()))
      return false;
  }
  vb::syncFolder(QFile::encodeName(root));
  return true;
}

// True when the file system lacks a rename variant.
bool unsupported(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP; }

// Puts the finished folder `building` under the name `folder`. An earlier folder of that name
// trades places with it in one step and is removed afterwards; at no moment is there a
// `folder` that is not whole.
bool putInPlace(const QString& building, const QString& folder) {
  const QByteArray from = QFile::encodeName(building), to = QFile::encodeName(folder);
  const QByteArray parent = QFile::encodeName(QFileInfo(folder).absolutePath());
  const auto placed = [&] {
    vb::syncFolder(parent);
    return true;
  };
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return placed();
  if (errno != EEXIST && !unsupported(errno)) return false;
  struct stat st {};
  if (::lstat(to.constData(), &st) != 0) return ::rename(from.constData(), to.constData()) == 0 && placed();
  // Only a folder is replaced: a file of that name is the user's, not a backup.
  if (!S_ISDIR(st.st_mode)) return false;
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE) == 0) {
    placed();
    QDir(building).removeRecursively();  // now the earlier backup
    return true;
  }
  if (!unsupported(errno)) return false;
  // A file system that cannot trade two folders (a USB stick's, say): the earlier one steps
  // aside under a name of its own, not a temporary one, so that a kill in between leaves it
  // whole where the clerk finds it and no later backup sweeps it away.
  const QByteArray aside = to + " (sebelumnya)";
  if (::rename(to.constData(), aside.constData()) != 0) return false;
  if (::rename(from.constData(), to.constData()) != 0) {
    ::rename(aside.constData(), to.constData());
    return false;
  }
  placed();
  QDir(QFile::decodeName(aside)).removeRecursively();
  return true;
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

QStringList kopi(const QString& images, const QString& folder, bool durable, const std::atomic<bool>& cancel) {
  const QString pictures = exchange::withSlash(folder) + QLatin1String(kCardPictureFolder) + u'/';
  const QDir from(images);
  const QStringList names = from.entryList(QDir::Files);
  if (std::none_of(names.begin(), names.end(), isCardPicture)) return {};
  if (!QDir().mkpath(pictures)) return {QLatin1String(kCardPictureFolder)};
  vb::removeLeftTemporaries(pictures);
  QStringList failed;
  for (const QString& name : names)
    if (!cancel && isCardPicture(name) && !exchange::replaceFile(from.filePath(name), pictures + name, durable))
      failed << QLatin1String(kCardPictureFolder) + u'/' + name;
  return failed;
}

QStringList BuatBackup(const Sources& from, const QString& folder, const std::atomic<bool>& cancel) {
  const QFileInfo dated(folder);
  const QString parent = dated.absolutePath();
  const QString name = dated.fileName();
  if (!QDir().mkpath(parent)) return {name};
  removeLeftFolders(parent);
  const QString building = makeFreshFolder(folder);
  if (building.isEmpty()) return {name};
  const QString to = building + u'/';
  if (!vb::replaceFileBytes(to + QLatin1String(kUnfinishedMarker),
                            "Backup ini belum selesai dibuat. Buat backup baru; restore dari folder ini ditolak.\n")) {
    QDir(building).removeRecursively();
    return {name};
  }
  QStringList failed;

  if (!QFileInfo(from.photos).isDir()) failed << QStringLiteral("photos");
  const QDir photos(from.photos);
  QDirIterator it(from.photos, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext() && !cancel) {
    const QFileInfo f(it.next());
    if (isTemporary(f.fileName())) continue;
    const QString rel = photos.relativeFilePath(f.filePath());
    const bool ok = f.isDir() ? QDir().mkpath(to + rel) : exchange::replaceFile(f.filePath(), to + rel, false);
    if (!ok) failed << rel;
  }
  if (!cancel) failed << kopi(from.images, building, false, cancel);

  // Last, so a folder without its database cannot be taken for a backup.
  const QString dbName = QFileInfo(from.database).fileName();
  if (!cancel && failed.isEmpty() && !copyDatabase(from.database, to + dbName)) failed << dbName;
  if (!cancel && failed.isEmpty() && !QFile::remove(to + QLatin1String(kUnfinishedMarker)))
    failed << QLatin1String(kUnfinishedMarker);
  if (!cancel && failed.isEmpty() && (!syncTree(building) || !putInPlace(building, folder))) failed << name;
  // An unfinished or refused backup leaves nothing behind; an earlier one stays as it was.
  if (cancel || !failed.isEmpty()) QDir(building).removeRecursively();
  return failed;
}

}  // namespace backup
