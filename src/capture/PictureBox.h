#pragma once
// A picture box of the camera windows: a drawing surface with its own device context, so
// frames, crops and the selection outline are copied with the same block copies the
// bitmap class uses. The surface keeps what is drawn on it; a resize keeps the top-left
// part. `Picture` is the picture the box was given, `Image` what it shows now.
#include <QImage>
#include <QWidget>

#include "handles.h"

class PictureBox : public QWidget {
  Q_OBJECT
 public:
  enum class ScaleMode { Twips, Pixels };
  PictureBox(ScaleMode mode, QWidget* parent);
  ~PictureBox() override;

  gdi::Handle hDC() const {
    syncSurface();
    return dc_;
  }
  // The inner size in the box's scale unit.
  double ScaleWidth() const;
  double ScaleHeight() const;

  const QImage& Picture() const { return picture_; }
  // Clears the surface to the background and draws the picture at the top left.
  void setPicture(const QImage& picture);
  QImage Image() const;
  // Draws `img` stretched over the whole surface.
  void paintStretched(const QImage& img);
  void Refresh() { update(); }

  bool AutoRedraw = false;

 signals:
  void MouseMove(int button, int shift, double x, double y);
  void Click();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  // A hidden box gets its resize event only when shown; the surface follows the size at
  // every use instead.
  void syncSurface() const;
  void makeSurface(int w, int h) const;
  void releaseSurface() const;

  ScaleMode mode_;
  QImage picture_;
  gdi::Handle dc_ = 0;
  mutable gdi::Handle bitmap_ = 0;
  mutable gdi::Handle oldBitmap_ = 0;
  mutable QSize surfaceSize_;
  bool pressed_ = false;
};
