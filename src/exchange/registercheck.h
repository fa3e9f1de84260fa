#pragma once
// Whether a database file can stand in for the register: it opens with the program's key,
// passes SQLite's full integrity check and holds every table and column of the schema the
// program was built with, in the order the readers rely on.
#include <QString>

namespace exchange {

// "" when `file` can replace the register; otherwise what is wrong with it, in words for
// the user (without the file's name).
//
// `file` is a copy the restore made, with the source's rollback journal or write-ahead log
// (if any) copied beside it under the copy's name. It is first brought to its committed
// state, as the program that wrote it would do at its next start: the engine rolls back
// what the journal says was never committed, folds the log's commits into the file and
// leaves the file in rollback-journal mode; then it is checked.
QString registerProblem(const QString& file);

// The names SQLite gives a database file's rollback journal, write-ahead log and its index.
QString journalOf(const QString& file);
QString walOf(const QString& file);
QString walIndexOf(const QString& file);

}  // namespace exchange
