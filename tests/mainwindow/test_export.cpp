// The list export through the "Export" button, each workbook read back by openpyxl.
#include <QDate>
#include <QDir>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "mainwindow_fixture.h"
#include "vb.h"

using namespace testsupport;

namespace {

// Sheet names, then every row of the first sheet as [type, text] cells (null when empty).
constexpr const char* kReader = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
rows = [[None if c.value is None else [c.data_type, str(c.value)] for c in r] for r in ws.iter_rows()]
print(json.dumps({"sheets": wb.sheetnames, "rows": rows}))
)";

QJsonObject readWorkbook(const QString& file) {
  QProcess p;
  p.start(QStringLiteral(LENTAVO_PYTHON3), {QStringLiteral("-c"), QString::fromLatin1(kReader), file});
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

class Export : public MainWindowTest {
 protected:
  void SetUp() override {
    pf.addKelas("X-1");
    pf.addKelas("X-2");
    pf.addMember("00123", "=1+1", "X-1", "0000123", "1234567890123456");
    pf.addMember("00124", "Budi \"Si\" O'Neil", "X-1");
    pf.addMember("00125", "Zoë Ärzte 日本", "X-1", "1E5", "007");
    pf.addMember("99", "Kelas lain", "X-2");
    start();
    w->show();
  }
  void clickExport() { QTest::mouseClick(w->Export, Qt::LeftButton); }
  QStringList filesIn(const QTemporaryDir& d) const {
    return QDir(d.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  QTemporaryDir out;
};

TEST_F(Export, WritesTheFilteredSortedListAsTextWithoutTheIdColumn) {
  w->CmbKelas->setCurrentIndex(w->CmbKelas->findText("X-1"));
  w->CmbKelas_Click();
  QHeaderView* h = w->Lv1->header();
  for (int i = 0; i < 2; ++i)  // by name, descending
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(3) + 5, h->height() / 2));
  const QString file = out.filePath("anggota.xlsx");
  dialogs.queueFile(file);
  clickExport();

  const auto asked = dialogs.callsOf(ScriptedDialogs::Kind::File);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].file.save);
  EXPECT_EQ(asked[0].file.filter, "Excel File (*.xlsx)|*.xlsx");
  EXPECT_EQ(asked[0].file.fileName,
            "Export " + vb::appTitle() + QDate::currentDate().toString("ddMMyyyy") + ".xlsx");
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList({"Export Completed"}));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbInformation);
  const auto opened = dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].prompt, file);
  EXPECT_EQ(filesIn(out), QStringList({"anggota.xlsx"}));  // no part file left beside it

  const QJsonObject wb = readWorkbook(file);
  EXPECT_EQ(wb["sheets"].toArray(), QJsonArray({"Sheet1"}));
  QStringList heading;
  for (int c = 1; c <= 9; ++c) heading << w->Lv1->columnText(c);
  const QList<QStringList> expected = {
      heading,
      {"3", "00125", "007", "Zoë Ärzte 日本", "Bandung, 1 Mei 2010", "Islam", "L", "1E5", "X-1"},
      {"2", "00124", "0000124", "Budi \"Si\" O'Neil", "Bandung, 1 Mei 2010", "Islam", "L", "", "X-1"},
      {"1", "00123", "1234567890123456", "=1+1", "Bandung, 1 Mei 2010", "Islam", "L", "0000123", "X-1"},
  };
  const QJsonArray rows = wb["rows"].toArray();
  ASSERT_EQ(rows.size(), expected.size());
  for (int r = 0; r < rows.size(); ++r) {
    const QJsonArray cells = rows[r].toArray();
    ASSERT_EQ(cells.size(), 9) << "row " << r + 1;  // the id column stays out
    for (int c = 0; c < 9; ++c) {
      SCOPED_TRACE(QString("%1%2").arg(QChar('A' + c)).arg(r + 1).toStdString());
      if (expected[r][c].isEmpty()) {
        EXPECT_TRUE(cells[c].isNull());
        continue;
      }
      EXPECT_EQ(cells[c][0].toString(), "s");
      EXPECT_EQ(cells[c][1].toString(), expected[r][c]);
    }
  }
}

TEST_F(Export, WritesNothingWhenTheListIsEmptyTheDialogIsCancelledOrTheFolderIsMissing) {
  const struct {
    const char* name;
    const char* search;  // typed before the export; finds nothing when set
    bool cancel;
    const char* message;
    int flags;
    bool appTitle;  // the box's title; otherwise the window's caption
  } cases[] = {
      {"cancel", nullptr, true, "you cancelled the dialog box", ui::vbOKOnly, true},
      {"missing folder", nullptr, false, "Unexpected error. Err 75 : File tidak dapat dibuat di ", ui::vbOKOnly, true},
      {"empty list", "zzz", false, "No data to export", ui::vbInformation, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.search) {
      w->Text1->setText(c.search);
      w->Command1->click();
    } else if (c.cancel) {
      dialogs.queueFileCancel();
    } else {
      dialogs.queueFile(out.filePath("missing/anggota.xlsx"));
    }
    dialogs.clear();
    clickExport();
    EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::File).size(), c.search ? 0u : 1u);
    ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, c.flags);
    EXPECT_EQ(dialogs.lastMsgBox().title, c.appTitle ? vb::appTitle() : w->Caption());
    EXPECT_TRUE(dialogs.callsOf(ScriptedDialogs::Kind::OpenDocument).empty());
    EXPECT_TRUE(filesIn(out).isEmpty());
  }
}

}  // namespace
