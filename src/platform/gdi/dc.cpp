#include "dc.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "screen.h"

namespace gdi {
namespace {

struct Dc : Object {
  bool screen = false;
  Handle selected = 0;
  std::shared_ptr<Dib> surface;
};

Handle stockBitmap() {
  static const Handle h = [] {
    auto d = Dib::create(1, 1, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, false);
    d->stock = true;
    return addObject(d);
  }();
  return h;
}

std::shared_ptr<Dc> memoryDc(Handle h) {
  auto dc = find<Dc>(h);
  return (dc && !dc->screen) ? dc : nullptr;
}

// Copies a w x h block that is already known to lie inside both bitmaps.
void copyBlock(Dib& d, int x, int y, const Dib& s, int sx, int sy, int w, int h) {
  const int db = d.bitCount(), sb = s.bitCount();
  if (db == sb && db >= 8 && (db > 8 || d.palette() == s.palette())) {
    const std::size_t px = std::size_t(db / 8);
    for (int r = 0; r < h; ++r)
      std::memmove(d.scanLine(y + r) + x * px, s.scanLine(sy + r) + sx * px, px * std::size_t(w));
    return;
  }
  if (db == 32 && sb == 24) {
    for (int r = 0; r < h; ++r) {
      std::uint8_t* o = d.scanLine(y + r) + 4 * x;
      const std::uint8_t* i = s.scanLine(sy + r) + 3 * sx;
      for (int c = 0; c < w; ++c, o += 4, i += 3) {
        o[0] = i[0];
        o[1] = i[1];
        o[2] = i[2];
        o[3] = 0;
      }
    }
    return;
  }
  if (db == 24 && sb == 32) {
    for (int r = 0; r < h; ++r) {
      std::uint8_t* o = d.scanLine(y + r) + 3 * x;
      const std::uint8_t* i = s.scanLine(sy + r) + 4 * sx;
      for (int c = 0; c < w; ++c, o += 3, i += 4) {
        o[0] = i[0];
        o[1] = i[1];
        o[2] = i[2];
      }
    }
    return;
  }
  // Other depths pixel by pixel; a copy into 32 bits clears the fourth byte, as GDI does.
  const QRgb keep = (db == 32 && sb != 32) ? 0x00FFFFFFu : 0xFFFFFFFFu;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) d.setPixel(x + c, y + r, s.pixel(sx + c, sy + r) & keep);
}

// A private copy of a source that is also the destination, so that an overlapping copy
// reads the pixels as they were.
std::shared_ptr<Dib> detach(const std::shared_ptr<Dib>& s) {
  auto c = Dib::create(s->width(), s->height(), s->bitCount(), s->palette(), s->isSection());
  if (c) std::memcpy(c->bits(), s->bits(), std::size_t(s->sizeImage()));
  return c;
}

}  // namespace

Handle getDC(Handle window) {
  if (window != 0) return 0;  // only the screen for now
  auto dc = std::make_shared<Dc>();
  dc->screen = true;
  return addObject(dc);
}

bool releaseDC(Handle window, Handle dc) {
  auto d = find<Dc>(dc);
  if (window != 0 || !d || !d->screen) return false;
  return removeObject(dc);
}

Handle createCompatibleDC(Handle dc) {
  if (dc != 0 && !find<Dc>(dc)) return 0;
  auto d = std::make_shared<Dc>();
  d->selected = stockBitmap();
  d->surface = find<Dib>(d->selected);
  return addObject(d);
}

bool deleteDC(Handle dc) {
  auto d = memoryDc(dc);
  if (!d) return false;
  if (d->surface && !d->surface->stock) d->surface->selectedIn = 0;
  return removeObject(dc);
}

Handle createCompatibleBitmap(Handle dc, int width, int height) {
  if (!find<Dc>(dc)) return 0;
  auto dib = Dib::create(width, height, screen().bitsPerPixel, {}, false);
  return dib ? addObject(dib) : 0;
}

Handle selectObject(Handle dc, Handle bitmap) {
  auto d = memoryDc(dc);
  auto b = find<Dib>(bitmap);
  if (!d || !b) return 0;
  if (d->selected == bitmap) return bitmap;
  if (!b->stock && b->selectedIn != 0) return 0;
  const Handle previous = d->selected;
  if (d->surface && !d->surface->stock) d->surface->selectedIn = 0;
  if (!b->stock) b->selectedIn = dc;
  d->selected = bitmap;
  d->surface = b;
  return previous;
}

Handle currentBitmap(Handle dc) {
  auto d = memoryDc(dc);
  return d ? d->selected : 0;
}

std::shared_ptr<Dib> surfaceOf(Handle dc) {
  auto d = memoryDc(dc);
  return d ? d->surface : nullptr;
}

bool bitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, std::uint32_t rop) {
  auto d = surfaceOf(dst);
  auto s = surfaceOf(src);
  if (!d || !s || rop != SRCCOPY) return false;
  // Clip in 64 bits: the rectangle has to lie inside the source and inside the destination.
  std::int64_t X = x, Y = y, W = w, H = h, SX = sx, SY = sy;
  const std::int64_t dx0 = std::max<std::int64_t>({0, -X, -SX});
  X += dx0;
  SX += dx0;
  W -= dx0;
  const std::int64_t dy0 = std::max<std::int64_t>({0, -Y, -SY});
  Y += dy0;
  SY += dy0;
  H -= dy0;
  W = std::min<std::int64_t>({W, d->width() - X, s->width() - SX});
  H = std::min<std::int64_t>({H, d->absHeight() - Y, s->absHeight() - SY});
  if (W <= 0 || H <= 0) return true;
  if (d == s) s = detach(s);
  if (!s) return false;
  copyBlock(*d, int(X), int(Y), *s, int(SX), int(SY), int(W), int(H));
  return true;
}

bool stretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw, int sh, std::uint32_t rop) {
  if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
  if (w == sw && h == sh) return bitBlt(dst, x, y, w, h, src, sx, sy, rop);
  auto d = surfaceOf(dst);
  auto s = surfaceOf(src);
  if (!d || !s || rop != SRCCOPY) return false;
  if (d == s) s = detach(s);
  if (!s) return false;
  const QRgb keep = (d->bitCount() == 32 && s->bitCount() != 32) ? 0x00FFFFFFu : 0xFFFFFFFFu;
  // Each destination pixel takes the source pixel under its centre; pixels whose source
  // lies outside the source bitmap are left alone.
  const std::int64_t r0 = std::max<std::int64_t>(0, y),
                     r1 = std::min<std::int64_t>(d->absHeight(), std::int64_t(y) + h);
  const std::int64_t c0 = std::max<std::int64_t>(0, x), c1 = std::min<std::int64_t>(d->width(), std::int64_t(x) + w);
  for (std::int64_t r = r0; r < r1; ++r) {
    const std::int64_t srow = sy + ((2 * (r - y) + 1) * sh) / (2 * std::int64_t(h));
    if (srow < 0 || srow >= s->absHeight()) continue;
    for (std::int64_t c = c0; c < c1; ++c) {
      const std::int64_t scol = sx + ((2 * (c - x) + 1) * sw) / (2 * std::int64_t(w));
      if (scol < 0 || scol >= s->width()) continue;
      d->setPixel(int(c), int(r), s->pixel(int(scol), int(srow)) & keep);
    }
  }
  return true;
}

bool fillRect(Handle dc, const QRect& r, QRgb colour) {
  auto d = surfaceOf(dc);
  if (!d) return false;
  const QRect area = r.intersected(QRect(0, 0, d->width(), d->absHeight()));
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) d->setPixel(x, y, colour);
  return true;
}

DcPainter::DcPainter(Handle dc) : dib_(surfaceOf(dc)) {
  if (!dib_ || dib_->stock) {
    dib_.reset();
    return;
  }
  image_ = dib_->toImage();
  if (dib_->bitCount() == 32)
    image_.reinterpretAsFormat(QImage::Format_RGB32);
  else
    image_ = image_.convertToFormat(QImage::Format_RGB32);
  if (image_.isNull()) {
    dib_.reset();
    return;
  }
  painter_ = std::make_unique<QPainter>(&image_);
}

DcPainter::~DcPainter() {
  if (!painter_) return;
  painter_->end();
  painter_.reset();
  dib_->fromImage(image_);
}

}  // namespace gdi
