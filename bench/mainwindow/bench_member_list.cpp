// Filling the main window's member list from 10,000 members, and the class filter.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Frmcari.h"
#include "Module1.h"
#include "forms.h"
#include "vb.h"

namespace {

constexpr int kMembers = 10000;
constexpr int kClasses = 30;

Frmcari* mainWindow() {
  static QTemporaryDir dir;
  static Frmcari* w = nullptr;
  if (w) return w;
  QDir(dir.path()).mkpath("database");
  QDir(dir.path()).mkpath("images");
  QDir(dir.path()).mkpath("photos");
  QFile::copy(QStringLiteral(LENTAVO_SEED_DB), dir.path() + "/database/database.mdb");
  QFile::setPermissions(dir.path() + "/database/database.mdb", QFile::ReadOwner | QFile::WriteOwner);
  vb::setProgramFolder(dir.path());
  {
    ado::Connection c;
    c.ConnectionString = "Data Source=" + dir.path() + "/database/database.mdb";
    c.setProperty("Jet OLEDB:Database Password", "718403");
    c.Open();
    c.Execute("BEGIN");
    for (int k = 0; k < kClasses; ++k) c.Execute(QString("insert into t_kelas (kelas) values ('X-%1')").arg(k));
    for (int i = 0; i < kMembers; ++i)
      c.Execute(QString("insert into tblanggota (nis, nisn, nama, ttl, agama, kelamin, barcode, kelas) values "
                        "('%1', '99%1', 'Siswa %2', 'Bandung, 1 Mei 2010', 'Islam', 'P', 'B%1', 'X-%3')")
                    .arg(100000 + i)
                    .arg((i * 7919) % kMembers)
                    .arg(i % kClasses));
    c.Execute("COMMIT");
  }
  w = forms::get<Frmcari>();
  return w;
}

void BM_tampilData(benchmark::State& state) {
  Frmcari* w = mainWindow();
  for (auto _ : state) {
    w->tampilData();
    benchmark::DoNotOptimize(w->Lv1->count());
  }
  state.counters["rows"] = w->Lv1->count();
}
BENCHMARK(BM_tampilData)->Unit(benchmark::kMillisecond);

void BM_classFilter(benchmark::State& state) {
  Frmcari* w = mainWindow();
  int k = 0;
  for (auto _ : state) {
    {
      QSignalBlocker b(w->CmbKelas);
      w->CmbKelas->setCurrentIndex(1 + (k++ % kClasses));
    }
    w->CmbKelas_Click();
    benchmark::DoNotOptimize(w->Lv1->count());
  }
  state.counters["rows"] = w->Lv1->count();
}
BENCHMARK(BM_classFilter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
