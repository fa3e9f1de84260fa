#pragma once
// Windows metafiles (WMF, with or without the placeable header, and EMF): a checked walk over
// the records and a player for the subset the program meets: pens, brushes, fonts, lines,
// rectangles, ellipses, polygons, text, stretched DIBs, window and viewport origin and
// extent, and saving and restoring the drawing state. Other records are skipped.
#include <QImage>
#include <QPainter>
#include <QRectF>

#include <cstdint>
#include <optional>
#include <span>
#include <memory>
#include <vector>

#include "handles.h"

namespace gdi {

class Metafile {
 public:
  enum Kind { Wmf = 2, Emf = 4 };

  // Null when the bytes are not a metafile we read: a wrong header, a record whose length
  // runs past the end or below its minimum, or a WMF without a placeable header whose size
  // no window extent tells.
  static std::optional<Metafile> parse(std::span<const std::uint8_t> bytes);

  Kind kind() const { return kind_; }
  // The picture's size in 0.01 mm, and in pixels at `dpi` (at least 1 x 1).
  QSizeF sizeHimetric() const { return himetric_; }
  QSize sizePixels(int dpi = 96) const;
  // The file as parsed.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // A placeable WMF's units per inch (0 for other kinds).
  int unitsPerInch() const { return unitsPerInch_; }
  // The horizontal resolution the file states: an EMF's reference device, a placeable WMF's
  // units per inch; 0 for a WMF without the placeable header.
  double dpiX() const { return dpiX_; }

  // Plays the records so that the picture fills `target` (painter coordinates). Drawing is
  // not antialiased, as the platform draws metafiles.
  void play(QPainter& painter, const QRectF& target) const;
  // The picture at `size` over `background` (0 for transparent), Format_ARGB32.
  QImage render(QSize size, QRgb background = 0) const;

 private:
  Kind kind_ = Wmf;
  std::vector<std::uint8_t> bytes_;
  std::size_t firstRecord_ = 0;
  QRectF frame_;  // the picture's rectangle in the coordinates the records start with
  QSizeF himetric_;
  int unitsPerInch_ = 0;
  double dpiX_ = 0;
  int objectSlots_ = 0;
};

// A metafile under a handle, as a metafile picture holds it; removeObject frees it.
Handle addMetafile(Metafile metafile);
std::shared_ptr<const Metafile> findMetafile(Handle handle);

}  // namespace gdi
