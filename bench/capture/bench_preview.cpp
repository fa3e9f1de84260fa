// The webcam window's live preview of a 640 x 480, 30 frames a second test source: frames
// shown a second and the CPU the whole program uses, beside a bare gst-launch-1.0 pipeline
// from the same source into a fakesink, measured the same way over the same time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "forms.h"
#include "frmWebcame.h"
#include "settings.h"
#include "vb.h"

namespace {

constexpr int kSeconds = 10;
const char* kSource = "videotestsrc is-live=true";
const char* kCaps = "video/x-raw,width=640,height=480,framerate=30/1";

double cpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long maxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void BM_WebcamPreview(benchmark::State& state) {
  QTemporaryDir folder;
  vb::setProgramFolder(folder.path());
  camera::saveSettings(camera::settingsFile(folder.path(), "Test"), {kCaps, {}});
  camera::setDeviceSource([] { return std::vector<camera::Device>{{"Test", kSource}}; });
  auto* w = forms::get<frmWebcame>();
  w->show();
  w->mnuCamerasCamera[0]->trigger();
  if (w->lblStatus->text() != " Viewing camera") {
    state.SkipWithError("the test source did not start");
    return;
  }
  QEventLoop warm;  // the first frames settle the window
  QTimer::singleShot(1000, &warm, &QEventLoop::quit);
  warm.exec();
  double shown = 0, received = 0, cpu = 0, wall = 0;
  long rssBefore = 0, rssAfter = 0;
  for (auto _ : state) {
    const long long painted0 = w->videoWindow->framesPainted, received0 = w->videoWindow->framesReceived;
    rssBefore = maxRssKb();
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer::singleShot(kSeconds * 1000, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    cpu += cpuSeconds(RUSAGE_SELF) - cpu0;
    wall += seconds;
    shown += double(w->videoWindow->framesPainted - painted0);
    received += double(w->videoWindow->framesReceived - received0);
    rssAfter = maxRssKb();
    state.SetIterationTime(seconds);
  }
  state.counters["frames_shown_per_s"] = shown / wall;
  state.counters["frames_pulled_per_s"] = received / wall;
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
  state.counters["max_rss_growth_kb"] = double(rssAfter - rssBefore);
  forms::unload<frmWebcame>();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  camera::setDeviceSource({});
}
BENCHMARK(BM_WebcamPreview)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// arg 0: the same live source as the window; arg 1: the source as a file-like one, which a
// fakesink that does not sync lets run as fast as it can.
void BM_GstLaunchFakesink(benchmark::State& state) {
  const QString source = state.range(0) == 0 ? QString::fromLatin1(kSource) : QStringLiteral("videotestsrc");
  const QStringList args =
      QStringList{"-q"} + source.split(' ') + QStringList{"!", QString::fromLatin1(kCaps), "!", "fakesink"};
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
    QProcess gst;
    QElapsedTimer clock;
    clock.start();
    gst.start(QStringLiteral("gst-launch-1.0"), args);
    if (!gst.waitForStarted(5000)) {
      state.SkipWithError("gst-launch-1.0 is missing (package gstreamer1.0-tools)");
      return;
    }
    gst.waitForFinished(kSeconds * 1000);  // runs until it is ended
    gst.terminate();
    if (!gst.waitForFinished(5000)) {
      gst.kill();
      gst.waitForFinished(5000);
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    cpu += cpuSeconds(RUSAGE_CHILDREN) - cpu0;
    wall += seconds;
    state.SetIterationTime(seconds);
  }
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
}
BENCHMARK(BM_GstLaunchFakesink)->Arg(0)->Arg(1)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
