// PNG over libpng: every colour type and depth to 8-bit BGRA (16-bit samples rounded to 8,
// no gamma correction). A damaged critical chunk or missing image data refuses the file.
#include <png.h>

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "decoders.h"

namespace gdiplus {
namespace {

struct Context {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
  QImage image;
  std::vector<png_bytep> rows;
  Status status = Status::GenericError;
};

void readBytes(png_structp png, png_bytep out, png_size_t n) {
  auto* ctx = static_cast<Context*>(png_get_io_ptr(png));
  if (n > ctx->size - ctx->pos) png_error(png, "truncated");
  std::memcpy(out, ctx->data + ctx->pos, n);
  ctx->pos += n;
}

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

}  // namespace

Status decodePng(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out) {
  return decodePng(data, size, limits, out, nullptr);
}

Status decodePng(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated) {
  auto ctx = std::make_unique<Context>();
  ctx->data = data;
  ctx->size = size;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
  if (!png) return Status::OutOfMemory;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return Status::OutOfMemory;
  }
  bool alpha = false;
  double dpi = 0;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return ctx->status;
  }
  png_set_read_fn(png, ctx.get(), readBytes);
  // Any size PNG allows is read from the header, so a refusal can say how large the picture is;
  // the limits are checked right after, before any pixel memory is taken.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_set_chunk_cache_max(png, 1000);
  png_set_chunk_malloc_max(png, 16u << 20);
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (stated) *stated = QSize(int(std::min<png_uint_32>(w, INT_MAX)), int(std::min<png_uint_32>(h, INT_MAX)));
  if (!withinLimits(w, h, limits)) {
    ctx->status = Status::ValueOverflow;
    png_longjmp(png, 1);
  }
  const int type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  alpha = (type & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  // Rounded to nearest, as libpng itself scales: the high byte alone is up to one level dark.
  if (depth == 16) png_set_scale_16(png);
  if (!(type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(w) * 4) png_longjmp(png, 1);
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER && resX > 0) dpi = resX * 0.0254;
  ctx->image = QImage(int(w), int(h), QImage::Format_ARGB32);
  if (ctx->image.isNull()) {
    ctx->status = Status::OutOfMemory;
    png_longjmp(png, 1);
  }
  ctx->rows.resize(h);
  for (png_uint_32 y = 0; y < h; ++y) ctx->rows[y] = ctx->image.scanLine(int(y));
  png_read_image(png, ctx->rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  out = std::make_unique<Image>(std::move(ctx->image), alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB,
                                ImageFormatPNG);
  if (dpi > 0) out->setResolution(dpi, dpi, true);
  return Status::Ok;
}

}  // namespace gdiplus
