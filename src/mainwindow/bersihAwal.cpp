#include "bersihAwal.h"

#include <cstdio>

#include <QDir>
#include <QFile>

#include "Module1.h"
#include "ado.h"
#include "atomicfile.h"
#include "msgbox.h"
#include "simpanTertunda.h"
#include "vb.h"

namespace bersihAwal {

namespace {

// The folders the program replaces files in, each holding the helper's temporaries.
constexpr const char* kFolder[] = {"", "photos", "images", "barcode", "database", "temp"};

void hapusSementara() {
  for (const char* sub : kFolder) vb::removeLeftTemporaries(vb::appPath(QString::fromLatin1(sub)));
}

bool samaIsi(const QString& a, const QString& b) {
  QFile fa(a), fb(b);
  if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
  while (!fa.atEnd())
    if (fa.read(1 << 20) != fb.read(1 << 20)) return false;
  return true;
}

// The staged copy and what the engine keeps beside it.
void hapusSalinan(const QString& baru) {
  for (const char* tambahan : {"", "-journal", "-wal", "-shm"}) QFile::remove(baru + QLatin1String(tambahan));
}

QString bacaTanda(const QString& tanda) {
  QFile f(tanda);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.read(1 << 16)) : QString();
}

}  // namespace

QString tandaRestore() { return Module1::databaseFile() + QStringLiteral(".restore"); }
QString registerDiganti() { return Module1::databaseFile() + QStringLiteral(".diganti"); }

void jalankan() {
  hapusSementara();
  const QString register_ = Module1::databaseFile();
  const QString baru = Module1::stagedDatabaseFile(), lama = Module1::keptDatabaseFile();
  const QString tanda = tandaRestore(), diganti = registerDiganti();
  // The restore's swap renames its staged copy onto the register: with the marker there and
  // the copy gone, the register is the restored one and the photos may be half copied.
  const bool restoreTerhenti = QFile::exists(tanda) && !QFile::exists(baru);
  if (restoreTerhenti && QFile::exists(diganti) &&
      std::rename(QFile::encodeName(diganti).constData(), QFile::encodeName(lama).constData()) == 0)
    vb::syncFolder(QFile::encodeName(QFileInfo(lama).path()));

  ado::Connection conn;
  conn.ConnectionString = QStringLiteral("Data Source=") + register_;
  conn.setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(Module1::kDatabasePassword));
  const bool terbuka = vb::resumeNext([&] {
    conn.Open();
    ado::Recordset rs;
    rs.Open(QStringLiteral("select * from tblanggota where 0 = 1"), conn);
  });
  if (!terbuka) {
    // The register is missing or unreadable: a restore's copy may be all the user has.
    QStringList ada;
    for (const QString& f : {baru, diganti, lama})
      if (QFile::exists(f)) ada << QDir::toNativeSeparators(f);
    if (!ada.isEmpty())
      ui::msgBox(QStringLiteral("Database %1 tidak dapat dibuka. Restore yang terhenti meninggalkan salinan "
                                "database berikut; salinan itu tidak dihapus:\n%2")
                     .arg(QDir::toNativeSeparators(register_), ada.join(QLatin1Char('\n'))),
                 ui::vbExclamation, QStringLiteral("Restore"));
    return;
  }
  // The register opens: the staged copy is a copy of a file the user still has.
  hapusSalinan(baru);
  // A restore stopped before its swap changed nothing; its second name of the register goes.
  if (!restoreTerhenti) QFile::remove(tanda);
  if (QFile::exists(diganti) && samaIsi(diganti, register_)) QFile::remove(diganti);
  // The register a restore replaced stays for the user to go back to; a copy that only
  // repeats the register goes.
  if (QFile::exists(lama) && samaIsi(lama, register_)) QFile::remove(lama);
  if (restoreTerhenti) {
    const QString sumber = bacaTanda(tanda);
    QString pesan = QStringLiteral("Restore dari %1 terhenti sebelum selesai. Database sudah diganti dengan database "
                                   "dari file itu, tetapi foto mungkin baru sebagian disalin. Jalankan restore dari "
                                   "file itu lagi")
                        .arg(QDir::toNativeSeparators(sumber));
    if (QFile::exists(lama))
      pesan += QStringLiteral(", atau kembali ke database sebelumnya dengan restore dari %1")
                   .arg(QDir::toNativeSeparators(lama));
    ui::msgBox(pesan + u'.', ui::vbExclamation, QStringLiteral("Restore"));
    QFile::remove(tanda);
  }
  simpanTertunda::pulihkan(conn);
}

}  // namespace bersihAwal
