#pragma once
// Whether a database file can stand in for the register: it opens with the program's key,
// passes SQLite's full integrity check and holds every table and column of the schema the
// program was built with, in the order the readers rely on.
#include <QString>

namespace exchange {

// "" when `file` can replace the register; otherwise what is wrong with it, in words for
// the user (without the file's name).
QString registerProblem(const QString& file);

}  // namespace exchange
