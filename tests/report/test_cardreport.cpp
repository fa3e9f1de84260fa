// The report component as the print handlers drive it: the ten steps, the job they
// hand over, the errors a window shows, and printing from the preview window.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include "cardrender.h"
#include "cardtemplate.h"
#include "connstring.h"
#include "preview.h"
#include "report_fixture.h"
#include "scoped_hooks.h"

using namespace reporttest;

namespace {

class CardReportTest : public ReportFolder {};

TEST_F(CardReportTest, TheTenStepsHandOverTheWholeJobWithRowsInQueryOrder) {
  pf.addMember(QStringLiteral("003"), QStringLiteral("Citra"), QStringLiteral("X-1"), QStringLiteral("BC003"));
  pf.addMember(QStringLiteral("001"), QStringLiteral("Agus"), QStringLiteral("X-1"), QString());
  for (const char* nis : {"003", "001"}) tick(idOf(QString::fromLatin1(nis)));
  tick(987654);  // ticked, then deleted before the print

  const report::Job job = runSteps(QStringLiteral("03.rep"));
  EXPECT_EQ(job.templateFile, templ(QStringLiteral("03.rep")));
  EXPECT_EQ(job.title, QStringLiteral("Cetak Kartu Siswa"));
  EXPECT_EQ(job.connectionString, connectionString());
  EXPECT_EQ(job.query, kMainQuery);
  EXPECT_TRUE(job.preview && job.modal && job.zoomToFit);
  EXPECT_EQ(job.fieldNames.mid(0, 10),
            (QStringList{"idsiswa", "id", "nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"}));
  ASSERT_EQ(job.rows.size(), 3u);
  // By name; the deleted member's Null name first, with its id and nothing else.
  EXPECT_EQ(job.rows[0][0].toString(), QStringLiteral("987654"));
  for (int i = 1; i < job.rows[0].size(); ++i) EXPECT_TRUE(job.rows[0][i].isNull()) << i;
  EXPECT_EQ(job.rows[1][4].toString(), QStringLiteral("Agus"));
  EXPECT_TRUE(job.rows[1][8].isNull());
  EXPECT_EQ(job.rows[2][8].toString(), QStringLiteral("BC003"));
  // The captions and the card texts come along from the same database.
  EXPECT_EQ(job.face.caption[0], QStringLiteral("NIS"));
  EXPECT_EQ(job.face.header[2], QStringLiteral("SMA NEGERI 1 CONTOH"));
}

TEST_F(CardReportTest, ConnectionStringsAreReadWhateverTheOrderCaseAndQuoting) {
  using report::parseConnectionString;
  const auto a = parseConnectionString(QStringLiteral(
      " jet oledb:DATABASE password = 'it''s' ; DATA  SOURCE=\"C:\\a;b=c\\db.mdb\";Provider=Microsoft.Jet.OLEDB.4.0;"));
  EXPECT_EQ(a.value(QStringLiteral("data source")), QStringLiteral("C:\\a;b=c\\db.mdb"));
  EXPECT_EQ(a.value(QStringLiteral("jet oledb:database password")), QStringLiteral("it's"));
  EXPECT_EQ(a.value(QStringLiteral("provider")), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
  EXPECT_THROW(parseConnectionString(QStringLiteral("Data Source=\"x.mdb;Provider=y")), vb::VbError);
  EXPECT_THROW(parseConnectionString(QStringLiteral("Data Source=x.mdb;garbage")), vb::VbError);
}

TEST_F(CardReportTest, EveryFailureIsAVbErrorTellingWhatWentWrong) {
  QFile garbage(templ(QStringLiteral("bad.rep")));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write("\x89PNG\r\n\x1a\n not a template at all");
  garbage.close();
  QFile wrong(templ(QStringLiteral("wrong.rep")));  // well-formed, but asks for the impossible
  ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
  wrong.write(R"({"format": "lentavo-card-template", "version": 1, "connection": "gg", "dataset": "datasiswa",
    "page": {"kind": "card"}, "card": {"side": "front"},
    "elements": [{"type": "photo", "box": [80, 40, 30, 30]}]})");
  wrong.close();
  struct Case {
    const char* file;
    const char* connection;
    const char* password;
    const char* dataset;
    const char* query;
    QStringList words;  // in the error's text
  };
  const Case cases[] = {
      {"99.rep", "gg", "718403", "datasiswa", "select 1", {"99.rep", "not found"}},
      {"bad.rep", "gg", "718403", "datasiswa", "select 1", {"bad.rep", "not valid"}},
      {"wrong.rep", "gg", "718403", "datasiswa", "select 1", {"elements[0].box", "card"}},
      {"03.rep", "hh", "718403", "datasiswa", "select 1", {"\"hh\"", "\"gg\""}},
      {"03.rep", "gg", "000000", "datasiswa", "select 1", {"password"}},
      {"03.rep", "gg", "718403", "data", "select 1", {"\"data\""}},
      {"03.rep", "gg", "718403", "datasiswa", "select * from tidakada", {"tidakada"}},
  };
  ScopedRunHook hook;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words.join(u' ').toStdString());
    try {
      report::CardReportX r;
      r.ReportFile = templ(QString::fromLatin1(c.file));
      r.SetConnection(QString::fromLatin1(c.connection), connectionString(QString::fromLatin1(c.password)));
      r.Connect(QString::fromLatin1(c.connection));
      QString sql = QString::fromLatin1(c.query);
      r.SetDatasetSQL(QString::fromLatin1(c.dataset), sql);
      r.OpenDataset(QString::fromLatin1(c.dataset));
      r.Run();
      ADD_FAILURE() << "no error";
    } catch (const vb::VbError& e) {
      for (const QString& w : c.words)
        EXPECT_TRUE(e.description.contains(w, Qt::CaseInsensitive)) << e.description.toStdString();
    }
  }
  report::CardReportX early;
  early.ReportFile = templ(QStringLiteral("03.rep"));
  EXPECT_THROW(early.Run(), vb::VbError);
  EXPECT_TRUE(hook.jobs.empty());
}

// Prints from the open preview window as a user does: the toolbar's print button, then
// in Qt's print dialog the "Print to File (PDF)" printer, a file name and OK. The dialog
// puts its default paper on the printer, as it does for a real printer.
void printFromPreview(QWidget* preview, const QString& file) {
  struct DialogDriver : QObject {
    QString file;
    bool shown = false;
    bool eventFilter(QObject* o, QEvent* e) override {
      auto* dlg = qobject_cast<QPrintDialog*>(o);
      if (!dlg || e->type() != QEvent::Show || shown) return false;
      shown = true;
      QMetaObject::invokeMethod(
          dlg,
          [dlg, f = file] {
            auto* printers = dlg->findChild<QComboBox*>(QStringLiteral("printers"));
            ASSERT_NE(printers, nullptr);
            printers->setCurrentIndex(printers->findText(QStringLiteral("Print to File (PDF)")));
            dlg->findChild<QLineEdit*>(QStringLiteral("filename"))->setText(f);
            dlg->accept();
          },
          Qt::QueuedConnection);
      return false;
    }
  } driver;
  driver.file = file;
  qApp->installEventFilter(&driver);
  QAction* print = nullptr;
  for (QAction* a : preview->findChildren<QAction*>())
    if (a->text().remove(u'&') == QLatin1String("Print")) print = a;
  ASSERT_NE(print, nullptr);
  print->trigger();
  qApp->removeEventFilter(&driver);
  EXPECT_TRUE(driver.shown);
}

TEST_F(CardReportTest, EveryRoadToPaperCarriesTheTemplatesPage) {
  addTicked(QStringLiteral("A1"), QStringLiteral("Ani"), QStringLiteral("QR-ANI-0001"));
  addTicked(QStringLiteral("B2"), QStringLiteral("Bayu"), QStringLiteral("Bayu – 12/3 é"));
  struct Case {
    const char* templateName;
    int pages;
    QSizeF pt;
  };
  for (const Case& c : {Case{"04.rep", 2, kCardPt}, Case{"02.rep", 1, kA4Pt}}) {
    SCOPED_TRACE(c.templateName);
    const QString name = QString::fromLatin1(c.templateName);
    // From the preview window, through the print dialog.
    const QString viaDialog = pf.path(name + QStringLiteral("-dialog.pdf")), kept = viaDialog + QStringLiteral(".pdf");
    int previewPages = 0;
    testsupport::ScopedModalHook modal([&](QWidget* w, QWidget*) {
      auto* view = w->findChild<QPrintPreviewWidget*>();
      ASSERT_NE(view, nullptr);
      previewPages = view->pageCount();
      EXPECT_EQ(view->zoomMode(), QPrintPreviewWidget::FitInView);
      printFromPreview(w, viaDialog);
      // The printer now names a file; showing the pages again leaves that file alone.
      ASSERT_TRUE(QFile::rename(viaDialog, kept));
      view->updatePreview();
      EXPECT_FALSE(QFile::exists(viaDialog));
    });
    report::CardReportX r;
    prepare(r, name);
    r.Run();
    ASSERT_EQ(modal.count(), 1);
    EXPECT_EQ(modal.calls[0].title, QStringLiteral("Cetak Kartu Siswa"));
    EXPECT_EQ(previewPages, c.pages);
    // Without the preview: the same paint routine on a printer set to another paper.
    const QString direct = pf.path(name + QStringLiteral("-direct.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(direct);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    report::CardRenderer renderer(runSteps(name),
                                  std::make_shared<report::CardTemplate>(report::loadTemplate(templ(name))));
    EXPECT_TRUE(report::printCards(printer, renderer));

    for (const QString& pdf : {kept, direct}) {
      SCOPED_TRACE(pdf.toStdString());
      expectPages(pdf, c.pages, c.pt);
      EXPECT_EQ(decodePage(pdf, 1),
                c.pages == 1 ? (QStringList{"Bayu – 12/3 é", "QR-ANI-0001"}) : QStringList{"QR-ANI-0001"});
    }
  }
}

}  // namespace
