// The filter graph builder over a registry of our own, the running chain, and the packed
// bitmap conversions.
#include <gtest/gtest.h>

#include <cstring>

#include "BuildGraph.h"
#include "FrmCamera.h"
#include "Modulekamera.h"
#include "dib.h"
#include "vb.h"

using namespace camgraph;

namespace {

const char* const kLive = "videotestsrc is-live=true pattern=white ! capsfilter caps=video/x-raw,width=64,height=48";

// Two cameras of one name, only the second with a pin "Capture"; the chain's stand-ins; one
// plain element.
FilterRegistry fakeRegistry(bool withConverter = true) {
  FilterRegistry r;
  r.addCamera({"Cam A", "videotestsrc ! fakesink"});
  r.addCamera({"cam a", kLive});
  r.addAlias(kAviDecompressor);
  if (withConverter) r.addAlias(kColorSpaceConverter);
  r.addAlias(kVideoRenderer);
  r.addFactory("identity");
  return r;
}

const QString kChain = "Cam A~Capture|AVI Decompressor|Color Space Converter|Video Renderer";
const QString kLinks = "Capture~XForm In|XForm Out~Input|XForm Out~VMR Input0";

TEST(BuildGraph, ReturnCodes) {
  struct Case {
    const char* what;
    QString filters, links;
    bool converter;
    int code;
    int filtersInGraph;
  } cases[] = {
      {"whole chain; the namesake without the pin stays", kChain, kLinks, true, -1, 5},
      {"names regardless of case", kChain.toLower(), kLinks.toLower(), true, -1, 5},
      {"no filter of that name", kChain, kLinks, false, 2, 3},
      {"namesakes without the pin", "Cam A~Preview|identity", "", true, 0, 2},
      {"no pin asked: the first namesake", "Cam A|identity", "", true, -1, 2},
      {"empty connection list", "cam a~Capture", "", true, -1, 2},
      {"empty filter list", "", "", true, -1, 0},
      {"input pin missing", kChain, "Capture~XForm In|XForm Out~Output", true, 101, 5},
      {"entry past the last filter", "cam a~Capture|AVI Decompressor", "Capture~XForm In|XForm Out~Input", true, 101, 3},
      {"entry without ~", "cam a~Capture|identity", "Capture", true, 100, 3},
  };
  for (const Case& c : cases) {
    FilterGraph graph(fakeRegistry(c.converter));
    EXPECT_EQ(BuildGraph(graph, c.filters, c.links), c.code) << c.what;
    EXPECT_EQ(graph.filterCount(), c.filtersInGraph) << c.what;
  }
}

TEST(BuildGraph, RefusedLinkIsRaised) {
  FilterGraph graph(fakeRegistry());
  try {
    BuildGraph(graph, "cam a~Capture|identity", "Capture~src");  // output to output
    FAIL() << "no error";
  } catch (const vb::VbError& e) {
    EXPECT_EQ(e.number, kErrGraph);
  }
}

TEST(FilterGraph, RunsPausesAndHandsOutFrames) {
  FilterGraph graph(fakeRegistry());
  ASSERT_EQ(BuildGraph(graph, kChain, kLinks), -1);
  graph.Run();
  ASSERT_TRUE(graph.waitForFrame(FrmCamera::kFirstFrameMs)) << graph.lastError().toStdString();
  EXPECT_EQ(graph.VideoWidth(), 64);
  EXPECT_EQ(graph.VideoHeight(), 48);
  graph.Pause();
  EXPECT_EQ(FrmCamera::waitForState(graph, State_Paused, 16), S_OK);

  std::vector<std::int32_t> buffer(64 * 48 + 40);
  std::int64_t size = 0;
  graph.GetCurrentImage(size, {});
  EXPECT_EQ(size, 40 + 64 * 48 * 4);
  std::int64_t shortSize = size - 4;
  EXPECT_THROW(graph.GetCurrentImage(shortSize, std::span(buffer).first(buffer.size() - 40)), vb::VbError);
  graph.GetCurrentImage(size, buffer);
  const std::size_t before = gdi::objectCount();
  {
    auto picture = Modulekamera::BitmapKePicture(Modulekamera::DIBkeBitmap(buffer), 0);
    ASSERT_TRUE(picture);
    const QImage img = picture->image();
    EXPECT_EQ(img.size(), QSize(64, 48));
    EXPECT_EQ(img.pixel(3, 40), qRgb(255, 255, 255));
  }
  EXPECT_EQ(gdi::objectCount(), before) << "the picture frees its bitmap";
  graph.Stop();
  EXPECT_EQ(FrmCamera::waitForState(graph, State_Stopped, 40), S_OK);
}

TEST(FilterGraph, StateWaitIsBounded) {
  FilterRegistry r;
  r.addCamera({"Silent", "appsrc"});  // never sends a frame, so the renderer never pauses
  r.addAlias(kVideoRenderer);
  FilterGraph graph(r);
  ASSERT_EQ(BuildGraph(graph, "Silent~Capture|Video Renderer", "Capture~VMR Input0"), -1);
  graph.Pause();
  EXPECT_EQ(FrmCamera::waitForState(graph, State_Paused, 16), E_FAIL);
}

// A packed frame: header, `table` colour entries, then `bits` bytes of pixels.
std::vector<std::int32_t> packed(int w, int h, int bitCount, std::uint32_t compression, std::uint32_t clrUsed,
                                 std::vector<std::int32_t> table, std::int64_t bitBytes) {
  Modulekamera::BitmapInfoHeader hd;
  hd.biSize = 40;
  hd.biWidth = w;
  hd.biHeight = h;
  hd.biPlanes = 1;
  hd.biBitCount = std::uint16_t(bitCount);
  hd.biCompression = compression;
  hd.biClrUsed = clrUsed;
  std::vector<std::int32_t> a(10 + table.size() + std::size_t((bitBytes + 3) / 4));
  std::memcpy(a.data(), &hd, 40);
  std::copy(table.begin(), table.end(), a.begin() + 10);
  return a;
}

TEST(Modulekamera, BitsSize) {
  Modulekamera::BitmapInfoHeader h;
  h.biWidth = 641;
  h.biHeight = 480;
  h.biBitCount = 24;
  EXPECT_EQ(Modulekamera::bitsSize(h), 923520);
  h.biHeight = -480;
  EXPECT_EQ(Modulekamera::bitsSize(h), 923520);
  h.biWidth = 2000000000;  // beyond 32 bits, still worked out
  EXPECT_EQ(Modulekamera::bitsSize(h), std::int64_t(6000000000) * 480);
  h.biCompression = 1;
  h.biSizeImage = 1234;
  EXPECT_EQ(Modulekamera::bitsSize(h), 1234);
}

TEST(Modulekamera, DIBkeBitmapChecksLengths) {
  struct Case {
    const char* what;
    std::vector<std::int32_t> array;
    int drop;  // elements cut from the end
    bool made;
  } cases[] = {
      {"24 bits, 3 x 2", packed(3, 2, 24, 0, 0, {}, 2 * 12), 0, true},
      {"one element short", packed(3, 2, 24, 0, 0, {}, 2 * 12), 1, false},
      {"header cut", packed(3, 2, 24, 0, 0, {}, 0), 5, false},
      {"palette of two", packed(8, 1, 8, 0, 2, {0x00FF0000, 0x0000FF00}, 8), 0, true},
      {"palette beyond the array", packed(8, 1, 8, 0, 0x7FFFFFFF, {}, 8), 0, false},
      {"compressed", packed(3, 2, 24, 1, 0, {}, 24), 0, false},
      {"huge width", packed(0x7FFFFFFF, 2, 32, 0, 0, {}, 8), 0, false},
      {"standard masks", packed(2, 1, 32, 3, 0, {0xFF0000, 0xFF00, 0xFF}, 8), 0, true},
      {"odd masks", packed(2, 1, 32, 3, 0, {0xFF, 0xFF00, 0xFF0000}, 8), 0, false},
  };
  for (Case& c : cases) {
    c.array.resize(c.array.size() - c.drop);
    const gdi::Handle h = Modulekamera::DIBkeBitmap(c.array);
    EXPECT_EQ(h != 0, c.made) << c.what;
    if (h) gdi::deleteObject(h);
  }
  auto pal = packed(8, 1, 8, 0, 2, {0x00FF0000, 0x0000FF00}, 8);
  reinterpret_cast<std::uint8_t*>(pal.data() + 12)[1] = 1;
  auto picture = Modulekamera::BitmapKePicture(Modulekamera::DIBkeBitmap(pal), 0);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->image().pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(picture->image().pixel(1, 0), qRgb(0, 255, 0));
  EXPECT_FALSE(Modulekamera::BitmapKePicture(0, 0));
}

}  // namespace
