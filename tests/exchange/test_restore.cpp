// Restore: a backup comes back whole, anything else leaves the database as it was.
#include <sqlcipher/sqlite3.h>

#include <QDir>
#include <QTemporaryDir>

#include "Frmrestore.h"
#include "mainwindow_fixture.h"
#include "photo_files.h"

using namespace testsupport;

namespace {

class Restore : public MainWindowTest {
 protected:
  // A backup folder: the register with Ani, Budi and Citra, and two photos.
  QString makeBackup() {
    for (const char* n : {"1", "2", "3"}) pf.addMember(n, QString("Nama ") + n);
    pf.closeDb();
    const QString db = bak.filePath("database.mdb");
    EXPECT_TRUE(QFile::copy(pf.path("database/database.mdb"), db));
    writeFile(bak.filePath("1.jpg"), "photo 1");
    writeFile(bak.filePath("2.JPG"), "photo 2");
    pf.db().Execute("delete from tblanggota");
    pf.addMember("9", "Lain");
    pf.closeDb();
    return db;
  }
  // Opens the window from the main window's button; `act` runs while it is shown.
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
  QStringList databaseFolder() const { return QDir(pf.path("database")).entryList(QDir::Files | QDir::Hidden); }
  QTemporaryDir bak;
};

TEST_F(Restore, BackupBringsBackMembersPhotosAndCountWithoutIds) {
  const QString db = makeBackup();
  start();
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
  EXPECT_EQ(dialogs.msgBoxTexts(), QStringList{"Restore Complete"});
  EXPECT_EQ(readFile(pf.path("photos/1.jpg")), "photo 1");
  EXPECT_EQ(readFile(pf.path("photos/2.JPG")), "photo 2");
  EXPECT_EQ(column(w->Lv1, 3), (QStringList{"Nama 1", "Nama 2", "Nama 3"}));  // refilled with ids on close
  EXPECT_NE(w->Lv1->subItem(1, 9), "");
  EXPECT_EQ(databaseFolder(), QStringList{"database.mdb"});
}

// A database made with another key, or without the member table.
QString otherDatabase(const QString& file, const char* key, const char* table) {
  sqlite3* db = nullptr;
  sqlite3_open(file.toUtf8().constData(), &db);
  sqlite3_exec(db, (std::string("PRAGMA key = '") + key + "'").c_str(), nullptr, nullptr, nullptr);
  sqlite3_exec(db, (std::string("create table ") + table + " (id integer)").c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return file;
}

TEST_F(Restore, ForeignFilesLeaveTheDatabaseByteForByte) {
  pf.addMember("1", "Ani");
  pf.closeDb();
  start();  // its start-up writes to the database
  const QByteArray before = readFile(pf.path("database/database.mdb"));
  writeFile(bak.filePath("x.jpg"), "must not be copied");
  struct Case {
    QString file;
    QString message;
  };
  const QString missing = bak.filePath("none.mdb");
  const Case cases[] = {
      {"", "Pilih File database terlebih dahulu"},
      {missing, "File database " + missing + " tidak ditemukan"},
      {pf.path("photos/../database/database.mdb"), ""},  // the database itself
      {writeFile(bak.filePath("text.mdb"), "not a database"), "bukan database"},
      {otherDatabase(bak.filePath("key.mdb"), "123456", "tblanggota"), "bukan database"},
      {otherDatabase(bak.filePath("table.mdb"), "718403", "lain"), "bukan database"},
  };
  for (const Case& c : cases) {
    dialogs.clear();
    restoreFrom(c.file);
    EXPECT_EQ(dialogs.msgBoxes().size(), c.message.isEmpty() ? 0u : 1u) << c.file.toStdString();
    if (!c.message.isEmpty()) EXPECT_TRUE(dialogs.lastMsgBox().prompt.contains(c.message)) << c.file.toStdString();
    EXPECT_EQ(readFile(pf.path("database/database.mdb")), before);
    EXPECT_EQ(w->Lv1->count(), 1);
  }
  EXPECT_FALSE(QFile::exists(pf.path("photos/x.jpg")));
  EXPECT_EQ(databaseFolder(), QStringList{"database.mdb"});
}

TEST_F(Restore, FailureAfterTheReplacementPutsTheOldDatabaseBack) {
  const QString db = makeBackup();
  start();
  const QByteArray before = readFile(pf.path("database/database.mdb"));
  Frmrestore::afterReplaceHook = [&] { writeFile(pf.path("database/database.mdb"), "torn"); };
  restoreFrom(db);
  Frmrestore::afterReplaceHook = nullptr;
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.endsWith("Database sebelumnya dikembalikan."));
  EXPECT_EQ(readFile(pf.path("database/database.mdb")), before);
  EXPECT_TRUE(Module1::koneksiTerbuka());
  EXPECT_EQ(column(w->Lv1, 3), QStringList{"Lain"});
  EXPECT_FALSE(QFile::exists(pf.path("photos/1.jpg")));
  EXPECT_EQ(databaseFolder(), QStringList{"database.mdb"});
}

}  // namespace
