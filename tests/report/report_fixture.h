#pragma once
// A program folder with the shipped card templates and card faces, the ten steps the
// print handlers drive, and the command-line tools that read a PDF back: pdfinfo for
// its pages, pdftoppm to rasterise them, zbarimg to read the printed codes.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include "cardreport.h"
#include "program_folder.h"
#include "qrcode.h"
#include "qt_printers.h"
#include "vb.h"

namespace reporttest {

inline const QString kMainQuery = QStringLiteral(
    "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");
inline const QSizeF kCardPt(85.60 * 72 / 25.4, 53.98 * 72 / 25.4), kA4Pt(595.28, 841.89);

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

// Standard output of a tool (scripts/deps installs them); a failure to run fails the test.
inline QString runTool(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  EXPECT_TRUE(p.waitForFinished(120000)) << program.toStdString() << " did not run";
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Page sizes of a PDF in points, as pdfinfo reads the MediaBox of each page.
inline std::vector<QSizeF> pdfPageSizes(const QString& pdf) {
  const QString info = runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-l"), QStringLiteral("9999"), pdf});
  static const QRegularExpression size(QStringLiteral("Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts"));
  std::vector<QSizeF> out;
  for (auto it = size.globalMatch(info); it.hasNext();) {
    const auto m = it.next();
    out.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
  }
  return out;
}

// Every page exactly `pt`: a card page in whole points is a card cut 0.13 mm off.
inline void expectPages(const QString& pdf, int count, QSizeF pt) {
  const std::vector<QSizeF> sizes = pdfPageSizes(pdf);
  EXPECT_EQ(int(sizes.size()), count);
  for (const QSizeF& s : sizes) {
    EXPECT_NEAR(s.width(), pt.width(), 0.01);
    EXPECT_NEAR(s.height(), pt.height(), 0.01);
  }
}

// A word of a PDF page and its box in points from the page's top left corner.
struct Word {
  QString text;
  QRectF box;
};
// The words of each page, in reading order, as pdftotext -bbox finds them.
inline std::vector<std::vector<Word>> pdfWords(const QString& pdf) {
  const QString html = runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
  static const QRegularExpression item(QStringLiteral(
      R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
  std::vector<std::vector<Word>> pages;
  for (auto it = item.globalMatch(html); it.hasNext();) {
    const auto m = it.next();
    if (m.captured(5).isNull() && m.captured(1).isNull()) {
      pages.emplace_back();
    } else if (!pages.empty()) {
      pages.back().push_back({m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                                    QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
    }
  }
  return pages;
}

// One page of a PDF as a picture at 300 dpi.
inline QImage rasterise(const QString& pdf, int page) {
  const QString base = pdf + QStringLiteral("-p%1").arg(page);
  runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                                       QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                       QString::number(page), QStringLiteral("-singlefile"), pdf, base});
  return QImage(base + QStringLiteral(".png"));
}

// The texts of the codes zbarimg reads off a picture file, sorted; empty when none.
inline QStringList decodeCodes(const QString& imageFile) {
  QStringList out = runTool(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), imageFile})
                        .split(u'\n', Qt::SkipEmptyParts);
  out.sort();
  return out;
}

inline QStringList decodePage(const QString& pdf, int page) {
  rasterise(pdf, page);
  return decodeCodes(pdf + QStringLiteral("-p%1.png").arg(page));
}

class ReportFolder : public ::testing::Test {
 protected:
  QString connectionString(const QString& password = QStringLiteral("718403")) const {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1;Jet OLEDB:Database Password=%2")
        .arg(pf.path(QStringLiteral("database/database.mdb")), password);
  }
  QString templ(const QString& name) const { return pf.path(QStringLiteral("temp/") + name); }

  qlonglong idOf(const QString& nis) {
    ado::Recordset rs;
    rs.Open(QStringLiteral("select id from tblanggota where nis = '%1'").arg(ado::q(nis)), pf.db());
    return rs.EOF_() ? -1 : rs.field(0).toLongLong();
  }
  void tick(qlonglong id) { pf.db().Execute(QStringLiteral("insert into tbltemp(id) values ('%1')").arg(id)); }
  // Adds a member, ticks it and writes its QR picture as a QR print does.
  void addTicked(const QString& nis, const QString& nama, const QString& code) {
    pf.addMember(nis, nama, QStringLiteral("XII IPA 1"), code);
    tick(idOf(nis));
    barcode::saveQrJpeg(code, pf.path(QStringLiteral("barcode/%1.jpg").arg(idOf(nis))));
  }

  // Steps 1 to 9 as the print handlers drive them on `r`.
  void prepare(report::CardReportX& r, const QString& templateName, QString query = kMainQuery) {
    r.ReportFile = templ(templateName);
    r.Preview = true;
    r.Title = QStringLiteral("Cetak Kartu Siswa");
    r.SetConnection(QStringLiteral("gg"), connectionString());
    r.Connect(QStringLiteral("gg"));
    r.SetDatasetSQL(QStringLiteral("datasiswa"), query);
    r.OpenDataset(QStringLiteral("datasiswa"));
    r.Modal = true;
    r.ZoomToFit(true);
  }
  // All ten steps; Run hands the job to the hook.
  report::Job runSteps(const QString& templateName, const QString& query = kMainQuery) {
    ScopedRunHook hook;
    report::CardReportX r;
    prepare(r, templateName, query);
    EXPECT_EQ(r.Run(), 0);
    EXPECT_EQ(hook.jobs.size(), 1u);
    return hook.jobs.empty() ? report::Job{} : hook.jobs.front();
  }

  testsupport::ProgramFolder pf;
};

}  // namespace reporttest
