// Small files of large pictures, written by giflib's encoder: solid frames at the canvas's top
// left. Shared by the GIF decoder's tests and the picture memory bench.
#pragma once

#include <gif_lib.h>

#include <QByteArray>
#include <algorithm>
#include <cstddef>
#include <vector>

namespace testsupport {

struct SolidGif {
  int w, h;      // the canvas
  int frames;
  int fw, fh;    // every frame's size
  int disposal;  // 3 restores what each frame covered
  bool alternate = true;                 // frame i is filled with index i % 2, else every pixel is index 0
  GifColorType second = {0, 0, 255};     // the colour of index 1; index 0 is red
};

inline QByteArray solidFramesGif(const SolidGif& s) {
  QByteArray out;
  int err = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* data, int len) {
        static_cast<QByteArray*>(g->UserData)->append(reinterpret_cast<const char*>(data), len);
        return len;
      },
      &err);
  if (!gif) return {};
  GifColorType colours[2] = {{255, 0, 0}, s.second};
  ColorMapObject* map = GifMakeMapObject(2, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, s.w, s.h, 1, 0, map);
  GifFreeMapObject(map);
  std::vector<GifPixelType> line(std::size_t(s.fw), 0);
  for (int i = 0; i < s.frames; ++i) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = s.disposal;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&gcb, ext)), ext);
    EGifPutImageDesc(gif, 0, 0, s.fw, s.fh, false, nullptr);
    if (s.alternate) std::fill(line.begin(), line.end(), GifPixelType(i % 2));
    for (int y = 0; y < s.fh; ++y) EGifPutLine(gif, line.data(), s.fw);
  }
  EGifCloseFile(gif, &err);
  return out;
}

}  // namespace testsupport
