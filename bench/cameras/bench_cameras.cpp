// The camera window's hot paths: the crop rectangle following the mouse over the snapshot of
// a 640 x 480 camera as the window shows it, 457 x 343 (restore, outline, two crop copies per
// move), and a 640 x 480 frame from the renderer's packed bitmap to a picture.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "FrmCamera.h"
#include "Modulekamera.h"
#include "dib.h"
#include "vb.h"

namespace {

const char* const kCam = "videotestsrc is-live=true ! capsfilter caps=video/x-raw,width=640,height=480";

void BM_CropMouseMove(benchmark::State& state) {
  QTemporaryDir dir;
  const QString previous = QDir::currentPath();
  QDir::setCurrent(dir.path());
  vb::setProgramFolder(dir.path());
  camgraph::setCameraProvider([] { return std::vector<camgraph::CameraSource>{{"Bench Cam", kCam}}; });
  QFile list(dir.filePath("Settings.txt"));
  if (!list.open(QIODevice::WriteOnly) || list.write("0\r\n\"Bench Cam\"\r\n") < 0) state.SkipWithError("no list");
  list.close();
  {
    FrmCamera w;
    w.Form_Load();
    w.show();
    w.cmdSnap_Click();
    if (!w.Selecting()) state.SkipWithError("no snapshot");
    int i = 0;
    for (auto _ : state) {
      w.picSource_MouseMove(0, 0, 20 + (i * 7) % 400, 20 + (i * 5) % 300);
      ++i;
    }
    state.SetItemsProcessed(state.iterations());
    w.Form_Unload();
  }
  camgraph::setCameraProvider({});
  QDir::setCurrent(previous);
}
BENCHMARK(BM_CropMouseMove)->Unit(benchmark::kMicrosecond);

void BM_FrameToPicture(benchmark::State& state) {
  const int w = 640, h = 480;
  std::vector<std::int32_t> packed(std::size_t(w * h + 40), 0x00336699);
  const std::int32_t header[10] = {40, w, h, 1 | (32 << 16), 0, w * h * 4, 0, 0, 0, 0};
  std::copy(std::begin(header), std::end(header), packed.begin());
  for (auto _ : state) {
    auto picture = Modulekamera::BitmapKePicture(Modulekamera::DIBkeBitmap(packed), 0);
    benchmark::DoNotOptimize(picture->image());
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(w) * h * 4);
}
BENCHMARK(BM_FrameToPicture)->Unit(benchmark::kMicrosecond);

}  // namespace
