#pragma once
// File copies of the maintenance windows: a copied file is either whole or absent.
#include <QString>
#include <QStringList>

namespace exchange {

// Copies `from` over `to` through a temporary file beside `to` that is renamed into place
// only when complete, so a failure never leaves a half-written or missing `to`. With
// `durable` the bytes reach the disk before the rename; without it (bulk copies into a
// backup) a file that does not exist yet is written under its own name and removed again
// on failure. The copy is readable and writable by its owner, whatever the source allowed.
// On failure `error` (when given) says why.
bool replaceFile(const QString& from, const QString& to, bool durable, QString* error = nullptr);

// Names of the files (not folders) directly in `dir` whose name contains ".jpg",
// regardless of case (123.jpg, 123.JPG, 123.jpg.bak), in name order.
QStringList jpgFiles(const QString& dir);

// `folder` with a closing "/" (none added when it has one).
QString withSlash(const QString& folder);


// `names` for a message: the first `shown` joined by commas, then how many more there are.
QString someNames(const QStringList& names, int shown = 5);

}  // namespace exchange
