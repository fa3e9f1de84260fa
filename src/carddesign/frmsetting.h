#pragma once
// The card settings window: card texts, barcode type and header fonts, with a live
// preview of both card faces drawn by the one card face layout.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <array>

#include "cardface.h"
#include "dialogs.h"
#include "forms.h"
#include "photobox.h"
#include "picture.h"

class frmsetting;

// A control of the preview card: it holds a piece's text, font, place (exact twips) and
// visibility; the preview draws it through the card face layout, so it paints nothing
// itself.
class PreviewLabel : public QLabel {
  Q_OBJECT
 public:
  PreviewLabel(QWidget* parent, const QString& name);
  QRect twips() const { return twips_; }
  void setTwips(const QRect& r);
  void setTop(int top) { setTwips(QRect(twips_.left(), top, twips_.width(), twips_.height())); }
 signals:
  void doubleClicked();

 protected:
  void paintEvent(QPaintEvent*) override {}
  void mouseDoubleClickEvent(QMouseEvent*) override { emit doubleClicked(); }

 private:
  QRect twips_;
};

// A preview card (picture1 front, Picture2 back): draws its face from its controls.
class CardPreview : public QWidget {
  Q_OBJECT
 public:
  CardPreview(frmsetting* owner, bool front, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  frmsetting* owner_;
  bool front_;
};

class frmsetting : public forms::Form {
  Q_OBJECT
 public:
  frmsetting();

  std::array<QLineEdit*, 4> TextHeader;
  std::array<QLineEdit*, 4> TextFooter;
  QLineEdit* Textjudul;
  QPlainTextEdit* Textisi;
  QPlainTextEdit* TextBawah;
  QComboBox* cmbBarcode;
  QPushButton* Command13;  // Format Kartu
  QPushButton* Command16;  // Edit Desain Depan
  QPushButton* Command17;  // Edit Desan Belakang
  QPushButton* cmdSimpan;
  QPushButton* Cmdtutup;
  QGroupBox *Frame8, *Frame1, *Frame5, *Frame3, *framebarcode, *Frame2, *Frame6;
  QScrollBar* VScroll1;
  ui::CommonDialog CommonDialog3;  // pictures for the back preview

  // The preview.
  CardPreview* picture1;
  CardPreview* Picture2;
  photobox::PhotoBox* image4;
  photobox::PhotoBox* image5;
  std::array<PreviewLabel*, 6> LabelHeader;
  std::array<PreviewLabel*, 7> Label8;
  std::array<PreviewLabel*, 7> Label15;
  std::array<PreviewLabel*, 4> Label4;
  PreviewLabel *Label1, *Label2, *Label3;
  PreviewLabel *photo, *Barcode, *qrcode;
  // The fonts of the header lines as stored (a colour may be a system colour).
  std::array<cardface::FontValue, 6> hurufHeader;

  void Form_Load() override;
  void cmdSimpan_Click();
  void cmbBarcode_Click();
  void Command13_Click();
  void Command16_Click();
  void Command17_Click();
  // Shows both card face images again, as the designer's save leaves them.
  void muatGambarKartu();
  void LabelHeader_DblClick(int index);
  void posisi2();
  void BukaCaption();
  void POSISI();
  void geserFrame();
  void VScroll1_Change() { geserFrame(); }

  // No control calls these.
  // Lets the user pick a picture for the back preview (at most 802,400 bytes).
  void bukaBackground();
  // A picture over a bitmap handle, which stays the caller's; null when the handle names no
  // bitmap. Our bitmaps carry no palette, so `hPal` only completes the description.
  static gdi::StdPicture BitmapToPicture(gdi::Handle hBmp, gdi::Handle hPal);
  // Key filters for number entry: digits, the point, backspace and space pass; any other
  // key is refused with a box and cancelled (set to 0).
  void filterAngka1(int& KeyAscii);
  void filterAngka2(int& KeyAscii);
  void filterAngka3(int& KeyAscii);

  // The faces the preview shows, from its controls, and its sample photo.
  cardface::Face wajah(bool front) const;
  const QImage& contohFoto() const { return contohFoto_; }

 protected:
  void resizeEvent(QResizeEvent*) override;

 private:
  void setHurufHeader(int i, const cardface::FontValue& f);
  void simpan();
  int nilaiSebelum = 0;  // whole twips: a wide window scrolls beyond 16 bits
  QImage contohFoto_;    // sample photo of the preview
};
