// What reading a large workbook keeps: every allocation of this program is counted, and the
// peak during a read may pass the cells it returns by little more than the texts they
// hold, however large the sheet part, and never passes the budget of what may be kept.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <cstdlib>
#include <new>

#include "workbook.h"

namespace {

std::atomic<std::size_t> live{0}, peak{0};

void counted(void* p) {
  const std::size_t now = live += malloc_usable_size(p);
  for (std::size_t was = peak; now > was && !peak.compare_exchange_weak(was, now);) {
  }
}

}  // namespace

void* operator new(std::size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  counted(p);
  return p;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  live -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void* operator new[](std::size_t n) { return operator new(n); }
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  void* p = std::malloc(n ? n : 1);
  if (p) counted(p);
  return p;
}
void operator delete(void* p, const std::nothrow_t&) noexcept { operator delete(p); }

namespace {

// One sheet of `rows` rows of 100 cells: "numbers" (one digit, no positions), "shared" (two
// long shared strings), "reversed" (numbers, the rows last to first) or "dates" (date
// styled numbers, each its own text).
constexpr const char* kWriter = R"(import sys, zipfile
kind, rows, out = sys.argv[1], int(sys.argv[2]), sys.argv[3]
m = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
def row(n):
    if kind == "shared":
        return "<row>" + "".join('<c t="s"><v>%d</v></c>' % (c % 2) for c in range(100)) + "</row>"
    if kind == "dates":
        return "<row>" + "".join('<c s="1"><v>%d</v></c>' % (40000 + n + c) for c in range(100)) + "</row>"
    if kind == "reversed":
        return '<row r="%d">' % (rows - n) + "".join("<c><v>%d</v></c>" % (c % 10) for c in range(100)) + "</row>"
    return "<row>" + "".join("<c><v>%d</v></c>" % (c % 10) for c in range(100)) + "</row>"
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("xl/workbook.xml", '<workbook xmlns="%s" xmlns:r="%s"><sheets><sheet name="S" r:id="r1"/></sheets></workbook>' % (m, r))
    z.writestr("xl/_rels/workbook.xml.rels", '<Relationships><Relationship Id="r1" Type="%s/worksheet" Target="s.xml"/>'
               '<Relationship Id="r2" Type="%s/sharedStrings" Target="t.xml"/><Relationship Id="r3" Type="%s/styles" Target="y.xml"/>'
               '</Relationships>' % (r, r, r))
    z.writestr("xl/t.xml", '<sst xmlns="%s"><si><t>%s</t></si><si><t>%s</t></si></sst>' % (m, "Siswa " * 20, "Guru " * 20))
    z.writestr("xl/y.xml", '<styleSheet xmlns="%s"><cellXfs><xf/><xf numFmtId="14"/></cellXfs></styleSheet>' % m)
    z.writestr("xl/s.xml", '<worksheet xmlns="%s"><sheetData>' % m + "".join(row(n) for n in range(rows)) + "</sheetData></worksheet>"))";

QByteArray workbook(const QTemporaryDir& dir, const char* kind, int rows) {
  const QString path = dir.filePath(QStringLiteral("%1.xlsx").arg(kind));
  QProcess p;
  p.start(QStringLiteral(LENTAVO_PYTHON3), {"-c", kWriter, kind, QString::number(rows), path});
  EXPECT_TRUE(p.waitForFinished(120000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

TEST(WorkbookMemory, ALargeSheetCostsItsCellsAndLittleMore) {
  QTemporaryDir dir;
  constexpr int kRows = 3000;  // 300,000 cells; the sheet part is 4.5 MB or more
  constexpr std::size_t kCells = kRows * 100;
  constexpr std::size_t kSlack = 1u << 20;
  excel::Limits tight;
  tight.maxKeptBytes = kCells * sizeof(excel::Cell) + (2u << 20);
  const struct {
    const char* kind;
    excel::Limits limits;
    std::string why;
    std::size_t bound;  // what the read may add at its peak
    excel::Cell::Type type;
  } cases[] = {
      {"numbers", {}, "", kCells * sizeof(excel::Cell) + kSlack, excel::Cell::Type::Number},
      {"shared", {}, "", kCells * sizeof(excel::Cell) + kSlack, excel::Cell::Type::String},
      // Put in order through keys of 8 bytes a cell rather than a copy of the cells.
      {"reversed", {}, "", kCells * (sizeof(excel::Cell) + 8) + kSlack, excel::Cell::Type::Number},
      // Each date is a text of its own: more than the budget allows.
      {"dates", tight, "Workbook terlalu besar untuk dibaca.", tight.maxKeptBytes + kSlack, excel::Cell::Type::Date},
  };
  for (const auto& c : cases) {
    const QByteArray bytes = workbook(dir, c.kind, kRows);
    excel::Workbook book;
    const std::size_t before = live;
    peak = before;
    const std::string why = excel::readXlsx(bytes.constData(), size_t(bytes.size()), &book, c.limits);
    EXPECT_EQ(why, c.why) << c.kind;
    EXPECT_LE(peak - before, c.bound) << c.kind;
    if (!why.empty()) continue;
    const excel::Sheet& sheet = book.sheets.at(0);
    ASSERT_EQ(sheet.cells.size(), kCells) << c.kind;
    EXPECT_EQ(sheet.cells.front().type, c.type) << c.kind;
    EXPECT_EQ(excel::cellName(sheet.cells.back().row, sheet.cells.back().col), "CV3000") << c.kind;
    // The cells that show one shared string hold that one text.
    if (c.type == excel::Cell::Type::String) {
      EXPECT_EQ(sheet.cells[0].text.view().substr(0, 12), "Siswa Siswa ");
      EXPECT_EQ(sheet.cells[0].text.data(), sheet.cells[kCells - 2].text.data());
    }
  }
}

}  // namespace
