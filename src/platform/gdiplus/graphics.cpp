#include "graphics.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "dib.h"

namespace gdiplus {
namespace {
std::atomic<std::size_t> g_attributes{0};
}

ImageAttributes::ImageAttributes() { ++g_attributes; }
ImageAttributes::ImageAttributes(const ImageAttributes& o) : wrapMode(o.wrapMode), colorMatrix(o.colorMatrix) {
  ++g_attributes;
}
ImageAttributes::~ImageAttributes() { --g_attributes; }
std::size_t ImageAttributes::liveCount() { return g_attributes; }

Graphics::Graphics(gdi::Handle dc) : painter_(dc) {}
Graphics::~Graphics() = default;

std::unique_ptr<Graphics> Graphics::fromHDC(gdi::Handle dc) {
  std::unique_ptr<Graphics> g(new Graphics(dc));
  if (!g->painter_.isActive()) return nullptr;
  return g;
}

Status Graphics::clear(QRgb argb) {
  QPainter& p = painter_.painter();
  p.save();
  p.setClipping(false);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.fillRect(QRect(0, 0, p.device()->width(), p.device()->height()), QColor::fromRgba(argb));
  p.restore();
  return Status::Ok;
}

Status Graphics::setInterpolationMode(int mode) {
  if (mode < 0 || mode > 7) return Status::InvalidParameter;
  mode_ = mode;
  return Status::Ok;
}

Status Graphics::setClipRect(const QRect& r) {
  painter_->setClipRect(r.normalized(), Qt::ReplaceClip);
  return Status::Ok;
}

namespace {

// The pixels through the colour matrix, as straight ARGB.
QImage recoloured(const QImage& pixels, const ImageAttributes::ColorMatrix& m) {
  QImage out = pixels.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const float in[5] = {qRed(line[x]) / 255.f, qGreen(line[x]) / 255.f, qBlue(line[x]) / 255.f,
                           qAlpha(line[x]) / 255.f, 1.f};
      int c[4];
      for (int j = 0; j < 4; ++j) {
        float v = 0;
        for (int i = 0; i < 5; ++i) v += in[i] * m[std::size_t(i)][std::size_t(j)];
        c[j] = int(std::lround(std::clamp(v, 0.f, 1.f) * 255));
      }
      line[x] = qRgba(c[0], c[1], c[2], c[3]);
    }
  }
  return out;
}

}  // namespace

Status Graphics::drawImage(const Image& image, const QRect& dst, const QRect& src, const ImageAttributes* attributes) {
  if (dst.width() == 0 || dst.height() == 0 || src.width() <= 0 || src.height() <= 0) return Status::InvalidParameter;
  const bool recolour = attributes && attributes->colorMatrix;
  const QImage pixels = recolour ? recoloured(image.pixels(), *attributes->colorMatrix) : image.pixels();
  QPainter& p = painter_.painter();
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform, mode_ != InterpolationModeNearestNeighbor);
  // Mirrored destinations are drawn through a flipped coordinate system.
  QTransform t;
  t.translate(dst.x(), dst.y());
  t.scale(dst.width() < 0 ? -1 : 1, dst.height() < 0 ? -1 : 1);
  p.setTransform(t, true);
  p.drawImage(QRectF(0, 0, std::abs(dst.width()), std::abs(dst.height())), pixels, QRectF(src));
  p.restore();
  return Status::Ok;
}

gdi::Handle createHBITMAPFromBitmap(const Image& image, QRgb background) {
  std::uint8_t* bits = nullptr;
  const gdi::Handle h = gdi::createDIBSection(image.width(), image.height(), 32, &bits);
  auto dib = gdi::find<gdi::Dib>(h);
  if (!dib) return 0;
  QImage canvas(image.width(), image.height(), QImage::Format_ARGB32);
  canvas.fill(QColor::fromRgba(background));
  {
    QPainter p(&canvas);
    p.drawImage(0, 0, image.pixels());
  }
  dib->fromImage(canvas);
  return h;
}

std::unique_ptr<Image> createBitmapFromHBITMAP(gdi::Handle bitmap) {
  auto dib = gdi::find<gdi::Dib>(bitmap);
  if (!dib) return nullptr;
  QImage img = dib->toImage().convertToFormat(QImage::Format_RGB32);
  if (img.isNull()) return nullptr;
  return Image::fromImage(img, PixelFormat32bppRGB);
}

std::unique_ptr<Image> createBitmapFromScan0(int width, int height, int stride, PixelFormat format,
                                             const std::uint8_t* scan0) {
  const QImage::Format qf = qtFormat(format);
  if (width <= 0 || height <= 0 || !scan0 ||
      (qf != QImage::Format_ARGB32 && qf != QImage::Format_ARGB32_Premultiplied) ||
      std::abs(std::int64_t(stride)) < std::int64_t(width) * 4)
    return nullptr;
  QImage img(width, height, qf);
  if (img.isNull()) return nullptr;
  for (int y = 0; y < height; ++y)
    std::memcpy(img.scanLine(y), scan0 + std::ptrdiff_t(y) * stride, std::size_t(width) * 4);
  return Image::fromImage(img, format);
}

}  // namespace gdiplus
