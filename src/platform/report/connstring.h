#pragma once
// The name=value pairs of an OLE DB connection string.
#include <QMap>
#include <QString>

namespace report {

// Names come back in lower case with their inner blanks made single, so "data source",
// "Data  Source" and "DATA SOURCE" are one name. A value may stand in double or single
// quotes (a doubled quote inside is one quote), which lets it hold ";" and "=". The last
// of a repeated name wins. Throws vb::VbError for an unclosed quote or a pair without "=".
QMap<QString, QString> parseConnectionString(const QString& s);

}  // namespace report
