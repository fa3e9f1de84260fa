// Captured frames to pictures and pictures to files.
#include <gtest/gtest.h>

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstring>

#include "DirectShowDIB.h"
#include "PicSave.h"
#include "photo_files.h"
#include "vb.h"

using namespace testsupport;

namespace {

// A packed frame: the 40-byte header, then `tail` (colour table or masks, then the bits).
std::vector<std::int32_t> packed(std::int32_t w, std::int32_t h, int bpp, std::uint32_t compression,
                                 std::uint32_t clrUsed, const QByteArray& tail) {
  QByteArray bytes(40, '\0');
  const std::uint32_t size = 40;
  const std::uint16_t planes = 1, bits = std::uint16_t(bpp);
  std::memcpy(bytes.data(), &size, 4);
  std::memcpy(bytes.data() + 4, &w, 4);
  std::memcpy(bytes.data() + 8, &h, 4);
  std::memcpy(bytes.data() + 12, &planes, 2);
  std::memcpy(bytes.data() + 14, &bits, 2);
  std::memcpy(bytes.data() + 16, &compression, 4);
  std::memcpy(bytes.data() + 32, &clrUsed, 4);
  bytes += tail;
  bytes.resize((bytes.size() + 3) / 4 * 4, '\0');
  std::vector<std::int32_t> out(size_t(bytes.size() / 4));
  std::memcpy(out.data(), bytes.constData(), size_t(bytes.size()));
  return out;
}

QByteArray hex(const char* h) { return QByteArray::fromHex(h); }

TEST(CapturedFrame, ConvertsEveryPackingOrFailsWithTheStepAndCode) {
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), white = qRgb(255, 255, 255);
  struct Case {
    const char* what;
    std::vector<std::int32_t> frame;
    std::vector<QRgb> pixels;  // top row first; empty when the frame fails
    QString description;
  };
  const Case cases[] = {
      {"bottom-up 24-bit",
       packed(2, 2, 24, 0, 0,
              hex("ff0000ffffff0000"
                  "0000ff00ff000000")),
       {red, green, blue, white},
       ""},
      {"wrong bit count", packed(2, 2, 12, 0, 0, QByteArray(64, 0)), {}, "CreateDIBSection error 0x00000057 (87)"},
      {"top-down 32-bit",
       packed(2, -2, 32, 0, 0,
              hex("0000ff0000ff0000"
                  "ff000000ffffff00")),
       {red, green, blue, white},
       ""},
      {"8-bit palette",
       packed(2, 2, 8, 0, 2,
              hex("0000ff00ff000000"
                  "01000000"
                  "00010000")),
       {red, blue, blue, red},
       ""},
      {"bit fields 5-6-5 after the header",
       packed(2, -2, 16, 3, 0,
              hex("00f80000e00700001f000000"
                  "00f8e007"
                  "1f00ffff")),
       {red, green, blue, white},
       ""},
      {"truncated bits", packed(640, 480, 24, 0, 0, QByteArray(1000, 0)), {}, "SetDIBits error 0x00000057 (87)"},
      {"colour table past the end",
       packed(2, 2, 32, 0, 0xFFFFFFFF, QByteArray(16, 0)),
       {},
       "SetDIBits error 0x00000057 (87)"},
      {"larger than any picture",
       packed(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, {}),
       {},
       "CreateDIBSection error 0x00000008 (8)"},
      {"palette larger than the bit count",
       packed(2, 2, 1, 0, 3, QByteArray(32, 0)),
       {},
       "CreateDIBSection error 0x00000057 (87)"},
      {"masks that are no run of bits",
       packed(2, 2, 16, 3, 0, hex("05000000e00700001f000000") + QByteArray(8, 0)),
       {},
       "CreateDIBSection error 0x00000057 (87)"},
      {"header only", std::vector<std::int32_t>(5, 40), {}, "CreateDIBSection error 0x00000057 (87)"},
  };
  DirectShowDIB& dib = DirectShowDIB::instance();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QImage img = dib.CreatePicture(c.frame);
    EXPECT_EQ(dib.LastDescription, c.description);
    EXPECT_EQ(dib.LastError, c.pixels.empty() ? c.description.section('(', 1).chopped(1).toInt() : 0);
    if (c.pixels.empty()) {
      EXPECT_TRUE(img.isNull());
      continue;
    }
    ASSERT_EQ(img.size(), QSize(2, 2));
    EXPECT_EQ((std::vector<QRgb>{img.pixel(0, 0), img.pixel(1, 0), img.pixel(0, 1), img.pixel(1, 1)}), c.pixels);
  }
  QImage frame(3, 2, QImage::Format_RGB32);  // the window's own frames go through unchanged
  frame.fill(Qt::yellow);
  frame.setPixel(2, 1, blue);
  EXPECT_EQ(dib.CreatePicture(DirectShowDIB::packFrame(frame)), frame);
  EXPECT_THROW(dib.CreatePicture({}), vb::VbError);
}

TEST(PictureFile, WritesGifJpegPngOrRaisesItsNumberedErrors) {
  QTemporaryDir dir;
  const QString file = dir.filePath("foto.img");
  QImage pic(40, 30, QImage::Format_RGB32);
  pic.fill(Qt::darkCyan);
  PicSave& save = PicSave::instance();
  struct Case {
    QImage picture;
    QString file;
    long format, quality;
    long number;  // 0: written
    QString description;
    QByteArray read;  // the format read back
  };
  const Case cases[] = {
      {pic, file, 0, 70, 0, "", "gif"},
      {pic, file, 1, 70, 0, "", "jpeg"},  // replaces the GIF
      {pic, file, 2, 100, 0, "", "png"},
      {pic, file, 3, 70, 5, "Invalid procedure call or argument", "png"},
      {pic, file, 0, 0, 5, "Invalid procedure call or argument", "png"},
      {pic, file, 2, 101, 5, "Invalid procedure call or argument", "png"},
      {QImage(), file, 1, 70, 5, "Invalid procedure call or argument", "png"},
      {pic, dir.filePath("none/foto.img"), 1, 70, PicSave::kErrOpen, "SHCreateStreamOnFile error -2147024893", ""},
      {pic, dir.path(), 2, 70, PicSave::kErrOpen, "SHCreateStreamOnFile error -2147024891", ""},
      // Beyond what a GIF can hold: the old file stays whole instead of an empty one.
      {QImage(70000, 1, QImage::Format_RGB32), file, 0, 70, PicSave::kErrSave, "GdipSaveImageToStream error 7", "png"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description.toStdString() + " " + std::to_string(c.format));
    long number = 0;
    QString description;
    try {
      save.SavePicture(c.picture, c.file, c.format, c.quality);
    } catch (const vb::VbError& e) {
      number = e.number;
      description = e.description;
      EXPECT_EQ(e.source, number == 5 ? "" : "PicSave");
    }
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(description, c.description);
    QImageReader reader(c.file);
    EXPECT_EQ(reader.format(), c.read);
    if (!c.read.isEmpty()) EXPECT_EQ(reader.size(), QSize(40, 30));
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"foto.img"});  // no temporary files left
  const QString q70 = dir.filePath("70.jpg"), q100 = dir.filePath("100.jpg");
  save.SavePicture(pic, q70, 1, 70);
  save.SavePicture(pic, q100, 1, 100);
  EXPECT_NE(readFile(q70), readFile(q100));
}

}  // namespace
