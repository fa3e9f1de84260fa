#pragma once
// The image control and its global object. A Picture is a shared, immutable image; an
// empty Picture clears a control.
#include <QImage>
#include <QString>
#include <QWidget>

namespace photobox {

class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage img) : img_(std::move(img)) {}
  bool isEmpty() const { return img_.isNull(); }
  const QImage& image() const { return img_; }
  int width() const { return img_.width(); }
  int height() const { return img_.height(); }
  bool operator==(const Picture& o) const { return img_ == o.img_; }

 private:
  QImage img_;
};

class PhotoBox : public QWidget {
  Q_OBJECT
 public:
  explicit PhotoBox(QWidget* parent = nullptr);
  Picture picture() const { return pic_; }
  void setPicture(const Picture& p);
  // Shows the picture scaled to the control, keeping its proportions.
  bool Stretch = true;
  // Name of the file the picture came from ("" for an empty picture); tests and callers
  // that need to know which file is shown read it.
  QString sourceFile() const { return source_; }
  void setSourceFile(const QString& f) { source_ = f; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;

 private:
  Picture pic_;
  QString source_;
};

namespace PhotoBoxGlobal {
// Loads a picture, deciding the format from the content (a BMP named .jpg loads).
// Throws vb::VbError 53 when the file is missing, 481 when it is no picture.
Picture LoadPictureFile(const QString& fileName, int a = -1, int b = -1);
// Loads into a control, recording the file name.
void loadInto(PhotoBox& box, const QString& fileName);
// Writes a picture as JPEG (quality 90), replacing the file atomically: a failure leaves
// the old file. Throws vb::VbError on failure (an empty picture included).
void SavePictureFile(const Picture& pic, const QString& fileName, int kind = 0);
}  // namespace PhotoBoxGlobal

}  // namespace photobox
