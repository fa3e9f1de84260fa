#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>

#include "photo_files.h"
#include "photobox.h"
#include "vb.h"

using namespace photobox;
using namespace testsupport;

namespace {

QImage sample(int w = 40, int h = 30) {
  QImage img(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x * 6, y * 8, 128));
  return img;
}

// The error a call raises: its number and description; {0, ""} when it succeeds.
std::pair<long, QString> errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return {e.number, e.description};
  }
  return {0, {}};
}

bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; }

class PhotoFiles : public ::testing::Test {
 protected:
  void SetUp() override { vb::setProgramFolder(dir.path()); }
  QString path(const QString& name) const { return dir.filePath(name); }
  QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files); }
  QTemporaryDir dir;
};

TEST(PhotoNames, OneRuleNamesEveryMemberPhotoInsideThePhotoFolder) {
  const std::pair<QString, QString> cases[] = {
      {"12/3", "12-3.jpg"},        {"12\\3", "12-3.jpg"},       {"2024/002", "2024-002.jpg"},
      {"..", "--.jpg"},            {".a.b", "-a.b.jpg"},        {"a..b/..", "a..b-...jpg"},
      {QString::fromLatin1("a\0b", 3), "a-b.jpg"}, {"a\tb\x7f", "a-b-.jpg"}, {"AB 1:x", "AB 1:x.jpg"},
      {"", ""}};
  for (const auto& [nis, name] : cases) EXPECT_EQ(photoFileName(nis), name) << nis.toStdString();
  vb::setProgramFolder("/school");
  EXPECT_EQ(memberPhotoFile("12/3"), "/school/photos/12-3.jpg");
  EXPECT_EQ(memberPhotoFile(""), "");
  EXPECT_EQ(blankPhotoFile(), "/school/images/temp.jpg");
}

TEST_F(PhotoFiles, LoadsByContentUprightAndRefusesMissingBrokenAndOversizedFiles) {
  ASSERT_TRUE(sample().save(path("test.jpg"), "BMP"));  // the webcam's bitmap under a .jpg name
  writeFile(path("junk.jpg"), "this is not a picture at all");
  writeFile(path("cut.jpg"), jpegBytes(40, 30).left(20));
  writeFile(path("claims.jpg"), withClaimedSize(jpegBytes(8, 8), 20000, 5000));
  writeFile(path("wide.jpg"), withClaimedSize(jpegBytes(8, 8), 13000, 4000));
  writeFile(path("turned.jpg"), withOrientation(jpegBytes(40, 20), 6));
  ASSERT_LT(readFile(path("claims.jpg")).size(), 700);
  struct Case {
    QString file;
    long error;
    QString text;
    QSize size = QSize(0, 0);
  };
  const QString big = "Gambar terlalu besar";
  for (const Case& c : {Case{"test.jpg", 0, "", {40, 30}}, Case{"turned.jpg", 0, "", {20, 40}},
                        Case{"none.jpg", vb::kErrFileNotFound, "File not found"},
                        Case{"", vb::kErrFileNotFound, "File not found"},
                        Case{"junk.jpg", vb::kErrInvalidPicture, "Invalid picture"},
                        Case{"cut.jpg", vb::kErrInvalidPicture, "Invalid picture"},
                        Case{"claims.jpg", vb::kErrInvalidPicture, big + " (20000 x 5000 piksel)"},
                        Case{"wide.jpg", vb::kErrInvalidPicture, big + " (13000 x 4000 piksel)"}}) {
    Picture p;
    const auto [number, text] = errorOf([&] { p = PhotoBoxGlobal::LoadPictureFile(c.file.isEmpty() ? "" : path(c.file)); });
    EXPECT_EQ(number, c.error) << c.file.toStdString();
    EXPECT_EQ(text.left(c.text.size()), c.text) << c.file.toStdString();
    EXPECT_EQ(p.image().size(), c.size) << c.file.toStdString();
  }
  EXPECT_EQ(PhotoBoxGlobal::LoadPictureFile(path("test.jpg")).image().pixel(5, 5), sample().pixel(5, 5));
  // Turned upright: the stored left edge is the top; read within a box, it fills the box.
  const QImage up = PhotoBoxGlobal::LoadPictureFile(path("turned.jpg")).image();
  EXPECT_TRUE(isBlue(up.pixel(10, 3)) && !isBlue(up.pixel(10, 36)));
  EXPECT_EQ(readPictureFile(path("turned.jpg"), QSize(10, 20)).image.size(), QSize(10, 20));
  EXPECT_EQ(readPictureFile(path("wide.jpg"), QSize(10, 20)).status, PictureFile::Status::TooLarge);

  PhotoBox box;  // a failed load keeps the control's picture
  PhotoBoxGlobal::loadInto(box, path("test.jpg"));
  EXPECT_THROW(PhotoBoxGlobal::loadInto(box, path("junk.jpg")), vb::VbError);
  EXPECT_EQ(box.picture().width(), 40);
  EXPECT_EQ(box.sourceFile(), path("test.jpg"));
}

TEST_F(PhotoFiles, MemberPhotoIsEmptiedBeforeTheBlankAndTheMembersFile) {
  PhotoBox box;
  box.setPicture(Picture(sample()));
  PhotoBoxGlobal::showMemberPhoto(box, "12\\3");  // neither the blank nor a photo file
  EXPECT_TRUE(box.picture().isEmpty());
  QDir(dir.path()).mkdir("photos");
  writeFile(path("photos/12-3.jpg"), jpegBytes(30, 40));
  PhotoBoxGlobal::showMemberPhoto(box, "12\\3");
  EXPECT_EQ(box.sourceFile(), memberPhotoFile("12/3"));
  EXPECT_EQ(box.picture().width(), 30);
}

TEST_F(PhotoFiles, SaveKeepsAnUprightJpegsOwnBytesAndEncodesEverythingElseUpright) {
  const QByteArray plain = jpegBytes(40, 30);
  const QByteArray padded = plain + QByteArray(kMaxPhotoFileBytes + 1 - plain.size(), '\0');
  struct Case {
    const char* name;
    QByteArray bytes;
    bool keptAsIs;
    QSize size;
  };
  for (const Case& c : {Case{"plain.jpg", plain, true, {40, 30}}, Case{"padded.jpg", padded, false, {40, 30}},
                        Case{"turned.jpg", withOrientation(jpegBytes(40, 20), 6), false, {20, 40}}}) {
    const Picture p = PhotoBoxGlobal::LoadPictureFile(writeFile(path(c.name), c.bytes));
    PhotoBoxGlobal::SavePictureFile(p, path("out.jpg"), 0);
    const QByteArray out = readFile(path("out.jpg"));
    EXPECT_EQ(out == c.bytes, c.keptAsIs) << c.name;
    EXPECT_TRUE(out.startsWith("\xFF\xD8")) << c.name;
    const PictureFile back = readPictureFile(path("out.jpg"));
    EXPECT_EQ(back.image.size(), c.size) << c.name;
    EXPECT_FALSE(back.jpeg.isEmpty()) << c.name;  // upright now: kept as is from here on
    EXPECT_TRUE(isBlue(back.image.pixel(2, 2))) << c.name;
  }
  PhotoBoxGlobal::SavePictureFile(Picture(sample(80, 60)), path("out.jpg"), 0);
  EXPECT_EQ(PhotoBoxGlobal::LoadPictureFile(path("out.jpg")).width(), 80);
  EXPECT_EQ(entries(), QStringList({"out.jpg", "padded.jpg", "plain.jpg", "turned.jpg"}));  // no temporary file
}

TEST_F(PhotoFiles, FailedSaveRaisesAndLeavesTheOldFile) {
  const QString target = path("old.jpg");
  PhotoBoxGlobal::SavePictureFile(Picture(sample()), target, 0);
  const QByteArray old = readFile(target);
  const Picture asIs = PhotoBoxGlobal::LoadPictureFile(target);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(Picture(), target, 0); }).first, 380);
  ASSERT_TRUE(QDir(dir.path()).mkdir("sub.jpg"));
  for (const QString& bad : {path("nofolder/x.jpg"), path("sub.jpg")})
    for (const Picture& p : {Picture(sample()), asIs})
      EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(p, bad, 0); }).first, 75);
  EXPECT_EQ(readFile(target), old);
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
  QImage pic(200, 100, QImage::Format_RGB32);
  pic.fill(Qt::blue);
  box.setPicture(Picture(pic));
  QImage shot(100, 100, QImage::Format_RGB32);
  shot.fill(Qt::white);
  box.render(&shot);
  // 200x100 into 100x100: 100x50, centred vertically, full width.
  const std::tuple<int, int, bool> spots[] = {{50, 50, true}, {50, 10, false}, {50, 90, false}, {2, 50, true}};
  for (const auto& [x, y, blue] : spots)
    EXPECT_EQ(QColor(shot.pixel(x, y)) == QColor(Qt::blue), blue) << x << "," << y;

  int clicks = 0;
  QObject::connect(&box, &PhotoBox::clicked, [&] { ++clicks; });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&box, &press);
  EXPECT_EQ(clicks, 1);
}

}  // namespace
