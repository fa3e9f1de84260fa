// The animated PNG reader over files the tests write: frames are Qt's own PNG data, taken
// apart and put together again as APNG chunks.
#include <gtest/gtest.h>

#include "byte_builder.h"
#include "picture_readers.h"
#include "readers_apng.h"

using imaging_test::Bytes;

namespace {

Bytes chunk(const char* type, const Bytes& data) {
  const Bytes typed = Bytes().text(type).raw(data.span());
  return Bytes().be32(std::uint32_t(data.size())).raw(typed.span()).be32(imaging::chunkCrc(typed.v.data(), typed.size()));
}

// The compressed image data of a picture as Qt writes it.
Bytes idatOf(const QImage& img) {
  const auto png = imaging_test::pngOf(img.convertToFormat(QImage::Format_ARGB32));
  Bytes out;
  for (std::size_t pos = 8; pos + 12 <= png.size();) {
    const std::uint32_t len = (png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
    if (std::memcmp(&png[pos + 4], "IDAT", 4) == 0) out.raw(std::span(png).subspan(pos + 8, len));
    pos += len + 12;
  }
  return out;
}

QImage filled(int w, int h, QRgb c) {
  QImage img(w, h, QImage::Format_ARGB32);
  img.fill(c);
  return img;
}

struct Frame {
  QImage img;
  int x = 0, y = 0, num = 1, den = 10, dispose = 0, blend = 0;
  int seq = -1;  // -1: the next one
};

// An APNG of `width` x `height`; the default image is frame 0 unless `defaultImage` is given.
struct Apng {
  int width = 4, height = 4;
  std::vector<Frame> frames;
  std::int64_t frameCount = -1;  // -1: the number of frames
  std::int32_t loops = 0;
  QImage defaultImage;
  int widen = 0;       // added to the last frame control's width
  int idatAfter = -1;  // the default image's data behind this frame's (-1: before every frame)

  Bytes build() const {
    Bytes b;
    b.raw(std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    b.raw(chunk("IHDR", Bytes().be32(std::uint32_t(width)).be32(std::uint32_t(height)).u8(8).u8(6).u8(0).u8(0).u8(0)).span());
    b.raw(chunk("acTL", Bytes().be32(std::uint32_t(frameCount < 0 ? frames.size() : frameCount)).be32(std::uint32_t(loops))).span());
    std::uint32_t seq = 0;
    auto defaultData = [&] { b.raw(chunk("IDAT", idatOf(defaultImage)).span()); };
    if (!defaultImage.isNull() && idatAfter < 0) defaultData();
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const Frame& f = frames[i];
      Bytes fc;
      fc.be32(f.seq < 0 ? seq : std::uint32_t(f.seq)).be32(std::uint32_t(f.img.width() + (i + 1 == frames.size() ? widen : 0)));
      fc.be32(std::uint32_t(f.img.height())).be32(std::uint32_t(f.x)).be32(std::uint32_t(f.y));
      fc.u8(f.num >> 8).u8(f.num).u8(f.den >> 8).u8(f.den).u8(std::uint8_t(f.dispose)).u8(std::uint8_t(f.blend));
      b.raw(chunk("fcTL", fc).span());
      seq = (f.seq < 0 ? seq : std::uint32_t(f.seq)) + 1;
      if (i == 0 && defaultImage.isNull()) {
        b.raw(chunk("IDAT", idatOf(f.img)).span());
      } else {
        b.raw(chunk("fdAT", Bytes().be32(seq).raw(idatOf(f.img).span())).span());
        ++seq;
      }
      if (!defaultImage.isNull() && idatAfter == int(i)) defaultData();
    }
    b.raw(chunk("IEND", Bytes()).span());
    return b;
  }
};

imaging::ApngResult read(const Bytes& b) {
  imaging::LoadOptions o;
  return imaging::readApng(b.span(), o);
}

const QRgb kRed = qRgba(255, 0, 0, 255), kBlue = qRgba(0, 0, 255, 255), kClear = 0;

}  // namespace

TEST(ApngReader, ComposesFramesWithTheirDisposeAndBlend) {
  Apng a;
  a.loops = 3;
  a.frames = {{filled(4, 4, kRed), 0, 0, 1, 0, 2},                      // dispose 2 on frame 0 acts as 1
              {filled(2, 2, qRgba(0, 0, 255, 128)), 1, 1, 1, 1000, 0, 1},  // drawn over the cleared canvas
              {filled(2, 2, kBlue), 2, 2, 15, 1000, 2, 0},              // back to the previous canvas
              {filled(1, 1, kRed), 0, 0, 3, 25, 1, 0}};                 // the last frame disposes nothing
  const auto res = read(a.build());
  EXPECT_EQ(res.flags, 0x1F000001u);
  EXPECT_EQ(res.props, (imaging::PicProps{{4, 4, 4 * 16}}));
  EXPECT_EQ(res.loopCount, 3);
  ASSERT_EQ(res.frames.size(), 4u);
  std::vector<int> delays;
  for (const auto& f : res.frames) delays.push_back(f.delay);
  EXPECT_EQ(delays, (std::vector<int>{1, 0, 2, 12}));
  EXPECT_EQ(res.frames[0].image.pixel(3, 3), kRed);
  EXPECT_EQ(res.frames[1].image.pixel(0, 0), kClear);
  EXPECT_EQ(res.frames[1].image.pixel(1, 1), qRgba(0, 0, 255, 128));
  EXPECT_EQ(res.frames[2].image.pixel(3, 3), kBlue);
  EXPECT_EQ(res.frames[2].image.pixel(1, 1), qRgba(0, 0, 255, 128));
  EXPECT_EQ(res.frames[3].image.pixel(3, 3), kClear);  // frame 2 went back to the canvas before it
  EXPECT_EQ(res.frames[3].image.pixel(0, 0), kRed);

  // Image data before any frame control: the default image is not a frame, frame 0 comes
  // from its frame data.
  Apng hidden;
  hidden.defaultImage = filled(4, 4, kBlue);
  hidden.frames = {{filled(4, 4, kRed)}, {filled(2, 2, kBlue), 0, 0, 1, 1, 0, 1}};
  const auto h = read(hidden.build());
  ASSERT_EQ(h.frames.size(), 2u);
  EXPECT_EQ(h.frames[0].image.pixel(0, 0), kRed);
  EXPECT_EQ(h.loopCount, 0);

  // As the pages of one image: the delays always, the loop count only when it is not endless.
  for (const auto& [loops, property] : {std::pair{0, false}, {3, true}}) {
    Apng pages = hidden;
    pages.loops = loops;
    const auto stream = gdi::Stream::onBytes(pages.build().v);
    const auto image = imaging::libraryReaders().apngFrames(*stream, stream->size());
    ASSERT_TRUE(image) << loops;
    EXPECT_TRUE(image->property(gdiplus::PropertyTagFrameDelay)) << loops;
    const gdiplus::PropertyItem* loop = image->property(gdiplus::PropertyTagLoopCount);
    EXPECT_EQ(loop != nullptr, property) << loops;
    if (loop) EXPECT_EQ(loop->value, (std::vector<std::uint8_t>{3, 0}));
  }
}

TEST(ApngReader, AFaultyAnimationIsAStillPicture) {
  auto two = [] {
    Apng a;
    a.frames = {{filled(4, 4, kRed)}, {filled(2, 2, kBlue), 1, 1}};
    return a;
  };
  struct Case {
    const char* name;
    Bytes file;
  };
  Apng one = two(), many = two(), seq = two(), wide = two(), early = two(), far = two();
  one.frameCount = 1;
  many.frameCount = 4096;
  seq.frames[1].seq = 2;
  wide.widen = 2;  // x 1 + width 4 is one past the image
  early.defaultImage = filled(4, 4, kRed);
  early.idatAfter = 0;  // frame data before any image data
  far.frames[1].x = 0x7FFFFFFF;  // x + width wraps in 32 bits
  const Bytes good = two().build();
  const Bytes badCrc = Bytes(good).set(8 + 25 + 12, good.v[8 + 25 + 12] ^ 1);  // inside acTL's data
  const Bytes cut = Bytes(good).cut(good.size() - 12);                            // no IEND
  const Bytes negative = Bytes(good).set(8 + 25 + 20, 0x80);                      // fcTL's length
  const Case cases[] = {
      {"frame count 1", one.build()},       {"frame count 4096", many.build()},
      {"sequence 2 for 1", seq.build()},    {"one pixel wider", wide.build()},
      {"acTL CRC", badCrc},                 {"frame data before image data", early.build()},
      {"x + width past 32 bits", far.build()},
  };
  for (const Case& c : cases) {
    const auto res = read(c.file);
    EXPECT_EQ(res.flags & 0xFF000000u, 0x7000000u) << c.name;
    ASSERT_EQ(res.frames.size(), 1u) << c.name;
    EXPECT_EQ(res.frames[0].image.pixel(0, 0), kRed) << c.name;
  }
  Apng most = two();
  most.frameCount = 4095;
  imaging::ApngReader reader;
  EXPECT_EQ(reader.scanChunks(most.build().span(), 4, 4), 4095);
  EXPECT_EQ(reader.scanChunks(negative.span(), 4, 4), 0);
  for (auto [loops, kept] : {std::pair{-5, 0}, {70000, 65535}}) {
    Apng a = two();
    a.loops = loops;
    EXPECT_EQ(reader.scanChunks(a.build().span(), 4, 4), 2);
    EXPECT_EQ(reader.loopCount(), kept);
  }
  for (std::size_t n = 8; n < cut.size(); n += 7) EXPECT_EQ(reader.scanChunks(cut.span().first(n), 4, 4), 0) << n;
  EXPECT_EQ(read(most.build()).frames.size(), 1u);  // frames without data: nothing to compose
  EXPECT_EQ(read(Bytes().text("GIF89a")).flags, 0u);
  EXPECT_EQ(imaging::chunkCrc(reinterpret_cast<const std::uint8_t*>("IEND"), 4), 0xAE426082u);
}
