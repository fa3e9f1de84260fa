// picture-dump [--reader bmp|ico|apng|wmf] FILE...: loads each file through the picture class's
// loading road, as the card designer loads a background (animated PNG on), or with --reader
// through one of our own readers directly, and prints one line per file:
//   ok<TAB>width<TAB>height<TAB>frames<TAB>sha256 of the first frame as 8-bit BGRA rows, top down
//   error<TAB>text
// A reader's pixels are hashed as it decodes them (premultiplied ones stay so); the road's are
// straight. Options come before the files; each is an entry of the table in main().
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLoggingCategory>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <map>

#include "cPicture.h"
#include "dib.h"
#include "icon.h"
#include "metafile.h"
#include "readers_apng.h"
#include "readers_bmp.h"
#include "readers_ico.h"

namespace {

struct Result {
  bool ok = false;
  QString error;
  QImage firstFrame;  // straight ARGB
  int frames = 0;
};

// The first frame of a loaded picture: the GDI+ image its record keeps, else its own pixels.
QImage firstFrameOf(cPicture& pictures, const gdi::StdPicture& pic) {
  if (imaging::PictureHost* host = pictures.host()) {
    if (gdiplus::Image* img = host->image(pic.get())) {
      const std::vector<QUuid> dims = img->frameDimensions();
      img->selectActiveFrame(dims.front(), 0);
      return img->pixels();
    }
  }
  if (auto meta = gdi::findMetafile(pic->handle()))
    return meta->render(meta->sizePixels(96)).convertToFormat(QImage::Format_ARGB32);
  if (pic->type() == gdi::PICTYPE_ICON) {
    auto icon = gdi::find<gdi::Icon>(pic->handle());
    return icon ? icon->toImage() : QImage();
  }
  auto dib = gdi::find<gdi::Dib>(pic->handle());
  if (!dib) return {};
  QImage img = dib->toImage().convertToFormat(QImage::Format_ARGB32);
  if (dib->bitCount() == 32 && pictures.HasTransparency(pic) == 2) {
    img.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    img = img.convertToFormat(QImage::Format_ARGB32);
  }
  return img;
}

// An icon or cursor file is shown by its first image at that image's own size, the way a
// viewer shows it, not at the system icon size.
constexpr int kFirstIcon = 1;

Result loadThroughRoad(cPicture& pictures, const QString& file) {
  Result r;
  int dpi = 0;
  const gdi::StdPicture pic = pictures.LoadPictureEx(file, -1, false, dpi, std::int32_t(0x80000005), kFirstIcon, 0, 0, 0);
  if (!pic || !pic->handle()) {
    r.error = QStringLiteral("gambar tidak dapat dimuat");
    return r;
  }
  r.firstFrame = firstFrameOf(pictures, pic);
  if (r.firstFrame.isNull()) {
    r.error = QStringLiteral("gambar tanpa piksel");
    return r;
  }
  r.frames = std::max(1, pictures.GetFramePageCount(pic));
  r.ok = true;
  return r;
}

Result failed(const QString& text) {
  Result r;
  r.error = text;
  return r;
}

Result decoded(const QImage& first, int frames) {
  Result r;
  r.ok = true;
  r.firstFrame = first;
  r.frames = frames;
  return r;
}

// Still pictures: flags 0 means the reader does not take the file at all.
Result still(const imaging::ReaderResult& res, const QString& kind) {
  if (!res.flags) return failed(QStringLiteral("bukan berkas %1").arg(kind));
  if (res.image.isNull()) return failed(QStringLiteral("berkas %1 rusak atau tidak didukung").arg(kind));
  return decoded(res.image, 1);
}

Result loadWithReader(const QString& reader, const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return failed(QStringLiteral("berkas tidak dapat dibuka: %1").arg(f.errorString()));
  const QByteArray data = f.readAll();
  const imaging::Bytes bytes(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size()));
  imaging::LoadOptions options;
  options.iconIndex = kFirstIcon;
  if (reader == QLatin1String("bmp")) return still(imaging::parseBmp(bytes, options), QStringLiteral("BMP"));
  if (reader == QLatin1String("ico"))
    return still(imaging::parseIco(bytes, options), QStringLiteral("ikon atau kursor"));
  if (reader == QLatin1String("wmf")) {
    // At its own size at 96 DPI over a transparent background.
    const auto meta = gdi::Metafile::parse(bytes);
    if (!meta) return failed(QStringLiteral("bukan berkas WMF atau EMF yang dapat dibaca"));
    const QImage img = meta->render(meta->sizePixels(96));
    if (img.isNull()) return failed(QStringLiteral("gambar metafile terlalu besar"));
    return decoded(img, 1);
  }
  const auto res = imaging::readApng(bytes, options);
  if (!res.flags) return failed(QStringLiteral("bukan berkas PNG"));
  if (res.frames.empty()) return failed(QStringLiteral("berkas PNG rusak atau tidak didukung"));
  return decoded(res.frames.front().image, int(res.frames.size()));
}

QByteArray sha256Bgra(QImage argb) {
  if (argb.format() != QImage::Format_ARGB32 && argb.format() != QImage::Format_ARGB32_Premultiplied)
    argb = argb.convertToFormat(QImage::Format_ARGB32);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  for (int y = 0; y < argb.height(); ++y)
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(argb.constScanLine(y)), 4 * argb.width()));
  return hash.result().toHex();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The corpus holds damaged files on purpose; their decoder warnings are no news.
  QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
  // The picture host lives under a visible top-level window.
  QWidget window;
  window.show();
  cPicture pictures;
  pictures.setEnableAPNGSupport(true);

  using Loader = std::function<Result(const QString&)>;
  std::map<QString, Loader> loaders = {
      {QStringLiteral("road"), [&](const QString& f) { return loadThroughRoad(pictures, f); }},
  };
  for (const char* reader : {"bmp", "ico", "apng", "wmf"})
    loaders[QLatin1String(reader)] = [reader](const QString& f) { return loadWithReader(QLatin1String(reader), f); };
  QString loader = QStringLiteral("road");
  struct Option {
    std::function<bool(const QString&)> apply;  // false: the value is not accepted
  };
  const std::map<QString, Option> options = {
      {QStringLiteral("--reader"), {[&](const QString& v) {
         loader = v;
         return loaders.count(v) > 0;
       }}},
  };

  QStringList files;
  const QStringList args = app.arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    auto opt = options.find(args[i]);
    if (opt == options.end()) {
      files << args[i];
      continue;
    }
    if (i + 1 >= args.size() || !opt->second.apply(args[++i])) {
      std::fprintf(stderr, "picture-dump: bad value for %s\n", qPrintable(opt->first));
      return 2;
    }
  }
  if (files.isEmpty()) {
    std::fprintf(stderr, "usage: picture-dump [--reader bmp|ico|apng|wmf] FILE...\n");
    return 2;
  }
  for (const QString& f : files) {
    const Result r = loaders.at(loader)(f);
    if (r.ok)
      std::printf("ok\t%d\t%d\t%d\t%s\n", r.firstFrame.width(), r.firstFrame.height(), r.frames,
                  sha256Bgra(r.firstFrame).constData());
    else
      std::printf("error\t%s\n", qPrintable(r.error));
    std::fflush(stdout);
  }
  return 0;
}
