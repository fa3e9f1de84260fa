#pragma once
// The image control and its global object. A Picture is a shared, immutable image; an
// empty Picture clears a control.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QWidget>

#include "photofile.h"

namespace photobox {

class Picture {
 public:
  Picture() = default;
  explicit Picture(QImage img, QByteArray jpeg = {}) : img_(std::move(img)), jpeg_(std::move(jpeg)) {}
  bool isEmpty() const { return img_.isNull(); }
  const QImage& image() const { return img_; }
  // The JPEG file the picture was read from, byte for byte, when saving may store it as
  // it is; empty otherwise.
  const QByteArray& jpeg() const { return jpeg_; }
  int width() const { return img_.width(); }
  int height() const { return img_.height(); }
  bool operator==(const Picture& o) const { return img_ == o.img_; }

 private:
  QImage img_;
  QByteArray jpeg_;
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
// Loads a picture upright, deciding the format from the content (a BMP named .jpg loads).
// Throws vb::VbError 53 when the file is missing, 481 when it is no picture or is beyond
// the limits (then with a message that says so).
Picture LoadPictureFile(const QString& fileName, int a = -1, int b = -1);
// Loads into a control, recording the file name.
void loadInto(PhotoBox& box, const QString& fileName);
// Shows a member's photo: the control is emptied, then gets the blank photo, then the
// member's photo file; what cannot be loaded is skipped, so a member never shows another
// member's picture.
void showMemberPhoto(PhotoBox& box, const QString& nis);
// Writes a picture, replacing the file atomically: a failure leaves the old file. A
// picture read from a JPEG that may be stored as it is goes out byte for byte; any other
// is encoded as JPEG (quality 90). Throws vb::VbError on failure (an empty picture
// included).
void SavePictureFile(const Picture& pic, const QString& fileName, int kind = 0);
}  // namespace PhotoBoxGlobal

}  // namespace photobox
