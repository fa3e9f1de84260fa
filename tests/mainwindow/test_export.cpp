// The list export through the "Export" button, each workbook read back by openpyxl.
#include <QDate>
#include <QHeaderView>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "mainwindow_fixture.h"
#include "vb.h"
#include "workbook.h"

using namespace testsupport;

namespace {

// The sheet names, then each row's cells joined by tabs; a cell that is not a string shows
// its type, as in "n:123".
constexpr const char* kReader = R"(import sys, openpyxl
sys.stdout.reconfigure(encoding="utf-8")
wb = openpyxl.load_workbook(sys.argv[1])
print("\t".join(wb.sheetnames))
for r in wb.worksheets[0].iter_rows():
    print("\t".join("" if c.value is None else c.value if c.data_type == "s" else c.data_type + ":" + str(c.value) for c in r)))";

QStringList readWorkbook(const QString& file) {
  QProcess p;
  p.start(QStringLiteral(LENTAVO_PYTHON3), {QStringLiteral("-c"), QString::fromLatin1(kReader), file});
  EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
  return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST_F(MainWindowTest, ExportWritesTheListAsShownAsTextAndNothingWhenEmptyCancelledOrFailed) {
  pf.addKelas("X-1");
  pf.addKelas("X-2");
  pf.addMember("00123", "=1+1", "X-1", "0000123", "1234567890123456");
  pf.addMember("00124", "Budi \"Si\" O'Neil", "X-1");
  pf.addMember("00125", "Zoë Ärzte 日本", "X-1", "1E5", "007");
  pf.addMember("99", "Kelas lain", "X-2");
  start()->show();
  w->CmbKelas->setCurrentIndex(w->CmbKelas->findText("X-1"));
  w->CmbKelas_Click();
  QHeaderView* h = w->Lv1->header();
  for (int i = 0; i < 2; ++i)  // by name, descending
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(3) + 5, h->height() / 2));
  QTemporaryDir out;
  const struct {
    const char* answer;  // the file chosen; "" cancels; nullptr empties the list first
    const char* message;
    int icon;
    QString title;
  } cases[] = {
      {"", "you cancelled the dialog box", ui::vbOKOnly, vb::appTitle()},
      {"missing/a.xlsx", "Unexpected error. Err 75 : File tidak dapat dibuat di ", ui::vbOKOnly, vb::appTitle()},
      {"anggota.xlsx", "Export Completed", ui::vbInformation, w->Caption()},
      {nullptr, "No data to export", ui::vbInformation, w->Caption()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    if (!c.answer) w->Text1->setText("zzz");  // the search finds nobody
    else if (*c.answer) dialogs.queueFile(out.filePath(c.answer));
    else dialogs.queueFileCancel();
    dialogs.clear();
    QTest::mouseClick(w->Export, Qt::LeftButton);
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, c.icon);
    EXPECT_EQ(dialogs.lastMsgBox().title, c.title);
    const auto asked = dialogs.callsOf(ScriptedDialogs::Kind::File);
    ASSERT_EQ(asked.size(), c.answer ? 1u : 0u);
    if (c.answer)
      EXPECT_EQ(asked[0].file.fileName, "Export " + vb::appTitle() + QDate::currentDate().toString("ddMMyyyy") + ".xlsx");
    const bool written = c.answer && QString(c.answer) == "anggota.xlsx";
    EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument).size(), written ? 1u : 0u);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden).size(), written || !c.answer ? 1 : 0);
  }
  QStringList heading;
  for (int c = 1; c <= 9; ++c) heading << w->Lv1->columnText(c);  // not the id column
  const QStringList expected{"Sheet1", heading.join('\t'),
                             "3\t00125\t007\tZoë Ärzte 日本\tBandung, 1 Mei 2010\tIslam\tL\t1E5\tX-1",
                             "2\t00124\t0000124\tBudi \"Si\" O'Neil\tBandung, 1 Mei 2010\tIslam\tL\t\tX-1",
                             "1\t00123\t1234567890123456\t=1+1\tBandung, 1 Mei 2010\tIslam\tL\t0000123\tX-1"};
  EXPECT_EQ(readWorkbook(out.filePath("anggota.xlsx")), expected);
  // Our own reader finds the same texts, every one a string.
  excel::Workbook book;
  ASSERT_EQ(excel::readWorkbook(QFile::encodeName(out.filePath("anggota.xlsx")).toStdString(), &book), "");
  QStringList ours{QString::fromStdString(book.sheets[0].name)};
  for (std::uint32_t r = 1; r <= 4; ++r) {
    QStringList cells;
    for (std::uint32_t c = 1; c <= 9; ++c) {
      const excel::Cell* x = book.sheets[0].at(r, c);
      cells << (!x ? QString() : x->type == excel::Cell::Type::String ? QString::fromStdString(x->text) : "?");
    }
    ours << cells.join('\t');
  }
  EXPECT_EQ(ours, expected);
}

}  // namespace
