#include "controlsdialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "named.h"
#include "pipeline.h"

namespace camera {

namespace {

QSlider* slider(QWidget* parent, const char* name, int low, int high, double value) {
  auto* s = ui::named(new QSlider(Qt::Horizontal, parent), name);
  s->setRange(low, high);
  s->setValue(qRound(value * 100));
  s->setMinimumWidth(200);
  return s;
}

}  // namespace

ControlsDialog::ControlsDialog(Pipeline& pipeline, QWidget* parent) : forms::Form(parent), pipeline_(pipeline) {
  setObjectName(QStringLiteral("ControlsDialog"));
  setCaption(QStringLiteral("Camera Properties"));
  const Balance b = pipeline.balance();
  sldBrightness = slider(this, "sldBrightness", -100, 100, b.brightness);
  sldContrast = slider(this, "sldContrast", 0, 200, b.contrast);
  sldHue = slider(this, "sldHue", -100, 100, b.hue);
  sldSaturation = slider(this, "sldSaturation", 0, 200, b.saturation);
  auto* form = new QFormLayout;
  const std::pair<const char*, QSlider*> rows[] = {
      {"Brightness", sldBrightness}, {"Contrast", sldContrast}, {"Hue", sldHue}, {"Saturation", sldSaturation}};
  for (const auto& [caption, s] : rows) {
    auto* label = new QLabel(QString::fromLatin1(caption), this);
    label->setBuddy(s);
    form->addRow(label, s);
    connect(s, &QSlider::valueChanged, this, &ControlsDialog::apply);
  }
  cmdTutup = ui::named(new QPushButton(QStringLiteral("Tutup"), this), "cmdTutup");
  connect(cmdTutup, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdTutup);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

void ControlsDialog::apply() {
  pipeline_.setBalance(Balance{sldBrightness->value() / 100.0, sldContrast->value() / 100.0, sldHue->value() / 100.0,
                               sldSaturation->value() / 100.0});
}

}  // namespace camera
