#include "filecopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <filesystem>

namespace exchange {

namespace fs = std::filesystem;

namespace {

fs::path toPath(const QString& s) { return fs::path(QFile::encodeName(s).toStdString()); }

bool syncPath(const fs::path& p, int flags) {
  const int fd = ::open(p.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool replaceFile(const QString& from, const QString& to, bool durable, QString* error) {
  static std::atomic<unsigned> counter{0};
  const fs::path target = toPath(to);
  // No ".jpg" in the name: a leftover must never pass for a photo.
  const fs::path temp = target.parent_path() /
                        (".lentavo-" + std::to_string(::getpid()) + '-' + std::to_string(counter++) + ".tmp");
  std::error_code ec;
  fs::copy_file(toPath(from), temp, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::permissions(temp, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  if (!ec && durable && !syncPath(temp, O_RDONLY)) ec = std::error_code(errno, std::generic_category());
  if (!ec) fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    if (error) *error = QString::fromLocal8Bit(ec.message().c_str());
    return false;
  }
  // The rename is only durable once the folder is.
  if (durable) syncPath(target.parent_path(), O_RDONLY | O_DIRECTORY);
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
