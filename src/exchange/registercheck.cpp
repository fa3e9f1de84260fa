#include "registercheck.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QStringList>
#include <vector>

#include "Module1.h"

namespace exchange {

namespace {

struct Table {
  QString name;
  QStringList columns;  // in the schema's order
};

struct Db {
  sqlite3* db = nullptr;
  ~Db() { sqlite3_close_v2(db); }
};

// Runs `sql` and returns the text of column `col` of every row; false on any error.
bool rows(sqlite3* db, const QString& sql, int col, QStringList& out, QString* error = nullptr) {
  sqlite3_stmt* st = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr);
  if (rc == SQLITE_OK)
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
      out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, col)));
  if (rc != SQLITE_DONE && error) *error = QString::fromUtf8(sqlite3_errmsg(db));
  sqlite3_finalize(st);
  return rc == SQLITE_DONE;
}

QString quotedName(const QString& name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

QStringList columnsOf(sqlite3* db, const QString& table) {
  QStringList names;
  rows(db, QStringLiteral("PRAGMA table_info(%1)").arg(quotedName(table)), 1, names);
  return names;
}

// The tables and columns of the shipped schema, read from the schema itself.
const std::vector<Table>& schemaTables() {
  static const std::vector<Table> tables = [] {
    std::vector<Table> out;
    QFile f(QStringLiteral(":/db/schema.sql"));
    if (!f.open(QIODevice::ReadOnly)) return out;
    Db mem;
    if (sqlite3_open_v2(":memory:", &mem.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(mem.db, f.readAll().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
      return out;
    QStringList names;
    rows(mem.db,
         QStringLiteral("select name from sqlite_master where type = 'table' and name not like 'sqlite%' "
                        "order by rowid"),
         0, names);
    for (const QString& n : names) out.push_back({n, columnsOf(mem.db, n)});
    return out;
  }();
  return tables;
}

}  // namespace

QString registerProblem(const QString& file) {
  const std::vector<Table>& schema = schemaTables();
  if (schema.empty()) return QStringLiteral("susunan database program tidak dapat dibaca");
  Db c;
  const QByteArray key = QByteArrayLiteral("PRAGMA key = '") + Module1::kDatabasePassword + '\'';
  QStringList probe;
  QString error;
  if (sqlite3_open_v2(QFile::encodeName(file).constData(), &c.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
      sqlite3_exec(c.db, key.constData(), nullptr, nullptr, nullptr) != SQLITE_OK ||
      !rows(c.db, QStringLiteral("select count(*) from sqlite_master"), 0, probe, &error))
    return sqlite3_errcode(c.db) == SQLITE_CORRUPT
               ? QStringLiteral("file rusak (%1)").arg(error)
               : QStringLiteral("bukan database program ini atau kata sandinya berbeda");

  // Every page of every table and index is read; the first problem names the damage.
  QStringList report;
  if (!rows(c.db, QStringLiteral("PRAGMA integrity_check"), 0, report, &error) || report != QStringList{"ok"}) {
    QStringList lines = (error.isEmpty() ? report.join(u'\n') : error).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& l) { return l.startsWith(QLatin1String("*** ")); });
    return QStringLiteral("file rusak (%1)").arg(lines.value(0, QStringLiteral("pemeriksaan database gagal")));
  }

  QStringList missingTables, problems;
  for (const Table& t : schema) {
    const QStringList have = columnsOf(c.db, t.name);
    if (have.isEmpty()) {
      missingTables << t.name;
      continue;
    }
    QStringList missing;
    for (const QString& col : t.columns)
      if (!have.contains(col, Qt::CaseInsensitive)) missing << col;
    if (!missing.isEmpty()) {
      problems << QStringLiteral("tabel %1 tidak memuat kolom %2").arg(t.name, missing.join(QStringLiteral(", ")));
      continue;
    }
    // Rows are read by position too: the schema's columns come first, in its order.
    for (qsizetype i = 0; i < t.columns.size(); ++i)
      if (have.at(i).compare(t.columns.at(i), Qt::CaseInsensitive) != 0) {
        problems << QStringLiteral("urutan kolom tabel %1 berbeda (%2 di tempat %3)")
                        .arg(t.name, have.at(i), t.columns.at(i));
        break;
      }
  }
  if (!missingTables.isEmpty())
    problems.prepend(QStringLiteral("tabel %1 tidak ada").arg(missingTables.join(QStringLiteral(", "))));
  return problems.join(QStringLiteral("; "));
}

}  // namespace exchange
