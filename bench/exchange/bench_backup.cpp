// Backup of a register at school size (10,000 members, 10,000 photos of 15 KB, about
// 150 MB) through the window, side by side with `cp -a` of the same files. The window's
// run also counts its timer ticks and the longest pause between two of them: the copy
// runs on its own thread, so the bar moves while it runs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include <unistd.h>

#include "Frmbackup.h"
#include "ado.h"
#include "backup.h"
#include "dialogs.h"
#include "forms.h"
#include "vb.h"

namespace {

constexpr int kMembers = 10000;
constexpr int kPhotoBytes = 15000;

// Picks the folder it is given and counts the boxes that say the backup is complete.
class Host : public ui::DialogHost {
 public:
  QString destination;
  int complete = 0;
  int msgBox(const QString& prompt, int, const QString&) override {
    complete += prompt == QLatin1String("Backup database complete");
    return 1;
  }
  QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
  ui::FileAnswer file(const ui::FileRequest&) override { return {}; }
  ui::FontAnswer font(const QFont&, const QColor&) override { return {}; }
  ui::ColorAnswer color(const QColor&) override { return {}; }
  ui::FolderAnswer folder(const QString&) override { return {true, destination}; }
  bool openDocument(const QString&) override { return true; }
};

QString programFolder() {
  static QTemporaryDir dir;
  static bool made = false;
  if (made) return dir.path();
  made = true;
  QDir root(dir.path());
  for (const char* sub : {"database", "photos", "images"}) root.mkpath(sub);
  const QString db = dir.path() + "/database/database.mdb";
  QFile::copy(QStringLiteral(LENTAVO_SEED_DB), db);
  QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
  vb::setProgramFolder(dir.path());
  ado::Connection c;
  c.ConnectionString = "Data Source=" + db;
  c.setProperty("Jet OLEDB:Database Password", "718403");
  c.Open();
  c.Execute("BEGIN");
  QByteArray photo(kPhotoBytes, '\0');
  for (int i = 0; i < kMembers; ++i) {
    c.Execute(QString("insert into tblanggota (nis, nisn, nama, ttl, agama, kelamin, barcode, kelas) values "
                      "('%1', '99%1', 'Siswa %1', 'Bandung, 1 Mei 2010', 'Islam', 'P', 'B%1', 'X-1')")
                  .arg(100000 + i));
    for (int k = 0; k < kPhotoBytes; ++k) photo[k] = char((k * 31 + i * 7) & 0xFF);
    QFile f(dir.path() + QString("/photos/%1.jpg").arg(100000 + i));
    if (f.open(QIODevice::WriteOnly)) f.write(photo);
  }
  c.Execute("COMMIT");
  for (const char* pic : {"Front_logo1.gif", "Front_templatar.jpg", "Back_templatar.jpg", "depan2.jpg", "back2.jpg"}) {
    QFile f(dir.path() + "/images/" + pic);
    if (f.open(QIODevice::WriteOnly)) f.write(photo);
  }
  return dir.path();
}

// A fresh, empty destination for each run, made outside the timing.
QString freshDestination(benchmark::State& state, std::unique_ptr<QTemporaryDir>& dest) {
  state.PauseTiming();
  dest = std::make_unique<QTemporaryDir>();
  state.ResumeTiming();
  return dest->path();
}

// `cp -a` of the files a backup holds, into `to`.
bool cpA(const QString& to) {
  QDir().mkpath(to);
  const QString cmd =
      QString("cp -a '%1/database/database.mdb' '%1/photos/.' '%1'/images/*.gif '%1'/images/*_templatar.jpg "
              "'%1/images/depan2.jpg' '%1/images/back2.jpg' '%2'")
          .arg(programFolder(), to);
  return std::system(cmd.toLocal8Bit().constData()) == 0;
}

void BM_cpA(benchmark::State& state) {
  programFolder();
  std::unique_ptr<QTemporaryDir> dest;
  for (auto _ : state)
    if (!cpA(freshDestination(state, dest) + "/copy")) state.SkipWithError("cp -a failed");
}
BENCHMARK(BM_cpA)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_BuatBackup(benchmark::State& state) {
  const QString root = programFolder();
  const backup::Sources from{root + "/database/database.mdb", root + "/photos", root + "/images"};
  const std::atomic<bool> cancel{false};
  std::unique_ptr<QTemporaryDir> dest;
  for (auto _ : state) {
    const QStringList failed = backup::BuatBackup(from, freshDestination(state, dest) + "/copy", cancel);
    if (!failed.isEmpty()) state.SkipWithError("files not copied");
  }
}
BENCHMARK(BM_BuatBackup)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The whole window, from the picked folder through the ticks and the message to the
// closed window; each run is followed by `cp -a` of the same files on the same disk, so
// both see the same load. The time is the window's; cp_a_ms and the ratio come along.
void BM_backupWindow(benchmark::State& state) {
  programFolder();
  Host host;
  ui::DialogHost* previous = ui::setDialogHost(&host);
  std::unique_ptr<QTemporaryDir> dest;
  std::unique_ptr<QTemporaryDir> cpDest;
  int ticks = 0;
  qint64 longestGapMs = 0;
  double windowMs = 0;
  double cpMs = 0;
  for (auto _ : state) {
    host.destination = freshDestination(state, dest);
    ::sync();  // each copy starts with nothing left to write back
    QElapsedTimer run;
    run.start();
    Frmbackup* f = forms::get<Frmbackup>();
    QElapsedTimer sinceTick;
    sinceTick.start();
    QObject::connect(f->Timer1, &QTimer::timeout, f, [&] {
      ++ticks;
      longestGapMs = std::max(longestGapMs, sinceTick.restart());
    });
    QEventLoop loop;
    QObject::connect(f, &QObject::destroyed, &loop, &QEventLoop::quit);
    f->cmdbrowse->click();
    loop.exec();
    const double ms = double(run.nsecsElapsed()) / 1e6;
    windowMs += ms;
    state.SetIterationTime(ms / 1000);
    cpDest = std::make_unique<QTemporaryDir>();
    ::sync();
    run.restart();
    if (!cpA(cpDest->path() + "/copy")) state.SkipWithError("cp -a failed");
    cpMs += double(run.nsecsElapsed()) / 1e6;
    dest.reset();
    cpDest.reset();
  }
  ui::setDialogHost(previous);
  if (host.complete != state.iterations()) state.SkipWithError("backup not complete");
  state.counters["ticks_per_run"] = double(ticks) / double(state.iterations());
  state.counters["longest_tick_gap_ms"] = double(longestGapMs);
  state.counters["cp_a_ms"] = cpMs / double(state.iterations());
  state.counters["window_per_cp_a"] = windowMs / cpMs;
}
BENCHMARK(BM_backupWindow)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
