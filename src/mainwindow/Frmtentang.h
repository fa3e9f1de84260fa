#pragma once
// The about box: the application title and the maker's lines; closes on "ok" or on a
// click on its free surface.
#include <QFrame>
#include <QLabel>
#include <QMap>
#include <QPushButton>

#include "forms.h"

class Frmtentang : public forms::Form {
  Q_OBJECT
 public:
  Frmtentang();
  QFrame* Frame1;
  QLabel* Image1;
  QMap<int, QLabel*> Label2;  // indexes 0, 2, 3, 4, 5, 7
  QMap<int, QLabel*> Label1;  // indexes 0, 2
  QFrame* Line1;
  QPushButton* Button1;

  void Form_Load() override;
  void Button1_Click();
  void Form_Click();

 protected:
  void mousePressEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
};
