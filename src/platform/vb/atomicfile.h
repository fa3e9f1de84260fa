#pragma once
// The one way a file of the program folder is replaced: written whole under a temporary
// name beside it, synced, then renamed over it, so a failure or a kill leaves either the
// old file or the new one, never half of one.
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
// removed, and `error` (when given) says why.
bool replaceFileWith(const QString& target, const std::function<int(int fd)>& fill, bool durable = true,
                     QString* error = nullptr);

// Replaces `target` with `bytes`.
bool replaceFileBytes(const QString& target, const QByteArray& bytes, QString* error = nullptr);

// Copies `from` over `to`. The copy is readable and writable by its owner, whatever the
// source allowed. Without `durable` (bulk copies into a fresh folder) a file that does not
// exist yet is written under its own name and removed again on failure.
bool copyFileAtomically(const QString& from, const QString& to, bool durable, QString* error = nullptr);

// Puts the whole file `from` (written by someone else: a library, an earlier step) in place
// of `to` in one rename, both on the disk first; `from` must lie on the same file system.
bool moveFileIntoPlace(const QString& from, const QString& to, QString* error = nullptr);

// fsync of a file's bytes.
bool syncFile(const QString& file);

// fsync of a folder, so that a rename in it is durable.
void syncFolder(const QByteArray& folder);

// Writes all of `bytes` to `fd`; 0 or an errno.
int writeAll(int fd, const char* bytes, qint64 size);

}  // namespace vb
