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
#include <climits>
#include <cstring>

namespace vb {

namespace {

QByteArray folderOf(const QByteArray& target) {
  const qsizetype slash = target.lastIndexOf('/');
  return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
}

// The mode of a file the program writes anew (less the umask); a file it replaces keeps its own.
constexpr mode_t kUsualMode = 0644;

// Not an errno: the source of a copy ended before the size it had when the copy began.
constexpr int kSourceShrank = -2;

QString errnoText(int err) {
  if (err == kSourceShrank) return QStringLiteral("the source file became shorter while it was copied");
  return QString::fromLocal8Bit(std::strerror(err));
}

// Copies the bytes of the open file `in` (of `size` bytes) to `out`. A source that ends
// early (shortened by someone else meanwhile) fails the copy: a short copy is no copy.
int copyBytes(int in, int out, off_t size) {
  for (off_t left = size; left > 0;) {
    const ssize_t n = ::sendfile(out, in, nullptr, size_t(left));
    if (n > 0)
      left -= n;
    else if (n == 0)
      return kSourceShrank;
    else if (errno != EINTR)
      return errno;
  }
  return 0;
}

// The process's umask, read without changing it (umask() would, for every thread at once).
mode_t currentUmask() {
  static const mode_t mask = [] {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
      for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("Umask:")) return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8) & 0777);
    return mode_t(022);
  }();
  return mask;
}

// Runs `fill` on `fd`; an exception from it closes `fd` and removes `path` (when given) on
// its way out.
int fillOrClean(int fd, const QByteArray& path, const std::function<int(int)>& fill) {
  try {
    return fill(fd);
  } catch (...) {
    ::close(fd);
    if (!path.isEmpty()) ::unlink(path.constData());
    throw;
  }
}

// Creates `path` exclusively, lets `fill` write it, gives it `mode` (-1: as created), syncs
// and closes it. On failure the file is removed again; EEXIST when `path` existed.
int writeNew(const QByteArray& path, int mode, const std::function<int(int)>& fill, bool durable) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kUsualMode);
  if (fd < 0) return errno;
  int err = fillOrClean(fd, path, fill);
  if (!err && mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) err = errno;
  if (!err && durable && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && !err) err = errno;
  if (err) ::unlink(path.constData());
  return err;
}

// The file a name stands for: a symbolic link is followed (relative to its folder, through
// any chain of links) to the name it points to, whether or not that exists yet, so that a
// replacement writes that file and leaves the link. Empty, with `err` set, on a loop.
QByteArray followLinks(QByteArray name, int* err) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
    char to[PATH_MAX];
    const ssize_t n = ::readlink(name.constData(), to, sizeof to);
    if (n < 0 || size_t(n) >= sizeof to) {
      *err = n < 0 ? errno : ENAMETOOLONG;
      return {};
    }
    const QByteArray next(to, n);
    name = next.startsWith('/') ? next : folderOf(name) + '/' + next;
  }
  *err = ELOOP;
  return {};
}

// The mode the file replacing `name` gets: that of the file it replaces, or -1 for a new
// file (the usual mode). EISDIR for a folder, which is never replaced.
int modeFor(const QByteArray& name, int* err) {
  struct stat st {};
  if (::stat(name.constData(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) *err = EISDIR;
  return int(st.st_mode & 07777);
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
  int err = 0;
  const QByteArray source = QFile::encodeName(from);
  const QByteArray target = followLinks(QFile::encodeName(to), &err);
  const int mode = err ? -1 : modeFor(target, &err);
  if (!err) {
    // The file takes the place's mode rules whatever its writer gave it.
    const int fd = ::open(source.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      err = errno;
    } else {
      if (::fchmod(fd, mode >= 0 ? mode_t(mode) : kUsualMode & ~currentUmask()) != 0 || ::fsync(fd) != 0) err = errno;
      ::close(fd);
    }
  }
  if (!err && ::rename(source.constData(), target.constData()) != 0) {
    err = errno;
    // A link may lead to another file system: the bytes go there the long way.
    if (err == EXDEV && copyFileAtomically(from, QFile::decodeName(target), true, error)) {
      ::unlink(source.constData());
      return true;
    }
    if (err == EXDEV) return false;
  }
  if (err) {
    if (error) *error = errnoText(err);
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
// when `name` exists, under a temporary name that is then renamed over it. The file gets
// `mode` (-1: the usual one). -1: the file system has no unnamed files; otherwise 0 or an errno.
int replaceUnnamed(const QByteArray& name, const std::function<int(int fd)>& fill, bool durable, int mode) {
  const int fd = ::open(folderOf(name).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, kUsualMode);
  if (fd < 0) return -1;
  int err = fillOrClean(fd, QByteArray(), fill);
  if (!err && mode >= 0 && ::fchmod(fd, mode_t(mode)) != 0) err = errno;
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

// Every replacement follows one rule: a name that is a symbolic link is replaced in the file
// it points to (the link stays), a replaced file keeps its mode and a new one gets the usual
// mode.
bool replaceWith(const QString& target, const std::function<int(int fd)>& fill, bool durable, QString* error) {
  int err = 0;
  const QByteArray name = followLinks(QFile::encodeName(target), &err);
  const int mode = err ? -1 : modeFor(name, &err);
  if (!err) {
    // A new file appears whole under its name at once, with no rename (which ext4 makes wait
    // for the data) and nothing named left behind by a kill.
    err = replaceUnnamed(name, fill, durable, mode);
  }
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
  return replaceWith(target, fill, durable, error);
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
  bool ok = false;
  if (!durable) {
    // A bulk copy writes a file that does not exist yet under its own name, one folder
    // change instead of two; a failure removes it again.
    const int err = writeNew(QFile::encodeName(to), -1, fill, false);
    if (err != EEXIST) {
      ::close(in);
      if (err && error) *error = errnoText(err);
      return err == 0;
    }
  }
  ok = replaceWith(to, fill, durable, error);
  ::close(in);
  return ok;
}

}  // namespace vb
