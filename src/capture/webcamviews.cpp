#include "webcamviews.h"

#include <QMouseEvent>
#include <QPainter>

VideoView::VideoView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
}

void VideoView::setFrame(QImage frame) {
  frame_ = std::move(frame);
  fresh_ = true;
  ++framesReceived;
  update();
}

void VideoView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (frame_.isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  p.drawImage(QPoint(0, 0), frame_);
  if (fresh_) ++framesPainted;
  fresh_ = false;
}

SnapshotView::SnapshotView(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAutoFillBackground(true);
}

void SnapshotView::setPicture(QImage picture) {
  picture_ = std::move(picture);
  update();
}

void SnapshotView::setSelection(QRect crop, QRgb color) {
  selection_ = crop;
  color_ = color;
  update();
}

void SnapshotView::clearSelection() {
  selection_ = QRect();
  update();
}

void SnapshotView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!picture_.isNull()) p.drawImage(QPoint(0, 0), picture_);
  if (selection_.isNull()) return;
  p.setPen(QPen(QColor::fromRgb(color_), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(selection_.adjusted(-1, -1, 1, 1));
}

void SnapshotView::mouseMoveEvent(QMouseEvent* e) {
  emit mouseMoved(e->position());
  QWidget::mouseMoveEvent(e);
}

void SnapshotView::mousePressEvent(QMouseEvent* e) {
  pressed_ = e->button() == Qt::LeftButton;
  QWidget::mousePressEvent(e);
}

void SnapshotView::mouseReleaseEvent(QMouseEvent* e) {
  // A click is a press and a release of the left button over the picture.
  if (pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
    emit clicked(e->position());
  pressed_ = false;
  QWidget::mouseReleaseEvent(e);
}
