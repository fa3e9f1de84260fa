// Restore: a whole backup comes back, anything damaged or foreign leaves the register as it was.
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QTemporaryDir>
#include <map>
#include <string>

#include "Frmrestore.h"
#include "atomicfile.h"
#include "backup.h"
#include "kill_child.h"
#include "mainwindow_fixture.h"
#include "photo_files.h"

using namespace testsupport;

namespace {

const QByteArray kOldPhoto = jpegBytes(30, 40), kNewPhoto = jpegBytes(40, 30);

// Runs `sql` on the keyed database `file`, made when missing; `rows` gets the first column.
QString onDb(const QString& file, const QString& sql, const char* key = "718403", QStringList* rows = nullptr) {
  sqlite3* db = nullptr;
  sqlite3_open(file.toUtf8().constData(), &db);
  sqlite3_exec(db, (std::string("PRAGMA key = '") + key + "'").c_str(), nullptr, nullptr, nullptr);
  const auto add = [](void* out, int, char** v, char**) { return *static_cast<QStringList*>(out) << v[0], 0; };
  QStringList ignored;
  EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), add, rows ? rows : &ignored, nullptr), SQLITE_OK);
  sqlite3_close(db);
  return file;
}

// The names in the register as the next start finds them: it writes (which rolls back what
// a killed write left), and the file passes the integrity check ("ok" ends the list).
QStringList members(const QString& file) {
  QStringList rows;
  onDb(file, "update tblsetting set lokasi = 'x'; select nama from tblanggota order by nama; PRAGMA integrity_check",
       "718403", &rows);
  return rows;
}

QStringList files(const QString& dir) { return QDir(dir).entryList(QDir::Files | QDir::Hidden); }

// The members a database file holds as a program opening it finds them (a journal or log
// beside it applied first).
int memberCount(const QString& file) {
  QStringList rows;
  onDb(file, "select count(*) from tblanggota", "718403", &rows);
  return rows.value(0, "-1").toInt();
}

// The member count of `file` opened with only the companions named in `beside` next to it
// (copied to a folder of their own, so that the original stays as it is).
int memberCountWith(const QString& file, const QStringList& beside) {
  QTemporaryDir d;
  const QString copy = d.filePath("x.mdb");
  EXPECT_TRUE(QFile::copy(file, copy));
  for (const QString& suffix : beside) EXPECT_TRUE(QFile::copy(file + suffix, copy + suffix));
  return memberCount(copy);
}

class Restore : public MainWindowTest {
 protected:
  // A backup in `dir`: the register with Nama 1..3 and two photos; the program folder keeps
  // Lain and its own photo 1.jpg.
  QString makeBackup(const QString& dir, int members = 3) {
    pf.db().BeginTrans();
    pf.addKelas("Kelas Lama");
    for (int n = 1; n <= members; ++n) pf.addMember(QString::number(n), "Nama " + QString::number(n));
    pf.db().CommitTrans();
    pf.closeDb();
    const QString db = dir + "/database.mdb";
    EXPECT_TRUE(QFile::copy(pf.path("database/database.mdb"), db));
    writeFile(dir + "/1.jpg", kNewPhoto);
    writeFile(dir + "/2.JPG", kNewPhoto);
    pf.db().Execute("delete from tblanggota");
    pf.db().Execute("delete from t_kelas");
    pf.addMember("9", "Lain");
    pf.closeDb();
    writeFile(pf.path("photos/1.jpg"), kOldPhoto);
    return db;
  }
  void withWindow(const std::function<void(Frmrestore*)>& act) {
    if (!w) start();
    ScopedModalHook modal([&](QWidget* win, QWidget*) { act(static_cast<Frmrestore*>(win)); });
    w->PushButton3->click();
    ASSERT_TRUE(modal.shown<Frmrestore>());
  }
  void restoreFrom(const QString& file) {
    withWindow([&](Frmrestore* f) {
      f->Text1->setText(file);
      f->cmdrestore->click();
    });
  }
  QTemporaryDir bak;
};

TEST_F(Restore, BackupBringsBackMembersAndWholePhotosAndKeepsTheReplacedRegister) {
  const QString db = makeBackup(bak.path());
  writeFile(bak.filePath("3.jpg"), "not a photo");
  writeFile(bak.filePath("4.jpg"), kNewPhoto.left(100));  // cut short
  const QByteArray big = jpegBytes(800, 600);
  writeFile(bak.filePath("5.jpg"), big.left(big.size() * 3 / 4));  // cut inside its pixels
  for (const char* card : {"depan2.jpg", "Front_templatar.jpg"}) writeFile(bak.filePath(card), kNewPhoto);
  start();
  const QByteArray before = readFile(pf.path("database/database.mdb"));
  withWindow([&](Frmrestore* f) {
    dialogs.queueFile(db);
    f->Command1->click();
    EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::File).back().file.title, "Pilih  Database");
    f->cmdrestore->click();
    ASSERT_EQ(w->Lv1->count(), 3);
    EXPECT_EQ(row(w->Lv1, 3).mid(0, 4), (QStringList{"3", "3", "003", "Nama 3"}));
    EXPECT_EQ(column(w->Lv1, 9), (QStringList{"", "", ""}));
    EXPECT_EQ(w->Label1->text(), "3");
  });
  EXPECT_EQ(dialogs.msgBoxTexts(),
            QStringList{"Database dipulihkan, tetapi foto yang rusak atau tidak terbaca tidak disalin: 3.jpg, 4.jpg, 5.jpg."});
  EXPECT_EQ(files(pf.path("photos")), (QStringList{"1.jpg", "2.JPG"}));
  EXPECT_EQ(readFile(pf.path("photos/1.jpg")), kNewPhoto);
  EXPECT_EQ(column(w->Lv1, 3), (QStringList{"Nama 1", "Nama 2", "Nama 3"}));  // refilled with ids on close
  EXPECT_NE(w->Lv1->subItem(1, 9), "");
  EXPECT_GE(w->CmbKelas->findText("Kelas Lama"), 0);  // the restored register's classes
  EXPECT_EQ(readFile(Frmrestore::keptRegister()), before);
  EXPECT_EQ(files(pf.path("database")), (QStringList{"database.mdb", "database.mdb.lama"}));
}

TEST_F(Restore, DamagedPartialOrForeignFilesLeaveTheRegisterByteForByte) {
  const qint64 seedSize = QFileInfo(pf.path("database/database.mdb")).size();
  const QByteArray g = readFile(makeBackup(bak.path(), 3000));  // about 300 pages
  // The file grew by the pages that hold the members: a byte in the middle of them.
  const qsizetype memberByte = seedSize + (g.size() - seedSize) / 2;
  ASSERT_GT(g.size(), seedSize + 100 * 1024);
  start();
  const QByteArray before = readFile(pf.path("database/database.mdb"));
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath("sub"));
  // `bytes` with `with` written at `at`, beside a photo that must not be copied.
  auto file = [&](const QString& name, QByteArray bytes, qsizetype at = 0, const QByteArray& with = {}) {
    writeFile(dir.filePath("x.jpg"), kNewPhoto);
    return writeFile(dir.filePath(name), bytes.replace(at, with.size(), with));
  };
  struct Case {
    QString file;
    QString message;
    std::function<void()> arrange = [] {};
  };
  const QString missing = dir.filePath("none.mdb");
  const QString columns = "(id, nis, nisn, nama, ttl, agama, kelamin, barcode, kelas)";
  const Case cases[] = {
      {"", "Pilih File database terlebih dahulu"},
      {missing, "File database " + missing + " tidak ditemukan"},
      {dir.filePath("sub"), "File " + dir.filePath("sub") +
                                " tidak dapat dipakai untuk restore: yang dipilih adalah folder, bukan file database. "
                                "Database tidak diubah."},
      {pf.path("photos/../database/database.mdb"), ""},  // the register itself
      {file("text.mdb", "not a database"), "bukan database program ini"},
      {onDb(dir.filePath("key.mdb"), "create table tblanggota (id integer)", "123456"), "bukan database program ini"},
      {file("pages.mdb", g, 20 * 1024, QByteArray(40 * 1024, 'x')), "file rusak"},
      {file("last.mdb", g, g.size() - 1024, QByteArray(1024, 0)), "file rusak"},
      {file("flip.mdb", g, memberByte, QByteArray(1, char(g[memberByte] ^ 1))), "file rusak"},
      {file("half.mdb", g.left(g.size() / 2)), "file rusak"},
      {onDb(file("column.mdb", g), "drop table tblanggota; create table tblanggota (id)"),
       "tabel tblanggota tidak memuat kolom nis, nisn"},
      {onDb(file("order.mdb", g), "alter table tblanggota rename to a; create table tblanggota " +
                                      QString(columns).replace("nis, nisn, nama", "nama, nis, nisn")),
       "urutan kolom tabel tblanggota berbeda (nama di tempat nis)"},
      {onDb(dir.filePath("only.mdb"), "create table tblanggota " + columns), "tabel t_kelas, tblsetting"},
      {file("sub/database.mdb", g), "backup yang belum selesai",
       [&] { writeFile(dir.filePath("sub/") + backup::kUnfinishedMarker, "x"); }},
      {file("inway1.mdb", g), "file tidak dapat disalin", [] { QDir().mkpath(Frmrestore::stagedRegister() + "/x"); }},
      {file("inway2.mdb", g), "database lama tidak dapat disimpan",
       [] { QDir().mkpath(Frmrestore::keptRegister() + "/x"); }},
      {file("locked.mdb", g), "database sedang dipakai",
       [&] {  // another program in the middle of a write
         pf.db().BeginTrans();
         pf.db().Execute("insert into tblanggota (nis, nama) values ('7', 'Tertulis')");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.toStdString());
    dialogs.clear();
    c.arrange();
    restoreFrom(c.file);
    EXPECT_EQ(dialogs.msgBoxes().size(), c.message.isEmpty() ? 0u : 1u);
    if (!c.message.isEmpty())
      EXPECT_TRUE(dialogs.lastMsgBox().prompt.contains(c.message)) << dialogs.lastMsgBox().prompt.toStdString();
    EXPECT_EQ(readFile(pf.path("database/database.mdb")), before);
    EXPECT_EQ(w->Lv1->count(), 1);
    EXPECT_EQ(files(pf.path("photos")), QStringList{"1.jpg"});
    EXPECT_EQ(readFile(pf.path("photos/1.jpg")), kOldPhoto);
    for (const QString& left : {Frmrestore::stagedRegister(), Frmrestore::keptRegister()}) {
      EXPECT_FALSE(QFileInfo(left).isFile());
      QDir(left).removeRecursively();  // the folders in the way
    }
  }
  // The write under way is stored in the register, not in a file the restore replaced.
  pf.db().CommitTrans();
  pf.closeDb();
  EXPECT_EQ(members(pf.path("database/database.mdb")), (QStringList{"Lain", "Tertulis", "ok"}));
}

// The restore as the user starts it, on the program's open connection.
TEST(RestoreChild, FromBackup) {
  KILL_CHILD_ONLY();
  ScriptedDialogs dialogs;
  ScopedEndHook end;
  vb::setProgramFolder(killChildFolder());
  ASSERT_TRUE(Module1::bukaKoneksi());
  Frmrestore* f = forms::get<Frmrestore>();
  f->Text1->setText(killChildFolder() + "/backup/database.mdb");
  f->cmdrestore->click();
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Restore Complete"});
  EXPECT_EQ(forms::get<Frmcari>()->Lv1->count(), 3);
  for (QWidget* w : forms::loaded()) forms::unload(w);
  Module1::tutupKoneksi();
}

class RestoreKilled : public Restore {};

TEST_F(RestoreKilled, AtAnyStepLeavesWholeFilesTheKeptRegisterAndAWordAtTheNextStart) {
  QDir().mkpath(pf.path("backup"));
  makeBackup(pf.path("backup"));
  QFile::remove(pf.path("backup/2.JPG"));  // one photo shows it; each more costs kill points
  const QString reg = pf.path("database/database.mdb"), kept = Frmrestore::keptRegister();
  const QByteArray oldRegister = readFile(reg), earlierKept = "the register an earlier restore replaced";
  std::map<std::string, int> kills;
  int halfway = 0;
  QStringList outcomes;
  for (const char* kind : {"write", "fsync", "link", "unlink", "rename", "rename+", "rmdir"}) {
    for (int n = 1; n <= 60; ++n) {
      const QString at = QString("%1:%2").arg(kind).arg(n);
      SCOPED_TRACE(at.toStdString());
      writeFile(reg, oldRegister);
      writeFile(kept, earlierKept);
      writeFile(pf.path("photos/1.jpg"), kOldPhoto);
      const ChildRun run = runChild("RestoreChild.FromBackup", pf.root(), at);
      ASSERT_TRUE(run.killed || run.exitCode == 0);
      kills[kind] += run.killed;
      // The next start clears what the kill left and says what it found.
      dialogs.clear();
      start();
      const QStringList boxes = dialogs.msgBoxTexts(), now = column(w->Lv1, 3);
      closeAll();
      const bool restored = now == QStringList{"Nama 1", "Nama 2", "Nama 3"};
      EXPECT_TRUE(restored || now == QStringList{"Lain"}) << now.join(',').toStdString();
      // The kept register changes only with the register itself.
      EXPECT_EQ(readFile(kept), restored ? oldRegister : earlierKept);
      EXPECT_EQ(files(pf.path("database")), (QStringList{"database.mdb", "database.mdb.lama"}));
      EXPECT_EQ(files(pf.path("photos")), QStringList{"1.jpg"});
      const QByteArray photo = readFile(pf.path("photos/1.jpg"));
      EXPECT_TRUE(photo == kOldPhoto || photo == kNewPhoto);
      // A restored register beside the photos it did not bring is told, with both ways on.
      const bool told = boxes.size() == 1 && boxes[0].contains("terhenti sebelum selesai");
      if (restored && photo == kOldPhoto) {
        ++halfway;
        EXPECT_TRUE(told) << boxes.join(" / ").toStdString();
      }
      if (!restored || !run.killed) EXPECT_TRUE(boxes.isEmpty()) << boxes.join(" / ").toStdString();
      if (told) {
        EXPECT_TRUE(boxes[0].contains(QDir::toNativeSeparators(pf.path("backup/database.mdb"))));
        EXPECT_TRUE(boxes[0].contains(QDir::toNativeSeparators(kept)));
      }
      outcomes << QString("%1 %2%3").arg(at, restored ? "new" : "old", told ? " told" : "");
      // Once the restore is complete, later calls of this kind only refill the list.
      if (!run.killed || (restored && photo == kNewPhoto && !told)) break;
    }
  }
  std::printf("restore kills: %s\n", qPrintable(outcomes.join(", ")));
  // Each kind of step was cut at least once, so each was checked; the restore removes no folder.
  for (const char* kind : {"write", "fsync", "link", "unlink", "rename", "rename+"})
    EXPECT_GT(kills[kind], 0) << kind;
  EXPECT_EQ(kills["rmdir"], 0);
  EXPECT_GT(halfway, 0);
}

// Adds 2,000 members to the database in the child's folder in one transaction; the parent
// kills it at its commit.
TEST(RestoreChild, WritesSource) {
  KILL_CHILD_ONLY();
  ado::Connection c;
  c.ConnectionString = "Data Source=" + killChildFolder() + "/database.mdb";
  c.setProperty("Jet OLEDB:Database Password", "718403");
  c.Open();
  c.BeginTrans();
  for (int n = 0; n < 2000; ++n)
    c.Execute(QString("insert into tblanggota (nis, nama) values ('u%1', 'Belum %1')").arg(n));
  c.CommitTrans();
}

TEST_F(Restore, ASourceLeftByAKilledProgramBringsInWhatThatProgramWouldFindAtItsNextStart) {
  QTemporaryDir base;
  const QString backupDb = makeBackup(base.path());
  struct Case {
    const char* mode;     // the source's journal mode
    const char* killAt;   // where its writer is killed
    const char* beside;   // what the kill leaves beside it
  };
  const Case cases[] = {
      {"delete", "unlink:1", "-journal"},  // its pages written, the journal not yet deleted
      {"wal", "fsync:3", "-wal"},          // its commit in the log, not yet in the file
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    QTemporaryDir src;
    const QString db = src.filePath("database.mdb");
    ASSERT_TRUE(QFile::copy(backupDb, db));
    writeFile(src.filePath("1.jpg"), kNewPhoto);
    onDb(db, QString("PRAGMA journal_mode = %1").arg(c.mode));
    const ChildRun run = runChild("RestoreChild.WritesSource", src.path(), c.killAt);
    ASSERT_TRUE(run.killed);
    ASSERT_GT(QFileInfo(db + c.beside).size(), 0);
    // The file alone holds something else than the file with what lies beside it.
    const int expected = memberCountWith(db, {c.beside}), alone = memberCountWith(db, {});
    ASSERT_NE(expected, alone);
    const QByteArray sourceBytes = readFile(db), besideBytes = readFile(db + c.beside);

    dialogs.clear();
    restoreFrom(db);
    EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Restore Complete"});
    EXPECT_EQ(w->Lv1->count(), expected);
    closeAll();
    w = nullptr;
    const QString reg = pf.path("database/database.mdb");
    EXPECT_EQ(memberCount(reg), expected);
    QStringList mode;
    onDb(reg, "PRAGMA journal_mode", "718403", &mode);
    EXPECT_EQ(mode, QStringList{"delete"});
    EXPECT_EQ(files(pf.path("database")), (QStringList{"database.mdb", "database.mdb.lama"}));
    // The source is read, never written.
    EXPECT_EQ(readFile(db), sourceBytes);
    EXPECT_EQ(readFile(db + c.beside), besideBytes);
  }
}

TEST_F(Restore, KopiCopiesTheCardPicturesBesideTheChosenFileAndTampilUlangRefillsTheList) {
  struct Case {
    const char* what;
    QStringList there;   // files beside the chosen database
    QStringList copied;  // what arrives in images/
    long error;          // the error kopi ends with; 0: none
  };
  const Case cases[] = {
      {"all there", {"Front_logo1.gif", "Back_stempel.GIF", "belakang.jpg", "depan.jpg", "7.jpg"},
       {"Back_stempel.GIF", "Front_logo1.gif", "belakang.jpg", "depan.jpg"}, 0},
      {"no picture of the designer: nothing is copied", {"belakang.jpg", "depan.jpg"}, {}, vb::kErrFileNotFound},
      {"no depan.jpg: what came before it is copied", {"a.gif", "belakang.jpg"}, {"a.gif", "belakang.jpg"},
       vb::kErrFileNotFound},
  };
  pf.addMember("11", "Zaki");
  pf.addMember("10", "Ali");
  pf.closeDb();
  start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir src;
    for (const QString& f : c.there) writeFile(src.filePath(f), f.toUtf8());
    const QStringList before = files(pf.path("images"));
    long error = 0;
    withWindow([&](Frmrestore* f) {
      f->Text1->setText(src.filePath("database.mdb"));
      try {
        f->kopi();
      } catch (const vb::VbError& e) {
        error = e.number;
      }
    });
    EXPECT_EQ(error, c.error);
    QStringList added = files(pf.path("images"));
    for (const QString& f : before) added.removeOne(f);
    QStringList want = c.copied;
    want.sort();
    added.sort();
    EXPECT_EQ(added, want);
    for (const QString& f : c.copied) {
      EXPECT_EQ(readFile(pf.path("images/" + f)), f.toUtf8());
      QFile::remove(pf.path("images/" + f));
    }
  }
  // tampilUlang fills the list as the restore does: in the query's order, without ids.
  withWindow([&](Frmrestore* f) {
    ASSERT_EQ(column(w->Lv1, 3), (QStringList{"Ali", "Zaki"}));
    ASSERT_NE(w->Lv1->subItem(1, 9), "");
    ASSERT_TRUE(QMetaObject::invokeMethod(f, "tampilUlang"));
    EXPECT_EQ(column(w->Lv1, 3), (QStringList{"Zaki", "Ali"}));
    EXPECT_EQ(column(w->Lv1, 9), (QStringList{"", ""}));
    EXPECT_EQ(w->Label1->text(), "2");
  });
}

}  // namespace
