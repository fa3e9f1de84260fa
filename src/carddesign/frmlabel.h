#pragma once
// The field-caption window: the seven card field captions and whether each is shown,
// mirrored live into the card settings preview; saving rebuilds the main list's columns.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "forms.h"

class frmlabel : public forms::Form {
  Q_OBJECT
 public:
  frmlabel();

  QLabel* Label1;
  QGroupBox* Frame1;
  QGroupBox* Frame2;
  std::array<QLineEdit*, 7> label21;
  std::array<QCheckBox*, 7> Check21;
  QPushButton* Command1;  // Simpan
  QPushButton* Command2;  // Tutup

  void Form_Load() override;
  void label21_Change(int index);
  void Check21_Click(int index);
  void Command1_Click();
  void gantiformat();
};
