// The whole print road of "Desain Depan" on the main window with 1,000 ticked members
// and the QR template: the selection table, the QR images, the member query and the
// cards rendered into a PDF (the report's run hands the job to the PDF writer instead of
// the preview window).
//   Road/repeat: the members printed before, their QR images are current.
//   Road/first:  no QR image on disk, every one is written.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include "Frmcari.h"
#include "Module1.h"
#include "cardreport.h"
#include "forms.h"
#include "vb.h"

namespace {

constexpr int kMembers = 1000;

struct Road {
  QTemporaryDir dir;
  Frmcari* w = nullptr;

  QString path(const QString& rel) const { return dir.path() + u'/' + rel; }

  Road() {
    QDir d(dir.path());
    for (const char* sub : {"database", "photos", "images", "barcode", "temp"}) d.mkpath(QString::fromLatin1(sub));
    QFile::copy(QStringLiteral(LENTAVO_SEED_DB), path("database/database.mdb"));
    QFile::setPermissions(path("database/database.mdb"), QFile::ReadOwner | QFile::WriteOwner);
    for (const char* f : {"temp/04.rep", "images/depan2.jpg", "images/temp.jpg"})
      QFile::copy(QStringLiteral(LENTAVO_ASSETS "/") + QLatin1String(f), path(QString::fromLatin1(f)));
    vb::setProgramFolder(dir.path());
    {
      ado::Connection c;
      c.ConnectionString = "Data Source=" + path("database/database.mdb");
      c.setProperty("Jet OLEDB:Database Password", "718403");
      c.Open();
      c.Execute("update tblsetting set barcode = 'QR Code'");
      c.Execute("BEGIN");
      for (int i = 0; i < kMembers; ++i) {
        const QString nis = QStringLiteral("2024/%1").arg(i, 5, 10, QLatin1Char('0'));
        c.Execute(QStringLiteral("insert into tblanggota (nis, nisn, nama, ttl, agama, kelamin, barcode, kelas) values "
                                 "('%1', '00%2', 'Siswa Nomor %3', 'Bandung, 1 Mei 2010', 'Islam', 'L', "
                                 "'SMA1-%2', 'XII IPA 1')")
                      .arg(nis)
                      .arg(9000000 + i)
                      .arg((i * 7919) % kMembers, 5, 10, QLatin1Char('0')));
        writePhoto(i, QString(nis).replace(u'/', u'-'));
      }
      c.Execute("COMMIT");
    }
    w = forms::get<Frmcari>();
    for (int i = 1; i <= w->Lv1->count(); ++i) w->Lv1->setChecked(i, true);
    report::setRunHook([this](const report::Job& job) { report::renderToPdf(job, path("cards.pdf")); });
  }

  // A distinct 300 x 400 photo a member, as a camera crop saves it.
  void writePhoto(int i, const QString& name) const {
    QImage img(300, 400, QImage::Format_RGB32);
    img.fill(QColor::fromHsv((i * 37) % 360, 60, 230));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int k = 0; k < 12; ++k) {
      p.setBrush(QColor::fromHsv((i * 53 + k * 97) % 360, 120 + k * 8, 80 + k * 14));
      p.drawEllipse(QPointF((i * 13 + k * 71) % 300, (i * 29 + k * 43) % 400), 20 + k * 6, 20 + (k * 11) % 80);
    }
    p.setPen(Qt::black);
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 28));
    p.drawText(img.rect(), Qt::AlignCenter, QString::number(i));
    p.end();
    img.save(path("photos/" + name + ".jpg"), "JPG", 90);
  }
};

Road& road() {
  static Road r;
  return r;
}

void run(benchmark::State& state, bool first) {
  Road& r = road();
  r.w->m_Front_Click();  // warm: templates, fonts and QR images in place
  for (auto _ : state) {
    if (first) {
      state.PauseTiming();
      QDir(r.path("barcode")).removeRecursively();
      QDir(r.dir.path()).mkpath("barcode");
      state.ResumeTiming();
    }
    r.w->m_Front_Click();
  }
  state.counters["cards"] = kMembers;
  state.counters["qr_images"] = double(QDir(r.path("barcode")).entryList(QDir::Files).size());
  state.counters["pdf_MB"] = double(QFileInfo(r.path("cards.pdf")).size()) / (1024.0 * 1024.0);
}

void Road_repeat(benchmark::State& state) { run(state, false); }
void Road_first(benchmark::State& state) { run(state, true); }
BENCHMARK(Road_repeat)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(Road_first)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
