// The GIF decoder over hostile files: pixels whose colour indexes run past a short colour
// table, and small files that state a large canvas or many full frames, whose reading must
// take memory for about one canvas, not one for every frame.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoders.h"
#include "gif_writer.h"
#include "peak_heap.h"

namespace {

using Indices = std::vector<std::uint8_t>;

// LZW data of literal codes only, a clear code before the table would grow: any index below
// 2^codeSize is written as it is, whatever colour table the file has.
QByteArray literalLzw(const Indices& pixels, int codeSize) {
  const int clear = 1 << codeSize, width = codeSize + 1, run = std::max(1, clear - 3);
  QByteArray data;
  std::uint32_t acc = 0;
  int bits = 0;
  const auto put = [&](int code) {
    acc |= std::uint32_t(code) << bits;
    for (bits += width; bits >= 8; bits -= 8, acc >>= 8) data += char(acc & 0xFF);
  };
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % std::size_t(run) == 0) put(clear);
    put(pixels[i]);
  }
  put(clear + 1);
  if (bits) data += char(acc & 0xFF);
  QByteArray out(1, char(codeSize));
  for (qsizetype at = 0; at < data.size(); at += 255) {
    const QByteArray block = data.mid(at, 255);
    out += char(block.size());
    out += block;
  }
  return out + char(0);
}

struct GifFrame {
  int w, h;
  Indices pixels;
  std::vector<QRgb> localTable;  // none: the global one
  int transparent = -1;
};

void u16(QByteArray& out, int v) {
  out += char(v & 0xFF);
  out += char(v >> 8);
}

// Colour tables hold 2^n entries; a table given shorter is padded with white.
void table(QByteArray& out, const std::vector<QRgb>& colours, int entries) {
  for (int i = 0; i < entries; ++i) {
    const QRgb c = i < int(colours.size()) ? colours[std::size_t(i)] : qRgb(255, 255, 255);
    out += char(qRed(c));
    out += char(qGreen(c));
    out += char(qBlue(c));
  }
}

int tableBits(std::size_t n) {
  int bits = 1;
  while ((std::size_t(1) << bits) < n) ++bits;
  return bits;
}

// A GIF built byte by byte, its frames' indexes written with 8-bit codes.
QByteArray handMadeGif(int w, int h, const std::vector<QRgb>& global, const std::vector<GifFrame>& frames) {
  QByteArray out("GIF89a");
  u16(out, w);
  u16(out, h);
  const int gbits = tableBits(global.size());
  out += char(global.empty() ? 0 : 0x80 | (gbits - 1));
  out += char(0);
  out += char(0);
  if (!global.empty()) table(out, global, 1 << gbits);
  for (const GifFrame& f : frames) {
    if (f.transparent >= 0) {
      out += QByteArray("\x21\xF9\x04\x01\x00\x00", 6);
      out += char(f.transparent);
      out += char(0);
    }
    out += char(0x2C);
    u16(out, 0);
    u16(out, 0);
    u16(out, f.w);
    u16(out, f.h);
    const int lbits = tableBits(f.localTable.size());
    out += char(f.localTable.empty() ? 0 : 0x80 | (lbits - 1));
    if (!f.localTable.empty()) table(out, f.localTable, 1 << lbits);
    out += literalLzw(f.pixels, 8);
  }
  return out + char(0x3B);
}

std::unique_ptr<gdiplus::Image> decoded(const QByteArray& bytes, gdiplus::Status* status = nullptr) {
  std::unique_ptr<gdiplus::Image> img;
  const gdiplus::Status s = gdiplus::loadImageFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                                        std::size_t(bytes.size()), img);
  if (status) *status = s;
  return img;
}

// A colour table shorter than the indexes the pixels use: every index past it reads as opaque
// black, never as memory beyond the table; the transparent index stays transparent wherever
// it points.
TEST(GifDecoder, IndexesPastAShortColourTableGiveOpaqueBlack) {
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
  struct Case {
    const char* what;
    std::vector<QRgb> global;
    GifFrame frame;
    std::vector<QRgb> expected;  // left to right
  };
  const Case cases[] = {
      {"two global colours", {red, green}, {4, 1, {0, 1, 2, 255}}, {red, green, qRgb(0, 0, 0), qRgb(0, 0, 0)}},
      {"local table of three",
       {red, green},
       {4, 1, {2, 3, 200, 0}, {blue, green, red}},
       {red, qRgb(255, 255, 255), qRgb(0, 0, 0), blue}},
      {"no table at all", {}, {3, 1, {0, 7, 255}}, {qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0)}},
      {"transparent index past the table", {red, green}, {3, 1, {1, 250, 0}, {}, 250}, {green, 0u, red}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int w = int(c.expected.size());
    gdiplus::Status status;
    const auto img = decoded(handMadeGif(w, 1, c.global, {c.frame}), &status);
    ASSERT_EQ(status, gdiplus::Status::Ok);
    for (int x = 0; x < w; ++x) EXPECT_EQ(img->pixels().pixel(x, 0), c.expected[std::size_t(x)]) << x;
  }
}

// Whoever plays an animation keeps it decoded beside the picture shown of it: its canvas
// counts once for every frame up to two against the pixel limit. A picture of one frame may
// take the whole limit.
TEST(GifDecoder, AnAnimationsCanvasCountsTwiceAgainstThePixelLimit) {
  using gdiplus::Refusal;
  using gdiplus::Status;
  const std::int64_t most = gdiplus::defaultLimits().maxPixels;
  struct Case {
    int w, h, frames;
    Status status;
    Refusal why;
  };
  const Case cases[] = {
      {8192, 4128, 1, Status::Ok, Refusal::None},  // a small file stating a large canvas
      {9985, 3585, 3, Status::ValueOverflow, Refusal::Animation},
      {5000, int(most / 2 / 5000), 2, Status::Ok, Refusal::None},
      {5000, int(most / 2 / 5000) + 1, 2, Status::ValueOverflow, Refusal::Animation},
      {13000, 100, 1, Status::ValueOverflow, Refusal::Size},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h << ", " << c.frames << " frames");
    const QByteArray gif = handMadeGif(c.w, c.h, {qRgb(255, 0, 0)}, std::vector<GifFrame>(c.frames, {1, 1, {0}}));
    ASSERT_LT(gif.size(), 200);
    std::unique_ptr<gdiplus::Image> img;
    QSize stated;
    Refusal why = Refusal::None;
    EXPECT_EQ(gdiplus::decodeImage(reinterpret_cast<const std::uint8_t*>(gif.constData()), std::size_t(gif.size()),
                                   gdiplus::defaultLimits(), {}, img, &stated, &why),
              c.status);
    EXPECT_EQ(why, c.why);
    EXPECT_EQ(stated, QSize(c.w, c.h));
    if (img) EXPECT_EQ(img->pixels().pixel(0, 0), qRgb(255, 0, 0));
  }
}

// Frames are composed on one canvas: played forward, back to the start, and after each
// disposal the canvas shows what the frames before it leave.
TEST(GifDecoder, FramesComposeWithTheirDisposalForwardAndBack) {
  const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
  // Frame 0 fills the 4 x 1 canvas red; frame 1 paints two pixels green from `left`; frame 2
  // paints the right pixel blue. Frame 1's disposal decides what frame 2 is drawn over.
  struct Case {
    int disposal, left;
    std::vector<QRgb> second, third;  // the canvas at frames 1 and 2
  };
  const Case cases[] = {{1, 0, {green, green, red, red}, {green, green, red, blue}},
                        {2, 0, {green, green, red, red}, {0, 0, red, blue}},
                        {3, 0, {green, green, red, red}, {red, red, red, blue}},
                        {3, 9, {red, red, red, red}, {red, red, red, blue}}};  // off the canvas
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "disposal " << c.disposal << " at " << c.left);
    QByteArray gif = handMadeGif(4, 1, {red, green, blue}, {{4, 1, {0, 0, 0, 0}}, {2, 1, {1, 1}}});
    gif.chop(1);
    // Frame 1's graphic control before it, and a third frame at x = 3.
    const QByteArray control = QByteArray("\x21\xF9\x04", 3) + char(c.disposal << 2) + QByteArray(4, 0);
    const qsizetype second = gif.lastIndexOf(QByteArray("\x2C\x00\x00\x00\x00\x02\x00", 7));
    ASSERT_GT(second, 0);
    gif[second + 1] = char(c.left);
    gif.insert(second, control);
    gif += QByteArray("\x2C\x03\x00\x00\x00\x01\x00\x01\x00\x00", 10) + literalLzw({2}, 8) + char(0x3B);
    const auto img = decoded(gif);
    ASSERT_TRUE(img);
    ASSERT_EQ(img->frameCount(gdiplus::FrameDimensionTime()), 3u);
    const std::vector<std::vector<QRgb>> expected = {{red, red, red, red}, c.second, c.third};
    for (unsigned i : {0u, 1u, 2u, 0u, 2u, 1u}) {
      ASSERT_EQ(img->selectActiveFrame(gdiplus::FrameDimensionTime(), i), gdiplus::Status::Ok);
      for (int x = 0; x < 4; ++x) EXPECT_EQ(img->pixels().pixel(x, 0), expected[i][std::size_t(x)]) << i << "," << x;
    }
  }
}


// Reading a frame, playing every frame forward and back and locking the pixels whole (as the
// picture library's alpha check does) takes the canvas, its locked copy and, for a frame that
// restores what it covers, that area: however many frames the file holds and however little
// of the canvas they cover.
TEST(GifDecoder, ReadingEveryFrameTakesTheCanvasNotOneForEveryFrame) {
  if (!testsupport::PeakHeap::available()) GTEST_SKIP() << "the heap is measured through the address sanitizer's hooks";
  struct Case {
    const char* what;
    int w, h, frames, fw, fh, disposal;
    bool lock;
  };
  const Case cases[] = {
      {"large canvas, three one-pixel frames restoring it", 3000, 2000, 3, 1, 1, 3, true},
      {"the same played without a lock", 3000, 2000, 3, 1, 1, 3, false},
      {"eight full frames", 1600, 1200, 8, 1600, 1200, 1, true},
      {"three full frames restoring the canvas", 1600, 1200, 3, 1600, 1200, 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const QByteArray gif = testsupport::solidFramesGif({c.w, c.h, c.frames, c.fw, c.fh, c.disposal});
    ASSERT_LT(gif.size(), 200'000);
    const std::int64_t canvas = std::int64_t(c.w) * c.h * 4;
    const std::int64_t restored = c.disposal == 3 ? std::int64_t(c.fw) * c.fh * 4 : 0;
    std::int64_t peak = 0;
    {
      testsupport::PeakHeap heap;
      const auto img = decoded(gif);
      ASSERT_TRUE(img);
      ASSERT_EQ(img->frameCount(gdiplus::FrameDimensionTime()), unsigned(c.frames));
      for (int i = 0; i < c.frames; ++i)
        ASSERT_EQ(img->selectActiveFrame(gdiplus::FrameDimensionTime(), unsigned(i)), gdiplus::Status::Ok);
      ASSERT_EQ(img->selectActiveFrame(gdiplus::FrameDimensionTime(), 0), gdiplus::Status::Ok);
      gdiplus::BitmapData data;
      if (c.lock) {
        ASSERT_EQ(img->lockBits(nullptr, gdiplus::ImageLockModeRead, gdiplus::PixelFormat32bppARGB, data),
                  gdiplus::Status::Ok);
        EXPECT_EQ(static_cast<const QRgb*>(data.scan0)[0], qRgb(255, 0, 0));
        img->unlockBits(data);
      }
      peak = heap.peak();
    }
    EXPECT_GE(peak, canvas);  // the measure saw the canvas
    EXPECT_LE(peak, canvas * (c.lock ? 9 : 5) / 4 + restored)
        << "peak " << peak / 1e6 << " MB for a canvas of " << canvas / 1e6 << " MB";
  }
}

}  // namespace
