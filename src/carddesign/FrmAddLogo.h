#pragma once
// The card designer: one side of the card (Module1::Desain) on a canvas of its background,
// two logos, the stamp, the signature and free text labels, stored in tbl_ctrl and the
// side's picture files and composed into the side's card face image.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <memory>
#include <vector>

#include "desainmodel.h"
#include "dialogs.h"
#include "forms.h"
#include "photobox.h"

class cBitmap24;
class cPicture;
namespace gdi {
class Picture;
}
class FrmAddLogo;

// An image element on the canvas: shows its element's picture stretched to its box, as
// the card face draws it.
class GambarDesain : public photobox::PhotoBox {
  Q_OBJECT
 public:
  GambarDesain(QWidget* canvas, desain::Elemen* e);
  desain::Elemen* elemen;
  bool tandaGeser = false;  // the drag mark, while the element is dragged

 protected:
  void paintEvent(QPaintEvent*) override;
};

// A text label on the canvas.
class LabelDesain : public QLabel {
  Q_OBJECT
 public:
  LabelDesain(QWidget* canvas, desain::Elemen* e);
  desain::Elemen* elemen;

 protected:
  void paintEvent(QPaintEvent*) override;
};

// Lets the user drag one text label; one object per label, kept until the window goes.
class clsDragLabel : public QObject {
  Q_OBJECT
 public:
  clsDragLabel(FrmAddLogo* form, LabelDesain* target);
  QPointer<LabelDesain> Target;
  bool dragging = false;
  double dragX = 0, dragY = 0;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void Target_MouseDown(Qt::MouseButton button, QPointF twips);
  void Target_MouseMove(QPointF twips);
  void Target_MouseUp();
  FrmAddLogo* form_;
};

class FrmAddLogo : public forms::Form {
  Q_OBJECT
 public:
  FrmAddLogo();
  ~FrmAddLogo() override;

  QWidget* picture1;  // the canvas
  GambarDesain *latar, *logo1, *logo2, *stempel, *tanda_tangan;
  QGroupBox* Frame8;
  QPushButton* FlatButton2;  // Add Label
  QPushButton* FlatButton3;  // Delete Label
  QPushButton* FlatButton4;  // Pilih Font
  QComboBox* CmbJenis;
  QPushButton* vkCommand1;  // Browse
  QComboBox* cmbVisible;
  QLineEdit* Text1;
  QScrollBar *H_height, *H_top, *H_Width, *H_left;
  QPushButton* vkCommand2;  // Simpan
  QPushButton* FlatButton1;  // Tutup
  ui::CommonDialog CommonDialog1;  // fonts
  ui::CommonDialog CommonDialog9;  // pictures

  int nomerLabel = 0;
  std::vector<std::unique_ptr<clsDragLabel>> colDrag;
  // The picture library of the background picker: made at load, dropped at unload.
  std::unique_ptr<cPicture> picEx;

  void Form_Load() override;
  void Form_Unload() override;
  void openDesain();
  void CmbJenis_Click();
  void cmbVisible_Click();
  void H_height_Change();
  void H_top_Change();
  void H_left_Change();
  void H_Width_Change();
  void H_Width_LostFocus();
  void FlatButton2_Click();
  void FlatButton3_Click();
  void FlatButton4_Click();
  void Text1_Change();
  void vkCommand1_Click();
  void vkCommand2_Click();
  void FlatButton1_Click();
  // Picks a JPEG as the background: shown on `latar` and written by the next save. Any
  // failure, a cancel included, is shown in a box. No control calls it.
  void bukaLatar();

  // Selects an element as setting the list's text does: the matching entry and its display.
  // False when no entry has that name.
  bool pilih(const QString& nama);
  // The elements in the order the window meets its controls: the five image elements, then
  // the labels as they were created.
  std::vector<const desain::Elemen*> daftarElemen() const;
  desain::Elemen* elemen(const QString& nama);
  // The selected element (named by the list's text); null when none is.
  desain::Elemen* terpilih();
  // Shows an element's state on its widget.
  void tampilkan(const desain::Elemen& e);
  // The side as it would be composed now.
  QImage komposisi() const;

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  friend class clsDragLabel;
  GambarDesain* buatGambar(const desain::Rancangan& r);
  LabelDesain* buatLabel(const QString& nama);
  QWidget* kontrol(const QString& nama) const;
  bool namaDipakai(const QString& nama) const;
  void setBar(QScrollBar* bar, double value);
  void ubahGeometri(QScrollBar* bar, double desain::Elemen::*prop);
  // Stores the side; `belum` tells when its files could not all be put in place yet.
  void simpan(QString* belum);

  std::vector<std::unique_ptr<desain::Elemen>> gambar_;  // the five, in control order
  std::vector<std::unique_ptr<desain::Elemen>> label_;   // in creation order
  // The drag of the four movable image elements: one state for all of them.
  bool dragging = false;
  double dragX = 0, dragY = 0;
  std::unique_ptr<cBitmap24> bmpKomposisi_;  // made at the first save
};

namespace desain {
// A picture of the picture library as the background shows it: drawn at its own size over
// the white canvas, in the canvas's 32-bit format. Null when it cannot be had.
QImage pikselLatar(cPicture& pics, const std::shared_ptr<gdi::Picture>& picture);
}  // namespace desain
