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

// Lies in a backup folder from the moment a backup starts until it has copied everything;
// a folder that holds it is an unfinished backup, which the restore refuses.
inline constexpr const char* kUnfinishedMarker = "BACKUP BELUM SELESAI.txt";
// The sub-folder of a backup that holds the card pictures, out of the restore's reach:
// the restore takes every "*.jpg*" beside the database for a member photo.
inline constexpr const char* kCardPictureFolder = "gambar kartu";

// True for the pictures of "images/" that a backup keeps: the designer's element pictures,
// each side's background and the card faces. The restore never takes them for photos.
bool isCardPicture(const QString& name);
// True when `folder` holds an unfinished backup.
bool isUnfinished(const QString& folder);

// Copies the card pictures of `images` into the sub-folder for them in `folder` (both made
// when missing), each file whole or not at all; with `durable` each on the disk before it
// replaces one there. Stops early when `cancel` becomes true. Returns what could not be
// copied, relative to `folder`.
QStringList kopi(const QString& images, const QString& folder, bool durable, const std::atomic<bool>& cancel);

// Makes the backup folder `folder`: the whole content of the photo folder, the card pictures
// into their sub-folder and, last, the database file as it stands between two writes. All of
// it is built in a fresh folder under a temporary name beside `folder` (with the unfinished
// marker while it fills), synced, and only then put in place of `folder` in one step, so an
// earlier backup of the day stays whole until a whole new one takes its place. Folders that
// killed backups left beside `folder` are removed first. Stops early when `cancel` becomes
// true. Returns what could not be copied, relative to `folder`; empty when everything was,
// and only then has `folder` changed.
QStringList BuatBackup(const Sources& from, const QString& folder, const std::atomic<bool>& cancel);

}  // namespace backup
