#include "filecopy.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace exchange {

namespace {

// Copies the bytes of `from` into the new file `to`, which gets the source's permissions
// plus the owner's read and write. Returns 0 or the errno of the failing call; `created`
// tells whether `to` was made.
int copyBytes(const char* from, const char* to, bool durable, bool& created) {
  created = false;
  const int in = ::open(from, O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st {};
  const int statErr = ::fstat(in, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EISDIR;
  if (statErr) {
    const int e = statErr;
    ::close(in);
    return e;
  }
  const int out = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, (st.st_mode & 0777) | S_IRUSR | S_IWUSR);
  if (out < 0) {
    const int e = errno;
    ::close(in);
    return e;
  }
  created = true;
  int err = 0;
  for (off_t left = st.st_size; left > 0 && !err;) {
    const ssize_t n = ::sendfile(out, in, nullptr, size_t(left));
    if (n > 0)
      left -= n;
    else if (n == 0)
      break;  // the source became shorter while it was copied
    else if (errno != EINTR)
      err = errno;
  }
  if (!err && durable && ::fsync(out) != 0) err = errno;
  if (::close(out) != 0 && !err) err = errno;
  ::close(in);
  return err;
}

void syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool replaceFile(const QString& from, const QString& to, bool durable, QString* error) {
  static const QByteArray pid = QByteArray::number(qint64(::getpid()));
  static std::atomic<unsigned> counter{0};
  const QByteArray target = QFile::encodeName(to);
  const qsizetype slash = target.lastIndexOf('/');
  const QByteArray folder = slash < 0 ? QByteArray(".") : target.left(slash);
  // No ".jpg" in the name: a leftover must never pass for a photo.
  const QByteArray temp = folder + "/.lentavo-" + pid + '-' + QByteArray::number(counter++) + ".tmp";
  const QByteArray source = QFile::encodeName(from);
  if (!durable) {
    // A bulk copy writes a file that does not exist yet under its own name, one folder
    // change instead of two; a failure removes it again.
    bool created = false;
    const int err = copyBytes(source.constData(), target.constData(), false, created);
    if (created || err != EEXIST) {
      if (err) {
        if (created) ::unlink(target.constData());
        if (error) *error = QString::fromLocal8Bit(std::strerror(err));
      }
      return err == 0;
    }
  }
  bool created = false;
  int err = copyBytes(source.constData(), temp.constData(), durable, created);
  if (!err && ::rename(temp.constData(), target.constData()) != 0) err = errno;
  if (err) {
    ::unlink(temp.constData());
    if (error) *error = QString::fromLocal8Bit(std::strerror(err));
    return false;
  }
  // The rename is only durable once the folder is.
  if (durable) syncFolder(folder);
  return true;
}

QStringList jpgFiles(const QString& dir) {
  QStringList names;
  for (const QFileInfo& f : QDir(dir).entryInfoList(QDir::Files, QDir::Name))
    if (f.fileName().contains(QLatin1String(".jpg"), Qt::CaseInsensitive)) names << f.fileName();
  return names;
}

QString withSlash(const QString& folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

}  // namespace exchange
