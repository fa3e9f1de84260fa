#pragma once
// The two picture areas of the webcam window: the live video and the snapshot with its
// crop rectangle.
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QWidget>

// Shows the newest camera frame at its own size in its top left corner.
class VideoView : public QWidget {
  Q_OBJECT
 public:
  explicit VideoView(QWidget* parent = nullptr);
  void setFrame(QImage frame);
  const QImage& frame() const { return frame_; }
  // Frames handed in and frames painted, for the preview's frame rate.
  long long framesReceived = 0;
  long long framesPainted = 0;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QImage frame_;
  bool fresh_ = false;
};

// The snapshot at its own size in the top left corner and, while a crop is chosen, its
// outline: one pixel outside the crop on the left and top, two on the right and bottom,
// so it never covers a pixel of the crop.
class SnapshotView : public QWidget {
  Q_OBJECT
 public:
  explicit SnapshotView(QWidget* parent = nullptr);
  void setPicture(QImage picture);
  const QImage& picture() const { return picture_; }
  void setSelection(QRect crop, QRgb color);
  void clearSelection();
  QRect selection() const { return selection_; }
  QRgb selectionColor() const { return color_; }

 signals:
  void mouseMoved(QPointF pos);
  void clicked(QPointF pos);

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QImage picture_;
  QRect selection_;
  QRgb color_ = 0;
  bool pressed_ = false;
};
