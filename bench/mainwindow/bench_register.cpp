// The register at school size: start-up with 100,000 members to the filled main window,
// deleting 1,000 ticked members, and a search keyword that makes LIKE backtrack.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "Frmcari.h"
#include "Module1.h"
#include "dialogs.h"
#include "forms.h"
#include "vb.h"

namespace {

// Answers Yes to every question; nothing else is expected while measuring.
class YesHost : public ui::DialogHost {
 public:
  int msgBox(const QString&, int, const QString&) override { return 6; }  // vbYes
  QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
  ui::FileAnswer file(const ui::FileRequest&) override { return {}; }
  ui::FontAnswer font(const QFont&, const QColor&) override { return {}; }
  ui::ColorAnswer color(const QColor&) override { return {}; }
  ui::FolderAnswer folder(const QString&) override { return {}; }
  bool openDocument(const QString&) override { return false; }
};

void addMembers(ado::Connection& c, int from, int count, const QString& nama) {
  c.Execute("BEGIN");
  for (int i = from; i < from + count; ++i)
    c.Execute(QString("insert into tblanggota (nis, nisn, nama, ttl, agama, kelamin, barcode, kelas) values "
                      "('%1', '99%1', '%2', 'Bandung, 1 Mei 2010', 'Islam', 'P', 'B%1', 'X-%3')")
                  .arg(100000 + i)
                  .arg(nama.isEmpty() ? QString("Siswa %1").arg((i * 7919) % 100003) : nama)
                  .arg(i % 30));
  c.Execute("COMMIT");
}

// A program folder holding `members` members, made once per size and kept for the run.
QString programFolder(int members, const QString& nama = {}) {
  static std::map<QString, std::unique_ptr<QTemporaryDir>> folders;
  const QString key = QString::number(members) + nama;
  auto& dir = folders[key];
  if (dir) return dir->path();
  dir = std::make_unique<QTemporaryDir>();
  const QString root = dir->path();
  for (const char* sub : {"database", "images", "photos"}) QDir(root).mkpath(sub);
  QFile::copy(QStringLiteral(LENTAVO_SEED_DB), root + "/database/database.mdb");
  QFile::setPermissions(root + "/database/database.mdb", QFile::ReadOwner | QFile::WriteOwner);
  ado::Connection c;
  c.ConnectionString = "Data Source=" + root + "/database/database.mdb";
  c.setProperty("Jet OLEDB:Database Password", "718403");
  c.Open();
  c.Execute("BEGIN");
  for (int k = 0; k < 30; ++k) c.Execute(QString("insert into t_kelas (kelas) values ('X-%1')").arg(k));
  c.Execute("COMMIT");
  addMembers(c, 0, members, nama);
  return root;
}

// Ends the main window of the last benchmark and its connection.
void closeMainWindow() {
  if (forms::isLoaded<Frmcari>()) delete forms::get<Frmcari>();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  Module1::tutupKoneksi();
}

Frmcari* startOn(const QString& folder) {
  closeMainWindow();
  vb::setProgramFolder(folder);
  return forms::get<Frmcari>();
}

void BM_startup100k(benchmark::State& state) {
  YesHost host;
  ui::DialogHost* previous = ui::setDialogHost(&host);
  const QString folder = programFolder(100000);
  int rows = 0;
  for (auto _ : state) {
    state.PauseTiming();
    closeMainWindow();
    vb::setProgramFolder(folder);
    state.ResumeTiming();
    rows = forms::get<Frmcari>()->Lv1->count();
  }
  state.counters["rows"] = rows;
  closeMainWindow();
  ui::setDialogHost(previous);
}
BENCHMARK(BM_startup100k)->Unit(benchmark::kMillisecond)->Iterations(10);

// "Hapus" with 1,000 of 5,000 rows ticked (every fifth), answered Yes.
void BM_deleteTicked1000(benchmark::State& state) {
  YesHost host;
  ui::DialogHost* previous = ui::setDialogHost(&host);
  Frmcari* w = startOn(programFolder(5000));
  int next = 5000;
  for (auto _ : state) {
    state.PauseTiming();
    if (w->Lv1->count() < 5000) {
      addMembers(*Module1::Conn, next, 5000 - w->Lv1->count(), {});
      next += 1000;
      w->tampilData();
    }
    for (int i = 1; i <= w->Lv1->count(); ++i) w->Lv1->setChecked(i, i % 5 == 0);
    w->Lv1->setCurrentIndex1(1);
    state.ResumeTiming();
    w->Command5_Click();
  }
  state.counters["left"] = w->Lv1->count();
  closeMainWindow();
  ui::setDialogHost(previous);
}
BENCHMARK(BM_deleteTicked1000)->Unit(benchmark::kMillisecond)->Iterations(10);

// One keystroke of the as-you-type search with a keyword whose "%"s SQLite's own LIKE tries
// in every combination, over 20 members whose names are long runs of one letter.
void BM_searchPathologicalLike(benchmark::State& state) {
  YesHost host;
  ui::DialogHost* previous = ui::setDialogHost(&host);
  Frmcari* w = startOn(programFolder(20, QString(120, u'a')));
  const QString keywords[] = {QStringLiteral("a%a%a%a%b"), QStringLiteral("a%a%a%a%c")};
  int k = 0;
  for (auto _ : state) w->Text1->setText(keywords[k++ % 2]);
  state.counters["rows"] = w->Lv1->count();
  closeMainWindow();
  ui::setDialogHost(previous);
}
BENCHMARK(BM_searchPathologicalLike)->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace
