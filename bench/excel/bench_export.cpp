// The list export's workbook at school size (10,000 members, nine text columns), side by
// side with openpyxl writing the same rows (timed inside Python, without its start-up).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "xlsxwrite.h"

namespace {

constexpr int kMembers = 10000;

QList<QStringList> memberRows() {
  QList<QStringList> rows{{"No", "NIS", "NISN", "Nama", "Tempat, Tgl. Lahir", "Agama", "Jenis Kelamin", "Barcode",
                           "Kelas"}};
  for (int i = 1; i <= kMembers; ++i) {
    const QString nis = QString::number(i).rightJustified(6, '0');
    rows << QStringList{QString::number(i), nis, "00" + nis + "1234", QStringLiteral("Siswa Ärzte %1").arg(i),
                        "Bandung, 1 Mei 2010", "Islam", i % 2 ? "L" : "P", "B" + nis, QStringLiteral("X-%1").arg(i % 8)};
  }
  return rows;
}

void BM_ExportWorkbook(benchmark::State& state) {
  const QList<QStringList> rows = memberRows();
  QTemporaryDir dir;
  for (auto _ : state) {
    const QString error = excel::writeTextSheet(dir.filePath("export.xlsx"), rows);
    if (!error.isEmpty()) state.SkipWithError(error.toStdString().c_str());
  }
}
BENCHMARK(BM_ExportWorkbook)->Unit(benchmark::kMillisecond);

constexpr const char* kOpenpyxl = R"(import sys, time, openpyxl
rows = [line.split("\t") for line in open(sys.argv[1], encoding="utf-8").read().split("\n")]
t = time.perf_counter()
wb = openpyxl.Workbook()
ws = wb.active
for r in rows:
    ws.append(r)
wb.save(sys.argv[2])
print(time.perf_counter() - t))";

void BM_OpenpyxlWorkbook(benchmark::State& state) {
  QTemporaryDir dir;
  QFile in(dir.filePath("rows.txt"));
  if (!in.open(QIODevice::WriteOnly)) return state.SkipWithError("rows file");
  QStringList lines;
  for (const QStringList& r : memberRows()) lines << r.join('\t');
  in.write(lines.join('\n').toUtf8());
  in.close();
  for (auto _ : state) {
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3), {"-c", kOpenpyxl, in.fileName(), dir.filePath("openpyxl.xlsx")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0) return state.SkipWithError("openpyxl failed");
    state.SetIterationTime(p.readAllStandardOutput().trimmed().toDouble());
  }
}
BENCHMARK(BM_OpenpyxlWorkbook)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
