#include "picture.h"

#include <QPainter>
#include <atomic>
#include <cmath>
#include <cstring>

#include "bmp_decode.h"
#include "dc.h"
#include "decoders.h"
#include "dib.h"
#include "ico_decode.h"
#include "icon.h"
#include "metafile.h"
#include "screen.h"

namespace gdi {
namespace {

std::atomic<std::size_t> g_pictures{0};

// The OLE loader takes pictures no larger than the photo road does.
constexpr int kMaxSide = 12000;
constexpr std::int64_t kMaxPixels = 40'000'000;

void put16(std::vector<std::uint8_t>& v, unsigned x) {
  v.push_back(std::uint8_t(x));
  v.push_back(std::uint8_t(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

// BITMAPINFOHEADER and bottom-up 32-bit rows of an image.
void putDib32(std::vector<std::uint8_t>& v, const QImage& img, int heightField) {
  put32(v, 40);
  put32(v, std::uint32_t(img.width()));
  put32(v, std::uint32_t(heightField));
  put16(v, 1);
  put16(v, 32);
  put32(v, 0);
  put32(v, std::uint32_t(img.width() * img.height() * 4));
  put32(v, 0);
  put32(v, 0);
  put32(v, 0);
  put32(v, 0);
  for (int y = img.height() - 1; y >= 0; --y) {
    const auto* line = img.constScanLine(y);
    v.insert(v.end(), line, line + 4 * img.width());
  }
}

QImage imageOf(Handle h, short type) {
  if (type == PICTYPE_BITMAP) {
    auto dib = find<Dib>(h);
    return dib ? dib->toImage().convertToFormat(QImage::Format_ARGB32) : QImage();
  }
  if (type == PICTYPE_ICON) {
    auto icon = find<Icon>(h);
    return icon ? icon->toImage() : QImage();
  }
  return {};
}

}  // namespace

std::shared_ptr<Picture> Picture::loadMetafile(std::vector<std::uint8_t> bytes, bool keepOriginalFormat) {
  auto meta = Metafile::parse(bytes);
  if (!meta) return nullptr;
  // A frame that would not fit a bitmap at the screen's resolution is refused, as bitmaps are.
  const QSize px = meta->sizePixels(screen().dpiX);
  if (px.width() > kMaxSide || px.height() > kMaxSide || std::int64_t(px.width()) * px.height() > kMaxPixels)
    return nullptr;
  const QSizeF him = meta->sizeHimetric();
  const short type = meta->kind() == Metafile::Emf ? PICTYPE_ENHMETAFILE : PICTYPE_METAFILE;
  auto p = createEmpty();
  p->handle_ = addMetafile(std::move(*meta));
  p->type_ = type;
  p->own_ = true;
  p->hmWidth_ = std::int32_t(std::lround(him.width()));
  p->hmHeight_ = std::int32_t(std::lround(him.height()));
  if (keepOriginalFormat) p->source_ = std::move(bytes);
  return p;
}

std::int32_t pixelsToHimetric(std::int64_t pixels, int dpi) {
  if (dpi <= 0) dpi = 96;
  return std::int32_t((pixels * 2540 + dpi / 2) / dpi);
}

std::int32_t himetricToPixels(std::int64_t himetric, int dpi) {
  if (dpi <= 0) dpi = 96;
  const std::int64_t v = himetric * dpi;
  return std::int32_t(v >= 0 ? (v + 1270) / 2540 : -((-v + 1270) / 2540));
}

std::size_t Picture::liveCount() { return g_pictures; }

std::shared_ptr<Picture> Picture::createEmpty() {
  std::shared_ptr<Picture> p(new Picture);
  ++g_pictures;
  return p;
}

std::shared_ptr<Picture> Picture::createIndirect(short type, Handle handle, bool own) {
  int w = 0, h = 0;
  if (type == PICTYPE_BITMAP) {
    auto dib = find<Dib>(handle);
    if (!dib) return nullptr;
    w = dib->width();
    h = dib->absHeight();
  } else if (type == PICTYPE_ICON) {
    auto icon = find<Icon>(handle);
    if (!icon) return nullptr;
    w = icon->width();
    h = icon->height();
  } else {
    return nullptr;
  }
  auto p = createEmpty();
  p->handle_ = handle;
  p->type_ = type;
  p->own_ = own;
  p->transparent_ = type == PICTYPE_ICON;
  p->hmWidth_ = pixelsToHimetric(w, screen().dpiX);
  p->hmHeight_ = pixelsToHimetric(h, screen().dpiY);
  return p;
}

namespace {

// Within the loader's limits.
bool withinLoaderLimits(std::int64_t w, std::int64_t h) {
  return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// A bitmap file through the bitmap decoder, as a DIB section: 32 bits under an alpha mask
// keep their alpha (`alpha` says so), every other bitmap becomes 24 bits.
Handle bitmapOf(std::span<const std::uint8_t> bytes, bool& alpha) {
  const BmpHeaders headers = readBmpHeaders(bytes);
  const std::int64_t absH = headers.layout.height < 0 ? -headers.layout.height : headers.layout.height;
  if (headers.verdict != BmpHeaders::Pixels || !withinLoaderLimits(headers.layout.width, absH)) return 0;
  QImage img = decodeDib(bytes, headers.layout);
  if (img.isNull()) return 0;
  alpha = carriesAlpha(headers);
  if (!alpha) makeOpaque(img);
  const Handle h = createDIBSection(img.width(), img.height(), alpha ? 32 : 24);
  auto dib = find<Dib>(h);
  if (!dib || !dib->fromImage(img)) {
    deleteObject(h);
    return 0;
  }
  return h;
}

// An icon file through the icon decoder: the entry that best fits the standard icon size
// at the screen's depth, as the system chooses one.
Handle iconOf(std::span<const std::uint8_t> bytes) {
  const std::optional<IconFile> file = readIconFile(bytes);
  if (!file || !file->entriesRead) return 0;
  std::vector<std::array<std::int32_t, 3>> entries;
  for (const IconFileEntry& e : file->entries) entries.push_back(e.dims);
  int depth = 0;
  const Screen& s = screen();
  const IconFileEntry& e =
      file->entries[std::size_t(chooseIconEntry(entries, 0, s.iconWidth, s.iconHeight, depth, s.bitsPerPixel))];
  if (!withinLoaderLimits(e.dims[0], e.dims[1])) return 0;
  return createIconFromResourceEx(bytes.data() + e.offset, std::size_t(e.size), !file->cursor, 0, 0);
}

}  // namespace

std::shared_ptr<Picture> Picture::load(Stream& stream, std::int64_t length, bool keepOriginalFormat) {
  const std::int64_t avail = stream.size() - stream.position();
  if (length <= 0 || length > avail) length = avail;
  if (length < 4) return nullptr;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
  if (stream.read(bytes.data(), length) != length) return nullptr;
  if (bytes[0] == 'B' && bytes[1] == 'M') {
    bool alpha = false;
    const Handle h = bitmapOf(bytes, alpha);
    auto p = h ? createIndirect(PICTYPE_BITMAP, h, true) : nullptr;
    if (h && !p) deleteObject(h);
    if (p) p->transparent_ = alpha;
    if (p && keepOriginalFormat) p->source_ = std::move(bytes);
    return p;
  }
  if (std::memcmp(bytes.data(), "\0\0\1\0", 4) == 0) {
    const Handle h = iconOf(bytes);
    auto p = h ? createIndirect(PICTYPE_ICON, h, true) : nullptr;
    if (h && !p) destroyIcon(h);
    if (p && keepOriginalFormat) p->source_ = std::move(bytes);
    return p;
  }
  const bool jpeg = bytes.size() >= 3 && std::memcmp(bytes.data(), "\xFF\xD8\xFF", 3) == 0;
  const bool gif = bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 || std::memcmp(bytes.data(), "GIF89a", 6) == 0);
  if (!jpeg && !gif) return loadMetafile(std::move(bytes), keepOriginalFormat);
  // The one decoder of each format, with the limits every picture read shares; the Exif
  // orientation is not applied, as OLE pictures show the stored rows.
  std::unique_ptr<gdiplus::Image> decoded;
  if (gdiplus::loadImageFromBytes(bytes.data(), bytes.size(), decoded) != gdiplus::Status::Ok) return nullptr;
  // The pixels alone outlive the decoder's image, so they are converted where they lie.
  QImage img = decoded->pixels();
  decoded.reset();
  // A GIF's first frame is transparent where it has its transparent colour or leaves the
  // screen uncovered.
  bool alpha = false;
  if (gif) {
    const int w = img.width(), h = img.height();
    for (int y = 0; y < h && !alpha; ++y) {
      const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
      for (int x = 0; x < w && !alpha; ++x) alpha = qAlpha(line[x]) != 255;
    }
  }
  std::shared_ptr<Picture> p;
  {
    std::uint8_t* bits = nullptr;
    const Handle h = createDIBSection(img.width(), img.height(), alpha ? 32 : 24, &bits);
    auto dib = find<Dib>(h);
    if (!dib || !dib->fromImage(std::move(img).convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32))) {
      deleteObject(h);
      return nullptr;
    }
    p = createIndirect(PICTYPE_BITMAP, h, true);
    if (p) p->transparent_ = alpha;  // a GIF with a transparent colour
  }
  if (p && keepOriginalFormat) p->source_ = std::move(bytes);
  return p;
}

Picture::~Picture() {
  if (manager_) manager_->released(*this);
  if (own_ && handle_) {
    if (type_ == PICTYPE_ICON)
      destroyIcon(handle_);
    else if (type_ == PICTYPE_METAFILE || type_ == PICTYPE_ENHMETAFILE)
      removeObject(handle_);
    else
      deleteObject(handle_);
  }
  --g_pictures;
}

HRESULT Picture::render(const RenderArgs& args) {
  return manager_ ? manager_->render(*this, args) : nativeRender(args);
}

HRESULT Picture::attributes(std::uint32_t* attr) {
  return manager_ ? manager_->attributes(*this, attr) : nativeAttributes(attr);
}

HRESULT Picture::nativeAttributes(std::uint32_t* attr) const {
  if (!attr) return E_POINTER;
  *attr = 0;
  if (type_ == PICTYPE_METAFILE || type_ == PICTYPE_ENHMETAFILE) *attr = PICTURE_SCALABLE | PICTURE_TRANSPARENT;
  if (transparent_) *attr |= PICTURE_TRANSPARENT;
  return S_OK;
}

HRESULT Picture::nativeRender(const RenderArgs& a) {
  if (a.cx == 0 || a.cy == 0 || a.cxSrc == 0 || a.cySrc == 0) return CTL_E_INVALIDPROPERTYVALUE;
  if (auto meta = findMetafile(handle_)) {
    // Metafiles play into the destination; they are always drawn whole.
    DcPainter painter(a.dc);
    if (!painter.isActive()) return E_FAIL;
    meta->play(painter.painter(), QRectF(a.x, a.y, a.cx, a.cy).normalized());
    return S_OK;
  }
  const QImage img = imageOf(handle_, type_);
  if (img.isNull() || hmWidth_ <= 0 || hmHeight_ <= 0) return E_FAIL;
  // Source rectangle in pixels of the image, from the top.
  const double sx = double(img.width()) / hmWidth_, sy = double(img.height()) / hmHeight_;
  QRectF src(a.xSrc * sx, (hmHeight_ - a.ySrc) * sy, a.cxSrc * sx, -a.cySrc * sy);
  DcPainter painter(a.dc);
  if (!painter.isActive()) return E_FAIL;
  QPainter& p = painter.painter();
  const bool flipX = (a.cx < 0) != (src.width() < 0), flipY = (a.cy < 0) != (src.height() < 0);
  const QRectF dst = QRectF(a.x, a.y, a.cx, a.cy).normalized();
  p.translate(dst.center());
  p.scale(flipX ? -1 : 1, flipY ? -1 : 1);
  // Bitmaps copy their pixels as a blit does; icons and transparent GIFs blend.
  if (type_ == PICTYPE_BITMAP && !transparent_) p.setCompositionMode(QPainter::CompositionMode_Source);
  p.drawImage(QRectF(-dst.width() / 2, -dst.height() / 2, dst.width(), dst.height()), img, src.normalized());
  return S_OK;
}

HRESULT Picture::saveAsFile(Stream& out, bool, std::int64_t* written) {
  std::vector<std::uint8_t> file;
  if (!source_.empty()) {
    file = source_;
  } else if (auto meta = findMetafile(handle_)) {
    file = meta->bytes();
  } else if (type_ == PICTYPE_BITMAP || type_ == PICTYPE_ICON) {
    const QImage img = imageOf(handle_, type_);
    if (img.isNull()) return E_FAIL;
    if (type_ == PICTYPE_BITMAP) {
      file.push_back('B');
      file.push_back('M');
      put32(file, std::uint32_t(54 + img.width() * img.height() * 4));
      put32(file, 0);
      put32(file, 54);
      putDib32(file, img, img.height());
    } else {
      const int w = img.width(), h = img.height();
      const int maskStride = (w + 31) / 32 * 4;
      const std::uint32_t imageSize = 40 + std::uint32_t(w * h * 4 + maskStride * h);
      put16(file, 0);
      put16(file, 1);
      put16(file, 1);
      file.push_back(std::uint8_t(w < 256 ? w : 0));
      file.push_back(std::uint8_t(h < 256 ? h : 0));
      file.push_back(0);
      file.push_back(0);
      put16(file, 1);
      put16(file, 32);
      put32(file, imageSize);
      put32(file, 22);
      putDib32(file, img, 2 * h);
      std::vector<std::uint8_t> mask(std::size_t(maskStride * h), 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          if (qAlpha(img.pixel(x, y)) == 0) mask[std::size_t((h - 1 - y) * maskStride + x / 8)] |= 0x80 >> (x % 8);
      file.insert(file.end(), mask.begin(), mask.end());
    }
  } else {
    return E_FAIL;
  }
  const std::int64_t n = out.write(file.data(), std::int64_t(file.size()));
  if (written) *written = n;
  return n == std::int64_t(file.size()) ? S_OK : E_FAIL;
}

}  // namespace gdi
