#include "mJpegWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>

#include "atomicfile.h"
#include "cBitmap24.h"
#include "encode_jpeg.h"
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

}  // namespace

bool SaveJPG(cBitmap24& bitmap, const QString& fileName, std::int32_t quality) {
  const std::uint8_t* bits = bitmap.DIBSectionBitsPtr();
  const std::int32_t width = bitmap.Width(), height = bitmap.Height();
  if (!bits || width <= 0 || height <= 0) failSave(kNoBitmap);
  const std::int32_t stride = bitmap.BytesPerScanLine();
  if (fileName.isEmpty()) failSave(kCannotCreate);

  // The file the name stands for (a link is followed, as the helper does).
  struct stat old {};
  const bool existed = ::stat(QFile::encodeName(fileName).constData(), &old) == 0;
  // A read-only file is refused, as the system refuses to delete one; the owner's write bit
  // is what counts, so this holds for the superuser too.
  if (existed && (S_ISDIR(old.st_mode) || !(old.st_mode & S_IWUSR)))
    throw vb::VbError(kErrPathAccess, imaging::programName(), QStringLiteral("Path/File access error"));

  // Encoded straight into the helper's new file, which takes over the old file's times (the
  // helper keeps its mode): a failure anywhere leaves the old file.
  gdiplus::JpegRows rows;
  rows.top = bits + std::ptrdiff_t(height - 1) * stride;  // the bitmap keeps its rows bottom-up
  rows.stride = -std::ptrdiff_t(stride);
  rows.width = width;
  rows.height = height;
  rows.bytesPerPixel = 3;
  bool filled = false;
  gdiplus::JpegResult jpeg;
  const auto fill = [&](int fd) {
    filled = true;
    jpeg = gdiplus::encodeJpeg(rows, quality, fd);
    if (!jpeg.ok()) return jpeg.writeError ? jpeg.writeError : EIO;
    if (existed) {
      // Times that can't be set leave the new file's own.
      const struct timespec times[2] = {old.st_atim, old.st_mtim};
      ::futimens(fd, times);
    }
    // Flushed here, so that a disk that fails it counts as a failed write.
    if (::fsync(fd) != 0) {
      jpeg.writeError = errno;
      return jpeg.writeError;
    }
    return 0;
  };
  if (vb::replaceFileWith(fileName, fill)) return true;
  if (!filled) failSave(kCannotCreate);
  if (jpeg.initFailed)
    throw vb::VbError(kErrJpeg, source(),
                      QStringLiteral("Failed to initialise the IJL library: ") + QString::number(jpeg.status));
  if (jpeg.writeError) failSave(kCannotWrite);
  if (jpeg.status != 0) failSave(jpeg.status);
  failSave(kCannotReplace);
}

}  // namespace mJpegWriter
