#include "mJpegWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <jpeglib.h>

#include <jerror.h>  // after jpeglib.h, which it needs

#include "cBitmap24.h"
#include "program_name.h"
#include "vb.h"

namespace mJpegWriter {
namespace {

constexpr long kErrJpeg = 26001;
constexpr long kErrPathAccess = 75;
constexpr std::size_t kFirstBuffer = 64 * 1024;

std::size_t& limit() {
  static std::size_t bytes = std::size_t(1) << 30;
  return bytes;
}

QString source() { return imaging::programName() + QStringLiteral(".mJpegWriter"); }

[[noreturn]] void failSave(int status) {
  throw vb::VbError(kErrJpeg, source(), QStringLiteral("Failed to save to JPG ") + QString::number(status));
}

// The encoder reports errors through a longjmp back into encode(), never by exit().
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void onError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void onMessage(j_common_ptr) {}

// The encoded file in memory. One pointer owns the buffer at every moment: a growth that
// fails leaves the old buffer where it was, and the destructor frees it once.
struct Output {
  jpeg_destination_mgr pub{};  // first, so the encoder's pointer to it is one to the whole
  unsigned char* data = nullptr;
  std::size_t capacity = 0;
  std::size_t size = 0;
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { std::free(data); }
};

// Doubles the buffer, of which `used` bytes hold output, up to the limit; the encoder's
// out-of-memory error when it can't.
void grow(j_compress_ptr cinfo, std::size_t used) {
  auto* out = reinterpret_cast<Output*>(cinfo->dest);
  const std::size_t want = std::min(out->capacity == 0 ? kFirstBuffer : out->capacity * 2, limit());
  if (want <= out->capacity) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 1);
  auto* bigger = static_cast<unsigned char*>(std::realloc(out->data, want));
  if (!bigger) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 2);
  out->data = bigger;
  out->capacity = want;
  out->pub.next_output_byte = bigger + used;
  out->pub.free_in_buffer = want - used;
}

void initDestination(j_compress_ptr cinfo) { grow(cinfo, 0); }
// Called when the buffer is full; the encoder's own count of free bytes may be behind then,
// so the whole buffer counts as written.
boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  grow(cinfo, reinterpret_cast<Output*>(cinfo->dest)->capacity);
  return TRUE;
}
void termDestination(j_compress_ptr cinfo) {
  auto* out = reinterpret_cast<Output*>(cinfo->dest);
  out->size = out->capacity - out->pub.free_in_buffer;
}

struct Encoded {
  bool initFailed = false;
  int status = 0;  // 0 or the encoder's message code
  Output out;
};

// Compresses bottom-up blue-green-red rows, feeding them top row first. Only plain data
// lives across setjmp in this frame, so the longjmp skips no destructor.
void encode(const std::uint8_t* bits, int width, int height, int stride, int quality, Encoded& result) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  volatile bool created = false;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.output_message = onMessage;
  if (setjmp(err.jump)) {
    result.initFailed = !created;
    result.status = err.pub.msg_code > 0 ? err.pub.msg_code : kCannotWrite;
    if (created) jpeg_destroy_compress(&cinfo);
    return;
  }
  jpeg_create_compress(&cinfo);
  created = true;
  result.out.pub.init_destination = initDestination;
  result.out.pub.empty_output_buffer = emptyOutputBuffer;
  result.out.pub.term_destination = termDestination;
  cinfo.dest = &result.out.pub;
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  JSAMPROW rows[32];
  while (cinfo.next_scanline < cinfo.image_height) {
    const int first = int(cinfo.next_scanline);
    const int n = std::min(32, height - first);
    for (int i = 0; i < n; ++i)
      rows[i] = const_cast<JSAMPROW>(bits + std::ptrdiff_t(height - 1 - (first + i)) * stride);
    jpeg_write_scanlines(&cinfo, rows, JDIMENSION(n));
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
}

bool writeAll(int fd, const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= std::size_t(w);
  }
  return true;
}

// --- temporary files
//
// Where the system can, the file is written without a name (O_TMPFILE) and named only when
// it is complete and on disk, so a run killed while writing leaves nothing. Otherwise, and
// for the moment between naming and renaming over an existing file, it carries a name of
// ours: ".<target>.lentavo-tmp.<pid>.<random>.<host>". A later save in the same folder
// removes such files whose writer, on this host, no longer runs.

const QRegularExpression& temporaryPattern() {
  static const QRegularExpression re(QStringLiteral("^\\..*\\.lentavo-tmp\\.(\\d+)\\.[a-z0-9]{8}\\.(.+)$"));
  return re;
}

QString hostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return QStringLiteral("localhost");
  return QString::fromLocal8Bit(buf).replace(QLatin1Char('/'), QLatin1Char('_')).left(64);
}

QByteArray temporaryName(const QFileInfo& target, std::mt19937_64& gen) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  QString suffix;
  for (int i = 0; i < 8; ++i) suffix += QLatin1Char(kChars[gen() % 36]);
  // The target's name is cut short so that the whole name stays within the limit.
  return QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName().left(40) +
                           QStringLiteral(".lentavo-tmp.") + QString::number(::getpid()) + QLatin1Char('.') + suffix +
                           QLatin1Char('.') + hostName());
}

void removeStaleTemporaries(const QByteArray& folder) {
  DIR* dir = ::opendir(folder.constData());
  if (!dir) return;
  const QString host = hostName();
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] != '.' || !std::strstr(e->d_name, ".lentavo-tmp.")) continue;
    const QRegularExpressionMatch m = temporaryPattern().match(QFile::decodeName(e->d_name));
    if (!m.hasMatch() || m.captured(2) != host) continue;
    bool ok = false;
    const pid_t pid = m.captured(1).toInt(&ok);
    if (!ok || pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
      ::unlinkat(::dirfd(dir), e->d_name, 0);
  }
  ::closedir(dir);
}

// Writes the bytes, takes over the old file's mode and times, and flushes to the disk.
bool fill(int fd, const Output& jpeg, const struct stat* old) {
  if (!writeAll(fd, jpeg.data, jpeg.size)) return false;
  if (old) {
    // Any that can't be set leave the new file's own.
    ::fchmod(fd, old->st_mode & 07777);
    const struct timespec times[2] = {old->st_atim, old->st_mtim};
    ::futimens(fd, times);
  }
  return ::fsync(fd) == 0;
}

void syncFolder(const QByteArray& folder) {
  // The rename is only durable once the folder is; a failure here leaves the new file in
  // place, which is all this save can still do.
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Puts the complete file behind `target`, replacing what is there in one step.
void publish(const QFileInfo& target, const Output& jpeg, const struct stat* old) {
  const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
  const QByteArray folder = QFile::encodeName(target.absolutePath());
  removeStaleTemporaries(folder);
  std::mt19937_64 gen(std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (std::uint64_t(::getpid()) << 32));

  const int anon = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (anon >= 0) {
    if (!fill(anon, jpeg, old)) {
      ::close(anon);
      failSave(kCannotWrite);
    }
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(anon);
    const bool linked =
        !old && ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, targetName.constData(), AT_SYMLINK_FOLLOW) == 0;
    QByteArray tempName;
    for (int attempt = 0; !linked && attempt < 64; ++attempt) {
      const QByteArray name = temporaryName(target, gen);
      if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
        tempName = name;
        break;
      }
      if (errno != EEXIST) break;
    }
    ::close(anon);
    if (linked) {
      syncFolder(folder);
      return;
    }
    if (!tempName.isEmpty()) {
      if (::rename(tempName.constData(), targetName.constData()) != 0) {
        ::unlink(tempName.constData());
        failSave(kCannotReplace);
      }
      syncFolder(folder);
      return;
    }
    // It can't be named here (no /proc): written again below, under a name.
  }

  QByteArray tempName;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 64; ++attempt) {
    tempName = temporaryName(target, gen);
    fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) failSave(kCannotCreate);
  const bool ok = fill(fd, jpeg, old);
  if (::close(fd) != 0 || !ok) {
    ::unlink(tempName.constData());
    failSave(kCannotWrite);
  }
  if (::rename(tempName.constData(), targetName.constData()) != 0) {
    ::unlink(tempName.constData());
    failSave(kCannotReplace);
  }
  syncFolder(folder);
}

}  // namespace

std::size_t outputLimit() { return limit(); }
void setOutputLimit(std::size_t bytes) { limit() = bytes; }

bool SaveJPG(cBitmap24& bitmap, const QString& fileName, std::int32_t quality) {
  const std::uint8_t* bits = bitmap.DIBSectionBitsPtr();
  const std::int32_t width = bitmap.Width(), height = bitmap.Height();
  if (!bits || width <= 0 || height <= 0) failSave(kNoBitmap);
  const std::int32_t stride = bitmap.BytesPerScanLine();
  if (fileName.isEmpty()) failSave(kCannotCreate);

  // The file the name stands for: a link is followed, so that the file it points to is
  // replaced and the link stays.
  QString target = fileName;
  struct stat old {};
  bool existed = false;
  if (::lstat(QFile::encodeName(target).constData(), &old) == 0) {
    if (S_ISLNK(old.st_mode)) {
      const QString resolved = QFileInfo(target).canonicalFilePath();
      if (!resolved.isEmpty()) target = resolved;
      existed = ::stat(QFile::encodeName(target).constData(), &old) == 0;
    } else {
      existed = true;
    }
  }
  // A read-only file is refused, as the system refuses to delete one; the owner's write bit
  // is what counts, so this holds for the superuser too.
  if (existed && (S_ISDIR(old.st_mode) || !(old.st_mode & S_IWUSR)))
    throw vb::VbError(kErrPathAccess, imaging::programName(), QStringLiteral("Path/File access error"));

  Encoded jpeg;
  encode(bits, width, height, stride, std::clamp(quality, 1, 100), jpeg);
  if (jpeg.initFailed)
    throw vb::VbError(kErrJpeg, source(),
                      QStringLiteral("Failed to initialise the IJL library: ") + QString::number(jpeg.status));
  if (jpeg.status != 0) failSave(jpeg.status);

  // Written beside the target and put in its place whole: a failure anywhere leaves the old file.
  publish(QFileInfo(target), jpeg.out, existed ? &old : nullptr);
  return true;
}

}  // namespace mJpegWriter
