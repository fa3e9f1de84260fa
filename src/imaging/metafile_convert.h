#pragma once
// An enhanced metafile turned into a Windows metafile with a placeable header, so that a
// loader of Windows metafiles can show it: the EMF is drawn into a bitmap, and the WMF holds
// that bitmap in one StretchDIB record.
#include <cstdint>
#include <span>
#include <vector>

#include "screen.h"

namespace imaging {

// The placeable frame in twips: the longer side is 256 screen pixels, the other keeps the
// metafile's own proportions (`width` x `height`, any unit). Each is rounded half to even and
// must fit 16 bits; {0, 0} when it can't.
struct PlaceableExtents {
  int right = 0;
  int bottom = 0;
};
PlaceableExtents placeableExtents(double width, double height, const gdi::Screen& screen);

// The 22-byte placeable header for a frame of right x bottom twips (1440 units an inch).
std::vector<std::uint8_t> placeableHeader(int right, int bottom);

// Empty when the bytes are not an EMF we can read or the result would not fit a WMF.
std::vector<std::uint8_t> emfToPlaceableWmf(std::span<const std::uint8_t> emf, const gdi::Screen& screen = gdi::screen());

}  // namespace imaging
