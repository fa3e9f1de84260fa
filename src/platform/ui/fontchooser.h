#pragma once
// The font chooser behind the font seam: family, size, bold, italic, underline and the
// text colour, picked from the sixteen basic colours as the common font dialog offers them
// (a colour outside them stays on offer as it came).
#include <QCheckBox>
#include <QColor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFont>
#include <QFontComboBox>
#include <QLabel>

namespace ui {

class FontChooser : public QDialog {
  Q_OBJECT
 public:
  FontChooser(QWidget* parent, const QFont& initial, const QColor& color);
  // The initial font with the choices applied; what the chooser does not offer is kept.
  QFont chosenFont() const;
  QColor chosenColor() const;

  QFontComboBox* cmbHuruf;
  QDoubleSpinBox* txtUkuran;
  QCheckBox* chkTebal;
  QCheckBox* chkMiring;
  QCheckBox* chkGarisBawah;
  QComboBox* cmbWarna;
  QLabel* lblContoh;
  QDialogButtonBox* tombol;

 private:
  void perbaruiContoh();
  QFont awal_;
};

}  // namespace ui
