#include "atomicfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace vb {

namespace {

QByteArray folderOf(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
}

QString errnoText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Copies the bytes of the open file `in` (of `size` bytes) to `out`.
int copyBytes(int in, int out, off_t size) {
  for (off_t left = size; left > 0;) {
    const ssize_t n = ::sendfile(out, in, nullptr, size_t(left));
    if (n > 0)
      left -= n;
    else if (n == 0)
      return 0;  // the source became shorter while it was copied
    else if (errno != EINTR)
      return errno;
  }
  return 0;
}

// Creates `path` exclusively, lets `fill` write it, syncs and closes it. On failure the
// file is removed again. `created` tells whether `path` existed before (EEXIST).
int writeNew(const QByteArray& path, mode_t mode, const std::function<int(int)>& fill, bool durable) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return errno;
  int err = fill(fd);
  if (!err && durable && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (err) ::unlink(path.constData());
  return err;
}

}  // namespace

QByteArray temporaryNameBeside(const QByteArray& target) {
  static const QByteArray pid = QByteArray::number(qint64(::getpid()));
  static std::atomic<unsigned> counter{0};
  return folderOf(target) + '/' + kTemporaryPrefix + pid + '-' + QByteArray::number(counter++) + ".tmp";
}

bool processRunning(qint64 pid) {
  return pid > 0 && (pid == qint64(::getpid()) || ::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

void removeLeftTemporaries(const QString& folder) {
  static const QRegularExpression name(QStringLiteral("^") + QRegularExpression::escape(kTemporaryPrefix) +
                                       QStringLiteral("(\\d+)-\\d+\\.tmp$"));
  const QDir dir(folder);
  for (const QString& f : dir.entryList({kTemporaryPrefix + QStringLiteral("*")}, QDir::Files | QDir::Hidden)) {
    const QRegularExpressionMatch m = name.match(f);
    // A program still running may be writing it.
    if (!m.hasMatch() || processRunning(m.captured(1).toLongLong())) continue;
    struct stat st {};
    const QByteArray path = QFile::encodeName(dir.filePath(f));
    if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.constData());
  }
}

void syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool syncFile(const QString& file) {
  const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool moveFileIntoPlace(const QString& from, const QString& to, QString* error) {
  const QByteArray target = QFile::encodeName(to);
  if (!syncFile(from) || ::rename(QFile::encodeName(from).constData(), target.constData()) != 0) {
    if (error) *error = errnoText(errno);
    return false;
  }
  syncFolder(folderOf(target));
  return true;
}

int writeAll(int fd, const char* bytes, qint64 size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size_t(size));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes += n;
    size -= n;
  }
  return 0;
}

namespace {

// Writes an unnamed file in the folder of `name` and links it in under `name` when whole, or,
// when `name` exists, under a temporary name that is then renamed over it. -1: the file
// system has no unnamed files; otherwise 0 or an errno.
int replaceUnnamed(const QByteArray& name, const std::function<int(int fd)>& fill, bool durable, mode_t mode) {
  const int fd = ::open(folderOf(name).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  if (fd < 0) return -1;
  int err = fill(fd);
  if (!err && durable && ::fsync(fd) != 0) err = errno;
  const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
  if (!err && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) != 0) {
    err = errno;
    if (err == EEXIST) {
      for (int attempt = 0; err == EEXIST && attempt < 64; ++attempt) {
        const QByteArray temp = temporaryNameBeside(name);
        err = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, temp.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
        if (!err && ::rename(temp.constData(), name.constData()) != 0) {
          err = errno;
          ::unlink(temp.constData());
        }
      }
    } else if (err == ENOENT) {
      err = -1;  // no /proc: linked by name below
    }
  }
  ::close(fd);
  return err;
}

bool replaceWith(const QString& target, const std::function<int(int fd)>& fill, bool durable, QString* error,
                 mode_t mode) {
  const QByteArray name = QFile::encodeName(target);
  // A new file appears whole under its name at once, with no rename (which ext4 makes wait
  // for the data) and nothing named left behind by a kill.
  int err = replaceUnnamed(name, fill, durable, mode);
  if (err == -1) {
    err = EEXIST;
    QByteArray temp;
    for (int attempt = 0; err == EEXIST && attempt < 64; ++attempt) {
      temp = temporaryNameBeside(name);
      err = writeNew(temp, mode, fill, durable);
    }
    if (!err && ::rename(temp.constData(), name.constData()) != 0) {
      err = errno;
      ::unlink(temp.constData());
    }
  }
  if (err) {
    if (error) *error = errnoText(err);
    return false;
  }
  if (durable) syncFolder(folderOf(name));
  return true;
}

}  // namespace

bool replaceFileWith(const QString& target, const std::function<int(int fd)>& fill, bool durable, QString* error) {
  return replaceWith(target, fill, durable, error, 0644);
}

bool replaceFileBytes(const QString& target, const QByteArray& bytes, QString* error) {
  return replaceFileWith(
      target, [&](int fd) { return writeAll(fd, bytes.constData(), bytes.size()); }, true, error);
}

bool copyFileAtomically(const QString& from, const QString& to, bool durable, QString* error) {
  const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    if (error) *error = errnoText(errno);
    return false;
  }
  struct stat st {};
  const int statErr = ::fstat(in, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
  if (statErr) {
    ::close(in);
    if (error) *error = errnoText(statErr);
    return false;
  }
  const auto fill = [&](int out) {
    ::lseek(in, 0, SEEK_SET);
    return copyBytes(in, out, st.st_size);
  };
  const mode_t mode = (st.st_mode & 0777) | S_IRUSR | S_IWUSR;
  bool ok = false;
  if (!durable) {
    // A bulk copy writes a file that does not exist yet under its own name, one folder
    // change instead of two; a failure removes it again.
    const int err = writeNew(QFile::encodeName(to), mode, fill, false);
    if (err != EEXIST) {
      ::close(in);
      if (err && error) *error = errnoText(err);
      return err == 0;
    }
  }
  ok = replaceWith(to, fill, durable, error, mode);
  ::close(in);
  return ok;
}

}  // namespace vb
