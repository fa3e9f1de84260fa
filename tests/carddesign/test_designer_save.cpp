// The designer's save: one row per element in one transaction, the pictures picked, the
// card face of the side with what the canvas shows, and the settings window's previews.
#include <QDir>
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

#include "bersihAwal.h"
#include "designer_fixture.h"

using namespace testsupport;

namespace {

class DesignerSave : public DesignerTest {
 protected:
  QString tulisFile(const QString& name, QColor c, const char* format) {
    QImage img(50, 30, QImage::Format_RGB32);
    img.fill(c);
    EXPECT_TRUE(img.save(pf.path(name), format));
    return pf.path(name);
  }
};

TEST_F(DesignerSave, RowsForEveryElementAndTheSidesCardFaceFromWhatTheCanvasShows) {
  for (const char* sideName : {"Front", "Back", "front"}) {
    const QString side = sideName;
    pf.db().Execute("delete from tbl_ctrl");
    gambar(side, "latar", Qt::red, QSize(200, 130));
    gambar(side, "logo1", Qt::blue);
    gambar(side, "logo2", Qt::green);
    baris("logo2", QRect(8520, 360, 1095, 1095), false, {}, {}, 0, side);
    const QByteArray latar = isi("images/" + side + "_templatar.jpg"), logo = isi("images/" + side + "_logo1.gif");
    const QString face = side == "Front" ? "images/depan2.jpg" : "images/back2.jpg";
    const QString other = side == "Front" ? "images/back2.jpg" : "images/depan2.jpg";
    QFile::remove(pf.path(face));  // the sides before left the same picture
    const QByteArray otherBefore = isi(other);
    buka(side);
    QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
    // Where the canvas shows them, at the size it shows.
    const QSize canvas = d->picture1->size();
    const QRect logo1 = w("logo1")->geometry(), logo2 = w("logo2")->geometry(), label = w("NewLabel0")->geometry();
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    EXPECT_FALSE(forms::isLoaded<FrmAddLogo>()) << sideName;
    const QString where = " from tbl_ctrl order by ID";
    EXPECT_EQ(kolom("select ctrl_name" + where),
              QVariantList({"logo2", "tanda_tangan", "stempel", "logo1", "latar", "NewLabel0"}));
    EXPECT_EQ(kolom("select ctrl_jenis" + where), QVariantList({{}, {}, {}, {}, {}, "label"}));
    EXPECT_EQ(kolom("select count(*) from tbl_ctrl where ctrl_desain = '" + side + "'"), QVariantList{6});
    EXPECT_EQ(kolom("select ctrl_caption from tbl_ctrl where ctrl_name = 'NewLabel0'"), QVariantList{"Label 0"});
    EXPECT_EQ(kolom("select ctrl_width from tbl_ctrl where ctrl_name = 'latar'"), QVariantList{9772});
    EXPECT_EQ(isi("images/" + side + "_templatar.jpg"), latar);  // not encoded again
    EXPECT_EQ(isi("images/" + side + "_logo1.gif"), logo);
    EXPECT_EQ(isi(other), otherBefore) << sideName;
    ASSERT_TRUE(QFile::exists(pf.path(face))) << sideName;
    const QImage img(pf.path(face));
    EXPECT_EQ(img.size(), canvas);
    EXPECT_TRUE(dekat(img.pixelColor(logo1.center()), Qt::blue)) << sideName;
    EXPECT_TRUE(dekat(img.pixelColor(logo2.center()), Qt::red)) << sideName;  // the hidden green logo is absent
    EXPECT_TRUE(dekat(img.pixelColor(img.rect().center()), Qt::red)) << sideName;
    int ink = 0;  // the label's text
    for (int y = label.top(); y <= label.bottom(); ++y)
      for (int x = label.left(); x <= label.right(); ++x) ink += dekat(img.pixelColor(x, y), Qt::black);
    EXPECT_GT(ink, 20) << sideName;

    // A second save updates the same rows.
    const QVariantList ids = kolom("select ID" + where);
    buka(side);
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    EXPECT_EQ(kolom("select ID" + where), ids) << sideName;
  }
}

// Front, Back, Front, Back, Front, each opened, edited, saved and so closed: every side
// opens as it was last saved, whatever the other side's saves did in between.
TEST_F(DesignerSave, EachSideReopensAsItWasSavedWhateverTheOtherSideSaved) {
  struct Lihat {
    const char* nama;
    bool visible = true;
    QPoint geser;     // pixels from where it lay when its side first opened
    double pt = 0;    // a label's font size
    QString caption;  // a label's text
  };
  struct Kunjungan {
    const char* side;
    std::vector<Lihat> lihat;
    std::function<void()> ubah;
  };
  const auto tambahLabel = [&](const QString& caption, double pt) {
    QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
    pilihDiDaftar(d->CmbJenis->itemText(d->CmbJenis->count() - 1));
    d->Text1->selectAll();
    QTest::keyClicks(d->Text1, caption);
    dialogs.queueFont(QFont("Liberation Sans", int(pt)));
    QTest::mouseClick(d->FlatButton4, Qt::LeftButton);
  };
  const auto sembunyikan = [&](const QString& nama) {
    pilihDiDaftar(nama);
    d->cmbVisible->setFocus();
    QTest::keyClick(d->cmbVisible, Qt::Key_End);
  };
  const std::vector<Kunjungan> kunjungan = {
      {"Front", {{"logo1"}, {"stempel"}}, [&] {
         seret(w("logo1"), QPoint(20, 10));
         tambahLabel("Depan", 14);
       }},
      {"Back", {{"logo1"}, {"logo2"}, {"stempel"}}, [&] {
         seret(w("logo2"), QPoint(-30, 6));
         tambahLabel("Belakang", 9);
         sembunyikan("NewLabel0");
       }},
      {"Front", {{"logo1", true, {20, 10}}, {"stempel"}, {"NewLabel0", true, {}, 14, "Depan"}}, [&] {
         sembunyikan("stempel");
       }},
      {"Back", {{"logo1"}, {"logo2", true, {-30, 6}}, {"stempel"}, {"NewLabel0", false, {}, 9, "Belakang"}}, [] {}},
      {"Front", {{"logo1", true, {20, 10}}, {"stempel", false}, {"NewLabel0", true, {}, 14, "Depan"}}, [] {}},
  };
  std::map<QString, QPoint> awal;
  for (const Kunjungan& k : kunjungan) {
    SCOPED_TRACE(k.side);
    buka(k.side);
    for (const char* nama : {"logo1", "logo2", "stempel"}) awal.try_emplace(k.side + QString(nama), w(nama)->pos());
    for (const Lihat& l : k.lihat) {
      SCOPED_TRACE(l.nama);
      ASSERT_NE(w(l.nama), nullptr);
      EXPECT_EQ(!w(l.nama)->isHidden(), l.visible);
      if (l.caption.isEmpty()) {
        EXPECT_EQ(w(l.nama)->pos(), awal[k.side + QString(l.nama)] + l.geser);
        continue;
      }
      EXPECT_EQ(static_cast<QLabel*>(w(l.nama))->text(), l.caption);
      EXPECT_EQ(el(l.nama).font.size, l.pt);
    }
    k.ubah();
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
  }
}

// Every property the save stores, of every kind of element, set through the window to a value
// it did not have, saved, and found again when the designer opens anew: first as new label rows
// and changed image rows, then once more as changes of the rows the first save made. The
// background's place and size are not the user's to change (its size follows the canvas), so
// its picture is what it carries.
TEST_F(DesignerSave, EveryStoredPropertyOfEveryElementComesBackAfterSaveAndReopen) {
  struct Sifat {
    QString elemen, sifat;
    std::function<void(const QVariant&)> ubah;  // through the window's controls
    std::function<QVariant()> baca;             // what the window shows
    QVariant nilai[2];                          // first save, second save
  };
  const std::vector<std::pair<QString, QColor>> palet = {{"merah", QColor(255, 0, 0)},  {"biru", QColor(0, 0, 255)},
                                                         {"hijau", QColor(0, 160, 0)},  {"kuning", QColor(255, 200, 0)},
                                                         {"ungu", QColor(160, 0, 160)}, {"toska", QColor(0, 160, 160)}};
  const auto namaWarna = [&](const photobox::Picture& p) {
    if (p.isEmpty()) return QString("kosong");
    const QColor c = p.image().pixelColor(p.width() / 2, p.height() / 2);
    for (const auto& [nama, w] : palet)
      if (dekat(c, w)) return nama;
    return c.name();
  };
  const auto geometri = [&](const QString& nama, const char* sifat, QScrollBar* FrmAddLogo::*bar,
                            double desain::Elemen::*nilai, int a, int b) {
    return Sifat{nama,
                 sifat,
                 [=, this](const QVariant& v) {
                   pilihDiDaftar(nama);
                   (d->*bar)->setValue(v.toInt());
                 },
                 [=, this] { return QVariant(el(nama).*nilai); },
                 {double(a), double(b)}};
  };
  const auto tampak = [&](const QString& nama) {
    return Sifat{nama,
                 "visible",
                 [=, this](const QVariant& v) {
                   pilihDiDaftar(nama);
                   d->cmbVisible->setFocus();
                   QTest::keyClick(d->cmbVisible, v.toBool() ? Qt::Key_Home : Qt::Key_End);
                 },
                 [=, this] { return QVariant(!w(nama)->isHidden() && el(nama).visible); },
                 {false, true}};
  };
  const auto gambarnya = [&](const QString& nama, const char* a, const char* b) {
    return Sifat{nama,
                 "picture",
                 [=, this](const QVariant& v) {
                   pilihDiDaftar(nama);
                   QColor c;
                   for (const auto& [n, w] : palet)
                     if (n == v.toString()) c = w;
                   dialogs.queueFile(tulisFile(nama + v.toString() + ".png", c, "PNG"));
                   QTest::mouseClick(d->vkCommand1, Qt::LeftButton);
                 },
                 [=, this] { return QVariant(namaWarna(static_cast<photobox::PhotoBox*>(w(nama))->picture())); },
                 {a, b}};
  };
  // A label's font as the font dialog hands it back, with one part changed.
  const auto huruf = [&](const char* sifat, std::function<void(QFont&, QColor&, const QVariant&)> ganti,
                         std::function<QVariant(const cardface::FontValue&)> dari, QVariant a, QVariant b) {
    const QString nama = "NewLabel0";
    return Sifat{nama,
                 sifat,
                 [=, this](const QVariant& v) {
                   pilihDiDaftar(nama);
                   QFont f = el(nama).font.font();
                   QColor c = el(nama).font.qcolor();
                   ganti(f, c, v);
                   dialogs.queueFont(f, c);
                   QTest::mouseClick(d->FlatButton4, Qt::LeftButton);
                 },
                 [=, this] { return dari(el(nama).font); },
                 {a, b}};
  };
  const auto rgb = [](int r, int g, int b) { return QVariant(r | (g << 8) | (b << 16)); };

  std::vector<Sifat> daftar;
  const struct {
    const char* nama;
    int left[2], top[2], width[2], height[2];
    const char* gambar[2];
  } gambarEl[] = {{"logo1", {1500, 2200}, {900, 1300}, {1400, 800}, {1300, 700}, {"merah", "biru"}},
                  {"logo2", {7000, 6500}, {600, 1000}, {1200, 900}, {1000, 1500}, {"biru", "kuning"}},
                  {"stempel", {900, 1200}, {4000, 3600}, {1500, 1000}, {1400, 1100}, {"kuning", "ungu"}},
                  {"tanda_tangan", {7600, 8000}, {4200, 4400}, {1800, 1300}, {900, 1600}, {"ungu", "merah"}}};
  for (const auto& g : gambarEl) {
    daftar.push_back(gambarnya(g.nama, g.gambar[0], g.gambar[1]));
    daftar.push_back(geometri(g.nama, "left", &FrmAddLogo::H_left, &desain::Elemen::left, g.left[0], g.left[1]));
    daftar.push_back(geometri(g.nama, "top", &FrmAddLogo::H_top, &desain::Elemen::top, g.top[0], g.top[1]));
    daftar.push_back(geometri(g.nama, "width", &FrmAddLogo::H_Width, &desain::Elemen::width, g.width[0], g.width[1]));
    daftar.push_back(
        geometri(g.nama, "height", &FrmAddLogo::H_height, &desain::Elemen::height, g.height[0], g.height[1]));
    daftar.push_back(tampak(g.nama));
  }
  daftar.push_back(gambarnya("latar", "hijau", "toska"));
  daftar.push_back(Sifat{"NewLabel0",
                         "caption",
                         [&](const QVariant& v) {
                           pilihDiDaftar("NewLabel0");
                           d->Text1->selectAll();
                           QTest::keyClicks(d->Text1, v.toString());
                         },
                         [&] {
                           const QString t = static_cast<QLabel*>(w("NewLabel0"))->text();
                           return QVariant(t == el("NewLabel0").caption ? t : "?");
                         },
                         {"Nama Sekolah", "Kepala Sekolah"}});
  // The font first: choosing one sizes the label to its text, which the bars then change.
  daftar.push_back(huruf(
      "font name", [](QFont& f, QColor&, const QVariant& v) { f.setFamily(v.toString()); },
      [](const cardface::FontValue& f) { return QVariant(f.name); }, "Liberation Serif", "DejaVu Sans"));
  daftar.push_back(huruf(
      "font size", [](QFont& f, QColor&, const QVariant& v) { f.setPointSizeF(v.toDouble()); },
      [](const cardface::FontValue& f) { return QVariant(double(f.size)); }, 13.0, 9.0));
  daftar.push_back(huruf(
      "bold", [](QFont& f, QColor&, const QVariant& v) { f.setBold(v.toBool()); },
      [](const cardface::FontValue& f) { return QVariant(f.bold); }, true, false));
  daftar.push_back(huruf(
      "italic", [](QFont& f, QColor&, const QVariant& v) { f.setItalic(v.toBool()); },
      [](const cardface::FontValue& f) { return QVariant(f.italic); }, true, false));
  daftar.push_back(huruf(
      "colour",
      [](QFont&, QColor& c, const QVariant& v) {
        const int n = v.toInt();
        c = QColor(n & 0xFF, (n >> 8) & 0xFF, (n >> 16) & 0xFF);
      },
      [](const cardface::FontValue& f) { return QVariant(int(f.color)); }, rgb(200, 30, 60), rgb(10, 120, 40)));
  daftar.push_back(geometri("NewLabel0", "width", &FrmAddLogo::H_Width, &desain::Elemen::width, 4000, 3500));
  daftar.push_back(geometri("NewLabel0", "height", &FrmAddLogo::H_height, &desain::Elemen::height, 600, 450));
  daftar.push_back(geometri("NewLabel0", "left", &FrmAddLogo::H_left, &desain::Elemen::left, 2000, 3000));
  daftar.push_back(geometri("NewLabel0", "top", &FrmAddLogo::H_top, &desain::Elemen::top, 2500, 3100));
  daftar.push_back(tampak("NewLabel0"));

  // The image elements' rows, as a first save of the untouched side makes them.
  buka();
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
  for (int putaran = 0; putaran < 2; ++putaran) {
    SCOPED_TRACE(putaran ? "changed rows" : "new rows");
    buka();
    if (putaran == 0) QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
    for (const Sifat& s : daftar) {
      SCOPED_TRACE((s.elemen + " " + s.sifat).toStdString());
      ASSERT_NE(s.baca(), s.nilai[putaran]) << "already as set: the row would test nothing";
      s.ubah(s.nilai[putaran]);
      ASSERT_EQ(s.baca(), s.nilai[putaran]) << "the window did not take it";
    }
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    ASSERT_TRUE(dialogs.msgBoxes().empty());
    ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
    buka();
    for (const Sifat& s : daftar) EXPECT_EQ(s.baca(), s.nilai[putaran]) << (s.elemen + " " + s.sifat).toStdString();
    forms::unload<FrmAddLogo>();
  }
}

// The installed backgrounds carry the card's own design only: where the designer places the
// logos, the stamp and the signature, a hidden element leaves the plain card, not a copy of
// itself painted into the background.
TEST_F(DesignerSave, InstalledBackgroundsCarryNoElementSoAHiddenOneLeavesTheCard) {
  struct Letak {
    const char* side;
    const char* nama;
  };
  const Letak letak[] = {{"Front", "logo1"}, {"Front", "logo2"}, {"Front", "stempel"}, {"Front", "tanda_tangan"},
                         {"Back", "logo1"},  {"Back", "logo2"},  {"Back", "stempel"},  {"Back", "tanda_tangan"}};
  // The middle of an element's place on the card face, in pixels.
  const auto tengah = [](const desain::Elemen& e) {
    const QRect r = QRectF(e.left / 15, e.top / 15, e.width / 15, e.height / 15).toRect();
    return r.adjusted(r.width() / 4, r.height() / 4, -r.width() / 4, -r.height() / 4);
  };
  // How far the area strays from plain: the largest step of a pixel from its row's median
  // (the backgrounds run in bands from top to bottom).
  const auto belang = [](const QImage& img, const QRect& r) {
    int worst = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      std::vector<int> ch[3];
      for (int x = r.left(); x <= r.right(); ++x) {
        const QColor c = img.pixelColor(x, y);
        ch[0].push_back(c.red()), ch[1].push_back(c.green()), ch[2].push_back(c.blue());
      }
      for (auto& v : ch) {
        std::vector<int> sorted = v;
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        const int median = sorted[sorted.size() / 2];
        for (int c : v) worst = std::max(worst, std::abs(c - median));
      }
    }
    return worst;
  };
  for (const char* side : {"Front", "Back"}) {
    SCOPED_TRACE(side);
    const QString bg = QString("images/") + side + "_templatar.jpg";
    const QString face = desain::fileWajah(side).section('/', -2);
    ASSERT_TRUE(QFile::copy(LENTAVO_ASSETS "/" + bg, pf.path(bg)));
    // Made for the card faces it lies under.
    EXPECT_EQ(QImage(pf.path(bg)).size(), QImage(QString(LENTAVO_ASSETS "/") + face).size());
    for (const Letak& l : letak)
      if (QString(l.side) == side) gambar(side, l.nama, Qt::red);
    buka(side);
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);  // every element shown
    const QImage shown(pf.path(face));
    buka(side);
    std::map<QString, QRect> tempat;
    for (const Letak& l : letak) {
      if (QString(l.side) != side) continue;
      tempat[l.nama] = tengah(el(l.nama));
      pilihDiDaftar(l.nama);
      d->cmbVisible->setFocus();
      QTest::keyClick(d->cmbVisible, Qt::Key_End);
    }
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
    const QImage hidden(pf.path(face));
    for (const auto& [nama, r] : tempat) {
      SCOPED_TRACE(nama.toStdString());
      EXPECT_TRUE(dekat(shown.pixelColor(r.center()), Qt::red));
      EXPECT_FALSE(dekat(hidden.pixelColor(r.center()), Qt::red));
      EXPECT_LT(belang(hidden, r), 40);
    }
  }
}

// A fresh install keeps the front's two logos: its first save, with nothing changed, composes
// them where the elements lie, and a hidden logo leaves the card.
TEST_F(DesignerSave, AFreshInstallsFirstFrontSaveKeepsTheLogos) {
  pasangGambarKartu();
  // The emblems' dark blue (their ring and triangle), which the light card never shows.
  const auto biru = [](const QImage& img, const QRect& r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) {
        const QColor c = img.pixelColor(x, y);
        n += c.red() < 90 && c.blue() - c.red() > 50;
      }
    return n;
  };
  struct Kasus {
    const char* sembunyi;  // the logo hidden before the second save, or none
    bool logo1, logo2;     // which logos the card face shows then
  };
  const Kasus kasus[] = {{nullptr, true, true}, {"logo1", false, true}, {"logo2", true, false}};
  for (const Kasus& k : kasus) {
    SCOPED_TRACE(k.sembunyi ? k.sembunyi : "none");
    pf.db().Execute("delete from tbl_ctrl");
    buka("Front");
    std::map<QString, QRect> kotak;
    for (const char* nama : {"logo1", "logo2"}) {
      const desain::Elemen& e = el(nama);
      kotak[nama] = QRectF(e.left / 15, e.top / 15, e.width / 15, e.height / 15).toRect();
      // Clear around the ring, so it sits on whatever background the user picks.
      const QImage g = e.gambar.image();
      ASSERT_FALSE(g.isNull()) << nama;
      EXPECT_EQ(qAlpha(g.pixel(0, 0)), 0) << nama;
      EXPECT_EQ(qAlpha(g.pixel(g.width() - 1, g.height() - 1)), 0) << nama;
      EXPECT_EQ(qAlpha(g.pixel(g.rect().center())), 255) << nama;
    }
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);  // nothing changed
    ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
    const QImage pertama(pf.path("images/depan2.jpg"));
    for (const auto& [nama, r] : kotak) EXPECT_GT(biru(pertama, r), 1000) << nama.toStdString();
    buka("Front");
    if (k.sembunyi) {
      pilihDiDaftar(k.sembunyi);
      d->cmbVisible->setFocus();
      QTest::keyClick(d->cmbVisible, Qt::Key_End);
    }
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    ASSERT_FALSE(forms::isLoaded<FrmAddLogo>());
    const QImage face(pf.path("images/depan2.jpg"));
    EXPECT_EQ(biru(face, kotak["logo1"]) > 1000, k.logo1);
    EXPECT_EQ(biru(face, kotak["logo2"]) > 1000, k.logo2);
    EXPECT_LT(biru(face, k.sembunyi ? kotak[k.sembunyi] : QRect()), 20);  // no trace of the hidden one
  }
}

TEST_F(DesignerSave, PicturesPickedAreWrittenAndLoadBack) {
  baris("latar", QRect(0, -120, 9772, 6350));
  baris("logo1", QRect(480, 360, 1095, 1095));
  const QString jpg = tulisFile("latar-baru.jpg", QColor(0, 128, 0), "JPG");
  const QString png = tulisFile("logo-baru.png", QColor(255, 200, 0), "PNG");
  buka();
  dialogs.queueFileCancel();
  QTest::mouseClick(d->vkCommand1, Qt::LeftButton);
  EXPECT_TRUE(el("latar").gambar.isEmpty());
  dialogs.queueFile(jpg);
  QTest::mouseClick(d->vkCommand1, Qt::LeftButton);  // latar, the first entry
  pilihDiDaftar("logo1");
  dialogs.queueFile(png);
  QTest::mouseClick(d->vkCommand1, Qt::LeftButton);
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::File).back().file.filter,
            "Pictures (*.gif;*.jpg;*.png)|*.gif;*.jpg;*.png");
  EXPECT_EQ(static_cast<photobox::PhotoBox*>(w("logo1"))->picture(), el("logo1").gambar);
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  EXPECT_EQ(isi("images/Front_templatar.jpg"), isi("latar-baru.jpg"));
  EXPECT_TRUE(isi("images/Front_logo1.gif").startsWith("GIF8"));
  EXPECT_FALSE(QFile::exists(pf.path("images/Front_logo2.gif")));  // never had a picture
  buka();
  EXPECT_EQ(el("logo1").gambar.image().pixelColor(3, 3), QColor(255, 200, 0));
  EXPECT_EQ(el("latar").gambar.image().size(), QSize(50, 30));
}

TEST_F(DesignerSave, AFailedSaveSaysSoKeepsTheWindowAndChangesNothing) {
  gambar("Front", "latar", Qt::red);
  baris("logo1", QRect(480, 360, 1095, 1095));
  pf.db().Execute(
      "create trigger tolak before insert on tbl_ctrl when new.ctrl_jenis = 'label' "
      "begin select raise(abort, 'ditolak'); end");
  const QStringList files = QDir(pf.path("images")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  const QByteArray face = isi("images/depan2.jpg");
  buka();
  pilihDiDaftar("logo1");
  dialogs.queueFile(tulisFile("logo.png", Qt::blue, "PNG"));
  QTest::mouseClick(d->vkCommand1, Qt::LeftButton);
  QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
  seret(w("logo1"), QPoint(10, 10));
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Desain tidak tersimpan: "));
  EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbCritical);
  EXPECT_TRUE(forms::isLoaded<FrmAddLogo>());
  EXPECT_EQ(kolom("select ctrl_left from tbl_ctrl"), QVariantList{480});  // the rows before it rolled back
  EXPECT_EQ(kolom("select count(*) from tbl_ctrl"), QVariantList{1});
  EXPECT_EQ(QDir(pf.path("images")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), files);
  EXPECT_EQ(isi("images/depan2.jpg"), face);
  // Mended, the same canvas saves.
  pf.db().Execute("drop trigger tolak");
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  EXPECT_FALSE(forms::isLoaded<FrmAddLogo>());
  EXPECT_EQ(kolom("select ctrl_left from tbl_ctrl where ctrl_name = 'logo1'"), QVariantList{630});
}

// Rows stored but the card face not movable into place (a folder stands in its way): the
// user is told, and the next start puts the face there.
TEST_F(DesignerSave, AFaceThatCannotBePutInPlaceIsPutThereAtTheNextStart) {
  QFile::remove(pf.path("images/depan2.jpg"));
  ASSERT_TRUE(QDir().mkpath(pf.path("images/depan2.jpg/terhalang")));
  buka();
  QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
  ASSERT_EQ(dialogs.msgBoxes().size(), 1u);
  EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Desain tersimpan, tetapi gambar kartu belum dapat dipasang"));
  EXPECT_FALSE(forms::isLoaded<FrmAddLogo>());
  EXPECT_EQ(kolom("select count(*) from tbl_ctrl"), QVariantList{5});
  // A start while the way is still blocked says so and keeps the pending save; the start
  // after the way is clear puts the face there without a word.
  for (const bool terhalang : {true, false}) {
    SCOPED_TRACE(terhalang);
    dialogs.clear();
    if (!terhalang) QDir(pf.path("images/depan2.jpg")).removeRecursively();
    bersihAwal::jalankan();
    EXPECT_EQ(dialogs.msgBoxes().size(), terhalang ? 1u : 0u);
    if (terhalang) {
      EXPECT_TRUE(dialogs.lastMsgBox().prompt.startsWith("Desain tersimpan, tetapi gambar kartu belum dapat dipasang"));
      EXPECT_TRUE(dialogs.lastMsgBox().prompt.contains("depan2.jpg"));
      EXPECT_EQ(dialogs.lastMsgBox().flags, ui::vbExclamation);
    }
    EXPECT_EQ(QImage(pf.path("images/depan2.jpg")).isNull(), terhalang);
    EXPECT_EQ(QDir(pf.path("images")).entryList({".simpan-*"}, QDir::Dirs | QDir::Hidden).size(), terhalang ? 1 : 0);
    EXPECT_EQ(kolom("select count(*) from tbl_ctrl"), QVariantList{5});
  }
}

// Over the settings window, as the program shows it: a JPEG picked is shown and saved as the
// side's background; a cancel or a bad file is shown in a box and changes nothing.
TEST_F(DesignerSave, TheBackgroundPickerTakesAJpegAndShowsAnyFailure) {
  gambar("Front", "latar", Qt::red, QSize(200, 130));
  const QByteArray before = isi("images/Front_templatar.jpg");
  std::ofstream(pf.path("teks.jpg").toStdString()) << "bukan gambar";
  open();
  for (auto [file, pesan] : {std::pair<QString, QString>{{}, "Cancel was selected."},
                             {pf.path("teks.jpg"), "Invalid picture"},
                             {pf.path("hilang.jpg"), "File not found"},
                             {tulisFile("hijau.jpeg", QColor(0, 160, 0), "JPG"), {}}}) {
    file.isEmpty() ? dialogs.queueFileCancel() : dialogs.queueFile(file);
    buka()->bukaLatar();
    EXPECT_EQ(dialogs.calls.front().file.filter, "Pictures (*.jpeg;*.jpg;)|*.jpeg;*.jpg");
    EXPECT_EQ(dialogs.msgBoxTexts(), pesan.isEmpty() ? QStringList() : QStringList{pesan});
    for (const auto& m : dialogs.msgBoxes()) EXPECT_TRUE(m.flags == ui::vbOKOnly && m.title == vb::appTitle());
    EXPECT_EQ(d->CommonDialog9.FileName, pesan.isEmpty() ? file : QString());
    const QColor warna = pesan.isEmpty() ? QColor(0, 160, 0) : QColor(Qt::red);
    EXPECT_TRUE(dekat(static_cast<photobox::PhotoBox*>(w("latar"))->picture().image().pixelColor(5, 5), warna));
    QTest::mouseClick(d->vkCommand2, Qt::LeftButton);
    EXPECT_EQ(isi("images/Front_templatar.jpg") == before, !pesan.isEmpty());
    EXPECT_TRUE(dekat(QImage(pf.path("images/Front_templatar.jpg")).pixelColor(5, 5), warna));
    dialogs.clear();
  }
}

TEST_F(DesignerSave, TheSettingsWindowOpensTheDesignerForEachSideAndShowsTheSavedFaces) {
  gambar("Front", "latar", Qt::red);
  gambar("Back", "latar", Qt::blue);
  open();
  std::vector<QString> sides;
  ScopedModalHook modal([&](QWidget* w, QWidget* owner) {
    EXPECT_EQ(owner, s);
    sides.push_back(Module1::Desain);
    QTest::mouseClick(static_cast<FrmAddLogo*>(w)->vkCommand2, Qt::LeftButton);
  });
  const auto middle = [](photobox::PhotoBox* b) {
    const QImage img = b->picture().image();
    return img.pixelColor(img.width() / 2, img.height() / 2);
  };
  QTest::mouseClick(s->Command16, Qt::LeftButton);
  EXPECT_TRUE(dekat(middle(s->image4), Qt::red));
  EXPECT_FALSE(dekat(middle(s->image5), Qt::blue));
  QTest::mouseClick(s->Command17, Qt::LeftButton);
  EXPECT_TRUE(dekat(middle(s->image4), Qt::red));
  EXPECT_TRUE(dekat(middle(s->image5), Qt::blue));
  EXPECT_EQ(sides, std::vector<QString>({"Front", "Back"}));
  const QImage preview = s->picture1->grab().toImage();
  EXPECT_TRUE(dekat(preview.pixelColor(preview.width() - 3, preview.height() / 2), Qt::red));
}

}  // namespace
