// What picking a large background costs the designer in memory.
#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <cstring>

#include "designer_fixture.h"
#include "jpeg_files.h"
#include "peak_heap.h"
#include "photofile.h"

using namespace testsupport;

namespace {

class DesignerMemory : public DesignerTest {
 protected:
  QString tulis(const QString& name, const QByteArray& bytes) {
    QFile f(pf.path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    return pf.path(name);
  }
};

// A picture with alpha of the size in PNG or TIFF (LZW, small on disk): red falls and blue
// rises from top to bottom, at most `top`, behind one alpha throughout.
QByteArray alphaPicture(int w, int h, const char* format, int top, int alpha) {
  QImage img(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y) {
    const int t = y * top / h;
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < w; ++x) row[x] = qRgba(top - t, 0, t, alpha);
  }
  QByteArray bytes;
  QBuffer b(&bytes);
  b.open(QIODevice::WriteOnly);
  QImageWriter writer(&b, format);
  if (QByteArray(format) == "TIFF") writer.setCompression(1);
  writer.write(img);
  return bytes;
}

// A background at the limits (40 megapixels), a JPEG or a PNG or TIFF with or without alpha, is read,
// over the settings window as the program shows the designer, in under 400 MB: decoded once
// at a time, and only the library's bitmap and the canvas's picture beside each other (the
// library's GDI+ image of a picture with alpha lies over its bitmap's rows).
TEST_F(DesignerMemory, ABackgroundAtTheLimitsIsReadWithinItsMemory) {
  if (!PeakHeap::available()) GTEST_SKIP() << "the heap is measured through the address sanitizer's hooks";
  constexpr int w = 6000, h = 6666;
  constexpr std::int64_t bound = 400'000'000, picture = std::int64_t(w) * h * 4;
  const struct {
    const char* what;
    bool fullChroma, progressive;
    const char* format;  // a picture with alpha in this format, a JPEG when null
    int top, alpha;
  } cases[] = {
      {"baseline, halved colour", false, false, nullptr, 255, 255},
      {"baseline, full colour", true, false, nullptr, 255, 255},
      {"progressive, halved colour", false, true, nullptr, 255, 255},
      // Colours above their alpha: kept as straight alpha.
      {"PNG with alpha", false, false, "PNG", 255, 200},
      {"TIFF with alpha", false, false, "TIFF", 255, 200},
      // Colours within their alpha: kept premultiplied.
      {"PNG with alpha, colours within it", false, false, "PNG", 200, 200},
      // Opaque: flattened into the library's 32-bit bitmap, whose rows the canvas copies.
      {"opaque PNG", false, false, "PNG", 255, 255},
      {"opaque TIFF", false, false, "TIFF", 255, 255},
  };
  open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The picker offers .jpg: any picture named so is read by its content.
    const QString file = tulis("latar.jpg", c.format ? alphaPicture(w, h, c.format, c.top, c.alpha)
                                                     : gradientJpeg(w, h, c.fullChroma, c.progressive));
    dialogs.queueFile(file);
    buka();
    std::int64_t peak = 0;
    {
      PeakHeap heap;
      d->bukaLatar();
      peak = heap.peak();
    }
    EXPECT_TRUE(dialogs.msgBoxes().empty());
    const QImage shown = el("latar").gambar.image();
    ASSERT_EQ(shown.size(), QSize(w, h));
    // The very pixels of the file, as the photo road's decoder gives them, over the white canvas.
    QImage lagi(w, h, QImage::Format_RGB32);
    lagi.fill(Qt::white);
    QPainter(&lagi).drawImage(0, 0, photobox::readPictureFile(file).image);
    for (const int y : {0, h / 3, h - 1}) {
      EXPECT_EQ(std::memcmp(shown.constScanLine(y), lagi.constScanLine(y), std::size_t(w) * 4), 0) << y;
      const int t = y * c.top / h;
      const auto over = [&](int v) { return (v * c.alpha + 255 * (255 - c.alpha)) / 255; };
      EXPECT_TRUE(dekat(shown.pixelColor(w / 2, y), QColor(over(c.top - t), over(0), over(t)))) << y;
    }
    EXPECT_GE(peak, picture);  // the measure saw the picture made
    EXPECT_LT(peak, bound) << "peak " << peak / 1e6 << " MB";
    forms::unload(d);
    dialogs.clear();
  }
}

}  // namespace
