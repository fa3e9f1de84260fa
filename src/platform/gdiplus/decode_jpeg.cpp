// JPEG over libjpeg-turbo: baseline and progressive, grey, YCbCr, CMYK and YCCK (Adobe files
// store CMYK inverted). A file cut short inside the scan data decodes with the missing rows
// filled, as GDI+ shows such photos; a file cut before its scan data is refused.
#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "byte_reader.h"
#include "decoders.h"

namespace gdiplus {
namespace {

struct Context {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  QImage image;
  const Limits* limits = nullptr;
  bool tooManyScans = false;
  bool tooMuchMemory = false;
  bool damaged = false;  // libjpeg warned: data cut short or corrupt, the rest filled in
};

void onError(j_common_ptr c) { std::longjmp(static_cast<Context*>(c->client_data)->jump, 1); }
void onMessage(j_common_ptr c, int level) {
  if (level < 0) static_cast<Context*>(c->client_data)->damaged = true;
}
// Called while the scans are read: every scan is a pass over the whole picture.
void onProgress(j_common_ptr c) {
  auto* d = reinterpret_cast<j_decompress_ptr>(c);
  auto* ctx = static_cast<Context*>(c->client_data);
  const std::int64_t scans = d->input_scan_number;
  if (scans > ctx->limits->maxScans ||
      scans * std::int64_t(d->image_width) * d->image_height > ctx->limits->maxScanPixels) {
    ctx->tooManyScans = true;
    onError(c);
  }
}

// The smallest scale n/8 whose picture covers `want` (stored orientation), among the scales
// libjpeg-turbo decodes with its SIMD inverse DCT: 1/8, 2/8, 4/8 and 8/8. The others run a plain
// one that takes longer than a full decode, so a picture only somewhat larger than its box
// (a 300 x 400 photo drawn at 213 x 284) is faster decoded whole and scaled down after.
unsigned scaleNumerator(const jpeg_decompress_struct& cinfo, QSize want) {
  for (unsigned n : {1u, 2u, 4u})
    if ((std::uint64_t(cinfo.image_width) * n + 7) / 8 >= unsigned(want.width()) &&
        (std::uint64_t(cinfo.image_height) * n + 7) / 8 >= unsigned(want.height()))
      return n;
  return 8;
}

// The size an upright picture of `stored` size takes in the options' box, in the stored
// orientation; invalid when it is to be decoded whole.
QSize wantedSize(QSize stored, bool turned, const DecodeOptions& options) {
  if (options.within.isEmpty()) return {};
  const QSize upright = turned ? stored.transposed() : stored;
  if (upright.width() <= options.within.width() && upright.height() <= options.within.height()) return {};
  const QSize fit = options.keepAspect ? upright.scaled(options.within, Qt::KeepAspectRatio).expandedTo(QSize(1, 1))
                                       : upright.boundedTo(options.within);
  return turned ? fit.transposed() : fit;
}

// The coefficients libjpeg keeps for a file it must read whole before any row comes out: a
// block of 64 two-byte values for every 8 x 8 block of each component, the blocks padded to
// whole sampling units. 0 for a file decoded row by row.
std::int64_t coefficientBytes(const jpeg_decompress_struct& cinfo) {
  if (!cinfo.progressive_mode && cinfo.comps_in_scan >= cinfo.num_components) return 0;
  std::int64_t bytes = 0;
  for (int i = 0; i < cinfo.num_components; ++i) {
    const jpeg_component_info& c = cinfo.comp_info[i];
    const std::int64_t h = std::max(1, c.h_samp_factor), v = std::max(1, c.v_samp_factor);
    bytes += (std::int64_t(c.width_in_blocks) + h - 1) / h * h * ((std::int64_t(c.height_in_blocks) + v - 1) / v * v) *
             std::int64_t(DCTSIZE2 * sizeof(JCOEF));
  }
  return bytes;
}

// The orientation tag of IFD0 in an Exif APP1 segment; 0 when there is none.
int exifOrientation(const std::uint8_t* p, std::size_t n) {
  if (n < 14 || std::memcmp(p, "Exif\0\0", 6) != 0) return 0;
  const gdi::ByteReader r(p + 6, n - 6);
  bool le;
  if (r.u8(0) == 'I' && r.u8(1) == 'I')
    le = true;
  else if (r.u8(0) == 'M' && r.u8(1) == 'M')
    le = false;
  else
    return 0;
  auto rd16 = [&](std::uint64_t at) { return le ? r.u16(at) : r.be16(at); };
  auto rd32 = [&](std::uint64_t at) { return le ? r.u32(at) : r.be32(at); };
  const std::uint64_t ifd = rd32(4);
  const unsigned count = rd16(ifd);
  for (unsigned i = 0; i < count && r.ok(); ++i) {
    const std::uint64_t at = ifd + 2 + std::uint64_t(i) * 12;
    if (rd16(at) == 0x112 && rd16(at + 2) == 3 && rd32(at + 4) == 1) {
      const int v = rd16(at + 8);
      return r.ok() ? v : 0;
    }
  }
  return 0;
}

bool decode(Context& ctx, const std::uint8_t* data, std::size_t size, const Limits& limits,
            const DecodeOptions& options, Status& status, int& orientation, QSize& stated) {
  jpeg_decompress_struct& cinfo = ctx.cinfo;
  cinfo.err = jpeg_std_error(&ctx.err);
  ctx.err.error_exit = onError;
  ctx.err.emit_message = onMessage;
  cinfo.client_data = &ctx;
  ctx.limits = &limits;
  if (setjmp(ctx.jump)) {
    status = ctx.tooManyScans ? Status::ValueOverflow : Status::GenericError;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  ctx.progress.progress_monitor = onProgress;
  cinfo.progress = &ctx.progress;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    status = Status::GenericError;
    return false;
  }
  stated = QSize(int(std::min<JDIMENSION>(cinfo.image_width, INT_MAX)),
                 int(std::min<JDIMENSION>(cinfo.image_height, INT_MAX)));
  if (!withinLimits(cinfo.image_width, cinfo.image_height, limits)) {
    status = Status::ValueOverflow;
    return false;
  }
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && !orientation) orientation = exifOrientation(m->data, m->data_length);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  const QSize want = wantedSize(stated, orientation >= 5 && orientation <= 8, options);
  if (want.isValid()) {
    cinfo.scale_num = scaleNumerator(cinfo, want);
    cinfo.scale_denom = 8;
  }
  // Refused before a scan is read when the coefficients and the picture together would take
  // more than the budget; a smaller box (a card photo) needs less picture and may fit.
  jpeg_calc_output_dimensions(&cinfo);
  if (coefficientBytes(cinfo) + std::int64_t(cinfo.output_width) * cinfo.output_height * 4 > limits.maxDecodeBytes) {
    ctx.tooMuchMemory = true;
    status = Status::ValueOverflow;
    return false;
  }
  // A progressive file's scans are all read here, before the picture's memory is taken.
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 4) {
    status = Status::GenericError;
    return false;
  }
  ctx.image = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_ARGB32);
  if (ctx.image.isNull()) {
    status = Status::OutOfMemory;
    return false;
  }
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = ctx.image.scanLine(int(cinfo.output_scanline));
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
    if (cmyk) {
      for (unsigned x = 0; x < cinfo.output_width; ++x) {
        std::uint8_t* px = row + 4 * x;
        unsigned c = px[0], m = px[1], y = px[2], k = px[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        px[0] = std::uint8_t((y * k + 127) / 255);
        px[1] = std::uint8_t((m * k + 127) / 255);
        px[2] = std::uint8_t((c * k + 127) / 255);
        px[3] = 255;
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  if (options.requireWhole && ctx.damaged) {
    status = Status::GenericError;
    return false;
  }
  return true;
}

}  // namespace

Status decodeJpeg(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out) {
  return decodeJpeg(data, size, limits, DecodeOptions(), out, nullptr, nullptr);
}

Status decodeJpeg(const std::uint8_t* data, std::size_t size, const Limits& limits, const DecodeOptions& options,
                  std::unique_ptr<Image>& out, QSize* stated, Refusal* why) {
  auto ctx = std::make_unique<Context>();
  Status status = Status::Ok;
  int orientation = 0;
  QSize header;
  const bool ok = decode(*ctx, data, size, limits, options, status, orientation, header);
  if (stated) *stated = header;
  if (why)
    *why = ctx->tooManyScans                     ? Refusal::Scans
           : ctx->tooMuchMemory                  ? Refusal::Memory
           : status == Status::ValueOverflow     ? Refusal::Size
                                                 : Refusal::None;
  const bool cmyk = ctx->cinfo.jpeg_color_space == JCS_CMYK || ctx->cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = ctx->cinfo.jpeg_color_space == JCS_GRAYSCALE;
  const bool jfifDpi = ctx->cinfo.saw_JFIF_marker && ctx->cinfo.density_unit != 0 && ctx->cinfo.X_density > 0;
  double dpiX = ctx->cinfo.X_density, dpiY = ctx->cinfo.Y_density;
  if (ctx->cinfo.density_unit == 2) dpiX *= 2.54, dpiY *= 2.54;
  jpeg_destroy_decompress(&ctx->cinfo);
  if (!ok) return status;
  out = std::make_unique<Image>(std::move(ctx->image),
                                cmyk   ? PixelFormat32bppCMYK
                                : grey ? PixelFormat8bppIndexed
                                       : PixelFormat24bppRGB,
                                ImageFormatJPEG);
  if (jfifDpi) out->setResolution(dpiX, dpiY > 0 ? dpiY : dpiX, true);
  if (orientation) {
    PropertyItem item{PropertyTagOrientation,
                      PropertyTagTypeShort,
                      {std::uint8_t(orientation & 0xFF), std::uint8_t(orientation >> 8)}};
    out->setProperty(std::move(item));
  }
  return Status::Ok;
}

}  // namespace gdiplus
