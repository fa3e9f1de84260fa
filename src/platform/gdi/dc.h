#pragma once
// Device contexts. A memory context draws into the bitmap selected into it (a new one holds
// a 1 x 1 stock bitmap, as GDI's do); the screen context has no pixels of its own here and
// only serves as the model for compatible contexts and bitmaps. Coordinates count from the
// top-left pixel whatever the bitmap's memory order.
#include <QPainter>
#include <QRect>
#include <QRgb>
#include <cstdint>
#include <memory>

#include "dib.h"
#include "handles.h"

namespace gdi {

// The one raster operation the program uses: copy the source.
constexpr std::uint32_t SRCCOPY = 0x00CC0020;

// The screen's context (`window` 0) and its release.
Handle getDC(Handle window);
bool releaseDC(Handle window, Handle dc);

// A memory context compatible with `dc` (0: the screen), holding the stock bitmap.
Handle createCompatibleDC(Handle dc);
bool deleteDC(Handle dc);

// A device-dependent bitmap in the screen's format, all pixels 0.
Handle createCompatibleBitmap(Handle dc, int width, int height);

// Selects a bitmap into a memory context and returns the one it replaces; 0 on failure
// (unknown handles, the screen context, or a bitmap already selected elsewhere).
Handle selectObject(Handle dc, Handle bitmap);
Handle currentBitmap(Handle dc);
std::shared_ptr<Dib> surfaceOf(Handle dc);

// Copies w x h pixels from (sx, sy) of `src` to (x, y) of `dst`, clipped on both sides.
// Only SRCCOPY; false for unknown contexts, contexts without pixels or another operation.
bool bitBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, std::uint32_t rop);
// The same with scaling (nearest pixel); sizes must be positive.
bool stretchBlt(Handle dst, int x, int y, int w, int h, Handle src, int sx, int sy, int sw, int sh, std::uint32_t rop);
// Fills a rectangle, clipped to the surface.
bool fillRect(Handle dc, const QRect& r, QRgb colour);

// Drawing on the selected bitmap with QPainter: the painter works on a top-down copy that
// is written back when this object ends.
class DcPainter {
 public:
  explicit DcPainter(Handle dc);
  ~DcPainter();
  DcPainter(const DcPainter&) = delete;
  DcPainter& operator=(const DcPainter&) = delete;
  bool isActive() const { return painter_ != nullptr; }
  QPainter& painter() { return *painter_; }
  QPainter* operator->() { return painter_.get(); }

 private:
  std::shared_ptr<Dib> dib_;
  QImage image_;
  std::unique_ptr<QPainter> painter_;
};

}  // namespace gdi
