// Restore: a whole backup comes back, anything damaged or foreign leaves the register as it was.
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QTemporaryDir>

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
  const QByteArray g = readFile(makeBackup(bak.path(), 3000));  // about 300 pages
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
      {pf.path("photos/../database/database.mdb"), ""},  // the register itself
      {file("text.mdb", "not a database"), "bukan database program ini"},
      {onDb(dir.filePath("key.mdb"), "create table tblanggota (id integer)", "123456"), "bukan database program ini"},
      {file("pages.mdb", g, 20 * 1024, QByteArray(40 * 1024, 'x')), "file rusak"},
      {file("last.mdb", g, g.size() - 1024, QByteArray(1024, 0)), "file rusak"},
      {file("flip.mdb", g, 102417, QByteArray(1, char(g[102417] ^ 1))), "file rusak"},  // a byte of a member page
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

TEST_F(Restore, KilledAtAnyStepLeavesAWholeRegisterOldOrNewAndWholePhotos) {
  QDir().mkpath(pf.path("backup"));
  makeBackup(pf.path("backup"));
  QFile::remove(pf.path("backup/2.JPG"));  // one photo shows it; each more costs kill points
  const QString reg = pf.path("database/database.mdb");
  const QByteArray oldRegister = readFile(reg);
  QStringList outcomes;
  // Before each write and after each rename, around the old register's second name, and
  // the one step between keeping the old register and the swap.
  for (const char* kind : {"write", "rename+", "unlink", "rename"}) {
    for (int n = 1;; ++n) {
      const QString at = QString("%1:%2").arg(kind).arg(n);
      SCOPED_TRACE(at.toStdString());
      writeFile(reg, oldRegister);
      QFile::remove(Frmrestore::keptRegister());
      writeFile(pf.path("photos/1.jpg"), kOldPhoto);
      const ChildRun run = runChild("RestoreChild.FromBackup", pf.root(), at);
      ASSERT_TRUE(run.killed || run.exitCode == 0);
      // What the next start clears: the staged register and the photo folder's temporaries.
      const QStringList left = files(pf.path("database")) + files(pf.path("photos"));
      QFile::remove(Frmrestore::stagedRegister());
      for (const QString& f : files(pf.path("photos")))
        if (f.startsWith(vb::kTemporaryPrefix)) QFile::remove(pf.path("photos/" + f));
      const QStringList now = members(reg);
      const bool restored = now == QStringList{"Nama 1", "Nama 2", "Nama 3", "ok"};
      EXPECT_TRUE(restored || now == QStringList({"Lain", "ok"})) << now.join(',').toStdString();
      if (restored) EXPECT_EQ(readFile(Frmrestore::keptRegister()), oldRegister);
      EXPECT_EQ(files(pf.path("photos")), QStringList{"1.jpg"});
      const QByteArray photo = readFile(pf.path("photos/1.jpg"));
      EXPECT_TRUE(photo == kOldPhoto || photo == kNewPhoto);
      QStringList kept = files(pf.path("database")) + files(pf.path("photos"));
      outcomes << QString("%1 %2 (%3 left)").arg(at, restored ? "new" : "old").arg(left.size() - kept.size());
      if (!restored) kept.removeOne("database.mdb.lama");  // the register's second name, made just before the swap
      EXPECT_EQ(kept, (restored ? QStringList{"database.mdb", "database.mdb.lama", "1.jpg"}
                                : QStringList{"database.mdb", "1.jpg"}));
      if (!run.killed) break;
      // Later calls of this kind only refill the list; the step before the swap is the first rename.
      if ((restored && photo == kNewPhoto) || kind == std::string("rename")) break;
    }
  }
  std::printf("restore kills: %s\n", qPrintable(outcomes.join(", ")));
}

}  // namespace
