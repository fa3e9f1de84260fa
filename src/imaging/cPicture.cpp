// The picture class's public members, its lifecycle and the loading services it shares with
// its readers.
#include "cPicture.h"

#include <QFile>
#include <cmath>

#include "codecs.h"
#include "decoders.h"
#include "dib.h"
#include "icon.h"
#include "metafile.h"
#include "picture_copy.h"
#include "picture_readers.h"
#include "screen.h"
#include "vb.h"

using imaging::PictureHost;
using StdPicture = cPicture::StdPicture;

namespace imaging {
PictureReaders& pictureReaders() {
  // Filled on first use, so that no caller depends on the order of static initialisation.
  static PictureReaders readers = libraryReaders();
  return readers;
}
}  // namespace imaging

namespace {

// The largest source file taken: far beyond any picture within the decoders' limits.
constexpr std::int64_t kMaxSourceBytes = std::int64_t(512) << 20;

// Rounding to the nearest whole number, halves to the even neighbour.
int roundEven(double v) { return int(std::nearbyint(v)); }

// A resolution a file states, as whole dots per inch; a value no device has (beyond what a
// 32-bit number holds, or not a number at all) states nothing.
int statedDpi(double dpi) {
  return std::isfinite(dpi) && dpi > 0 && dpi < 2147483647.0 ? roundEven(dpi) : 0;
}

std::shared_ptr<gdi::Stream> readFile(const QString& name) {
  QFile f(name);
  if (!f.open(QIODevice::ReadOnly)) return nullptr;
  const std::int64_t size = f.size();
  if (size <= 0 || size > kMaxSourceBytes) return nullptr;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (f.read(reinterpret_cast<char*>(bytes.data()), size) != size) return nullptr;
  return gdi::Stream::onBytes(std::move(bytes));
}

}  // namespace

cPicture::cPicture() {
  if (PictureHost* older = FindListener()) UpgradeThunk(older);
}

cPicture::~cPicture() {
  if (callbacks_ && GetThunkAddress() && host_->liveRecords() > 0) host_->detachCallbacks(this);
}

PictureHost* cPicture::FindListener() {
  listener_ = PictureHost::listenerWindow();
  if (!listener_) return nullptr;
  PictureHost* h = PictureHost::heldBy(listener_);
  if (!h) h = PictureHost::create(listener_);
  host_ = h;
  if (!h) return nullptr;
  if (h->version() < PictureHost::kVersion) return h;
  // A host of this version or a newer one is used as it is.
  gdiplusVersion_ = h->gdiplusVersion();
  return nullptr;
}

bool cPicture::GetThunkAddress() const {
  if (!listener_) {
    host_ = nullptr;
    return false;
  }
  // A host that was replaced is gone, and with it the pointer; only then is the window asked.
  if (!host_ || host_->parent() != listener_) host_ = PictureHost::heldBy(listener_);
  return host_ != nullptr;
}

void cPicture::UpgradeThunk(PictureHost* older) {
  QWidget* window = listener_;
  if (!older || !window) return;
  // The window holds one host by its name: the older one gives it up for the new one.
  const QString name = older->objectName();
  older->setObjectName(QString());
  PictureHost* current = PictureHost::create(window);
  if (!current) {
    older->setObjectName(name);  // the window keeps the older host
    return;
  }
  current->takeOver(*older);
  delete older;
  host_ = current;
  gdiplusVersion_ = current->gdiplusVersion();
}

// --- loading --------------------------------------------------------------------------------

StdPicture cPicture::LoadPictureEx(const Source& source, int ManageStyle, bool KeepOriginalFormat, int& ImageDPI,
                                   std::int32_t TransparencyFillColor, int IconIndex, int IconCx, int IconCy,
                                   int IconDepth, QVariant* param) {
  ImageDPI = 0;
  PictureHost* h = host();
  const bool gdip = h && gdiplusVersion_ != 0;
  if (!gdip) {
    ManageStyle = 0;
    KeepOriginalFormat = false;
  } else if (ManageStyle < -1 || ManageStyle > 3) {
    ManageStyle = 0;
  }
  std::shared_ptr<gdi::Stream> stream;
  gdi::Handle handle = 0;
  bool isHandle = false;
  if (const auto* p = std::get_if<StdPicture>(&source)) {
    const StdPicture& pic = *p;
    if (!pic) return nullptr;
    if (!pic->handle() || !gdip || h->recordOf(pic.get())) return pic;
    const short type = pic->type();
    if (type == gdi::PICTYPE_METAFILE || type == gdi::PICTYPE_ENHMETAFILE ||
        ((type == gdi::PICTYPE_BITMAP || type == gdi::PICTYPE_ICON) && HasOriginalFormat(pic))) {
      stream = PictureToStream(pic);
      if (!stream) return pic;
    } else if (type == gdi::PICTYPE_BITMAP || type == gdi::PICTYPE_ICON) {
      handle = pic->handle();
      isHandle = true;
    } else {
      return pic;
    }
  } else if (const auto* s = std::get_if<QString>(&source)) {
    QString t = *s;
    while (t.startsWith(u' ')) t.remove(0, 1);
    while (t.endsWith(u' ')) t.chop(1);
    if (t.isEmpty()) return gdi::Picture::createEmpty();
    stream = readFile(*s);
    if (!stream) return nullptr;
  } else if (const auto* a = std::get_if<QByteArray>(&source)) {
    if (a->size() <= 1) return gdi::Picture::createEmpty();
    if (a->size() > kMaxSourceBytes) return nullptr;
    stream = gdi::Stream::onBytes(std::vector<std::uint8_t>(a->begin(), a->end()));
  } else if (const auto* n = std::get_if<std::int32_t>(&source)) {
    handle = *n;
    isHandle = true;
  } else {
    return nullptr;
  }

  if (isHandle) {
    if (handle == 0) {
      if (ManageStyle != 3) return nullptr;
      // An owner-drawn managed picture that has no image of its own.
      const gdi::Handle mono = gdi::addObject(gdi::Dib::create(1, 1, 1, {}, false));
      StdPicture pic = HandleToStdPicture(mono, gdi::PICTYPE_BITMAP);
      if (!pic) return nullptr;
      return FinishPicture(pic, ManageStyle, nullptr, 0, 0x1000000, false, TransparencyFillColor);
    }
    StdPicture pic;
    if (const std::uint32_t f = WrapBitmapHandle(handle, pic, true, false))
      return FinishPicture(pic, ManageStyle, nullptr, 0, f, false, TransparencyFillColor);
    if (ManageStyle == -1) ManageStyle = 2;
    std::unique_ptr<gdiplus::Image> img;
    const std::uint32_t f = IconHandleToPicture(pic, handle, img, ManageStyle, IconCx, IconCy);
    if (!f || !pic) return nullptr;
    return FinishHandlePicture(pic, ManageStyle, nullptr, 0, std::move(img), f, false);
  }
  return loadFromStream(std::move(stream), ManageStyle, KeepOriginalFormat, ImageDPI, TransparencyFillColor, IconIndex,
                        IconCx, IconCy, IconDepth, param);
}

StdPicture cPicture::loadFromStream(std::shared_ptr<gdi::Stream> stream, int ManageStyle, bool Keep, int& ImageDPI,
                                    std::int32_t Fill, int IconIndex, int IconCx, int IconCy, int IconDepth,
                                    QVariant* param) {
  const std::int64_t length = stream->size();
  stream->seek(0, gdi::STREAM_SEEK_SET);
  if (!host() || gdiplusVersion_ == 0) return StreamToStdPicture(*stream, false, length);

  // The bitmap reader works with -1 taken as 2; the icon reader sees the caller's style.
  int working = ManageStyle;
  if (ManageStyle == -1) Keep = false;
  imaging::LoadRequest request{*this, *stream,   length, working, Keep,      ImageDPI,
                               Fill,  IconIndex, IconCx, IconCy,  IconDepth, param};
  for (imaging::OwnReader reader : imaging::pictureReaders().own) {
    if (!reader) continue;
    stream->seek(0, gdi::STREAM_SEEK_SET);
    imaging::ReaderPicture result;
    const std::uint32_t flags = reader(request, result);
    if (!flags) continue;
    const int style = working < -1 || working > 3 ? -1 : working;
    if (!result.picture) return nullptr;
    const std::uint32_t type = (flags >> 24) & 15;
    if (type == 3 || type == 5)
      return FinishHandlePicture(result.picture, style, stream, length, std::move(result.image), flags, Keep);
    return FinishPicture(result.picture, style, stream, length, flags, Keep, Fill);
  }

  std::unique_ptr<gdiplus::Image> img;
  gdiplus::loadImageFromBytes(stream->bytes().data(), stream->bytes().size(), img);
  if (!img) {
    // Metafiles are read by our own player, not by the GDI+ decoders.
    const auto meta = gdi::Metafile::parse(stream->bytes());
    if (!meta) return nullptr;
    ImageDPI = statedDpi(meta->dpiX());
    return LoadMetafile(ManageStyle, stream, length, meta->kind(), Keep, param);
  }
  if (img->flags() & gdiplus::ImageFlagsHasRealDPI) ImageDPI = statedDpi(img->horizontalResolution());
  switch (GetImageFormatType(img.get())) {
    case 6:
      return LoadJPG(ManageStyle, stream, length, std::move(img), Keep, param);
    case 7:
      return LoadPNGorTIF(false, ManageStyle, stream, length, std::move(img), Keep, Fill, param);
    case 9:
      return LoadPNGorTIF(true, ManageStyle, stream, length, std::move(img), Keep, Fill, param);
    case 8:
      ImageDPI = 0;
      return LoadGIF(ManageStyle, stream, length, std::move(img), Keep, Fill, param);
    default: {
      const gdi::Handle dib = RenderToDIB(*img, SysColorToARGB(Fill));
      img.reset();
      if (!dib) return nullptr;
      return FinishPicture(HandleToStdPicture(dib, gdi::PICTYPE_BITMAP), ManageStyle, nullptr, 0, 0x1000000, false,
                           Fill);
    }
  }
}

bool cPicture::RaiseBeforeLoad(int PicType, imaging::PicProps& props, int& ManageStyle, bool& Keep, std::int32_t& Fill,
                               QVariant* param, int* iconVars) {
  bool abort = false;
  int none[4] = {0, 0, 0, 0};
  int* icon = iconVars ? iconVars : none;
  if (BeforeLoad) BeforeLoad(PicType, props, ManageStyle, Keep, icon[0], icon[1], icon[2], icon[3], Fill, abort, param);
  return abort;
}

StdPicture cPicture::HandleToStdPicture(gdi::Handle handle, short type) {
  return gdi::Picture::createIndirect(type == 5 ? gdi::PICTYPE_ICON : type, handle, true);
}

StdPicture cPicture::StreamToStdPicture(gdi::Stream& stream, bool Keep, std::int64_t length) {
  return gdi::Picture::load(stream, length, Keep);
}

std::shared_ptr<gdi::Stream> cPicture::PictureToStream(const StdPicture& picture) {
  if (!usable(picture)) return nullptr;
  if (HasOriginalFormat(picture) && host() && host()->streamLength(picture.get()) > 0) {
    auto bytes = host()->copySource(picture.get());
    if (bytes.empty()) return nullptr;
    return gdi::Stream::onBytes(std::move(bytes));
  }
  auto s = gdi::Stream::create();
  if (picture->saveAsFile(*s, !picture->keepOriginalFormat(), nullptr) != gdi::S_OK) return nullptr;
  s->seek(0, gdi::STREAM_SEEK_SET);
  return s;
}

std::uint32_t cPicture::WrapBitmapHandle(gdi::Handle bitmap, StdPicture& picture, bool analyzeAlpha, bool adopt) {
  gdi::BitmapInfo info;
  if (!gdi::getBitmapInfo(bitmap, info)) return 0;
  if (adopt) {
    picture = HandleToStdPicture(bitmap, gdi::PICTYPE_BITMAP);
    return picture ? 0x1000000 : 0;
  }
  const gdi::Handle copy = gdi::copyImage(bitmap, gdi::IMAGE_BITMAP, 0, 0, gdi::LR_CREATEDIBSECTION);
  picture = HandleToStdPicture(copy, gdi::PICTYPE_BITMAP);
  if (!picture) {
    gdi::deleteObject(copy);
    return 0;
  }
  std::uint32_t flags = 0x1000000;
  if (analyzeAlpha && info.bitCount == 32) flags |= AnalyzeAlpha(nullptr, copy);
  return flags;
}

std::uint32_t cPicture::IconHandleToPicture(StdPicture& picture, gdi::Handle icon,
                                            std::unique_ptr<gdiplus::Image>& image, int mode, int width, int height) {
  // The icon conversion and the copy at a size call each other; one round each way is all a
  // conversion needs.
  if (iconDepth_ > 1) return 0;
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(++x) {}
    ~Depth() { --d; }
  } depth(iconDepth_);
  if (width < 1 || height < 1) width = height = 0;
  gdi::IconInfo info;
  if (!gdi::getIconInfo(icon, info)) return 0;
  gdi::deleteObject(info.hbmMask);
  gdi::deleteObject(info.hbmColor);
  std::uint32_t flags = info.fIcon ? 0x3000000 : 0x5000000;
  gdi::Handle source = icon;
  if (mode == -1) {
    picture = HandleToStdPicture(icon, gdi::PICTYPE_ICON);
  } else if (mode >= 0 && mode <= 3) {
    const gdi::Handle copy = gdi::copyImage(icon, gdi::IMAGE_ICON, width, height, 0);
    if (!copy) return 0;
    picture = HandleToStdPicture(copy, gdi::PICTYPE_ICON);
    if (!picture) {
      gdi::destroyIcon(copy);
      return 0;
    }
    source = copy;
    if (mode != 2) return flags;
  } else if (mode != -2) {
    return 0;
  }
  auto ic = gdi::find<gdi::Icon>(source);
  if (!ic) return 0;
  auto own = gdi::find<gdi::Icon>(icon);
  if (source != icon && own && (own->width() != ic->width() || own->height() != ic->height()) &&
      imaging::pictureReaders().copier) {
    // At another size than its own: the icon drawn at that size by the copy at a size, which
    // takes the icon's pixels through this conversion again (mode -2, one level down). The
    // handle stays the caller's.
    StdPicture original = gdi::Picture::createIndirect(gdi::PICTYPE_ICON, icon, false);
    if (original) {
      StdPicture drawn;
      int cx = ic->width(), cy = ic->height();
      std::unique_ptr<gdiplus::Image> unused;
      imaging::CopyRequest request{original, drawn, unused, false, cx, cy, 0, false, true, false, 0};
      const std::uint32_t copied = imaging::pictureReaders().copier(*this, request);
      auto dib = drawn ? gdi::find<gdi::Dib>(drawn->handle()) : nullptr;
      if (copied && dib) {
        QImage pixels = dib->toImage().convertToFormat(QImage::Format_ARGB32);
        if (copied & 0x40000000) pixels.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        image =
            gdiplus::Image::fromImage(pixels.convertToFormat(QImage::Format_ARGB32), gdiplus::PixelFormat32bppPARGB);
      }
    }
  }
  if (!image) image = gdiplus::Image::fromImage(ic->toImage(), gdiplus::PixelFormat32bppPARGB);
  if (!image) return 0;
  std::uint32_t kind = (ic->colour && ic->colour->bitCount() == 32) ? AnalyzeAlpha(image.get(), 0) : 0;
  // Without alpha the mask tells transparency.
  if (!(kind & 0x60000000)) kind = 0x20000001;
  return flags | kind;
}

StdPicture cPicture::FinishPicture(StdPicture picture, int ManageStyle, std::shared_ptr<gdi::Stream> stream,
                                   std::int64_t length, std::uint32_t flags, bool Keep, std::int32_t) {
  if (ManageStyle == -1) {
    ManageStyle = 2;
    Keep = false;
  }
  std::shared_ptr<gdi::Stream> kept;
  if (flags & 0x400) {
    if (Keep) {
      kept = std::move(stream);
      if (ManageStyle == 0) ManageStyle = 1;
    } else {
      flags &= ~0x400u;
    }
  }
  if (ManageStyle > 0 && picture && host()) {
    std::unique_ptr<gdiplus::Image> gimg;
    if (ManageStyle == 2) {
      if (flags & 0x60000000) {
        StdPicture same = picture;
        if (!ConvertAlphaFormat(gimg, same, (flags & 0x20000000) != 0, true)) return picture;
        flags |= 0x2;
      } else {
        gdi::BitmapInfo info;
        if (gdi::getBitmapInfo(picture->handle(), info) && !info.bits && info.bitCount <= 8) {
          StdPicture copy;
          if (!WrapBitmapHandle(picture->handle(), copy, false, false)) return picture;
          picture = copy;
        }
      }
      flags |= 0x300;
    }
    ManagePicture(picture, flags | std::uint32_t(ManageStyle - 1) << 12, std::move(gimg), kept, length);
  }
  return picture;
}

StdPicture cPicture::FinishHandlePicture(StdPicture picture, int ManageStyle, std::shared_ptr<gdi::Stream> stream,
                                         std::int64_t length, std::unique_ptr<gdiplus::Image> image,
                                         std::uint32_t flags, bool Keep) {
  if (ManageStyle == -1) {
    ManageStyle = 2;
    Keep = false;
  }
  if (!image) {
    if (ManageStyle == 2) ManageStyle = 1;
  } else if (ManageStyle != 2) {
    image.reset();
  }
  std::shared_ptr<gdi::Stream> kept;
  if (Keep && stream) {
    kept = std::move(stream);
    flags |= 0x400;
    if (ManageStyle == 0) ManageStyle = 1;
  }
  if (ManageStyle > 0 && picture && host()) {
    if (ManageStyle == 2) flags |= 0x302;
    ManagePicture(picture, flags | std::uint32_t(ManageStyle - 1) << 12 | 1, std::move(image), kept, length);
  }
  return picture;
}

std::uint32_t cPicture::SysColorToARGB(std::int32_t colour) { return imaging::oleColorToRgb(std::uint32_t(colour)); }

int cPicture::GetScreenDPI(int* colourDepth) {
  if (colourDepth) *colourDepth = gdi::screen().bitsPerPixel;
  return gdi::screen().dpiX;
}

std::int32_t cPicture::ScanlineBytes(std::int32_t width, std::int32_t bits) {
  return std::int32_t(((std::int64_t(width) * bits + 31) & ~std::int64_t(31)) / 8);
}

std::uint32_t cPicture::SwapLong(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
}

bool cPicture::ManagePicture(const StdPicture& picture, std::uint32_t flags, std::unique_ptr<gdiplus::Image> image,
                             std::shared_ptr<gdi::Stream> stream, std::int64_t length) {
  if (!picture || !host()) return false;
  return host()->manage(*picture, flags, std::move(image), std::move(stream), length, kClassStamp);
}

void cPicture::RestorePictureVTable(const StdPicture& picture) {
  if (!picture || !host()) return;
  SetCallBacks(picture, QString(), 0, false);
  host()->unmanage(*picture);
}

// --- queries and settings -------------------------------------------------------------------

bool cPicture::ownedManaged(const StdPicture& p) const {
  return usable(p) && host() && host()->recordOf(p.get()) > 0 && host()->classStamp(p.get()) == kClassStamp;
}

int cPicture::IsManaged(const StdPicture& p) {
  if (!usable(p) || !host()) return 0;
  const std::uint32_t f = host()->flags(p.get());
  return f ? int((f >> 12) & 3) + 1 : 0;
}

bool cPicture::HasOriginalFormat(const StdPicture& p) {
  if (!usable(p)) return false;
  if (p->keepOriginalFormat()) return true;
  return host() && (host()->flags(p.get()) & 0x400);
}

int cPicture::HasTransparency(const StdPicture& p) {
  if (!usable(p)) return 0;
  auto own = [&] {
    std::uint32_t a = 0;
    p->nativeAttributes(&a);
    return (a & gdi::PICTURE_TRANSPARENT) ? 1 : 0;
  };
  if (p->type() == gdi::PICTYPE_METAFILE || p->type() == gdi::PICTYPE_ENHMETAFILE || !host()) return own();
  const std::uint32_t f = host()->flags(p.get());
  const std::uint32_t type = (f >> 24) & 15;
  if (type == 0) {
    if (p->type() == gdi::PICTYPE_BITMAP) return int(AnalyzeAlpha(nullptr, p->handle()) >> 29);
    return own();
  }
  if (type == 8 || type == 9 || type == 15)
    if (const gdiplus::Image* img = host()->image(p.get())) return int(AnalyzeAlpha(img, 0) >> 29);
  return int((f >> 29) & 3);
}

int cPicture::PictureTypeEx(const StdPicture& p) {
  if (!usable(p)) return 0;
  if (host() && host()->recordOf(p.get())) {
    const int type = int((host()->flags(p.get()) >> 24) & 15);
    if (type) return type == 15 ? 7 : type;
  }
  return p->type();
}

void cPicture::PaintPictureEx(gdi::Handle dc, const StdPicture& p, float X1, float Y1, float Width1, float Height1,
                              float X2, float Y2, float Width2, float Height2) {
  if (!usable(p) || dc == 0) return;
  Width2 = std::abs(Width2);
  Height2 = std::abs(Height2);
  X2 = std::abs(X2);
  Y2 = std::abs(Y2);
  const gdi::Screen& s = gdi::screen();
  const double d = GetScreenDPI();
  if (Width1 == 0) Width1 = float(roundEven(p->width() / 2540.0 * 1440 / s.twipsPerPixelX()));
  if (Height1 == 0) Height1 = float(roundEven(p->height() / 2540.0 * 1440 / s.twipsPerPixelY()));
  X2 = float(roundEven(X2 * 2540 / d));
  Y2 = float(roundEven(Y2 * 2540 / d));
  Width2 = Width2 != 0 ? float(roundEven(Width2 * 2540 / d)) : float(p->width());
  Height2 = Height2 != 0 ? float(roundEven(Height2 * 2540 / d)) : float(p->height());
  paintMirrored(dc, p, X1, Y1, Width1, Height1, X2, Y2, Width2, Height2);
}

namespace {

// Units of a ScaleMode per inch, horizontally or vertically; 0 for a mode without one.
double unitsPerInch(int mode, bool horizontal) {
  const gdi::Screen& s = gdi::screen();
  switch (mode) {
    case 1: return 1440;
    case 2: return 72;
    case 3: return 1440.0 / (horizontal ? s.twipsPerPixelX() : s.twipsPerPixelY());
    case 4: return horizontal ? 12 : 6;  // a character cell is 120 x 240 twips
    case 5: return 1;
    case 6: return 25.4;
    case 7: return 2.54;
    case 8: return 2540;
    default: return 0;
  }
}

}  // namespace

void cPicture::PaintPictureEx(const PaintTarget& target, const StdPicture& p, float X1, float Y1, float Width1,
                              float Height1, float X2, float Y2, float Width2, float Height2) {
  const int m = target.ScaleMode;
  if (!usable(p) || target.hDC == 0 || unitsPerInch(m, true) == 0) return;
  auto scaled = [m](double v, int to, bool horizontal) {
    return float(v * unitsPerInch(to, horizontal) / unitsPerInch(m, horizontal));
  };
  auto fromHimetric = [](double v, bool horizontal) {
    return float(v * unitsPerInch(3, horizontal) / unitsPerInch(8, horizontal));
  };
  X1 = scaled(X1, 3, true);
  Y1 = scaled(Y1, 3, false);
  Width1 = Width1 != 0 ? scaled(Width1, 3, true) : fromHimetric(p->width(), true);
  Height1 = Height1 != 0 ? scaled(Height1, 3, false) : fromHimetric(p->height(), false);
  X2 = scaled(std::abs(X2), 8, true);
  Y2 = scaled(std::abs(Y2), 8, false);
  Width2 = Width2 != 0 ? scaled(std::abs(Width2), 8, true) : float(p->width());
  Height2 = Height2 != 0 ? scaled(std::abs(Height2), 8, false) : float(p->height());
  paintMirrored(target.hDC, p, X1, Y1, Width1, Height1, X2, Y2, Width2, Height2);
}

void cPicture::paintMirrored(gdi::Handle dc, const StdPicture& p, float X1, float Y1, float Width1, float Height1,
                             float X2, float Y2, float Width2, float Height2) {
  if (Width1 < 0) {
    X2 += Width2;
    Width2 = -Width2;
    X1 += Width1;
    Width1 = -Width1;
  }
  if (Height1 < 0) {
    Y2 += Height2;
    Height2 = -Height2;
    Y1 += Height1;
    Height1 = -Height1;
  }
  gdi::RenderArgs a;
  a.dc = dc;
  a.x = roundEven(X1);
  a.y = roundEven(Y1);
  a.cx = roundEven(Width1);
  a.cy = roundEven(Height1);
  a.xSrc = roundEven(X2);
  a.ySrc = roundEven(p->height() - Y2);
  a.cxSrc = roundEven(Width2);
  a.cySrc = roundEven(-Height2);
  p->render(a);
}

int cPicture::GetFramePageCount(const StdPicture& p) {
  if (!usable(p) || !host()) return 0;
  const std::uint32_t f = host()->flags(p.get());
  const std::uint32_t type = (f >> 24) & 15;
  if (type != 8 && type != 9 && type != 15) return 0;
  if (!(f & 0x10000000)) return 1;
  std::unique_ptr<gdiplus::Image> loaded;
  const gdiplus::Image* img = host()->image(p.get());
  if (!img) {
    if (auto s = PictureToStream(p)) gdiplus::loadImageFromBytes(s->bytes().data(), s->bytes().size(), loaded);
    img = loaded.get();
  }
  if (!img) return 1;
  const QUuid dim = type == 8 ? img->frameDimensions().front() : gdiplus::FrameDimensionPage();
  const unsigned n = img->frameCount(dim);
  return n ? int(n) : 1;
}

bool cPicture::SetFrameGifPng(const StdPicture& p, int FrameNumber, QWidget* refresh) {
  bool ok = false;
  const int count = GetFramePageCount(p);
  if (count >= 2 && FrameNumber >= 1 && FrameNumber <= count) {
    gdiplus::Image* img = host()->image(p.get());
    const std::uint32_t f = host()->flags(p.get());
    const std::uint32_t type = (f >> 24) & 15;
    if (img && !(f & 0x80) && (type == 8 || type == 15)) {
      const QUuid dim = type == 8 ? img->frameDimensions().front() : gdiplus::FrameDimensionPage();
      ok = img->selectActiveFrame(dim, unsigned(FrameNumber - 1)) == gdiplus::Status::Ok;
    }
    if (refresh) refresh->update();
  }
  return ok;
}

StdPicture cPicture::SetPageTIF(const StdPicture& p, int PageNumber, QWidget* refresh) {
  const int count = GetFramePageCount(p);
  if (count < 2 || PageNumber < 1 || PageNumber > count) return p;
  PictureHost* h = host();
  const std::uint32_t f = h->flags(p.get());
  gdiplus::Image* img = h->image(p.get());
  if (((f >> 24) & 15) != 9 || (f & 0x80) || !img) return p;
  const QSize before(img->width(), img->height());
  img->selectActiveFrame(gdiplus::FrameDimensionPage(), unsigned(PageNumber - 1));
  if (QSize(img->width(), img->height()) == before) {
    if (refresh) refresh->update();
    return p;
  }
  if (h->classStamp(p.get()) != kClassStamp) return p;
  const gdi::Handle dib = RenderToDIB(*img, 0);
  StdPicture fresh = HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!fresh) {
    gdi::deleteObject(dib);
    return p;
  }
  if (ManagePicture(fresh, 0, nullptr, nullptr, 0)) {
    // The new page's picture takes over the old record's state.
    std::unique_ptr<imaging::DataBlock> data = h->setDataBlock(p.get(), nullptr);
    std::unique_ptr<imaging::CallbackRecord> cb = h->setCallback(p.get(), nullptr);
    h->unmanage(*p);
    h->setFlags(fresh.get(), f);
    h->setCallback(fresh.get(), std::move(cb));
    h->setDataBlock(fresh.get(), std::move(data));
  }
  return fresh;
}

bool cPicture::SetCallBacks(const StdPicture& p, const QString& key, int Mode, bool KeepHimetricValues) {
  if (!usable(p) || Mode < 0 || Mode > 4 || !host() || !host()->recordOf(p.get())) return false;
  PictureHost* h = host();
  std::uint32_t f = h->flags(p.get());
  if ((f & 0x80) && Mode > 0) return false;
  if (Mode > 0) {
    if (h->classStamp(p.get()) != kClassStamp) return false;
    bool handled = false;
    if (EventHandler) EventHandler(handled);
    if (!handled)
      throw vb::VbError(438, QStringLiteral("cPicture"),
                        QStringLiteral("Object doesn't support this property or method"));
    if (Mode == 4) {
      if (!(f & 0x2000)) return false;
      Mode = 1;
    } else if (f & 0x2000) {
      return false;
    }
  }
  if (f & 0x70) {
    if (Mode == 0) {
      h->setCallback(p.get(), nullptr);
      h->setFlags(p.get(), f & ~0x70u);
      callbacks_ = true;
      return true;
    }
    f = std::uint32_t(Mode) * 16 | (f & ~0x70u);
    h->setCallback(p.get(), std::make_unique<imaging::CallbackRecord>(imaging::CallbackRecord{key, this}));
  } else {
    if (Mode == 0) return true;
    h->setCallback(p.get(), std::make_unique<imaging::CallbackRecord>(imaging::CallbackRecord{key, this}));
    f |= std::uint32_t(Mode) * 16;
  }
  if (!KeepHimetricValues) f |= 0x40;
  h->setFlags(p.get(), f);
  callbacks_ = true;
  return true;
}

bool cPicture::setFlagsOf(const StdPicture& p, QWidget* refresh, const std::function<bool(std::uint32_t&)>& change) {
  if (!ownedManaged(p)) return false;
  std::uint32_t f = host()->flags(p.get());
  if (!change(f)) return false;
  host()->setFlags(p.get(), f);
  if (refresh) refresh->update();
  return true;
}

bool cPicture::SetScalingQuality(const StdPicture& p, int Quality, QWidget* refresh) {
  return setFlagsOf(p, refresh, [&](std::uint32_t& f) {
    if (Quality < 0 || Quality > 3) return false;
    const std::uint32_t n = (f & ~0x300u) | std::uint32_t(Quality) << 8;
    if (!(n & 0x1000)) return false;
    f = n;
    return true;
  });
}

bool cPicture::SetImageAttributesHandle(const StdPicture& p, const gdiplus::ImageAttributes* attr, QWidget* refresh) {
  return setFlagsOf(p, refresh, [&](std::uint32_t& f) {
    if (!(f & 0x1000)) return false;
    imaging::DataBlock* d = host()->dataBlock(p.get());
    if (!d) {
      host()->setDataBlock(p.get(), std::make_unique<imaging::DataBlock>());
      d = host()->dataBlock(p.get());
    }
    d->attributes.reset();
    if (attr) {
      d->attributes = std::make_unique<gdiplus::ImageAttributes>(*attr);
      f |= 0x4;
    } else {
      f &= ~0x4u;
    }
    return true;
  });
}

bool cPicture::SetForceGDIplusUsage(const StdPicture& p, bool Apply, QWidget* refresh) {
  return setFlagsOf(p, refresh, [&](std::uint32_t& f) {
    const std::uint32_t n = Apply ? (f | 0x8) : (f & ~0x8u);
    if (!(n & 0x1000)) return false;
    f = n;
    return true;
  });
}

bool cPicture::SetForceTransparency(const StdPicture& p, bool Apply, QWidget* refresh) {
  return setFlagsOf(p, refresh, [&](std::uint32_t& f) {
    f = Apply ? (f | 0x1) : (f & ~0x1u);
    return true;
  });
}

std::unique_ptr<gdiplus::Image> cPicture::GDIplusImage(const StdPicture& p) {
  std::unique_ptr<gdiplus::Image> img;
  if (auto s = PictureToStream(p)) gdiplus::loadImageFromBytes(s->bytes().data(), s->bytes().size(), img);
  return img;
}

void cPicture::GetImageDimensions(const StdPicture& p, int& Width, int& Height, int ScaleFromDPI, int ScaleToDPI) {
  Width = Height = 0;
  if (!usable(p)) return;
  const int d = GetScreenDPI();
  Width = roundEven(p->width() / 2540.0 * d);
  Height = roundEven(p->height() / 2540.0 * d);
  if (ScaleFromDPI != ScaleToDPI) {
    const double from = ScaleFromDPI ? ScaleFromDPI : 96, to = ScaleToDPI ? ScaleToDPI : d;
    Width = roundEven(to / from * Width);
    Height = roundEven(to / from * Height);
  }
}

bool cPicture::GetGifPngAnimationInfo(const StdPicture& p, std::vector<std::int64_t>& FrameDurations) {
  if (!usable(p)) return false;
  const int count = GetFramePageCount(p);
  if (count < 2 || PictureTypeEx(p) == 9) return false;
  const gdiplus::Image* img = host()->image(p.get());
  if (!img) return false;
  FrameDurations.assign(std::size_t(count) + 1, 0);
  if (const gdiplus::PropertyItem* delays = img->property(gdiplus::PropertyTagFrameDelay)) {
    const std::size_t n = std::min<std::size_t>(delays->value.size() / 4, std::size_t(count));
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* b = delays->value.data() + 4 * i;
      // Hundredths of a second to milliseconds, in 64 bits: large delays stay whole.
      std::int64_t d = std::int32_t(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
                                    std::uint32_t(b[3]) << 24);
      if (d >= 0 && d < 0xF000000)
        d *= 10;
      else if (d < 0)
        d = 0;
      FrameDurations[i + 1] = d;
    }
  }
  if (const gdiplus::PropertyItem* loop = img->property(gdiplus::PropertyTagLoopCount)) {
    if (loop->value.size() <= 4) {
      std::int64_t v = 0;
      for (std::size_t i = 0; i < loop->value.size(); ++i) v |= std::int64_t(loop->value[i]) << (8 * i);
      FrameDurations[0] = v;
    }
  }
  return true;
}

StdPicture cPicture::RemoveAlphaChannel(const StdPicture& p) {
  if (!usable(p) || p->type() != gdi::PICTYPE_BITMAP) return p;
  gdi::BitmapInfo info;
  if (!gdi::getBitmapInfo(p->handle(), info) || info.bitCount != 32 || !AnalyzeAlpha(nullptr, p->handle())) return p;
  const gdi::Handle copy = gdi::copyImage(p->handle(), gdi::IMAGE_BITMAP, 0, 0, gdi::LR_CREATEDIBSECTION);
  auto dib = gdi::find<gdi::Dib>(copy);
  if (!dib || dib->bitCount() != 32) {
    gdi::deleteObject(copy);
    return p;
  }
  for (int y = 0; y < dib->absHeight(); ++y) {
    std::uint8_t* row = dib->scanLine(y);
    for (int x = 0; x < dib->width(); ++x) row[4 * x + 3] = 255;
  }
  StdPicture out = HandleToStdPicture(copy, gdi::PICTYPE_BITMAP);
  if (!out) gdi::deleteObject(copy);
  return out ? out : p;
}

StdPicture cPicture::WrapImageHandleToStdPicture(gdi::Handle handle) {
  if (!handle) return nullptr;
  StdPicture pic;
  if (WrapBitmapHandle(handle, pic, true, false)) return pic;
  std::unique_ptr<gdiplus::Image> none;
  if (IconHandleToPicture(pic, handle, none, 0, 0, 0)) return pic;
  return nullptr;
}

bool cPicture::GetImageData(const StdPicture& p, QByteArray& arrData) {
  auto s = PictureToStream(p);
  if (!s) return false;
  arrData = QByteArray(reinterpret_cast<const char*>(s->bytes().data()), qsizetype(s->bytes().size()));
  return true;
}

StdPicture cPicture::UnmanagePicture(const StdPicture& p, bool Purge, std::int32_t Fill) {
  if (!usable(p)) return p;
  PictureHost* h = host();
  StdPicture replacement;
  if (h && h->recordOf(p.get())) {
    if (Purge) {
      const std::uint32_t f = h->flags(p.get());
      const std::uint32_t type = (f >> 24) & 15;
      auto drawn = [&](const gdiplus::Image& img) {
        return HandleToStdPicture(RenderToDIB(img, SysColorToARGB(Fill)), gdi::PICTYPE_BITMAP);
      };
      if ((type == 1 || type == 7 || type == 9) && (f & 0x70000000)) {
        std::unique_ptr<gdiplus::Image> loaded;
        gdiplus::Image* img = h->image(p.get());
        if (!img && type != 1) {
          const auto bytes = h->copySource(p.get());
          if (!bytes.empty()) gdiplus::loadImageFromBytes(bytes.data(), bytes.size(), loaded);
          img = loaded.get();
        } else if (!img) {
          StdPicture same = p;
          ConvertAlphaFormat(loaded, same, (f & 0x60000000) == 0x20000000, true);
          img = loaded.get();
        }
        if (img) {
          if (f & 0x10000000) img->selectActiveFrame(gdiplus::FrameDimensionPage(), 0);
          replacement = drawn(*img);
        }
      } else if (type == 6) {
        WrapBitmapHandle(p->handle(), replacement, false, false);
      } else if (type == 8) {
        if (h->stream(p.get())) {
          std::unique_ptr<gdiplus::Image> loaded;
          gdiplus::Image* img = h->image(p.get());
          if (!img) {
            const auto bytes = h->copySource(p.get());
            if (!bytes.empty()) gdiplus::loadImageFromBytes(bytes.data(), bytes.size(), loaded);
            img = loaded.get();
          }
          if (img) replacement = drawn(*img);
        } else if (auto s = PictureToStream(p)) {
          replacement = StreamToStdPicture(*s, false, s->size());
        }
      }
    }
    RestorePictureVTable(p);
  } else if (Purge && HasOriginalFormat(p)) {
    if (auto s = PictureToStream(p)) replacement = StreamToStdPicture(*s, false, s->size());
  }
  return replacement ? replacement : p;
}

StdPicture cPicture::CopyStdPicture(const StdPicture& p, int Width, int Height, int ManageStyle, bool SendToEvents,
                                    bool ReturnAsIcon, bool BmpAlphaTypeAsPARGB, bool FillTransparency,
                                    std::int32_t FillTransparencyColor) {
  if (!usable(p) || !host() || gdiplusVersion_ == 0) return nullptr;
  if (SendToEvents && (host()->flags(p.get()) & 0x80)) return nullptr;
  imaging::PictureCopier copier = imaging::pictureReaders().copier;
  if (!copier) return nullptr;
  if (ManageStyle < -1 || ManageStyle > 3) ManageStyle = 0;
  if (Width < 0) Width = 0;
  if (Height < 0) Height = 0;
  if (ManageStyle == -1) ManageStyle = ReturnAsIcon ? 2 : 0;
  StdPicture result;
  std::unique_ptr<gdiplus::Image> iconImage;
  imaging::CopyRequest request{p,
                               result,
                               iconImage,
                               SendToEvents,
                               Width,
                               Height,
                               ManageStyle,
                               ReturnAsIcon,
                               BmpAlphaTypeAsPARGB,
                               FillTransparency,
                               FillTransparencyColor};
  const std::uint32_t flags = copier(*this, request);
  if (!flags || !result) return nullptr;
  if (((flags >> 24) & 15) == 3)
    return FinishHandlePicture(result, ManageStyle, nullptr, 0, std::move(iconImage), flags, false);
  return FinishPicture(result, ManageStyle, nullptr, 0, flags, false, 0);
}

// --- drawing events -------------------------------------------------------------------------

void cPicture::RaiseRenderEvent(bool before, const QString& key, gdi::Picture& picture, gdi::Handle hDC, int& x, int& y,
                                int& cx, int& cy, int srcX, int srcY, int srcCx, int srcCy, gdiplus::Image* image,
                                gdi::Handle& bufferDC, bool& ignoreBuffer, bool& doNotRender) {
  if (srcCy == 0) {
    if (OwnerDrawn) OwnerDrawn(key, picture, hDC, x, y, cx, cy);
    doNotRender = true;
    return;
  }
  if (before) {
    bool ignore = true, dont = false;
    if (PreRender) PreRender(key, picture, hDC, x, y, cx, cy, srcX, srcY, srcCx, srcCy, image, bufferDC, ignore, dont);
    ignoreBuffer = ignore;
    doNotRender = dont;
  } else if (PostRender) {
    PostRender(key, picture, hDC, x, y, cx, cy, srcX, srcY, srcCx, srcCy, image, bufferDC);
  }
}

void cPicture::RaiseHGraphicsEvent(const QString& key, gdiplus::Graphics& graphics, int& x, int& y, int& cx, int& cy,
                                   gdi::Picture& picture, gdiplus::Image* image) {
  if (SetHGraphics) SetHGraphics(key, graphics, x, y, cx, cy, picture, image);
}
