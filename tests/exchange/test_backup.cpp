// Backup: one copy into a dated folder, the bar driven by the timer, one honest message.
#include <QDirIterator>
#include <QEventLoop>
#include <QTemporaryDir>

#include "Frmbackup.h"
#include "Frmrestore.h"
#include "backup.h"
#include "kill_child.h"
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
  for (const char* f : {"photos/1.jpg", "photos/kelas/2.jpg", "photos/.lentavo-77-1.tmp", "images/Front_logo1.gif",
                        "images/Front_templatar.jpg", "images/Back_templatar.jpg", "images/latar.png"})
    writeFile(pf.path(f), f);
  Frmbackup::persen = Frmbackup::hitung = 0;

  const Run first = backupTo(dest.path());
  const QString dated = datedIn(dest.path());
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Folder).back().prompt, "Select backup path");
  EXPECT_EQ(tree(dated), (QStringList{"1.jpg", "database.mdb", "gambar kartu", "gambar kartu/Back_templatar.jpg",
                                      "gambar kartu/Front_logo1.gif", "gambar kartu/Front_templatar.jpg",
                                      "gambar kartu/back2.jpg", "gambar kartu/depan2.jpg", "kelas", "kelas/2.jpg"}));
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

TEST_F(Backup, RefusedAndFailedDestinationsAreSaidAndLeaveAnUnfinishedBackup) {
  struct Case {
    QString folder;
    QString message;
    int icon;
  };
  QDir(pf.path("photos")).mkpath("sub");
  QTemporaryDir full;  // every photo meets a folder in the way
  for (int i = 1; i <= 8; ++i) {
    writeFile(pf.path(QString("photos/%1.jpg").arg(i)), "photo");
    QDir().mkpath(backup::datedFolder(full.path()) + QString("/%1.jpg/x").arg(i));
  }
  const Case cases[] = {
      {pf.path("photos"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {pf.path("photos/sub"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {"/proc", "Backup tidak lengkap. Gagal disalin: Backup - ", ui::vbCritical},  // no one may write there
      {full.path(), "Backup tidak lengkap. Gagal disalin: ", ui::vbCritical},
  };
  for (const Case& c : cases) {
    backupTo(c.folder);
    EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(dialogs.lastMsgBox().flags, c.icon);
  }
  EXPECT_EQ(dialogs.msgBoxes().size(), std::size(cases));
  // Five names, then the count of the rest.
  EXPECT_EQ(dialogs.lastMsgBox().prompt.count(".jpg"), 5);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.contains(" dan 3 file lainnya."))
      << dialogs.lastMsgBox().prompt.toStdString();
  EXPECT_TRUE(backup::isUnfinished(backup::datedFolder(full.path())));
}

TEST(BackupChild, IntoFolder) {
  KILL_CHILD_ONLY();
  const QString k = killChildFolder();
  const std::atomic<bool> cancel{false};
  EXPECT_EQ(backup::BuatBackup({k + "/database/database.mdb", k + "/photos", k + "/images"}, k + "/tujuan", cancel),
            QStringList{});
}

TEST_F(Backup, KilledAtAnyStepLeavesWholeFilesAndAFolderTheRestoreRefuses) {
  writeFile(pf.path("photos/1.jpg"), jpegBytes(30, 40));
  for (const char* face : {"images/depan2.jpg", "images/back2.jpg"}) QFile::remove(pf.path(face));
  writeFile(pf.path("images/Front_logo1.gif"), "gif");
  start();
  const QString to = pf.path("tujuan"), reg = pf.path("database/database.mdb");
  const QByteArray registerBytes = readFile(reg);
  const std::map<QString, QString> sources{{"1.jpg", pf.path("photos/1.jpg")},
                                           {"gambar kartu/Front_logo1.gif", pf.path("images/Front_logo1.gif")},
                                           {"database.mdb", reg}};
  int kills = 0, refused = 0;
  // Before each write and after each rename: every file of the backup in turn, then the
  // marker's removal.
  for (const char* kind : {"write", "rename+", "unlink"}) {
    for (int n = 1;; ++n) {
      const QString at = QString("%1:%2").arg(kind).arg(n);
      SCOPED_TRACE(at.toStdString());
      const ChildRun run = runChild("BackupChild.IntoFolder", pf.root(), at);
      ASSERT_TRUE(run.killed || run.exitCode == 0);
      for (const auto& [name, from] : sources)
        if (QFile::exists(to + '/' + name)) EXPECT_EQ(readFile(to + '/' + name), readFile(from)) << name.toStdString();
      if (!run.killed) {  // and what the killed runs left is gone
        EXPECT_EQ(tree(to), (QStringList{"1.jpg", "database.mdb", "gambar kartu", "gambar kartu/Front_logo1.gif"}));
        break;
      }
      ++kills;
      if (!QFile::exists(to + "/database.mdb")) continue;
      EXPECT_TRUE(backup::isUnfinished(to));
      dialogs.clear();
      ScopedModalHook modal([&](QWidget* win, QWidget*) {
        static_cast<Frmrestore*>(win)->Text1->setText(to + "/database.mdb");
        static_cast<Frmrestore*>(win)->cmdrestore->click();
      });
      w->PushButton3->click();
      EXPECT_TRUE(dialogs.lastMsgBox().prompt.contains("backup yang belum selesai"));
      ++refused;
      EXPECT_EQ(readFile(reg), registerBytes);
    }
  }
  std::printf("backup: %d kill points, %d restores from the killed backup refused\n", kills, refused);
}

}  // namespace
