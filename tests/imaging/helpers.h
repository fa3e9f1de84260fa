#pragma once
// What the imaging tests share: a memory device context over a bitmap of known pixels,
// and the count of live handles.
#include <gtest/gtest.h>

#include <functional>

#include "dc.h"
#include "dib.h"

namespace imaging_test {

// A memory context with a bitmap selected into it; frees both at the end.
struct SourceDc {
  SourceDc(int width, int height, int bitCount = 24) {
    bitmap = gdi::createDIBSection(width, height, bitCount, &bits);
    dc = gdi::createCompatibleDC(0);
    old = gdi::selectObject(dc, bitmap);
  }
  ~SourceDc() {
    gdi::selectObject(dc, old);
    gdi::deleteDC(dc);
    gdi::deleteObject(bitmap);
  }
  std::shared_ptr<gdi::Dib> dib() const { return gdi::surfaceOf(dc); }
  // Every pixel (x, y from the top) set from a function.
  void fill(const std::function<QRgb(int, int)>& f) {
    auto d = dib();
    for (int y = 0; y < d->absHeight(); ++y)
      for (int x = 0; x < d->width(); ++x) d->setPixel(x, y, f(x, y));
  }
  gdi::Handle bitmap = 0, dc = 0, old = 0;
  std::uint8_t* bits = nullptr;
};

// Live handles, counted once the stock bitmap (made with the first context) exists.
inline std::size_t liveHandles() {
  gdi::deleteDC(gdi::createCompatibleDC(0));
  return gdi::objectCount();
}

}  // namespace imaging_test
