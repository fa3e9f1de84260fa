#pragma once
// GDI+ images: one or more frames (animation frames or pages) of which one is active,
// property items, pixel access by locking, rotation and flips. Decoded pixels are held as
// 32-bit QImages (blue, green, red, alpha in memory, as GDI+'s 32-bit formats); the pixel
// format an image reports is the one its file stores.
#include <QImage>
#include <QRect>
#include <QUuid>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace gdiplus {

enum class Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  WrongState = 8,
  Aborted = 9,
  ValueOverflow = 11,
  UnknownImageFormat = 13,
};

using PixelFormat = std::uint32_t;
constexpr PixelFormat PixelFormat24bppRGB = 0x21808;
constexpr PixelFormat PixelFormat32bppRGB = 0x22009;
constexpr PixelFormat PixelFormat32bppARGB = 0x26200A;
constexpr PixelFormat PixelFormat32bppPARGB = 0xE200B;
constexpr PixelFormat PixelFormat32bppCMYK = 0x200F;
constexpr PixelFormat PixelFormat8bppIndexed = 0x30803;

constexpr std::uint32_t ImageFlagsHasAlpha = 0x2;
constexpr std::uint32_t ImageFlagsColorSpaceCMYK = 0x20;
constexpr std::uint32_t ImageFlagsHasRealDPI = 0x1000;

// Raw formats: the GUIDs differ only in their first field.
QUuid imageFormat(std::uint32_t first);
constexpr std::uint32_t ImageFormatUndefined = 0xB96B3CA9;
constexpr std::uint32_t ImageFormatMemoryBMP = 0xB96B3CAA;
constexpr std::uint32_t ImageFormatBMP = 0xB96B3CAB;
constexpr std::uint32_t ImageFormatEMF = 0xB96B3CAC;
constexpr std::uint32_t ImageFormatWMF = 0xB96B3CAD;
constexpr std::uint32_t ImageFormatJPEG = 0xB96B3CAE;
constexpr std::uint32_t ImageFormatPNG = 0xB96B3CAF;
constexpr std::uint32_t ImageFormatGIF = 0xB96B3CB0;
constexpr std::uint32_t ImageFormatTIFF = 0xB96B3CB1;
constexpr std::uint32_t ImageFormatEXIF = 0xB96B3CB2;
constexpr std::uint32_t ImageFormatIcon = 0xB96B3CB5;

const QUuid& FrameDimensionTime();
const QUuid& FrameDimensionPage();

// Property tags and types.
constexpr std::uint32_t PropertyTagOrientation = 0x0112;
constexpr std::uint32_t PropertyTagFrameDelay = 0x5100;
constexpr std::uint32_t PropertyTagLoopCount = 0x5101;
constexpr std::uint16_t PropertyTagTypeShort = 3;
constexpr std::uint16_t PropertyTagTypeLong = 4;

struct PropertyItem {
  std::uint32_t id = 0;
  std::uint16_t type = 0;
  std::vector<std::uint8_t> value;
};

// Frames that are decoded when selected (pages of a TIFF, composed GIF frames).
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual unsigned count() const = 0;
  // The frame as 32-bit straight ARGB, or a null image when it can't be decoded.
  virtual QImage frame(unsigned index) = 0;
};

constexpr unsigned ImageLockModeRead = 1;
constexpr unsigned ImageLockModeWrite = 2;
constexpr unsigned ImageLockModeUserInputBuf = 4;

struct BitmapData {
  unsigned width = 0;
  unsigned height = 0;
  int stride = 0;  // negative: rows from the bottom up
  PixelFormat pixelFormat = 0;
  void* scan0 = nullptr;
};

class Image {
 public:
  // A bitmap of one frame; the pixels are copied into the format asked for.
  static std::unique_ptr<Image> fromImage(const QImage& pixels, PixelFormat format);
  // A new bitmap of the size, all pixels transparent black.
  static std::unique_ptr<Image> create(int width, int height, PixelFormat format);
  // A bitmap over the caller's 32-bit rows (straight or premultiplied ARGB), not a copy of
  // them: scan0 is the top row, a negative stride walks a bottom-up buffer. The owner keeps
  // the rows alive as long as the image.
  static std::unique_ptr<Image> over(int width, int height, int stride, PixelFormat format, std::uint8_t* scan0,
                                     std::shared_ptr<const void> owner);
  Image(QImage first, PixelFormat format, std::uint32_t rawFormat, std::unique_ptr<FrameSource> frames = nullptr);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  // Images alive (tests check that loads and disposals balance).
  static std::size_t liveCount();

  int width() const { return current_.width(); }
  int height() const { return current_.height(); }
  QRectF bounds() const { return QRectF(0, 0, width(), height()); }
  PixelFormat pixelFormat() const { return format_; }
  QUuid rawFormat() const { return imageFormat(raw_); }
  std::uint32_t rawFormatFirst() const { return raw_; }
  std::uint32_t flags() const;
  double horizontalResolution() const { return dpiX_; }
  double verticalResolution() const { return dpiY_; }
  void setResolution(double x, double y, bool real);

  std::vector<QUuid> frameDimensions() const;
  unsigned frameCount(const QUuid& dimension) const;
  Status selectActiveFrame(const QUuid& dimension, unsigned index);
  unsigned activeFrame() const { return active_; }

  const PropertyItem* property(std::uint32_t id) const;
  void setProperty(PropertyItem item);

  // Rotate-and-flip codes 0 .. 7 (RotateNoneFlipNone .. Rotate270FlipX).
  Status rotateFlip(int code);

  // Reads a rectangle (null: the whole image) into the caller's buffer or one of the image's
  // own, converting to 32bppARGB, 32bppPARGB, 32bppRGB or 24bppRGB; a write lock stores the
  // buffer back into the active frame at unlock.
  Status lockBits(const QRect* rect, unsigned mode, PixelFormat format, BitmapData& data);
  Status unlockBits(BitmapData& data);

  // The active frame as straight ARGB (a copy for an image over the caller's rows).
  QImage pixels() const;
  // The rows as they lie, and whether they lie bottom-up: drawing needs no copy of them.
  const QImage& rows() const { return current_; }
  bool upsideDown() const { return upsideDown_; }
  // The lowest address of the caller's rows this image lies over; null when it owns its own.
  const void* borrowed() const { return owner_ ? current_.constBits() : nullptr; }

 private:
  // Makes the frame an owned, top-down, straight image (before changing its size or rows).
  void own();

  QImage current_;
  bool upsideDown_ = false;
  std::shared_ptr<const void> owner_;
  PixelFormat format_;
  std::uint32_t raw_;
  std::unique_ptr<FrameSource> frames_;
  unsigned active_ = 0;
  double dpiX_ = 96, dpiY_ = 96;
  bool realDpi_ = false;
  std::map<std::uint32_t, PropertyItem> properties_;
  // The lock in progress.
  bool locked_ = false;
  unsigned lockMode_ = 0;
  QRect lockRect_;
  std::vector<std::uint8_t> lockBuffer_;
};

// Converts 32-bit rows between the formats lockBits knows.
QImage::Format qtFormat(PixelFormat f);

}  // namespace gdiplus
