#include "mJpegWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

#include "cBitmap24.h"
#include "program_name.h"
#include "vb.h"

namespace mJpegWriter {
namespace {

constexpr long kErrJpeg = 26001;
constexpr long kErrPathAccess = 75;

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

struct Encoded {
  bool initFailed = false;
  int status = 0;                 // 0 or the encoder's message code
  unsigned char* data = nullptr;  // malloc'ed by the encoder; the caller frees it
  unsigned long size = 0;
};

// Compresses bottom-up blue-green-red rows, feeding them top row first. Only plain data
// lives across setjmp, so the longjmp skips no destructor.
void encode(const std::uint8_t* bits, int width, int height, int stride, int quality, Encoded& out) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  volatile bool created = false;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.output_message = onMessage;
  if (setjmp(err.jump)) {
    out.initFailed = !created;
    out.status = err.pub.msg_code > 0 ? err.pub.msg_code : kCannotWrite;
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(out.data);
    out.data = nullptr;
    out.size = 0;
    return;
  }
  jpeg_create_compress(&cinfo);
  created = true;
  jpeg_mem_dest(&cinfo, &out.data, &out.size);
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

// A new file beside the target, named so that it can't clash; -1 when none can be made.
int createTemporary(const QString& target, QByteArray& name) {
  const QFileInfo fi(target);
  std::mt19937_64 gen(std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      (std::uint64_t(::getpid()) << 32));
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 64; ++attempt) {
    QString suffix;
    for (int i = 0; i < 8; ++i) suffix += QLatin1Char(kChars[gen() % 36]);
    // The target's name is cut short so that the temporary name stays within the limit.
    name = QFile::encodeName(fi.absolutePath() + QStringLiteral("/.") + fi.fileName().left(40) + QLatin1Char('.') +
                             suffix + QStringLiteral(".tmp"));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

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
  const QByteArray targetName = QFile::encodeName(target);
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

  // Written beside the target and renamed over it: a failure anywhere leaves the old file.
  QByteArray tempName;
  const int fd = createTemporary(target, tempName);
  if (fd < 0) {
    std::free(jpeg.data);
    failSave(kCannotCreate);
  }
  bool ok = writeAll(fd, jpeg.data, jpeg.size);
  std::free(jpeg.data);
  if (ok && existed) {
    // The old file's mode and times; any that can't be set leave the new file's own.
    ::fchmod(fd, old.st_mode & 07777);
    const struct timespec times[2] = {old.st_atim, old.st_mtim};
    ::futimens(fd, times);
  }
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlink(tempName.constData());
    failSave(kCannotWrite);
  }
  if (::rename(tempName.constData(), targetName.constData()) != 0) {
    ::unlink(tempName.constData());
    failSave(kCannotReplace);
  }
  return true;
}

}  // namespace mJpegWriter
