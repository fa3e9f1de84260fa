#pragma once
// The photo import window: copies member photos in bulk from a chosen folder.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "forms.h"

class Form4 : public forms::Form {
  Q_OBJECT
 public:
  Form4();
  void Form_Load() override;

  QLabel* Label4;
  QLabel* Label2;
  QLabel* Label1;
  QLineEdit* Text1;
  QPushButton* cmdopen;
  QPushButton* cmdimport;
  QPushButton* Cmdtutup;
  QLabel* Label3;

  void cmdopen_Click();
  void cmdimport_Click();
};
