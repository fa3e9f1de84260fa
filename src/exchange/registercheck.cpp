#include "registercheck.h"

#include <QFile>
#include <QStringList>
#include <vector>

#include "Module1.h"
#include "ado.h"
#include "vb.h"

namespace exchange {

namespace {

// The tables and columns of the shipped schema, read from the schema itself.
const std::vector<ado::TableColumns>& schemaTables() {
  static const std::vector<ado::TableColumns> tables = [] {
    QFile f(QStringLiteral(":/db/schema.sql"));
    return f.open(QIODevice::ReadOnly) ? ado::tablesOfScript(f.readAll()) : std::vector<ado::TableColumns>{};
  }();
  return tables;
}

// Runs `step`; false, with the error's text in `error`, when it raises.
template <class F>
bool run(F&& step, QString& error) {
  try {
    step();
    return true;
  } catch (const vb::VbError& e) {
    error = e.description;
  } catch (...) {
    error.clear();
  }
  return false;
}

QString damaged(const QString& what) { return QStringLiteral("file rusak (%1)").arg(what); }

}  // namespace

QString journalOf(const QString& file) { return file + QStringLiteral("-journal"); }
QString walOf(const QString& file) { return file + QStringLiteral("-wal"); }
QString walIndexOf(const QString& file) { return file + QStringLiteral("-shm"); }

QString registerProblem(const QString& file) {
  const std::vector<ado::TableColumns>& schema = schemaTables();
  if (schema.empty()) return QStringLiteral("susunan database program tidak dapat dibaca");
  ado::Connection c;
  c.ConnectionString = QStringLiteral("Data Source=") + file;
  c.setProperty(QStringLiteral("Jet OLEDB:Database Password"), QString::fromLatin1(Module1::kDatabasePassword));
  // Opening reads the file, which rolls back a journal beside it.
  QString error;
  if (!run([&] { c.Open(); }, error))
    return c.lastOpenFoundDamage() ? damaged(error)
                                   : QStringLiteral("bukan database program ini atau kata sandinya berbeda");
  // A log's commits go into the file; the register keeps no log beside it.
  if (!run([&] { c.UseRollbackJournal(); }, error))
    return QStringLiteral("log transaksi di sampingnya tidak dapat diterapkan (%1)").arg(error);

  // Every page of every table and index is read; the first problem names the damage.
  QStringList report;
  if (!run([&] { report = c.IntegrityCheck(); }, error) || report != QStringList{"ok"}) {
    QStringList lines = (report.isEmpty() ? error : report.join(u'\n')).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& l) { return l.startsWith(QLatin1String("*** ")); });
    return damaged(lines.value(0, QStringLiteral("pemeriksaan database gagal")));
  }

  QStringList missingTables, problems;
  for (const ado::TableColumns& t : schema) {
    QStringList have;
    vb::resumeNext([&] { have = c.ColumnNames(t.name); });
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
  c.Close();
  // A journal the engine left after a successful open was no hot one (empty, or that of a
  // finished transaction): nothing in it is to be rolled back.
  for (const QString& f : {journalOf(file), walIndexOf(file)})
    if (QFile::exists(f)) QFile::remove(f);
  return problems.join(QStringLiteral("; "));
}

}  // namespace exchange
