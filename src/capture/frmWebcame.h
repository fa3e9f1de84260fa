#pragma once
// The webcam window. Its caption, set by the opener, says who receives the photo:
// "Input" the entry window, anything else the main window.
#include <QImage>
#include <QLabel>

#include "forms.h"

class frmWebcame : public forms::Form {
  Q_OBJECT
 public:
  frmWebcame();
  QLabel* picSource;

  // Hands a cropped picture over: writes it as "test.jpg" in the program folder (a
  // bitmap file despite its name), shows it in the receiving window's photo and shows
  // that window, then hides this one. Nothing is written under "photos".
  bool serahkanFoto(const QImage& crop);
};
