// picture-dump FILE...: loads each file through the picture class's loading road, as the card
// designer loads a background, and prints one line per file:
//   ok<TAB>width<TAB>height<TAB>frames<TAB>sha256 of the first frame as 8-bit BGRA rows, top down
//   error<TAB>text
// Options come before the files; each is an entry of the table in main().
#include <QApplication>
#include <QCryptographicHash>
#include <QLoggingCategory>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <map>

#include "cPicture.h"
#include "dib.h"
#include "icon.h"

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

Result loadThroughRoad(cPicture& pictures, const QString& file) {
  Result r;
  int dpi = 0;
  const gdi::StdPicture pic = pictures.LoadPictureEx(file, -1, false, dpi, std::int32_t(0x80000005), 0, 0, 0, 0);
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

QByteArray sha256Bgra(const QImage& argb) {
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

  using Loader = std::function<Result(const QString&)>;
  std::map<QString, Loader> loaders = {
      {QStringLiteral("road"), [&](const QString& f) { return loadThroughRoad(pictures, f); }},
  };
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
    std::fprintf(stderr, "usage: picture-dump [--reader NAME] FILE...\n");
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
