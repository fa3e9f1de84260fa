#include "simpanTertunda.h"

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>

#include "atomicfile.h"
#include "msgbox.h"
#include "vb.h"

namespace simpanTertunda {

namespace {

const QString kSumber = QStringLiteral("FrmAddLogo");
// Pending folders are "images/.simpan-<pid>-<token>": inside images/, so every move into
// place is a rename on one file system; a folder, so the backup (which copies the files of
// images/) never takes a half-done save.
const QString kAwalan = QStringLiteral(".simpan-");
// Written last into a pending folder: its files are complete. No file of images/ has this
// name, as every one of them ends in ".jpg" or ".gif".
const QString kTanda = QStringLiteral("SIAP");
// The token of the last stored save of each side, written in the transaction of its rows.
const QString kTabel = QStringLiteral("tbl_simpan_desain");

QString folderImages() { return vb::appPath(QStringLiteral("images")); }

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// Another program still running on this folder may be in the middle of its own save.
bool prosesLainHidup(qint64 pid) { return pid != qint64(::getpid()) && vb::processRunning(pid); }

// Moves every file of the pending folder over its namesake in images/, then removes the
// mark and the folder. Run again after a kill, it moves what is still there.
bool pasang(const QString& folder, QString* why) {
  const QString images = folderImages();
  const QDir dir(folder);
  for (const QString& nama : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (nama == kTanda) continue;
    QString sebab;
    if (!vb::moveFileIntoPlace(dir.filePath(nama), images + QLatin1Char('/') + nama, &sebab)) {
      if (why) *why = QStringLiteral("berkas %1 tidak dapat diganti: %2").arg(nama, sebab);
      return false;
    }
  }
  // The mark goes only when every file is in place.
  QFile::remove(dir.filePath(kTanda));
  QDir().rmdir(folder);
  return true;
}

void buang(const QString& folder) { QDir(folder).removeRecursively(); }

// The token the database holds for `side`: empty when no save of it was ever recorded.
// Throws when the database cannot be read.
QString tokenTersimpan(ado::Connection& conn, const QString& side) {
  {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select count(*) as n from sqlite_master where type = 'table' and name = '") + kTabel +
                QLatin1Char('\''),
            conn);
    if (rs.field(0).toInt() == 0) return QString();
  }
  ado::Recordset rs;
  rs.Open(QStringLiteral("select token from ") + kTabel + QStringLiteral(" where desain = '") + ado::q(side) +
              QLatin1Char('\''),
          conn);
  return rs.EOF_() ? QString() : vb::text(rs.field(0));
}

}  // namespace

Tertunda::Tertunda(const QString& side) : side_(side) {
  const quint64 acak = QRandomGenerator::system()->generate64();
  token_ = QStringLiteral("%1").arg(acak, 16, 16, QLatin1Char('0'));
  folder_ =
      folderImages() + QLatin1Char('/') + kAwalan + QString::number(qint64(::getpid())) + QLatin1Char('-') + token_;
  if (!QDir().mkdir(folder_))
    throw vb::VbError(vb::kErrFileAccess, kSumber, QStringLiteral("folder images tidak dapat ditulis."));
}

Tertunda::~Tertunda() {
  if (!selesai_) buang(folder_);
}

QString Tertunda::berkas(const QString& target) const {
  return folder_ + QLatin1Char('/') + QFileInfo(target).fileName();
}

void Tertunda::siap() {
  QString why;
  if (!vb::replaceFileBytes(folder_ + QLatin1Char('/') + kTanda, side_.toUtf8(), &why))
    throw vb::VbError(vb::kErrFileAccess, kSumber, QStringLiteral("folder images tidak dapat ditulis: ") + why);
  // The folder itself must be on disk before the commit names it.
  vb::syncFolder(native(folderImages()));
}

void Tertunda::catat(ado::Connection& conn) const {
  conn.Execute(QStringLiteral("create table if not exists ") + kTabel +
               QStringLiteral(" (desain TEXT PRIMARY KEY, token TEXT NOT NULL)"));
  conn.Execute(QStringLiteral("delete from ") + kTabel + QStringLiteral(" where desain = '") + ado::q(side_) +
               QLatin1Char('\''));
  conn.Execute(QStringLiteral("insert into ") + kTabel + QStringLiteral(" (desain, token) values ('") + ado::q(side_) +
               QStringLiteral("', '") + token_ + QStringLiteral("')"));
}

bool Tertunda::selesaikan(QString* why) {
  // Stored: from here on the folder is never discarded, only finished.
  selesai_ = true;
  return pasang(folder_, why);
}

void pulihkan(ado::Connection& conn) {
  QStringList gagal;
  const QDir images(folderImages());
  for (const QString& nama :
       images.entryList({kAwalan + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
    const QString folder = images.filePath(nama);
    const QStringList bagian = nama.mid(kAwalan.size()).split(QLatin1Char('-'));
    if (bagian.size() == 2 && prosesLainHidup(bagian[0].toLongLong())) continue;
    QFile tanda(folder + QLatin1Char('/') + kTanda);
    if (!tanda.exists()) {
      buang(folder);  // killed before its files were complete: never committed
      continue;
    }
    if (bagian.size() != 2 || !tanda.open(QIODevice::ReadOnly)) continue;
    const QString side = QString::fromUtf8(tanda.readAll());
    QString token;
    if (!vb::resumeNext([&] { token = tokenTersimpan(conn, side); })) continue;  // undecided: keep it
    QString why;
    if (token.isEmpty() || token != bagian[1])
      buang(folder);
    else if (!pasang(folder, &why))
      gagal << side + QStringLiteral(": ") + why;  // the folder stays: the next start goes on with it
  }
  if (!gagal.isEmpty())
    ui::msgBox(QStringLiteral("Desain tersimpan, tetapi gambar kartu belum dapat dipasang (%1). Gambar itu dipasang "
                              "saat program dibuka lagi.")
                   .arg(gagal.join(QStringLiteral("; "))),
               ui::vbExclamation, QStringLiteral("Simpan"));
}

}  // namespace simpanTertunda
