// Backup: one copy into a dated folder, the bar driven by the timer, one honest message.
#include <QDirIterator>
#include <QEventLoop>
#include <QTemporaryDir>
#include <map>

#include "Frmbackup.h"
#include "Frmrestore.h"
#include "atomicfile.h"
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
  // The one folder a backup made in `dir` (read back, so a run across midnight holds); nothing
  // else, not even a hidden folder, is left there.
  static QString datedIn(const QString& dir) {
    const QStringList made = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
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

TEST_F(Backup, RefusedAndFailedDestinationsAreSaidAndLeaveAnEarlierBackupAsItWas) {
  struct Case {
    QString folder;
    QString message;
    int icon;
  };
  QDir(pf.path("photos")).mkpath("sub");
  // Photos that no one may read, not even the superuser.
  for (int i = 1; i <= 8; ++i)
    ASSERT_TRUE(QFile::link("/proc/sys/vm/drop_caches", pf.path(QString("photos/%1.jpg").arg(i))));
  QTemporaryDir earlier;  // holds a backup of the day already
  const QString earlierBackup = backup::datedFolder(earlier.path());
  QDir().mkpath(earlierBackup);
  writeFile(earlierBackup + "/database.mdb", "earlier");
  const Case cases[] = {
      {pf.path("photos"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {pf.path("photos/sub"), "Folder tujuan tidak boleh berada di dalam folder foto.", ui::vbExclamation},
      {"/proc", "Backup tidak lengkap. Gagal disalin: Backup - ", ui::vbCritical},  // no one may write there
      {earlier.path(), "Backup tidak lengkap. Gagal disalin: ", ui::vbCritical},
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
  EXPECT_EQ(datedIn(earlier.path()), earlierBackup);
  EXPECT_EQ(tree(earlierBackup), QStringList{"database.mdb"});
  EXPECT_EQ(readFile(earlierBackup + "/database.mdb"), "earlier");
}

// The members no handler calls: each copies the card pictures into the chosen destination's
// backup folder, beside what an earlier backup of the day holds; tutupForm closes the window.
TEST_F(Backup, KopiAndKopi1CopyTheCardPicturesAndTutupFormCloses) {
  struct Case {
    const char* member;
    QStringList (Frmbackup::*kopi)();
    bool earlierBackup;
  };
  const Case cases[] = {{"kopi", &Frmbackup::kopi, false},
                        {"kopi1", &Frmbackup::kopi1, false},
                        {"kopi", &Frmbackup::kopi, true},
                        {"kopi1", &Frmbackup::kopi1, true}};
  writeFile(pf.path("images/Front_logo1.gif"), "logo");
  writeFile(pf.path("images/Back_templatar.jpg"), "latar");
  writeFile(pf.path("images/latar.png"), "not a card picture");
  start();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.member) + (c.earlierBackup ? " into an earlier backup" : ""));
    QTemporaryDir dest;
    const QString dated = backup::datedFolder(dest.path());
    if (c.earlierBackup) {
      QDir().mkpath(dated + "/gambar kartu");
      writeFile(dated + "/database.mdb", "earlier");
      writeFile(dated + "/gambar kartu/Front_logo1.gif", "old logo");
    }
    QStringList failed{"not run"}, before;
    bool loadedAfter = true;
    ScopedModalHook modal([&](QWidget* win, QWidget*) {
      auto* f = static_cast<Frmbackup*>(win);
      before = (f->*c.kopi)();  // no folder chosen yet
      dialogs.queueFolder(dest.path());
      f->cmdbrowse->click();
      failed = (f->*c.kopi)();  // before the first tick
      QMetaObject::invokeMethod(f, "tutupForm");
      loadedAfter = forms::isLoaded<Frmbackup>();
    });
    w->PushButton2->click();
    EXPECT_EQ(before, QStringList{"gambar kartu"});
    EXPECT_EQ(failed, QStringList{});
    EXPECT_FALSE(loadedAfter);
    QStringList expected{"gambar kartu", "gambar kartu/Back_templatar.jpg", "gambar kartu/Front_logo1.gif",
                         "gambar kartu/back2.jpg", "gambar kartu/depan2.jpg"};
    if (c.earlierBackup) expected.prepend("database.mdb");
    EXPECT_EQ(tree(dated), expected);
    EXPECT_EQ(readFile(dated + "/gambar kartu/Front_logo1.gif"), "logo");
    if (c.earlierBackup) EXPECT_EQ(readFile(dated + "/database.mdb"), "earlier");
  }
  EXPECT_EQ(dialogs.msgBoxes().size(), 0u);  // no backup ran
}

// A backup as the user makes it: the window, its folder picker and its timer.
TEST(BackupChild, ThroughWindow) {
  KILL_CHILD_ONLY();
  ScriptedDialogs dialogs;
  ScopedEndHook end;
  vb::setProgramFolder(killChildFolder());
  Frmbackup* f = forms::get<Frmbackup>();
  dialogs.queueFolder(killChildFolder() + "/tujuan");
  f->cmdbrowse->click();
  QEventLoop loop;
  QObject::connect(f, &QObject::destroyed, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Backup database complete"});
}

class BackupKilled : public Backup {
 protected:
  using Snapshot = std::map<QString, QByteArray>;  // relative path to bytes; "<dir>" for a folder
  static Snapshot snapshot(const QString& dir) {
    Snapshot s;
    for (const QString& rel : tree(dir)) {
      const QString path = dir + '/' + rel;
      s[rel] = QFileInfo(path).isDir() ? QByteArray("<dir>") : readFile(path);
    }
    return s;
  }
  static void lay(const QString& dir, const Snapshot& s) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    for (const auto& [rel, bytes] : s)
      if (bytes == "<dir>")
        QDir().mkpath(dir + '/' + rel);
      else
        writeFile(dir + '/' + rel, bytes);
  }
  // Runs the backup into `to` in a child killed at each call of each kind in turn, until a
  // run of that kind finishes. `prepare` runs before each child, `check` after it. Returns
  // the kills per kind.
  std::map<QString, int> killEverywhere(const QStringList& kinds, const std::function<void()>& prepare,
                                        const std::function<void(bool killed)>& check) {
    std::map<QString, int> kills;
    for (const QString& kind : kinds) {
      kills[kind] = 0;
      for (int n = 1; n < 100; ++n) {
        const QString at = QString("%1:%2").arg(kind).arg(n);
        SCOPED_TRACE(at.toStdString());
        prepare();
        const ChildRun run = runChild("BackupChild.ThroughWindow", pf.root(), at);
        EXPECT_TRUE(run.killed || run.exitCode == 0) << run.exitCode;
        if (run.killed) ++kills[kind];
        check(run.killed);
        if (!run.killed) break;
      }
    }
    return kills;
  }
  // What a killed run left beside the backup folder: temporary names only, nothing that could
  // be taken for a backup.
  QStringList leftBeside() const {
    QStringList left = QDir(to).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.removeOne(QFileInfo(backup::datedFolder(to)).fileName());
    for (const QString& f : left)
      EXPECT_TRUE(f.startsWith(vb::kTemporaryPrefix) && f.endsWith(".tmp")) << f.toStdString();
    return left;
  }
  QStringList restoreFrom(const QString& file) {
    dialogs.clear();
    ScopedModalHook modal([&](QWidget* win, QWidget*) {
      static_cast<Frmrestore*>(win)->Text1->setText(file);
      static_cast<Frmrestore*>(win)->cmdrestore->click();
    });
    w->PushButton3->click();
    return dialogs.msgBoxTexts();
  }
  const QString to = pf.path("tujuan");
};

TEST_F(BackupKilled, FirstOfTheDayLeavesNoBackupOrAWholeOneAndAFolderTheRestoreRefuses) {
  writeFile(pf.path("photos/1.jpg"), jpegBytes(30, 40));
  for (const char* face : {"images/depan2.jpg", "images/back2.jpg"}) QFile::remove(pf.path(face));
  writeFile(pf.path("images/Front_logo1.gif"), "gif");
  start();
  const QString dated = backup::datedFolder(to), reg = pf.path("database/database.mdb");
  const QByteArray registerBytes = readFile(reg);
  const Snapshot whole{{"1.jpg", readFile(pf.path("photos/1.jpg"))},
                       {"database.mdb", registerBytes},
                       {"gambar kartu", "<dir>"},
                       {"gambar kartu/Front_logo1.gif", "gif"}};
  int refused = 0, placed = 0;
  const auto kills = killEverywhere(
      {"write", "link", "unlink", "rename", "rename+"}, [&] { QDir(dated).removeRecursively(); },
      [&](bool killed) {
        if (QFileInfo::exists(dated)) {
          EXPECT_EQ(snapshot(dated), whole);
          placed += killed;
        }
        const QStringList left = leftBeside();
        if (!killed) {
          EXPECT_EQ(left, QStringList{});  // what the killed runs left is gone
          return;
        }
        // A folder under construction that holds the database is refused by the restore.
        for (const QString& f : left) {
          const QString file = to + '/' + f + "/database.mdb";
          if (!QFile::exists(file) || !backup::isUnfinished(to + '/' + f)) continue;
          EXPECT_TRUE(restoreFrom(file).value(0).contains("backup yang belum selesai"));
          ++refused;
          EXPECT_EQ(readFile(reg), registerBytes);
        }
      });
  for (const auto& [kind, n] : kills) EXPECT_GT(n, 0) << "no kill at " << kind.toStdString();
  EXPECT_GT(refused, 0);
  EXPECT_GT(placed, 0);  // killed just after the folder took its name
}

TEST_F(BackupKilled, SecondOfTheDayLeavesTheFirstOrTheSecondWholeAndRestorable) {
  pf.addMember("1", "Ani");
  pf.closeDb();
  QDir(pf.path("photos")).mkpath("kelas");
  const QByteArray firstPhoto = jpegBytes(30, 40), secondPhoto = jpegBytes(40, 30);
  writeFile(pf.path("photos/1.jpg"), firstPhoto);
  writeFile(pf.path("photos/kelas/2.jpg"), firstPhoto);
  for (const char* face : {"images/depan2.jpg", "images/back2.jpg"}) QFile::remove(pf.path(face));
  writeFile(pf.path("images/Front_logo1.gif"), "first logo");
  backupTo(to);
  const QString dated = datedIn(to);
  const Snapshot first = snapshot(dated);
  ASSERT_TRUE(first.count("database.mdb"));

  // The day goes on: a member, a photo and a picture change.
  pf.addMember("2", "Budi");
  pf.closeDb();
  writeFile(pf.path("photos/1.jpg"), secondPhoto);
  writeFile(pf.path("images/Front_logo1.gif"), "second logo");
  QTemporaryDir ref;
  backupTo(ref.path());
  const Snapshot second = snapshot(datedIn(ref.path()));
  ASSERT_NE(first, second);

  std::map<QString, int> outcomes;
  const auto kills = killEverywhere(
      {"write", "fsync", "link", "unlink", "mkdir", "rename", "rename+", "rmdir", "rmdir+"}, [&] { lay(dated, first); },
      [&](bool killed) {
        const Snapshot now = snapshot(dated);
        EXPECT_TRUE(now == first || now == second);
        if (killed) ++outcomes[now == first ? "first" : now == second ? "second" : "broken"];
        const QStringList left = leftBeside();
        if (!killed) EXPECT_EQ(left, QStringList{});  // a later backup clears what killed ones left
      });
  for (const auto& [kind, n] : kills) EXPECT_GT(n, 0) << "no kill at " << kind.toStdString();
  std::printf("second backup of the day: %d runs killed before the swap, %d after\n", outcomes["first"],
              outcomes["second"]);
  EXPECT_GT(outcomes["first"], 0);
  EXPECT_GT(outcomes["second"], 0);

  // Both outcomes restore: the first backup's members and photos, then the second's.
  const QString earlier = pf.path("earlier");
  lay(earlier, first);
  EXPECT_EQ(restoreFrom(earlier + "/database.mdb"), QStringList{"Restore Complete"});
  EXPECT_EQ(w->Lv1->count(), 1);
  EXPECT_EQ(readFile(pf.path("photos/1.jpg")), firstPhoto);
  EXPECT_EQ(restoreFrom(dated + "/database.mdb"), QStringList{"Restore Complete"});
  EXPECT_EQ(w->Lv1->count(), 2);
  EXPECT_EQ(readFile(pf.path("photos/1.jpg")), secondPhoto);
}

}  // namespace
