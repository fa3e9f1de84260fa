// Backup: one copy into a dated folder, the bar driven by the timer, one honest message.
#include <QDirIterator>
#include <QEventLoop>
#include <QTemporaryDir>

#include "Frmbackup.h"
#include "mainwindow_fixture.h"
#include "photo_files.h"

using namespace testsupport;

namespace {

class Backup : public MainWindowTest {
 protected:
  struct Run {
    QStringList counts;  // lblCount at each tick, repeats dropped
    QString inform;      // lblInform at the end
  };
  // Picks `folder` in the window opened from the main window, and lets the timer run the
  // backup to its end when the folder is taken.
  Run backupTo(const QString& folder) {
    if (!w) start();
    Run run;
    ScopedModalHook modal([&](QWidget* win, QWidget*) {
      auto* f = static_cast<Frmbackup*>(win);
      QObject::connect(f->Timer1, &QTimer::timeout, f, [&run, f] {
        if (run.counts.isEmpty() || run.counts.back() != f->lblCount->text()) run.counts << f->lblCount->text();
        run.inform = f->lblInform->text();
      });
      dialogs.queueFolder(folder);
      f->cmdbrowse->click();
      if (f->txtDestination->text().isEmpty()) return;
      QEventLoop loop;
      QObject::connect(f, &QObject::destroyed, &loop, &QEventLoop::quit);
      loop.exec();
    });
    w->PushButton2->click();
    return run;
  }
  static QStringList tree(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) out << QDir(dir).relativeFilePath(it.next());
    out.sort();
    return out;
  }
  // The one folder a backup made in `dir` (read back, so a run across midnight holds).
  static QString datedIn(const QString& dir) {
    const QStringList made = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_EQ(made.size(), 1);
    EXPECT_TRUE(made.value(0).startsWith("Backup - "));
    return dir + '/' + made.value(0);
  }
  QTemporaryDir dest;
};

TEST_F(Backup, CopiesEverythingOnceWithTheProgressOfAFirstAndASecondRun) {
  pf.addMember("1", "Ani");
  pf.closeDb();
  QDir(pf.path("photos")).mkpath("kelas");
  for (const char* f : {"photos/1.jpg", "photos/kelas/2.jpg", "images/Front_logo1.gif", "images/Front_templatar.jpg",
                        "images/Back_templatar.jpg", "images/latar.png"})
    writeFile(pf.path(f), f);
  Frmbackup::persen = Frmbackup::hitung = 0;

  const Run first = backupTo(dest.path());
  const QString dated = datedIn(dest.path());
  EXPECT_EQ(tree(dated), (QStringList{"1.jpg", "Back_templatar.jpg", "Front_logo1.gif", "Front_templatar.jpg",
                                      "back2.jpg", "database.mdb", "depan2.jpg", "kelas", "kelas/2.jpg"}));
  EXPECT_EQ(readFile(dated + "/kelas/2.jpg"), "photos/kelas/2.jpg");
  ado::Connection copy;
  copy.ConnectionString = "Data Source=" + dated + "/database.mdb";
  copy.setProperty("Jet OLEDB:Database Password", "718403");
  copy.Open();
  ado::Recordset rs;
  rs.Open("select nama from tblanggota", copy);
  EXPECT_EQ(rs.field("nama").toString(), "Ani");
  ASSERT_EQ(first.counts.size(), 50u);
  EXPECT_EQ(first.counts.front(), "(2%)...");
  EXPECT_EQ(first.counts.back(), "(100%)...");
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Backup database complete"});

  QTemporaryDir again;
  const Run second = backupTo(again.path());
  EXPECT_EQ(second.counts, (QStringList{"(0%)...", "App..."}));
  EXPECT_EQ(second.inform, "Starting");
  EXPECT_EQ(tree(datedIn(again.path())), tree(dated));
  EXPECT_EQ(dialogs.msgBoxTexts(), (QStringList{"Backup database complete", "Backup database complete"}));
}

TEST_F(Backup, RefusedAndFailedDestinationsAreSaid) {
  struct Case {
    QString folder;
    QString message;
    int icon;
  };
  QDir(pf.path("photos")).mkpath("sub");
  const Case cases[] = {
      {pf.path("photos"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {pf.path("photos/sub"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {"/proc", "Backup tidak lengkap. Gagal disalin: Backup - ", ui::vbCritical},  // no one may write there
  };
  for (const Case& c : cases) {
    backupTo(c.folder);
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, c.icon);
  }
  EXPECT_EQ(dialogs.msgBoxes().size(), std::size(cases));
  EXPECT_EQ(tree(pf.path("photos")), QStringList{"sub"});
}

}  // namespace
