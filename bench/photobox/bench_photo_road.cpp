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

// A JPEG of `photo` read at the size `drawn` it is drawn at.
void readAtSize(benchmark::State& state, QSize photo, QSize drawn) {
  QTemporaryDir dir;
  const QString file =
      testsupport::writeFile(dir.filePath("foto.jpg"), testsupport::jpegBytes(photo.width(), photo.height()));
  for (auto _ : state) {
    const photobox::PictureFile read = photobox::readPictureFile(file, drawn);
    if (read.image.size() != drawn) state.SkipWithError("wrong size");
  }
  state.SetLabel(QStringLiteral("%1 x %2 in %3 x %4")
                     .arg(photo.width())
                     .arg(photo.height())
                     .arg(drawn.width())
                     .arg(drawn.height())
                     .toStdString());
}

void cardPhoto(benchmark::State& state) { readAtSize(state, QSize(3000, 4000), QSize(300, 400)); }
BENCHMARK(cardPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// A member photo as the webcam crop saves it, read for its place on a printed card.
void printedPhoto(benchmark::State& state) { readAtSize(state, QSize(300, 400), QSize(213, 284)); }
BENCHMARK(printedPhoto)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
