// A file replaced through the one helper is old or new after a kill at any step, never half.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "atomicfile.h"
#include "kill_child.h"

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

}  // namespace
