#pragma once
// The one way the program writes a file: written whole unnamed (or under a temporary name)
// beside it, synced, then linked in or renamed over it, so a failure or a kill leaves either
// the old file or the new one, never half of one.
//
// One rule for every function below: a name that is a symbolic link is written in the file
// it points to, through any chain of links and whether or not that file exists yet; the
// link stays. A replaced file keeps its mode; a new one gets the usual mode (0644 less the
// umask). A folder is never replaced.
#include <QByteArray>
#include <QString>
#include <functional>

namespace vb {

// The prefix of every temporary file this helper writes (".lentavo-<pid>-<n>.tmp"); the
// start-up clean-up removes what a killed run left under it.
inline constexpr const char* kTemporaryPrefix = ".lentavo-";

// Removes the temporary files that runs of the program which are no longer running left in
// `folder` (a kill stops a replacement between writing and renaming).
void removeLeftTemporaries(const QString& folder);

// Whether the process `pid` (this one included) is running.
bool processRunning(qint64 pid);

// A fresh temporary name in the folder of `target` (native encoding); never names a photo.
QByteArray temporaryNameBeside(const QByteArray& target);

// Replaces `target` with what `fill` writes into the open descriptor of a fresh temporary
// file beside it; `fill` returns 0 or an errno. With `durable`, the bytes and the rename
// reach the disk before it returns. On failure the target is untouched, the temporary file
// removed, and `error` (when given) says why. An exception from `fill` passes on, with the
// target untouched and nothing left behind.
bool replaceFileWith(const QString& target, const std::function<int(int fd)>& fill, bool durable = true,
                     QString* error = nullptr);

// Replaces `target` with `bytes`.
bool replaceFileBytes(const QString& target, const QByteArray& bytes, QString* error = nullptr);

// Copies `from` over `to`; the copy's mode follows the rule above, whatever the source
// allowed. A source that becomes shorter while it is copied fails the copy. Without
// `durable` (bulk copies into a fresh folder) a file that does not exist yet is written
// under its own name and removed again on failure.
bool copyFileAtomically(const QString& from, const QString& to, bool durable, QString* error = nullptr);

// Puts the whole file `from` (written by someone else: a library, an earlier step) in place
// of `to` in one rename, both on the disk first, its mode set by the rule above. `from`
// should lie on the file system of `to` (a name from temporaryNameBeside, which the start-up
// sweep knows); where a link leads elsewhere it is copied there and removed.
bool moveFileIntoPlace(const QString& from, const QString& to, QString* error = nullptr);

// fsync of a file's bytes.
bool syncFile(const QString& file);

// fsync of a folder, so that a rename in it is durable.
void syncFolder(const QByteArray& folder);

// Writes all of `bytes` to `fd`; 0 or an errno.
int writeAll(int fd, const char* bytes, qint64 size);

}  // namespace vb
