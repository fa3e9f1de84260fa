#pragma once
// "Master Kelas": the list of class names the entry window offers.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "forms.h"
#include "listview.h"

class frmkelas : public forms::Form {
  Q_OBJECT
 public:
  frmkelas();
  QLabel* Label1;
  QLabel* Label2;
  QLineEdit* Text1;
  ui::ListView* Lv1;
  QPushButton* Cmdtambah;
  QPushButton* CMDHapus;
  QPushButton* Cmdtutup;

  void Form_Load() override;
  void tampilKelas();
  void Lv1_Click();
  void Cmdtambah_Click();
  void Cmdtutup_Click();
  void CMDHapus_Click();
};
