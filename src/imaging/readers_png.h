#pragma once
// Quiet PNG and JPEG decoding for the readers, over the GDI+ decoders: a broken file gives a
// null image, never a message, and the picture's size is checked before any pixel memory is
// taken.
#include <QImage>

#include "readers_common.h"

namespace imaging {

// Format_ARGB32 (straight alpha), top row first; null when the bytes are not a readable PNG
// or the picture is larger than a bitmap may be. The image data need not end with IEND.
QImage decodePng(Bytes source);

// Format_ARGB32, top row first, as stored (no Exif turn); null when not a readable JPEG.
QImage decodeJpeg(Bytes source);

}  // namespace imaging
