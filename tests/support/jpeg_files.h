#pragma once
// Large JPEG files that stay small on disk: a smooth gradient, written by libjpeg itself so
// that the sampling and the progressive mode are chosen, which Qt's writer does not offer.
#include <jpeglib.h>

#include <QByteArray>
#include <cstdlib>
#include <functional>
#include <vector>

namespace testsupport {

// A w x h JPEG written by libjpeg to memory: `components` samples a pixel in `space`;
// `configure` adjusts the settings after libjpeg's defaults, `row` fills line y.
inline QByteArray encodeJpeg(int w, int h, int components, J_COLOR_SPACE space, int quality,
                             const std::function<void(jpeg_compress_struct&)>& configure,
                             const std::function<void(int y, JSAMPLE* row)>& row) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buf, &size);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (configure) configure(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> line(std::size_t(w) * std::size_t(components));
  while (cinfo.next_scanline < cinfo.image_height) {
    row(int(cinfo.next_scanline), line.data());
    JSAMPROW p = line.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char*>(buf), qsizetype(size));
  std::free(buf);
  return out;
}

// w x h, red to blue down the picture; `fullChroma` keeps colour at every pixel (4:4:4)
// instead of one for every 2 x 2 (4:2:0); `progressive` writes libjpeg's usual ten scans.
inline QByteArray gradientJpeg(int w, int h, bool fullChroma, bool progressive) {
  return encodeJpeg(
      w, h, 3, JCS_RGB, 92,
      [&](jpeg_compress_struct& cinfo) {
        if (fullChroma) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
        if (progressive) jpeg_simple_progression(&cinfo);
      },
      [&](int y, JSAMPLE* row) {
        const int t = y * 255 / h;
        for (int x = 0; x < w; ++x) {
          row[std::size_t(x) * 3] = JSAMPLE(255 - t);
          row[std::size_t(x) * 3 + 1] = 0;
          row[std::size_t(x) * 3 + 2] = JSAMPLE(t);
        }
      });
}

}  // namespace testsupport
