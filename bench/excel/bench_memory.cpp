// What reading a workbook costs in memory and time: a hostile one (one sheet of 4.2 million
// one-digit cells, a 63 MB part behind a small file) and a large ordinary one (100,000
// members), next to openpyxl reading the same ordinary workbook. Each read runs in a child
// process, whose peak resident memory above its start is reported as peak_MB.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <map>
#include <string>

#include "peak_memory.h"
#include "workbook.h"

namespace {

// Writes the workbooks: "hostile" (256 rows of 16,384 cells "<c><v>d</v></c>") or "members N"
// (a header row and N member rows of nine texts and numbers, shared strings as Excel writes).
constexpr const char* kWriter = R"(import sys, zipfile
mode, out = sys.argv[1], sys.argv[2]
m = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
def save(sheet, strings):
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        ct = "application/vnd.openxmlformats-officedocument.spreadsheetml."
        z.writestr("[Content_Types].xml", '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="%ssheet.main+xml"/>'
                   '<Override PartName="/xl/s.xml" ContentType="%sworksheet+xml"/>'
                   '<Override PartName="/xl/t.xml" ContentType="%ssharedStrings+xml"/></Types>' % (ct, ct, ct))
        z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % r)
        z.writestr("xl/workbook.xml", '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="S" sheetId="1" r:id="r1"/></sheets></workbook>' % (m, r))
        z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="%s/worksheet" Target="s.xml"/><Relationship Id="r2" Type="%s/sharedStrings" Target="t.xml"/></Relationships>' % (r, r))
        z.writestr("xl/t.xml", '<sst xmlns="%s">' % m + "".join("<si><t>%s</t></si>" % s for s in strings) + "</sst>")
        z.writestr("xl/s.xml", '<worksheet xmlns="%s"><sheetData>' % m + sheet + "</sheetData></worksheet>")
if mode == "hostile":
    row = "".join("<c><v>%d</v></c>" % (c % 10) for c in range(16384))
    save("".join("<row>" + row + "</row>" for _ in range(256)), [])
else:
    strings, index, rows = [], {}, []
    def s(text):
        if text not in index:
            index[text] = len(strings)
            strings.append(text)
        return index[text]
    def row(n, values):
        cells = "".join('<c r="%s%d" t="s"><v>%d</v></c>' % (chr(65 + i), n, s(v)) if isinstance(v, str) else
                        '<c r="%s%d"><v>%d</v></c>' % (chr(65 + i), n, v) for i, v in enumerate(values))
        return '<row r="%d">%s</row>' % (n, cells)
    rows.append(row(1, ["No", "NIS", "NISN", "Nama", "Tempat, Tgl. Lahir", "Agama", "Jenis Kelamin", "Barcode", "Kelas"]))
    for i in range(1, int(sys.argv[3]) + 1):
        nis = "%06d" % i
        rows.append(row(i + 1, [i, nis, "00" + nis + "1234", "Siswa O'Neil %d" % i, "Bandung, 1 Mei 2010", "Islam",
                                "LP"[i % 2], "B" + nis, "X-%d" % (i % 8)]))
    save("".join(rows), strings))";

const QString& workbook(const QString& mode) {
  static QTemporaryDir dir;
  static std::map<QString, QString> made;
  QString& path = made[mode];
  if (path.isEmpty()) {
    path = dir.filePath(QString(mode).replace(' ', '_') + ".xlsx");
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3), QStringList{"-c", kWriter} + QStringList{mode.section(' ', 0, 0), path} +
                                                 (mode.contains(' ') ? QStringList{mode.section(' ', 1)} : QStringList{}));
    if (!p.waitForFinished(300000) || p.exitCode() != 0) path = "-";
  }
  return path;
}

// Reads `path` in a child process: the peak resident memory the read added and its time, taken
// before the workbook is torn down; the value is the cells read, -1 where the read failed.
benchsupport::PeakMemory measureRead(const std::string& path) {
  return benchsupport::measureInChild([&](benchsupport::PeakMeter& meter) -> long {
    excel::Workbook book;
    long cells = -1;
    if (excel::readWorkbook(path, &book).empty() && book.firstWorksheet())
      cells = static_cast<long>(book.firstWorksheet()->cells.size());
    meter.stop();
    return cells;
  });
}

void BM_ReadPeakMemory(benchmark::State& state, const char* mode) {
  const QString& file = workbook(mode);
  if (file == "-") return state.SkipWithError("workbook not written");
  const std::string path = QFile::encodeName(file).toStdString();
  benchsupport::PeakMemory m;
  for (auto _ : state) {
    m = measureRead(path);
    if (m.value < 0) return state.SkipWithError("read failed");
    state.SetIterationTime(m.seconds);
  }
  state.counters["peak_MB"] = m.peakMb;
  state.counters["cells"] = double(m.value);
  state.counters["file_KB"] = double(QFileInfo(file).size()) / 1024;
}
BENCHMARK_CAPTURE(BM_ReadPeakMemory, hostile, "hostile")->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_CAPTURE(BM_ReadPeakMemory, members_100000, "members 100000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

constexpr const char* kOpenpyxl = R"(import sys, time, resource, openpyxl
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
t = time.perf_counter()
wb = openpyxl.load_workbook(sys.argv[1])
rows = [[str(v) for v in r] for r in wb.worksheets[0].iter_rows(values_only=True)]
print(time.perf_counter() - t, (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024))";

void BM_OpenpyxlPeakMemory(benchmark::State& state) {
  const QString& file = workbook("members 100000");
  if (file == "-") return state.SkipWithError("workbook not written");
  double peak = 0;
  for (auto _ : state) {
    QProcess p;
    p.start(QStringLiteral(LENTAVO_PYTHON3), {"-c", kOpenpyxl, file});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) return state.SkipWithError("openpyxl failed");
    const QStringList out = QString::fromUtf8(p.readAllStandardOutput()).split(' ');
    state.SetIterationTime(out.value(0).toDouble());
    peak = out.value(1).toDouble();
  }
  state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_OpenpyxlPeakMemory)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
