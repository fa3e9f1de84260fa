#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include "decoders.h"
#include "jpeg_files.h"
#include "peak_heap.h"
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

QByteArray encoded(const QImage& img, const char* format) {
  QByteArray out;
  QBuffer b(&out);
  b.open(QIODevice::WriteOnly);
  img.save(&b, format);
  return out;
}

// Every picture goes through the one decoder of its format, its kind taken from the content.
TEST_F(PhotoFiles, ReadsEachFormatByContentAndRefusesWhatIsBeyondTheLimits) {
  QImage logo(6, 4, QImage::Format_ARGB32);
  logo.fill(qRgba(0, 0, 255, 0));
  QImage grey(9, 7, QImage::Format_Grayscale8);
  grey.fill(100);
  const struct {
    QByteArray bytes;
    PictureFile::Status status;
    QSize size;
    int alpha;  // of the top left pixel
  } cases[] = {
      {encoded(logo, "PNG"), PictureFile::Status::Ok, {6, 4}, 0},
      {encoded(logo.convertToFormat(QImage::Format_RGB32), "BMP"), PictureFile::Status::Ok, {6, 4}, 255},
      {encoded(grey, "JPEG"), PictureFile::Status::Ok, {9, 7}, 255},
      {encoded(logo, "TIFF"), PictureFile::Status::Ok, {6, 4}, 0},
      {withClaimedSize(jpegBytes(8, 8), 13000, 4000), PictureFile::Status::TooLarge, {13000, 4000}, -1},
      // Each of its many scans is a pass over the whole picture.
      {scanHeavyJpeg(6000, 6000, 7600), PictureFile::Status::TooManyScans, {6000, 6000}, -1},
      {encoded(logo, "ICO"), PictureFile::Status::Unreadable, {}, -1}};
  for (const auto& c : cases) {
    const PictureFile file = readPictureFile(writeFile(path("foto.jpg"), c.bytes));
    EXPECT_EQ(file.status, c.status) << c.bytes.left(4).toHex().toStdString();
    EXPECT_EQ(file.size, c.size);
    if (c.alpha >= 0) EXPECT_EQ(qAlpha(file.image.pixel(0, 0)), c.alpha);
  }
}

// A picture read for a box is decoded no larger than needed: a JPEG at the smallest of the
// scales 1/8, 1/4, 1/2 and 1 (the fast ones) that still covers the box, upright. A card photo
// a little larger than its box is decoded whole.
TEST(PhotoDecoders, AJpegIsDecodedAtTheSmallestScaleThatCoversItsBox) {
  const QByteArray wide = jpegBytes(400, 300), turned = withOrientation(wide, 6), card = jpegBytes(300, 400);
  const struct {
    const QByteArray& bytes;
    QSize within;
    bool keepAspect;
    QSize decoded;  // stored orientation
  } cases[] = {{wide, {}, true, {400, 300}},           {wide, {100, 75}, true, {100, 75}},
               {wide, {90, 75}, true, {100, 75}},      {wide, {101, 76}, true, {200, 150}},
               {wide, {49, 100}, true, {50, 38}},      {wide, {49, 100}, false, {200, 150}},
               {wide, {500, 500}, true, {400, 300}},   {turned, {75, 100}, true, {100, 75}},
               {turned, {50, 100}, true, {100, 75}},   {wide, {201, 151}, true, {400, 300}},
               {card, {213, 284}, true, {300, 400}},   {card, {150, 200}, true, {150, 200}}};
  for (const auto& c : cases) {
    gdiplus::DecodeOptions options;
    options.within = c.within;
    options.keepAspect = c.keepAspect;
    std::unique_ptr<gdiplus::Image> img;
    QSize stated;
    ASSERT_EQ(gdiplus::decodeImage(reinterpret_cast<const std::uint8_t*>(c.bytes.constData()),
                                   std::size_t(c.bytes.size()), gdiplus::defaultLimits(), options, img, &stated),
              gdiplus::Status::Ok);
    EXPECT_EQ(QSize(img->width(), img->height()), c.decoded) << c.within.width() << "x" << c.within.height();
    EXPECT_EQ(stated, &c.bytes == &card ? QSize(300, 400) : QSize(400, 300));
  }
}

TEST(PhotoDecoders, ScansAreBoundedInNumberAndInPassesOverThePicture) {
  gdiplus::Limits passes;
  passes.maxScanPixels = 64 * 48 * 10;
  const int most = gdiplus::defaultLimits().maxScans;
  const struct {
    int scans;
    const gdiplus::Limits& limits;
    gdiplus::Status status;
  } cases[] = {{12, gdiplus::defaultLimits(), gdiplus::Status::Ok},  // as a camera writes a progressive photo
               {most, gdiplus::defaultLimits(), gdiplus::Status::Ok},
               {most + 1, gdiplus::defaultLimits(), gdiplus::Status::ValueOverflow},
               {most * 20, gdiplus::defaultLimits(), gdiplus::Status::ValueOverflow},
               {10, passes, gdiplus::Status::Ok},
               {11, passes, gdiplus::Status::ValueOverflow}};
  for (const auto& c : cases) {
    const QByteArray jpeg = scanHeavyJpeg(64, 48, c.scans);
    std::unique_ptr<gdiplus::Image> img;
    EXPECT_EQ(gdiplus::decodeJpeg(reinterpret_cast<const std::uint8_t*>(jpeg.constData()), std::size_t(jpeg.size()),
                                  c.limits, img),
              c.status)
        << c.scans;
  }
}

// A GIF of 1 x 1 frames on a w x h canvas: a few bytes.
QByteArray tinyFramesGif(int w, int h, int frames) {
  QByteArray gif = QByteArray("GIF89a") + char(w & 0xFF) + char(w >> 8) + char(h & 0xFF) + char(h >> 8) +
                   QByteArray("\x80\x00\x00\xFF\x00\x00\x00\xFF\x00", 9);
  for (int i = 0; i < frames; ++i)
    gif += QByteArray("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00", 15);
  return gif + char(0x3B);
}

// The photo road names the real reason for a refusal: a picture too large, a progressive JPEG
// within the size limits whose scans would take too many passes to decode, or an animation
// whose canvas is within the limit for one picture but not for several.
TEST_F(PhotoFiles, ARefusedPhotoSaysWhetherItIsTooLargeOrTakesTooManyPasses) {
  const struct {
    QByteArray bytes;
    const char* says;
    const char* never;
  } cases[] = {{withClaimedSize(jpegBytes(8, 8), 13000, 4000), "Gambar terlalu besar (13000 x 4000 piksel)", "tahap"},
               {scanHeavyJpeg(6000, 6000, 7600), "memerlukan terlalu banyak tahap untuk dibaca", "terlalu besar"},
               {scanHeavyJpeg(640, 480, gdiplus::defaultLimits().maxScans * 4), "(640 x 480 piksel)", "terlalu besar"},
               {tinyFramesGif(9985, 3585, 3), "Gambar bergerak terlalu besar (9985 x 3585 piksel)", "40 megapiksel"}};
  for (const auto& c : cases) {
    const auto [number, text] = errorOf([&] { PhotoBoxGlobal::LoadPictureFile(writeFile(path("foto.jpg"), c.bytes)); });
    EXPECT_EQ(number, 481);
    EXPECT_TRUE(text.contains(QString::fromLatin1(c.says))) << text.toStdString();
    EXPECT_FALSE(text.contains(QString::fromLatin1(c.never))) << text.toStdString();
  }
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

// A 40-megapixel photo within the limits is read by each road in well under 400 MB. A JPEG
// read whole (progressive) with full colour detail would take its coefficients beside the
// picture: refused at full size before its scans are read, read for a card photo box.
TEST_F(PhotoFiles, EveryRoadReadsAPictureAtTheLimitsWithinItsMemory) {
  if (!testsupport::PeakHeap::available()) GTEST_SKIP() << "the heap is measured through the address sanitizer's hooks";
  constexpr int w = 6000, h = 6666;
  constexpr std::int64_t bound = 400'000'000, picture = std::int64_t(w) * h * 4;
  const struct {
    const char* what;
    bool fullChroma, progressive;
    QSize box;
    PictureFile::Status status;
    std::int64_t least;  // what the read must at least have taken: the measure saw it
  } cases[] = {
      {"progressive, full colour, full size", true, true, {}, PictureFile::Status::TooMuchMemory, 0},
      {"progressive, full colour, card box", true, true, {300, 400}, PictureFile::Status::Ok, picture * 3 / 2},
      {"progressive, halved colour, full size", false, true, {}, PictureFile::Status::Ok, picture},
      {"baseline, full colour, full size", true, false, {}, PictureFile::Status::Ok, picture},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString file = writeFile(path("foto.jpg"), gradientJpeg(w, h, c.fullChroma, c.progressive));
    std::int64_t peak = 0;
    PictureFile read;
    {
      PeakHeap heap;
      read = readPictureFile(file, c.box);
      peak = heap.peak();
    }
    EXPECT_EQ(read.status, c.status);
    EXPECT_EQ(read.size, QSize(w, h));
    EXPECT_GE(peak, c.least);
    EXPECT_LT(peak, bound) << "peak " << peak / 1e6 << " MB";
    if (c.status == PictureFile::Status::TooMuchMemory)
      EXPECT_EQ(errorOf([&] { PhotoBoxGlobal::LoadPictureFile(file); }),
                std::make_pair(long(vb::kErrInvalidPicture), tooMuchMemoryMessage(QSize(w, h))));
  }
}
