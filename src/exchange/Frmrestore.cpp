#include "Frmrestore.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "Frmcari.h"
#include "Module1.h"
#include "atomicfile.h"
#include "backup.h"
#include "bersihAwal.h"
#include "filecopy.h"
#include "msgbox.h"
#include "photofile.h"
#include "registercheck.h"
#include "vb.h"

namespace {

const QString kTitle = QStringLiteral("Restore");

}  // namespace

Frmrestore::Frmrestore() {
  setObjectName(QStringLiteral("Frmrestore"));
  setCaption(QStringLiteral("Restore"));
  auto* g = new QGridLayout(this);
  auto button = [this](const char* name, const QString& text) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    return b;
  };
  Label14 = new QLabel(QStringLiteral("Restore Database"), this);
  Label14->setObjectName(QStringLiteral("Label14"));
  QFont f = Label14->font();
  f.setBold(true);
  f.setPointSize(f.pointSize() + 3);
  Label14->setFont(f);
  Label1 = new QLabel(QStringLiteral("Pilih file database"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Text1 = new QLineEdit(this);
  Text1->setObjectName(QStringLiteral("Text1"));
  Label1->setBuddy(Text1);
  Command1 = button("Command1", QStringLiteral("&Browse"));
  cmdrestore = button("cmdrestore", QStringLiteral("&Restore"));
  Command2 = button("Command2", QStringLiteral("&Tutup"));
  g->addWidget(Label14, 0, 0, 1, 3);
  g->addWidget(Label1, 1, 0);
  g->addWidget(Text1, 1, 1);
  g->addWidget(Command1, 1, 2);
  g->addWidget(cmdrestore, 2, 1, Qt::AlignRight);
  g->addWidget(Command2, 2, 2);
  connect(Command1, &QPushButton::clicked, this, &Frmrestore::Command1_Click);
  connect(cmdrestore, &QPushButton::clicked, this, &Frmrestore::cmdrestore_Click);
  connect(Command2, &QPushButton::clicked, this, [] { forms::unload<Frmrestore>(); });
  resize(520, 160);
}

void Frmrestore::Command1_Click() {
  CommonDialog1.DialogTitle = QStringLiteral("Pilih  Database");
  CommonDialog1.Filter = QStringLiteral("Acces File (*.mdb)|*.mdb");
  CommonDialog1.InitDir = QString();
  vb::resumeNext([&] { CommonDialog1.ShowOpen(); });
  Text1->setText(CommonDialog1.FileName);
}

QString Frmrestore::keptRegister() { return Module1::keptDatabaseFile(); }
QString Frmrestore::stagedRegister() { return Module1::stagedDatabaseFile(); }

void Frmrestore::removeStaged() {
  const QString staged = stagedRegister();
  for (const QString& f : {staged, exchange::journalOf(staged), exchange::walOf(staged), exchange::walIndexOf(staged)})
    if (QFileInfo::exists(f)) QFile::remove(f);
}

QString Frmrestore::stage(const QString& source) {
  const QString staged = stagedRegister();
  removeStaged();
  // A program killed at its commit leaves a journal (or a log) beside its database: taken
  // along under the copy's name, it lets the engine roll back what was never committed.
  const std::pair<QString, QString> parts[] = {{source, staged},
                                               {exchange::journalOf(source), exchange::journalOf(staged)},
                                               {exchange::walOf(source), exchange::walOf(staged)}};
  QString why;
  for (const auto& [from, to] : parts) {
    if (from != source && !QFileInfo::exists(from)) continue;
    if (!exchange::replaceFile(from, to, false, &why))
      return QStringLiteral("file tidak dapat disalin ke folder database: ") + why;
  }
  // The copy is what gets checked, so what replaces the register is what passed.
  return exchange::registerProblem(staged);
}

QString Frmrestore::replaceDatabase(const QString& source, const QString& target) {
  // The program's connection takes the register's lock: a write that another connection
  // has under way would otherwise be committed into the file this one replaces.
  ado::Connection* lock = Module1::koneksiTerbuka() ? Module1::Conn.get() : nullptr;
  if (lock) switch (lock->LockExclusive()) {
      case ado::Connection::Lock::Held:
        break;
      case ado::Connection::Lock::Busy:
        return QStringLiteral("database sedang dipakai oleh program lain; tutup program itu lalu coba lagi");
      case ado::Connection::Lock::Failed:
        lock = nullptr;  // a damaged register gives no lock; replacing it is the point
        break;
    }
  auto release = [&](const QString& why) {
    if (lock) lock->UnlockExclusive();
    return why;
  };
  const QString kept = keptRegister(), replaced = bersihAwal::registerDiganti(), marker = bersihAwal::tandaRestore();
  // The kept register is replaced only after the swap, so it must be replaceable now.
  const QFileInfo keptInfo(kept);
  if (keptInfo.exists() && !keptInfo.isFile())
    return release(QStringLiteral("database lama tidak dapat disimpan: %1 bukan file")
                       .arg(QDir::toNativeSeparators(kept)));
  QString why;
  // From here a kill leaves the marker, which the next start reads.
  if (!vb::replaceFileBytes(marker, source.toUtf8(), &why))
    return release(QStringLiteral("catatan restore tidak dapat ditulis: ") + why);
  // Nothing was replaced: the marker goes first, so that no start takes the leftovers for
  // a swap that took place.
  auto undo = [&](const QString& why) {
    QFile::remove(marker);
    QFile::remove(replaced);
    return release(why);
  };
  // The register stays as it was under a second name (one more link to the same file where
  // the file system has links).
  const QByteArray from = QFile::encodeName(target), second = QFile::encodeName(replaced);
  if (QFileInfo::exists(replaced) && ::unlink(second.constData()) != 0)
    return undo(QStringLiteral("database lama tidak dapat disimpan: ") + QString::fromLocal8Bit(std::strerror(errno)));
  if (QFileInfo::exists(target) && ::link(from.constData(), second.constData()) != 0 &&
      !exchange::replaceFile(target, replaced, true, &why))
    return undo(QStringLiteral("database lama tidak dapat disimpan: ") + why);
  if (!vb::moveFileIntoPlace(stagedRegister(), target, &why))
    return undo(QStringLiteral("database tidak dapat diganti: ") + why);
  // Swapped: only now does the replaced register take the place of the one an earlier
  // restore replaced. Should the rename fail, it stays under its second name.
  if (QFileInfo::exists(replaced) && ::rename(second.constData(), QFile::encodeName(kept).constData()) == 0)
    vb::syncFolder(QFile::encodeName(QFileInfo(kept).path()));
  // The connection still reads the replaced file; closing it drops the lock with it.
  if (Module1::koneksiTerbuka()) Module1::Conn->Close();
  return {};
}

void Frmrestore::cmdrestore_Click() {
  const QString source = Text1->text();
  if (source.isEmpty()) {
    ui::msgBox(QStringLiteral("Pilih File database terlebih dahulu"), ui::vbInformation, kTitle);
    return;
  }
  const QString target = Module1::databaseFile();
  const QFileInfo from(source);
  if (!from.exists()) {
    ui::msgBox(QStringLiteral("File database %1 tidak ditemukan").arg(source), ui::vbExclamation, kTitle);
    return;
  }
  // Restoring the database onto itself would only copy it over itself.
  if (from.canonicalFilePath() == QFileInfo(target).canonicalFilePath()) return;
  const bool wasOpen = Module1::koneksiTerbuka();
  QString why;
  if (from.isDir()) {
    why = QStringLiteral("yang dipilih adalah folder, bukan file database");
  } else if (!from.isFile()) {
    why = QStringLiteral("bukan file biasa");
  } else if (backup::isUnfinished(from.absolutePath())) {
    why = QStringLiteral("folder ini berisi backup yang belum selesai dibuat (berkas \"%1\" ada)")
              .arg(QLatin1String(backup::kUnfinishedMarker));
  } else {
    why = stage(source);
    if (why.isEmpty()) why = replaceDatabase(from.absoluteFilePath(), target);
    if (!why.isEmpty()) removeStaged();
  }
  if (!why.isEmpty()) {
    ui::msgBox(QStringLiteral("File %1 tidak dapat dipakai untuk restore: %2. Database tidak diubah.")
                   .arg(QDir::toNativeSeparators(source), why),
               ui::vbExclamation, kTitle);
    return;
  }
  // The photos are still to come: the marker stays, so a start after a failure here tells.
  if (wasOpen && !vb::resumeNext([] { Module1::Conn->Open(); }))
    ui::msgBox(QStringLiteral("Database sudah diganti tetapi tidak dapat dibuka. Database sebelumnya tersimpan "
                              "sebagai %1.")
                   .arg(QDir::toNativeSeparators(keptRegister())),
               ui::vbCritical, kTitle);
  else
    restorePhotos(from.absolutePath());
  LvTampil();
}

void Frmrestore::restorePhotos(const QString& folder) {
  const QString from = exchange::withSlash(folder);
  const QString photos = vb::appPath(QStringLiteral("photos/"));
  QStringList skipped, failed;
  for (const QString& name : exchange::jpgFiles(from)) {
    // Card pictures that a backup made before they had their own sub-folder are no photos.
    if (backup::isCardPicture(name)) continue;
    // A photo cut short or damaged never replaces a good one.
    if (photobox::readPictureFile(from + name, QSize(), true, true).status != photobox::PictureFile::Status::Ok)
      skipped << name;
    else if (!exchange::replaceFile(from + name, photos + name, true))
      failed << name;
  }
  // Every photo has had its turn: nothing is left for the next start to tell.
  QFile::remove(bersihAwal::tandaRestore());
  if (skipped.isEmpty() && failed.isEmpty()) {
    ui::msgBox(QStringLiteral("Restore Complete"), ui::vbInformation, kTitle);
    return;
  }
  QStringList parts;
  if (!skipped.isEmpty())
    parts << QStringLiteral("foto yang rusak atau tidak terbaca tidak disalin: ") + exchange::someNames(skipped);
  if (!failed.isEmpty()) parts << QStringLiteral("foto yang gagal disalin: ") + exchange::someNames(failed);
  ui::msgBox(QStringLiteral("Database dipulihkan, tetapi %1.").arg(parts.join(QStringLiteral("; "))), ui::vbExclamation,
             kTitle);
}

void Frmrestore::tampilUlang() { LvTampil(); }

void Frmrestore::kopi() {
  const QString text = Text1->text();
  const QString folder = text.left(text.lastIndexOf(u'/') + 1);
  const QString images = vb::appPath(QStringLiteral("images/"));
  auto copy = [](const QString& from, const QString& to) {
    if (!QFileInfo(from).isFile()) throw vb::VbError(vb::kErrFileNotFound, QString(), QStringLiteral("File not found"));
    QString why;
    if (!vb::copyFileAtomically(from, to, true, &why)) throw vb::VbError(vb::kErrFileAccess, QString(), why);
  };
  // The designer's pictures; a pattern that matches nothing fails as a missing file does.
  const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
  const QStringList gifs = dir.entryList({QStringLiteral("*.gif")}, QDir::Files, QDir::Name);
  if (gifs.isEmpty()) throw vb::VbError(vb::kErrFileNotFound, QString(), QStringLiteral("File not found"));
  for (const QString& gif : gifs) copy(dir.filePath(gif), images + gif);
  for (const char* face : {"belakang.jpg", "depan.jpg"})
    copy(folder + QLatin1String(face), images + QLatin1String(face));
}

void Frmrestore::LvTampil() {
  Frmcari* main = forms::get<Frmcari>();
  ui::ListView* lv = main->Lv1;
  ado::Recordset rs;
  const bool opened = Module1::koneksiTerbuka() &&
                      vb::resumeNext([&] { rs.Open(QStringLiteral("select * from tblanggota"), *Module1::Conn); });
  lv->clearItems();
  lv->setSorted(false);
  if (opened)
    vb::resumeNext([&] {
      for (; !rs.EOF_(); rs.MoveNext()) {
        QStringList row{QString::number(lv->count() + 1)};
        for (int c = 1; c <= 8; ++c) row << vb::text(rs.field(c));
        lv->addRow(row);
      }
    });
  main->Label1->setText(vb::formatCount(lv->count()));
}
