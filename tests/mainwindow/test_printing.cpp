// Card printing from the main window and from the entry window, captured at the report.
#include <QDir>
#include <QFile>

#include "cardreport.h"
#include "frmAggota.h"
#include "mainwindow_fixture.h"

using namespace testsupport;

namespace {

class Printing : public MainWindowTest {
 protected:
  void SetUp() override {
    report::setRunHook([this](const report::Job& j) {
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
      ids << rs.field("id").toString();
    return ids;
  }
  QString id(const QString& nis) {
    ado::Recordset rs;
    rs.Open("select id from tblanggota where nis = '" + nis + "'", pf.db());
    return rs.field("id").toString();
  }
  int rowOf(const QString& nis) {
    for (int i = 1; i <= w->Lv1->count(); ++i)
      if (w->Lv1->subItem(i, 1) == nis) return i;
    return 0;
  }
  void tick(std::initializer_list<const char*> nis) {
    for (const char* n : nis) w->Lv1->setChecked(rowOf(n), true);
  }
  QStringList names(const report::Job& j) {
    const int at = j.fieldNames.indexOf("nama");
    QStringList r;
    for (const QVariantList& row : j.rows) r << row.value(at).toString();
    return r;
  }

  std::vector<report::Job> jobs;
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
    w->m_ukuranA4_Click();
    w->m_Front_Click();
    w->m_back_Click();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(jobs[0].templateFile, pf.path(QString("temp/%1.rep").arg(c.a4)));
    EXPECT_EQ(jobs[1].templateFile, pf.path(QString("temp/%1.rep").arg(c.front)));
    EXPECT_EQ(jobs[2].templateFile, pf.path("temp/05.rep"));
  }
  pf.db().Execute("delete * from tblsetting");  // no settings row: like any other text
  jobs.clear();
  w->m_Front_Click();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].templateFile, pf.path("temp/04.rep"));
}

TEST_F(Printing, MainWindowPrintsTheTickedMembersByName) {
  pf.addMember("1", "Citra", "X-1", "C1");
  pf.addMember("2", "Ani", "X-1", "A2");
  pf.addMember("3", "Budi", "X-2", "B3");
  pf.addMember("4", "Dewi", "X-2", "D4");
  start();
  w->Lv1_ColumnClick(2);
  w->Lv1_ColumnClick(2);  // list shown by nis, downwards
  tick({"1", "3", "4"});
  w->m_Front_Click();
  EXPECT_EQ(tbltemp(), QStringList({id("1"), id("3"), id("4")}));
  ASSERT_EQ(jobs.size(), 1u);
  const report::Job& j = jobs[0];
  EXPECT_EQ(j.title, "Cetak Kartu Siswa");
  EXPECT_EQ(j.connectionName, "gg");
  EXPECT_TRUE(j.connectionString.contains(pf.path("database/database.mdb")));
  EXPECT_TRUE(j.connectionString.contains("Jet OLEDB:Database Password=718403"));
  EXPECT_EQ(j.datasetName, "datasiswa");
  EXPECT_EQ(j.query,
            "select Cstr(a.id) as idsiswa, b.* from tbltemp a left join tblanggota b on a.id = b.id order by nama");
  EXPECT_EQ(j.fieldNames.value(0), "idsiswa");
  EXPECT_EQ(names(j), QStringList({"Budi", "Citra", "Dewi"}));
  EXPECT_EQ(j.rows[0].value(0).toString(), id("3"));
  EXPECT_TRUE(j.preview);
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

TEST_F(Printing, NothingTickedOrAnEmptyList) {
  pf.addMember("1", "Ani");
  start();
  tick({"1"});
  w->m_back_Click();
  ASSERT_EQ(tbltemp().size(), 1);
  w->Lv1->setChecked(1, false);
  w->m_Front_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "silakan pilih atau ceklist data yang akan di cetak KTA-nya");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
  EXPECT_TRUE(tbltemp().isEmpty());
  EXPECT_EQ(jobs.size(), 1u);

  w->Lv1->setChecked(1, true);
  w->m_back_Click();
  w->Lv1->clearItems();
  w->m_Front_Click();  // an empty list: nothing happens, the selection stays
  EXPECT_EQ(tbltemp().size(), 1);
  EXPECT_EQ(jobs.size(), 2u);
}

TEST_F(Printing, QrImagesOnlyForMembersWithACodeAndOldOnesRemoved) {
  setJenis("QR Code");
  pf.addMember("1", "Ani", "X-1", "KODE-ANI");
  pf.addMember("2", "Budi", "X-1", "0");
  pf.addMember("3", "Citra", "X-1");  // Null
  pf.addMember("4", "Dewi", "X-1", "");
  start();
  for (const char* n : {"2", "3", "4"})
    pf.writePhoto("barcode/" + id(n) + ".jpg", Qt::black);  // left by earlier prints
  tick({"1", "2", "3", "4"});
  w->m_ukuranA4_Click();
  EXPECT_TRUE(QFile::exists(pf.path("barcode/" + id("1") + ".jpg")));
  for (const char* n : {"2", "3", "4"}) EXPECT_FALSE(QFile::exists(pf.path("barcode/" + id(n) + ".jpg"))) << n;
  ASSERT_EQ(jobs.size(), 1u);

  QDir(pf.path("barcode")).removeRecursively();
  w->m_Front_Click();
  EXPECT_TRUE(QFile::exists(pf.path("barcode/" + id("1") + ".jpg")));
  w->m_back_Click();  // the back makes no QR image
  setJenis("Code 128");
  QDir(pf.path("barcode")).removeRecursively();
  w->m_Front_Click();
  EXPECT_FALSE(QFile::exists(pf.path("barcode/" + id("1") + ".jpg")));
  EXPECT_EQ(jobs.size(), 4u);
}

TEST_F(Printing, DeletedMemberStillPrintsWithEmptyFields) {
  pf.addMember("1", "Ani", "X-1", "K1");
  pf.addMember("2", "Budi", "X-1", "K2");
  setJenis("QR Code");
  start();
  tick({"1", "2"});
  const QString gone = id("2");
  pf.db().Execute("DELETE * FROM tblanggota WHERE nis = '2'");
  w->m_Front_Click();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].rows.size(), 2u);
  EXPECT_FALSE(QFile::exists(pf.path("barcode/" + gone + ".jpg")));
}

TEST_F(Printing, AFailureIsShownAndTheHourglassGoesBack) {
  pf.addMember("1", "Ani", "X-1", "K1");
  setJenis("QR Code");
  start();
  tick({"1"});
  failWith = "Template tidak dapat dibaca";
  w->m_Front_Click();
  EXPECT_EQ(dialogs.lastMsgBox().prompt, "Template tidak dapat dibaca");
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbOKOnly);
  EXPECT_NE(w->cursor().shape(), Qt::WaitCursor);
  EXPECT_EQ(tbltemp(), QStringList({id("1")}));

  failWith = nullptr;
  QDir(pf.path("barcode")).removeRecursively();
  QFile blocker(pf.path("barcode"));  // a file where the folder should be: the QR image fails
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  dialogs.clear();
  w->m_Front_Click();
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_NE(w->cursor().shape(), Qt::WaitCursor);
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
  f->m_Front_Click();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].title, "Cetak Kartu Anggota");
  EXPECT_EQ(jobs[0].query, "select Cstr(id) as idsiswa,* from tblanggota where nis = 'ab1'");
  EXPECT_EQ(jobs[0].templateFile, pf.path("temp/04.rep"));
  ASSERT_EQ(jobs[0].rows.size(), 1u);
  EXPECT_EQ(names(jobs[0]), QStringList({"Ani"}));
  EXPECT_TRUE(QFile::exists(pf.path("barcode/" + id("AB1") + ".jpg")));
  EXPECT_FALSE(QFile::exists(pf.path("barcode/" + id("AB2") + ".jpg")));
  EXPECT_EQ(tbltemp(), QStringList({"77"}));  // the selection table is the main window's

  f->TextNis->setText("O'Neil");  // nobody: nothing printed, nothing said
  f->m_back_Click();
  EXPECT_EQ(jobs.size(), 1u);
  EXPECT_TRUE(dialogs.msgBoxes().empty());
}

}  // namespace
