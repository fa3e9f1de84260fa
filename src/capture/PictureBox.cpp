#include "PictureBox.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "dc.h"
#include "twips.h"

namespace {
const QRgb kButtonFace = qRgb(240, 240, 240);
}

PictureBox::PictureBox(ScaleMode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
  setMouseTracking(true);
  dc_ = gdi::createCompatibleDC(0);
  makeSurface(1, 1);
}

PictureBox::~PictureBox() {
  releaseSurface();
  gdi::deleteDC(dc_);
}

void PictureBox::releaseSurface() const {
  if (bitmap_ == 0) return;
  gdi::selectObject(dc_, oldBitmap_);
  gdi::deleteObject(bitmap_);
  bitmap_ = 0;
}

void PictureBox::syncSurface() const {
  if (surfaceSize_ != size()) makeSurface(width(), height());
}

void PictureBox::makeSurface(int w, int h) const {
  auto old = gdi::surfaceOf(dc_);
  const QImage before = bitmap_ && old ? old->toImage() : QImage();
  releaseSurface();
  surfaceSize_ = QSize(w, h);
  // Top-down, so a paint can show the pixels where they lie.
  bitmap_ = gdi::createDIBSection(std::max(w, 1), -std::max(h, 1), 32);
  oldBitmap_ = gdi::selectObject(dc_, bitmap_);
  gdi::fillRect(dc_, QRect(0, 0, std::max(w, 1), std::max(h, 1)), kButtonFace);
  if (!before.isNull()) {
    gdi::DcPainter p(dc_);
    if (p.isActive()) p->drawImage(0, 0, before);
  }
}

double PictureBox::ScaleWidth() const { return mode_ == ScaleMode::Twips ? double(twips::fromPx(width())) : width(); }
double PictureBox::ScaleHeight() const {
  return mode_ == ScaleMode::Twips ? double(twips::fromPx(height())) : height();
}

void PictureBox::setPicture(const QImage& picture) {
  syncSurface();
  picture_ = picture;
  gdi::fillRect(dc_, QRect(0, 0, width(), height()), kButtonFace);
  if (!picture.isNull()) {
    gdi::DcPainter p(dc_);
    if (p.isActive()) p->drawImage(0, 0, picture);
  }
  update();
}

QImage PictureBox::Image() const {
  syncSurface();
  auto surface = gdi::surfaceOf(dc_);
  return surface ? surface->toImage() : QImage();
}

void PictureBox::paintStretched(const QImage& img) {
  syncSurface();
  {
    gdi::DcPainter p(dc_);
    if (p.isActive()) p->drawImage(QRect(0, 0, width(), height()), img);
  }
  update();
}

void PictureBox::paintEvent(QPaintEvent* e) {
  syncSurface();
  auto dib = gdi::surfaceOf(dc_);
  if (!dib || dib->bitCount() != 32 || dib->bottomUp()) return;
  const QImage view(dib->bits(), dib->width(), dib->absHeight(), dib->stride(), QImage::Format_RGB32);
  QPainter p(this);
  p.drawImage(e->rect(), view, e->rect());
}

void PictureBox::resizeEvent(QResizeEvent*) { syncSurface(); }

void PictureBox::mouseMoveEvent(QMouseEvent* e) {
  const int shift = (e->modifiers() & Qt::ShiftModifier ? 1 : 0) | (e->modifiers() & Qt::ControlModifier ? 2 : 0) |
                    (e->modifiers() & Qt::AltModifier ? 4 : 0);
  const int button = (e->buttons() & Qt::LeftButton ? 1 : 0) | (e->buttons() & Qt::RightButton ? 2 : 0);
  const QPointF pos = e->position();
  const double k = mode_ == ScaleMode::Twips ? twips::kPerPixel : 1;
  emit MouseMove(button, shift, pos.x() * k, pos.y() * k);
}

void PictureBox::mousePressEvent(QMouseEvent* e) { pressed_ = e->button() == Qt::LeftButton; }

void PictureBox::mouseReleaseEvent(QMouseEvent* e) {
  const bool click = pressed_ && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
  pressed_ = false;
  if (click) emit Click();
}
