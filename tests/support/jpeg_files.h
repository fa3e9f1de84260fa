#pragma once
// Large JPEG files that stay small on disk: a smooth gradient, written by libjpeg itself so
// that the sampling and the progressive mode are chosen, which Qt's writer does not offer.
#include <jpeglib.h>

#include <QByteArray>
#include <cstdlib>
#include <vector>

namespace testsupport {

// w x h, red to blue down the picture; `fullChroma` keeps colour at every pixel (4:4:4)
// instead of one for every 2 x 2 (4:2:0); `progressive` writes libjpeg's usual ten scans.
inline QByteArray gradientJpeg(int w, int h, bool fullChroma, bool progressive) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buf, &size);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 92, TRUE);
  if (fullChroma) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(std::size_t(w) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int t = int(cinfo.next_scanline * 255 / JDIMENSION(h));
    for (int x = 0; x < w; ++x) {
      row[std::size_t(x) * 3] = JSAMPLE(255 - t);
      row[std::size_t(x) * 3 + 1] = 0;
      row[std::size_t(x) * 3 + 2] = JSAMPLE(t);
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray out(reinterpret_cast<const char*>(buf), qsizetype(size));
  std::free(buf);
  return out;
}

}  // namespace testsupport
