// The report component as the print handlers drive it: the ten steps, the job they
// hand over, the errors a window shows, and the preview window itself.
#include <QPdfWriter>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>

#include "cardtemplate.h"
#include "preview.h"
#include "connstring.h"
#include "report_fixture.h"
#include "scoped_hooks.h"

using namespace reporttest;

namespace {

class CardReportTest : public ReportFolder {};

// Expects `step` to throw a VbError whose description contains every one of `words`.
template <class F>
void expectVbError(F&& step, std::initializer_list<const char*> words) {
  try {
    step();
    ADD_FAILURE() << "no error";
  } catch (const vb::VbError& e) {
    for (const char* w : words)
      EXPECT_TRUE(e.description.contains(QString::fromUtf8(w), Qt::CaseInsensitive))
          << "\"" << e.description.toStdString() << "\" lacks \"" << w << "\"";
  }
}

TEST_F(CardReportTest, TheTenStepsHandOverTheWholeJobWithRowsInQueryOrder) {
  pf.addMember(QStringLiteral("003"), QStringLiteral("Citra"), QStringLiteral("X-1"), QStringLiteral("BC003"));
  pf.addMember(QStringLiteral("001"), QStringLiteral("Agus"), QStringLiteral("X-1"), QString());
  pf.addMember(QStringLiteral("002"), QStringLiteral("Budi"), QStringLiteral("X-2"), QStringLiteral("BC002"));
  for (const char* nis : {"002", "003", "001"}) tick(idOf(QString::fromLatin1(nis)));

  const report::Job job = runSteps(QStringLiteral("03.rep"));
  EXPECT_EQ(job.templateFile, templ(QStringLiteral("03.rep")));
  EXPECT_EQ(job.title, QStringLiteral("Cetak Kartu Siswa"));
  EXPECT_EQ(job.connectionName, QStringLiteral("gg"));
  EXPECT_EQ(job.connectionString, connectionString());
  EXPECT_EQ(job.datasetName, QStringLiteral("datasiswa"));
  EXPECT_EQ(job.query, kMainQuery);
  EXPECT_TRUE(job.preview);
  EXPECT_TRUE(job.modal);
  EXPECT_TRUE(job.zoomToFit);

  ASSERT_GE(job.fieldNames.size(), 10);
  EXPECT_EQ(job.fieldNames.first(), QStringLiteral("idsiswa"));
  EXPECT_EQ(job.fieldNames.mid(1, 9),
            (QStringList{"id", "nis", "nisn", "nama", "ttl", "agama", "kelamin", "barcode", "kelas"}));
  ASSERT_EQ(job.rows.size(), 3u);
  EXPECT_EQ(job.rows[0][4].toString(), QStringLiteral("Agus"));  // ordered by nama
  EXPECT_EQ(job.rows[1][4].toString(), QStringLiteral("Budi"));
  EXPECT_EQ(job.rows[2][4].toString(), QStringLiteral("Citra"));
  EXPECT_EQ(job.rows[0][0].toString(), QString::number(idOf(QStringLiteral("001"))));
  EXPECT_TRUE(job.rows[0][8].isNull());  // a Null barcode stays Null
  EXPECT_EQ(job.rows[2][8].toString(), QStringLiteral("BC003"));

  // The captions and the card texts come along from the same database.
  EXPECT_EQ(job.labelRow.value(QStringLiteral("label21(0)")).toString(), QStringLiteral("NIS"));
  EXPECT_EQ(job.labelRow.value(QStringLiteral("check21(0)")).toBool(), true);
  EXPECT_EQ(job.settingRow.value(QStringLiteral("textheader(2)")).toString(), QStringLiteral("SMA NEGERI 1 CONTOH"));
}

TEST_F(CardReportTest, ADeletedMemberStillGivesARowWithItsIdAndEmptyFields) {
  pf.addMember(QStringLiteral("010"), QStringLiteral("Dewi"));
  tick(idOf(QStringLiteral("010")));
  tick(987654);  // ticked, then deleted before the print
  const report::Job job = runSteps(QStringLiteral("04.rep"));
  ASSERT_EQ(job.rows.size(), 2u);
  const auto& gone = job.rows[0][4].isNull() ? job.rows[0] : job.rows[1];
  EXPECT_EQ(gone[0].toString(), QStringLiteral("987654"));
  for (int i = 1; i < gone.size(); ++i) EXPECT_TRUE(gone[i].isNull()) << i;
}

TEST_F(CardReportTest, TheEntryWindowQueryGivesTheOneMemberAndATemplatePathWithBackslashesServes) {
  pf.addMember(QStringLiteral("12/A"), QStringLiteral("Eka"));
  pf.addMember(QStringLiteral("13/A"), QStringLiteral("Fajar"));
  const report::Job job = runSteps(QStringLiteral("\\temp\\05.rep"),
                                   QStringLiteral("select Cstr(id) as idsiswa,* from tblanggota where nis = '12/A'"),
                                   QStringLiteral("Cetak Kartu Anggota"));
  EXPECT_EQ(job.title, QStringLiteral("Cetak Kartu Anggota"));
  ASSERT_EQ(job.rows.size(), 1u);
  EXPECT_EQ(job.rows[0][4].toString(), QStringLiteral("Eka"));
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

  // A database in a folder whose name holds ";" opens when the window quotes the path.
  ASSERT_TRUE(QDir(pf.root()).mkpath(QStringLiteral("a;b")));
  ASSERT_TRUE(QFile::copy(pf.path(QStringLiteral("database/database.mdb")), pf.path(QStringLiteral("a;b/db.mdb"))));
  ScopedRunHook hook;
  report::CardReportX r;
  r.ReportFile = templ(QStringLiteral("03.rep"));
  r.SetConnection(QStringLiteral("gg"), QStringLiteral("Jet OLEDB:Database Password=718403;data source=\"%1\"")
                                            .arg(pf.path(QStringLiteral("a;b/db.mdb"))));
  r.Connect(QStringLiteral("gg"));
  QString sql = QStringLiteral("select * from tblanggota");
  r.SetDatasetSQL(QStringLiteral("datasiswa"), sql);
  r.OpenDataset(QStringLiteral("datasiswa"));
  r.Run();
  EXPECT_EQ(hook.jobs.size(), 1u);
}

TEST_F(CardReportTest, EveryFailureIsAVbErrorTellingWhatWentWrong) {
  ScopedRunHook hook;
  QString sql = kMainQuery;
  auto steps = [&](const QString& file, const QString& conn, const QString& cs, const QString& ds) {
    report::CardReportX r;
    r.ReportFile = file;
    r.SetConnection(conn, cs);
    r.Connect(conn);
    r.SetDatasetSQL(ds, sql);
    r.OpenDataset(ds);
    r.Run();
  };
  const QString cs = connectionString();
  const QString gg = QStringLiteral("gg"), ds = QStringLiteral("datasiswa");

  expectVbError([&] { steps(templ(QStringLiteral("99.rep")), gg, cs, ds); }, {"99.rep", "not found"});

  QFile garbage(templ(QStringLiteral("bad.rep")));
  ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
  garbage.write("\x89PNG\r\n\x1a\n not a template at all");
  garbage.close();
  expectVbError([&] { steps(templ(QStringLiteral("bad.rep")), gg, cs, ds); }, {"bad.rep", "not valid"});

  // Well-formed JSON that asks for something impossible is refused as well.
  QFile wrong(templ(QStringLiteral("wrong.rep")));
  ASSERT_TRUE(wrong.open(QIODevice::WriteOnly));
  wrong.write(R"({"format": "lentavo-card-template", "version": 1, "connection": "gg", "dataset": "datasiswa",
    "page": {"kind": "card"}, "card": {"side": "front"},
    "elements": [{"type": "photo", "box": [80, 40, 30, 30]}]})");
  wrong.close();
  expectVbError([&] { steps(templ(QStringLiteral("wrong.rep")), gg, cs, ds); }, {"elements[0].box", "card"});

  expectVbError([&] { steps(templ(QStringLiteral("03.rep")), QStringLiteral("hh"), cs, ds); }, {"\"hh\"", "\"gg\""});
  expectVbError([&] { steps(templ(QStringLiteral("03.rep")), gg, connectionString(QStringLiteral("000000")), ds); },
                {"password"});
  expectVbError([&] { steps(templ(QStringLiteral("03.rep")), gg, cs, QStringLiteral("data")); }, {"\"data\""});
  sql = QStringLiteral("select * from tidakada");
  EXPECT_THROW(steps(templ(QStringLiteral("03.rep")), gg, cs, ds), vb::VbError);

  report::CardReportX early;
  early.ReportFile = templ(QStringLiteral("03.rep"));
  expectVbError([&] { early.Run(); }, {"not open"});
  EXPECT_TRUE(hook.jobs.empty());
}

TEST_F(CardReportTest, TheShippedTemplatesDescribeTheirCards) {
  struct Expect {
    const char* file;
    report::CardTemplate::Page page;
    const char* side;
    const char* background;
    bool code128, qr;
  };
  using P = report::CardTemplate::Page;
  for (const Expect& e : {Expect{"01.rep", P::A4, "front", "images/depan2.jpg", true, false},
                          Expect{"02.rep", P::A4, "front", "images/depan2.jpg", false, true},
                          Expect{"03.rep", P::Card, "front", "images/depan2.jpg", true, false},
                          Expect{"04.rep", P::Card, "front", "images/depan2.jpg", false, true},
                          Expect{"05.rep", P::Card, "back", "images/back2.jpg", false, false}}) {
    SCOPED_TRACE(e.file);
    const report::CardTemplate t = report::loadTemplate(templ(QString::fromLatin1(e.file)));
    EXPECT_EQ(t.connection, QStringLiteral("gg"));
    EXPECT_EQ(t.dataset, QStringLiteral("datasiswa"));
    EXPECT_EQ(t.page, e.page);
    EXPECT_EQ(t.side, QString::fromLatin1(e.side));
    EXPECT_EQ(t.background, QString::fromLatin1(e.background));
    EXPECT_NEAR(t.card.width(), 85.60, 1e-9);
    EXPECT_NEAR(t.card.height(), 53.98, 1e-9);
    EXPECT_EQ(t.cardsPerPage(), e.page == P::A4 ? 10 : 1);
    bool code128 = false, qr = false;
    for (const auto& el : t.elements) {
      code128 |= el.kind == report::Element::Kind::Code128;
      qr |= el.kind == report::Element::Kind::QrImage;
    }
    EXPECT_EQ(code128, e.code128);
    EXPECT_EQ(qr, e.qr);
  }
}

TEST_F(CardReportTest, WithoutAHookRunShowsTheCardsInAPreviewTitledAsAskedAndReturnsWhenClosed) {
  pf.addMember(QStringLiteral("001"), QStringLiteral("Agus"));
  pf.addMember(QStringLiteral("002"), QStringLiteral("Budi"));
  tick(idOf(QStringLiteral("001")));
  tick(idOf(QStringLiteral("002")));

  int pages = -1;
  QPrintPreviewWidget::ZoomMode zoom = QPrintPreviewWidget::CustomZoom;
  testsupport::ScopedModalHook modal([&](QWidget* w, QWidget*) {
    auto* view = w->findChild<QPrintPreviewWidget*>();
    ASSERT_NE(view, nullptr);
    view->updatePreview();
    pages = view->pageCount();
    zoom = view->zoomMode();
  });
  report::CardReportX r;
  r.ReportFile = templ(QStringLiteral("03.rep"));
  r.Preview = true;
  r.Title = QStringLiteral("Cetak Kartu Siswa");
  r.SetConnection(QStringLiteral("gg"), connectionString());
  r.Connect(QStringLiteral("gg"));
  QString sql = kMainQuery;
  r.SetDatasetSQL(QStringLiteral("datasiswa"), sql);
  r.OpenDataset(QStringLiteral("datasiswa"));
  r.Modal = true;
  r.ZoomToFit(true);
  EXPECT_EQ(r.Run(), 0);

  ASSERT_EQ(modal.count(), 1);
  EXPECT_EQ(modal.calls[0].title, QStringLiteral("Cetak Kartu Siswa"));
  EXPECT_EQ(modal.calls[0].className, QStringLiteral("QPrintPreviewDialog"));
  EXPECT_EQ(pages, 2);  // one card a page
  EXPECT_EQ(zoom, QPrintPreviewWidget::FitInView);
}

TEST(PreviewPainter, PreviewPagesAreToldApartFromPaperAndFiles) {
  // The preview keeps every page in memory, so it reads photos at a lower resolution.
  QPrinter printer(QPrinter::HighResolution);
  QPrintPreviewWidget view(&printer);
  int previews = 0, others = 0;
  QObject::connect(&view, &QPrintPreviewWidget::paintRequested, [&](QPrinter* target) {
    QPainter p(target);
    (report::isPreviewPainter(p) ? previews : others)++;
  });
  view.updatePreview();
  EXPECT_EQ(previews, 1);
  EXPECT_EQ(others, 0);

  QTemporaryDir dir;
  QPdfWriter pdf(dir.filePath(QStringLiteral("x.pdf")));
  QPainter p(&pdf);
  EXPECT_FALSE(report::isPreviewPainter(p));
}

}  // namespace
