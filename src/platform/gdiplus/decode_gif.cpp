// GIF over giflib. Loading walks the file once: every frame's size is checked against the
// limits and its pixels decoded and dropped, so a damaged frame is found then. A frame is
// composed on the one canvas when it is selected, decoded again from the file's bytes, the
// earlier frames' disposal applied: memory stays at the canvas and the area one frame covers,
// however many frames the file holds. Delays and the loop count become the GDI+ property items.
#include <gif_lib.h>

#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "decoders.h"

namespace gdiplus {
namespace {

struct Frame {
  QRect rect;
  std::vector<QRgb> palette;  // as the file lists it: may be shorter than the indexes used
  int transparent = -1;
  int disposal = 0;
  int delay = 0;  // hundredths of a second
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

// Walks a GIF's records in order: each image's description, then its rows.
class Walker {
 public:
  Walker(const std::uint8_t* data, std::size_t size) : in_{data, size} {
    int err = 0;
    gif_ = DGifOpen(&in_, readInput, &err);
    gcb_.TransparentColor = NO_TRANSPARENT_COLOR;
  }
  ~Walker() {
    int err = 0;
    if (gif_) DGifCloseFile(gif_, &err);
  }
  Walker(const Walker&) = delete;
  Walker& operator=(const Walker&) = delete;

  GifFileType* gif() const { return gif_; }
  bool broken() const { return broken_; }
  bool haveLoop() const { return haveLoop_; }
  int loops() const { return loops_; }

  // The next image's description, the extensions before it applied; false at the file's end
  // or where it is damaged (broken()).
  bool next(Frame& f) {
    for (;;) {
      GifRecordType type;
      if (DGifGetRecordType(gif_, &type) != GIF_OK) return fail();
      switch (type) {
        case IMAGE_DESC_RECORD_TYPE: {
          if (DGifGetImageDesc(gif_) != GIF_OK) return fail();
          const GifImageDesc& d = gif_->Image;
          f.rect = QRect(d.Left, d.Top, d.Width, d.Height);
          f.palette = paletteOf(d.ColorMap ? d.ColorMap : gif_->SColorMap);
          f.transparent = gcb_.TransparentColor;
          f.disposal = gcb_.DisposalMode;
          f.delay = gcb_.DelayTime;
          interlaced_ = d.Interlace;
          gcb_ = GraphicsControlBlock{};
          gcb_.TransparentColor = NO_TRANSPARENT_COLOR;
          // giflib keeps a copy of every descriptor; the walk needs none of them.
          if (gif_->SavedImages) GifFreeSavedImages(gif_);
          gif_->ImageCount = 0;
          return true;
        }
        case EXTENSION_RECORD_TYPE:
          if (!extension()) return fail();
          break;
        case TERMINATE_RECORD_TYPE:
          return false;
        default:
          break;
      }
    }
  }

  // The rows of the image just described, in picture order, each handed to `put` with its
  // row number in the image; false where the data is cut short or damaged.
  bool rows(const Frame& f, const std::function<void(int, const std::uint8_t*)>& put) {
    const int w = f.rect.width(), h = f.rect.height();
    row_.assign(std::size_t(w), 0);
    const auto line = [&](int y) {
      if (DGifGetLine(gif_, row_.data(), w) != GIF_OK) return false;
      put(y, row_.data());
      return true;
    };
    if (interlaced_) {
      static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < h; y += step[pass])
          if (!line(y)) return fail();
    } else {
      for (int y = 0; y < h; ++y)
        if (!line(y)) return fail();
    }
    return true;
  }

 private:
  bool fail() {
    broken_ = true;
    return false;
  }
  bool extension() {
    int code = 0;
    GifByteType* ext = nullptr;
    if (DGifGetExtension(gif_, &code, &ext) != GIF_OK) return false;
    bool netscape = false;
    for (int block = 0; ext; ++block) {
      if (code == GRAPHICS_EXT_FUNC_CODE && block == 0) DGifExtensionToGCB(ext[0], ext + 1, &gcb_);
      if (code == APPLICATION_EXT_FUNC_CODE && block == 0 && ext[0] == 11 &&
          std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0)
        netscape = true;
      else if (netscape && block == 1 && ext[0] >= 3 && ext[1] == 1) {
        haveLoop_ = true;
        loops_ = ext[2] | ext[3] << 8;
      }
      if (DGifGetExtensionNext(gif_, &ext) != GIF_OK) return false;
    }
    return true;
  }

  Input in_;
  GifFileType* gif_ = nullptr;
  GraphicsControlBlock gcb_{};
  bool interlaced_ = false;
  bool broken_ = false;
  bool haveLoop_ = false;
  int loops_ = 0;
  std::vector<std::uint8_t> row_;
};

class GifFrames : public FrameSource {
 public:
  GifFrames(int w, int h, std::vector<Frame> frames, const std::uint8_t* data, std::size_t size)
      : w_(w), h_(h), frames_(std::move(frames)), bytes_(data, data + size) {}
  unsigned count() const override { return unsigned(frames_.size()); }
  // Composes from the last frame composed when playing forward, else from the start.
  QImage frame(unsigned index) override {
    if (index >= frames_.size()) return {};
    if (int(index) == composed_) return canvas_;
    if (canvas_.isNull() || int(index) < composed_ || !walker_) {
      walker_ = std::make_unique<Walker>(bytes_.data(), bytes_.size());
      canvas_ = saved_ = QImage();
      canvas_ = QImage(w_, h_, QImage::Format_ARGB32);
      if (canvas_.isNull() || !walker_->gif()) return restart();
      canvas_.fill(0);
      composed_ = -1;
    }
    for (unsigned i = unsigned(composed_ + 1); i <= index; ++i) {
      if (composed_ >= 0) dispose(frames_[std::size_t(composed_)]);
      Frame same;  // as frames_[i], read when the file was loaded
      if (!walker_->next(same)) return restart();
      const Frame& f = frames_[i];
      // Restoring needs only the area the frame covers.
      savedAt_ = f.rect.intersected(canvas_.rect());
      saved_ = QImage();  // gone before its successor is taken
      if (f.disposal == 3 && !savedAt_.isEmpty()) {
        saved_ = canvas_.copy(savedAt_);
        if (saved_.isNull()) return restart();
      }
      const Lookup colours = lookupOf(f);
      if (!walker_->rows(f, [&](int y, const std::uint8_t* src) { draw(f, colours, y, src); })) return restart();
      composed_ = int(i);
    }
    return canvas_;
  }

 private:
  // A colour for every index a pixel can hold: one past the file's table is opaque black.
  using Lookup = std::array<QRgb, 256>;
  static Lookup lookupOf(const Frame& f) {
    Lookup l;
    l.fill(qRgb(0, 0, 0));
    std::copy_n(f.palette.begin(), std::min<std::size_t>(f.palette.size(), l.size()), l.begin());
    return l;
  }
  QImage restart() {
    walker_.reset();
    canvas_ = saved_ = QImage();
    composed_ = -1;
    return {};
  }
  void draw(const Frame& f, const Lookup& colours, int row, const std::uint8_t* src) {
    const int y = f.rect.top() + row;
    if (y >= h_) return;
    const QRect c = f.rect.intersected(canvas_.rect());
    auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
    for (int x = c.left(); x <= c.right(); ++x) {
      const int i = src[x - f.rect.left()];
      if (i == f.transparent) {
        // Over nothing, a transparent pixel shows its palette colour with alpha 0, as the
        // palette lists it.
        if (qAlpha(line[x]) == 0) line[x] = colours[std::size_t(i)] & 0x00FFFFFFu;
        continue;
      }
      line[x] = colours[std::size_t(i)];
    }
  }
  void dispose(const Frame& f) {
    const QRect c = f.rect.intersected(canvas_.rect());
    if (f.disposal == 2) {
      for (int y = c.top(); y <= c.bottom(); ++y)
        std::memset(canvas_.scanLine(y) + 4 * c.left(), 0, std::size_t(4 * c.width()));
    } else if (f.disposal == 3 && !saved_.isNull()) {
      for (int y = 0; y < saved_.height(); ++y)
        std::memcpy(canvas_.scanLine(savedAt_.top() + y) + 4 * savedAt_.left(), saved_.constScanLine(y),
                    std::size_t(4 * saved_.width()));
    }
  }
  int w_, h_;
  std::vector<Frame> frames_;
  std::vector<std::uint8_t> bytes_;
  std::unique_ptr<Walker> walker_;
  QImage canvas_, saved_;
  QRect savedAt_;
  int composed_ = -1;
};

}  // namespace

Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out) {
  return decodeGif(data, size, limits, out, nullptr);
}

Status decodeGif(const std::uint8_t* data, std::size_t size, const Limits& limits, std::unique_ptr<Image>& out,
                 QSize* stated, Refusal* why) {
  if (why) *why = Refusal::None;
  Walker walk(data, size);
  GifFileType* gif = walk.gif();
  if (!gif) return Status::GenericError;
  const int w = gif->SWidth, h = gif->SHeight;
  if (stated) *stated = QSize(w, h);
  if (!withinLimits(w, h, limits)) {
    if (w <= 0 || h <= 0) return Status::GenericError;
    if (why) *why = Refusal::Size;
    return Status::ValueOverflow;
  }
  std::vector<Frame> frames;
  std::int64_t total = 0;
  for (Frame f; walk.next(f);) {
    // Every frame is decoded here and again when composed: the pixels over all frames bound
    // that work, frames x canvas the composing.
    total += std::int64_t(f.rect.width()) * f.rect.height();
    if (!withinLimits(f.rect.width(), f.rect.height(), limits) || total > limits.maxTotalPixels ||
        std::int64_t(frames.size() + 1) * w * h > limits.maxComposedPixels || frames.size() >= limits.maxFrames) {
      if (why) *why = Refusal::Size;
      return Status::ValueOverflow;
    }
    if (!frames.empty() && 2 * std::int64_t(w) * h > limits.maxPixels) {
      if (why) *why = Refusal::Animation;
      return Status::ValueOverflow;
    }
    if (!walk.rows(f, [](int, const std::uint8_t*) {})) break;
    frames.push_back(std::move(f));
  }
  // A file cut short keeps the frames read whole before the cut; without one it is refused.
  if (frames.empty()) return Status::GenericError;
  PropertyItem delays{PropertyTagFrameDelay, PropertyTagTypeLong, {}};
  for (const Frame& f : frames)
    for (int b = 0; b < 4; ++b) delays.value.push_back(std::uint8_t(std::uint32_t(f.delay) >> (8 * b)));
  auto source = std::make_unique<GifFrames>(w, h, std::move(frames), data, size);
  QImage first = source->frame(0);
  if (first.isNull()) return Status::OutOfMemory;
  out = std::make_unique<Image>(std::move(first), PixelFormat8bppIndexed, ImageFormatGIF, std::move(source));
  out->setProperty(std::move(delays));
  if (walk.haveLoop())
    out->setProperty(PropertyItem{PropertyTagLoopCount,
                                  PropertyTagTypeShort,
                                  {std::uint8_t(walk.loops() & 0xFF), std::uint8_t(walk.loops() >> 8)}});
  return Status::Ok;
}

}  // namespace gdiplus
