// The format loaders behind LoadPictureEx and the GDI+ services they share.
#include "cPicture.h"

#include <QPainter>

#include "codecs.h"
#include "dc.h"
#include "decoders.h"
#include "dib.h"
#include "metafile.h"
#include "metafile_convert.h"
#include "readers_alpha.h"

using StdPicture = cPicture::StdPicture;

namespace {

// Reads the whole stream from its start into the OLE loader and puts the position back.
StdPicture rewoundLoad(gdi::Stream& stream, bool keep, std::int64_t length) {
  const std::int64_t pos = stream.position();
  stream.seek(0, gdi::STREAM_SEEK_SET);
  StdPicture pic = cPicture::StreamToStdPicture(stream, keep, length);
  stream.seek(pos, gdi::STREAM_SEEK_SET);
  return pic;
}

// The frame count that the load event's table leaves (count x 16 + transparency kind).
int framesIn(const imaging::PicProps& props) { return props.empty() ? 0 : props[0][2] / 16; }

}  // namespace

int cPicture::GetImageFormatType(const gdiplus::Image* image) {
  if (!image) return 0;
  switch (image->rawFormatFirst()) {
    case gdiplus::ImageFormatMemoryBMP:
    case gdiplus::ImageFormatBMP:
      return 1;
    case gdiplus::ImageFormatEMF:
      return 4;
    case gdiplus::ImageFormatWMF:
      return 2;
    case gdiplus::ImageFormatJPEG:
      return 6;
    case gdiplus::ImageFormatPNG:
      return 7;
    case gdiplus::ImageFormatGIF:
      return 8;
    case gdiplus::ImageFormatTIFF:
      return 9;
    case gdiplus::ImageFormatIcon:
      return 3;
    default:
      return 0;
  }
}

gdi::Handle cPicture::RenderToDIB(const gdiplus::Image& image, std::uint32_t fill) {
  const int w = image.width(), h = image.height();
  const gdi::Handle dib = gdi::createDIBSection(w, h, 32);
  auto d = gdi::find<gdi::Dib>(dib);
  if (!d) {
    if (dib) gdi::deleteObject(dib);
    return 0;
  }
  // Composed a row at a time straight into the bitmap's rows, as a drawing context over it
  // would compose them (opaque, at the same size): a picture at the limits is then held only
  // decoded and as the bitmap, never a third time as the context's own copy.
  const QImage& rows = image.rows();
  const QColor background = QColor::fromRgba(fill);
  for (int y = 0; y < h; ++y) {
    QImage line(d->scanLine(y), w, 1, d->stride(), QImage::Format_RGB32);
    QImage from(rows.constScanLine(image.upsideDown() ? h - 1 - y : y), w, 1, rows.bytesPerLine(), rows.format());
    if (rows.format() == QImage::Format_Indexed8 || rows.depth() < 8) from.setColorTable(rows.colorTable());
    QPainter p(&line);
    if (!p.isActive()) {
      gdi::deleteObject(dib);
      return 0;
    }
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(0, 0, w, 1), background);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(0, 0, from);
  }
  return dib;
}

bool cPicture::ConvertAlphaFormat(std::unique_ptr<gdiplus::Image>& image, StdPicture& picture, bool straight,
                                  bool makeBitmap) {
  const gdiplus::PixelFormat format = straight ? gdiplus::PixelFormat32bppARGB : gdiplus::PixelFormat32bppPARGB;
  if (!image) {
    // A GDI+ bitmap of the picture's own 32-bit pixels.
    if (!picture) return false;
    auto dib = gdi::find<gdi::Dib>(picture->handle());
    if (!dib || dib->bitCount() != 32 || !dib->isSection() || !dib->bottomUp()) return false;
    // Over the DIB's own rows, not a copy of them: the image keeps the DIB alive.
    const int h = dib->absHeight();
    std::uint8_t* top = dib->bits() + std::ptrdiff_t(h - 1) * dib->stride();
    image = gdiplus::Image::over(dib->width(), h, -dib->stride(), format, top, dib);
    return image != nullptr;
  }
  gdiplus::BitmapData data;
  if (makeBitmap) {
    if (image->lockBits(nullptr, gdiplus::ImageLockModeRead, format, data) != gdiplus::Status::Ok) return false;
    auto fresh = gdiplus::createBitmapFromScan0(int(data.width), int(data.height), data.stride, format,
                                                static_cast<const std::uint8_t*>(data.scan0));
    image->unlockBits(data);
    if (!fresh) return false;
    image = std::move(fresh);
    return true;
  }
  const int w = image->width(), h = image->height();
  std::uint8_t* bits = nullptr;
  const gdi::Handle dib = gdi::createDIBSection(w, h, 32, &bits);
  auto d = gdi::find<gdi::Dib>(dib);
  if (!d) return false;
  data.stride = -d->stride();
  data.scan0 = bits + std::ptrdiff_t(h - 1) * d->stride();
  if (image->lockBits(nullptr, gdiplus::ImageLockModeRead | gdiplus::ImageLockModeUserInputBuf, format, data) !=
      gdiplus::Status::Ok) {
    gdi::deleteObject(dib);
    return false;
  }
  image->unlockBits(data);
  picture = HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!picture) gdi::deleteObject(dib);
  return picture != nullptr;
}

bool cPicture::WrapAlphaBitmap(const gdiplus::Image& image, StdPicture& picture, std::uint32_t flags) {
  if (flags & 0x60000000) {
    // The conversion locks the image for reading only; it stays as it is.
    std::unique_ptr<gdiplus::Image> view(const_cast<gdiplus::Image*>(&image));
    const bool ok = ConvertAlphaFormat(view, picture, (flags & 0x20000000) != 0, false);
    view.release();
    return ok;
  }
  const gdi::Handle dib = RenderToDIB(image, 0xFFFFFFFF);
  if (!dib) return false;
  picture = HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!picture) gdi::deleteObject(dib);
  return picture != nullptr;
}

bool cPicture::ApplyExifOrientation(std::unique_ptr<gdiplus::Image>& image, StdPicture& picture, bool honour,
                                    bool checkOnly) {
  if (!image) return false;
  gdi::Handle bitmap = 0;
  if (!checkOnly && image->pixelFormat() == gdiplus::PixelFormat32bppCMYK) {
    bitmap = gdiplus::createHBITMAPFromBitmap(*image, 0xFFFFFFFF);
    if (!bitmap) return false;
  }
  int code = 0;
  if (checkOnly || honour) {
    const gdiplus::PropertyItem* item = image->property(gdiplus::PropertyTagOrientation);
    if (item && item->type == gdiplus::PropertyTagTypeShort && item->value.size() == 2) {
      static const int map[] = {0, 0, 4, 2, 6, 5, 1, 7, 3};
      const unsigned v = item->value[0] | item->value[1] << 8;
      code = v <= 8 ? map[v] : 0;
    }
  }
  if (checkOnly) return code > 0;
  if (code > 0) {
    if (bitmap) {
      image = gdiplus::createBitmapFromHBITMAP(bitmap);
      if (image) {
        gdi::deleteObject(bitmap);
        bitmap = 0;
      }
    }
    if (image && image->rotateFlip(code) == gdiplus::Status::Ok)
      bitmap = gdiplus::createHBITMAPFromBitmap(*image, 0xFFFFFFFF);
  }
  if (!bitmap) return false;
  picture = HandleToStdPicture(bitmap, gdi::PICTYPE_BITMAP);
  if (!picture) gdi::deleteObject(bitmap);
  return picture != nullptr;
}

int cPicture::GetEncoderClsid(const QString& mimeType, QUuid& clsid) {
  unsigned count = 0, size = 0;
  gdiplus::getImageEncodersSize(count, size);
  if (!count || !size) return -1;
  const auto& encoders = gdiplus::getImageEncoders();
  for (int i = int(encoders.size()) - 1; i >= 0; --i) {
    const QString& m = encoders[std::size_t(i)].mimeType;
    if (m.size() == mimeType.size() && m.compare(mimeType, Qt::CaseInsensitive) == 0) {
      clsid = encoders[std::size_t(i)].clsid;
      return i;
    }
  }
  return -1;
}

std::uint32_t cPicture::AnalyzeAlpha(const gdiplus::Image* image, gdi::Handle bitmap) {
  if (image) {
    gdiplus::BitmapData data;
    auto* img = const_cast<gdiplus::Image*>(image);
    if (img->lockBits(nullptr, gdiplus::ImageLockModeRead, gdiplus::PixelFormat32bppARGB, data) != gdiplus::Status::Ok)
      return 0;
    const QImage rows(static_cast<const uchar*>(data.scan0), int(data.width), int(data.height), data.stride,
                      QImage::Format_ARGB32);
    const std::uint32_t kind = imaging::analyzeAlpha(rows);
    img->unlockBits(data);
    return kind;
  }
  auto dib = gdi::find<gdi::Dib>(bitmap);
  if (!dib || !dib->isSection() || dib->bitCount() < 32) return 0;
  return imaging::analyzeAlpha(reinterpret_cast<const std::uint32_t*>(dib->bits()),
                               std::size_t(dib->width()) * std::size_t(dib->absHeight()));
}

// --- loaders --------------------------------------------------------------------------------

StdPicture cPicture::LoadJPG(int ms, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                             std::unique_ptr<gdiplus::Image> img, bool keep, QVariant* param) {
  StdPicture none;
  imaging::PicProps props{{img->width(), img->height(), ApplyExifOrientation(img, none, false, true) ? -1 : 0}};
  if (ms == -1) {
    ms = 2;
    keep = false;
  }
  std::int32_t fill = -1;
  if (RaiseBeforeLoad(6, props, ms, keep, fill, param)) return nullptr;
  if (ms < 0 || ms > 3) ms = 2;
  StdPicture pic;
  std::uint32_t flags = 0x6000000;
  if (ApplyExifOrientation(img, pic, ms == 2, false)) {
    flags = 0x6000400;
  } else {
    // The picture loader decodes the bytes itself: the decode that told the format goes first,
    // so that a large picture is never held decoded twice. Should the loader refuse the bytes,
    // they are decoded again for the bitmap made of them.
    img.reset();
    pic = rewoundLoad(*stream, keep, length);
    if (!pic) {
      gdiplus::loadImageFromBytes(stream->bytes().data(), stream->bytes().size(), img);
      const gdi::Handle bmp = img ? gdiplus::createHBITMAPFromBitmap(*img, 0xFFFFFFFF) : 0;
      img.reset();
      if (!bmp) return nullptr;
      pic = HandleToStdPicture(bmp, gdi::PICTYPE_BITMAP);
      if (!pic) {
        gdi::deleteObject(bmp);
        return nullptr;
      }
      if (!keep && ms == 0) return pic;
      if (keep) flags = 0x6000400;
    }
  }
  img.reset();
  if (!keep) return FinishPicture(pic, ms, nullptr, 0, 0x1000000, false, fill);
  std::shared_ptr<gdi::Stream> kept;
  if (flags & 0x400) {
    kept = stream;
    if (ms == 0) ms = 1;
  }
  if (pic && ms > 0) {
    if (ms == 2) flags |= 0x300;
    ManagePicture(pic, flags | std::uint32_t(ms - 1) << 12, nullptr, kept, length);
  }
  return pic;
}

StdPicture cPicture::LoadGIF(int ms, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                             std::unique_ptr<gdiplus::Image> img, bool keep, std::int32_t fill, QVariant* param) {
  const unsigned frames = img->frameCount(img->frameDimensions().front());
  if (ms == -1) {
    ms = 2;
    keep = frames > 1;
  }
  const std::uint32_t alpha = AnalyzeAlpha(img.get(), 0);
  imaging::PicProps props{{img->width(), img->height(), std::int32_t(frames * 16 + ((alpha >> 29) & 3))}};
  if (RaiseBeforeLoad(8, props, ms, keep, fill, param)) return nullptr;
  if (ms < 0 || ms > 3) ms = 2;
  std::uint32_t flags = alpha | 0x8000000;
  if (framesIn(props) > 1) flags |= 0x10000001;
  StdPicture pic;
  if (!keep && WrapAlphaBitmap(*img, pic, flags)) {
    img.reset();
    return FinishPicture(pic, ms, nullptr, 0, (flags & 0x60000000) | 0x1000000, false, fill);
  }
  std::shared_ptr<gdi::Stream> kept;
  pic = rewoundLoad(*stream, keep, length);
  if (!pic) {
    const gdi::Handle dib = RenderToDIB(*img, SysColorToARGB(fill));
    if (!dib) return nullptr;
    pic = HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
    if (!pic) {
      gdi::deleteObject(dib);
      return nullptr;
    }
    if (ms != 3) ms = 2;
    flags |= 0x400;
    kept = stream;
  }
  if (ms == 0) return pic;
  if (ms == 2) {
    if (flags & 0x70000000)
      flags |= 0x2;
    else
      img.reset();
    flags |= 0x300;
  }
  ManagePicture(pic, flags | std::uint32_t(ms - 1) << 12, std::move(img), kept, length);
  return pic;
}

StdPicture cPicture::LoadPNGorTIF(bool tiff, int ms, std::shared_ptr<gdi::Stream> stream, std::int64_t length,
                                  std::unique_ptr<gdiplus::Image> img, bool keep, std::int32_t fill, QVariant* param) {
  const imaging::PictureReaders& readers = imaging::pictureReaders();
  unsigned count = 1;
  if (tiff) {
    count = img->frameCount(gdiplus::FrameDimensionPage());
  } else if (apng_ && readers.apngFrameCount) {
    count = readers.apngFrameCount(*stream, length);
    stream->seek(0, gdi::STREAM_SEEK_SET);
  }
  if (count < 2) count = 1;
  if (ms == -1) keep = false;
  const std::uint32_t alpha = AnalyzeAlpha(img.get(), 0);
  imaging::PicProps props{{img->width(), img->height(), std::int32_t(count * 16 + ((alpha >> 29) & 3))}};
  if (RaiseBeforeLoad(tiff ? 9 : 7, props, ms, keep, fill, param)) return nullptr;
  if (ms < -1 || ms > 3) ms = -1;
  std::uint32_t flags = alpha;
  if (framesIn(props) > 1) flags |= 0x10000001;
  flags |= tiff ? 0x9000000 : (flags & 0x10000000) ? 0xF000000 : 0x7000000;
  StdPicture pic;
  std::shared_ptr<gdi::Stream> kept;
  if (!(keep || (ms == -1 && (flags & 0x10000000)))) {
    if (WrapAlphaBitmap(*img, pic, flags)) {
      img.reset();
      return FinishPicture(pic, ms, nullptr, 0, (flags & 0x60000000) | 0x1000000, false, fill);
    }
  } else if (ms != -1) {
    flags |= 0x400;
    kept = stream;
  } else {
    ms = 2;
  }
  const gdi::Handle dib = RenderToDIB(*img, SysColorToARGB(fill));
  if (!dib) return nullptr;
  pic = HandleToStdPicture(dib, gdi::PICTYPE_BITMAP);
  if (!pic) {
    gdi::deleteObject(dib);
    return nullptr;
  }
  if (ms == 0) {
    img.reset();
    return FinishPicture(pic, 0, nullptr, 0, 0x1000000, false, fill);
  }
  if (!tiff && (flags & 0x10000000)) {
    std::unique_ptr<gdiplus::Image> frames = readers.apngFrames ? readers.apngFrames(*stream, length) : nullptr;
    stream->seek(0, gdi::STREAM_SEEK_SET);
    if (frames)
      img = std::move(frames);
    else
      flags = (flags & 0xE7FFFFFFu) | 0x7000000;
  }
  if (ms == 2) {
    if (flags & 0x70000000)
      flags |= 0x2;
    else
      img.reset();
    flags |= 0x300;
  } else {
    img.reset();
  }
  // Reached only when flattening made no picture: such a picture stays unmanaged.
  if (ms == -1) return pic;
  ManagePicture(pic, flags | std::uint32_t(ms - 1) << 12, std::move(img), kept, length);
  return pic;
}

StdPicture cPicture::LoadMetafile(int ms, std::shared_ptr<gdi::Stream> stream, std::int64_t length, int type, bool keep,
                                  QVariant* param) {
  imaging::PicProps props{{0, 0, 0}};
  std::uint32_t flags = 0;
  StdPicture pic = rewoundLoad(*stream, true, length);
  if (!pic && type == 4) {
    // An EMF the picture loader refuses is carried as a placeable WMF.
    type = 2;
    const std::vector<std::uint8_t> wmf = imaging::emfToPlaceableWmf(stream->bytes());
    if (auto converted = wmf.empty() ? nullptr : gdi::Stream::onBytes(wmf))
      pic = StreamToStdPicture(*converted, false, converted->size());
    props[0][2] = 1;
    flags = 0x400;
  }
  if (!pic) return nullptr;
  if (ms == -1) ms = 0;
  if (ms == 2) ms = 1;
  keep = props[0][2] == 0;
  GetImageDimensions(pic, props[0][0], props[0][1], 0, 0);
  std::int32_t fill = -1;
  if (RaiseBeforeLoad(type, props, ms, keep, fill, param)) return nullptr;
  if (ms >= 0 && ms <= 3) {
    if (ms == 2) ms = 1;
    if (!keep) flags = 0;
  } else {
    ms = 0;
    flags = 0;
  }
  std::shared_ptr<gdi::Stream> kept;
  if (flags & 0x400) kept = stream;
  flags |= std::uint32_t(type) << 24;
  if (ms >= 1) ManagePicture(pic, flags | std::uint32_t(ms - 1) << 12, nullptr, kept, length);
  return pic;
}
