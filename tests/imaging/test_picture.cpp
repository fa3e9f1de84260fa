// The picture class over its host: loading each format through the one road, the queries a
// client makes of what came out, frames and pages, and the host's life with its window.
#include <gtest/gtest.h>

#include <QFile>
#include <QPointer>
#include <QWidget>
#include <QtEndian>
#include <tiffio.h>
#include <memory>

#include "cPicture.h"
#include "dc.h"
#include "decoders.h"
#include "dib.h"
#include "helpers.h"
#include "icon.h"
#include "picture_files.h"
#include "readers_bmp.h"
#include "readers_ico.h"
#include "vb.h"

using namespace imaging_test;
using gdi::StdPicture;

namespace {

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->show();
    pics = std::make_unique<cPicture>();
  }
  StdPicture load(const QByteArray& bytes, int style, bool keep, std::int32_t fill = 0xFFFFFF) {
    dpi = -1;
    return pics->LoadPictureEx(bytes, style, keep, dpi, fill);
  }
  // The colour a picture paints at (x, y) when drawn at its natural size.
  QRgb painted(const StdPicture& p, int x, int y, int w = 0, int h = 0) {
    SourceDc dc(64, 64, 32);
    pics->PaintPictureEx(dc.dc, p, 0, 0, float(w), float(h));
    return dc.dib()->pixel(x, y) | 0xFF000000u;
  }
  std::unique_ptr<QWidget> window;
  std::unique_ptr<cPicture> pics;
  int dpi = 0;
};

// A file the reader tests keep as a seed.
QByteArray seed(const char* name) {
  QFile f(QStringLiteral(LENTAVO_READER_SEEDS "/") + QLatin1String(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// An icon file of one PNG entry.
QByteArray pngIcon(const QImage& img) {
  const QByteArray png = pngFile(img);
  QByteArray f(22, '\0');
  f[2] = f[4] = 1;
  f[6] = char(img.width()), f[7] = char(img.height()), f[10] = 1, f[12] = 32;
  qToLittleEndian<std::uint32_t>(std::uint32_t(png.size()), f.data() + 14);
  qToLittleEndian<std::uint32_t>(22, f.data() + 18);
  return f + png;
}

bool near(QRgb a, QRgb b, int tol = 8) {
  return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
         std::abs(qBlue(a) - qBlue(b)) <= tol;
}

}  // namespace

TEST_F(PictureTest, InstancesShareTheHostOfTheirWindowAndNoneExistsWithoutOne) {
  cPicture second;
  ASSERT_TRUE(pics->host());
  EXPECT_EQ(second.host(), pics->host());
  EXPECT_EQ(window->findChildren<imaging::PictureHost*>().size(), 1);
  EXPECT_EQ(pics->GDIplusVersion(), 1.0f);

  window->hide();
  cPicture lonely;
  EXPECT_FALSE(lonely.host());
  EXPECT_EQ(lonely.GDIplusVersion(), 0.0f);
  // Without a host every picture is a plain one.
  int d = 0;
  StdPicture p = lonely.LoadPictureEx(jpegFile(solid(8, 4, qRgb(0, 0, 255))), 2, true, d, 0);
  ASSERT_TRUE(p);
  EXPECT_EQ(lonely.IsManaged(p), 0);
  EXPECT_EQ(lonely.PictureTypeEx(p), 1);
  EXPECT_FALSE(lonely.HasOriginalFormat(p));
}

// A host built by older code is replaced, under the same window, by the first instance that
// finds it: the new host takes over every record, and the pictures draw on through it. A host
// of this version or a newer one is used as it is.
TEST_F(PictureTest, AnOlderHostIsReplacedAndItsPicturesDrawOn) {
  pics.reset();
  window.reset();
  const int versions[] = {0x1000, imaging::PictureHost::kVersion - 1, imaging::PictureHost::kVersion, 0x3000};
  for (const int version : versions) {
    QWidget w;
    w.show();
    QPointer<imaging::PictureHost> planted = imaging::PictureHost::create(&w, version);
    ASSERT_TRUE(planted && planted->version() == version) << version;
    // Blue bitmaps; the first keeps a red GDI+ image that the host draws instead, the second
    // says it is transparent, the third has a drawing-event record.
    std::vector<StdPicture> pictures;
    for (int i = 0; i < 4; ++i) {
      const gdi::Handle bitmap = gdi::createDIBSection(4, 4, 32);
      auto dib = gdi::find<gdi::Dib>(bitmap);
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) dib->setPixel(x, y, qRgb(0, 0, 255));
      pictures.push_back(cPicture::HandleToStdPicture(bitmap, gdi::PICTYPE_BITMAP));
    }
    ASSERT_TRUE(planted->manage(*pictures[0], 0x100130Au, gdiplus::Image::fromImage(solid(4, 4, qRgb(255, 0, 0)), gdiplus::PixelFormat32bppARGB),
                                nullptr, 0, 2));
    ASSERT_TRUE(planted->manage(*pictures[1], 0x21000001u, nullptr, nullptr, 0, 2));
    ASSERT_TRUE(planted->manage(*pictures[2], 0x1000030u, nullptr, nullptr, 0, 7));
    ASSERT_TRUE(planted->manage(*pictures[3], 0x1000000u, nullptr, nullptr, 0, 2));
    planted->setCallback(pictures[2].get(), std::make_unique<imaging::CallbackRecord>(imaging::CallbackRecord{"k"}));
    planted->unmanage(*pictures[3]);  // a free slot among the records
    const gdiplus::Image* kept = planted->image(pictures[0].get());
    const int freeSlot = planted->recordOf(nullptr);
    const int records[] = {planted->recordOf(pictures[0].get()), planted->recordOf(pictures[1].get()),
                           planted->recordOf(pictures[2].get())};

    cPicture next;
    imaging::PictureHost* host = next.host();
    ASSERT_TRUE(host) << version;
    const bool replaced = version < imaging::PictureHost::kVersion;
    EXPECT_EQ(planted.isNull(), replaced) << version;  // the older host is gone
    EXPECT_EQ(host->version(), std::max(version, int(imaging::PictureHost::kVersion))) << version;
    EXPECT_EQ(host->parent(), &w) << version;
    EXPECT_EQ(w.findChildren<imaging::PictureHost*>().size(), 1) << version;
    EXPECT_EQ(next.GDIplusVersion(), 1.0f) << version;
    EXPECT_EQ(host->liveRecords(), 3) << version;
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(host->recordOf(pictures[std::size_t(i)].get()), records[i]) << version << " " << i;
      EXPECT_EQ(pictures[std::size_t(i)]->manager(), host) << version << " " << i;
    }
    EXPECT_EQ(host->recordOf(nullptr), freeSlot) << version;
    EXPECT_EQ(host->image(pictures[0].get()), kept) << version;
    EXPECT_EQ(host->classStamp(pictures[2].get()), 7) << version;
    ASSERT_TRUE(host->callback(pictures[2].get())) << version;
    EXPECT_EQ(host->callback(pictures[2].get())->key, "k") << version;
    EXPECT_EQ(next.IsManaged(pictures[0]), 2) << version;
    // The kept red image is what the host draws; the picture's own blue would mean it was not.
    SourceDc dc(8, 8, 32);
    next.PaintPictureEx(dc.dc, pictures[0], 0, 0, 8, 8);
    EXPECT_TRUE(near(dc.dib()->pixel(4, 4), qRgb(255, 0, 0))) << version << std::hex << " " << dc.dib()->pixel(4, 4);
    std::uint32_t attributes = 0;
    pictures[1]->attributes(&attributes);
    EXPECT_EQ(attributes & gdi::PICTURE_TRANSPARENT, gdi::PICTURE_TRANSPARENT) << version;
    // A picture's end still reaches the host that holds its record.
    pictures[1].reset();
    EXPECT_EQ(host->liveRecords(), 2) << version;
  }
}

// Ending the window ends the host; the pictures it managed draw on as plain pictures.
TEST_F(PictureTest, HostEndingWithItsWindowReleasesEveryManagedPicture) {
  StdPicture gif = load(gifFile({solid(4, 4, qRgb(255, 0, 0)), solid(4, 4, qRgb(0, 255, 0))}, 10), -1, false);
  StdPicture jpg = load(jpegFile(solid(4, 4, qRgb(0, 0, 255))), -1, false);
  ASSERT_EQ(pics->IsManaged(gif), 2);
  ASSERT_EQ(pics->IsManaged(jpg), 2);
  const std::size_t images = gdiplus::Image::liveCount();
  window.reset();
  EXPECT_FALSE(pics->host());
  EXPECT_EQ(gif->manager(), nullptr);
  EXPECT_EQ(jpg->manager(), nullptr);
  EXPECT_LT(gdiplus::Image::liveCount(), images);  // the GIF's kept frames went with the record
  EXPECT_EQ(pics->IsManaged(gif), 0);
  EXPECT_TRUE(near(painted(gif, 1, 1), qRgb(255, 0, 0)));
}

TEST_F(PictureTest, QueriesAnswerByWhatWasLoaded) {
  const QImage half = [] {
    QImage i = solid(6, 4, qRgba(0, 0, 0, 0));
    for (int x = 0; x < 3; ++x)
      for (int y = 0; y < 4; ++y) i.setPixel(x, y, qRgb(200, 10, 10));
    return i;
  }();
  QByteArray apng = pngFile(solid(6, 4, qRgb(1, 2, 3)));
  apng.insert(33, QByteArray("\0\0\0\x08"
                             "acTL\0\0\0\x02\0\0\0\0\x12\x34\x56\x78",
                             20));  // ignored: no APNG switch
  gdi::Handle bitmap = gdi::createDIBSection(5, 3, 24);
  struct Case {
    const char* name;
    StdPicture picture;
    int managed, type, transparency, frames;
    bool original;
  } cases[] = {
      {"jpeg style -1", load(jpegFile(solid(6, 4, qRgb(9, 9, 9))), -1, true), 2, 1, 0, 0, false},
      {"jpeg style 1 kept", load(jpegFile(solid(6, 4, qRgb(9, 9, 9))), 1, true), 1, 6, 0, 0, true},
      {"png with alpha", load(pngFile(half), -1, false), 2, 1, 1, 0, false},
      {"png with acTL", load(apng, 2, true), 2, 7, 0, 0, true},
      {"bitmap handle", pics->WrapImageHandleToStdPicture(bitmap), 0, 1, 0, 0, false},
      {"unmanaged jpeg", load(jpegFile(solid(6, 4, qRgb(9, 9, 9))), 0, false), 0, 1, 0, 0, false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.picture) << c.name;
    EXPECT_EQ(pics->IsManaged(c.picture), c.managed) << c.name;
    EXPECT_EQ(pics->PictureTypeEx(c.picture), c.type) << c.name;
    EXPECT_EQ(pics->HasTransparency(c.picture), c.transparency) << c.name;
    EXPECT_EQ(pics->GetFramePageCount(c.picture), c.frames) << c.name;
    EXPECT_EQ(pics->HasOriginalFormat(c.picture), c.original) << c.name;
    int w = 0, h = 0;
    pics->GetImageDimensions(c.picture, w, h, 0, 192);
    EXPECT_EQ(w, c.type == 1 && c.managed == 0 && std::string(c.name) == "bitmap handle" ? 10 : 12) << c.name;
  }
  gdi::deleteObject(bitmap);
  EXPECT_FALSE(pics->SetScalingQuality(cases[0].picture, 4));
  EXPECT_FALSE(pics->SetScalingQuality(cases[0].picture, -1));
  EXPECT_TRUE(pics->SetScalingQuality(cases[0].picture, 1));
  EXPECT_FALSE(pics->EnableAPNGSupport());
  EXPECT_EQ(pics->RemoveAlphaChannel(cases[5].picture), cases[5].picture);
}

TEST_F(PictureTest, ExifOrientationSixTurnsThePictureOnlyForStyleTwo) {
  QImage img = solid(8, 4, qRgb(0, 0, 255));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) img.setPixel(x, y, qRgb(255, 0, 0));  // left half red
  const QByteArray file = jpegFile(img, 6);
  int props = 0;
  pics->BeforeLoad = [&](int, imaging::PicProps& p, int&, bool&, int&, int&, int&, int&, std::int32_t&, bool&,
                         QVariant*) { props = p[0][2]; };
  StdPicture turned = load(file, 2, true);
  EXPECT_EQ(props, -1);
  int w = 0, h = 0;
  pics->GetImageDimensions(turned, w, h, 0, 0);
  EXPECT_EQ(QSize(w, h), QSize(4, 8));
  EXPECT_EQ(pics->IsManaged(turned), 2);
  EXPECT_EQ(pics->PictureTypeEx(turned), 6);
  EXPECT_TRUE(pics->HasOriginalFormat(turned));  // flags 0x400 with the source stream
  QByteArray data;
  ASSERT_TRUE(pics->GetImageData(turned, data));
  EXPECT_EQ(data, file);
  EXPECT_TRUE(near(painted(turned, 1, 1), qRgb(255, 0, 0), 40));  // turned clockwise: red on top
  EXPECT_TRUE(near(painted(turned, 1, 6), qRgb(0, 0, 255), 40));

  StdPicture upright = load(file, 1, true);
  pics->GetImageDimensions(upright, w, h, 0, 0);
  EXPECT_EQ(QSize(w, h), QSize(8, 4));
  EXPECT_TRUE(upright->keepOriginalFormat());
}

// Each reader shows the load event its own manage style and fill colour: the bitmap reader
// its working style (-1 as 2) and the caller's fill, the icon reader the caller's style and a
// fill of 0, the JPEG and metafile loaders a fill of -1.
TEST_F(PictureTest, LoadEventShowsEachReadersStyleAndFill) {
  struct Case {
    const char* name;
    QByteArray file;
    int style, type, seenStyle;
    std::int32_t seenFill;
  } cases[] = {
      {"bitmap", seed("bmp/rle8.bmp"), -1, 1, 2, 0xFFFFFF},
      {"icon", seed("ico/three.ico"), -1, 3, -1, 0},
      {"cursor, style 1", seed("ico/png.cur"), 1, 5, 1, 0},
      {"jpeg", jpegFile(solid(4, 4, qRgb(9, 9, 9))), -1, 6, 2, -1},
      {"metafile", seed("wmf/shapes.wmf"), 1, 2, 1, -1},
      {"enhanced metafile", seed("wmf/shapes.emf"), -1, 4, 0, -1},
  };
  for (const Case& c : cases) {
    int type = 0, seenStyle = 99;
    std::int32_t seenFill = 99;
    pics->BeforeLoad = [&](int t, imaging::PicProps&, int& ms, bool&, int&, int&, int&, int&, std::int32_t& fill, bool&,
                           QVariant*) {
      type = t, seenStyle = ms, seenFill = fill;
      fill = 0x123456;  // a change the icon reader does not keep
    };
    EXPECT_TRUE(load(c.file, c.style, false)) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(seenStyle, c.seenStyle) << c.name;
    EXPECT_EQ(seenFill, c.seenFill) << c.name;
  }
}

TEST_F(PictureTest, CmykJpegBecomesABitmapOverWhite) {
  for (int style : {-1, 1, 0}) {
    StdPicture p = load(cmykJpegFile(6, 6, 0, 255, 255, 0), style, true);
    ASSERT_TRUE(p) << style;
    EXPECT_EQ(p->type(), gdi::PICTYPE_BITMAP);
    EXPECT_TRUE(near(painted(p, 3, 3), qRgb(255, 0, 0), 12)) << style;
  }
}

TEST_F(PictureTest, AnimatedGifKeepsItsFramesDelaysAndLoop) {
  const QByteArray file =
      gifFile({solid(4, 4, qRgb(255, 0, 0)), solid(4, 4, qRgb(0, 255, 0)), solid(4, 4, qRgb(0, 0, 255))}, 10);
  StdPicture p = load(file, -1, false);
  ASSERT_TRUE(p);
  EXPECT_EQ(pics->IsManaged(p), 2);
  const std::uint32_t flags = pics->host()->flags(p.get());
  EXPECT_EQ(flags & 0x1F000003u, 0x18000003u);  // GIF, several frames, image kept
  EXPECT_EQ(pics->GetFramePageCount(p), 3);
  std::vector<std::int64_t> durations;
  ASSERT_TRUE(pics->GetGifPngAnimationInfo(p, durations));
  EXPECT_EQ(durations, (std::vector<std::int64_t>{0, 100, 100, 100}));
  EXPECT_TRUE(pics->SetFrameGifPng(p, 2));
  EXPECT_TRUE(pics->SetForceGDIplusUsage(p, true));
  EXPECT_TRUE(near(painted(p, 2, 2, 8, 8), qRgb(0, 255, 0)));
  EXPECT_FALSE(pics->SetFrameGifPng(p, 4));
  // A delay of 0xEFFFFFF hundredths is kept whole in milliseconds.
  gdiplus::PropertyItem big{
      gdiplus::PropertyTagFrameDelay, gdiplus::PropertyTagTypeLong, {0xFF, 0xFF, 0xFF, 0x0E, 10, 0, 0, 0, 10, 0, 0, 0}};
  pics->host()->image(p.get())->setProperty(big);
  ASSERT_TRUE(pics->GetGifPngAnimationInfo(p, durations));
  EXPECT_EQ(durations[1], std::int64_t(0x0EFFFFFF) * 10);

  StdPicture single = load(gifFile({solid(4, 4, qRgb(255, 0, 0))}, 0), 1, false);
  EXPECT_EQ(pics->host()->flags(single.get()) & 0x7F000000u, 0x01000000u);
}

TEST_F(PictureTest, TiffPagesSwitchInPlaceOrAsANewPicture) {
  const QByteArray file =
      tiffFile({solid(4, 4, qRgb(255, 0, 0)), solid(4, 4, qRgb(0, 255, 0)), solid(6, 2, qRgb(0, 0, 255))});
  StdPicture p = load(file, -1, false);
  ASSERT_TRUE(p);
  EXPECT_EQ(pics->IsManaged(p), 2);
  EXPECT_EQ(pics->PictureTypeEx(p), 9);
  EXPECT_EQ(pics->GetFramePageCount(p), 3);
  EXPECT_EQ(pics->SetPageTIF(p, 2), p);
  pics->SetForceGDIplusUsage(p, true);
  EXPECT_TRUE(near(painted(p, 1, 1), qRgb(0, 255, 0)));
  StdPicture third = pics->SetPageTIF(p, 3);
  ASSERT_NE(third, p);
  EXPECT_EQ(pics->IsManaged(p), 0);
  EXPECT_EQ(pics->GetFramePageCount(third), 3);
  int w = 0, h = 0;
  pics->GetImageDimensions(third, w, h, 0, 0);
  EXPECT_EQ(QSize(w, h), QSize(6, 2));
  EXPECT_TRUE(near(painted(third, 1, 1), qRgb(0, 0, 255)));

  StdPicture flat = load(file, 0, false);
  EXPECT_EQ(pics->IsManaged(flat), 0);
  EXPECT_TRUE(near(painted(flat, 1, 1), qRgb(255, 0, 0)));
}

// Whether the client aborts the load or the picture is released later, every image, stream,
// picture and handle made for it is gone.
TEST_F(PictureTest, AbortedOrReleasedLoadsKeepNothing) {
  const std::vector<QByteArray> files = {jpegFile(solid(4, 4, 0xFF102030), 6),
                                         cmykJpegFile(4, 4, 1, 2, 3, 4),
                                         pngFile(solid(4, 4, 0x80102030)),
                                         gifFile({solid(4, 4, 0xFF102030), solid(4, 4, 0)}, 5),
                                         tiffFile({solid(4, 4, 0xFF102030), solid(2, 2, 0xFF000000)}),
                                         seed("bmp/v5_32.bmp"),
                                         seed("ico/three.ico"),
                                         seed("ico/png.cur"),
                                         seed("apng/three.png"),
                                         seed("wmf/shapes.emf")};
  pics->setEnableAPNGSupport(true);
  const std::size_t images = gdiplus::Image::liveCount(), streams = gdi::Stream::liveCount(),
                    pictures = gdi::Picture::liveCount(), handles = liveHandles();
  for (bool abort : {true, false}) {
    pics->BeforeLoad = [abort](int, imaging::PicProps&, int&, bool&, int&, int&, int&, int&, std::int32_t&, bool& a,
                               QVariant*) { a = abort; };
    for (const QByteArray& f : files)
      for (int style : {-1, 0, 1, 2, 3}) {
        StdPicture p = load(f, style, true);
        EXPECT_EQ(p == nullptr, abort);
        if (p && pics->GetFramePageCount(p) > 1) p = pics->SetPageTIF(p, 2);
      }
    EXPECT_EQ(gdiplus::Image::liveCount(), images);
    EXPECT_EQ(gdi::Stream::liveCount(), streams);
    EXPECT_EQ(gdi::Picture::liveCount(), pictures);
    EXPECT_EQ(liveHandles(), handles);
    EXPECT_EQ(pics->host()->liveRecords(), 0);
  }
}

// Bitmap, icon and cursor, animated PNG and metafile files load through our own readers.
TEST_F(PictureTest, OwnReadersGiveTheTypeSizeAndFrames) {
  pics->setEnableAPNGSupport(true);
  QByteArray giant = seed("wmf/shapes.emf");
  qToLittleEndian<std::uint32_t>(400000, giant.data() + 32);  // a frame 4 m wide: refused, carried as a WMF
  QByteArray absurd = seed("wmf/shapes.emf");                 // a reference device of 2^31 pixels on 16 mm: 3.4e9 dpi
  qToLittleEndian<std::uint32_t>(0x7FFFFFFF, absurd.data() + 72);
  qToLittleEndian<std::uint32_t>(16, absurd.data() + 80);
  struct Case {
    const char* name;
    QByteArray file;
    int style;
    std::uint32_t type;
    QSize size;
    int frames, managed, transparency, dpi;  // a metafile: its units per inch or reference device
  } cases[] = {
      {"rle8 bmp", seed("bmp/rle8.bmp"), -1, 0x1000000, {4, 3}, 0, 2, 0, 96},
      {"32-bit bmp", seed("bmp/v5_32.bmp"), 2, 0x1000000, {2, 2}, 0, 2, 1, 96},
      {"icon", seed("ico/three.ico"), -1, 0x3000000, {32, 32}, 0, 2, 1, 0},
      {"png cursor", seed("ico/png.cur"), 1, 0x5000000, {32, 32}, 0, 1, 1, 0},
      // A PNG entry left to the reader's choice gets no GDI+ image, and so style 1.
      {"png cursor, style -1", seed("ico/png.cur"), -1, 0x5000000, {32, 32}, 0, 1, 1, 0},
      {"png icon, style -1", pngIcon(solid(16, 16, qRgba(1, 2, 3, 200))), -1, 0x3000000, {32, 32}, 0, 1, 1, 0},
      {"png icon, style 2", pngIcon(solid(16, 16, qRgba(1, 2, 3, 200))), 2, 0x3000000, {32, 32}, 0, 2, 1, 0},
      {"animated png", seed("apng/three.png"), -1, 0xF000000, {4, 4}, 3, 2, 0, 0},
      {"wmf", seed("wmf/shapes.wmf"), 1, 0x2000000, {7, 3}, 0, 1, 1, 1440},
      {"emf", seed("wmf/shapes.emf"), 2, 0x4000000, {378, 189}, 0, 1, 1, 254},
      {"emf too large", giant, 1, 0x2000000, {256, 3}, 0, 1, 1, 254},
      {"emf of a resolution no device has", absurd, 1, 0x4000000, {378, 189}, 0, 1, 1, 0},
  };
  for (const Case& c : cases) {
    StdPicture p = load(c.file, c.style, false);
    ASSERT_TRUE(p) << c.name;
    EXPECT_EQ(pics->host()->flags(p.get()) & 0xF000000u, c.type) << c.name;
    int w = 0, h = 0;
    pics->GetImageDimensions(p, w, h, 0, 0);
    EXPECT_EQ(QSize(w, h), c.size) << c.name;
    EXPECT_EQ(pics->GetFramePageCount(p), c.frames) << c.name;
    EXPECT_EQ(pics->IsManaged(p), c.managed) << c.name;
    EXPECT_EQ(pics->HasTransparency(p), c.transparency) << c.name;
    EXPECT_EQ(dpi, c.dpi) << c.name;
    std::vector<std::int64_t> delays;
    EXPECT_EQ(pics->GetGifPngAnimationInfo(p, delays), c.frames > 1) << c.name;
    EXPECT_EQ(delays.size(), std::size_t(c.frames ? c.frames + 1 : 0)) << c.name;
    QByteArray data;  // a WMF gives back its file, the converted one too
    if (c.type == 0x2000000) EXPECT_TRUE(pics->GetImageData(p, data) && data.startsWith("\xD7\xCD\xC6\x9A")) << c.name;
  }  // Kept files: a 40-byte header stays with the picture, a larger one with the record.
  StdPicture plain = load(seed("bmp/rle8.bmp"), 0, true), v5 = load(seed("bmp/v5_32.bmp"), 0, true);
  EXPECT_TRUE(plain->keepOriginalFormat() && pics->IsManaged(plain) == 0);
  EXPECT_TRUE(!v5->keepOriginalFormat() && pics->IsManaged(v5) == 1 && pics->HasOriginalFormat(v5));
}

// The copy at a size, and an icon handle brought to another size, which draws the icon
// through the copy and that through the icon conversion again.
TEST_F(PictureTest, CopiesAtASize) {
  gdi::Handle premultiplied = gdi::createDIBSection(2, 1, 32);
  auto dib = gdi::find<gdi::Dib>(premultiplied);
  reinterpret_cast<std::uint32_t*>(dib->bits())[0] = 0x80400000;  // alpha 128, red 64
  reinterpret_cast<std::uint32_t*>(dib->bits())[1] = 0xFF000000;
  const gdi::Handle icon = gdi::iconFromImage(solid(32, 32, qRgba(0, 0, 255, 255)));
  const StdPicture jpeg = load(jpegFile(solid(6, 4, qRgb(9, 9, 9))), 1, false);
  const StdPicture wmf = load(seed("wmf/shapes.wmf"), 1, false);
  struct Case {
    const char* name;
    StdPicture picture;
    int width, height;
    bool asIcon;
    int style;
    QSize size;
    int type;
  } cases[] = {
      {"jpeg, width only", jpeg, 12, 0, false, 0, {12, 4}, 1},
      {"jpeg, own size", jpeg, 0, 0, false, 0, {6, 4}, 1},
      {"premultiplied bitmap", pics->WrapImageHandleToStdPicture(premultiplied), 0, 0, false, 0, {2, 1}, 1},
      {"metafile", wmf, 14, 6, false, 1, {14, 6}, 1},
      {"jpeg as icon", jpeg, 16, 16, true, 0, {16, 16}, 3},
      {"jpeg as managed icon", jpeg, 48, 48, true, 2, {48, 48}, 3},
      {"icon handle at 48", pics->LoadPictureEx(icon, 2, false, dpi, 0, 0, 48, 48), 0, 0, false, 0, {48, 48}, 1},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.picture) << c.name;
    StdPicture copy = pics->CopyStdPicture(c.picture, c.width, c.height, c.style, false, c.asIcon, false, false, 0);
    ASSERT_TRUE(copy) << c.name;
    int w = 0, h = 0;
    pics->GetImageDimensions(copy, w, h, 0, 0);
    EXPECT_EQ(QSize(w, h), c.size) << c.name;
    EXPECT_EQ(pics->PictureTypeEx(copy), c.type) << c.name;
    EXPECT_EQ(pics->IsManaged(copy), c.style) << c.name;
    if (c.style == 2) EXPECT_EQ(pics->host()->image(copy.get())->width(), 48) << c.name;
  }
  // Straight alpha out of premultiplied pixels: 64 x 255 / 128, truncated.
  StdPicture straight = pics->CopyStdPicture(cases[2].picture, 0, 0, 0, false, false, false, false, 0);
  EXPECT_EQ(gdi::find<gdi::Dib>(straight->handle())->pixel(0, 0), qRgba(127, 0, 0, 128));
  // The metafile's background stays transparent, its drawing opaque.
  StdPicture drawn = pics->CopyStdPicture(wmf, 0, 0, 0, false, false, false, false, 0);
  EXPECT_EQ(pics->HasTransparency(drawn), 1);
  // The icon handle at 48 x 48: its GDI+ image made at that size from the icon's own pixels.
  EXPECT_EQ(pics->host()->image(cases[6].picture.get())->width(), 48);
  EXPECT_EQ(pics->host()->image(cases[6].picture.get())->pixels().pixel(40, 40), qRgb(0, 0, 255));
  // A GDI+ image handed to the copy comes back as a new image of the copy at the size asked;
  // a PNG cursor managed with style 2 keeps its PNG brought to the cursor's size that way.
  auto handed = gdiplus::Image::fromImage(solid(4, 2, qRgb(200, 100, 50)), gdiplus::PixelFormat32bppARGB);
  int w = 8, h = 6;
  StdPicture none;
  std::unique_ptr<gdiplus::Image> unused;
  imaging::CopyRequest request{jpeg, none, unused, false, w, h, 0, false, false, false, 0, &handed};
  EXPECT_TRUE(imaging::pictureReaders().copier(*pics, request) && !none);
  EXPECT_EQ(handed->pixels().size(), QSize(8, 6));
  EXPECT_EQ(handed->pixels().pixel(7, 5), qRgb(200, 100, 50));
  StdPicture cursor = pics->LoadPictureEx(seed("ico/png.cur"), 2, false, dpi, 0, 0, 16, 16);
  ASSERT_TRUE(cursor && pics->host()->image(cursor.get()));
  EXPECT_EQ(pics->host()->image(cursor.get())->width(), 16);
  gdi::deleteObject(premultiplied);
  gdi::destroyIcon(icon);
}

// An object destination takes its coordinates in its ScaleMode: the same place in any unit
// paints what the device-context form paints in pixels; a user scale paints nothing.
TEST_F(PictureTest, PaintOnAnObjectInItsScaleMode) {
  const StdPicture jpeg = load(jpegFile(solid(4, 4, qRgb(200, 20, 20))), 1, false);
  auto paint = [&](int mode, float x, float y, float w, float h) {
    SourceDc dc(10, 10, 32);
    if (mode == -1) pics->PaintPictureEx(dc.dc, jpeg, x, y, w, h);  // the device-context form; -2 paints nothing
    if (mode >= 0) pics->PaintPictureEx(cPicture::PaintTarget{dc.dc, mode}, jpeg, x, y, w, h);
    return dc.dib()->toImage();
  };
  const QImage expected = paint(-1, 2, 1, 6, 4), natural = paint(-1, 2, 1, 0, 0), untouched = paint(-2, 0, 0, 0, 0);
  const float inch = 1 / 96.0f;
  const std::tuple<int, float, float, float, float, const QImage&> cases[] = {
      {1, 30, 15, 90, 60, expected}, {2, 1.5, 0.75, 4.5, 3, expected},
      {3, 2, 1, 6, 4, expected},     {5, 2 * inch, inch, 6 * inch, 4 * inch, expected},
      {1, 30, 15, 0, 0, natural},    {0, 2, 1, 6, 4, untouched}};
  for (const auto& [mode, x, y, w, h, result] : cases) EXPECT_EQ(paint(mode, x, y, w, h), result) << mode;
  EXPECT_NE(expected, natural);
}

// A negative width or height mirrors on every drawing road: the picture's own drawing, GDI+
// over its bitmap (a managed JPEG at another size) and GDI+ over a kept image (PNG with alpha).
// Image attributes given to a managed picture take part in its drawing.
TEST_F(PictureTest, MirroringAndImageAttributesOnEveryDrawingRoad) {
  const QImage halves = [] {
    QImage i = solid(8, 8, qRgb(220, 0, 0));
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        if (x >= 4)
          i.setPixel(x, y, y < 4 ? qRgb(0, 0, 220) : qRgb(0, 220, 0));
        else if (y >= 4)
          i.setPixel(x, y, qRgba(220, 220, 0, 200));
    return i;
  }();
  const StdPicture plain = load(jpegFile(halves), 0, false), jpeg = load(jpegFile(halves), 2, false),
                   png = load(pngFile(halves), 2, false);
  ASSERT_TRUE(png && pics->host()->image(png.get()));
  struct Case {
    const char* name;
    StdPicture picture;
    float w, h;    // drawn at (|w| or 0, |h| or 0) with this size
    QRgb topLeft;  // what lands in the top-left corner
  } cases[] = {
      {"own drawing, left to right", plain, -8, 8, qRgb(0, 0, 220)},
      {"own drawing, upside down", plain, 8, -8, qRgb(220, 220, 0)},
      {"jpeg at another size, left to right", jpeg, -16, 16, qRgb(0, 0, 220)},
      {"jpeg at another size, both ways", jpeg, -16, -16, qRgb(0, 220, 0)},
      {"kept image, left to right", png, -8, 8, qRgb(0, 0, 220)},
      {"kept image, upside down", png, 8, -8, qRgb(228, 228, 55)},  // alpha 200 over white
      {"kept image, as it is", png, 8, 8, qRgb(220, 0, 0)},
  };
  for (const Case& c : cases) {
    SourceDc dc(32, 32, 32);
    gdi::fillRect(dc.dc, QRect(0, 0, 32, 32), qRgb(255, 255, 255));
    pics->PaintPictureEx(dc.dc, c.picture, c.w < 0 ? -c.w : 0, c.h < 0 ? -c.h : 0, c.w, c.h);
    EXPECT_TRUE(near(dc.dib()->pixel(1, 1), c.topLeft, 40)) << c.name << std::hex << " " << dc.dib()->pixel(1, 1);
  }

  gdiplus::ImageAttributes noRed;
  noRed.colorMatrix = gdiplus::ImageAttributes::ColorMatrix{
      {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, 1, 0}, {0, 0, 0, 0, 0}}};
  EXPECT_FALSE(pics->SetImageAttributesHandle(plain, &noRed));  // not managed
  ASSERT_TRUE(pics->SetImageAttributesHandle(jpeg, &noRed));
  EXPECT_TRUE(near(painted(jpeg, 1, 1, 8, 8), qRgb(0, 0, 0), 40));
  EXPECT_TRUE(near(painted(jpeg, 1, 6, 8, 8), qRgb(0, 220, 0), 40));
  ASSERT_TRUE(pics->SetImageAttributesHandle(jpeg, nullptr));
  EXPECT_TRUE(near(painted(jpeg, 1, 1, 8, 8), qRgb(220, 0, 0), 40));
}

TEST_F(PictureTest, SourcesThatHoldNoPicture) {
  EXPECT_EQ(load(QByteArray(1, 'x'), 2, false)->handle(), 0);  // bounds 0 to 0: an empty picture
  EXPECT_EQ(pics->LoadPictureEx(QStringLiteral("   "), 2, false, dpi, 0)->handle(), 0);
  EXPECT_FALSE(load(QByteArray("not a picture at all"), 2, false));
  EXPECT_FALSE(pics->LoadPictureEx(std::int32_t(0), 2, false, dpi, 0));
  StdPicture owner = pics->LoadPictureEx(std::int32_t(0), 3, false, dpi, 0);
  ASSERT_TRUE(owner);
  EXPECT_EQ(pics->IsManaged(owner), 3);
  StdPicture managed = load(jpegFile(solid(4, 4, 0xFF102030)), 2, false);
  EXPECT_EQ(pics->LoadPictureEx(managed, 2, false, dpi, 0), managed);
}

TEST_F(PictureTest, CallbacksNeedAClientAndDrawingRaisesThem) {
  StdPicture p = load(jpegFile(solid(4, 4, 0xFF102030)), 2, false);
  EXPECT_THROW(pics->SetCallBacks(p, "k", 1, false), vb::VbError);
  pics->EventHandler = [](bool& handled) { handled = true; };
  EXPECT_FALSE(pics->SetCallBacks(p, "k", 4, false));  // not owner-drawn
  QStringList seen;
  pics->PreRender = [&](const QString& key, gdi::Picture&, gdi::Handle, int&, int&, int&, int&, int, int, int, int,
                        gdiplus::Image*, gdi::Handle&, bool&, bool& dont) {
    seen << "pre " + key;
    dont = seen.size() > 2;
  };
  pics->PostRender = [&](const QString& key, gdi::Picture&, gdi::Handle, int&, int&, int&, int&, int, int, int, int,
                         gdiplus::Image*, gdi::Handle) { seen << "post " + key; };
  ASSERT_TRUE(pics->SetCallBacks(p, "k", 3, false));
  painted(p, 0, 0);
  painted(p, 0, 0);  // the second handler suppresses drawing and the after event
  EXPECT_EQ(seen, (QStringList{"pre k", "post k", "pre k"}));
  // A copy sent to the events is drawn through them, at the size asked.
  seen.clear();
  StdPicture copied = pics->CopyStdPicture(p, 8, 6, 0, true, false, false, false, 0);
  ASSERT_TRUE(copied);
  EXPECT_EQ(seen, (QStringList{"pre k", "post k"}));
  EXPECT_TRUE(near(gdi::find<gdi::Dib>(copied->handle())->pixel(7, 5), 0xFF102030u));
  gdi::RenderArgs zero{0, 0, 0, 0, 4, 0, 0, 10, -10};
  EXPECT_EQ(p->render(zero), gdi::CTL_E_INVALIDPROPERTYVALUE);

  // An owner-drawn picture is drawn by its owner's event alone, and not at all without one.
  StdPicture owned = pics->LoadPictureEx(std::int32_t(0), 3, false, dpi, 0);
  SourceDc dc(8, 8, 32);
  gdi::fillRect(dc.dc, QRect(0, 0, 8, 8), qRgb(1, 2, 3));
  pics->PaintPictureEx(dc.dc, owned, 0, 0, 8, 8);
  int ownerCalls = 0;
  pics->OwnerDrawn = [&](const QString& key, gdi::Picture&, gdi::Handle hDC, int x, int y, int cx, int cy) {
    ++ownerCalls;
    EXPECT_EQ(key, "own");
    gdi::fillRect(hDC, QRect(x, y, cx, cy), qRgb(9, 9, 9));
  };
  ASSERT_TRUE(pics->SetCallBacks(owned, "own", 4, false));
  EXPECT_EQ(dc.dib()->pixel(4, 4), qRgba(1, 2, 3, 255));
  pics->PaintPictureEx(dc.dc, owned, 0, 0, 8, 8);
  EXPECT_EQ(ownerCalls, 1);
  EXPECT_EQ(dc.dib()->pixel(4, 4), qRgba(9, 9, 9, 255));

  std::uint32_t attributes = 0;
  EXPECT_TRUE(pics->SetForceTransparency(p, true));
  p->attributes(&attributes);
  EXPECT_EQ(attributes & gdi::PICTURE_TRANSPARENT, gdi::PICTURE_TRANSPARENT);
  EXPECT_EQ(pics->UnmanagePicture(p, false, 0), p);
  p->attributes(&attributes);
  EXPECT_EQ(attributes & gdi::PICTURE_TRANSPARENT, 0u);
}

// A bitmap or icon file reads the same on every road: the picture class's own reader, the
// picture loader, the GDI+ decoder and CreateIconFromResourceEx, whichever layout it has.
TEST(PictureDecoders, BitmapsAndIconsReadAlikeOnEveryRoad) {
  auto bytesOf = [](const QByteArray& b) { return std::vector<std::uint8_t>(b.begin(), b.end()); };
  // 8 bits counting 300 colours, its pixels behind all of them.
  QByteArray colours300("BM\0\0\0\0\0\0\0\0\0\0\0\0\x28\0\0\0\1\0\0\0\1\0\0\0\1\0\x08\0", 30);
  colours300 += QByteArray(16, '\0') + QByteArray("\x2C\x01\0\0", 4) + QByteArray(4, '\0');
  colours300 += QByteArray(4 * 300, '\0') + QByteArray("\x01\0\0\0", 4);
  colours300[54 + 4] = char(0xC0);  // colour 1: blue 192
  const struct {
    const char* name;
    QByteArray file;
  } bitmaps[] = {
      {"core 24", seed("bmp/core24.bmp")},   {"bit fields 16", seed("bmp/bf16.bmp")},
      {"4 bits", seed("bmp/pal4.bmp")},      {"RLE4", seed("bmp/rle4.bmp")},
      {"RLE8", seed("bmp/rle8.bmp")},        {"top-down 1 bit", seed("bmp/topdown1.bmp")},
      {"v5 32 bits", seed("bmp/v5_32.bmp")}, {"300 colours", colours300},
  };
  for (const auto& c : bitmaps) {
    const auto bytes = bytesOf(c.file);
    imaging::LoadOptions o;
    const QImage own = imaging::parseBmp(bytes, o).image.convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(own.isNull()) << c.name;
    auto stream = gdi::Stream::onBytes(bytes);
    const StdPicture loaded = gdi::Picture::load(*stream, stream->size(), false);
    ASSERT_TRUE(loaded) << c.name;
    std::unique_ptr<gdiplus::Image> image;
    ASSERT_EQ(gdiplus::loadImageFromBytes(bytes.data(), bytes.size(), image), gdiplus::Status::Ok) << c.name;
    const QImage viaLoader = gdi::find<gdi::Dib>(loaded->handle())->toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(viaLoader, own.convertToFormat(QImage::Format_RGB32)) << c.name;
    EXPECT_EQ(image->pixels().convertToFormat(QImage::Format_RGB32), own.convertToFormat(QImage::Format_RGB32))
        << c.name;
  }
  for (const char* name : {"ico/one.ico", "ico/three.ico"}) {
    const auto bytes = bytesOf(seed(name));
    auto stream = gdi::Stream::onBytes(bytes);
    const StdPicture loaded = gdi::Picture::load(*stream, stream->size(), false);
    ASSERT_TRUE(loaded) << name;
    const auto icon = gdi::find<gdi::Icon>(loaded->handle());
    imaging::LoadOptions o;  // the entry the picture loader took, at its own size
    o.iconCx = icon->width();
    o.iconCy = icon->height();
    const QImage own = imaging::parseIco(bytes, o).image;
    // Compared premultiplied: what hides under the mask does not show.
    const auto shown = [](const QImage& i) { return i.convertToFormat(QImage::Format_ARGB32_Premultiplied); };
    EXPECT_EQ(shown(icon->toImage()), shown(own)) << name;
  }
}

// Files that claim more pixels than the limits are refused from their headers.
TEST(PictureDecoders, OversizedPicturesAreRefusedBeforeDecoding) {
  QByteArray jpeg = jpegFile(solid(8, 8, 0xFF808080));
  const int sof = int(jpeg.indexOf("\xFF\xC0"));
  jpeg[sof + 5] = char(0xEA), jpeg[sof + 6] = char(0x60), jpeg[sof + 7] = char(0xEA), jpeg[sof + 8] = char(0x60);
  QByteArray gif = gifFile({solid(4, 4, 0xFF808080)}, 0);
  gif[6] = gif[7] = gif[8] = gif[9] = char(0xFF);
  QByteArray tiff = tiffFile({solid(4, 4, 0xFF808080), solid(20000, 1, 0xFF808080)});
  QByteArray png = pngFile(solid(4, 4, 0xFF808080));
  png[16] = png[20] = 0x01;  // 16 million a side; libpng stops at the user limit before the CRC
  std::unique_ptr<gdiplus::Image> img;
  for (const QByteArray& f : {jpeg, gif, png})
    EXPECT_NE(
        gdiplus::loadImageFromBytes(reinterpret_cast<const std::uint8_t*>(f.constData()), std::size_t(f.size()), img),
        gdiplus::Status::Ok);
  ASSERT_EQ(gdiplus::loadImageFromBytes(reinterpret_cast<const std::uint8_t*>(tiff.constData()),
                                        std::size_t(tiff.size()), img),
            gdiplus::Status::Ok);
  EXPECT_NE(img->selectActiveFrame(gdiplus::FrameDimensionPage(), 1), gdiplus::Status::Ok);  // 20000 a side
  EXPECT_EQ(img->width(), 4);
}

// Samples reach 8 bits the way a reference decoder takes them: straight alpha keeps the colour
// under it, 16-bit values and colour maps round to the nearest level (the high byte alone is
// up to one level dark), CMYK ink rounds too; 16-bit CMYK and float samples are read at all.
TEST(PictureDecoders, SampleLayoutsGiveTheReferencePixel) {
  QImage deep(1, 1, QImage::Format_RGBA64);
  deep.setPixelColor(0, 0, QColor::fromRgba64(23526, 19197, 44032, 32768));
  struct Case {
    const char* what;
    QByteArray file;
    QRgb expected;
  } cases[] = {
      {"straight 8-bit RGBA TIFF", tiffFile({solid(3, 2, qRgba(200, 100, 50, 64))}, true), qRgba(200, 100, 50, 64)},
      {"16-bit RGBA PNG", pngFile(deep), qRgba(92, 75, 171, 128)},
      {"16-bit grey TIFF", sampleTiffFile(PHOTOMETRIC_MINISBLACK, 16, {23526}), qRgb(92, 92, 92)},
      {"tiled 16-bit grey TIFF", sampleTiffFile(PHOTOMETRIC_MINISBLACK, 16, {23526}, false, {}, true),
       qRgb(92, 92, 92)},
      {"float RGB TIFF", sampleTiffFile(PHOTOMETRIC_RGB, 32, {23526, 19197, 65535}), qRgb(92, 75, 255)},
      {"16-bit straight RGBA TIFF", sampleTiffFile(PHOTOMETRIC_RGB, 16, {23526, 19197, 44032, 32768}, true),
       qRgba(92, 75, 171, 128)},
      {"palette TIFF", sampleTiffFile(PHOTOMETRIC_PALETTE, 1, {1}, false, {0, 44032, 0, 23526, 0, 19197}),
       qRgb(171, 92, 75)},
      {"8-bit CMYK TIFF", sampleTiffFile(PHOTOMETRIC_SEPARATED, 8, {0, 50, 255, 64}), qRgb(191, 154, 0)},
      {"16-bit CMYK TIFF", sampleTiffFile(PHOTOMETRIC_SEPARATED, 16, {0, 0, 65535, 0}), qRgb(255, 255, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<gdiplus::Image> img;
    ASSERT_EQ(gdiplus::loadImageFromBytes(reinterpret_cast<const std::uint8_t*>(c.file.constData()),
                                          std::size_t(c.file.size()), img),
              gdiplus::Status::Ok);
    EXPECT_EQ(img->pixels().pixel(img->width() - 1, img->height() - 1), c.expected);
  }
}

TEST(PictureEncoders, LookupByMimeTypeIgnoresCase) {
  QUuid clsid;
  EXPECT_EQ(cPicture::GetEncoderClsid(QStringLiteral("IMAGE/TIFF"), clsid), 3);
  EXPECT_EQ(clsid, QUuid(QStringLiteral("{557CF405-1A04-11D3-9A73-0000F81EF32E}")));
  EXPECT_EQ(cPicture::GetEncoderClsid(QStringLiteral("image/tif"), clsid), -1);
  EXPECT_EQ(cPicture::SwapLong(0x80), 0x80000000u);
  EXPECT_EQ(cPicture::SwapLong(0x12345678), 0x78563412u);
  EXPECT_EQ(cPicture::ScanlineBytes(3, 24), 12);
  EXPECT_EQ(cPicture::ScanlineBytes(1, 1), 4);
}

namespace {
// Resources of a made-up program: two bitmaps, a cursor group and its one image.
QByteArray testResource(int type, const QVariant& id) {
  auto dibHeader = [](int w, int h, int bits) {
    QByteArray b(40, '\0');
    b[0] = 40;
    b[4] = char(w);
    b[8] = char(h);
    b[12] = 1;
    b[14] = char(bits);
    return b;
  };
  if (type == 2 && id.toInt() == 8) {  // 2 x 2, 8 bits, palette entry 1 red
    QByteArray b = dibHeader(2, 2, 8);
    QByteArray palette(1024, '\0');
    palette[6] = char(255);
    return b + palette + QByteArray("\1\1\0\0\1\1\0\0", 8);
  }
  if (type == 2 && id.toInt() == 24)  // 1 x 1, 24 bits, green
    return dibHeader(1, 1, 24) + QByteArray("\0\xFF\0\0", 4);
  if (type == 2 && id.toInt() == 12)  // 1 x 1, 24 bits, red, under a 12-byte core header
    return QByteArray("\x0C\0\0\0\1\0\1\0\1\0\x18\0\0\0\xFF\0", 16);
  if (type == 2 && id.toInt() == 40)  // a header that names more bytes than there are
    return QByteArray("\x28\0\0\0\1\0\0\0\1\0\0\0\1\0\x18\0", 16);
  if (type == 12 && id.toInt() == 1) {  // group: one entry naming image 5
    QByteArray g("\0\0\2\0\1\0", 6);
    QByteArray e(14, '\0');
    e[12] = 5;
    return g + e;
  }
  if (type == 1 && id.toInt() == 5)  // hot spot (3, 4), then a 1 x 1 image of 32 bits
    return QByteArray("\3\0\4\0", 4) + dibHeader(1, 2, 32) + QByteArray(8, '\x7F');
  return {};
}
}  // namespace

TEST_F(PictureTest, ResourcesAreRebuiltIntoTheirFiles) {
  // By default the resources compiled into the program: here the tests' 1 x 1 blue bitmap.
  EXPECT_TRUE(near(painted(pics->LoadResPictureEx(7, 0, 0, dpi), 0, 0), qRgb(0, 0, 255), 0));
  const imaging::ResourceLoader programResources = imaging::pictureReaders().resources;
  imaging::pictureReaders().resources = testResource;
  QByteArray file;
  struct Bitmap {
    int id;
    bool taken;
    std::uint32_t pixelOffset;
    QRgb pixel;  // at (1, 1) when the bitmap is 2 x 2, else at (0, 0)
  } bitmaps[] = {{8, true, 14 + 40 + 1024, qRgb(255, 0, 0)},
                 {24, true, 54, qRgb(0, 255, 0)},
                 {12, true, 14 + 12, qRgb(255, 0, 0)},
                 {40, false, 0, 0}};
  for (const Bitmap& b : bitmaps) {
    EXPECT_EQ(cPicture::ResourceFile(b.id, 0, file), b.taken) << b.id;
    if (!b.taken) continue;
    EXPECT_EQ(qFromLittleEndian<std::uint32_t>(file.constData() + 10), b.pixelOffset) << b.id;
    EXPECT_TRUE(near(painted(pics->LoadResPictureEx(b.id, 0, 2, dpi), b.id == 8, b.id == 8), b.pixel, 0)) << b.id;
  }

  ASSERT_TRUE(cPicture::ResourceFile(1, 2, file));
  EXPECT_EQ(file.mid(6 + 4, 4), QByteArray("\3\0\4\0", 4));                    // hot spot in the entry
  EXPECT_EQ(qFromLittleEndian<std::uint32_t>(file.constData() + 6 + 8), 48u);  // 4 bytes shorter
  EXPECT_EQ(file.size(), 6 + 16 + 48);
  EXPECT_FALSE(pics->LoadResPictureEx(1, 5, 0, dpi));
  EXPECT_FALSE(pics->LoadResPictureEx(99, 0, 0, dpi));
  imaging::pictureReaders().resources = [](int type, const QVariant& id) {
    return type == 1 ? QByteArray() : testResource(type, id);
  };
  EXPECT_THROW(cPicture::ResourceFile(1, 2, file), vb::VbError);
  imaging::pictureReaders().resources = programResources;
}
