// Card fronts to PDF: N cards of the card-front templates (03: Code 128, 04: QR), each
// member with a distinct 300 x 400 photo (and for 04 its QR picture). Reports the PDF's
// size and the process's peak memory; run one size per process to compare peaks:
//   bench_report --benchmark_filter='Fronts/1000/4/'
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QApplication>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "cardrender.h"
#include "cardreport.h"
#include "cardtemplate.h"
#include "preview.h"
#include "qrcode.h"
#include "vb.h"

namespace {

// A program folder with the shipped templates and card faces and the members' pictures,
// made once per process and grown as a benchmark needs more members.
struct Folder {
  QTemporaryDir dir;
  int photos = 0, qrs = 0;

  Folder() {
    QDir d(dir.path());
    for (const char* sub : {"photos", "images", "barcode", "temp"}) d.mkpath(QString::fromLatin1(sub));
    for (const char* f : {"temp/03.rep", "temp/04.rep", "images/depan2.jpg", "images/temp.jpg"})
      QFile::copy(QStringLiteral(LENTAVO_ASSETS "/") + QLatin1String(f), path(QString::fromLatin1(f)));
    vb::setProgramFolder(dir.path());
  }
  QString path(const QString& rel) const { return dir.path() + u'/' + rel; }
  static QString nis(int i) { return QStringLiteral("2024/%1").arg(i, 5, 10, QLatin1Char('0')); }

  void ensurePhotos(int n) {
    QRandomGenerator rng(42);
    for (; photos < n; ++photos) {
      QImage img(300, 400, QImage::Format_RGB32);
      img.fill(QColor::fromHsv((photos * 37) % 360, 60, 230));
      QPainter p(&img);
      p.setRenderHint(QPainter::Antialiasing);
      for (int k = 0; k < 12; ++k) {
        p.setBrush(QColor::fromHsv(rng.bounded(360), 120 + rng.bounded(100), 80 + rng.bounded(170)));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(rng.bounded(300), rng.bounded(400)), 20 + rng.bounded(80), 20 + rng.bounded(80));
      }
      p.setPen(Qt::black);
      p.setFont(QFont(QStringLiteral("DejaVu Sans"), 28));
      p.drawText(img.rect(), Qt::AlignCenter, QString::number(photos));
      p.end();
      QString name = nis(photos);
      name.replace(u'/', u'-');
      img.save(path(QStringLiteral("photos/") + name + QStringLiteral(".jpg")), "JPG", 90);
    }
  }
  void ensureQrs(int n) {
    for (; qrs < n; ++qrs)
      barcode::saveQrJpeg(QStringLiteral("SMA1-%1").arg(qrs + 1, 6, 10, QLatin1Char('0')),
                          path(QStringLiteral("barcode/%1.jpg").arg(qrs + 1)));
  }

  // The job the main window hands over for n ticked members.
  report::Job job(int n, int templateNo) {
    report::Job j;
    j.templateFile = path(QStringLiteral("temp/0%1.rep").arg(templateNo));
    j.title = QStringLiteral("Cetak Kartu Siswa");
    j.fieldNames = QStringList{"idsiswa", "id", "nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"};
    for (int i = 0; i < n; ++i)
      j.rows.push_back({QString::number(i + 1), qlonglong(i + 1), nis(i), QStringLiteral("00%1").arg(9000000 + i),
                        QStringLiteral("Siswa Nomor %1").arg(i, 5, 10, QLatin1Char('0')),
                        QStringLiteral("Bandung, 1 Mei 2010"), QStringLiteral("Islam"),
                        i % 2 ? QStringLiteral("P") : QStringLiteral("L"),
                        QStringLiteral("SMA1-%1").arg(i + 1, 6, 10, QLatin1Char('0')), QStringLiteral("XII IPA 1")});
    const char* const header[] = {"PEMERINTAH KABUPATEN CONTOH", "DINAS PENDIDIKAN", "SMA NEGERI 1 CONTOH",
                                  "Jl. Pendidikan No. 1, Contoh"};
    for (int k = 0; k < 4; ++k) j.face.header[k] = QString::fromLatin1(header[k]);
    j.face.footer[0] = QStringLiteral("Kepala Sekolah,");
    j.face.footer[2] = QStringLiteral("Nama Kepala Sekolah");
    j.face.footer[3] = QStringLiteral("NIP. -");
    j.face.qr = templateNo == 4;
    return j;
  }
};

Folder& folder() {
  static Folder f;
  return f;
}

void Fronts(benchmark::State& state) {
  const int n = int(state.range(0)), templateNo = int(state.range(1));
  Folder& f = folder();
  f.ensurePhotos(n);
  if (templateNo == 4) f.ensureQrs(n);
  const report::Job job = f.job(n, templateNo);
  const QString out = f.path(QStringLiteral("cards.pdf"));
  for (auto _ : state) report::renderToPdf(job, out);
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  state.counters["cards"] = n;
  state.counters["pdf_MB"] = double(QFileInfo(out).size()) / (1024.0 * 1024.0);
  state.counters["peak_RSS_MB"] = double(ru.ru_maxrss) / 1024.0;
}
BENCHMARK(Fronts)->ArgsProduct({{100, 1000}, {3, 4}})->Unit(benchmark::kMillisecond)->UseRealTime();

// The QR card fronts as the print preview window holds them: every page recorded in
// memory. Peak memory of one size a process:
//   /usr/bin/time -f %M bench_report --benchmark_filter='Preview/5000'
void Preview(benchmark::State& state) {
  const int n = int(state.range(0));
  Folder& f = folder();
  f.ensurePhotos(n);
  f.ensureQrs(n);
  const report::Job job = f.job(n, 4);
  report::CardRenderer renderer(job,
                                std::make_shared<const report::CardTemplate>(report::loadTemplate(job.templateFile)));
  for (auto _ : state) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewWidget view(&printer);
    QObject::connect(&view, &QPrintPreviewWidget::paintRequested,
                     [&renderer](QPrinter* target) { report::printCards(*target, renderer); });
    view.updatePreview();
    benchmark::DoNotOptimize(view.pageCount());
  }
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  state.counters["cards"] = n;
  state.counters["peak_RSS_MB"] = double(ru.ru_maxrss) / 1024.0;
}
BENCHMARK(Preview)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
