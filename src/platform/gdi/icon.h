#pragma once
// Icons and cursors: a colour bitmap and a 1-bit AND mask of the same size (white where the
// background shows), and for cursors a hot spot. A 32-bit colour bitmap with alpha draws by
// its alpha; any other by its mask.
#include <QImage>
#include <cstdint>
#include <memory>

#include "dib.h"
#include "handles.h"

namespace gdi {

class Icon : public Object {
 public:
  std::shared_ptr<Dib> colour;  // may be null for a monochrome icon held in the mask alone
  std::shared_ptr<Dib> mask;    // 1 bit; twice the height when there is no colour bitmap
  bool isIcon = true;
  int hotX = 0, hotY = 0;
  int width() const;
  int height() const;
  // The icon as straight ARGB, as it draws.
  QImage toImage() const;
};

struct IconInfo {
  bool fIcon = true;
  int xHotspot = 0, yHotspot = 0;
  Handle hbmMask = 0;
  Handle hbmColor = 0;
};

// An icon of copies of the given bitmaps; 0 when the mask is missing.
Handle createIconIndirect(const IconInfo& info);
// New bitmap handles of the icon's mask and colour; the caller deletes them.
bool getIconInfo(Handle icon, IconInfo& info);
bool destroyIcon(Handle icon);
// An icon from the image of one entry of an icon file (a DIB with its mask below the colour
// rows, or a PNG); 0 when the data is not one. Width and height 0 keep the image's size.
Handle createIconFromResourceEx(const std::uint8_t* data, std::size_t size, bool icon, int width, int height);
// An icon of the colours of an ARGB image, its mask from the alpha.
Handle iconFromImage(const QImage& argb, bool icon = true, int hotX = 0, int hotY = 0);

constexpr int IMAGE_BITMAP = 0;
constexpr int IMAGE_ICON = 1;
constexpr unsigned LR_CREATEDIBSECTION = 0x2000;
// A copy of a bitmap (as a DIB section with LR_CREATEDIBSECTION) or an icon, scaled to cx x cy
// (0 keeps the size); 0 on failure.
Handle copyImage(Handle h, int type, int cx, int cy, unsigned flags);

}  // namespace gdi
