#pragma once
// Alpha analysis of 32-bit pixels (blue in the low byte, alpha in the high byte): whether the
// alpha byte means anything, and whether the colours are premultiplied by it.
#include <QImage>

#include <cstddef>
#include <cstdint>

namespace imaging {

// 0 (no usable alpha: all opaque, all alpha 0, or opaque plus alpha-0 colours),
// 0x20000001 (straight alpha or on/off transparency) or 0x40000001 (premultiplied).
// The pixels are read in order and the first decisive one ends the walk.
std::uint32_t analyzeAlpha(const std::uint32_t* pixels, std::size_t count);
// The same over an image's rows, top first. Images of other than 32 bits a pixel are
// converted to Format_ARGB32 first; a null image gives 0.
std::uint32_t analyzeAlpha(const QImage& image);

}  // namespace imaging
