#include "image.h"

#include <QPainter>
#include <QTransform>
#include <atomic>
#include <cstring>

namespace gdiplus {
namespace {
std::atomic<std::size_t> g_live{0};
}

QUuid imageFormat(std::uint32_t first) {
  return QUuid(first, 0x0728, 0x11d3, 0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e);
}

const QUuid& FrameDimensionTime() {
  static const QUuid id(0x6aedbd6d, 0x3fb5, 0x418a, 0x83, 0xa6, 0x7f, 0x45, 0x22, 0x9d, 0xc8, 0x72);
  return id;
}

const QUuid& FrameDimensionPage() {
  static const QUuid id(0x7462dc86, 0x6180, 0x4c7e, 0x8e, 0x3f, 0xee, 0x73, 0x33, 0xa7, 0xa4, 0x83);
  return id;
}

QImage::Format qtFormat(PixelFormat f) {
  switch (f) {
    case PixelFormat32bppARGB:
      return QImage::Format_ARGB32;
    case PixelFormat32bppPARGB:
      return QImage::Format_ARGB32_Premultiplied;
    case PixelFormat32bppRGB:
      return QImage::Format_RGB32;
    case PixelFormat24bppRGB:
      return QImage::Format_BGR888;
    default:
      return QImage::Format_Invalid;
  }
}

Image::Image(QImage first, PixelFormat format, std::uint32_t rawFormat, std::unique_ptr<FrameSource> frames)
    : current_(first.convertToFormat(QImage::Format_ARGB32)),
      format_(format),
      raw_(rawFormat),
      frames_(std::move(frames)) {
  ++g_live;
}

Image::~Image() { --g_live; }

std::size_t Image::liveCount() { return g_live; }

std::unique_ptr<Image> Image::fromImage(const QImage& pixels, PixelFormat format) {
  if (pixels.isNull()) return nullptr;
  return std::make_unique<Image>(pixels, format, ImageFormatMemoryBMP);
}

std::unique_ptr<Image> Image::create(int width, int height, PixelFormat format) {
  if (width <= 0 || height <= 0 || qtFormat(format) == QImage::Format_Invalid) return nullptr;
  QImage img(width, height, QImage::Format_ARGB32);
  if (img.isNull()) return nullptr;
  img.fill(0);
  return std::make_unique<Image>(std::move(img), format, ImageFormatMemoryBMP);
}

std::unique_ptr<Image> Image::over(int width, int height, int stride, PixelFormat format, std::uint8_t* scan0,
                                   std::shared_ptr<const void> owner) {
  const QImage::Format qf = qtFormat(format);
  if (width <= 0 || height <= 0 || !scan0 || (qf != QImage::Format_ARGB32 && qf != QImage::Format_ARGB32_Premultiplied) ||
      std::abs(std::int64_t(stride)) < std::int64_t(width) * 4)
    return nullptr;
  // Held as a top-down QImage over the lowest row in memory: a bottom-up buffer reads upside down.
  const bool up = stride < 0;
  std::uint8_t* low = up ? scan0 + std::ptrdiff_t(height - 1) * stride : scan0;
  auto img = std::make_unique<Image>(QImage(), format, ImageFormatMemoryBMP);
  img->current_ = QImage(low, width, height, std::abs(stride), qf);
  if (img->current_.isNull()) return nullptr;
  img->upsideDown_ = up;
  img->owner_ = owner ? std::move(owner) : std::make_shared<int>(0);
  return img;
}

QImage Image::pixels() const {
  if (!owner_) return current_;
  // Never shared with the rows: a later write to them would go to a copy instead.
  return (upsideDown_ ? current_.mirrored(false, true) : current_.copy()).convertToFormat(QImage::Format_ARGB32);
}

void Image::own() {
  if (!owner_) return;
  current_ = pixels();
  upsideDown_ = false;
  owner_.reset();
}

std::uint32_t Image::flags() const {
  std::uint32_t f = 0;
  if (format_ == PixelFormat32bppARGB || format_ == PixelFormat32bppPARGB) f |= ImageFlagsHasAlpha;
  if (format_ == PixelFormat32bppCMYK) f |= ImageFlagsColorSpaceCMYK;
  if (realDpi_) f |= ImageFlagsHasRealDPI;
  return f;
}

void Image::setResolution(double x, double y, bool real) {
  dpiX_ = x;
  dpiY_ = y;
  realDpi_ = real;
}

std::vector<QUuid> Image::frameDimensions() const {
  if (raw_ == ImageFormatGIF) return {FrameDimensionTime()};
  return {FrameDimensionPage()};
}

unsigned Image::frameCount(const QUuid& dimension) const {
  const std::vector<QUuid> dims = frameDimensions();
  if (dims.front() != dimension) return 0;
  return frames_ ? frames_->count() : 1;
}

Status Image::selectActiveFrame(const QUuid& dimension, unsigned index) {
  if (locked_) return Status::WrongState;
  if (index >= frameCount(dimension)) return Status::InvalidParameter;
  if (!frames_) return Status::Ok;
  // Let go of the shown frame first: a source that composes frames on one canvas then draws
  // on it in place instead of on a copy.
  current_ = QImage();
  QImage f = frames_->frame(index);
  if (f.isNull()) {
    current_ = frames_->frame(active_).convertToFormat(QImage::Format_ARGB32);
    return Status::GenericError;
  }
  current_ = f.convertToFormat(QImage::Format_ARGB32);
  active_ = index;
  return Status::Ok;
}

const PropertyItem* Image::property(std::uint32_t id) const {
  auto it = properties_.find(id);
  return it == properties_.end() ? nullptr : &it->second;
}

void Image::setProperty(PropertyItem item) {
  const std::uint32_t id = item.id;
  properties_[id] = std::move(item);
}

Status Image::rotateFlip(int code) {
  if (code < 0 || code > 7) return Status::InvalidParameter;
  if (locked_) return Status::WrongState;
  own();
  // Codes 0..3 turn clockwise by 0, 90, 180, 270 degrees; 4..7 do the same and then mirror
  // left to right.
  QTransform t;
  t.rotate(90 * (code & 3));
  QImage out = current_.transformed(t);
  if (code & 4) out = out.mirrored(true, false);
  if (out.isNull()) return Status::OutOfMemory;
  current_ = out.convertToFormat(QImage::Format_ARGB32);
  return Status::Ok;
}

Status Image::lockBits(const QRect* rect, unsigned mode, PixelFormat format, BitmapData& data) {
  if (locked_) return Status::WrongState;
  const QImage::Format qf = qtFormat(format);
  if (qf == QImage::Format_Invalid || !(mode & (ImageLockModeRead | ImageLockModeWrite)))
    return Status::InvalidParameter;
  const QRect r = rect ? *rect : current_.rect();
  if (r.isEmpty() || !current_.rect().contains(r)) return Status::InvalidParameter;
  const int bpp = format == PixelFormat24bppRGB ? 3 : 4;
  const int rowBytes = r.width() * bpp;
  std::uint8_t* base;
  int stride;
  if (mode & ImageLockModeUserInputBuf) {
    if (!data.scan0 || std::abs(data.stride) < rowBytes) return Status::InvalidParameter;
    base = static_cast<std::uint8_t*>(data.scan0);
    stride = data.stride;
  } else {
    stride = (rowBytes + 3) & ~3;
    lockBuffer_.assign(std::size_t(stride) * std::size_t(r.height()), 0);
    base = lockBuffer_.data();
  }
  if (mode & ImageLockModeRead) {
    // A row at a time: each pixel converts on its own, and a large frame is not held a second
    // time in the format asked for.
    for (int y = 0; y < r.height(); ++y) {
      const int from = upsideDown_ ? current_.height() - 1 - (r.y() + y) : r.y() + y;
      const uchar* src = current_.constScanLine(from) + std::ptrdiff_t(r.x()) * 4;
      std::uint8_t* dst = base + std::ptrdiff_t(y) * stride;
      if (current_.format() == qf) {
        std::memcpy(dst, src, std::size_t(rowBytes));
        continue;
      }
      const QImage row = QImage(src, r.width(), 1, std::ptrdiff_t(r.width()) * 4, current_.format()).convertToFormat(qf);
      if (row.isNull()) return Status::OutOfMemory;
      std::memcpy(dst, row.constScanLine(0), std::size_t(rowBytes));
    }
  }
  data.width = unsigned(r.width());
  data.height = unsigned(r.height());
  data.stride = stride;
  data.pixelFormat = format;
  data.scan0 = base;
  locked_ = true;
  lockMode_ = mode;
  lockRect_ = r;
  return Status::Ok;
}

Status Image::unlockBits(BitmapData& data) {
  if (!locked_) return Status::WrongState;
  locked_ = false;
  if (lockMode_ & ImageLockModeWrite) {
    QImage part(lockRect_.width(), lockRect_.height(), qtFormat(data.pixelFormat));
    if (part.isNull()) return Status::OutOfMemory;
    const int bpp = data.pixelFormat == PixelFormat24bppRGB ? 3 : 4;
    const auto* base = static_cast<const std::uint8_t*>(data.scan0);
    for (int y = 0; y < part.height(); ++y)
      std::memcpy(part.scanLine(y), base + std::ptrdiff_t(y) * data.stride, std::size_t(part.width() * bpp));
    // Written back where the rows lie, in their own format.
    QPainter p(&current_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (upsideDown_)
      p.drawImage(QPoint(lockRect_.x(), current_.height() - lockRect_.y() - lockRect_.height()),
                  part.mirrored(false, true).convertToFormat(QImage::Format_ARGB32));
    else
      p.drawImage(lockRect_.topLeft(), part.convertToFormat(QImage::Format_ARGB32));
  }
  lockBuffer_.clear();
  lockBuffer_.shrink_to_fit();
  return Status::Ok;
}

}  // namespace gdiplus
