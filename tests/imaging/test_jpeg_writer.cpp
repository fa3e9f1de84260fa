// mJpegWriter: what it writes decodes back right, the new file reaches the disk before it
// takes the name, and no failure or killed run costs the old file or leaves litter.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <functional>

#include "atomicfile.h"
#include "cBitmap24.h"
#include "kill_child.h"
#include "mJpegWriter.h"
#include "vb.h"

namespace {

// What fsync saw: the file flushed, and what the target name and the folder held then.
struct Flush {
  ino_t ino;
  bool folder;
  ino_t targetIno;  // 0: no target yet
  QStringList entries;
};
struct FlushWatch {
  QString target;  // empty: not watching
  int failFilesWith = 0;
  std::vector<Flush> calls;
};
FlushWatch& flushes() {
  static FlushWatch w;
  return w;
}

QStringList entriesOf(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

}  // namespace

// Every fsync of the process passes through here: the tests see what the writer flushes
// and when, and can make the flush of a file fail as a failing disk does.
extern "C" int fsync(int fd) {
  using Fn = int (*)(int);
  static const Fn real = reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, "fsync"));
  FlushWatch& w = flushes();
  if (!w.target.isEmpty()) {
    struct stat st {};
    struct stat t {};
    ::fstat(fd, &st);
    const bool named = ::stat(QFile::encodeName(w.target).constData(), &t) == 0;
    w.calls.push_back({st.st_ino, S_ISDIR(st.st_mode), named ? t.st_ino : 0, entriesOf(QFileInfo(w.target).path())});
    if (w.failFilesWith && !S_ISDIR(st.st_mode)) {
      errno = w.failFilesWith;
      return -1;
    }
  }
  return real(fd);
}

namespace {

void setPixel(cBitmap24& b, int x, int y, QRgb c) {  // y from the top
  std::uint8_t* p = b.DIBSectionBitsPtr() + std::int64_t(b.Height() - 1 - y) * b.BytesPerScanLine() + x * 3;
  p[0] = std::uint8_t(qBlue(c));
  p[1] = std::uint8_t(qGreen(c));
  p[2] = std::uint8_t(qRed(c));
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
struct stat statOf(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
  return st;
}
bool near(QRgb got, QRgb want) {
  return std::abs(qRed(got) - qRed(want)) <= 12 && std::abs(qGreen(got) - qGreen(want)) <= 12 &&
         std::abs(qBlue(got) - qBlue(want)) <= 12;
}

// The error a call throws; number 0 when it throws none.
vb::VbError errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return e;
  }
  return vb::VbError(0, QString(), QString());
}

class JpegWriter : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  void TearDown() override { flushes() = {}; }
  QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
  QStringList entries() const { return entriesOf(dir.path()); }
  void writeFile(const QString& name, const QByteArray& data) {
    QFile f(path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
  }
  QTemporaryDir dir;
};

TEST_F(JpegWriter, DecodesBackTheRightWayUpAtEveryRowPadding) {
  // Widths 1, 2, 3 and 65 pad their rows by 1 to 3 bytes, 4 by none.
  for (int w : {1, 2, 3, 4, 65}) {
    SCOPED_TRACE(w);
    cBitmap24 b;
    ASSERT_TRUE(b.Create(w, 48));
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < w; ++x)
        setPixel(b, x, y, y < 24 ? qRgb(255, 0, 0) : (w >= 4 && x < w / 2) ? qRgb(0, 255, 0) : qRgb(0, 0, 255));
    const QString p = path(QStringLiteral("w%1.jpg").arg(w));
    ASSERT_TRUE(mJpegWriter::SaveJPG(b, p, 90));
    const QImage d(p);
    ASSERT_EQ(d.size(), QSize(w, 48));
    EXPECT_TRUE(near(d.pixel(w / 2, 4), qRgb(255, 0, 0)));   // top red
    EXPECT_TRUE(near(d.pixel(w - 1, 44), qRgb(0, 0, 255)));  // bottom right blue
    if (w >= 4) EXPECT_TRUE(near(d.pixel(0, 44), qRgb(0, 255, 0)));
  }
  EXPECT_EQ(entries().size(), 5);  // no temporary left
}

TEST_F(JpegWriter, ReplacedFileKeepsTimesAndModeAndANewOneGetsItsOwn) {
  writeFile("photo.jpg", "old contents");
  const QByteArray p = QFile::encodeName(path("photo.jpg"));
  ASSERT_EQ(::chmod(p.constData(), 0640), 0);
  const struct timespec times[2] = {{978307200, 123456789}, {1104537600, 987654321}};  // 2001 and 2005
  ASSERT_EQ(::utimensat(AT_FDCWD, p.constData(), times, 0), 0);
  cBitmap24 b;
  ASSERT_TRUE(b.Create(16, 8));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("photo.jpg"), 90));
  const struct stat st = statOf(path("photo.jpg"));  // before reading it moves the access time
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(std::pair(st.st_atim.tv_sec, st.st_atim.tv_nsec), std::pair(times[0].tv_sec, times[0].tv_nsec));
  EXPECT_EQ(std::pair(st.st_mtim.tv_sec, st.st_mtim.tv_nsec), std::pair(times[1].tv_sec, times[1].tv_nsec));
  EXPECT_EQ(QImage(path("photo.jpg")).width(), 16);

  // A new file gets the mode of any file the program writes, and the time of its writing.
  ASSERT_TRUE(vb::replaceFileBytes(path("other.bin"), "x"));
  const time_t start = ::time(nullptr);
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("new.jpg"), 90));
  EXPECT_EQ(statOf(path("new.jpg")).st_mode & 07777, statOf(path("other.bin")).st_mode & 07777);
  EXPECT_GE(statOf(path("new.jpg")).st_mtim.tv_sec, start - 1);
  EXPECT_EQ(entries(), QStringList({"new.jpg", "other.bin", "photo.jpg"}));
}

TEST_F(JpegWriter, FailuresKeepTheOldFileAndLeaveNothingBehind) {
  writeFile("keep.jpg", "old contents");
  writeFile("locked.jpg", "old contents");
  ASSERT_EQ(::chmod(QFile::encodeName(path("locked.jpg")).constData(), 0444), 0);
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub.jpg"));
  cBitmap24 good, never, failed, cleared;
  ASSERT_TRUE(good.Create(4, 4));
  EXPECT_FALSE(failed.Create(0, 10));
  ASSERT_TRUE(cleared.Create(5, 5));
  cleared.ClearUp();
  const struct {
    cBitmap24* bitmap;
    QString name;
    long number;
    const char* description;
  } cases[] = {{&good, path("locked.jpg"), 75, "Path/File access error"},  // its owner may not write it
               {&good, path("sub.jpg"), 75, "Path/File access error"},     // a folder is no file
               {&good, path("missing/a.jpg"), 26001, "Failed to save to JPG -2"},
               {&good, QString(), 26001, "Failed to save to JPG -2"},
               {&never, path("keep.jpg"), 26001, "Failed to save to JPG -1"},
               {&failed, path("keep.jpg"), 26001, "Failed to save to JPG -1"},
               {&cleared, path("keep.jpg"), 26001, "Failed to save to JPG -1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    const vb::VbError e = errorOf([&] { mJpegWriter::SaveJPG(*c.bitmap, c.name, 90); });
    EXPECT_EQ(e.number, c.number);
    EXPECT_EQ(e.description, c.description);
    if (c.number == 26001) EXPECT_TRUE(e.source.endsWith(".mJpegWriter") && !e.source.startsWith('.'));
  }
  EXPECT_EQ(readAll(path("keep.jpg")), "old contents");
  EXPECT_EQ(readAll(path("locked.jpg")), "old contents");
  EXPECT_EQ(statOf(path("locked.jpg")).st_mode & 07777, 0444u);
  EXPECT_EQ(entries(), QStringList({"keep.jpg", "locked.jpg", "sub.jpg"}));
}

// A file that can't grow (a full disk; here the process's file size limit) at its first
// write or a later one fails the save cleanly.
TEST_F(JpegWriter, AFileThatCannotGrowFailsTheSaveCleanly) {
  writeFile("keep.jpg", "old contents");
  cBitmap24 b;
  ASSERT_TRUE(b.Create(512, 512));
  b.RandomiseBits(false);  // noise above, several write buffers' worth; blue below
  for (int y = 256; y < 512; ++y)
    for (int x = 0; x < 512; ++x) setPixel(b, x, y, qRgb(0, 0, 255));
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);  // the write fails instead of ending the process
  for (rlim_t limit : {rlim_t(0), rlim_t(100000)}) {
    struct rlimit low = saved;
    low.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const vb::VbError e = errorOf([&] { mJpegWriter::SaveJPG(b, path("keep.jpg"), 90); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(e.description, "Failed to save to JPG -3") << limit;
  }
  ::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(readAll(path("keep.jpg")), "old contents");
  EXPECT_EQ(entries(), QStringList({"keep.jpg"}));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("keep.jpg"), 90));  // every buffer's bytes in order
  EXPECT_TRUE(near(QImage(path("keep.jpg")).pixel(500, 500), qRgb(0, 0, 255)));
}

TEST_F(JpegWriter, TheFileReachesTheDiskBeforeItTakesTheNameOrTheSaveFails) {
  for (bool replacing : {false, true}) {
    SCOPED_TRACE(replacing);
    if (replacing) writeFile("photo.jpg", "old contents");
    const QStringList before = entries();
    cBitmap24 b;
    ASSERT_TRUE(b.Create(30, 40));
    flushes() = {path("photo.jpg")};
    ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("photo.jpg"), 90));
    const ino_t file = statOf(path("photo.jpg")).st_ino, folder = statOf(dir.path()).st_ino;
    const auto& calls = flushes().calls;
    const auto flushedFile = std::find_if(calls.begin(), calls.end(), [&](const Flush& f) { return f.ino == file; });
    ASSERT_NE(flushedFile, calls.end());
    EXPECT_NE(flushedFile->targetIno, file);  // not yet under the name
    // While it is flushed the folder shows nothing new, or only a temporary of ours.
    for (const QString& e : flushedFile->entries)
      if (!before.contains(e))
        EXPECT_TRUE(e.startsWith(vb::kTemporaryPrefix)) << e.toStdString();
    const auto flushedFolder = std::find_if(flushedFile, calls.end(), [&](const Flush& f) { return f.folder; });
    ASSERT_NE(flushedFolder, calls.end());
    EXPECT_EQ(flushedFolder->ino, folder);
    EXPECT_EQ(flushedFolder->targetIno, file);  // after the rename
  }
  // A flush that fails, as on a failing disk, fails the save and keeps the old file.
  writeFile("photo.jpg", "old contents");
  cBitmap24 b;
  ASSERT_TRUE(b.Create(8, 8));
  flushes() = {path("photo.jpg"), EIO};
  EXPECT_EQ(errorOf([&] { mJpegWriter::SaveJPG(b, path("photo.jpg"), 90); }).description, "Failed to save to JPG -3");
  EXPECT_EQ(readAll(path("photo.jpg")), "old contents");
  EXPECT_EQ(entries(), QStringList({"photo.jpg"}));
}

TEST(JpegWriterChild, SavePhoto) {
  KILL_CHILD_ONLY();
  cBitmap24 b;
  ASSERT_TRUE(b.Create(64, 48));
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) setPixel(b, x, y, qRgb(0, 0, 255));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, testsupport::killChildFolder() + "/photo.jpg", 90));
}

// A save killed at any file call leaves the old photo or the whole new one (or, for a new
// photo, none), and at most a temporary file of the one helper.
TEST_F(JpegWriter, AKilledSaveLeavesTheOldOrTheNewFile) {
  // Where each kind of call can stop a save: a new photo is linked in under its name, a
  // replacement linked in under a temporary name and renamed; no save removes a folder.
  const struct {
    const char* kind;
    bool overOld;
    bool killed;  // some run was killed there
  } cases[] = {
      {"write", true, true},  {"fsync", true, true}, {"link", true, true},     {"link+", true, true},
      {"rename", true, true}, {"rename+", true, true}, {"rmdir", true, false}, {"write", false, true},
      {"fsync", false, true}, {"link", false, true}, {"link+", false, true},  {"rename", false, false},
  };
  for (const auto& c : cases) {
    int kills = 0;
    for (int n = 1; n < 40; ++n) {
      const QString kill = QStringLiteral("%1:%2").arg(c.kind).arg(n);
      SCOPED_TRACE(kill.toStdString() + (c.overOld ? " over the old photo" : " a new photo"));
      QFile::remove(path("photo.jpg"));
      if (c.overOld) writeFile("photo.jpg", "old contents");
      const testsupport::ChildRun run = testsupport::runChild("JpegWriterChild.SavePhoto", dir.path(), kill);
      const QByteArray left = readAll(path("photo.jpg"));
      if (left != (c.overOld ? "old contents" : "")) EXPECT_EQ(QImage::fromData(left).size(), QSize(64, 48));
      for (const QString& e : entries()) {
        EXPECT_TRUE(e == "photo.jpg" || e.startsWith(vb::kTemporaryPrefix)) << e.toStdString();
        if (e != "photo.jpg") QFile::remove(path(e));
      }
      if (!run.killed) {
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(QImage::fromData(left).size(), QSize(64, 48));
        break;
      }
      ++kills;
    }
    // A shim that never kills would make every run a whole save.
    EXPECT_EQ(kills > 0, c.killed) << c.kind << (c.overOld ? " over the old photo" : " a new photo");
  }
}

TEST_F(JpegWriter, ThroughALinkTheFileItPointsToIsReplacedAndTheLinkStays) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(7, 3));
  const QString p = path(QStringLiteral("foto \u00C9\u0107 \u263A.jpg")), link = path("link.jpg");
  writeFile(p.mid(dir.path().size() + 1), "old contents");
  ASSERT_TRUE(QFile::link(p, link));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, link, 90));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  EXPECT_EQ(QImage(p).width(), 7);
  EXPECT_EQ(entries().size(), 2);
}

}  // namespace
