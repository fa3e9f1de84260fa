#pragma once
// The capture format of a camera: the sizes its source offers. Shown modally by the
// webcam window, which reopens the camera with the chosen one.
#include <QComboBox>
#include <QPushButton>

#include "forms.h"

namespace camera {

class FormatDialog : public forms::Form {
  Q_OBJECT
 public:
  // `formats` as Pipeline::formats() gives them; `current` is preselected.
  FormatDialog(const QStringList& formats, const QString& current, QWidget* parent = nullptr);
  QComboBox* cmbFormat;  // "640 x 480", "640 x 480 (MJPEG)"; the caps text is the item data
  QPushButton* cmdOK;
  QPushButton* cmdBatal;
  // The caps text chosen with OK; empty when the dialog was closed otherwise.
  QString chosen() const { return chosen_; }

 private:
  QString chosen_;
};

}  // namespace camera
