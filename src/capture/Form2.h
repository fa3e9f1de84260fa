#pragma once
// The filter picker: lists every registered filter (cameras first) and gives the caller the
// name chosen with "Ok". Closing hides it, so the caller reads Oked and CameraName after.
#include <QListWidget>
#include <QPushButton>

#include "forms.h"

class Form2 : public forms::Form {
  Q_OBJECT
 public:
  Form2();
  bool Oked = false;
  QString CameraName;

  QListWidget* lstFilters;
  QPushButton* cmdOk;
  QPushButton* cmdCancel;

  void Form_Activate() override;
  void lstFilters_Click();
  void cmdOk_Click();
  void cmdCancel_Click();

 protected:
  // The close box cancels instead of unloading; an unload by code goes ahead.
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
};
