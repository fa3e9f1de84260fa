#include "bersihAwal.h"

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

}  // namespace

void jalankan() {
  hapusSementara();
  const QString register_ = Module1::databaseFile();
  const QString baru = Module1::stagedDatabaseFile(), lama = Module1::keptDatabaseFile();
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
    for (const QString& f : {baru, lama})
      if (QFile::exists(f)) ada << QDir::toNativeSeparators(f);
    if (!ada.isEmpty())
      ui::msgBox(QStringLiteral("Database %1 tidak dapat dibuka. Restore yang terhenti meninggalkan salinan "
                                "database berikut; salinan itu tidak dihapus:\n%2")
                     .arg(QDir::toNativeSeparators(register_), ada.join(QLatin1Char('\n'))),
                 ui::vbExclamation, QStringLiteral("Restore"));
    return;
  }
  // The register opens: the staged copy is a copy of a file the user still has.
  QFile::remove(baru);
  // The register a restore replaced stays for the user to go back to; a copy that only
  // repeats the register (a restore stopped before its swap) goes.
  if (QFile::exists(lama) && samaIsi(lama, register_)) QFile::remove(lama);
  simpanTertunda::pulihkan(conn);
}

}  // namespace bersihAwal
