// The card designer: a side opened from its rows, selection and the bars, dragging by the
// mouse, labels added and deleted, fonts, and the save with its card face.
#include <QFile>
#include <map>

#include "designer_fixture.h"
#include "fontchooser.h"

using namespace testsupport;

namespace {

class Designer : public DesignerTest {};

// A side never saved shows the side's pictures: the background over the whole canvas, the
// logos at the top corners, the stamp and the signature at the bottom ones, nothing listed.
TEST_F(Designer, AnEmptySideShowsItsPicturesInTheirCorners) {
  const std::map<QString, QColor> warna = {{"latar", QColor(240, 240, 120)}, {"logo1", Qt::blue},
                                           {"logo2", Qt::green},             {"stempel", Qt::red},
                                           {"tanda_tangan", Qt::magenta}};
  for (const auto& [nama, c] : warna) gambar("Front", nama, c);
  buka();
  const QImage canvas = d->picture1->grab().toImage();
  const QRect all = d->picture1->rect();
  EXPECT_EQ(w("latar")->size(), all.size());  // the background is the canvas's size
  for (const auto& [nama, c] : warna) {
    const QRect r = w(nama)->geometry();
    EXPECT_TRUE(nama == "latar" || all.contains(r)) << nama.toStdString();
    EXPECT_TRUE(dekat(canvas.pixelColor(r.intersected(all).center()), c)) << nama.toStdString();
    EXPECT_TRUE(el(nama).visible) << nama.toStdString();
  }
  const auto at = [&](const char* nama) { return w(nama)->geometry().center(); };
  EXPECT_LT(at("logo1").x(), all.center().x());
  EXPECT_LT(at("logo1").y(), all.center().y());
  EXPECT_EQ(at("logo1").y(), at("logo2").y());
  EXPECT_GT(at("logo2").x(), all.center().x());
  EXPECT_EQ(at("stempel").x(), at("logo1").x());
  EXPECT_GT(at("stempel").y(), all.center().y());
  EXPECT_EQ(at("tanda_tangan").x(), at("logo2").x());
  EXPECT_GT(at("tanda_tangan").y(), all.center().y());
  EXPECT_EQ(d->CmbJenis->count(), 0);
  EXPECT_EQ(d->nomerLabel, 0);
  EXPECT_TRUE(d->picture1->findChildren<LabelDesain*>().isEmpty());
}

TEST_F(Designer, NewLabelsTakeANumberNoLiveLabelHas) {
  struct Case {
    std::vector<std::pair<int, const char*>> rows;  // ID, name
    int expected;
    bool taken;  // a stored row of another kind holds the expected name: it is skipped
  };
  for (const Case& c : {Case{{{7, "NewLabel7"}, {12, "NewLabel12"}}, 13, false},
                        Case{{{3, "NewLabel40"}, {4, "NewLabel2"}}, 41, false},  // a name past the ids
                        Case{{{5, "NewLabel5"}, {9, "NewLabel6"}}, 10, true}}) {
    pf.db().Execute("delete from tbl_ctrl");
    for (auto [id, nama] : c.rows) baris(nama, QRect(100, 100, 900, 300), true, "label", nama, id);
    if (c.taken) baris(QString("NewLabel%1").arg(c.expected), QRect(0, 0, 300, 300));
    buka();
    EXPECT_EQ(d->nomerLabel, c.expected);
    QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
    EXPECT_EQ(d->CmbJenis->itemText(d->CmbJenis->count() - 1), QString("NewLabel%1").arg(c.expected + c.taken));
    forms::unload(d);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
}

TEST_F(Designer, HiddenElementsOpenHiddenAndSelectionDrivesTheBarsWithoutMovingAnything) {
  baris("logo2", QRect(8520, 360, 1095, 1095), false);  // first in the list: shown, then hidden again
  baris("NewLabel1", QRect(9000, 700, 1200, 450), true, "label", "Jauh");
  baris("NewLabel2", QRect(300, 200, 1000, 450), false, "label", "Tersembunyi");
  buka();
  EXPECT_FALSE(el("logo2").visible);
  EXPECT_TRUE(w("logo2")->isHidden());
  EXPECT_TRUE(w("NewLabel2")->isHidden());
  EXPECT_EQ(d->cmbVisible->currentText(), "True");  // shown when the first entry was selected
  pilihDiDaftar("NewLabel2");
  EXPECT_EQ(d->cmbVisible->currentText(), "False");
  EXPECT_EQ(d->Text1->text(), "Tersembunyi");
  EXPECT_EQ(d->H_left->value(), 300);
  pilihDiDaftar("NewLabel1");  // Left 9000 lies past the bar's 8000
  EXPECT_EQ(el("NewLabel1").left, 9000);
  EXPECT_EQ(d->H_left->value(), 300);
  EXPECT_EQ(d->H_top->value(), 700);
  EXPECT_EQ(d->H_Width->value(), 1200);
  d->H_left->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // the bar's arrow: from the bar's value on
  EXPECT_GT(el("NewLabel1").left, 300);
  EXPECT_EQ(el("NewLabel1").left, d->H_left->value());
  pilihDiDaftar("logo2");
  d->cmbVisible->setFocus();
  QTest::keyClick(d->cmbVisible, Qt::Key_Home);
  EXPECT_TRUE(el("logo2").visible);
}

TEST_F(Designer, DraggingByTheMouseMovesByThePointersTwips) {
  baris("logo2", QRect(8520, 360, 1095, 1095));
  baris("NewLabel4", QRect(1000, 2000, 1200, 450), true, "label", "Geser");
  buka();
  const QPoint before = w("logo2")->pos();
  const int barLeft = d->H_left->value();
  seret(w("logo2"), QPoint(20, -10));
  EXPECT_EQ(el("logo2").rect(), QRectF(8820, 210, 1095, 1095));
  EXPECT_EQ(w("logo2")->pos(), before + QPoint(20, -10));
  EXPECT_EQ(d->CmbJenis->currentText(), "logo2");  // the click that ends the drag selects it
  EXPECT_EQ(d->H_left->value(), barLeft);            // past the bar: it keeps its value
  EXPECT_EQ(d->H_top->value(), 210);
  EXPECT_EQ(el("logo2").left, 8820);
  seret(w("logo1"), QPoint(-7, 3));  // not in the list: it moves, the selection stays
  EXPECT_EQ(el("logo1").rect().topLeft(), QPointF(375, 405));
  EXPECT_EQ(d->CmbJenis->currentText(), "logo2");
  seret(w("NewLabel4"), QPoint(10, 20));
  EXPECT_EQ(el("NewLabel4").rect().topLeft(), QPointF(1150, 2300));
  EXPECT_EQ(d->CmbJenis->currentText(), "NewLabel4");
  EXPECT_EQ(d->H_left->value(), 1150);
  EXPECT_EQ(d->H_top->value(), 2300);
  EXPECT_FALSE(el("NewLabel4").bingkai);
}

TEST_F(Designer, AddAndDeleteLabels) {
  baris("NewLabel1", QRect(100, 100, 900, 450), true, "label", "Satu", 4);
  buka();
  ASSERT_EQ(d->nomerLabel, 5);
  EXPECT_EQ(d->Text1->text(), "Satu");  // the first entry, a label, shows its text
  QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
  QTest::mouseClick(d->FlatButton2, Qt::LeftButton);
  EXPECT_EQ(d->CmbJenis->currentText(), "NewLabel1");  // the selection stays
  for (int n : {5, 6}) {
    const desain::Elemen& e = el(QString("NewLabel%1").arg(n));
    EXPECT_EQ(e.rect().topLeft(), QPointF(100 * n + 100, 100));
    EXPECT_EQ(e.caption, QString("Label %1").arg(n));
    EXPECT_EQ(e.font.name, "Arial");
    EXPECT_EQ(e.font.size, 20);
    EXPECT_GT(e.width, 900);
    EXPECT_EQ(d->CmbJenis->findText(e.nama), n - 4);
  }
  // Typing into another label's box never reaches this one, and a delete never clears it.
  pilihDiDaftar("NewLabel6");
  QTest::keyClicks(d->Text1, "!");
  EXPECT_EQ(el("NewLabel6").caption, "Label 6!");
  baris("NewLabel6", QRect(1, 1, 1, 1), true, "label", "disimpan");
  QTest::mouseClick(d->FlatButton3, Qt::LeftButton);
  EXPECT_EQ(kolom("select count(*) from tbl_ctrl where ctrl_name = 'NewLabel6'"), QVariantList{0});
  EXPECT_EQ(d->elemen("NewLabel6"), nullptr);
  EXPECT_EQ(d->CmbJenis->findText("NewLabel6"), -1);
  EXPECT_EQ(d->CmbJenis->currentText(), "NewLabel1");
  EXPECT_EQ(el("NewLabel1").caption, "Satu");
  EXPECT_EQ(d->Text1->text(), "Satu");
  pilihDiDaftar("NewLabel5");
  EXPECT_EQ(d->Text1->text(), "Label 5");
  // A picture selected: nothing is deleted, the first entry is selected.
  baris("logo1", QRect(480, 360, 1095, 1095));
  forms::unload(d);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  buka();
  pilihDiDaftar("logo1");
  QTest::mouseClick(d->FlatButton3, Qt::LeftButton);
  EXPECT_EQ(d->CmbJenis->currentText(), "NewLabel1");
  EXPECT_EQ(kolom("select count(*) from tbl_ctrl"), QVariantList{2});
}

TEST_F(Designer, TheFontChooserCancelledChangesNothingAcceptedRestylesTheLabel) {
  baris("NewLabel1", QRect(100, 100, 900, 450), true, "label", "Nama Sekolah");
  buka();
  const desain::Elemen before = el("NewLabel1");
  dialogs.queueFontCancel();
  QTest::mouseClick(d->FlatButton4, Qt::LeftButton);
  EXPECT_EQ(el("NewLabel1").font, before.font);
  EXPECT_EQ(el("NewLabel1").width, 900);
  QFont f("Liberation Serif", 14, QFont::Bold, true);
  dialogs.queueFont(f, QColor(200, 0, 0));
  QTest::mouseClick(d->FlatButton4, Qt::LeftButton);
  ASSERT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Font).size(), 2u);
  EXPECT_EQ(dialogs.callsOf(ScriptedDialogs::Kind::Font)[0].font.pointSizeF(), 10);
  const desain::Elemen& e = el("NewLabel1");
  EXPECT_EQ(e.font, (cardface::FontValue{"Liberation Serif", 14, true, true, false, 200}));
  EXPECT_NE(e.width, 900);  // sized to the caption

  // The chooser itself, through its controls.
  ui::FontChooser c(nullptr, QFont("Liberation Sans", 9), QColor(1, 2, 3));
  c.show();
  EXPECT_EQ(c.cmbWarna->currentText(), "Lainnya (#010203)");
  c.cmbHuruf->setCurrentIndex(c.cmbHuruf->findText("Liberation Serif"));
  c.txtUkuran->setValue(12.5);
  QTest::mouseClick(c.chkTebal, Qt::LeftButton);
  c.cmbWarna->setCurrentIndex(c.cmbWarna->findText("Biru"));
  EXPECT_EQ(c.lblContoh->font().family(), "Liberation Serif");
  QTest::mouseClick(c.tombol->button(QDialogButtonBox::Ok), Qt::LeftButton);
  EXPECT_EQ(c.result(), QDialog::Accepted);
  EXPECT_EQ(cardface::fontOf(c.chosenFont(), c.chosenColor()),
            (cardface::FontValue{"Liberation Serif", 12.5, true, false, false, 0xFF0000}));
  c.show();
  QTest::mouseClick(c.tombol->button(QDialogButtonBox::Cancel), Qt::LeftButton);
  EXPECT_EQ(c.result(), QDialog::Rejected);
}

}  // namespace
