#include "encode_jpeg.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

#include <jerror.h>  // after jpeglib.h, which it needs

namespace gdiplus {
namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;

// The encoder reports errors through a longjmp back into encode(), never by exit().
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void onError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void onMessage(j_common_ptr) {}

// Compressed bytes go to the file a buffer at a time.
struct Output {
  jpeg_destination_mgr pub{};  // first, so the encoder's pointer to it is one to the whole
  int fd = -1;
  int writeError = 0;
  JOCTET buffer[kBufferBytes];
};

bool writeOut(j_compress_ptr cinfo, std::size_t n) {
  auto* out = reinterpret_cast<Output*>(cinfo->dest);
  const JOCTET* p = out->buffer;
  while (n > 0) {
    const ssize_t w = ::write(out->fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      out->writeError = w < 0 ? errno : EIO;
      return false;
    }
    p += w;
    n -= std::size_t(w);
  }
  return true;
}

void initDestination(j_compress_ptr cinfo) {
  auto* out = reinterpret_cast<Output*>(cinfo->dest);
  out->pub.next_output_byte = out->buffer;
  out->pub.free_in_buffer = kBufferBytes;
}
// Called when the buffer is full; the encoder's own count of free bytes may be behind then,
// so the whole buffer counts as written.
boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  if (!writeOut(cinfo, kBufferBytes)) ERREXIT(cinfo, JERR_FILE_WRITE);
  initDestination(cinfo);
  return TRUE;
}
void termDestination(j_compress_ptr cinfo) {
  auto* out = reinterpret_cast<Output*>(cinfo->dest);
  if (!writeOut(cinfo, kBufferBytes - out->pub.free_in_buffer)) ERREXIT(cinfo, JERR_FILE_WRITE);
}

// Only plain data lives across setjmp in this frame, so the longjmp skips no destructor.
void encode(const JpegRows& rows, int quality, const QByteArray& comment, Output& output, JpegResult& result) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  volatile bool created = false;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = onError;
  err.pub.output_message = onMessage;
  if (setjmp(err.jump)) {
    result.initFailed = !created;
    result.status = err.pub.msg_code > 0 ? err.pub.msg_code : JERR_FILE_WRITE;
    if (created) jpeg_destroy_compress(&cinfo);
    return;
  }
  jpeg_create_compress(&cinfo);
  created = true;
  output.pub.init_destination = initDestination;
  output.pub.empty_output_buffer = emptyOutputBuffer;
  output.pub.term_destination = termDestination;
  cinfo.dest = &output.pub;
  cinfo.image_width = JDIMENSION(rows.width);
  cinfo.image_height = JDIMENSION(rows.height);
  cinfo.input_components = rows.bytesPerPixel;
  cinfo.in_color_space = rows.bytesPerPixel == 1 ? JCS_GRAYSCALE : rows.bytesPerPixel == 4 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  if (!comment.isEmpty())
    jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.constData()),
                      unsigned(std::min<qsizetype>(comment.size(), 65533)));
  JSAMPROW batch[32];
  while (cinfo.next_scanline < cinfo.image_height) {
    const int first = int(cinfo.next_scanline);
    const int n = std::min(32, rows.height - first);
    for (int i = 0; i < n; ++i) batch[i] = const_cast<JSAMPROW>(rows.top + std::ptrdiff_t(first + i) * rows.stride);
    jpeg_write_scanlines(&cinfo, batch, JDIMENSION(n));
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
}

}  // namespace

JpegResult encodeJpeg(const JpegRows& rows, int quality, int fd, const QByteArray& comment) {
  JpegResult result;
  if (!rows.top || rows.width <= 0 || rows.height <= 0 ||
      (rows.bytesPerPixel != 1 && rows.bytesPerPixel != 3 && rows.bytesPerPixel != 4)) {
    result.status = JERR_EMPTY_IMAGE;
    return result;
  }
  auto output = std::make_unique<Output>();
  output->fd = fd;
  encode(rows, quality, comment, *output, result);
  result.writeError = output->writeError;
  return result;
}

JpegResult encodeJpeg(const QImage& image, int quality, int fd, const QByteArray& comment) {
  const bool grey = image.format() == QImage::Format_Grayscale8 || (image.depth() <= 8 && image.isGrayscale());
  const QImage rows = grey ? image.convertToFormat(QImage::Format_Grayscale8) : image.convertToFormat(QImage::Format_RGB32);
  JpegRows r;
  r.top = rows.constBits();
  r.stride = rows.bytesPerLine();
  r.width = rows.width();
  r.height = rows.height();
  r.bytesPerPixel = grey ? 1 : 4;
  return encodeJpeg(r, quality, fd, comment);
}

}  // namespace gdiplus
