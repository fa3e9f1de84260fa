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

// Where a sample at i, outside 0 .. n - 1, is taken from: the source tiled, or mirrored at
// every edge.
int wrapIndex(int i, int n, bool flip) {
  if (!flip) return ((i % n) + n) % n;
  const int period = 2 * n, k = ((i % period) + period) % period;
  return k < n ? k : period - 1 - k;
}

// The source rectangle inside a border of `margin` pixels filled as the wrap mode says, so
// that interpolation at the edges reads the border and not what lies beyond the rectangle.
QImage withWrapBorder(const QImage& pixels, const QRect& src, int wrapMode, int margin) {
  const QImage in = pixels.copy(src).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QImage out(in.width() + 2 * margin, in.height() + 2 * margin, QImage::Format_ARGB32_Premultiplied);
  if (in.isNull() || out.isNull()) return {};
  const bool clamp = wrapMode < WrapModeTile || wrapMode > WrapModeTileFlipXY;
  const bool flipX = wrapMode == WrapModeTileFlipX || wrapMode == WrapModeTileFlipXY;
  const bool flipY = wrapMode == WrapModeTileFlipY || wrapMode == WrapModeTileFlipXY;
  const int w = in.width(), h = in.height();
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    const int sy = y - margin;
    const bool insideY = sy >= 0 && sy < h;
    const auto* from = reinterpret_cast<const QRgb*>(in.constScanLine(insideY ? sy : wrapIndex(sy, h, flipY)));
    for (int x = 0; x < out.width(); ++x) {
      const int sx = x - margin;
      const bool insideX = sx >= 0 && sx < w;
      line[x] = clamp && !(insideX && insideY) ? 0u : from[insideX ? sx : wrapIndex(sx, w, flipX)];
    }
  }
  return out;
}

}  // namespace

Status drawPixels(QPainter& p, const QImage& image, const QRect& dst, const QRect& src, int mode,
                  const ImageAttributes* attributes) {
  if (dst.width() == 0 || dst.height() == 0 || src.width() <= 0 || src.height() <= 0) return Status::InvalidParameter;
  const bool recolour = attributes && attributes->colorMatrix;
  const QImage pixels = recolour ? recoloured(image, *attributes->colorMatrix) : image;
  const bool smooth = mode != InterpolationModeNearestNeighbor;
  const int w = std::abs(dst.width()), h = std::abs(dst.height());
  p.save();
  p.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
  // Mirrored destinations are drawn through a flipped coordinate system.
  QTransform t;
  t.translate(dst.x(), dst.y());
  t.scale(dst.width() < 0 ? -1 : 1, dst.height() < 0 ? -1 : 1);
  p.setTransform(t, true);
  if (attributes && smooth && (w != src.width() || h != src.height())) {
    // Interpolated at another size, the edges sample the wrap border: the bordered source is
    // drawn so that its inner rectangle lands on the destination, clipped to it.
    constexpr int kMargin = 2;
    const QImage bordered = withWrapBorder(pixels, src, attributes->wrapMode, kMargin);
    if (bordered.isNull()) {
      p.restore();
      return Status::OutOfMemory;
    }
    const double sx = double(w) / src.width(), sy = double(h) / src.height();
    p.setClipRect(QRect(0, 0, w, h), Qt::IntersectClip);
    p.drawImage(QRectF(-kMargin * sx, -kMargin * sy, w + 2 * kMargin * sx, h + 2 * kMargin * sy), bordered,
                QRectF(bordered.rect()));
  } else {
    p.drawImage(QRectF(0, 0, w, h), pixels, QRectF(src));
  }
  p.restore();
  return Status::Ok;
}

Status Graphics::drawImage(const Image& image, const QRect& dst, const QRect& src, const ImageAttributes* attributes) {
  if (!image.upsideDown()) return drawPixels(painter_.painter(), image.rows(), dst, src, mode_, attributes);
  // Rows that lie bottom-up are drawn where they lie, into the destination mirrored top to
  // bottom, which turns them the right way up again.
  const QRect flippedSrc(src.x(), image.height() - src.y() - src.height(), src.width(), src.height());
  const QRect flippedDst(dst.x(), dst.y() + dst.height(), dst.width(), -dst.height());
  return drawPixels(painter_.painter(), image.rows(), flippedDst, flippedSrc, mode_, attributes);
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
