// The start clears what a killed run left: temporary files, pending designer saves (finished
// when their rows were stored, discarded otherwise) and a restore's database copies, which
// stay, with a word to the user, when the register itself does not open.
#include <unistd.h>

#include <QDir>
#include <functional>
#include <new>

#include "mainwindow_fixture.h"
#include "simpanTertunda.h"

using namespace testsupport;

namespace {

class StartupCleanup : public MainWindowTest {
 protected:
  static void tulis(const QString& rel, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(vb::appPath(rel)).path());
    QFile f(vb::appPath(rel));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
  }
  // A designer save stopped as a kill stops it, before or after its rows were stored.
  static void simpanTerhenti(ado::Connection& db, bool stored) {
    alignas(simpanTertunda::Tertunda) static unsigned char tempat[sizeof(simpanTertunda::Tertunda)];
    auto* t = new (tempat) simpanTertunda::Tertunda("Front");  // never destroyed, as in a killed run
    tulis("images/" + QFileInfo(t->berkas("depan2.jpg")).dir().dirName() + "/depan2.jpg", "baru");
    t->siap();
    if (stored) t->catat(db);
  }
};

TEST_F(StartupCleanup, WhatAKilledRunLeftIsClearedAndNoPossiblyOnlyRegisterIsLost) {
  const QString mati = "99999999", hidup = QString::number(::getppid());  // no process has the first
  const QString tmp = ".lentavo-" + mati + "-4.tmp", db = "database/database.mdb";
  struct Case {
    const char* what;
    std::function<void(ProgramFolder&)> arrange;
    QStringList gone, kept;  // files after the start
    QByteArray face;         // images/depan2.jpg after the start; empty: as before
    QStringList boxes;       // a piece of each box shown, in order
    int pending = 0;         // designer folders left in images/
    std::function<void(ProgramFolder&)> check = {};  // anything else to see after the start
  };
  const std::vector<Case> cases = {
      {"temporaries of a killed run, in every folder",
       [&](ProgramFolder&) {
         for (const char* sub : {"", "photos/", "images/", "barcode/", "database/", "temp/"}) tulis(sub + tmp, "x");
       },
       {tmp, "photos/" + tmp, "images/" + tmp, "barcode/" + tmp, "database/" + tmp, "temp/" + tmp}},
      {"a temporary of a program still running, and names that only look alike, stay",
       [&](ProgramFolder&) {
         for (const QString& f :
              QStringList{".lentavo-" + hidup + "-1.tmp", ".lentavo-catatan.tmp", "lentavo-" + mati + "-1.tmp"})
           tulis("photos/" + f, "x");
       },
       {},
       {"photos/.lentavo-" + hidup + "-1.tmp", "photos/.lentavo-catatan.tmp", "photos/lentavo-" + mati + "-1.tmp"}},
      {"designer saves killed before their files were complete are discarded",
       [&](ProgramFolder&) {
         tulis("images/.simpan-" + mati + "-00ff/depan2.jpg", "baru");
         tulis("images/.simpan-x7Yz12/Front_logo1.gif", "baru");
       }},
      {"a designer save killed before its commit is discarded",
       [&](ProgramFolder& p) { simpanTerhenti(p.db(), false); }},
      {"a designer save killed after its commit is finished", [&](ProgramFolder& p) { simpanTerhenti(p.db(), true); },
       {}, {}, "baru"},
      {"the pending save of a program still running stays",
       [&](ProgramFolder&) { tulis("images/.simpan-" + hidup + "-00ff/depan2.jpg", "baru"); }, {}, {}, {}, {}, 1},
      {"a restore's copies beside a register that opens go",
       [&](ProgramFolder& p) {
         QFile::copy(p.path(db), p.path(db + ".baru"));
         QFile::copy(p.path(db), p.path(db + ".lama"));
       },
       {db + ".baru", db + ".lama"}},
      {"the register a restore replaced stays, without a word at every start",
       [&](ProgramFolder&) { tulis(db + ".lama", "database lama"); }, {}, {db + ".lama"}},
      {"a missing register: the restore's copy and the pending save stay, the user is told",
       [&](ProgramFolder& p) {
         simpanTerhenti(p.db(), true);
         p.closeDb();
         QFile::rename(p.path(db), p.path(db + ".baru"));
       },
       {}, {db + ".baru"}, {}, {"tidak dapat dibuka", "Fatal Error"}, 1},
      {"a restore stopped after its swap: the register it replaced becomes the kept one, the user is told",
       [&](ProgramFolder&) {
         tulis(db + ".restore", "/cadangan/Backup - 2026.01.02/database.mdb");
         tulis(db + ".diganti", "database yang diganti");
         tulis(db + ".lama", "database yang lebih lama");
       },
       {db + ".restore", db + ".diganti"}, {db + ".lama"}, {},
       {"Restore dari /cadangan/Backup - 2026.01.02/database.mdb terhenti sebelum selesai"}, 0,
       [&](ProgramFolder& p) {
         QFile f(p.path(db + ".lama"));
         EXPECT_TRUE(f.open(QIODevice::ReadOnly));
         EXPECT_EQ(f.readAll(), "database yang diganti");
       }},
      {"a restore stopped before its swap changed nothing: its leftovers go without a word, the kept one stays",
       [&](ProgramFolder& p) {
         for (const char* copy : {".baru", ".diganti"}) QFile::copy(p.path(db), p.path(db + copy));
         tulis(db + ".baru-journal", "x");
         tulis(db + ".restore", "/cadangan/database.mdb");
         tulis(db + ".lama", "database yang lebih lama");
       },
       {db + ".restore", db + ".diganti", db + ".baru", db + ".baru-journal"}, {db + ".lama"}},
      {"an unreadable register: its staged copy stays, the user is told",
       [&](ProgramFolder& p) {
         QFile::copy(p.path(db), p.path(db + ".baru"));
         tulis(db, QByteArray(8192, 'r'));
       },
       {}, {db + ".baru"}, {}, {"tidak dapat dibuka", "Fatal Error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ProgramFolder p;
    const auto face = [&] {
      QFile f(p.path("images/depan2.jpg"));
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = face();
    c.arrange(p);
    p.closeDb();
    dialogs.clear();
    const int ends = endHook.count();
    start();
    for (const QString& f : c.gone) EXPECT_FALSE(QFile::exists(p.path(f))) << f.toStdString();
    for (const QString& f : c.kept) EXPECT_TRUE(QFile::exists(p.path(f))) << f.toStdString();
    EXPECT_EQ(face(), c.face.isEmpty() ? before : c.face);
    EXPECT_EQ(QDir(p.path("images")).entryList({".simpan-*"}, QDir::Dirs | QDir::Hidden).size(), c.pending);
    const QStringList shown = dialogs.msgBoxTexts();
    ASSERT_EQ(shown.size(), c.boxes.size()) << shown.join(" / ").toStdString();
    for (int i = 0; i < shown.size(); ++i) EXPECT_TRUE(shown[i].contains(c.boxes[i])) << shown[i].toStdString();
    // The copies kept are named to the user.
    if (!shown.isEmpty() && !c.kept.isEmpty() && c.kept[0].startsWith("database/"))
      EXPECT_TRUE(shown[0].contains(QDir::toNativeSeparators(p.path(c.kept[0])))) << shown[0].toStdString();
    EXPECT_EQ(endHook.count() > ends, c.boxes.contains("Fatal Error"));
    if (c.check) c.check(p);
    closeAll();
  }
}

}  // namespace
