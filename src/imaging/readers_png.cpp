#include "readers_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "dib.h"

namespace imaging {
namespace {

// Everything the decoding touches across a long jump lives here, outside the jumping frame.
struct PngJob {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint8_t* pixels = nullptr;
  png_bytep* rows = nullptr;
};

void readBytes(png_structp png, png_bytep out, png_size_t n) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  if (n > job->size - job->pos) png_error(png, "truncated");
  std::memcpy(out, job->data + job->pos, n);
  job->pos += n;
}

[[noreturn]] void fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignore(png_structp, png_const_charp) {}

// Plain C from here: no object with a destructor may stand between setjmp and longjmp.
bool run(PngJob* job) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, job, readBytes);
  png_set_user_limits(png, gdi::kMaxDibSide, gdi::kMaxDibSide);
  png_set_chunk_malloc_max(png, 64u << 20);
  png_read_info(png, info);
  job->width = png_get_image_width(png, info);
  job->height = png_get_image_height(png, info);
  if (std::uint64_t(job->width) * job->height * 4 > std::uint64_t(gdi::kMaxDibBytes)) png_error(png, "too large");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(job->width) * 4) png_error(png, "layout");
  job->pixels = static_cast<std::uint8_t*>(std::malloc(std::size_t(job->width) * job->height * 4));
  job->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * job->height));
  if (!job->pixels || !job->rows) png_error(png, "memory");
  for (std::uint32_t y = 0; y < job->height; ++y) job->rows[y] = job->pixels + std::size_t(y) * job->width * 4;
  png_read_image(png, job->rows);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

}  // namespace

QImage decodePng(Bytes source) {
  if (source.size() < 8 || png_sig_cmp(source.data(), 0, 8) != 0) return {};
  PngJob job;
  job.data = source.data();
  job.size = source.size();
  const bool ok = run(&job);
  std::free(job.rows);
  if (!ok) {
    std::free(job.pixels);
    return {};
  }
  QImage img(job.pixels, int(job.width), int(job.height), int(job.width) * 4, QImage::Format_ARGB32, std::free,
             job.pixels);
  if (img.isNull()) std::free(job.pixels);
  return img;
}

}  // namespace imaging
