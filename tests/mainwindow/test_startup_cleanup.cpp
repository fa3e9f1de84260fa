// The start clears what a killed run left: temporary files, pending designer saves (finished
// when their rows were stored, discarded otherwise) and a restore's database copies, which
// stay, with a word to the user, when the register itself does not open.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <functional>
#include <new>

#include "mainwindow_fixture.h"
#include "simpanTertunda.h"

using namespace testsupport;

namespace {

// No process has this number: beyond the largest the system gives.
const QString kMati = "99999999";

class StartupCleanup : public MainWindowTest {
 protected:
  static void tulis(ProgramFolder& p, const QString& rel, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(p.path(rel)).path());
    QFile f(p.path(rel));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  static QByteArray isi(ProgramFolder& p, const QString& rel) {
    QFile f(p.path(rel));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  // A designer save stopped as a kill stops it: its folder stays, whatever came after.
  static void simpanTerhenti(ProgramFolder& p, bool committed) {
    alignas(simpanTertunda::Tertunda) static unsigned char tempat[sizeof(simpanTertunda::Tertunda)];
    auto* t = new (tempat) simpanTertunda::Tertunda("Front");  // never destroyed, as in a killed run
    QFile f(t->berkas(p.path("images/depan2.jpg")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("baru");
    f.close();
    t->siap();
    if (committed) t->catat(p.db());
  }
  static QStringList pending(ProgramFolder& p) {
    return QDir(p.path("images")).entryList({".simpan-*"}, QDir::Dirs | QDir::Hidden);
  }
};

TEST_F(StartupCleanup, WhatAKilledRunLeftIsClearedAndNoPossiblyOnlyRegisterIsLost) {
  const QString hidup = QString::number(::getppid());
  struct Case {
    const char* what;
    std::function<void(ProgramFolder&)> arrange;
    QStringList gone, kept;         // files after the start
    QByteArray face;                // images/depan2.jpg after the start; empty: as before
    QStringList boxes;              // a piece of each box shown, in order
    int pendingLeft = 0;            // designer folders left in images/
  };
  const QString tmp = ".lentavo-" + kMati + "-4.tmp";
  const std::vector<Case> cases = {
      {"temporaries of a killed run, in every folder",
       [&](ProgramFolder& p) {
         for (const char* sub : {"", "photos/", "images/", "barcode/", "database/", "temp/"})
           tulis(p, sub + tmp, QByteArray(5000, 'x'));
       },
       {tmp, "photos/" + tmp, "images/" + tmp, "barcode/" + tmp, "database/" + tmp, "temp/" + tmp}},
      {"a temporary of a program still running, and names that only look alike, stay",
       [&](ProgramFolder& p) {
         tulis(p, "photos/.lentavo-" + hidup + "-1.tmp", "x");
         tulis(p, "photos/.lentavo-catatan.tmp", "x");
         tulis(p, "photos/lentavo-" + kMati + "-1.tmp", "x");
       },
       {},
       {"photos/.lentavo-" + hidup + "-1.tmp", "photos/.lentavo-catatan.tmp", "photos/lentavo-" + kMati + "-1.tmp"}},
      {"a designer save killed before its files were complete is discarded",
       [&](ProgramFolder& p) {
         tulis(p, "images/.simpan-" + kMati + "-00ff/depan2.jpg", "baru");
         tulis(p, "images/.simpan-x7Yz12/Front_logo1.gif", "baru");
       },
       {}},
      {"a designer save killed before its commit is discarded", [&](ProgramFolder& p) { simpanTerhenti(p, false); }},
      {"a designer save killed after its commit is finished", [&](ProgramFolder& p) { simpanTerhenti(p, true); },
       {}, {}, "baru"},
      {"the pending save of a program still running stays",
       [&](ProgramFolder& p) { tulis(p, "images/.simpan-" + hidup + "-00ff/depan2.jpg", "baru"); }, {}, {}, {}, {}, 1},
      {"a restore's copies beside a register that opens go",
       [&](ProgramFolder& p) {
         QFile::copy(p.path("database/database.mdb"), p.path("database/database.mdb.baru"));
         QFile::copy(p.path("database/database.mdb"), p.path("database/database.mdb.lama"));
       },
       {"database/database.mdb.baru", "database/database.mdb.lama"}},
      {"the register before a restore that stopped half way stays, and the user is told",
       [&](ProgramFolder& p) { tulis(p, "database/database.mdb.lama", "database lama"); }, {},
       {"database/database.mdb.lama"}, {}, {"Restore database terakhir terhenti sebelum selesai."}},
      {"a missing register: the restore's copy and the pending save stay, the user is told",
       [&](ProgramFolder& p) {
         simpanTerhenti(p, true);
         p.closeDb();
         QFile::rename(p.path("database/database.mdb"), p.path("database/database.mdb.baru"));
       },
       {}, {"database/database.mdb.baru"}, {}, {"tidak dapat dibuka", "Fatal Error"}, 1},
      {"an unreadable register: its staged copy stays, the user is told",
       [&](ProgramFolder& p) {
         QFile::copy(p.path("database/database.mdb"), p.path("database/database.mdb.baru"));
         p.closeDb();
         tulis(p, "database/database.mdb", QByteArray(8192, 'r'));
       },
       {}, {"database/database.mdb.baru"}, {}, {"tidak dapat dibuka", "Fatal Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder p;
    const QByteArray face = isi(p, "images/depan2.jpg");
    c.arrange(p);
    p.closeDb();
    dialogs.clear();
    const int ends = endHook.count();
    start();
    for (const QString& f : c.gone) EXPECT_FALSE(QFile::exists(p.path(f))) << f.toStdString();
    for (const QString& f : c.kept) EXPECT_TRUE(QFile::exists(p.path(f))) << f.toStdString();
    EXPECT_EQ(isi(p, "images/depan2.jpg"), c.face.isEmpty() ? face : c.face);
    EXPECT_EQ(pending(p).size(), c.pendingLeft);
    const QStringList shown = dialogs.msgBoxTexts();
    ASSERT_EQ(shown.size(), c.boxes.size()) << shown.join(" / ").toStdString();
    for (int i = 0; i < shown.size(); ++i) EXPECT_TRUE(shown[i].contains(c.boxes[i])) << shown[i].toStdString();
    EXPECT_EQ(endHook.count() > ends, c.boxes.contains("Fatal Error"));
    // The copies kept are named to the user.
    if (!shown.isEmpty() && !c.kept.isEmpty() && c.kept[0].startsWith("database/"))
      EXPECT_TRUE(shown[0].contains(QDir::toNativeSeparators(p.path(c.kept[0])))) << shown[0].toStdString();
    closeAll();
    QDir(p.path("images")).removeRecursively();  // a pending save left on purpose
  }
}

}  // namespace
