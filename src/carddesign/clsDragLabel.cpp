#include <QMouseEvent>

#include "FrmAddLogo.h"

clsDragLabel::clsDragLabel(FrmAddLogo* form, LabelDesain* target) : QObject(nullptr), Target(target), form_(form) {
  target->installEventFilter(this);
}

bool clsDragLabel::eventFilter(QObject* o, QEvent* ev) {
  // Only mouse events look at the label: others also come while it is being destroyed.
  const QEvent::Type t = ev->type();
  if ((t != QEvent::MouseButtonPress && t != QEvent::MouseMove && t != QEvent::MouseButtonRelease) || o != Target)
    return false;
  const auto twips = [ev] { return static_cast<QMouseEvent*>(ev)->position() * desain::kTwipsPerPixel; };
  switch (ev->type()) {
    case QEvent::MouseButtonPress:
      Target_MouseDown(static_cast<QMouseEvent*>(ev)->button(), twips());
      return true;
    case QEvent::MouseMove:
      Target_MouseMove(twips());
      return true;
    case QEvent::MouseButtonRelease:
      Target_MouseUp();
      return true;
    default:
      return false;
  }
}

void clsDragLabel::Target_MouseDown(Qt::MouseButton button, QPointF twips) {
  if (button == Qt::LeftButton) {
    dragging = true;
    dragX = twips.x();
    dragY = twips.y();
  }
  form_->pilih(Target->objectName());
  if (!Target) return;
  Target->elemen->bingkai = true;
  form_->tampilkan(*Target->elemen);
}

void clsDragLabel::Target_MouseMove(QPointF twips) {
  if (!dragging) return;
  desain::Elemen& e = *Target->elemen;
  e.left = twips.x() - dragX + e.left;
  e.top = twips.y() - dragY + e.top;
  form_->tampilkan(e);
}

void clsDragLabel::Target_MouseUp() {
  dragging = false;
  const desain::Elemen& e = *Target->elemen;
  // Each bar applies its value to the selected label before the next one is set.
  form_->setBar(form_->H_top, e.top);
  form_->setBar(form_->H_left, e.left);
  form_->setBar(form_->H_height, e.height);
  form_->setBar(form_->H_Width, e.width);
  Target->elemen->bingkai = false;
  form_->tampilkan(e);
}
