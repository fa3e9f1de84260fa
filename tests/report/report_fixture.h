#pragma once
// A program folder with the shipped card templates and card faces, the ten steps the
// print handlers drive, and the command-line tools that read a PDF back: pdfinfo for
// its pages, pdftoppm to rasterise them, zbarimg to read the printed codes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "cardreport.h"
#include "program_folder.h"
#include "qt_printers.h"
#include "vb.h"

namespace reporttest {

inline const QString kMainQuery = QStringLiteral(
    "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");

// Captures the job instead of presenting it, for the lifetime of the object.
class ScopedRunHook {
 public:
  ScopedRunHook() : previous_(report::runHook()) {
    report::setRunHook([this](const report::Job& j) { jobs.push_back(j); });
  }
  ~ScopedRunHook() { report::setRunHook(previous_); }
  std::vector<report::Job> jobs;

 private:
  report::RunHook previous_;
};

struct ToolResult {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

inline ToolResult runTool(const QString& program, const QStringList& args) {
  ToolResult r;
  if (QStandardPaths::findExecutable(program).isEmpty()) {
    ADD_FAILURE() << program.toStdString() << " is not installed (scripts/deps installs it)";
    return r;
  }
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(120000)) {
    ADD_FAILURE() << program.toStdString() << " did not finish";
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

// Page sizes of a PDF in millimetres, as pdfinfo reads the MediaBox of each page.
inline std::vector<QSizeF> pdfPageSizes(const QString& pdf) {
  const ToolResult info = runTool(QStringLiteral("pdfinfo"), {pdf});
  EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
  const QRegularExpressionMatch pages =
      QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(info.out));
  const int n = pages.hasMatch() ? pages.captured(1).toInt() : 0;
  std::vector<QSizeF> out;
  if (n == 0) return out;
  const ToolResult boxes =
      runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-box"), QStringLiteral("-f"), QStringLiteral("1"),
                                          QStringLiteral("-l"), QString::number(n), pdf});
  EXPECT_TRUE(boxes.err.isEmpty()) << boxes.err.toStdString();
  static const QRegularExpression mediaBox(
      QStringLiteral("Page\\s+\\d+\\s+MediaBox:\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)"));
  auto it = mediaBox.globalMatch(QString::fromUtf8(boxes.out));
  while (it.hasNext()) {
    const auto m = it.next();
    const double pt = 25.4 / 72.0;
    out.emplace_back((m.captured(3).toDouble() - m.captured(1).toDouble()) * pt,
                     (m.captured(4).toDouble() - m.captured(2).toDouble()) * pt);
  }
  EXPECT_EQ(int(out.size()), n);
  return out;
}

// One page of a PDF as a picture at 300 dpi.
inline QImage rasterise(const QString& pdf, int page) {
  const QString base = pdf + QStringLiteral("-p%1").arg(page);
  const ToolResult r =
      runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                                           QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                           QString::number(page), QStringLiteral("-singlefile"), pdf, base});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  return QImage(base + QStringLiteral(".png"));
}

// The texts of the codes zbarimg reads off a picture file; empty when it finds none.
inline QStringList decodeCodes(const QString& imageFile) {
  const ToolResult r = runTool(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), imageFile});
  QStringList out;
  for (const QString& line : QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts)) out << line;
  return out;
}

inline QStringList decodePage(const QString& pdf, int page) {
  rasterise(pdf, page);
  return decodeCodes(pdf + QStringLiteral("-p%1.png").arg(page));
}

// A pixel of a rasterised page at a point given in millimetres.
inline QColor pixelAt(const QImage& page, double xMm, double yMm) {
  return page.pixelColor(int(xMm * 300 / 25.4), int(yMm * 300 / 25.4));
}

inline bool near(QColor a, QColor b, int tolerance = 30) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

class ReportFolder : public ::testing::Test {
 protected:
  // The program folder brings the shipped templates and card faces along.
  void SetUp() override {
    for (const char* f : {"temp/01.rep", "temp/02.rep", "temp/03.rep", "temp/04.rep", "temp/05.rep",
                          "images/depan2.jpg", "images/back2.jpg"})
      ASSERT_TRUE(QFile::exists(pf.path(QString::fromLatin1(f)))) << f;
  }

  QString connectionString(const QString& password = QStringLiteral("718403")) const {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(pf.path(QStringLiteral("database/database.mdb")), password);
  }
  // A template by name, or by a path under the program folder written with "\\".
  QString templ(const QString& name) const {
    return name.startsWith(u'\\') ? pf.root() + name : pf.path(QStringLiteral("temp/") + name);
  }

  qlonglong idOf(const QString& nis) {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select id from tblanggota where nis = '%1'").arg(ado::q(nis)), pf.db());
    return rs.EOF_() ? -1 : rs.field(0).toLongLong();
  }
  void tick(qlonglong id) { pf.db().Execute(QStringLiteral("insert into tbltemp(id) values ('%1')").arg(id)); }

  // The ten steps as the print handlers drive them; Run hands the job to the hook.
  report::Job runSteps(const QString& templateName, QString query = kMainQuery,
                       const QString& title = QStringLiteral("Cetak Kartu Siswa")) {
    ScopedRunHook hook;
    report::CardReportX r;
    r.ReportFile = templ(templateName);
    r.Preview = true;
    r.Title = title;
    r.SetConnection(QStringLiteral("gg"), connectionString());
    r.Connect(QStringLiteral("gg"));
    r.SetDatasetSQL(QStringLiteral("datasiswa"), query);
    r.OpenDataset(QStringLiteral("datasiswa"));
    r.Modal = true;
    r.ZoomToFit(true);
    EXPECT_EQ(r.Run(), 0);
    EXPECT_EQ(hook.jobs.size(), 1u);
    return hook.jobs.empty() ? report::Job{} : hook.jobs.front();
  }

  QString pdf(const QString& name) const { return pf.path(name); }

  testsupport::ProgramFolder pf;
};

}  // namespace reporttest
