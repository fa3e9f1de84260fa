// A designer save killed at any file call: after the next start, the side's rows and its
// card face are both old or both new, and nothing of the killed run is left.
#include <QDirIterator>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "atomicfile.h"
#include "bersihAwal.h"
#include "designer_fixture.h"
#include "kill_child.h"

using namespace testsupport;

namespace {

class DesignerKill : public DesignerTest {
 protected:
  // A child opens the connection on the folder it is given, not on a folder of its own.
  void SetUp() override {
    if (!isKillChild()) DesignerTest::SetUp();
  }
  // The side as the card prints it: its rows, its card face, its new logo's file.
  static std::array<QByteArray, 3> keadaan(const QString& folder) {
    ado::Connection c;
    c.ConnectionString = "Data Source=" + folder + "/database/database.mdb";
    c.setProperty("Jet OLEDB:Database Password", "718403");
    c.Open();
    ado::Recordset rs;
    QByteArray rows;
    for (rs.Open("select * from tbl_ctrl order by ID", c); !rs.EOF_(); rs.MoveNext())
      for (int i = 0; i < rs.fieldCount(); ++i) rows += vb::text(rs.field(i)).toUtf8() + '|';
    QFile face(folder + "/images/depan2.jpg"), logo(folder + "/images/Front_logo2.gif");
    face.open(QIODevice::ReadOnly);
    logo.open(QIODevice::ReadOnly);
    return {rows, face.readAll(), logo.readAll()};
  }
};

// The new design: a new logo2 picked, logo1 dragged, a label added with its text, saved.
TEST_F(DesignerKill, Child) {
  KILL_CHILD_ONLY();
  vb::setProgramFolder(killChildFolder());
  ASSERT_TRUE(Module1::bukaKoneksi());
  buka();
  pilihDiDaftar("logo2");
  dialogs.queueFile(vb::appPath("logo-baru.png"));
  QTest::mouseClick(d->vkCommand1, Qt::LeftButton);
  seret(w("logo1"), QPoint(30, 20));
  QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
}

TEST_F(DesignerKill, AtEveryFileCallTheRowsAndTheCardFaceStayTogether) {
  // The old design, saved by the window itself.
  gambar("Front", "latar", QColor(220, 220, 90), QSize(200, 130));
  gambar("Front", "logo2", Qt::green);
  QImage merah(40, 40, QImage::Format_RGB32);
  merah.fill(Qt::red);
  ASSERT_TRUE(merah.save(pf.path("logo-baru.png")));
  buka();
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  TearDown();
  pf.closeDb();

  QTemporaryDir work;
  std::atomic<int> runs{0};
  std::mutex satu;  // the program folder is one for the process
  // A copy of the old program folder, saved in by a child killed at `at`, then started.
  const auto jalankan = [&](const QString& at, bool* killed) {
    const QString f = work.filePath(QString::number(runs++));
    std::filesystem::copy(pf.root().toStdString(), f.toStdString(), std::filesystem::copy_options::recursive);
    *killed = runChild("DesignerKill.Child", f, at).killed;
    {
      const std::lock_guard lock(satu);
      vb::setProgramFolder(f);
      bersihAwal::jalankan();
    }
    const QStringList leftover{".simpan-*", QString(vb::kTemporaryPrefix) + "*"};
    EXPECT_FALSE(QDirIterator(f, leftover, QDir::AllEntries | QDir::Hidden, QDirIterator::Subdirectories).hasNext())
        << at.toStdString();
    return keadaan(f);
  };
  bool killed = true;
  const auto lama = keadaan(pf.root()), baru = jalankan({}, &killed);
  ASSERT_FALSE(killed);
  for (int i = 0; i < 3; ++i) ASSERT_NE(lama[i], baru[i]) << i;

  // Before and after every rename and unlink, before the mkdir and every few writes and
  // fsyncs; LENTAVO_KILL_ALL asks for every call of each kind. Four children run at a time.
  const bool semua = qEnvironmentVariableIsSet("LENTAVO_KILL_ALL");
  const std::vector<std::tuple<const char*, int, int>> titik = {
      {"mkdir", 1, 1},  {"write", 1, 12},  {"fsync", 1, 5},  {"rename", 1, 1}, {"rename+", 1, 1},
      {"unlink", 1, 1}, {"unlink+", 1, 1}, {"write+", 1, 0}, {"fsync+", 1, 0}, {"mkdir+", 1, 0}};
  std::map<QString, std::pair<int, int>> points;  // kind: kills leaving the old design, the new
  std::atomic<size_t> next{0};
  const auto pekerja = [&] {
    for (size_t i; (i = next++) < titik.size();) {
      const auto [kind, first, stride] = titik[i];
      if (!semua && stride == 0) continue;
      for (int n = semua ? 1 : first; n < 500; n += semua ? 1 : stride) {
        bool dibunuh = false;
        const auto k = jalankan(QString("%1:%2").arg(kind).arg(n), &dibunuh);
        const std::lock_guard lock(satu);
        if (!dibunuh) break;
        EXPECT_TRUE(k == lama || k == baru) << kind << ":" << n;
        ++(k == baru ? points[kind].second : points[kind].first);
      }
    }
  };
  std::vector<std::thread> threads(4);
  for (std::thread& t : threads) t = std::thread(pekerja);
  for (std::thread& t : threads) t.join();
  for (const auto& [kind, n] : points)
    std::printf("killed at %s: %d old, %d new\n", qPrintable(kind), n.first, n.second);
  EXPECT_GT(points["rename"].second, 0);  // some kills fell after the commit
  vb::setProgramFolder(pf.root());
}

}  // namespace
