#pragma once
// Rewrites a statement written in the Jet dialect into SQLite's, leaving quoted text alone:
// "DELETE * FROM" -> "DELETE FROM", "SELECT .. INTO t FROM .." -> "CREATE TABLE t AS SELECT ..",
// [name] -> "name". Cstr and the NOCASE comparisons are provided by the connection.
#include <QString>

namespace ado {
QString jetToSqlite(const QString& sql);

// Name of the hidden last column that selectWithRowid adds.
inline constexpr const char* kRowidColumn = "__ado_rowid__";

// For an editable recordset: the SQLite select `sql` with the row id added as a hidden
// last column, or an empty string when the statement cannot name one row per result
// row (not a select, or DISTINCT, GROUP BY, UNION and the like at its top level). A join
// still passes here; SQLite refuses its ambiguous rowid when the statement is prepared.
QString selectWithRowid(const QString& sql);
}  // namespace ado
