#pragma once
// The card designer on a fresh program folder: rows of tbl_ctrl and picture files laid out
// by the test, the window opened for a side, and the user's mouse and keyboard on it.
#include "FrmAddLogo.h"
#include "carddesign_fixture.h"
#include "photobox.h"

namespace testsupport {

class DesignerTest : public CardDesignTest {
 protected:
  FrmAddLogo* buka(const QString& side = "Front") {
    Module1::Desain = side;
    d = forms::get<FrmAddLogo>();
    d->show();
    return d;
  }
  // A row of tbl_ctrl; id 0 lets the database number it.
  void baris(const QString& nama, QRect geo, bool visible = true, const QString& jenis = {},
             const QString& caption = {}, int id = 0, const QString& side = "Front") {
    pf.db().Execute(QString("insert into tbl_ctrl (%1ctrl_name, ctrl_caption, ctrl_left, ctrl_top, ctrl_width, "
                            "ctrl_height, ctrl_visible, ctrl_font_name, ctrl_font_size, ctrl_jenis, ctrl_desain) "
                            "values (%2'%3', '%4', %5, %6, %7, %8, %9, 'Arial', 10, %10, '%11')")
                        .arg(id ? "ID, " : "", id ? QString::number(id) + ", " : "", nama, caption)
                        .arg(geo.x())
                        .arg(geo.y())
                        .arg(geo.width())
                        .arg(geo.height())
                        .arg(visible ? 1 : 0)
                        .arg(jenis.isEmpty() ? "NULL" : "'" + jenis + "'", side));
  }
  // A picture of one colour as the side's element file, as the designer writes it.
  void gambar(const QString& side, const QString& nama, QColor c, QSize size = QSize(40, 40)) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(c);
    const QString file = pf.path("images/" + side + (nama == "latar" ? "_templatar.jpg" : "_" + nama + ".gif"));
    if (nama == "latar")
      ASSERT_TRUE(img.save(file, "JPG", 95));
    else
      photobox::PhotoBoxGlobal::SavePictureFile(photobox::Picture(img), file, 9);
  }
  // The card pictures as the install lays them out in images/.
  void pasangGambarKartu() {
    for (const QString& f : QString(LENTAVO_CARD_IMAGES).split(',', Qt::SkipEmptyParts)) {
      QFile::remove(pf.path("images/" + f));
      ASSERT_TRUE(QFile::copy(LENTAVO_ASSETS "/images/" + f, pf.path("images/" + f))) << f.toStdString();
    }
  }
  desain::Elemen& el(const QString& nama) { return *d->elemen(nama); }
  static bool dekat(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
  }
  QWidget* w(const QString& nama) { return d->picture1->findChild<QWidget*>(nama); }
  // Picks an entry of the element list with the keyboard.
  void pilihDiDaftar(const QString& nama) {
    QTest::keyClick(d->CmbJenis, Qt::Key_Home);
    while (d->CmbJenis->currentText() != nama && d->CmbJenis->currentIndex() + 1 < d->CmbJenis->count())
      QTest::keyClick(d->CmbJenis, Qt::Key_Down);
    ASSERT_EQ(d->CmbJenis->currentText(), nama);
  }
  // Presses on the element, moves the pointer by `by` pixels and lets go where the pointer
  // then lies on the moved element.
  void seret(QWidget* target, QPoint by, QPoint at = QPoint(5, 5)) {
    QTest::mousePress(target, Qt::LeftButton, {}, at);
    QTest::mouseMove(target, at + by);
    QTest::mouseRelease(target, Qt::LeftButton, {}, at);
  }
  QVariantList kolom(const QString& sql) {
    ado::Recordset rs;
    QVariantList v;
    for (rs.Open(sql, pf.db()); !rs.EOF_(); rs.MoveNext()) v << rs.field(0);
    return v;
  }
  QByteArray isi(const QString& rel) {
    QFile f(pf.path(rel));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  FrmAddLogo* d = nullptr;
};

}  // namespace testsupport
