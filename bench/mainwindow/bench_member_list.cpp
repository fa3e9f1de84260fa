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

// One keystroke of the as-you-type search: the typed text changes, the list refills.
void BM_searchKeystroke(benchmark::State& state) {
  Frmcari* w = mainWindow();
  const QStringList typed = {"S", "Si", "Sis", "Sisw", "Siswa", "Siswa ", "Siswa 1", "Siswa 12", "Siswa 1"};
  int k = 0;
  for (auto _ : state) {
    w->Text1->setText(typed[k++ % typed.size()]);
    benchmark::DoNotOptimize(w->Lv1->count());
  }
  state.counters["rows"] = w->Lv1->count();
  w->Text1->setText(QString());
}
BENCHMARK(BM_searchKeystroke)->Unit(benchmark::kMillisecond);

// The heaviest keystroke: a first letter that every member's name holds.
void BM_searchKeystrokeAllMatch(benchmark::State& state) {
  Frmcari* w = mainWindow();
  int k = 0;
  for (auto _ : state) {
    w->Text1->setText(k++ % 2 ? QStringLiteral("a") : QStringLiteral("A"));
    benchmark::DoNotOptimize(w->Lv1->count());
  }
  state.counters["rows"] = w->Lv1->count();
  w->Text1->setText(QString());
}
BENCHMARK(BM_searchKeystrokeAllMatch)->Unit(benchmark::kMillisecond);

// A header click on 10,000 rows: sorts by the names, up then down.
void BM_columnSort(benchmark::State& state) {
  Frmcari* w = mainWindow();
  w->tampilData();
  for (auto _ : state) {
    w->Lv1_ColumnClick(4);
    benchmark::DoNotOptimize(w->Lv1->itemText(1));
  }
  state.counters["rows"] = w->Lv1->count();
}
BENCHMARK(BM_columnSort)->Unit(benchmark::kMillisecond);

// Parts of the heaviest keystroke, to see where its time goes.
void BM_partQueryOnly(benchmark::State& state) {
  mainWindow();
  for (auto _ : state) {
    ado::Recordset rs;
    rs.Open(
        "Select * From Tblanggota where nis like '%a%' or  nisn like '%a%' or  nama  like '%a%' or  ttl like "
        "'%a%' or  agama like '%a%' order by nis",
        *Module1::Conn);
    benchmark::DoNotOptimize(rs.RecordCount());
  }
}
BENCHMARK(BM_partQueryOnly)->Unit(benchmark::kMillisecond);

void BM_partSqliteOnly(benchmark::State& state) {
  mainWindow();
  for (auto _ : state) {
    ado::Recordset rs;
    rs.Open(
        "Select count(*), max(nis || nisn || nama || ttl || agama || kelamin || barcode || kelas) From (select * from "
        "Tblanggota where nis like '%a%' or  nisn like '%a%' or  nama  like '%a%' or  ttl like "
        "'%a%' or  agama like '%a%' order by nis)",
        *Module1::Conn);
    benchmark::DoNotOptimize(rs.RecordCount());
  }
}
BENCHMARK(BM_partSqliteOnly)->Unit(benchmark::kMillisecond);

void BM_partClearList(benchmark::State& state) {
  Frmcari* w = mainWindow();
  for (auto _ : state) {
    state.PauseTiming();
    w->tampilData();
    state.ResumeTiming();
    w->Lv1->clearItems();
  }
}
BENCHMARK(BM_partClearList)->Unit(benchmark::kMillisecond);

}  // namespace
