// What reading a tiny GIF that states a large canvas costs in memory and time: the photo road
// reading it, and the picture library's decoder stepping through every frame as an animation
// plays them. Each read runs in a child process, whose peak resident memory above its start
// is reported as peak_MB; read=0 where the limits refuse the file.
//   canvas_3_frames: 9985 x 3585, three 1 x 1 frames (beyond the limit for an animation)
//   canvas_1_frame:  8192 x 4128, one 1 x 1 frame
//   anim_at_limit:   5000 x 4000, two 1 x 1 frames restoring the canvas
//   full_3_frames:   3000 x 3000, three frames covering the canvas and restoring it
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "decoders.h"
#include "gif_writer.h"
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

}  // namespace
