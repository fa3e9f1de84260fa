// What reading a tiny GIF that states a large canvas costs in memory and time: the photo road
// reading it, and the picture library's decoder stepping through every frame as an animation
// plays them. Each read runs in a child process, whose peak resident memory above its start
// is reported as peak_MB; read=0 where the limits refuse the file.
//   canvas_3_frames: 9985 x 3585, three 1 x 1 frames (beyond the limit for an animation)
//   canvas_1_frame:  8192 x 4128, one 1 x 1 frame
//   anim_at_limit:   5000 x 4000, two 1 x 1 frames restoring the canvas
//   full_3_frames:   3000 x 3000, three frames covering the canvas and restoring it
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstring>
#include <memory>
#include <fstream>
#include <functional>
#include <string>

#include <gif_lib.h>

#include <vector>

#include "decoders.h"
#include "photofile.h"

namespace {

// A GIF of `frames` frames of fw x fh at the canvas's top left on a w x h canvas, two
// colours, every pixel index 0; `disposal` 3 restores the canvas after each frame.
QByteArray gifFile(int w, int h, int frames, int fw, int fh, int disposal) {
  QByteArray out;
  int err = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* g, const GifByteType* data, int len) {
        static_cast<QByteArray*>(g->UserData)->append(reinterpret_cast<const char*>(data), len);
        return len;
      },
      &err);
  if (!gif) return {};
  GifColorType colours[2] = {{255, 0, 0}, {0, 255, 0}};
  ColorMapObject* map = GifMakeMapObject(2, colours);
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, w, h, 1, 0, map);
  GifFreeMapObject(map);
  std::vector<GifPixelType> line(std::size_t(fw), 0);
  for (int i = 0; i < frames; ++i) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = disposal;
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType ext[4];
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(EGifGCBToExtension(&gcb, ext)), ext);
    EGifPutImageDesc(gif, 0, 0, fw, fh, false, nullptr);
    for (int y = 0; y < fh; ++y) EGifPutLine(gif, line.data(), fw);
  }
  EGifCloseFile(gif, &err);
  return out;
}

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

struct Measure {
  double seconds = 0;
  double peakMb = 0;
  bool ok = false;
};

// Runs `read` in a child process: the peak resident memory it added and its time.
Measure measure(const std::function<bool()>& work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    {
      std::ofstream reset("/proc/self/clear_refs");
      reset << "5";  // restarts the peak count at the present size
    }
    const long before = statusKb("VmRSS:");
    const auto t0 = std::chrono::steady_clock::now();
    Measure m;
    m.ok = work();
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    m.peakMb = double(statusKb("VmHWM:") - before) / 1024;
    (void)!write(fds[1], &m, sizeof m);
    _exit(0);
  }
  close(fds[1]);
  Measure m;
  if (read(fds[0], &m, sizeof m) != sizeof m) m = {};
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return m;
}

struct Case {
  int w, h, frames, fw, fh, disposal;
};

void run(benchmark::State& state, const Case& c, const std::function<bool(const QString&, const QByteArray&)>& read) {
  QTemporaryDir dir;
  const QByteArray bytes = gifFile(c.w, c.h, c.frames, c.fw, c.fh, c.disposal);
  const QString file = dir.filePath("foto.gif");
  {
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return state.SkipWithError("not written");
  }
  Measure m;
  for (auto _ : state) {
    m = measure([&] { return read(file, bytes); });
    state.SetIterationTime(m.seconds);
  }
  state.counters["peak_MB"] = m.peakMb;
  state.counters["read"] = m.ok;
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
