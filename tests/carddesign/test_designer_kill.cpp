// A designer save killed at any file call: after the next start, the side's rows and its
// card face are both old or both new, and nothing of the killed run is left.
#include <QDirIterator>
#include <atomic>
#include <condition_variable>
#include <deque>
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
  // A copy of the old program folder, saved in by a child killed at `at`.
  const auto salin = [&](const QString& at, bool* killed) {
    const QString f = work.filePath(QString::number(runs++));
    std::filesystem::copy(pf.root().toStdString(), f.toStdString(), std::filesystem::copy_options::recursive);
    *killed = runChild("DesignerKill.Child", f, at).killed;
    return f;
  };
  // The program started on that folder, here on the GUI thread, as the start-up may show a
  // box: after a kill it has nothing to tell, and leaves nothing of the killed run.
  const auto mulai = [&](const QString& f, const QString& at) {
    dialogs.clear();
    vb::setProgramFolder(f);
    bersihAwal::jalankan();
    EXPECT_TRUE(dialogs.msgBoxTexts().isEmpty()) << at.toStdString() << dialogs.msgBoxTexts().join('|').toStdString();
    const QStringList leftover{".simpan-*", QString(vb::kTemporaryPrefix) + "*"};
    EXPECT_FALSE(QDirIterator(f, leftover, QDir::AllEntries | QDir::Hidden, QDirIterator::Subdirectories).hasNext())
        << at.toStdString();
    return keadaan(f);
  };
  bool killed = true;
  const QString utuh = salin({}, &killed);
  ASSERT_FALSE(killed);
  const auto lama = keadaan(pf.root()), baru = mulai(utuh, {});
  for (int i = 0; i < 3; ++i) ASSERT_NE(lama[i], baru[i]) << i;

  // Each kind is killed before every `sebelum`-th call until a run ends whole, then after
  // each call so reached, every `sesudah`-th (0: only when every call is asked for, as
  // LENTAVO_KILL_ALL does). Four children run at a time; the folders they leave are started
  // here, one after the other.
  const bool semua = qEnvironmentVariableIsSet("LENTAVO_KILL_ALL");
  const std::vector<std::tuple<const char*, int, int>> titik = {
      {"link", 1, 1},   {"rename", 1, 1}, {"fsync", 5, 0}, {"unlink", 1, 1},
      {"write", 12, 0}, {"rmdir", 1, 1},  {"mkdir", 1, 0}};
  struct Dibunuh {
    QString at, kind, folder;
  };
  std::deque<Dibunuh> antre;  // killed runs waiting for their start-up
  std::mutex satu;
  std::condition_variable ada;
  int bekerja = 4;
  std::atomic<size_t> next{0};
  // Runs a child killed at `kind`:`n`; false when it was not killed.
  const auto bunuh = [&](const QString& kind, int n) {
    bool mati = false;
    const QString at = QString("%1:%2").arg(kind).arg(n), f = salin(at, &mati);
    if (!mati) return false;
    const std::lock_guard lock(satu);
    antre.push_back({at, kind, f});
    ada.notify_one();
    return true;
  };
  const auto pekerja = [&] {
    for (size_t i; (i = next++) < titik.size();) {
      const auto [kind, sebelum, sesudah] = titik[i];
      int terakhir = 0;
      for (int n = 1; n < 500 && bunuh(kind, n); n += semua ? 1 : sebelum) terakhir = n;
      if (!semua && sesudah == 0) continue;
      for (int n = 1; n <= terakhir; n += semua ? 1 : sesudah)
        EXPECT_TRUE(bunuh(QString(kind) + '+', n)) << kind << "+:" << n;  // the call was reached before
    }
    const std::lock_guard lock(satu);
    --bekerja;
    ada.notify_one();
  };
  std::vector<std::thread> threads(bekerja);
  for (std::thread& t : threads) t = std::thread(pekerja);
  std::map<QString, std::pair<int, int>> points;  // kind: kills leaving the old design, the new
  for (;;) {
    std::unique_lock lock(satu);
    ada.wait(lock, [&] { return !antre.empty() || bekerja == 0; });
    if (antre.empty()) break;
    const Dibunuh d = antre.front();
    antre.pop_front();
    lock.unlock();
    const auto k = mulai(d.folder, d.at);
    EXPECT_TRUE(k == lama || k == baru) << d.at.toStdString();
    ++(k == baru ? points[d.kind].second : points[d.kind].first);
  }
  for (std::thread& t : threads) t.join();
  for (const auto& [jenis, sebelum, sesudah] : titik) {
    for (const QString& kind : {QString(jenis), QString(jenis) + '+'}) {
      if (kind.endsWith('+') && !semua && sesudah == 0) continue;
      const auto [tua, muda] = points[kind];
      std::printf("killed at %s: %d old, %d new\n", qPrintable(kind), tua, muda);
      EXPECT_GT(tua + muda, 0) << "no run was killed at " << kind.toStdString();
    }
  }
  EXPECT_GT(points["rename"].second, 0);  // some kills fell after the commit
  EXPECT_GT(points["link"].first, 0);     // and some before it
  vb::setProgramFolder(pf.root());
}

}  // namespace
