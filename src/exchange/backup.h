#pragma once
// The backup's routines: the folder picker and the copy itself.
#include <QString>
#include <QStringList>
#include <atomic>

namespace backup {

// The folder picker; "" when the user cancels.
QString PilihFolder(const QString& title);

// "Backup - yyyy.mm.dd" for today, inside `destination`.
QString datedFolder(const QString& destination);

// What a backup copies, as paths that need no widget or global (the copy runs off the
// user-interface thread).
struct Sources {
  QString database;  // the database file
  QString photos;    // the member photo folder
  QString images;    // the card designer's pictures and card faces
};

// Copies into `folder` (made when missing) the database file as it stands between two
// writes, the whole content of the photo folder and the design pictures. Stops early when
// `cancel` becomes true. Returns what could not be copied, relative to `folder`; empty
// when everything was.
QStringList BuatBackup(const Sources& from, const QString& folder, const std::atomic<bool>& cancel);

}  // namespace backup
