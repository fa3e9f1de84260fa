// Card printing from the main window's and the entry window's print menus, captured at
// the report.
#include <QDir>
#include <QFile>

#include "cardreport.h"
#include "frmAggota.h"
#include "mainwindow_fixture.h"
#include "qrcode.h"

using namespace testsupport;

namespace {

class Printing : public MainWindowTest {
 protected:
  void SetUp() override {
    report::setRunHook([this](const report::Job& j) {
      cursorsAtRun << w->cursor().shape();
      if (failWith) throw vb::VbError(5, "CardReportX", failWith);
      jobs.push_back(j);
    });
  }
  void TearDown() override {
    report::setRunHook(nullptr);
    MainWindowTest::TearDown();
  }
  void setJenis(const QString& jenis) {
    pf.db().Execute(jenis.isNull() ? QString("update tblsetting set barcode = NULL")
                                   : "update tblsetting set barcode = '" + ado::q(jenis) + "'");
  }
  QStringList tbltemp() {
    QStringList ids;
    ado::Recordset rs;
    for (rs.Open("select id from tbltemp order by id", pf.db()); !rs.EOF_(); rs.MoveNext())
      ids << rs.field(0).toString();
    return ids;
  }
  QString id(const QString& nis) {
    ado::Recordset rs;
    rs.Open("select id from tblanggota where nis = '" + nis + "'", pf.db());
    return rs.field("id").toString();
  }
  QString qrFile(const QString& nis) { return pf.path("barcode/" + id(nis) + ".jpg"); }
  void tick(std::initializer_list<const char*> nis) {
    for (const char* n : nis)
      for (int i = 1; i <= w->Lv1->count(); ++i)
        if (w->Lv1->subItem(i, 1) == n) w->Lv1->setChecked(i, true);
  }
  QStringList names(const report::Job& j) {
    QStringList r;
    for (const QVariantList& row : j.rows) r << row.value(int(j.fieldNames.indexOf("nama"))).toString();
    return r;
  }

  std::vector<report::Job> jobs;
  QList<Qt::CursorShape> cursorsAtRun;
  const char* failWith = nullptr;
};

TEST_F(Printing, TemplateFollowsTheMenuAndTheBarcodeType) {
  pf.addMember("1", "Ani", "X-1", "111");
  start();
  tick({"1"});
  struct Case {
    QString jenis;
    const char* a4;
    const char* front;
  };
  const Case cases[] = {{QString(), "01", "03"}, {"Code 128", "01", "03"},  {"QR Code", "02", "04"},
                        {"qr code", "02", "04"}, {"Code 128 ", "02", "04"}, {"Kartu", "02", "04"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jenis.toStdString());
    setJenis(c.jenis);
    jobs.clear();
    QFile::remove(qrFile("1"));
    for (QAction* item : {w->m_ukuranA4, w->m_Front, w->m_back}) item->trigger();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].templateFile, pf.path(QString("temp/%1.rep").arg(c.a4)));
    EXPECT_EQ(jobs[1].templateFile, pf.path(QString("temp/%1.rep").arg(c.front)));
    EXPECT_EQ(jobs[2].templateFile, pf.path("temp/05.rep"));
    // A card printed with a QR code carries the member's own.
    EXPECT_EQ(barcode::qrJpegShows("111", qrFile("1")), QString(c.front) == "04");
  }
  pf.db().Execute("delete * from tblsetting");  // no settings row: like any other text
  w->m_Front->trigger();
  EXPECT_EQ(jobs.back().templateFile, pf.path("temp/04.rep"));
}

TEST_F(Printing, MainWindowPrintsTheTickedMembersByNameAndNothingWithoutATick) {
  pf.addMember("1", "Citra", "X-1", "C1");
  pf.addMember("2", "Ani", "X-1", "A2");
  pf.addMember("3", "Budi", "X-2", "B3");
  pf.addMember("4", "Dewi", "X-2", "D4");
  start();
  w->Lv1_ColumnClick(2);
  w->Lv1_ColumnClick(2);  // list shown by nis, downwards
  tick({"1", "3", "4"});
  w->m_Front->trigger();
  EXPECT_EQ(tbltemp(), QStringList({id("1"), id("3"), id("4")}));
  ASSERT_EQ(jobs.size(), 1u);
  const report::Job& j = jobs[0];
  EXPECT_EQ(j.title, "Cetak Kartu Siswa");
  EXPECT_TRUE(j.connectionString.contains(pf.path("database/database.mdb")));
  EXPECT_TRUE(j.connectionString.contains("Jet OLEDB:Database Password=718403"));
  EXPECT_EQ(j.query,
            "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");
  EXPECT_EQ(names(j), QStringList({"Budi", "Citra", "Dewi"}));
  EXPECT_EQ(j.rows[0].value(0).toString(), id("3"));
  EXPECT_TRUE(dialogs.msgBoxes().empty());

  for (int i = 1; i <= w->Lv1->count(); ++i) w->Lv1->setChecked(i, false);
  w->m_back->trigger();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "silakan pilih atau ceklist data yang akan di cetak KTA-nya");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_TRUE(tbltemp().isEmpty());

  tick({"2"});
  w->m_back->trigger();
  w->Lv1->clearItems();
  w->m_Front->trigger();  // an empty list: nothing happens, the selection stays
  EXPECT_EQ(tbltemp(), QStringList({id("2")}));
  EXPECT_EQ(jobs.size(), 2u);
}

TEST_F(Printing, QrImagesAreWrittenOnlyForACodeTheyDoNotShowYet) {
  setJenis("QR Code");
  pf.addMember("1", "Ani", "X-1", "KODE-ANI");
  pf.addMember("2", "Budi", "X-1", "0");
  pf.addMember("3", "Citra", "X-1");  // Null
  pf.addMember("4", "Dewi", "X-1", "");
  pf.addMember("5", "Eko", "X-1", "KODE-EKO");
  start();
  tick({"1", "2", "3", "4", "5"});
  for (const char* n : {"2", "3", "4", "5"}) pf.writePhoto("barcode/" + id(n) + ".jpg", Qt::black);
  pf.db().Execute("DELETE * FROM tblanggota WHERE nis = '5'");  // deleted since it was ticked
  w->m_ukuranA4->trigger();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].rows.size(), 5u);
  EXPECT_TRUE(barcode::qrJpegShows("KODE-ANI", qrFile("1")));
  for (const char* n : {"2", "3", "4"}) EXPECT_FALSE(QFile::exists(qrFile(n))) << n;
  EXPECT_EQ(QDir(pf.path("barcode")).entryList(QDir::Files), QStringList{id("1") + ".jpg"});

  // A picture that shows the code stays as it is; a changed code or a damaged picture is
  // written anew.
  const QDateTime old = QDateTime::currentDateTime().addDays(-1);
  QFile image(qrFile("1"));
  ASSERT_TRUE(image.open(QIODevice::ReadWrite));
  ASSERT_TRUE(image.setFileTime(old, QFileDevice::FileModificationTime));
  image.close();
  w->m_Front->trigger();
  EXPECT_EQ(QFileInfo(qrFile("1")).lastModified(), old);
  pf.db().Execute("update tblanggota set barcode = 'KODE-BARU' where nis = '1'");
  w->m_Front->trigger();
  EXPECT_TRUE(barcode::qrJpegShows("KODE-BARU", qrFile("1")));
  ASSERT_TRUE(image.resize(image.size() / 2));
  w->m_Front->trigger();
  EXPECT_TRUE(barcode::qrJpegShows("KODE-BARU", qrFile("1")));

  QFile::remove(qrFile("1"));
  w->m_back->trigger();  // the back makes no QR image, nor does another barcode type
  setJenis("Code 128");
  w->m_Front->trigger();
  EXPECT_FALSE(QFile::exists(qrFile("1")));
  EXPECT_EQ(jobs.size(), 6u);
}

TEST_F(Printing, AFailureIsShownAndTheHourglassIsGoneBeforeTheCardsAreShown) {
  pf.addMember("1", "Ani", "X-1", "K1");
  setJenis("QR Code");
  start();
  tick({"1"});
  failWith = "Template tidak dapat dibaca";
  w->m_Front->trigger();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Template tidak dapat dibaca");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbOKOnly);
  EXPECT_EQ(cursorsAtRun, QList<Qt::CursorShape>{Qt::ArrowCursor});
  EXPECT_EQ(tbltemp(), QStringList({id("1")}));

  failWith = nullptr;
  QDir(pf.path("barcode")).removeRecursively();
  QFile blocker(pf.path("barcode"));  // a file where the folder should be: the QR image fails
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  dialogs.clear();
  w->m_Front->trigger();
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_NE(w->cursor().shape(), Qt::WaitCursor);  // set while the QR images are written
  EXPECT_TRUE(jobs.empty());
}

TEST_F(Printing, EntryWindowPrintsTheMemberOnScreen) {
  pf.addMember("AB1", "Ani", "X-1", "QR-AB1");
  pf.addMember("AB2", "Budi", "X-1", "QR-AB2");
  setJenis("QR Code");
  start();
  pf.db().Execute("insert into tbltemp (id) values ('77')");
  auto* f = forms::get<frmAggota>();
  f->TextNis->setText("  ab1 ");
  f->m_Front->trigger();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].title, "Cetak Kartu Anggota");
  EXPECT_EQ(jobs[0].query, "select Cstr(id) as idsiswa,* from tblanggota where nis = 'ab1'");
  EXPECT_EQ(jobs[0].templateFile, pf.path("temp/04.rep"));
  EXPECT_EQ(names(jobs[0]), QStringList({"Ani"}));
  EXPECT_TRUE(barcode::qrJpegShows("QR-AB1", qrFile("AB1")));
  EXPECT_FALSE(QFile::exists(qrFile("AB2")));
  EXPECT_EQ(tbltemp(), QStringList({"77"}));  // the selection table is the main window's

  f->TextNis->setText("O'Neil");  // nobody: nothing printed, nothing said
  f->m_back->trigger();
  f->TextNis->setText("AB2");
  Module1::tutupKoneksi();  // the program closing down: a late print does nothing
  f->m_Front->trigger();
  tick({"AB2"});
  w->m_Front->trigger();
  EXPECT_EQ(jobs.size(), 1u);
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

}  // namespace
