// mJpegWriter: what it writes decodes back right, and a failure never costs the old file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "cBitmap24.h"
#include "mJpegWriter.h"
#include "vb.h"

namespace {

struct Decoded {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
  int r(int x, int y) const { return rgb[std::size_t(y * width + x) * 3]; }
  int g(int x, int y) const { return rgb[std::size_t(y * width + x) * 3 + 1]; }
  int b(int x, int y) const { return rgb[std::size_t(y * width + x) * 3 + 2]; }
};

struct DecodeError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
void decodeErrorExit(j_common_ptr c) { std::longjmp(reinterpret_cast<DecodeError*>(c->err)->jump, 1); }

// Decodes with libjpeg itself, independent of the writer; empty on any error.
Decoded decode(const QString& path) {
  Decoded out;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return out;
  const QByteArray data = f.readAll();
  jpeg_decompress_struct cinfo;
  DecodeError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = decodeErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return Decoded{};
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
               static_cast<unsigned long>(data.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  out.width = int(cinfo.output_width);
  out.height = int(cinfo.output_height);
  out.rgb.resize(std::size_t(out.width) * out.height * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = out.rgb.data() + std::size_t(cinfo.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return out;
}

// Sets the pixel at (x, y from the top) of a bottom-up bitmap.
void setPixel(cBitmap24& b, int x, int y, int red, int green, int blue) {
  std::uint8_t* p = b.DIBSectionBitsPtr() + std::int64_t(b.Height() - 1 - y) * b.BytesPerScanLine() + x * 3;
  p[0] = std::uint8_t(blue);
  p[1] = std::uint8_t(green);
  p[2] = std::uint8_t(red);
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeFile(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}
struct stat statOf(const QString& path) {
  struct stat st {};
  EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
  return st;
}

// The error a call throws, or number 0 when it throws none.
template <class F>
vb::VbError errorOf(F&& f) {
  try {
    f();
  } catch (const vb::VbError& e) {
    return e;
  }
  return vb::VbError(0, QString(), QString());
}

class JpegWriter : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }
  QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
  QStringList entries() const {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }
  // A smooth picture: red across, green down, blue fixed.
  static void gradient(cBitmap24& b) {
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) setPixel(b, x, y, x * 255 / b.Width(), y * 255 / b.Height(), 90);
  }
  QTemporaryDir dir;
};

}  // namespace

TEST_F(JpegWriter, DecodesBackTheRightWayUpInTheRightColours) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(64, 48));
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      if (y < 24)
        setPixel(b, x, y, 255, 0, 0);  // top half red
      else if (x < 32)
        setPixel(b, x, y, 0, 255, 0);  // bottom left green
      else
        setPixel(b, x, y, 0, 0, 255);  // bottom right blue
    }
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("a.jpg"), 90));
  const Decoded d = decode(path("a.jpg"));
  ASSERT_EQ(d.width, 64);
  ASSERT_EQ(d.height, 48);
  auto near = [](int v, int want) { return std::abs(v - want) <= 12; };
  EXPECT_TRUE(near(d.r(8, 8), 255) && near(d.g(8, 8), 0) && near(d.b(8, 8), 0));
  EXPECT_TRUE(near(d.r(8, 40), 0) && near(d.g(8, 40), 255) && near(d.b(8, 40), 0));
  EXPECT_TRUE(near(d.r(56, 40), 0) && near(d.g(56, 40), 0) && near(d.b(56, 40), 255));
  EXPECT_EQ(entries(), QStringList{QStringLiteral("a.jpg")});  // no temporary left
}

TEST_F(JpegWriter, SmallMeanErrorAtQuality90) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(97, 61));  // one byte of row padding
  gradient(b);
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("g.jpg"), 90));
  const Decoded d = decode(path("g.jpg"));
  ASSERT_EQ(d.width, 97);
  ASSERT_EQ(d.height, 61);
  double sum = 0;
  for (int y = 0; y < 61; ++y)
    for (int x = 0; x < 97; ++x)
      sum += std::abs(d.r(x, y) - x * 255 / 97) + std::abs(d.g(x, y) - y * 255 / 61) + std::abs(d.b(x, y) - 90);
  EXPECT_LT(sum / (97 * 61 * 3), 2.0);
}

TEST_F(JpegWriter, EveryRowPaddingWidth) {
  for (int w : {1, 2, 3, 4}) {  // 1, 2, 3 and 0 padding bytes
    cBitmap24 b;
    ASSERT_TRUE(b.Create(w, 3));
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < w; ++x) setPixel(b, x, y, 200, 100, 30);
    const QString p = path(QStringLiteral("w%1.jpg").arg(w));
    ASSERT_TRUE(mJpegWriter::SaveJPG(b, p, 90));
    const Decoded d = decode(p);
    ASSERT_EQ(d.width, w);
    ASSERT_EQ(d.height, 3);
    EXPECT_NEAR(d.r(w - 1, 2), 200, 6);
    EXPECT_NEAR(d.g(w - 1, 2), 100, 6);
    EXPECT_NEAR(d.b(w - 1, 2), 30, 6);
  }
}

TEST_F(JpegWriter, QualityOutsideTheScaleTakesTheNearestEnd) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(80, 80));
  b.RandomiseBits(false);
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("low.jpg"), -5));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("one.jpg"), 1));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("high.jpg"), 1000));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("hundred.jpg"), 100));
  EXPECT_EQ(readAll(path("low.jpg")), readAll(path("one.jpg")));
  EXPECT_EQ(readAll(path("high.jpg")), readAll(path("hundred.jpg")));
  EXPECT_LT(readAll(path("one.jpg")).size(), readAll(path("hundred.jpg")).size());
}

TEST_F(JpegWriter, OverwriteKeepsTimesAndMode) {
  const QString p = path("photo.jpg");
  writeFile(p, "old contents");
  ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0640), 0);
  const struct timespec times[2] = {{978307200, 123456789}, {1104537600, 987654321}};  // 2001 and 2005
  ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(p).constData(), times, 0), 0);

  cBitmap24 b;
  ASSERT_TRUE(b.Create(16, 8));
  gradient(b);
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, p, 90));
  const struct stat st = statOf(p);  // before reading it, which moves the access time
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_atim.tv_sec, times[0].tv_sec);
  EXPECT_EQ(st.st_atim.tv_nsec, times[0].tv_nsec);
  EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
  EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec);
  EXPECT_EQ(decode(p).width, 16);
  EXPECT_EQ(entries(), QStringList{QStringLiteral("photo.jpg")});
}

TEST_F(JpegWriter, NewFileGetsDefaultModeAndItsOwnTimes) {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  cBitmap24 b;
  ASSERT_TRUE(b.Create(4, 4));
  const time_t start = ::time(nullptr);
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, path("new.jpg"), 90));
  const struct stat st = statOf(path("new.jpg"));
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
  EXPECT_GE(st.st_mtim.tv_sec, start - 1);
}

TEST_F(JpegWriter, ReadOnlyTargetIsRefusedAndKept) {
  const QString p = path("locked.jpg");
  writeFile(p, "old contents");
  ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0444), 0);
  cBitmap24 b;
  ASSERT_TRUE(b.Create(4, 4));
  const vb::VbError e = errorOf([&] { mJpegWriter::SaveJPG(b, p, 90); });
  EXPECT_EQ(e.number, 75);
  EXPECT_EQ(e.description, QStringLiteral("Path/File access error"));
  EXPECT_EQ(readAll(p), QByteArray("old contents"));
  EXPECT_EQ(statOf(p).st_mode & 07777, 0444u);
  EXPECT_EQ(entries(), QStringList{QStringLiteral("locked.jpg")});
  // A folder of that name is no file to replace either.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub.jpg")));
  EXPECT_EQ(errorOf([&] { mJpegWriter::SaveJPG(b, path("sub.jpg"), 90); }).number, 75);
}

TEST_F(JpegWriter, MissingFolderFailsWithTheWriteError) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(4, 4));
  const vb::VbError e = errorOf([&] { mJpegWriter::SaveJPG(b, path("missing/a.jpg"), 90); });
  EXPECT_EQ(e.number, 26001);
  EXPECT_EQ(e.description, QStringLiteral("Failed to save to JPG -2"));
  EXPECT_TRUE(e.source.endsWith(QStringLiteral(".mJpegWriter")));
  EXPECT_FALSE(e.source.startsWith(QLatin1Char('.')));
  EXPECT_EQ(errorOf([&] { mJpegWriter::SaveJPG(b, QString(), 90); }).number, 26001);
  EXPECT_TRUE(entries().isEmpty());
}

TEST_F(JpegWriter, EmptyBitmapFailsAndKeepsTheOldFile) {
  const QString p = path("keep.jpg");
  writeFile(p, "old contents");
  cBitmap24 never;
  cBitmap24 failed;
  EXPECT_FALSE(failed.Create(0, 10));
  cBitmap24 cleared;
  ASSERT_TRUE(cleared.Create(5, 5));
  cleared.ClearUp();
  for (cBitmap24* b : {&never, &failed, &cleared}) {
    const vb::VbError e = errorOf([&] { mJpegWriter::SaveJPG(*b, p, 90); });
    EXPECT_EQ(e.number, 26001);
    EXPECT_EQ(e.description, QStringLiteral("Failed to save to JPG -1"));
    EXPECT_EQ(readAll(p), QByteArray("old contents"));
  }
  EXPECT_EQ(entries(), QStringList{QStringLiteral("keep.jpg")});
}

TEST_F(JpegWriter, NamesOutsideAsciiAndLinks) {
  cBitmap24 b;
  ASSERT_TRUE(b.Create(6, 5));
  const QString p = path(QStringLiteral("foto Siswa \u00C9\u0107 \u263A.jpg"));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, p, 90));
  EXPECT_EQ(decode(p).height, 5);
  // Through a link the file it points to is replaced; the link stays a link.
  const QString link = path("link.jpg");
  ASSERT_EQ(::symlink(QFile::encodeName(p).constData(), QFile::encodeName(link).constData()), 0);
  ASSERT_TRUE(b.Create(7, 3));
  ASSERT_TRUE(mJpegWriter::SaveJPG(b, link, 90));
  struct stat st {};
  ASSERT_EQ(::lstat(QFile::encodeName(link).constData(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(decode(p).width, 7);
  EXPECT_EQ(entries().size(), 2);
}
