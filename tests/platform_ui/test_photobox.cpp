#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "photobox.h"
#include "vb.h"

using namespace photobox;

namespace {

QImage sample(int w = 40, int h = 30) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 6, y * 8, 128));
  return img;
}

long errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return e.number;
  }
  return 0;
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PhotoFiles : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
  QTemporaryDir dir;
};

TEST_F(PhotoFiles, FormatComesFromContentNotName) {
  // What the webcam window hands over: a bitmap under a .jpg name.
  ASSERT_TRUE(sample().save(path("test.jpg"), "BMP"));
  ASSERT_TRUE(readAll(path("test.jpg")).startsWith("BM"));
  const Picture p = PhotoBoxGlobal::LoadPictureFile(path("test.jpg"), -1, -1);
  ASSERT_FALSE(p.isEmpty());
  EXPECT_EQ(p.width(), 40);
  EXPECT_EQ(p.height(), 30);
  EXPECT_EQ(p.image().pixel(5, 5), sample().pixel(5, 5));  // lossless: really read as BMP
}

TEST_F(PhotoFiles, MissingAndBrokenFilesRaiseTheirErrors) {
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(path("none.jpg")); }), vb::kErrFileNotFound);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(""); }), vb::kErrFileNotFound);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(dir.path()); }), vb::kErrFileNotFound);
  QFile junk(path("junk.jpg"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is not a picture at all");
  junk.close();
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(path("junk.jpg")); }), vb::kErrInvalidPicture);
  // A truncated JPEG header is no picture either.
  const QByteArray good = [&] {
    sample().save(path("good.jpg"), "JPEG");
    return readAll(path("good.jpg"));
  }();
  QFile cut(path("cut.jpg"));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(good.left(20));
  cut.close();
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(path("cut.jpg")); }), vb::kErrInvalidPicture);
}

TEST_F(PhotoFiles, FailedLoadKeepsTheControlsPicture) {
  ASSERT_TRUE(sample().save(path("a.png"), "PNG"));
  PhotoBox box;
  PhotoBoxGlobal::loadInto(box, path("a.png"));
  EXPECT_EQ(box.sourceFile(), path("a.png"));
  const Picture before = box.picture();
  EXPECT_THROW(PhotoBoxGlobal::loadInto(box, path("missing.jpg")), vb::VbError);
  EXPECT_TRUE(box.picture() == before);
  EXPECT_EQ(box.sourceFile(), path("a.png"));
}

TEST_F(PhotoFiles, SaveWritesJpegThatLoadsBackAndReplacesTheOldFile) {
  const QString target = path("12-3.jpg");
  PhotoBoxGlobal::SavePictureFile(Picture(sample()), target, 0);
  const QByteArray first = readAll(target);
  EXPECT_TRUE(first.startsWith("\xFF\xD8"));  // JPEG
  const Picture back = PhotoBoxGlobal::LoadPictureFile(target);
  EXPECT_EQ(back.width(), 40);
  EXPECT_EQ(back.height(), 30);
  const QColor want(sample().pixel(20, 15)), got(back.image().pixel(20, 15));
  EXPECT_NEAR(got.red(), want.red(), 12);
  EXPECT_NEAR(got.green(), want.green(), 12);

  PhotoBoxGlobal::SavePictureFile(Picture(sample(80, 60)), target, 0);
  EXPECT_EQ(PhotoBoxGlobal::LoadPictureFile(target).width(), 80);
  EXPECT_EQ(entries(), QStringList({"12-3.jpg"}));  // no temporary file left behind
}

TEST_F(PhotoFiles, FailedSaveRaisesAndLeavesTheOldFile) {
  const QString target = path("old.jpg");
  PhotoBoxGlobal::SavePictureFile(Picture(sample()), target, 0);
  const QByteArray old = readAll(target);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(Picture(), target, 0); }), 380);
  EXPECT_EQ(readAll(target), old);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(Picture(sample()), path("nofolder/x.jpg"), 0); }), 75);
  EXPECT_FALSE(QFile::exists(path("nofolder/x.jpg")));
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub.jpg"));
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(Picture(sample()), path("sub.jpg"), 0); }), 75);
  EXPECT_TRUE(QFileInfo(path("sub.jpg")).isDir());
  EXPECT_EQ(entries(), QStringList({"old.jpg"}));
}

TEST_F(PhotoFiles, TransparentPictureKeepsItsTransparency) {
  QImage logo(20, 20, QImage::Format_ARGB32);
  logo.fill(Qt::transparent);
  logo.setPixel(10, 10, qRgba(255, 0, 0, 255));
  PhotoBoxGlobal::SavePictureFile(Picture(logo), path("Front_logo1.gif"), 0);
  const Picture back = PhotoBoxGlobal::LoadPictureFile(path("Front_logo1.gif"));
  EXPECT_EQ(qAlpha(back.image().pixel(0, 0)), 0);
  EXPECT_EQ(back.image().pixel(10, 10), qRgba(255, 0, 0, 255));
}

TEST(PhotoBoxControl, PaintsFittedAndClicks) {
  PhotoBox box;
  box.resize(100, 100);
  box.setPicture(Picture(QImage(200, 100, QImage::Format_RGB32)));
  QImage pic = box.picture().image();
  pic.fill(Qt::blue);
  box.setPicture(Picture(pic));
  QImage shot(100, 100, QImage::Format_RGB32);
  shot.fill(Qt::white);
  box.render(&shot);
  // 200x100 into 100x100: 100x50, centred vertically.
  EXPECT_EQ(QColor(shot.pixel(50, 50)), QColor(Qt::blue));
  EXPECT_NE(QColor(shot.pixel(50, 10)), QColor(Qt::blue));
  EXPECT_NE(QColor(shot.pixel(50, 90)), QColor(Qt::blue));
  EXPECT_EQ(QColor(shot.pixel(50, 30)), QColor(Qt::blue));
  EXPECT_EQ(QColor(shot.pixel(2, 50)), QColor(Qt::blue));  // full width

  int clicks = 0;
  QObject::connect(&box, &PhotoBox::clicked, [&] { ++clicks; });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&box, &press);
  EXPECT_EQ(clicks, 1);
  box.setPicture(Picture());
  EXPECT_TRUE(box.picture().isEmpty());
}

}  // namespace
