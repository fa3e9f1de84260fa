// The photo road's reader: how soon a photo that would take the decoder thousands of passes
// is refused, a camera photo read at the size a card draws it, and a member photo read for
// the printed card.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "photo_files.h"
#include "photofile.h"

namespace {

void refused(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = testsupport::writeFile(dir.filePath("foto.jpg"), testsupport::scanHeavyJpeg(6000, 6000, 7600));
  for (auto _ : state) {
    const photobox::PictureFile read = photobox::readPictureFile(file);
    if (read.status != photobox::PictureFile::Status::TooManyScans) state.SkipWithError("not refused");
  }
  state.SetLabel("6000 x 6000, 7600 scans");
}
BENCHMARK(refused)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void cardPhoto(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = testsupport::writeFile(dir.filePath("foto.jpg"), testsupport::jpegBytes(3000, 4000));
  for (auto _ : state) {
    const photobox::PictureFile read = photobox::readPictureFile(file, QSize(300, 400));
    if (read.image.size() != QSize(300, 400)) state.SkipWithError("wrong size");
  }
  state.SetLabel("3000 x 4000 in 300 x 400");
}
BENCHMARK(cardPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// A member photo as the webcam crop saves it, read for its place on a printed card.
void printedPhoto(benchmark::State& state) {
  QTemporaryDir dir;
  const QString file = testsupport::writeFile(dir.filePath("foto.jpg"), testsupport::jpegBytes(300, 400));
  for (auto _ : state) {
    const photobox::PictureFile read = photobox::readPictureFile(file, QSize(213, 284));
    if (read.image.size() != QSize(213, 284)) state.SkipWithError("wrong size");
  }
  state.SetLabel("300 x 400 in 213 x 284");
}
BENCHMARK(printedPhoto)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
