// The import preview of a workbook at school size (10,000 members, nine columns) through
// the window's "Browse" handler (read and list fill), the reading alone, and openpyxl
// loading the same workbook and taking every value (timed inside Python, without its
// start-up).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "Frmimport.h"
#include "dialogs.h"
#include "workbook.h"
#include "xlsxwrite.h"

namespace {

constexpr int kMembers = 10000;

// Answers the file dialog with the workbook and counts the boxes shown.
class Host : public ui::DialogHost {
 public:
  QString workbook;
  int boxes = 0;
  int msgBox(const QString&, int, const QString&) override { return ++boxes, 1; }
  QString inputBox(const QString&, const QString&, const QString&) override { return {}; }
  ui::FileAnswer file(const ui::FileRequest&) override { return {true, workbook}; }
  ui::FontAnswer font(const QFont&, const QColor&) override { return {}; }
  ui::ColorAnswer color(const QColor&) override { return {}; }
  ui::FolderAnswer folder(const QString&) override { return {}; }
  bool openDocument(const QString&) override { return true; }
};

const QString& workbook() {
  static QTemporaryDir dir;
  static const QString path = [] {
    QList<QStringList> rows{{"No", "NIS", "NISN", "Nama", "Tempat, Tgl. Lahir", "Agama", "Jenis Kelamin", "Barcode",
                             "Kelas"}};
    for (int i = 1; i <= kMembers; ++i) {
      const QString nis = QString::number(i).rightJustified(6, '0');
      rows << QStringList{QString::number(i), nis, "00" + nis + "1234", QStringLiteral("Siswa O'Neil %1").arg(i),
                          "Bandung, 1 Mei 2010", "Islam", i % 2 ? "L" : "P", "B" + nis, QStringLiteral("X-%1").arg(i % 8)};
    }
    const QString file = dir.filePath("siswa.xlsx");
    return excel::writeTextSheet(file, rows).isEmpty() ? file : QString();
  }();
  return path;
}

void BM_PreviewWorkbook(benchmark::State& state) {
  Host host;
  host.workbook = workbook();
  ui::DialogHost* previous = ui::setDialogHost(&host);
  Frmimport* f = forms::get<Frmimport>();
  for (auto _ : state) f->cmdCariFileExcel_Click();
  if (host.boxes || f->lvwList->count() != kMembers) state.SkipWithError("preview failed");
  forms::unload<Frmimport>();
  ui::setDialogHost(previous);
}
BENCHMARK(BM_PreviewWorkbook)->Unit(benchmark::kMillisecond);

void BM_ReadWorkbook(benchmark::State& state) {
  const std::string path = QFile::encodeName(workbook()).toStdString();
  for (auto _ : state) {
    excel::Workbook book;
    if (!excel::readWorkbook(path, &book).empty()) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(book);
  }
}
BENCHMARK(BM_ReadWorkbook)->Unit(benchmark::kMillisecond);

constexpr const char* kOpenpyxl = R"(import sys, time, openpyxl
t = time.perf_counter()
wb = openpyxl.load_workbook(sys.argv[1])
rows = [[str(v) for v in r] for r in wb.worksheets[0].iter_rows(values_only=True)]
print(time.perf_counter() - t))";

void BM_OpenpyxlReadWorkbook(benchmark::State& state) {
  for (auto _ : state) {
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3), {"-c", kOpenpyxl, workbook()});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return state.SkipWithError("openpyxl failed");
    state.SetIterationTime(p.readAllStandardOutput().trimmed().toDouble());
  }
}
BENCHMARK(BM_OpenpyxlReadWorkbook)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
