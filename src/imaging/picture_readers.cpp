// Our own readers plugged into the picture class: they read the source bytes and raise the
// class's BeforeLoad, and their pixels become the pictures and GDI+ images the class keeps.
#include "picture_readers.h"

#include <QFile>
#include <cstring>
#include <tuple>

#include "dib.h"
#include "icon.h"
#include "metafile.h"
#include "picture_copy.h"
#include "readers_alpha.h"
#include "readers_apng.h"
#include "readers_bmp.h"
#include "readers_ico.h"

namespace imaging {
namespace {

using gdi::StdPicture;

// The caller's variables and the readers' options, side by side, so that each can be copied
// to the other.
auto variables(LoadRequest& rq) {
  return std::tie(rq.ManageStyle, rq.KeepOriginalFormat, rq.ImageDPI, rq.TransparencyFillColor, rq.IconIndex, rq.IconCx,
                  rq.IconCy, rq.IconDepth);
}
auto variables(LoadOptions& o) {
  return std::tie(o.manageStyle, o.keepOriginalFormat, o.imageDpi, o.transparencyFillColor, o.iconIndex, o.iconCx,
                  o.iconCy, o.iconDepth);
}

LoadEventHandler beforeLoadOf(LoadRequest& rq) {
  return [&rq](LoadEvent& ev) {
    LoadOptions& o = ev.options;
    std::int32_t fill = std::int32_t(o.transparencyFillColor);
    int icon[4] = {o.iconIndex, o.iconCx, o.iconCy, o.iconDepth};
    ev.abortLoading = rq.owner.RaiseBeforeLoad(ev.picType, ev.props, o.manageStyle, o.keepOriginalFormat, fill,
                                               rq.pLoadPicEventParam, icon);
    o.transparencyFillColor = std::uint32_t(fill);
    o.iconIndex = icon[0];
    o.iconCx = icon[1];
    o.iconCy = icon[2];
    o.iconDepth = icon[3];
  };
}

// A bottom-up 32-bit DIB section of the pixels as they are: premultiplied ones stay so.
gdi::Handle dibOf(const QImage& image) {
  const QImage img = image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_ARGB32_Premultiplied
                         ? image
                         : image.convertToFormat(QImage::Format_ARGB32);
  const gdi::Handle h = gdi::createDIBSection(img.width(), img.height(), 32);
  auto dib = gdi::find<gdi::Dib>(h);
  if (!dib) return 0;
  for (int y = 0; y < img.height(); ++y)
    std::memcpy(dib->scanLine(y), img.constScanLine(y), 4 * std::size_t(img.width()));
  return h;
}

// Runs a reader over the source with the class's BeforeLoad; false when the bytes are not its
// format. The caller's variables come back as the reader and the event left them.
using Parser = ReaderResult (*)(Bytes, LoadOptions&, const LoadEventHandler&);
bool taken(Parser parse, LoadRequest& rq, ReaderResult& res) {
  LoadOptions o;
  variables(o) = variables(rq);
  res = parse(rq.stream.bytes(), o, beforeLoadOf(rq));
  if (!res.flags) return false;
  variables(rq) = variables(o);
  return true;
}

std::uint32_t readBmp(LoadRequest& rq, ReaderPicture& out) {
  ReaderResult res;
  const int callerStyle = rq.ManageStyle;
  if (rq.ManageStyle == -1) rq.ManageStyle = 2;
  if (!taken(parseBmp, rq, res)) {
    rq.ManageStyle = callerStyle;
    return 0;
  }
  if (res.image.isNull()) return res.flags;
  const gdi::Handle dib = dibOf(res.image);
  out.picture = cPicture::HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!out.picture) {
    gdi::deleteObject(dib);
    return res.flags;
  }
  // A file the picture loader takes whole (core and 40-byte headers) stays with the picture
  // itself; the reader marks the others for the record.
  if (rq.KeepOriginalFormat && !(res.flags & kSourceKept)) out.picture->keepSourceBytes(rq.stream.bytes());
  return res.flags;
}

std::uint32_t readIco(LoadRequest& rq, ReaderPicture& out) {
  ReaderResult res;
  // The icon reader's load event shows a fill colour of its own, 0, and keeps no change to it.
  const std::int32_t fill = rq.TransparencyFillColor;
  rq.TransparencyFillColor = 0;
  const bool isIcon = taken(parseIco, rq, res);
  rq.TransparencyFillColor = fill;
  if (!isIcon) return 0;
  if (res.image.isNull()) return res.flags;
  const bool cursor = (res.flags & kTypeMask) == kTypeCursor;
  const gdi::Handle icon =
      gdi::iconFromImage(res.image.convertToFormat(QImage::Format_ARGB32), !cursor, res.hotSpotX, res.hotSpotY);
  if (!icon) return res.flags;
  // A DIB entry is built for style 2 when the caller leaves the choice (-1); a PNG entry keeps
  // -1, so that it is built without a GDI+ image and finished as style 1.
  const bool png = !res.pngEntry.isNull();
  const int style = rq.ManageStyle == -1 && !png ? 2 : rq.ManageStyle;
  const std::uint32_t made =
      rq.owner.IconHandleToPicture(out.picture, icon, out.image, style < 0 || style > 3 ? 0 : style, 0, 0);
  gdi::destroyIcon(icon);
  if (!made) {
    out.picture.reset();
    out.image.reset();
    return res.flags;
  }
  if (!(res.flags & kAlphaKindMask) && out.image) res.flags |= made & (kAlphaKindMask | 1);
  if (style == 2 && png) {
    // The image kept with a PNG entry is the PNG's own, brought to the icon's size by the
    // copy at a size when the two differ.
    auto png = gdiplus::Image::fromImage(res.pngEntry, gdiplus::PixelFormat32bppARGB);
    int w = res.image.width(), h = res.image.height();
    const PictureCopier copier = pictureReaders().copier;
    if (png && res.pngEntry.size() != res.image.size() && copier) {
      StdPicture none;
      std::unique_ptr<gdiplus::Image> unused;
      CopyRequest copy{out.picture, none, unused, false, w, h, 0, false, false, false, 0, &png};
      if (!copier(rq.owner, copy)) png.reset();
    }
    if (png) out.image = std::move(png);
  }
  return res.flags;
}

Bytes bytesOf(gdi::Stream& stream, std::int64_t length) {
  const auto& all = stream.bytes();
  return Bytes(all.data(), std::min<std::size_t>(all.size(), std::size_t(std::max<std::int64_t>(length, 0))));
}

unsigned apngFrameCount(gdi::Stream& stream, std::int64_t length) {
  const Bytes src = bytesOf(stream, length);
  ByteReader r(src);
  const std::int64_t w = std::int32_t(r.be32(16)), h = std::int32_t(r.be32(20));
  if (!r.ok()) return 0;
  ApngReader reader;
  const int count = reader.scanChunks(src, int(w), int(h));
  return count > 1 ? unsigned(count) : 0;
}

// The composed frames as the pages of one image.
class ApngPages : public gdiplus::FrameSource {
 public:
  explicit ApngPages(std::vector<ApngFrame> frames) : frames_(std::move(frames)) {}
  unsigned count() const override { return unsigned(frames_.size()); }
  QImage frame(unsigned index) override { return index < frames_.size() ? frames_[index].image : QImage(); }

 private:
  std::vector<ApngFrame> frames_;
};

std::unique_ptr<gdiplus::Image> apngFrames(gdi::Stream& stream, std::int64_t length) {
  LoadOptions o;
  ApngResult res = readApng(bytesOf(stream, length), o);
  if (res.frames.size() < 2) return nullptr;
  gdiplus::PropertyItem delays{gdiplus::PropertyTagFrameDelay, gdiplus::PropertyTagTypeLong, {}};
  for (const ApngFrame& f : res.frames)
    for (int i = 0; i < 4; ++i) delays.value.push_back(std::uint8_t(std::uint32_t(f.delay) >> (8 * i)));
  const int loopCount = res.loopCount;
  const QImage first = res.frames.front().image;
  auto image = std::make_unique<gdiplus::Image>(first, gdiplus::PixelFormat32bppARGB, gdiplus::ImageFormatTIFF,
                                                std::make_unique<ApngPages>(std::move(res.frames)));
  // An endless animation (loop count 0) carries no loop-count property.
  if (loopCount > 0)
    image->setProperty({gdiplus::PropertyTagLoopCount,
                        gdiplus::PropertyTagTypeShort,
                        {std::uint8_t(loopCount), std::uint8_t(loopCount >> 8)}});
  image->setProperty(std::move(delays));
  return image;
}

// The pixels of a picture as the copy at a size draws them.
bool sourceOf(cPicture& owner, CopyRequest& rq, PictureSource& src) {
  const StdPicture& p = rq.source;
  imaging::PictureHost* host = owner.host();
  const std::uint32_t recordFlags = host ? host->flags(p.get()) : 0;
  if (rq.SendToEvents && (recordFlags & 0x70)) {
    // Through the picture's own Render, so that its drawing events are raised.
    int w = 0, h = 0;
    owner.GetImageDimensions(p, w, h, 0, 0);
    if (rq.Width < 1) rq.Width = w;
    if (rq.Height < 1) rq.Height = h;
    const gdi::Handle canvas = gdi::createDIBSection(rq.Width, rq.Height, 32);
    const gdi::Handle dc = gdi::createCompatibleDC(0);
    const gdi::Handle old = gdi::selectObject(dc, canvas);
    gdi::RenderArgs a{dc, 0, 0, rq.Width, rq.Height, 0, p->height(), p->width(), -p->height()};
    p->render(a);
    gdi::selectObject(dc, old);
    gdi::deleteDC(dc);
    auto d = gdi::find<gdi::Dib>(canvas);
    if (d) {
      src.image = d->toImage().convertToFormat(QImage::Format_ARGB32);
      src.flags = analyzeAlpha(src.image);
      if (src.flags & 0x40000000) src.image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    }
    gdi::deleteObject(canvas);
    return !src.image.isNull();
  }
  if (auto meta = gdi::findMetafile(p->handle())) {
    src.render = [meta](QPainter& painter, const QRectF& r) { meta->play(painter, r); };
    int w = 0, h = 0;
    owner.GetImageDimensions(p, w, h, 0, 0);
    src.natural = QSize(w, h);
    return true;
  }
  if (const gdiplus::Image* img = host ? host->image(p.get()) : nullptr) {
    // The image's pixels are straight whatever the record's kind.
    src.image = img->pixels();
    src.flags = owner.HasTransparency(p) > 0 ? kAlphaStraight : 0;
    return !src.image.isNull();
  }
  if (p->type() == gdi::PICTYPE_ICON) {
    StdPicture none;
    std::unique_ptr<gdiplus::Image> image;
    const std::uint32_t f = owner.IconHandleToPicture(none, p->handle(), image, -2, 0, 0);
    if (!f || !image) return false;
    src.image = image->pixels();
    src.flags = f & kAlphaKindMask ? kAlphaStraight : 0;
    return !src.image.isNull();
  }
  auto dib = gdi::find<gdi::Dib>(p->handle());
  if (!dib) return false;
  src.image = dib->toImage().convertToFormat(QImage::Format_ARGB32);
  std::uint32_t attr = 0;
  p->nativeAttributes(&attr);
  src.flags = dib->bitCount() == 32 ? cPicture::AnalyzeAlpha(nullptr, p->handle()) : 0;
  if (!src.flags && (attr & gdi::PICTURE_TRANSPARENT)) src.flags = kAlphaStraight;
  if (src.flags & 0x40000000) src.image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
  return !src.image.isNull();
}

std::uint32_t copyPicture(cPicture& owner, CopyRequest& rq) {
  PictureSource src;
  const bool handedIn = rq.image && *rq.image;
  if (handedIn) {
    src.image = (*rq.image)->pixels().convertToFormat(QImage::Format_ARGB32);
    src.flags = cPicture::AnalyzeAlpha(rq.image->get(), 0) ? kAlphaStraight : 0;
  } else if (!sourceOf(owner, rq, src)) {
    return 0;
  }
  if (src.image.format() == QImage::Format_ARGB32_Premultiplied) src.image.reinterpretAsFormat(QImage::Format_ARGB32);
  PictureCopyOptions options;
  options.returnAsIcon = rq.ReturnAsIcon;
  options.bmpAlphaTypeAsPargb = rq.BmpAlphaTypeAsPARGB;
  options.fillTransparency = rq.FillTransparency;
  options.fillTransparencyColor = std::uint32_t(rq.FillTransparencyColor);
  const PictureCopy copy = pictureToArgb(src, rq.Width, rq.Height, options);
  if (!copy.flags) return 0;
  if (handedIn && !rq.ReturnAsIcon) {
    auto made = gdiplus::Image::fromImage(copy.image.convertToFormat(QImage::Format_ARGB32),
                                          gdiplus::PixelFormat32bppPARGB);
    if (!made) return 0;
    *rq.image = std::move(made);
    return copy.flags;
  }
  if (rq.ReturnAsIcon) {
    const std::vector<std::uint8_t>& r = copy.iconResource;
    const gdi::Handle icon = gdi::createIconFromResourceEx(r.data(), r.size(), true, 0, 0);
    if (!icon) return 0;
    if (rq.ManageStyle != 2) {
      rq.result = cPicture::HandleToStdPicture(icon, gdi::PICTYPE_ICON);
      if (!rq.result) gdi::destroyIcon(icon);
      return rq.result ? copy.flags : 0;
    }
    const std::uint32_t f = owner.IconHandleToPicture(rq.result, icon, rq.iconImage, 2, 0, 0);
    gdi::destroyIcon(icon);
    if (!rq.result) rq.iconImage.reset();
    return rq.result ? f : 0;
  }
  const gdi::Handle dib = dibOf(copy.image);
  rq.result = cPicture::HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!rq.result) {
    gdi::deleteObject(dib);
    return 0;
  }
  return copy.flags;
}

// The program's resources: the files compiled in under ":/resources/<type>/<number or name>",
// the type by its Windows number.
QByteArray programResource(int type, const QVariant& id) {
  QFile f(QStringLiteral(":/resources/%1/%2").arg(type).arg(id.toString()));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

PictureReaders libraryReaders() {
  PictureReaders r;
  r.own = {readBmp, readIco};
  r.resources = programResource;
  r.apngFrameCount = apngFrameCount;
  r.apngFrames = apngFrames;
  r.copier = copyPicture;
  return r;
}

}  // namespace imaging
