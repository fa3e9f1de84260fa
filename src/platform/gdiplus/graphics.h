#pragma once
// Drawing GDI+ images on a device context, and the bridges between GDI+ images and GDI
// bitmaps.
#include <QRect>
#include <array>
#include <memory>
#include <optional>

#include "dc.h"
#include "image.h"

namespace gdiplus {

enum InterpolationMode {
  InterpolationModeDefault = 0,
  InterpolationModeLowQuality = 1,
  InterpolationModeHighQuality = 2,
  InterpolationModeBilinear = 3,
  InterpolationModeBicubic = 4,
  InterpolationModeNearestNeighbor = 5,
  InterpolationModeHighQualityBilinear = 6,
  InterpolationModeHighQualityBicubic = 7,
};

constexpr int WrapModeTile = 0;
constexpr int WrapModeTileFlipX = 1;
constexpr int WrapModeTileFlipY = 2;
constexpr int WrapModeTileFlipXY = 3;
constexpr int WrapModeClamp = 4;

// Drawing options: the wrap mode of the edges and a colour matrix. The wrap mode says what an
// interpolating drawing samples beyond the source rectangle's edges: the source tiled, mirrored
// (TileFlipX, TileFlipY, TileFlipXY) or, with Clamp, transparency, which blends the edges of a
// scaled picture with emptiness.
class ImageAttributes {
 public:
  ImageAttributes();
  ~ImageAttributes();
  ImageAttributes(const ImageAttributes&);
  ImageAttributes& operator=(const ImageAttributes&) = delete;
  static std::size_t liveCount();
  int wrapMode = WrapModeClamp;
  // GdipSetImageAttributesColorMatrix: each source pixel as (r, g, b, a, 1), components
  // 0..1 of straight ARGB, times the matrix; row 4 adds a constant. Output is clamped.
  using ColorMatrix = std::array<std::array<float, 5>, 5>;
  std::optional<ColorMatrix> colorMatrix;
};

// A graphics object on a memory device context with a bitmap selected; what it draws is in
// the bitmap when the object ends.
class Graphics {
 public:
  static std::unique_ptr<Graphics> fromHDC(gdi::Handle dc);
  ~Graphics();
  Status clear(QRgb argb);
  Status setInterpolationMode(int mode);
  int interpolationMode() const { return mode_; }
  Status setClipRect(const QRect& r);
  // Draws the source rectangle of the image's active frame into the destination (pixels);
  // a negative destination width or height mirrors.
  Status drawImage(const Image& image, const QRect& dst, const QRect& src, const ImageAttributes* attributes = nullptr);

 private:
  explicit Graphics(gdi::Handle dc);
  gdi::DcPainter painter_;
  int mode_ = InterpolationModeDefault;
};

// The drawing itself, on any painter: the source rectangle of the pixels into the destination
// (pixels; a negative width or height mirrors), interpolated unless the mode is nearest
// neighbour; with attributes, through their colour matrix and with their wrap mode.
Status drawPixels(QPainter& painter, const QImage& pixels, const QRect& dst, const QRect& src, int interpolationMode,
                  const ImageAttributes* attributes = nullptr);

// A 32-bit bottom-up DIB section of the image's active frame composed over the background
// (GdipCreateHBITMAPFromBitmap); 0 on failure.
gdi::Handle createHBITMAPFromBitmap(const Image& image, QRgb background);
// A GDI+ bitmap of a GDI bitmap's pixels, alpha taken as opaque (GdipCreateBitmapFromHBITMAP).
std::unique_ptr<Image> createBitmapFromHBITMAP(gdi::Handle bitmap);
// A GDI+ bitmap of 32-bit rows in the format (straight or premultiplied ARGB); the rows are
// copied. A negative stride starts at the bottom row.
std::unique_ptr<Image> createBitmapFromScan0(int width, int height, int stride, PixelFormat format,
                                             const std::uint8_t* scan0);

}  // namespace gdiplus
