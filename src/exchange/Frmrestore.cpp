#include "Frmrestore.h"

#include <sqlcipher/sqlite3.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Frmcari.h"
#include "Module1.h"
#include "atomicfile.h"
#include "backup.h"
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

QString Frmrestore::replaceDatabase(const QString& staged, const QString& target) {
  // The program's connection takes the register's lock: a write that another connection
  // has under way would otherwise be committed into the file this one replaces.
  sqlite3* lock = Module1::koneksiTerbuka() ? Module1::Conn->handle() : nullptr;
  if (lock) {
    const int rc = sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) & 0xff;
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
      return QStringLiteral("database sedang dipakai oleh program lain; tutup program itu lalu coba lagi");
    if (rc != SQLITE_OK) lock = nullptr;  // a damaged register gives no lock; replacing it is the point
  }
  auto release = [&](const QString& why) {
    if (lock) sqlite3_exec(lock, "ROLLBACK", nullptr, nullptr, nullptr);
    return why;
  };
  // The replaced register stays as it was, under a second name (one more link to the same
  // file where the file system has links).
  const QByteArray kept = QFile::encodeName(keptRegister()), to = QFile::encodeName(target);
  auto failedWith = [](const QString& what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
  };
  QString why;
  if (::unlink(kept.constData()) != 0 && errno != ENOENT)
    return release(failedWith(QStringLiteral("database lama tidak dapat disimpan")));
  if (QFileInfo::exists(target) && ::link(to.constData(), kept.constData()) != 0 &&
      !exchange::replaceFile(target, keptRegister(), true, &why))
    return release(QStringLiteral("database lama tidak dapat disimpan: ") + why);
  if (!vb::moveFileIntoPlace(staged, target, &why))
    return release(QStringLiteral("database tidak dapat diganti: ") + why);
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
  if (!from.isFile()) {
    ui::msgBox(QStringLiteral("File database %1 tidak ditemukan").arg(source), ui::vbExclamation, kTitle);
    return;
  }
  // Restoring the database onto itself would only copy it over itself.
  if (from.canonicalFilePath() == QFileInfo(target).canonicalFilePath()) return;
  const bool wasOpen = Module1::koneksiTerbuka();
  QString why;
  if (backup::isUnfinished(from.absolutePath())) {
    why = QStringLiteral("folder ini berisi backup yang belum selesai dibuat (berkas \"%1\" ada)")
              .arg(QLatin1String(backup::kUnfinishedMarker));
  } else {
    // The copy is what gets checked, so what replaces the register is what passed.
    const QString staged = stagedRegister();
    QFile::remove(staged);
    if (!exchange::replaceFile(source, staged, false, &why))
      why = QStringLiteral("file tidak dapat disalin ke folder database: ") + why;
    else if ((why = exchange::registerProblem(staged)).isEmpty())
      why = replaceDatabase(staged, target);
    if (!why.isEmpty()) QFile::remove(staged);
  }
  if (!why.isEmpty()) {
    ui::msgBox(QStringLiteral("File %1 tidak dapat dipakai untuk restore: %2. Database tidak diubah.")
                   .arg(QDir::toNativeSeparators(source), why),
               ui::vbExclamation, kTitle);
    return;
  }
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
