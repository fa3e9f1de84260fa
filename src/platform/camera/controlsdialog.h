#pragma once
// The camera's controls: its colour balance, applied to the running picture as the
// sliders move. Shown modally by the webcam window.
#include <QPushButton>
#include <QSlider>

#include "forms.h"

namespace camera {

class Pipeline;

class ControlsDialog : public forms::Form {
  Q_OBJECT
 public:
  explicit ControlsDialog(Pipeline& pipeline, QWidget* parent = nullptr);
  // Brightness and hue -100 .. 100, contrast and saturation 0 .. 200 (100 neutral).
  QSlider* sldBrightness;
  QSlider* sldContrast;
  QSlider* sldHue;
  QSlider* sldSaturation;
  QPushButton* cmdTutup;

 private:
  void apply();
  Pipeline& pipeline_;
};

}  // namespace camera
