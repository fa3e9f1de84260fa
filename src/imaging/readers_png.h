#pragma once
// A quiet PNG decoder for the readers: a broken file gives a null image, never a message,
// and the picture's size is checked before any pixel memory is taken.
#include <QImage>

#include "readers_common.h"

namespace imaging {

// Format_ARGB32 (straight alpha), top row first; null when the bytes are not a readable PNG
// or the picture is larger than a bitmap may be. The image data need not end with IEND.
QImage decodePng(Bytes source);

}  // namespace imaging
