// What reading a tiny GIF that states a large canvas costs in memory and time: the photo road
// reading it, and the picture library's decoder stepping through every frame as an animation
// plays them. Each read runs in a child process, whose peak resident memory above its start
// is reported as peak_MB; read=0 where the limits refuse the file.
//   canvas_3_frames: 9985 x 3585, three 1 x 1 frames (beyond the limit for an animation)
//   canvas_1_frame:  8192 x 4128, one 1 x 1 frame
//   anim_at_limit:   5000 x 4000, two 1 x 1 frames restoring the canvas
//   full_3_frames:   3000 x 3000, three frames covering the canvas and restoring it
// Then each road a user's photo or card picture takes, over pictures of 6000 x 6666 (40 MP):
// a progressive JPEG with full colour (4:4:4), a baseline JPEG, an RGBA PNG and a TIFF. The
// photo road reads at full size (the entry and main windows, the designer's element pictures)
// and for a card photo box; the designer's background goes through the picture library.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QByteArray>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>

#include "FrmAddLogo.h"
#include "cPicture.h"
#include "dc.h"
#include "dib.h"
#include "decoders.h"
#include "gif_writer.h"
#include "jpeg_files.h"
#include "peak_memory.h"
#include "photofile.h"

namespace {

struct Case {
  int w, h, frames, fw, fh, disposal;
};

void run(benchmark::State& state, const Case& c, const std::function<bool(const QString&, const QByteArray&)>& read) {
  QTemporaryDir dir;
  // Every pixel index 0: the frames' content plays no part in what the read costs.
  const QByteArray bytes =
      testsupport::solidFramesGif({c.w, c.h, c.frames, c.fw, c.fh, c.disposal, false, {0, 255, 0}});
  const QString file = dir.filePath("foto.gif");
  {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return state.SkipWithError("not written");
  }
  benchsupport::PeakMemory m;
  for (auto _ : state) {
    m = benchsupport::measureInChild([&](benchsupport::PeakMeter&) -> long { return read(file, bytes) ? 1 : 0; });
    state.SetIterationTime(m.seconds);
  }
  state.counters["peak_MB"] = m.peakMb;
  state.counters["read"] = m.value == 1;
  state.counters["file_bytes"] = double(bytes.size());
}

bool photoRoad(const QString& file, const QByteArray&) {
  return photobox::readPictureFile(file).status == photobox::PictureFile::Status::Ok;
}

// Decodes and selects every frame in turn, as an animation plays.
bool everyFrame(const QString&, const QByteArray& bytes) {
  std::unique_ptr<gdiplus::Image> img;
  if (gdiplus::loadImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()),
                                  img) != gdiplus::Status::Ok)
    return false;
  const unsigned n = img->frameCount(gdiplus::FrameDimensionTime());
  for (unsigned i = 0; i < n; ++i)
    if (img->selectActiveFrame(gdiplus::FrameDimensionTime(), i) != gdiplus::Status::Ok) return false;
  return true;
}

const Case kCanvas3{9985, 3585, 3, 1, 1, 0};
const Case kCanvas1{8192, 4128, 1, 1, 1, 0};
const Case kAnimAtLimit{5000, 4000, 2, 1, 1, 3};
const Case kFull3{3000, 3000, 3, 3000, 3000, 3};

#define PICTURE_BENCH(name, c, road)                          \
  void name(benchmark::State& state) { run(state, c, road); } \
  BENCHMARK(name)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3)

PICTURE_BENCH(PhotoRoad_canvas_3_frames, kCanvas3, photoRoad);
PICTURE_BENCH(PhotoRoad_canvas_1_frame, kCanvas1, photoRoad);
PICTURE_BENCH(EveryFrame_canvas_3_frames, kCanvas3, everyFrame);
PICTURE_BENCH(EveryFrame_canvas_1_frame, kCanvas1, everyFrame);
PICTURE_BENCH(EveryFrame_anim_at_limit, kAnimAtLimit, everyFrame);
PICTURE_BENCH(EveryFrame_full_3_frames, kFull3, everyFrame);

// ---- the roads of a large still picture ----

enum class Kind { ProgressiveFull, Baseline, PngRgba, Tiff, PngOpaque, TiffOpaque };

// Written once into a folder that lives as long as the bench.
QString pictureFile(Kind kind) {
  static QTemporaryDir dir;
  static std::map<Kind, QString> files;
  if (auto it = files.find(kind); it != files.end()) return it->second;
  constexpr int w = 6000, h = 6666;
  QByteArray bytes;
  QString name;
  if (kind == Kind::ProgressiveFull || kind == Kind::Baseline) {
    bytes = testsupport::gradientJpeg(w, h, kind == Kind::ProgressiveFull, kind == Kind::ProgressiveFull);
    name = kind == Kind::Baseline ? "baseline.jpg" : "progressive444.jpg";
  } else {
    const bool opaque = kind == Kind::PngOpaque || kind == Kind::TiffOpaque;
    QImage img(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < w; ++x) row[x] = qRgba(y * 255 / h, 0, 255 - y * 255 / h, opaque ? 255 : 200);
    }
    const bool png = kind == Kind::PngRgba || kind == Kind::PngOpaque;
    name = QString(opaque ? "opaque" : "rgba") + (png ? ".png" : ".tif");
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    QImageWriter writer(&b, png ? "PNG" : "TIFF");
    if (!png) writer.setCompression(1);  // LZW: small on disk like the others
    writer.write(img);
  }
  const QString file = dir.filePath(name);
  QFile f(file);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
  return files[kind] = file;
}

bool photoFull(const QString& file) {
  return photobox::readPictureFile(file).status == photobox::PictureFile::Status::Ok;
}

bool photoCard(const QString& file) {
  return photobox::readPictureFile(file, QSize(300, 400)).status == photobox::PictureFile::Status::Ok;
}

// As the designer loads its background: through the picture library, with a window shown
// so that the library's host manages the picture, then made into the canvas's pixels.
bool designerBackground(const QString& file) {
  QWidget window;
  window.show();
  cPicture pics;
  int dpi = 0;
  const gdi::StdPicture p = pics.LoadPictureEx(file, -1, false, dpi, std::int32_t(0x80000005u), 0, 0, 0, 0);
  if (!p || !p->handle()) return false;
  return !desain::pikselLatar(pics, p).isNull();
}

void runRoad(benchmark::State& state, Kind kind, bool (*read)(const QString&)) {
  const QString file = pictureFile(kind);
  if (file.isEmpty()) return state.SkipWithError("not written");
  benchsupport::PeakMemory m;
  for (auto _ : state) {
    m = benchsupport::measureInChild([&](benchsupport::PeakMeter&) -> long { return read(file) ? 1 : 0; });
    state.SetIterationTime(m.seconds);
  }
  state.counters["peak_MB"] = m.peakMb;
  state.counters["read"] = m.value == 1;
  state.counters["file_bytes"] = double(QFileInfo(file).size());
}

#define ROAD_BENCH(road, kind)                                                         \
  void road##_##kind(benchmark::State& state) { runRoad(state, Kind::kind, road); } \
  BENCHMARK(road##_##kind)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)

ROAD_BENCH(photoFull, ProgressiveFull);
ROAD_BENCH(photoFull, Baseline);
ROAD_BENCH(photoFull, PngRgba);
ROAD_BENCH(photoFull, Tiff);
ROAD_BENCH(photoCard, ProgressiveFull);
ROAD_BENCH(photoCard, Baseline);
ROAD_BENCH(photoCard, PngRgba);
ROAD_BENCH(photoCard, Tiff);
ROAD_BENCH(designerBackground, ProgressiveFull);
ROAD_BENCH(designerBackground, Baseline);
ROAD_BENCH(designerBackground, PngRgba);
ROAD_BENCH(designerBackground, Tiff);
ROAD_BENCH(designerBackground, PngOpaque);
ROAD_BENCH(designerBackground, TiffOpaque);

}  // namespace
