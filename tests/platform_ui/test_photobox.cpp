#include <gtest/gtest.h>

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "photo_files.h"
#include "photobox.h"
#include "vb.h"

using namespace photobox;
using namespace testsupport;

namespace {

// The error a call raises: its number and description; {0, ""} when it succeeds.
std::pair<long, QString> errorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return {e.number, e.description};
  }
  return {0, {}};
}

class PhotoFiles : public ::testing::Test {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  QTemporaryDir dir;
};

TEST(PhotoNames, OneRuleNamesEveryMemberPhotoInsideThePhotoFolder) {
  const QStringList nis{"12/3",     "12\\3",  "2024/002", "..", ".a.b", "a..b/..", QString::fromLatin1("a\0b", 3),
                        "a\tb\x7f", "AB 1:x", ""};
  const QStringList names{"12-3.jpg",    "12-3.jpg", "2024-002.jpg", "--.jpg",     "-a.b.jpg",
                          "a..b-...jpg", "a-b.jpg",  "a-b-.jpg",     "AB 1:x.jpg", ""};
  for (int i = 0; i < nis.size(); ++i) EXPECT_EQ(photoFileName(nis[i]), names[i]) << nis[i].toStdString();
  vb::setProgramFolder("/school");
  EXPECT_EQ(memberPhotoFile("12/3"), "/school/photos/12-3.jpg");
}

TEST_F(PhotoFiles, RefusesMissingAndBrokenFilesAndReadsUprightWithinABox) {
  const QString cut = writeFile(path("cut.jpg"), jpegBytes(40, 30).left(20));
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(path("none.jpg")); }).first, vb::kErrFileNotFound);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(cut); }), std::make_pair(481L, QString("Invalid picture")));
  writeFile(path("turned.jpg"), withOrientation(jpegBytes(40, 20), 6));
  // The card reads within its photo box; turned upright, the picture fills that box.
  const QImage up = readPictureFile(path("turned.jpg"), QSize(10, 20)).image;
  EXPECT_EQ(up.size(), QSize(10, 20));
  EXPECT_GT(qBlue(up.pixel(5, 1)), 200);  // the stored left edge is the top
  EXPECT_LT(qBlue(up.pixel(5, 18)), 60);
}

TEST_F(PhotoFiles, SaveEncodesWhatCannotBeKeptUprightOrAsPngAndFailsWithoutHarm) {
  const QByteArray plain = jpegBytes(40, 30);
  QImage logo(20, 20, QImage::Format_ARGB32);
  logo.fill(Qt::transparent);
  const std::pair<Picture, QByteArray> cases[] = {
      {PhotoBoxGlobal::LoadPictureFile(writeFile(path("big.jpg"), plain + QByteArray(kMaxPhotoFileBytes, '\0'))),
       "jpeg"},
      {PhotoBoxGlobal::LoadPictureFile(writeFile(path("turned.jpg"), withOrientation(plain, 8))), "jpeg"},
      {Picture(logo), "png"}};  // a logo keeps its transparency
  for (const auto& [picture, format] : cases) {
    PhotoBoxGlobal::SavePictureFile(picture, path("out.jpg"), 0);
    EXPECT_EQ(QImageReader(path("out.jpg")).format(), format);
    const PictureFile back = readPictureFile(path("out.jpg"));
    EXPECT_EQ(back.image.size(), picture.image().size());
    EXPECT_EQ(back.jpeg.isEmpty(), format == "png");  // an upright JPEG within the limit: kept as it is
  }
  EXPECT_EQ(qAlpha(readPictureFile(path("out.jpg")).image.pixel(0, 0)), 0);
  // A failed save raises and leaves the old file, and no temporary file behind.
  const QByteArray old = readFile(path("out.jpg"));
  for (const Picture& p : {cases[0].first, Picture(QImage(5, 5, QImage::Format_RGB32))})
    EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(p, path("nofolder/out.jpg"), 0); }).first, 75);
  EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::SavePictureFile(Picture(), path("out.jpg"), 0); }).first, 380);
  EXPECT_EQ(readFile(path("out.jpg")), old);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(PhotoFiles, ElementPicturesOfKindNineAreRealGifs) {
  // A logo with a transparent corner, and a photo of more colours than a GIF holds.
  QImage logo(16, 12, QImage::Format_ARGB32);
  logo.fill(qRgb(200, 30, 30));
  logo.setPixel(0, 0, qRgba(0, 0, 0, 0));
  QImage photo(64, 64, QImage::Format_RGB32);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) photo.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
  for (const QImage& img : {logo, photo}) {
    PhotoBoxGlobal::SavePictureFile(Picture(img), path("Front_logo1.GIF"), 9);
    EXPECT_EQ(readFile(path("Front_logo1.GIF")).left(6), "GIF89a");
    const QImage back = PhotoBoxGlobal::LoadPictureFile(path("Front_logo1.GIF")).image();
    ASSERT_EQ(back.size(), img.size());
    EXPECT_LT(std::abs(qRed(back.pixel(10, 10)) - qRed(img.pixel(10, 10))), 40);
  }
  EXPECT_EQ(qAlpha(PhotoBoxGlobal::LoadPictureFile(path("Front_logo1.GIF")).image().pixel(0, 0)), 255);
  PhotoBoxGlobal::SavePictureFile(Picture(logo), path("Front_logo1.GIF"), 9);
  const QImage back = PhotoBoxGlobal::LoadPictureFile(path("Front_logo1.GIF")).image();
  EXPECT_EQ(qAlpha(back.pixel(0, 0)), 0);
  EXPECT_EQ(back.pixel(5, 5), qRgb(200, 30, 30));
}

}  // namespace
