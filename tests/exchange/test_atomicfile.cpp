// A file replaced through the one helper is old or new after a kill at any step, never half.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <functional>

#include "atomicfile.h"
#include "kill_child.h"
#include "photobox.h"
#include "xlsxwrite.h"

namespace {

// A source file that someone shortens while the helper copies it: armed with its name, the
// first sendfile of the process truncates it before it reads.
struct Shrinker {
  QByteArray source;  // empty: not armed
  off_t to = 0;
  int done = 0;  // how often it shortened the source
};
Shrinker& shrinker() {
  static Shrinker s;
  return s;
}

}  // namespace

extern "C" ssize_t sendfile(int out, int in, off_t* offset, size_t count) {
  using Fn = ssize_t (*)(int, int, off_t*, size_t);
  static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "sendfile"));
  Shrinker& s = shrinker();
  if (!s.source.isEmpty() && s.done == 0 && ::truncate(s.source.constData(), s.to) == 0) ++s.done;
  return real(out, in, offset, count);
}

namespace {

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(AtomicFileChild, CopyBigFile) {
  KILL_CHILD_ONLY();
  const QString dir = testsupport::killChildFolder();
  ASSERT_TRUE(vb::copyFileAtomically(dir + "/new.bin", dir + "/target.bin", true));
}

TEST(AtomicFile, KilledCopyLeavesOldOrNewTarget) {
  QTemporaryDir dir;
  const QByteArray oldBytes(300000, 'o'), newBytes(700000, 'n');
  for (const bool existed : {true, false}) {
    for (const QString& kill : {QStringLiteral("write:1"), QStringLiteral("write+:1"), QStringLiteral("fsync:1"),
                                QStringLiteral("link:1"), QStringLiteral("link+:1"), QStringLiteral("rename:1"),
                                QStringLiteral("rename+:1"), QString()}) {
      SCOPED_TRACE((existed ? "over a file, " : "a new file, ") + kill.toStdString());
      QFile::remove(dir.filePath("target.bin"));
      if (existed) ASSERT_TRUE(vb::replaceFileBytes(dir.filePath("target.bin"), oldBytes));
      ASSERT_TRUE(vb::replaceFileBytes(dir.filePath("new.bin"), newBytes));
      const testsupport::ChildRun run = testsupport::runChild("AtomicFileChild.CopyBigFile", dir.path(), kill);
      // A new file is linked in whole without a rename: the kill points after its bytes pass.
      const bool reached = existed || !kill.startsWith("rename");
      EXPECT_EQ(run.killed, !kill.isEmpty() && reached);
      const QByteArray left = contents(dir.filePath("target.bin"));
      const bool done = !run.killed || kill == "rename+:1" || (!existed && kill == "link+:1");
      const QByteArray expected = done ? newBytes : existed ? oldBytes : QByteArray("<missing>");
      EXPECT_TRUE(left == expected) << "target holds " << left.size() << " bytes";
      // A killed copy leaves at most its temporary file, under the helper's prefix.
      for (const QString& f : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        EXPECT_TRUE(f == "target.bin" || f == "new.bin" || f.startsWith(vb::kTemporaryPrefix)) << f.toStdString();
    }
  }
}

TEST(AtomicFile, ACopyFromASourceThatShrinksMeanwhileFailsAndLeavesTheTarget) {
  QTemporaryDir dir;
  const QString from = dir.filePath("source.bin"), to = dir.filePath("target.bin");
  for (const bool existed : {true, false}) {
    for (const bool durable : {true, false}) {
      SCOPED_TRACE(std::string(existed ? "over a file, " : "a new file, ") + (durable ? "durable" : "bulk"));
      QFile::remove(to);
      if (existed) ASSERT_TRUE(vb::replaceFileBytes(to, "old target"));
      ASSERT_TRUE(vb::replaceFileBytes(from, QByteArray(300000, 's')));
      shrinker() = {QFile::encodeName(from), 1000};
      QString why;
      EXPECT_FALSE(vb::copyFileAtomically(from, to, durable, &why));
      const int shortened = shrinker().done;
      shrinker() = {};
      EXPECT_EQ(shortened, 1);  // the source did shrink under the copy
      EXPECT_FALSE(why.isEmpty());
      EXPECT_EQ(contents(to), existed ? QByteArray("old target") : QByteArray("<missing>"));
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                existed ? QStringList({"source.bin", "target.bin"}) : QStringList({"source.bin"}));
    }
  }
}

// Every way of writing a file follows one rule: a link is written through (the file it
// points to is replaced, the link stays), a replaced file keeps its mode, a new one gets
// the usual mode.
TEST(AtomicFile, OneRuleForModesAndLinksWhateverWritesTheFile) {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  const mode_t usual = 0644 & ~mask;
  QImage red(6, 4, QImage::Format_RGB32);
  red.fill(Qt::red);
  const QByteArray fresh(5000, 'n');
  const std::vector<std::pair<const char*, std::function<bool(const QString& dir, const QString& to)>>> writers = {
      {"bytes", [&](const QString&, const QString& to) { return vb::replaceFileBytes(to, fresh); }},
      {"fill, not durable",
       [&](const QString&, const QString& to) {
         return vb::replaceFileWith(to, [&](int fd) { return vb::writeAll(fd, fresh.constData(), fresh.size()); },
                                    false);
       }},
      {"copy",
       [&](const QString& dir, const QString& to) {
         return vb::copyFileAtomically(dir + "/private.bin", to, true);
       }},
      {"bulk copy",
       [&](const QString& dir, const QString& to) {
         return vb::copyFileAtomically(dir + "/private.bin", to, false);
       }},
      {"move into place",
       [&](const QString&, const QString& to) {
         const QString part = QFile::decodeName(vb::temporaryNameBeside(QFile::encodeName(to)));
         QFile f(part);  // as a library writes it, with a mode of its own
         if (!f.open(QIODevice::WriteOnly) || f.write(fresh) != fresh.size()) return false;
         f.close();
         f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
         return vb::moveFileIntoPlace(part, to);
       }},
      {"picture",
       [&](const QString&, const QString& to) {
         photobox::PhotoBoxGlobal::SavePictureFile(photobox::Picture(red), to);
         return true;
       }},
      {"workbook", [&](const QString&, const QString& to) { return excel::writeTextSheet(to, {{"a"}}).isEmpty(); }},
  };
  enum class Place { New, OverOld, ThroughLink, ThroughDanglingLink };
  for (const auto& [what, write] : writers) {
    for (const Place place : {Place::New, Place::OverOld, Place::ThroughLink, Place::ThroughDanglingLink}) {
      SCOPED_TRACE(std::string(what) + " " + std::to_string(int(place)));
      QTemporaryDir dir;
      ASSERT_TRUE(vb::replaceFileBytes(dir.filePath("private.bin"), fresh));
      ASSERT_TRUE(QFile::setPermissions(dir.filePath("private.bin"), QFile::ReadOwner | QFile::WriteOwner));
      ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
      const QString name = dir.filePath("file.jpg");
      QString file = name;  // the file that gets the bytes
      if (place == Place::ThroughLink || place == Place::ThroughDanglingLink) {
        file = dir.filePath("sub/real.jpg");
        ASSERT_TRUE(QFile::link("sub/real.jpg", name));
      }
      if (place != Place::New && place != Place::ThroughDanglingLink) {
        ASSERT_TRUE(vb::replaceFileBytes(file, "old"));
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
      }
      ASSERT_TRUE(write(dir.path(), name));
      const QByteArray now = contents(file);
      EXPECT_TRUE(now != "old" && now != "<missing>");
      EXPECT_EQ(QFileInfo(name).isSymLink(), file != name);
      struct stat st {};
      ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
      const bool kept = place == Place::OverOld || place == Place::ThroughLink;
      EXPECT_EQ(st.st_mode & 07777, kept ? 0640u : usual);
      for (const QString& sub : {dir.path(), dir.filePath("sub")})
        for (const QString& e : QDir(sub).entryList(QDir::Files | QDir::Hidden | QDir::System))
          EXPECT_FALSE(e.startsWith(vb::kTemporaryPrefix)) << e.toStdString();
    }
  }
}

// A library that writes its file itself writes it under the helper's temporary name; an
// export that cannot be put in place takes that file with it.
TEST(AtomicFile, AWorkbookThatCannotBePutInPlaceLeavesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir("export.xlsx"));
  EXPECT_FALSE(excel::writeTextSheet(dir.filePath("export.xlsx"), {{"a", "b"}}).isEmpty());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"export.xlsx"});
  EXPECT_TRUE(QFileInfo(dir.filePath("export.xlsx")).isDir());
}

}  // namespace
