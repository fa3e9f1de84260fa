#include "Module1.h"

#include "dialogs.h"
#include "msgbox.h"
#include "vb.h"

namespace Module1 {

std::unique_ptr<ado::Connection> Conn;
QString Desain;

QString databaseFile() { return vb::appPath(QStringLiteral("database/database.mdb")); }
QString stagedDatabaseFile() { return databaseFile() + QStringLiteral(".baru"); }
QString keptDatabaseFile() { return databaseFile() + QStringLiteral(".lama"); }

bool bukaKoneksi() {
  try {
    Conn = std::make_unique<ado::Connection>();
    Conn->Provider = QStringLiteral("Microsoft.Jet.OLEDB.4.0");
    Conn->ConnectionString = QStringLiteral("Data Source=") + databaseFile();
    Conn->setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(kDatabasePassword));
    Conn->Open();
    return true;
  } catch (...) {
    Conn.reset();
    ui::msgBox(QStringLiteral("Fatal Error, Silakan Hub. Admin"), ui::vbCritical, QStringLiteral("Error Load"));
    app::end();
    return false;
  }
}

bool koneksiTerbuka() { return Conn && Conn->isOpen(); }

ado::Connection& koneksi() {
  if (!koneksiTerbuka())
    throw vb::VbError(3704, QStringLiteral("ADODB.Recordset"),
                      QStringLiteral("Operation is not allowed when the object is closed."));
  return *Conn;
}

void isiDaftar(QComboBox* box, const QString& sql, const QString& field) {
  if (!koneksiTerbuka()) return;
  ado::Recordset rs;
  rs.Open(sql, *Conn);
  for (; !rs.EOF_(); rs.MoveNext()) box->addItem(vb::text(rs.field(field)));
  rs.Close();
}

void tutupKoneksi() {
  if (!Conn) return;
  vb::resumeNext([] { Conn->Close(); });
  Conn.reset();
}

}  // namespace Module1
