#include "formatdialog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "named.h"

namespace camera {

namespace {

QString describe(const QString& caps) {
  static const QRegularExpression size(QStringLiteral("width=(\\d+),height=(\\d+)"));
  const QRegularExpressionMatch m = size.match(caps);
  QString text = m.hasMatch() ? m.captured(1) + QStringLiteral(" x ") + m.captured(2) : caps;
  if (caps.startsWith(QLatin1String("image/jpeg"))) text += QStringLiteral(" (MJPEG)");
  return text;
}

}  // namespace

FormatDialog::FormatDialog(const QStringList& formats, const QString& current, QWidget* parent) : forms::Form(parent) {
  setObjectName(QStringLiteral("FormatDialog"));
  setCaption(QStringLiteral("Capture Properties"));
  cmbFormat = ui::named(new QComboBox(this), "cmbFormat");
  for (const QString& f : formats) cmbFormat->addItem(describe(f), f);
  cmbFormat->setCurrentIndex(std::max(0, int(formats.indexOf(current))));
  auto* label = new QLabel(QStringLiteral("Ukuran gambar"), this);
  label->setBuddy(cmbFormat);
  cmdOK = ui::named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
  cmdBatal = ui::named(new QPushButton(QStringLiteral("Batal"), this), "cmdBatal");
  cmdOK->setEnabled(!formats.isEmpty());
  connect(cmdOK, &QPushButton::clicked, this, [this] {
    chosen_ = cmbFormat->currentData().toString();
    close();
  });
  connect(cmdBatal, &QPushButton::clicked, this, &QWidget::close);
  auto* form = new QFormLayout;
  form->addRow(label, cmbFormat);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdBatal);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
}

}  // namespace camera
