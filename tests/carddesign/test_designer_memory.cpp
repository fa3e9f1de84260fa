// What picking a large background costs the designer in memory.
#include <QFile>
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

// A JPEG background at the limits (40 megapixels) is read, over the settings window as the
// program shows the designer, in well under 400 MB: decoded once at a time, and only the
// library's bitmap and the canvas's picture beside each other.
TEST_F(DesignerMemory, ABackgroundAtTheLimitsIsReadWithinItsMemory) {
  if (!PeakHeap::available()) GTEST_SKIP() << "the heap is measured through the address sanitizer's hooks";
  constexpr int w = 6000, h = 6666;
  constexpr std::int64_t bound = 400'000'000, picture = std::int64_t(w) * h * 4;
  const struct {
    const char* what;
    bool fullChroma, progressive;
  } cases[] = {
      {"baseline, halved colour", false, false},
      {"baseline, full colour", true, false},
      {"progressive, halved colour", false, true},
  };
  open();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString file = tulis("latar.jpg", gradientJpeg(w, h, c.fullChroma, c.progressive));
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
    // The very pixels of the file, as the photo road's decoder gives them.
    const QImage lagi = photobox::readPictureFile(file).image.convertToFormat(QImage::Format_RGB32);
    for (const int y : {0, h / 3, h - 1}) {
      EXPECT_EQ(std::memcmp(shown.constScanLine(y), lagi.constScanLine(y), std::size_t(w) * 4), 0) << y;
      const int t = y * 255 / h;
      EXPECT_TRUE(dekat(shown.pixelColor(w / 2, y), QColor(255 - t, 0, t))) << y;
    }
    EXPECT_GE(peak, picture);  // the measure saw the picture made
    EXPECT_LT(peak, bound) << "peak " << peak / 1e6 << " MB";
    forms::unload(d);
    dialogs.clear();
  }
}

}  // namespace
