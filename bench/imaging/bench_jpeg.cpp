// SaveJPG against libjpeg-turbo's own cjpeg on the same 1011 x 638 picture at quality 90:
// our writer, cjpeg's work done in this process (read the PPM, encode, write through stdio),
// and the cjpeg program itself started for every file.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "cBitmap24.h"
#include "mJpegWriter.h"

extern char** environ;

namespace {

constexpr int kWidth = 1011;
constexpr int kHeight = 638;
constexpr int kQuality = 90;

// A card-like picture: soft gradients, a few hard edges and some sensor-like noise.
struct Fixture {
  std::string dir;
  cBitmap24 bitmap;
  std::string ppm;

  Fixture() {
    char tmpl[] = "/tmp/lentavo-bench-XXXXXX";
    dir = ::mkdtemp(tmpl);
    bitmap.Create(kWidth, kHeight);
    std::uint32_t seed = 12345;
    std::vector<unsigned char> rgb(std::size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
      std::uint8_t* row = bitmap.DIBSectionBitsPtr() + std::int64_t(kHeight - 1 - y) * bitmap.BytesPerScanLine();
      for (int x = 0; x < kWidth; ++x) {
        seed = seed * 1664525u + 1013904223u;
        const int noise = int(seed >> 28) - 8;
        int r = 128 + int(100 * std::sin(x / 90.0)) + noise;
        int g = (y * 255) / kHeight + noise;
        int b = ((x / 64 + y / 64) % 2) ? 220 : 40;
        if ((x - 300) * (x - 300) + (y - 320) * (y - 320) < 150 * 150) r = g = b = 235;
        auto clamp = [](int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
        row[3 * x] = clamp(b);
        row[3 * x + 1] = clamp(g);
        row[3 * x + 2] = clamp(r);
        unsigned char* o = &rgb[(std::size_t(y) * kWidth + x) * 3];
        o[0] = clamp(r);
        o[1] = clamp(g);
        o[2] = clamp(b);
      }
    }
    ppm = dir + "/in.ppm";
    std::FILE* f = std::fopen(ppm.c_str(), "wb");
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    std::fwrite(rgb.data(), 1, rgb.size(), f);
    std::fclose(f);
  }
  ~Fixture() {
    const std::string cmd = "rm -rf '" + dir + "'";
    (void)std::system(cmd.c_str());
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_SaveJPG(benchmark::State& state) {
  Fixture& f = fixture();
  const QString out = QString::fromStdString(f.dir + "/ours.jpg");
  for (auto _ : state) benchmark::DoNotOptimize(mJpegWriter::SaveJPG(f.bitmap, out, kQuality));
}

// What cjpeg does for a PPM, minus starting a process: read the file, encode RGB rows with
// the library's defaults at the given quality, write through stdio.
void BM_CjpegInProcess(benchmark::State& state) {
  Fixture& f = fixture();
  const std::string out = f.dir + "/inproc.jpg";
  std::vector<unsigned char> rgb(std::size_t(kWidth) * kHeight * 3);
  for (auto _ : state) {
    std::FILE* in = std::fopen(f.ppm.c_str(), "rb");
    int w = 0, h = 0, maxval = 0;
    if (std::fscanf(in, "P6 %d %d %d", &w, &h, &maxval) != 3) state.SkipWithError("bad ppm");
    std::fgetc(in);
    if (std::fread(rgb.data(), 1, rgb.size(), in) != rgb.size()) state.SkipWithError("short ppm");
    std::fclose(in);
    std::FILE* file = std::fopen(out.c_str(), "wb");
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = rgb.data() + std::size_t(cinfo.next_scanline) * w * 3;
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(file);
  }
}

// The cjpeg program, started once per file.
void BM_CjpegProcess(benchmark::State& state) {
  Fixture& f = fixture();
  const std::string out = f.dir + "/cjpeg.jpg";
  std::string a0 = "cjpeg", a1 = "-quality", a2 = std::to_string(kQuality), a3 = "-outfile";
  std::string a4 = out, a5 = f.ppm;
  char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), nullptr};
  for (auto _ : state) {
    pid_t pid = 0;
    if (::posix_spawnp(&pid, "cjpeg", nullptr, nullptr, argv, environ) != 0) {
      state.SkipWithError("cjpeg not found");
      break;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("cjpeg failed");
      break;
    }
  }
  // The same settings give the same bytes: say so beside the timings.
  QFile a(QString::fromStdString(out)), b(QString::fromStdString(f.dir + "/ours.jpg"));
  if (a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly))
    state.counters["same_bytes_as_ours"] = a.readAll() == b.readAll() ? 1 : 0;
}

}  // namespace

BENCHMARK(BM_SaveJPG)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CjpegInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CjpegProcess)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
