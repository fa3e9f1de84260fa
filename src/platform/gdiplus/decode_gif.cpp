// GIF over giflib: every frame's indices are read (each frame's size checked before its memory
// is taken, and frames x canvas bounded), and a frame is composed on the canvas when it is
// selected, the earlier frames' disposal applied. Delays and the loop count become the
// GDI+ property items.
#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "decoders.h"

namespace gdiplus {
namespace {

struct Frame {
  QRect rect;
  std::vector<std::uint8_t> indices;
  std::vector<QRgb> palette;
  int transparent = -1;
  int disposal = 0;
  int delay = 0;  // hundredths of a second
};

class GifFrames : public FrameSource {
 public:
  GifFrames(int w, int h, std::vector<Frame> frames) : w_(w), h_(h), frames_(std::move(frames)) {}
  unsigned count() const override { return unsigned(frames_.size()); }
  // Composes from the last frame composed when playing forward, else from the start.
  QImage frame(unsigned index) override {
    if (index >= frames_.size()) return {};
    if (int(index) == composed_) return canvas_;
    if (canvas_.isNull() || int(index) < composed_) {
      canvas_ = QImage(w_, h_, QImage::Format_ARGB32);
      if (canvas_.isNull()) return {};
      canvas_.fill(0);
      composed_ = -1;
    }
    for (unsigned i = unsigned(composed_ + 1); i <= index; ++i) {
      if (composed_ >= 0) dispose(frames_[std::size_t(composed_)]);
      const Frame& f = frames_[i];
      saved_ = f.disposal == 3 ? canvas_.copy() : QImage();
      draw(canvas_, f);
      composed_ = int(i);
    }
    return canvas_;
  }

 private:
  static void clear(QImage& canvas, const QRect& r) {
    const QRect c = r.intersected(canvas.rect());
    for (int y = c.top(); y <= c.bottom(); ++y)
      std::memset(canvas.scanLine(y) + 4 * c.left(), 0, std::size_t(4 * c.width()));
  }
  static void draw(QImage& canvas, const Frame& f) {
    const QRect c = f.rect.intersected(canvas.rect());
    for (int y = c.top(); y <= c.bottom(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
      const std::uint8_t* src = f.indices.data() + std::size_t(y - f.rect.top()) * std::size_t(f.rect.width());
      for (int x = c.left(); x <= c.right(); ++x) {
        const int i = src[x - f.rect.left()];
        if (i == f.transparent) {
          // Over nothing, a transparent pixel shows its palette colour with alpha 0, as the
          // palette lists it.
          if (qAlpha(line[x]) == 0 && i < int(f.palette.size())) line[x] = f.palette[std::size_t(i)] & 0x00FFFFFFu;
          continue;
        }
        line[x] = i < int(f.palette.size()) ? f.palette[std::size_t(i)] : qRgb(0, 0, 0);
      }
    }
  }
  void dispose(const Frame& f) {
    if (f.disposal == 2)
      clear(canvas_, f.rect);
    else if (f.disposal == 3 && !saved_.isNull())
      canvas_ = saved_;
  }
  int w_, h_;
  std::vector<Frame> frames_;
  QImage canvas_, saved_;
  int composed_ = -1;
};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t pos = 0;
};

int readInput(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<Input*>(gif->UserData);
  const std::size_t take = std::min<std::size_t>(std::size_t(n < 0 ? 0 : n), in->size - in->pos);
  std::memcpy(out, in->data + in->pos, take);
  in->pos += take;
  return int(take);
}

std::vector<QRgb> paletteOf(const ColorMapObject* map) {
  std::vector<QRgb> p;
  if (!map || !map->Colors) return p;
  for (int i = 0; i < map->ColorCount && i < 256; ++i)
    p.push_back(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
  return p;
}

// Reads the rows of the current image descriptor into f.indices in picture order.
bool readRaster(GifFileType* gif, Frame& f) {
  const int w = f.rect.width(), h = f.rect.height();
  f.indices.assign(std::size_t(w) * std::size_t(h), 0);
  auto row = [&](int y) { return f.indices.data() + std::size_t(y) * std::size_t(w); };
  if (gif->Image.Interlace) {
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
      for (int y = start[pass]; y < h; y += step[pass])
        if (DGifGetLine(gif, row(y), w) != GIF_OK) return false;
  } else {
    for (int y = 0; y < h; ++y)
      if (DGifGetLine(gif, row(y), w) != GIF_OK) return false;
  }
  return true;
}

}  // namespace

Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out) {
  return decodeGif(data, size, limits, out, nullptr);
}

Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated) {
  Input in{data, size};
  int err = 0;
  GifFileType* gif = DGifOpen(&in, readInput, &err);
  if (!gif) return Status::GenericError;
  struct Closer {
    GifFileType* g;
    ~Closer() {
      int e = 0;
      DGifCloseFile(g, &e);
    }
  } closer{gif};
  const int w = gif->SWidth, h = gif->SHeight;
  if (stated) *stated = QSize(w, h);
  if (!withinLimits(w, h, limits)) return w > 0 && h > 0 ? Status::ValueOverflow : Status::GenericError;
  const std::vector<QRgb> global = paletteOf(gif->SColorMap);
  std::vector<Frame> frames;
  GraphicsControlBlock gcb{};
  gcb.TransparentColor = NO_TRANSPARENT_COLOR;
  bool haveLoop = false;
  int loops = 0;
  std::int64_t total = 0;
  bool broken = false;
  for (bool done = false; !done && !broken;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) != GIF_OK) {
      broken = true;
      break;
    }
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE: {
        if (DGifGetImageDesc(gif) != GIF_OK) {
          broken = true;
          break;
        }
        const GifImageDesc& d = gif->Image;
        // Frames are kept as indices and composed on the canvas when selected: the indices
        // bound memory, frames x canvas bounds the composing.
        total += std::int64_t(d.Width) * d.Height;
        if (!withinLimits(d.Width, d.Height, limits) || total > limits.maxTotalPixels ||
            std::int64_t(frames.size() + 1) * w * h > limits.maxComposedPixels || frames.size() >= limits.maxFrames)
          return Status::ValueOverflow;
        Frame f;
        f.rect = QRect(d.Left, d.Top, d.Width, d.Height);
        f.palette = d.ColorMap ? paletteOf(d.ColorMap) : global;
        f.transparent = gcb.TransparentColor;
        f.disposal = gcb.DisposalMode;
        f.delay = gcb.DelayTime;
        if (!readRaster(gif, f)) {
          broken = true;
          break;
        }
        frames.push_back(std::move(f));
        gcb = GraphicsControlBlock{};
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        // giflib keeps a copy of every descriptor; the frames above are all we need.
        if (gif->SavedImages) GifFreeSavedImages(gif);
        gif->ImageCount = 0;
        break;
      }
      case EXTENSION_RECORD_TYPE: {
        int code = 0;
        GifByteType* ext = nullptr;
        if (DGifGetExtension(gif, &code, &ext) != GIF_OK) {
          broken = true;
          break;
        }
        bool netscape = false;
        int block = 0;
        while (ext) {
          if (code == GRAPHICS_EXT_FUNC_CODE && block == 0) DGifExtensionToGCB(ext[0], ext + 1, &gcb);
          if (code == APPLICATION_EXT_FUNC_CODE && block == 0 && ext[0] == 11 &&
              std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0)
            netscape = true;
          else if (netscape && block == 1 && ext[0] >= 3 && ext[1] == 1) {
            haveLoop = true;
            loops = ext[2] | ext[3] << 8;
          }
          ++block;
          if (DGifGetExtensionNext(gif, &ext) != GIF_OK) {
            broken = true;
            break;
          }
        }
        break;
      }
      case TERMINATE_RECORD_TYPE:
        done = true;
        break;
      default:
        break;
    }
  }
  // A file cut short keeps the frames read whole before the cut; without one it is refused.
  if (frames.empty()) return Status::GenericError;
  PropertyItem delays{PropertyTagFrameDelay, PropertyTagTypeLong, {}};
  for (const Frame& f : frames)
    for (int b = 0; b < 4; ++b) delays.value.push_back(std::uint8_t(std::uint32_t(f.delay) >> (8 * b)));
  auto source = std::make_unique<GifFrames>(w, h, std::move(frames));
  QImage first = source->frame(0);
  if (first.isNull()) return Status::OutOfMemory;
  out = std::make_unique<Image>(std::move(first), PixelFormat8bppIndexed, ImageFormatGIF, std::move(source));
  out->setProperty(std::move(delays));
  if (haveLoop)
    out->setProperty(PropertyItem{
        PropertyTagLoopCount, PropertyTagTypeShort, {std::uint8_t(loops & 0xFF), std::uint8_t(loops >> 8)}});
  return Status::Ok;
}

}  // namespace gdiplus
